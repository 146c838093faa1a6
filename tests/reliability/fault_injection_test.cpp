// apply and savePrefs against file systems that refuse changes, through
// quarrytide-headless: each refusal is a result record or reply with the
// message the user will read, and no item is lost, replaced or changed. Root
// passes permission bits, so these use means that fail for root too:
// read-only and private mounts, a full tmpfs, a file system without user
// attributes, and a process that dropped its privileges.
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "catalogue/operation.hpp"
#include "files.hpp"
#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

const std::string kCommentFailed =
    "Could not set comment (allow controlling Finder in System Settings \u25B8 Privacy \u25B8 "
    "Automation).";
constexpr auto kUnsupported = "no-xattr-support";

// The results of one apply request.
json apply(const json& ops) {
  return answered({request(1, "apply", {{"ops", ops}})})[1]["payload"]["results"];
}

// A result record: done when `error` is empty; no "newPath" when `newPath` is empty.
json result(const std::string& path, const std::string& newPath, const std::string& error = "",
            const std::string& code = "") {
  json r = {{"ok", error.empty()}, {"path", path}};
  if (!newPath.empty()) r["newPath"] = newPath;
  if (!error.empty()) r["error"] = error;
  if (!code.empty()) r["code"] = code;
  return r;
}

// A rename, a tag change, a label change and a comment of one item, each in
// its own record so that every step meets the refusal; and the four refusals.
json everyChange(const std::string& item) {
  return {{{"path", item}, {"newName", "renamed"}},
          {{"path", item}, {"setTags", true}, {"tags", {"new"}}},
          {{"path", item}, {"setLabel", true}, {"label", 2}},
          {{"path", item}, {"setComment", true}, {"comment", "new"}}};
}
json refusals(const std::string& item, const std::string& systemMessage, const char* code) {
  return {result(item, "", systemMessage, code), result(item, item, "tags: " + systemMessage, code),
          result(item, item, "tags: " + systemMessage, code),
          result(item, item, kCommentFailed, code)};
}

// Mounts made by a test stay inside its own mount namespace, so nothing
// outlives the test process or shows elsewhere on the machine.
class Refusals : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to mount and to drop privileges";
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
      GTEST_SKIP() << "cannot make a private mount namespace here";
  }
  // A fresh mount of `type` with `options` on a new folder.
  std::string mountHere(const char* type, const char* options) {
    const std::string at = dir.folder(type);
    if (mount("none", at.c_str(), type, 0, options) != 0) ADD_FAILURE() << "mount " << type;
    mounts.push_back(at);
    return at;
  }
  void TearDown() override {
    for (const auto& m : mounts) umount2(m.c_str(), MNT_DETACH);
  }
  // One item with content, tags and a comment, so that any change shows.
  std::string item(const std::string& rel) {
    dir.file(rel, "content of " + rel);
    dir.attr(rel, "user.xdg.tags", "old,Red");
    dir.attr(rel, "user.xdg.comment", "kept");
    return dir.at(rel);
  }
  // It is all still there, alone in its folder.
  void expectUntouched(const std::string& rel) {
    const fs::path path = dir.at(rel);
    EXPECT_EQ(names(path.parent_path()), std::set{path.filename().string()});
    EXPECT_EQ(read(path), "content of " + rel);
    EXPECT_EQ(xattr(path, "user.xdg.tags"), "old,Red");
    EXPECT_EQ(xattr(path, "user.xdg.comment"), "kept");
  }
  TempDir dir;
  std::vector<std::string> mounts;
};

TEST_F(Refusals, AReadOnlyFolderRefusesEveryChangeAndKeepsTheSavedSettingsWhole) {
  const std::string ro = dir.folder("ro"), photo = item("ro/items/photo.jpg");
  const std::vector<std::string> config = {"XDG_CONFIG_HOME=" + ro};
  ASSERT_EQ(answered({request(2, "savePrefs", {{"data", "earlier"}})}, config)[2]["ok"], true);
  ASSERT_EQ(mount(ro.c_str(), ro.c_str(), nullptr, MS_BIND, nullptr), 0);
  mounts.push_back(ro);
  ASSERT_EQ(mount(nullptr, ro.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);

  auto replies = answered({request(1, "apply", {{"ops", everyChange(photo)}}),
                           request(2, "savePrefs", {{"data", "later"}})},
                          config);
  EXPECT_EQ(replies[1]["payload"]["results"],
            refusals(photo, "Read-only file system", "read-only"));
  EXPECT_EQ(replies[2]["ok"], false);
  EXPECT_THAT(replies[2]["payload"].get<std::string>(),
              ::testing::MatchesRegex("could not save settings: .*: Read-only file system"));
  EXPECT_EQ(answered({request(3, "loadPrefs")}, config)[3]["payload"]["data"], "earlier");
  expectUntouched("ro/items/photo.jpg");
}

TEST_F(Refusals, AFullDiskRefusesAttributesThatDoNotFitAndKeepsTheOldOnes) {
  // tmpfs keeps attributes in the space of its inode allowance: with room
  // for three items, a long tag list or comment cannot fit.
  const std::string folder = mountHere("tmpfs", "size=64k,nr_inodes=4,mode=0755");
  const std::string notes = item("tmpfs/notes.txt"), renamed = folder + "/renamed.txt";
  const std::string longText(4000, 'x');
  json ops = {{{"path", notes}, {"setTags", true}, {"tags", {longText}}},
              {{"path", notes}, {"setComment", true}, {"comment", longText}},
              {{"path", notes}, {"newName", "renamed.txt"}, {"setLabel", true}, {"label", 7}}};
  EXPECT_EQ(apply(ops),
            json({result(notes, notes, "tags: No space left on device", "no-space"),
                  result(notes, notes, kCommentFailed, "no-space"), result(notes, renamed)}));
  EXPECT_EQ(names(folder), (std::set<std::string>{"renamed.txt"}));
  EXPECT_EQ(read(renamed), "content of tmpfs/notes.txt");
  EXPECT_EQ(xattr(renamed, "user.xdg.tags"), "old,Orange");
  EXPECT_EQ(xattr(renamed, "user.xdg.comment"), "kept");
}

TEST_F(Refusals, AJournalThatCannotBeWrittenStopsTheBatchBeforeAnythingChanges) {
  const std::string photo = item("items/photo.jpg");
  for (const std::string fault : {"full", "read-only"}) {
    // A journal that worked for one batch, then its disk fills or turns read-only.
    const std::string state = mountHere("tmpfs", "size=1m,mode=0755");
    const std::vector<std::string> env = {"XDG_STATE_HOME=" + state};
    ASSERT_EQ(answered({request(1, "apply", {{"ops", json::array()}})}, env)[1]["ok"], true);
    if (fault == "full") {
      std::ofstream filler(state + "/filler");
      const std::string block(1 << 16, 'x');
      while (filler.write(block.data(), block.size()) && filler.flush()) {
      }
    } else {
      ASSERT_EQ(mount(nullptr, state.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    }
    auto replies = answered({request(2, "apply", {{"ops", everyChange(photo)}})}, env);
    EXPECT_EQ(replies[2]["ok"], false) << fault;
    EXPECT_THAT(replies[2]["payload"].get<std::string>(),
                ::testing::StartsWith(
                    "The batch could not be written to the journal, so nothing was changed: "))
        << fault;
    expectUntouched("items/photo.jpg");
    umount2(state.c_str(), MNT_DETACH);
    mounts.pop_back();
    fs::remove(state);
  }
}

TEST_F(Refusals, AFileSystemWithoutUserAttributesRefusesTagsButStillRenames) {
  // ramfs has no extended attributes at all.
  const std::string folder = mountHere("ramfs", "mode=0755"), a = dir.file("ramfs/a.txt", "a");
  json ops = {{{"path", a}, {"setTags", true}, {"tags", {"new"}}},
              {{"path", a}, {"setComment", true}, {"comment", "new"}},
              // Clearing what cannot exist leaves the item as asked.
              {{"path", a}, {"setTags", true}, {"tags", json::array()}},
              {{"path", a}, {"setComment", true}, {"comment", ""}},
              {{"path", a}, {"newName", "b.txt"}}};
  EXPECT_EQ(apply(ops), json({result(a, a, "tags: Operation not supported", kUnsupported),
                              result(a, a, kCommentFailed, kUnsupported), result(a, a),
                              result(a, a), result(a, folder + "/b.txt")}));
  EXPECT_EQ(names(folder), (std::set<std::string>{"b.txt"}));
  EXPECT_EQ(read(folder + "/b.txt"), "a");
}

TEST_F(Refusals, AUserWithoutPermissionChangesNothing) {
  // Permission bits bind only a process without root's privileges: drop
  // them in a child that carries out the records itself.
  const std::string a = item("own/a.txt");
  chmod(dir.path().c_str(), 0755);
  chmod(a.c_str(), 0644);
  pid_t child = fork();
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
        setresuid(65534, 65534, 65534) != 0)
      _exit(77);
    std::string out;
    for (const Operation& op : {Operation{.path = a, .newName = "b.txt"},
                                Operation{.path = a, .setTags = true, .tags = {"new"}},
                                Operation{.path = a, .setComment = true, .comment = "new"}})
      if (OpResult r = applyOp(op); r.code)
        out += r.error.value_or("") + " " + codeName(*r.code).data() + "\n";
    const bool good = out ==
                      "Permission denied permission\ntags: Permission denied "
                      "permission\ncomment: Permission denied permission\n";
    if (!good) std::fprintf(stderr, "the records answered:\n%s", out.c_str());
    _exit(good ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot drop privileges";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  expectUntouched("own/a.txt");
}

}  // namespace
}  // namespace quarrytide::testing
