// The saved configuration survives restarts, and a failed write says so.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "settings_file.hpp"
#include "temp_dir.hpp"

namespace quarrytide {
namespace {

std::optional<std::string> loadFrom(SettingsFile& store) {
  std::promise<std::optional<std::string>> p;
  store.load([&](std::optional<std::string> v) { p.set_value(std::move(v)); });
  return p.get_future().get();
}

std::optional<std::string> save(SettingsFile& store, std::string value) {
  std::promise<std::optional<std::string>> p;
  store.save(std::move(value), [&](std::optional<std::string> f) { p.set_value(std::move(f)); });
  return p.get_future().get();
}

std::optional<std::string> loadFresh(const std::string& path) {
  SettingsFile store(path);
  return loadFrom(store);
}

TEST(SettingsFile, ValuesOfAnySizeAndTextSurviveARestart) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/cfg/quarrytide/settings.json";
  EXPECT_EQ(loadFresh(path), std::nullopt);

  std::string big(1 << 20, 'x');
  big += std::string("\0\"\\\n\u00e9\U0001F600\u2028", 13);
  {
    SettingsFile store(path);
    EXPECT_EQ(save(store, big), std::nullopt);
    EXPECT_EQ(loadFrom(store), big);  // answered from memory
  }
  EXPECT_EQ(loadFresh(path), big);
  {
    SettingsFile store(path);
    EXPECT_EQ(save(store, ""), std::nullopt);
  }
  EXPECT_EQ(loadFresh(path), "");  // empty is a value, not "nothing"
  auto mode = std::filesystem::status(path).permissions();
  EXPECT_EQ(mode & std::filesystem::perms::others_read, std::filesystem::perms::none);
}

TEST(SettingsFile, MissingEmptyOrCorruptFilesLoadAsNothing) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/settings.json";
  for (const char* content : {"", "{", "[]", "null", "{\"lastRenameConfig\":5}", "\xff\xfe",
                              "{\"other\":\"x\"}"}) {
    std::ofstream(path, std::ios::binary) << content;
    EXPECT_EQ(loadFresh(path), std::nullopt) << content;
  }
  std::filesystem::create_directory(path + ".d");
  EXPECT_EQ(loadFresh(path + ".d"), std::nullopt);  // a folder where the file should be
}

TEST(SettingsFile, TheLatestOfManySavesWins) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/settings.json";
  {
    SettingsFile store(path);
    std::vector<std::future<std::optional<std::string>>> answers;
    for (int i = 0; i < 200; ++i) {
      auto p = std::make_shared<std::promise<std::optional<std::string>>>();
      answers.push_back(p->get_future());
      store.save("v" + std::to_string(i), [p](std::optional<std::string> f) { p->set_value(f); });
    }
    for (auto& a : answers) EXPECT_EQ(a.get(), std::nullopt);
  }
  EXPECT_EQ(loadFresh(path), "v199");
}

TEST(SettingsFile, AFailedSaveNamesTheCauseAndKeepsTheEarlierValue) {
  testing::TempDir dir;
  // A file where the config folder should be fails for every user, root included.
  std::ofstream(dir.path() + "/blocker") << "x";
  SettingsFile blocked(dir.path() + "/blocker/quarrytide/settings.json");
  auto failure = save(blocked, "lost");
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->rfind("could not save settings: ", 0), 0u) << *failure;
  EXPECT_NE(failure->find("Not a directory"), std::string::npos) << *failure;
  EXPECT_EQ(loadFrom(blocked), std::nullopt);
}

TEST(SettingsFile, AReadOnlyConfigFolderFailsAndTheOldFileStaysWhole) {
  // A read-only bind mount refuses writes even to root; it needs a private
  // mount namespace, so run in a child process.
  testing::TempDir dir;
  const std::string folder = dir.path() + "/quarrytide", path = folder + "/settings.json";
  std::filesystem::create_directory(folder);
  {
    SettingsFile store(path);
    ASSERT_EQ(save(store, "earlier"), std::nullopt);
  }
  pid_t child = fork();
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) ||
        mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr))
      _exit(77);  // no permission to mount here
    SettingsFile store(path);
    auto failure = save(store, "later");
    bool good = failure && failure->find("Read-only file system") != std::string::npos &&
                loadFrom(store) == "earlier";
    _exit(good ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot mount here";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(loadFresh(path), "earlier");
}

}  // namespace
}  // namespace quarrytide
