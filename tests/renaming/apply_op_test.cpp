// applyOp on real files: rename, tags, label and comment in their fixed order.
#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>

#include "catalogue/operation.hpp"
#include "metadata/result.hpp"
#include "temp_dir.hpp"

namespace quarrytide {
void PrintTo(const OpResult& r, std::ostream* os) {
  *os << "{ok " << r.ok << ", path " << r.path.value_or("-") << ", newPath "
      << r.newPath.value_or("-") << ", error " << r.error.value_or("-") << "}";
}
}  // namespace quarrytide

namespace quarrytide::testing {
namespace {

namespace fs = std::filesystem;

const char* kCommentFailed =
    "Could not set comment (allow controlling Finder in System Settings \u25B8 Privacy \u25B8 "
    "Automation).";

// The raw attribute, as other programs see it; nullopt when absent.
std::optional<std::string> attr(const std::string& path, const char* name) {
  char buf[4096];
  ssize_t n = lgetxattr(path.c_str(), name, buf, sizeof buf);
  if (n < 0) return std::nullopt;
  return std::string(buf, n);
}
void setAttr(const std::string& path, const char* name, const std::string& value) {
  ASSERT_EQ(lsetxattr(path.c_str(), name, value.data(), value.size(), 0), 0);
}
std::optional<std::string> tags(const std::string& path) { return attr(path, "user.xdg.tags"); }
std::optional<std::string> comment(const std::string& path) {
  return attr(path, "user.xdg.comment");
}

class ApplyOp : public ::testing::Test {
 protected:
  std::string file(const std::string& name, const std::string& storedTags = "") {
    std::string p = dir.path() + "/" + name;
    std::ofstream(p) << name;
    if (!storedTags.empty()) setAttr(p, "user.xdg.tags", storedTags);
    return p;
  }
  Operation op(const std::string& path) {
    Operation o;
    o.path = path;
    return o;
  }
  TempDir dir;
};

TEST_F(ApplyOp, RefusesARecordWithoutPathAndAnswersPlainRecordsWithTheCleanPath) {
  EXPECT_EQ(applyOp(Operation{}), (OpResult{false, std::nullopt, std::nullopt, "missing path"}));

  std::string a = file("a.txt");
  EXPECT_EQ(applyOp(op(a)), (OpResult{true, a, a, std::nullopt}));
  std::string messy = dir.path() + "//./a.txt/";
  EXPECT_EQ(applyOp(op(messy)), (OpResult{true, messy, a, std::nullopt}));

  // A relative path counts from the working directory.
  auto cwd = fs::current_path();
  fs::current_path(dir.path());
  auto relative = op("a.txt");
  relative.newName = "b.txt";
  auto r = applyOp(relative);
  fs::current_path(cwd);
  EXPECT_EQ(r, (OpResult{true, "a.txt", dir.path() + "/b.txt", std::nullopt}));
}

TEST_F(ApplyOp, LabelAndTagChangesReplaceOnlyTheHalfTheyAskFor) {
  // setLabel with label 0, 8 or -1 removes the label and keeps the user tags.
  for (std::int64_t none : {0, 8, -1}) {
    std::string p = file("f", "a,Red,b");
    auto o = op(p);
    o.setLabel = true;
    o.label = none;
    ASSERT_TRUE(applyOp(o).ok);
    EXPECT_EQ(tags(p), "a,b") << none;
  }
  // A new label goes after the user tags, which keep their order.
  std::string p = file("g", "z,Red,a,Red");
  auto label = op(p);
  label.setLabel = true;
  label.label = 4;
  ASSERT_TRUE(applyOp(label).ok);
  EXPECT_EQ(tags(p), "z,a,Red,Blue");  // the second "Red" was a user tag

  // setTags with no tags keeps only the colour, which is the first colour
  // name of the list as it now stands.
  auto clear = op(p);
  clear.setTags = true;
  ASSERT_TRUE(applyOp(clear).ok);
  EXPECT_EQ(tags(p), "Red");

  // Both at once: one write. An item with no tags and no label ends with none.
  auto both = op(p);
  both.setTags = both.setLabel = true;
  both.tags = {"x", "y"};
  both.label = 2;
  ASSERT_TRUE(applyOp(both).ok);
  EXPECT_EQ(tags(p), "x,y,Green");
  both.tags = {};
  both.label = 0;
  ASSERT_TRUE(applyOp(both).ok);
  EXPECT_EQ(tags(p), std::nullopt);
}

TEST_F(ApplyOp, RenamesFirstThenWritesMetadataUnderTheNewName) {
  std::string p = file("old.jpg", "Gray");
  auto all = op(p);
  all.newName = "new.jpg";
  all.setTags = true;
  all.tags = {"trip"};
  all.setComment = true;
  all.comment = "first line\n \"second\"";
  std::string moved = dir.path() + "/new.jpg";
  EXPECT_EQ(applyOp(all), (OpResult{true, p, moved, std::nullopt}));
  EXPECT_EQ(tags(moved), "trip,Gray");
  EXPECT_EQ(comment(moved), "first line\n \"second\"");

  // The same name again is no rename; the metadata still runs.
  auto same = op(moved);
  same.newName = "new.jpg";
  same.setComment = true;  // "" removes the comment
  EXPECT_EQ(applyOp(same), (OpResult{true, moved, moved, std::nullopt}));
  EXPECT_EQ(comment(moved), std::nullopt);
}

TEST_F(ApplyOp, EachFailureEndsTheRecordAndLeavesTheLaterStepsUndone) {
  std::string a = file("a", "keep,Red");
  file("b");
  setAttr(a, "user.xdg.comment", "old");
  auto collide = op(a);
  collide.newName = "b";
  collide.setTags = collide.setLabel = collide.setComment = true;
  EXPECT_EQ(applyOp(collide),
            (OpResult{false, a, std::nullopt, "A file named \"b\" already exists."}));
  EXPECT_EQ(tags(a), "keep,Red");
  EXPECT_EQ(comment(a), "old");

  // The rename stays when the tag write then fails; the comment is not written.
  auto comma = op(a);
  comma.newName = "c";
  comma.setTags = true;
  comma.tags = {"x,y"};
  comma.setComment = true;
  comma.comment = "new";
  std::string c = dir.path() + "/c";
  EXPECT_EQ(
      applyOp(comma),
      (OpResult{false, a, c, "tags: Tag names cannot contain \",\": \"x,y\" was not written."}));
  EXPECT_EQ(tags(c), "keep,Red");
  EXPECT_EQ(comment(c), "old");
}

TEST_F(ApplyOp, AnItemThatRefusesAttributesReportsTheWriteThatFailed) {
  // Linux refuses user attributes on symbolic links, and they are changed as
  // themselves, never through to their target.
  std::string target = file("target", "t");
  std::string link = dir.path() + "/link";
  ASSERT_EQ(symlink("target", link.c_str()), 0);

  auto label = op(link);
  label.newName = "link2";
  label.setLabel = true;
  label.label = 6;
  std::string link2 = dir.path() + "/link2";
  EXPECT_EQ(applyOp(label), (OpResult{false, link, link2, "tags: " + Error::posix(EPERM).message}));

  auto note = op(link2);
  note.setComment = true;
  note.comment = "x";
  EXPECT_EQ(applyOp(note), (OpResult{false, link2, link2, kCommentFailed}));
  EXPECT_EQ(tags(target), "t");
  EXPECT_EQ(comment(target), std::nullopt);

  // Tags that cannot be read are never replaced by a list that lost them.
  auto gone = op(dir.path() + "/missing");
  gone.setLabel = true;
  gone.label = 1;
  EXPECT_EQ(applyOp(gone).error,
            "tags: could not read the current tags: " + Error::posix(ENOENT).message);
}

}  // namespace
}  // namespace quarrytide::testing
