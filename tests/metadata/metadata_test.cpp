// Tags, colour labels and comments, in memory and in extended attributes of real files.
#include <fcntl.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "files.hpp"
#include "metadata/comments.hpp"
#include "metadata/tag_store.hpp"
#include "metadata/tags.hpp"
#include "temp_dir.hpp"

namespace quarrytide {
void PrintTo(const Error& e, std::ostream* os) {
  *os << codeName(e.code) << " " << e.sys << ": " << e.message;
}
}  // namespace quarrytide

namespace quarrytide::testing {
namespace {

using Tags = std::vector<std::string>;
const char* kTags = "user.xdg.tags";
const char* kComment = "user.xdg.comment";

TEST(Tags, TheFirstExactColourNameIsTheLabelAndOnlyValidLabelsAreJoinedBack) {
  EXPECT_EQ(labelForTag("Gray"), 1);
  EXPECT_EQ(labelForTag("Orange"), 7);
  for (const char* other : {"", "orange", "Gray ", "Grey", "Redish"})
    EXPECT_EQ(labelForTag(other), 0) << other;
  // Every other tag stays a user tag, in place: empty ones, repeats, later colours.
  EXPECT_EQ(splitTags({"b", "", "Red", "b", "Blue", "Red"}),
            (SplitTags{{"b", "", "b", "Blue", "Red"}, 6}));
  EXPECT_EQ(joinTags({"Blue"}, 4), (Tags{"Blue", "Blue"})) << "never deduplicated";
  const Tags user{"a", "", "b"};
  for (std::int64_t label = 0; label <= 7; ++label)
    EXPECT_EQ(splitTags(joinTags(user, label)), (SplitTags{user, label})) << label;
}

TEST(Attributes, TagsRoundTripInTheSharedFormat) {
  TempDir dir;
  const auto f = dir.file("a.txt");
  EXPECT_EQ(readTags(f).value(), Tags{});
  ASSERT_TRUE(writeTags(f, {"Projekt Ä", "", "Red"}).ok());
  EXPECT_EQ(xattr(f, kTags), "Projekt Ä,,Red");
  EXPECT_EQ(readTags(f).value(), (Tags{"Projekt Ä", "", "Red"}));
  // Written by another program: a trailing comma is an empty last tag.
  dir.attr("a.txt", kTags, "one,two,");
  EXPECT_EQ(readTags(f).value(), (Tags{"one", "two", ""}));
  // More than the first read's buffer holds: read through a size query.
  Tags many;
  for (int i = 0; i < 250; ++i) many.push_back("tag" + std::to_string(i));
  ASSERT_TRUE(writeTags(f, many).ok());
  EXPECT_EQ(readTags(f).value(), many);
  ASSERT_TRUE(writeTags(f, {}).ok());
  EXPECT_EQ(xattr(f, kTags), std::nullopt);
  EXPECT_TRUE(writeTags(f, {}).ok()) << "removing what is not there is success";
}

TEST(Attributes, RefusedWritesChangeNothingAndSayWhy) {
  TempDir dir;
  const auto f = dir.file("a.txt"), link = dir.link("link", f), gone = dir.at("gone");
  ASSERT_TRUE(writeTags(f, {"keep"}).ok());
  EXPECT_EQ(
      writeTags(f, {"fine", "a,b"}).error(),
      (Error{ErrorCode::kInvalidTag, "Tag names cannot contain \",\": \"a,b\" was not written."}));
  // A link's metadata is its own, and Linux keeps user attributes off links.
  EXPECT_EQ(readTags(link).value(), Tags{});
  EXPECT_EQ(writeTags(link, {"Red"}).error(), Error::posix(EPERM));
  EXPECT_EQ(readTags(f).value(), Tags{"keep"});
  EXPECT_EQ(readTags(gone).error(), Error::posix(ENOENT));
  EXPECT_EQ(writeTags(gone, {"x"}).error(), Error::posix(ENOENT));
  EXPECT_EQ(readComment(gone), "");
  EXPECT_FALSE(setComment(gone, "hello"));
}

TEST(Attributes, CommentsRoundTripExactlyAndUnreadableOnesReadAsEmpty) {
  TempDir dir;
  const auto f = dir.file("c.txt");
  EXPECT_EQ(readComment(f), "");
  // The long one takes the size-query road (and is small enough for ext4,
  // which keeps all of an inode's attributes in 4 KiB).
  for (const std::string& text :
       std::vector<std::string>{" leading and trailing ", "zwei\nZeilen\t✓", "quote \" and \\",
                                "日本語", std::string(2000, 'c')}) {
    ASSERT_TRUE(setComment(f, text));
    EXPECT_EQ(xattr(f, kComment), text);
    EXPECT_EQ(readComment(f), text);
  }
  ASSERT_TRUE(setComment(f, ""));
  EXPECT_EQ(xattr(f, kComment), std::nullopt);
  EXPECT_TRUE(setComment(f, "")) << "already absent counts as set";
  for (const std::string stored : {"", "bad \xff\xfe bytes"}) {
    dir.attr("c.txt", kComment, stored);
    EXPECT_EQ(readComment(f), "") << stored;
  }
  std::string reused = "old contents";
  EXPECT_FALSE(readCommentAt(AT_FDCWD, f.c_str(), f.c_str(), reused));
  EXPECT_EQ(reused, "");
}

}  // namespace
}  // namespace quarrytide::testing
