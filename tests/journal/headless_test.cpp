// The journal through quarrytide-headless: a batch exported, and no journal
// means no renames (read back: see the batch engine's tests).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "files.hpp"
#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

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
