// applyOp on real files: rename, tags, label and comment in their fixed order.
#include <gtest/gtest.h>

#include <cerrno>

#include "catalogue/operation.hpp"
#include "files.hpp"
#include "metadata/result.hpp"
#include "temp_dir.hpp"

namespace quarrytide {
void PrintTo(const OpResult& r, std::ostream* os) {
  *os << "{ok " << r.ok << ", path " << r.path.value_or("-") << ", newPath "
      << r.newPath.value_or("-") << ", error " << r.error.value_or("-") << "}";
}
}  // namespace quarrytide

// Operations name only the fields they set; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace quarrytide::testing {
namespace {

constexpr auto none = std::nullopt;
const char* kTags = "user.xdg.tags";
const char* kComment = "user.xdg.comment";
const char* kCommentFailed =
    "Could not set comment (allow controlling Finder in System Settings \u25B8 Privacy \u25B8 "
    "Automation).";

// An item's raw tags and comment, as other programs see them.
using Meta = std::pair<std::optional<std::string>, std::optional<std::string>>;
Meta meta(const std::string& path) { return {xattr(path, kTags), xattr(path, kComment)}; }

struct ApplyOp : ::testing::Test {
  TempDir dir;
};

TEST_F(ApplyOp, RefusesARecordWithoutPathAndAnswersPlainRecordsWithTheCleanPath) {
  const std::string a = dir.file("a.txt"), messy = dir.path() + "//./a.txt/";
  EXPECT_EQ(applyOp(Operation{}), (OpResult{false, none, none, "missing path"}));
  EXPECT_EQ(applyOp({.path = a}), (OpResult{true, a, a, none}));
  EXPECT_EQ(applyOp({.path = messy}), (OpResult{true, messy, a, none}));
  // A relative path counts from the working directory.
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const OpResult r = applyOp({.path = "a.txt", .newName = "b.txt"});
  std::filesystem::current_path(cwd);
  EXPECT_EQ(r, (OpResult{true, "a.txt", dir.at("b.txt"), none}));
}

TEST_F(ApplyOp, LabelAndTagChangesReplaceOnlyTheHalfTheyAskFor) {
  struct Case {
    const char* what;
    const char* before;
    Operation op;
    std::optional<std::string> after;
  };
  // Label 0, 8 or -1 removes the label; a new one goes after the user tags,
  // which keep their order (the second "Red" was a user tag). No tags keep
  // only the colour: the first colour name of the list as it now stands.
  const Case cases[] = {
      {"label 0", "a,Red,b", {.setLabel = true}, "a,b"},
      {"label 8", "a,Red,b", {.setLabel = true, .label = 8}, "a,b"},
      {"label -1", "a,Red,b", {.setLabel = true, .label = -1}, "a,b"},
      {"label 4", "z,Red,a,Red", {.setLabel = true, .label = 4}, "z,a,Red,Blue"},
      {"no tags", "z,a,Red,Blue", {.setTags = true}, "Red"},
      {"both",
       "Red",
       {.setTags = true, .tags = {"x", "y"}, .setLabel = true, .label = 2},
       "x,y,Green"},
      {"neither", "x,y,Green", {.setTags = true, .setLabel = true}, none},
  };
  for (auto c : cases) {
    c.op.path = dir.file(c.what);
    dir.attr(c.what, kTags, c.before);
    ASSERT_TRUE(applyOp(c.op).ok) << c.what;
    EXPECT_EQ(xattr(*c.op.path, kTags), c.after) << c.what;
  }
}

TEST_F(ApplyOp, RenamesFirstThenWritesMetadataUnderTheNewName) {
  const std::string p = dir.file("old.jpg"), moved = dir.at("new.jpg");
  dir.attr("old.jpg", kTags, "Gray");
  EXPECT_EQ(applyOp({.path = p,
                     .newName = "new.jpg",
                     .setTags = true,
                     .tags = {"trip"},
                     .setComment = true,
                     .comment = "first line\n \"second\""}),
            (OpResult{true, p, moved, none}));
  EXPECT_EQ(meta(moved), Meta("trip,Gray", "first line\n \"second\""));
  // The same name again is no rename; the metadata still runs ("" removes the comment).
  EXPECT_EQ(applyOp({.path = moved, .newName = "new.jpg", .setComment = true}),
            (OpResult{true, moved, moved, none}));
  EXPECT_EQ(meta(moved), Meta("trip,Gray", none));
}

TEST_F(ApplyOp, EachFailureEndsTheRecordAndLeavesTheLaterStepsUndone) {
  const std::string a = dir.file("a"), c = dir.at("c");
  dir.file("b");
  dir.attr("a", kTags, "keep,Red");
  dir.attr("a", kComment, "old");
  EXPECT_EQ(
      applyOp({.path = a, .newName = "b", .setTags = true, .setLabel = true, .setComment = true}),
      (OpResult{false, a, none, "A file named \"b\" already exists."}));
  EXPECT_EQ(meta(a), Meta("keep,Red", "old"));
  // The rename stays when the tag write then fails; the comment is not written.
  EXPECT_EQ(
      applyOp({.path = a,
               .newName = "c",
               .setTags = true,
               .tags = {"x,y"},
               .setComment = true,
               .comment = "new"}),
      (OpResult{false, a, c, "tags: Tag names cannot contain \",\": \"x,y\" was not written."}));
  EXPECT_EQ(meta(c), Meta("keep,Red", "old"));
}

TEST_F(ApplyOp, AnItemThatRefusesAttributesReportsTheWriteThatFailed) {
  // Linux refuses user attributes on symbolic links, and they are changed as
  // themselves, never through to their target.
  const std::string target = dir.file("target"), link = dir.link("link", "target");
  const std::string link2 = dir.at("link2");
  dir.attr("target", kTags, "t");
  EXPECT_EQ(applyOp({.path = link, .newName = "link2", .setLabel = true, .label = 6}),
            (OpResult{false, link, link2, "tags: " + Error::posix(EPERM).message}));
  EXPECT_EQ(applyOp({.path = link2, .setComment = true, .comment = "x"}),
            (OpResult{false, link2, link2, kCommentFailed}));
  EXPECT_EQ(meta(target), Meta("t", none));
  // Tags that cannot be read are never replaced by a list that lost them.
  EXPECT_EQ(applyOp({.path = dir.at("missing"), .setLabel = true, .label = 1}).error,
            "tags: could not read the current tags: " + Error::posix(ENOENT).message);
}

}  // namespace
}  // namespace quarrytide::testing
