// The saved configuration survives restarts, and a failed write says so.
// (A read-only config folder: tests/reliability/fault_injection_test.cpp.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "settings_file.hpp"
#include "temp_dir.hpp"

namespace quarrytide {
namespace {

using Answer = std::optional<std::string>;

// What the store loads; a fresh one, SettingsFile(path), reads the file.
template <class Store>
Answer load(Store&& store) {
  std::promise<Answer> p;
  store.load([&](Answer v) { p.set_value(std::move(v)); });
  return p.get_future().get();
}

// Saves each of `values` at once; the failures, in order.
template <class Store>
std::vector<Answer> save(Store&& store, const std::vector<std::string>& values) {
  std::vector<std::future<Answer>> answers;
  for (const auto& v : values) {
    auto p = std::make_shared<std::promise<Answer>>();
    answers.push_back(p->get_future());
    store.save(v, [p](Answer failure) { p->set_value(std::move(failure)); });
  }
  std::vector<Answer> out;
  for (auto& a : answers) out.push_back(a.get());
  return out;
}

TEST(SettingsFile, ValuesOfAnySizeAndTextSurviveARestartAndTheLatestSaveWins) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/cfg/quarrytide/settings.json";
  EXPECT_EQ(load(SettingsFile(path)), std::nullopt);
  std::string big(1 << 20, 'x');
  big += std::string("\0\"\\\n\u00e9\U0001F600\u2028", 13);
  {
    SettingsFile store(path);
    EXPECT_EQ(save(store, {big}), std::vector<Answer>{std::nullopt});
    EXPECT_EQ(load(store), big);  // answered from memory
  }
  EXPECT_EQ(load(SettingsFile(path)), big);
  auto mode = std::filesystem::status(path).permissions();
  EXPECT_EQ(mode & std::filesystem::perms::others_read, std::filesystem::perms::none);
  // The last of many saves wins; empty is a value, not "nothing".
  std::vector<std::string> many;
  for (int i = 0; i < 200; ++i) many.push_back(i < 199 ? "v" + std::to_string(i) : "");
  EXPECT_EQ(save(SettingsFile(path), many), std::vector<Answer>(200));
  EXPECT_EQ(load(SettingsFile(path)), "");
}

TEST(SettingsFile, MissingEmptyOrCorruptFilesLoadAsNothing) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/settings.json";
  for (const char* content :
       {"", "{", "[]", "null", "{\"lastRenameConfig\":5}", "\xff\xfe", "{\"other\":\"x\"}"}) {
    std::ofstream(path, std::ios::binary) << content;
    EXPECT_EQ(load(SettingsFile(path)), std::nullopt) << content;
  }
  std::filesystem::create_directory(path + ".d");
  EXPECT_EQ(load(SettingsFile(path + ".d")), std::nullopt);  // a folder where the file should be
}

TEST(SettingsFile, AFailedSaveNamesTheCauseAndLoadsStillAnswerTheStoredValue) {
  testing::TempDir dir;
  // A file where the config folder should be fails for every user, root included.
  std::ofstream(dir.path() + "/blocker") << "x";
  SettingsFile blocked(dir.path() + "/blocker/quarrytide/settings.json");
  auto failures = save(blocked, {"lost"});
  EXPECT_THAT(
      failures[0],
      ::testing::Optional(::testing::MatchesRegex("could not save settings: .*Not a directory.*")));
  EXPECT_EQ(load(blocked), std::nullopt);
}

}  // namespace
}  // namespace quarrytide
