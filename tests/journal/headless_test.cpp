// The journal through quarrytide-headless: every apply is recorded before it
// runs, can be read back with where its items are now, and no journal means
// no renames.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "files.hpp"
#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

TEST(JournalCommands, AnApplyIsReadBackWithWhereItsItemsAreNow) {
  TempDir t;
  const std::vector<std::string> env = {"XDG_STATE_HOME=" + t.folder("state")};
  const json apply = {{"batch", "B1"},
                      {"title", "Rename 2 items"},
                      {"folder", t.at("d")},
                      {"ops",
                       {{{"path", t.file("d/a.txt")}, {"newName", "x.txt"}},
                        {{"path", t.file("d/b.txt")}, {"newName", "x.txt"}}}}};
  auto first = runHeadless({request(1, "apply", apply), request(2, "listBatches"),
                            request(3, "readBatch", {{"id", "nope"}})},
                           {}, env)
                   .byId();
  EXPECT_EQ(first.at(1)["payload"]["results"][1]["ok"], false);
  auto batches = first.at(2)["payload"]["batches"];
  ASSERT_EQ(batches.size(), 1u);
  json want = json::parse(R"({"id":"B1","title":"Rename 2 items","done":1,"failed":1,"notRun":0,
      "interrupted":false})");
  want.update({{"folder", t.at("d")}, {"started", batches[0]["started"]}});
  EXPECT_EQ(batches[0], want);
  EXPECT_EQ(first.at(3)["payload"], "no such batch");

  // moved since by someone else: found by identity in its folder
  std::filesystem::rename(t.at("d/x.txt"), t.at("d/moved.txt"));
  auto later =
      runHeadless({request(4, "readBatch", {{"id", "B1"}, {"locate", true}})}, {}, env).byId();
  auto entries = later.at(4)["payload"]["entries"];
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0]["state"], "done");
  EXPECT_EQ(entries[0]["newPath"], t.at("d/x.txt"));
  EXPECT_EQ(entries[0]["now"], t.at("d/moved.txt"));
  EXPECT_EQ(entries[1]["state"], "failed");
}

TEST(JournalCommands, ABatchIsExportedAsCsvAndAsAScriptThatReversesIt) {
  TempDir t;
  const std::vector<std::string> env = {"XDG_STATE_HOME=" + t.folder("state")};
  std::string a = t.file("d/a \"1\", it's.txt"), c = t.file("d/c.txt");
  t.attr("d/c.txt", "user.xdg.tags", "old,Red");
  auto run = runHeadless({request(1, "apply",
                                  {{"batch", "B"},
                                   {"ops",
                                    {{{"path", a}, {"newName", "x.txt"}},
                                     {{"path", c}, {"setTags", true}, {"tags", {"new"}}}}}}),
                          request(2, "exportBatch", {{"id", "B"}, {"format", "csv"}}),
                          request(3, "exportBatch", {{"id", "B"}, {"format", "sh"}}),
                          request(4, "exportBatch", {{"id", "B"}, {"format", "pdf"}})},
                         {"--choose", t.folder("out")}, env)
                 .byId();
  EXPECT_EQ(run.at(2)["payload"]["path"], t.at("out/quarrytide-batch.csv"));
  EXPECT_EQ(run.at(4)["payload"], "unknown format: pdf");
  std::string csv = read(t.at("out/quarrytide-batch.csv"));
  EXPECT_NE(csv.find("\"" + t.at("d/a \"\"1\"\", it's.txt") + "\"," + t.at("d/x.txt") + ",done,"),
            std::string::npos)
      << csv;
  EXPECT_NE(csv.find(",done,,new,,,old,6,"), std::string::npos) << csv;
  ASSERT_EQ(std::system(("sh '" + t.at("out/quarrytide-batch.sh") + "'").c_str()), 0);
  EXPECT_TRUE(std::filesystem::exists(a));
  EXPECT_EQ(xattr(c, "user.xdg.tags"), "old,Red");
}

TEST(JournalCommands, WithoutAJournalNothingIsRenamedAndTheReplySaysWhy) {
  TempDir t;
  std::string a = t.file("d/a.txt");
  auto run = runHeadless({request(1, "apply", {{"ops", {{{"path", a}, {"newName", "b.txt"}}}}}),
                          request(2, "journalStatus")},
                         {}, {"XDG_STATE_HOME=" + t.file("state-is-a-file")})
                 .byId();
  EXPECT_EQ(run.at(1)["ok"], false);
  EXPECT_NE(run.at(1)["payload"].get<std::string>().find("nothing was changed"), std::string::npos)
      << run.at(1);
  EXPECT_TRUE(std::filesystem::exists(a));
  EXPECT_EQ(run.at(2)["payload"]["available"], false);
  EXPECT_TRUE(run.at(2)["payload"].contains("problem"));
}

}  // namespace
}  // namespace quarrytide::testing
