// Tag lists and comments stored in extended attributes of real files.
#include <fcntl.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "files.hpp"
#include "metadata/comments.hpp"
#include "metadata/tag_store.hpp"
#include "temp_dir.hpp"

namespace quarrytide {
void PrintTo(const Error& e, std::ostream* os) {
  *os << e.domain << " " << e.code << ": " << e.message;
}
}  // namespace quarrytide

namespace quarrytide::testing {
namespace {

using Tags = std::vector<std::string>;
const char* kTags = "user.xdg.tags";
const char* kComment = "user.xdg.comment";

struct Attributes : ::testing::Test {
  TempDir dir;
};

TEST_F(Attributes, TagsRoundTripInTheSharedFormat) {
  const auto f = dir.file("a.txt");
  EXPECT_EQ(readTags(f).value(), Tags{});
  ASSERT_TRUE(writeTags(f, {"Projekt Ä", "", "Red"}).ok());
  EXPECT_EQ(xattr(f, kTags), "Projekt Ä,,Red");
  EXPECT_EQ(readTags(f).value(), (Tags{"Projekt Ä", "", "Red"}));
  // Written by another program: a trailing comma is an empty last tag.
  dir.attr("a.txt", kTags, "one,two,");
  EXPECT_EQ(readTags(f).value(), (Tags{"one", "two", ""}));
  ASSERT_TRUE(writeTags(f, {}).ok());
  EXPECT_EQ(xattr(f, kTags), std::nullopt);
  EXPECT_TRUE(writeTags(f, {}).ok()) << "removing what is not there is success";
}

TEST_F(Attributes, TagWithCommaIsRefusedAndNothingIsReplaced) {
  const auto f = dir.file("a.txt");
  ASSERT_TRUE(writeTags(f, {"keep"}).ok());
  EXPECT_EQ(writeTags(f, {"fine", "a,b"}).error(),
            (Error{"Quarrytide", kTagWithComma,
                   "Tag names cannot contain \",\": \"a,b\" was not written."}));
  EXPECT_EQ(readTags(f).value(), Tags{"keep"});
}

TEST_F(Attributes, MissingItemGivesTheSystemsMessage) {
  const std::string gone = dir.at("gone");
  EXPECT_EQ(readTags(gone).error(), Error::posix(ENOENT));
  EXPECT_EQ(writeTags(gone, {"x"}).error().message, "No such file or directory");
  EXPECT_EQ(readFinderComment(gone), "");
  EXPECT_FALSE(setFinderComment(gone, "hello"));
}

TEST_F(Attributes, LinkMetadataIsItsOwn) {
  const auto target = dir.file("target.txt"), link = dir.link("link", target);
  ASSERT_TRUE(writeTags(target, {"Blue"}).ok());
  ASSERT_TRUE(setFinderComment(target, "target's"));
  EXPECT_EQ(readTags(link).value(), Tags{});
  EXPECT_EQ(readFinderComment(link), "");
  // Linux keeps user attributes off symbolic links: the write fails with
  // the system's message and the target is untouched.
  EXPECT_EQ(writeTags(link, {"Red"}).error(), Error::posix(EPERM));
  EXPECT_EQ(readTags(target).value(), Tags{"Blue"});
}

TEST_F(Attributes, CommentsRoundTripExactly) {
  const auto f = dir.file("c.txt");
  EXPECT_EQ(readFinderComment(f), "");
  for (const std::string text :
       {" leading and trailing ", "zwei\nZeilen\t✓", "quote \" and \\", "日本語"}) {
    ASSERT_TRUE(setFinderComment(f, text));
    EXPECT_EQ(xattr(f, kComment), text);
    EXPECT_EQ(readFinderComment(f), text);
  }
  ASSERT_TRUE(setFinderComment(f, ""));
  EXPECT_EQ(xattr(f, kComment), std::nullopt);
  EXPECT_TRUE(setFinderComment(f, "")) << "already absent counts as set";
}

TEST_F(Attributes, UnreadableCommentsReadAsEmpty) {
  const auto f = dir.file("c.txt");
  for (const std::string stored : {"", "bad \xff\xfe bytes"}) {
    dir.attr("c.txt", kComment, stored);
    EXPECT_EQ(readFinderComment(f), "") << stored;
  }
  std::string reused = "old contents";
  EXPECT_FALSE(readFinderCommentAt(AT_FDCWD, f.c_str(), f.c_str(), reused));
  EXPECT_EQ(reused, "");
}

TEST_F(Attributes, LongValuesAreReadWhole) {
  // Longer than the first read's buffer: takes the size-query road (and
  // small enough for ext4, which keeps all of an inode's attributes in 4 KiB).
  const auto f = dir.file("long.txt");
  const std::string comment(2000, 'c');
  ASSERT_TRUE(setFinderComment(f, comment));
  EXPECT_EQ(readFinderComment(f), comment);
  Tags many;
  for (int i = 0; i < 250; ++i) many.push_back("tag" + std::to_string(i));
  ASSERT_TRUE(writeTags(f, many).ok());
  EXPECT_EQ(readTags(f).value(), many);
}

}  // namespace
}  // namespace quarrytide::testing
