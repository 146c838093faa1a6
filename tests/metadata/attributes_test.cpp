// Tag lists and comments stored in extended attributes of real files.
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "metadata/comments.hpp"
#include "metadata/tag_store.hpp"
#include "temp_dir.hpp"

namespace quarrytide {
namespace {

using Tags = std::vector<std::string>;

class Attributes : public ::testing::Test {
 protected:
  std::string file(const std::string& name) {
    const std::string path = dir_.path() + "/" + name;
    std::ofstream(path) << "x";
    return path;
  }
  std::string raw(const std::string& path, const char* name) {
    char buf[4096];
    const ssize_t n = ::lgetxattr(path.c_str(), name, buf, sizeof buf);
    return n < 0 ? "<absent>" : std::string(buf, static_cast<std::size_t>(n));
  }
  void setRaw(const std::string& path, const char* name, const std::string& value) {
    ASSERT_EQ(::lsetxattr(path.c_str(), name, value.data(), value.size(), 0), 0);
  }
  testing::TempDir dir_;
};

TEST_F(Attributes, TagsRoundTripInTheSharedFormat) {
  const auto f = file("a.txt");
  EXPECT_EQ(readTags(f).value(), Tags{});

  ASSERT_TRUE(writeTags(f, {"Projekt Ä", "", "Red"}).ok());
  EXPECT_EQ(raw(f, "user.xdg.tags"), "Projekt Ä,,Red");
  EXPECT_EQ(readTags(f).value(), (Tags{"Projekt Ä", "", "Red"}));

  // Written by another program: a trailing comma is an empty last tag.
  setRaw(f, "user.xdg.tags", "one,two,");
  EXPECT_EQ(readTags(f).value(), (Tags{"one", "two", ""}));

  ASSERT_TRUE(writeTags(f, {}).ok());
  EXPECT_EQ(raw(f, "user.xdg.tags"), "<absent>");
  EXPECT_TRUE(writeTags(f, {}).ok()) << "removing what is not there is success";
}

TEST_F(Attributes, TagWithCommaIsRefusedAndNothingIsReplaced) {
  const auto f = file("a.txt");
  ASSERT_TRUE(writeTags(f, {"keep"}).ok());
  const Status s = writeTags(f, {"fine", "a,b"});
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.error().domain, "Quarrytide");
  EXPECT_EQ(s.error().code, kTagWithComma);
  EXPECT_EQ(s.error().message, "Tag names cannot contain \",\": \"a,b\" was not written.");
  EXPECT_EQ(readTags(f).value(), Tags{"keep"});
}

TEST_F(Attributes, MissingItemGivesTheSystemsMessage) {
  const std::string gone = dir_.path() + "/gone";
  ASSERT_FALSE(readTags(gone).ok());
  EXPECT_EQ(readTags(gone).error(), Error::posix(ENOENT));
  const Status w = writeTags(gone, {"x"});
  ASSERT_FALSE(w.ok());
  EXPECT_EQ(w.error().message, "No such file or directory");
  EXPECT_EQ(readFinderComment(gone), "");
  EXPECT_FALSE(setFinderComment(gone, "hello"));
}

TEST_F(Attributes, LinkMetadataIsItsOwn) {
  const auto target = file("target.txt");
  ASSERT_TRUE(writeTags(target, {"Blue"}).ok());
  ASSERT_TRUE(setFinderComment(target, "target's"));
  const std::string link = dir_.path() + "/link";
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  EXPECT_EQ(readTags(link).value(), Tags{});
  EXPECT_EQ(readFinderComment(link), "");
  // Linux keeps user attributes off symbolic links: the write fails with
  // the system's message and the target is untouched.
  const Status w = writeTags(link, {"Red"});
  ASSERT_FALSE(w.ok());
  EXPECT_EQ(w.error(), Error::posix(EPERM));
  EXPECT_EQ(readTags(target).value(), Tags{"Blue"});
}

TEST_F(Attributes, CommentsRoundTripExactly) {
  const auto f = file("c.txt");
  EXPECT_EQ(readFinderComment(f), "");
  for (const std::string text :
       {" leading and trailing ", "zwei\nZeilen\t✓", "quote \" and \\", "日本語"}) {
    ASSERT_TRUE(setFinderComment(f, text));
    EXPECT_EQ(raw(f, "user.xdg.comment"), text);
    EXPECT_EQ(readFinderComment(f), text);
  }
  ASSERT_TRUE(setFinderComment(f, ""));
  EXPECT_EQ(raw(f, "user.xdg.comment"), "<absent>");
  EXPECT_TRUE(setFinderComment(f, "")) << "already absent counts as set";
}

TEST_F(Attributes, UnreadableCommentsReadAsEmpty) {
  const auto f = file("c.txt");
  setRaw(f, "user.xdg.comment", "");
  EXPECT_EQ(readFinderComment(f), "");
  setRaw(f, "user.xdg.comment", std::string("bad \xff\xfe bytes"));
  EXPECT_EQ(readFinderComment(f), "");
  std::string reused = "old contents";
  EXPECT_FALSE(readFinderCommentAt(AT_FDCWD, f.c_str(), f.c_str(), reused));
  EXPECT_EQ(reused, "");
}

TEST_F(Attributes, LongValuesAreReadWhole) {
  // Longer than the first read's buffer: takes the size-query road (and
  // small enough for ext4, which keeps all of an inode's attributes in 4 KiB).
  const auto f = file("long.txt");
  const std::string comment(2000, 'c');
  ASSERT_TRUE(setFinderComment(f, comment));
  EXPECT_EQ(readFinderComment(f), comment);
  Tags many;
  for (int i = 0; i < 250; ++i) many.push_back("tag" + std::to_string(i));
  ASSERT_TRUE(writeTags(f, many).ok());
  EXPECT_EQ(readTags(f).value(), many);
}

}  // namespace
}  // namespace quarrytide
