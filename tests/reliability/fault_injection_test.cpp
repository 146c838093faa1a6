// apply against file systems that refuse changes, through quarrytide-headless:
// each refusal is a result record with the message the user will read, and
// no item is lost, replaced or changed. Root passes permission bits, so these
// use means that fail for root too: read-only and private mounts, immutable
// files, a full tmpfs, a file system without user attributes, and a process
// that dropped its privileges.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

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

std::string attr(const std::string& path, const char* name) {
  std::string buf(65536, '\0');
  ssize_t n = lgetxattr(path.c_str(), name, buf.data(), buf.size());
  return n < 0 ? "<none>" : buf.substr(0, n);
}

// One item with content, tags and a comment, so that any change shows.
void makeItem(const std::string& path) {
  std::ofstream(path) << "content of " << path;
  lsetxattr(path.c_str(), "user.xdg.tags", "old,Red", 7, 0);
  lsetxattr(path.c_str(), "user.xdg.comment", "kept", 4, 0);
}

json apply(const json& ops) {
  TempDir home;
  auto run = runHeadless({json({{"id", 1}, {"cmd", "apply"}, {"args", {{"ops", ops}}}}).dump()}, {},
                         {"XDG_CONFIG_HOME=" + home.path()});
  EXPECT_EQ(run.status, 0) << run.err;
  auto replies = run.replies();
  if (replies.size() != 1 || replies[0]["ok"] != true) {
    ADD_FAILURE() << run.err;
    return json::array();
  }
  return replies[0]["payload"]["results"];
}

// A rename, a tag change, a label change and a comment of one item, each in
// its own record so that every step meets the refusal.
json everyChange(const std::string& item) {
  return {{{"path", item}, {"newName", "renamed"}},
          {{"path", item}, {"setTags", true}, {"tags", {"new"}}},
          {{"path", item}, {"setLabel", true}, {"label", 2}},
          {{"path", item}, {"setComment", true}, {"comment", "new"}}};
}
json refusals(const std::string& item, const std::string& systemMessage) {
  return {{{"ok", false}, {"path", item}, {"error", systemMessage}},
          {{"ok", false}, {"path", item}, {"newPath", item}, {"error", "tags: " + systemMessage}},
          {{"ok", false}, {"path", item}, {"newPath", item}, {"error", "tags: " + systemMessage}},
          {{"ok", false}, {"path", item}, {"newPath", item}, {"error", kCommentFailed}}};
}
void expectUntouched(const std::string& folder, const std::string& item) {
  EXPECT_EQ(names(folder), (std::set<std::string>{fs::path(item).filename().string()}));
  EXPECT_EQ(read(item), "content of " + item);
  EXPECT_EQ(attr(item, "user.xdg.tags"), "old,Red");
  EXPECT_EQ(attr(item, "user.xdg.comment"), "kept");
}

// Mounts made by a test stay inside its own mount namespace, so nothing
// outlives the test process or shows elsewhere on the machine.
class Refusals : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to mount";
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
      GTEST_SKIP() << "cannot make a private mount namespace here";
  }
  // A fresh mount of `type` with `options` on a new folder.
  std::string mountHere(const char* type, const char* options) {
    std::string at = dir.path() + "/" + type;
    fs::create_directory(at);
    if (mount("none", at.c_str(), type, 0, options) != 0) ADD_FAILURE() << "mount " << type;
    mounts.push_back(at);
    return at;
  }
  void TearDown() override {
    for (const auto& m : mounts) umount2(m.c_str(), MNT_DETACH);
  }
  TempDir dir;
  std::vector<std::string> mounts;
};

TEST_F(Refusals, AReadOnlyFolderRefusesEveryChange) {
  const std::string folder = dir.path() + "/ro", item = folder + "/photo.jpg";
  fs::create_directory(folder);
  makeItem(item);
  ASSERT_EQ(mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr), 0);
  mounts.push_back(folder);
  ASSERT_EQ(mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);

  EXPECT_EQ(apply(everyChange(item)), refusals(item, "Read-only file system"));
  expectUntouched(folder, item);
}

TEST_F(Refusals, AnImmutableItemRefusesEveryChange) {
  const std::string folder = dir.path() + "/immutable", item = folder + "/scan.png";
  fs::create_directory(folder);
  makeItem(item);
  int fd = open(item.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  int flags = 0;
  if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 ||
      (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0)) {
    close(fd);
    GTEST_SKIP() << "this file system has no immutable flag";
  }

  auto results = apply(everyChange(item));
  flags &= ~FS_IMMUTABLE_FL;
  ioctl(fd, FS_IOC_SETFLAGS, &flags);  // so that the folder can be removed
  close(fd);
  EXPECT_EQ(results, refusals(item, "Operation not permitted"));
  expectUntouched(folder, item);
}

TEST_F(Refusals, AFullDiskRefusesAttributesThatDoNotFitAndKeepsTheOldOnes) {
  // tmpfs keeps attributes in the space of its inode allowance: with room
  // for three items, a long tag list or comment cannot fit.
  const std::string folder = mountHere("tmpfs", "size=64k,nr_inodes=4,mode=0755");
  const std::string item = folder + "/notes.txt";
  makeItem(item);
  const std::string longText(4000, 'x');
  json ops = {{{"path", item}, {"setTags", true}, {"tags", {longText}}},
              {{"path", item}, {"setComment", true}, {"comment", longText}},
              {{"path", item}, {"newName", "renamed.txt"}, {"setLabel", true}, {"label", 7}}};
  EXPECT_EQ(apply(ops),
            json({{{"ok", false},
                   {"path", item},
                   {"newPath", item},
                   {"error", "tags: No space left on device"}},
                  {{"ok", false}, {"path", item}, {"newPath", item}, {"error", kCommentFailed}},
                  {{"ok", true}, {"path", item}, {"newPath", folder + "/renamed.txt"}}}));
  const std::string renamed = folder + "/renamed.txt";
  EXPECT_EQ(names(folder), (std::set<std::string>{"renamed.txt"}));
  EXPECT_EQ(read(renamed), "content of " + item);
  EXPECT_EQ(attr(renamed, "user.xdg.tags"), "old,Orange");
  EXPECT_EQ(attr(renamed, "user.xdg.comment"), "kept");
}

TEST_F(Refusals, AFileSystemWithoutUserAttributesRefusesTagsButStillRenames) {
  // ramfs has no extended attributes at all.
  const std::string folder = mountHere("ramfs", "mode=0755"), item = folder + "/a.txt";
  std::ofstream(item) << "a";
  json ops = {{{"path", item}, {"setTags", true}, {"tags", {"new"}}},
              {{"path", item}, {"setComment", true}, {"comment", "new"}},
              // Clearing what cannot exist leaves the item as asked.
              {{"path", item}, {"setTags", true}, {"tags", json::array()}},
              {{"path", item}, {"setComment", true}, {"comment", ""}},
              {{"path", item}, {"newName", "b.txt"}}};
  EXPECT_EQ(apply(ops),
            json({{{"ok", false},
                   {"path", item},
                   {"newPath", item},
                   {"error", "tags: Operation not supported"}},
                  {{"ok", false}, {"path", item}, {"newPath", item}, {"error", kCommentFailed}},
                  {{"ok", true}, {"path", item}, {"newPath", item}},
                  {{"ok", true}, {"path", item}, {"newPath", item}},
                  {{"ok", true}, {"path", item}, {"newPath", folder + "/b.txt"}}}));
  EXPECT_EQ(names(folder), (std::set<std::string>{"b.txt"}));
  EXPECT_EQ(read(folder + "/b.txt"), "a");
}

TEST(Refusal, ANameTooLongForTheFileSystemMovesNothing) {
  TempDir dir;
  const std::string item = dir.path() + "/a.txt";
  makeItem(item);
  json ops = {{{"path", item}, {"newName", std::string(256, 'n')}, {"setTags", true}}};
  EXPECT_EQ(apply(ops), json({{{"ok", false}, {"path", item}, {"error", "File name too long"}}}));
  expectUntouched(dir.path(), item);
}

TEST(Refusal, AUserWithoutPermissionChangesNothing) {
  // Permission bits bind only a process without root's privileges: drop
  // them in a child that carries out the records itself.
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop privileges";
  TempDir dir;
  const std::string item = dir.path() + "/a.txt";
  makeItem(item);
  chmod(dir.path().c_str(), 0755);
  chmod(item.c_str(), 0644);
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
        setresuid(65534, 65534, 65534) != 0)
      _exit(77);
    std::string out;
    Operation rename, tag, comment;
    rename.path = tag.path = comment.path = item;
    rename.newName = "b.txt";
    tag.setTags = true;
    tag.tags = {"new"};
    comment.setComment = true;
    comment.comment = "new";
    for (const auto& op : {rename, tag, comment}) out += applyOp(op).error.value_or("ok") + "\n";
    (void)!write(pipeFds[1], out.data(), out.size());
    _exit(0);
  }
  close(pipeFds[1]);
  std::string out;
  char buf[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;) out.append(buf, n);
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot drop privileges";
  EXPECT_EQ(out, "Permission denied\ntags: Permission denied\n" + kCommentFailed + "\n");
  expectUntouched(dir.path(), item);
}

}  // namespace
}  // namespace quarrytide::testing
