// The listing commands end to end through quarrytide-headless, on a real tree
// whose tags and comments were set with setfattr.
#include <cstdlib>

#include <gtest/gtest.h>

#include "headless.hpp"
#include "tree_builder.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

void setfattr(const std::string& path, const std::string& name, const std::string& value) {
  const std::string cmd = "setfattr -n '" + name + "' -v '" + value + "' '" + path + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

class HeadlessListing : public ::testing::Test {
 protected:
  void SetUp() override {
    t.file("Report 10.txt", "abc");
    t.file("Report 2.txt");
    t.file("sub/deep.md", "1234567");
    t.file(".hidden");
    t.file("bad\xff.txt");
    t.folder("Album.2024");
    setfattr(t.at("Report 2.txt"), "user.xdg.tags", "Green,client,Red");
    setfattr(t.at("Report 2.txt"), "user.xdg.comment", "Entwurf für Kunde");
    setfattr(t.at("sub/deep.md"), "user.xdg.tags", "Purple");
  }
  HeadlessRun run(const std::vector<std::string>& lines,
                  const std::vector<std::string>& args = {}) {
    return runHeadless(lines, args, {"XDG_CONFIG_HOME=" + home.path()});
  }
  json request(int id, const std::string& cmd, const json& args) {
    return {{"id", id}, {"cmd", cmd}, {"args", args}};
  }
  Tree t;
  TempDir home;
};

TEST_F(HeadlessListing, ListFolderAnswersWithFullRecords) {
  const auto out = run({request(1, "listFolder", {{"folder", t.root() + "/"}}).dump()});
  ASSERT_EQ(out.status, 0) << out.err;
  const auto replies = out.replies();
  ASSERT_EQ(replies.size(), 1u);
  const json& payload = replies[0]["payload"];
  EXPECT_EQ(payload["folder"], t.root() + "/");
  const json& files = payload["files"];
  ASSERT_EQ(files.size(), 3u) << files.dump();
  EXPECT_EQ(files[0]["name"], "bad\xEF\xBF\xBD.txt") << "invalid bytes reach the page as U+FFFD";
  EXPECT_EQ(files[1]["name"], "Report 2.txt");
  EXPECT_EQ(files[2]["name"], "Report 10.txt");

  const json& r = files[1];
  EXPECT_EQ(r.size(), 11u);
  EXPECT_EQ(r["path"], t.at("Report 2.txt"));
  EXPECT_EQ(r["basename"], "Report 2");
  EXPECT_EQ(r["ext"], "txt");
  EXPECT_EQ(r["isDir"], false);
  EXPECT_EQ(r["size"], 1);
  EXPECT_TRUE(r["modified"].is_number() && r["modified"].get<double>() > 1.6e12);
  EXPECT_EQ(r["tags"], json({"client", "Red"}));
  EXPECT_EQ(r["label"], 2);
  EXPECT_EQ(r["comment"], "Entwurf für Kunde");
  EXPECT_EQ(files[2]["size"], 3);
  EXPECT_EQ(files[2]["tags"], json::array());
}

TEST_F(HeadlessListing, TreeAndFoldersModes) {
  const auto out =
      run({request(1, "listFolder", {{"folder", t.root()}, {"recursive", true}}).dump(),
           request(2, "listFolder", {{"folder", t.root()}, {"kind", "folders"}}).dump(),
           request(3, "listFolder", {{"folder", t.at("nope")}}).dump()});
  const auto replies = out.replies();
  ASSERT_EQ(replies.size(), 3u) << out.err;
  const json& tree = replies[0]["payload"]["files"];
  ASSERT_EQ(tree.size(), 4u);
  EXPECT_EQ(tree[0]["name"], "bad\xEF\xBF\xBD.txt");
  EXPECT_EQ(tree[1]["path"], t.at("sub/deep.md"));
  EXPECT_EQ(tree[1]["label"], 3);
  EXPECT_EQ(tree[1]["tags"], json::array());
  const json& folders = replies[1]["payload"]["files"];
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0]["name"], "Album.2024");
  EXPECT_EQ(folders[0]["isDir"], true);
  EXPECT_EQ(folders[0]["ext"], "2024");
  EXPECT_EQ(folders[1]["name"], "sub");
  EXPECT_EQ(replies[2]["payload"], json({{"folder", t.at("nope")}, {"files", json::array()}}));
}

TEST_F(HeadlessListing, StatPathsKeepsOrderAndLeavesOutMissingPaths) {
  t.link("dangling", t.at("nowhere"));
  const auto out = run({request(1, "statPaths",
                                {{"paths",
                                  {t.at("sub/deep.md"), t.at("gone"), t.at("dangling"),
                                   t.at("Report 2.txt") + "/", t.at("sub")}}})
                            .dump()});
  const auto replies = out.replies();
  ASSERT_EQ(replies.size(), 1u) << out.err;
  const json& files = replies[0]["payload"]["files"];
  ASSERT_EQ(files.size(), 2u) << files.dump();
  EXPECT_EQ(files[0]["path"], t.at("sub/deep.md"));
  EXPECT_EQ(files[0]["size"], 7);
  EXPECT_EQ(files[1]["path"], t.at("sub"));
  EXPECT_EQ(files[1]["isDir"], true);
}

TEST_F(HeadlessListing, ChooseFolderListsTheChoiceOrAnswersNull) {
  const auto chosen = run({request(1, "chooseFolder", {{"recursive", true}}).dump()},
                          {"--choose", t.at("sub") + "/"});
  auto replies = chosen.replies();
  ASSERT_EQ(replies.size(), 1u) << chosen.err;
  EXPECT_EQ(replies[0]["payload"]["folder"], t.at("sub"));
  ASSERT_EQ(replies[0]["payload"]["files"].size(), 1u);
  EXPECT_EQ(replies[0]["payload"]["files"][0]["label"], 3);

  const auto cancelled = run({request(2, "chooseFolder", json::object()).dump()});
  replies = cancelled.replies();
  ASSERT_EQ(replies.size(), 1u) << cancelled.err;
  EXPECT_EQ(replies[0], json({{"id", 2}, {"ok", true}, {"payload", nullptr}}));
}

}  // namespace
}  // namespace quarrytide::testing
