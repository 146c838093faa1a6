// The exports of a batch as a spreadsheet and a shell read them: no byte of a
// name, folder or title gets out of its quotes, no field becomes a formula.
#include "journal/export.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "files.hpp"
#include "temp_dir.hpp"

namespace quarrytide {
namespace {

JournalEntry renamed(const std::string& from, const std::string& to) {
  JournalEntry e;
  e.op.path = from;
  e.op.newName = to.substr(to.rfind('/') + 1);
  e.state = EntryState::kDone;
  e.newPath = to;
  return e;
}

TEST(Export, TheUndoScriptOnlyMovesItemsBackWhateverTheirNamesFolderAndTitleHold) {
  testing::TempDir t;
  // Each would touch a file where the script runs, were any of it run.
  const std::string evil = "a\ntouch nl\n#'q\"$(touch dollar)`touch tick`\xff\xfe\\c.";
  const std::string in = "in\ntouch PWNED\n#" + evil + "/";
  std::vector<JournalEntry> entries;
  std::map<std::string, std::string> want;  // every file below t afterwards, with its content
  for (const std::string& name : {evil, std::string("-rf"), std::string("--x y'")}) {
    entries.push_back(renamed(t.at(in + name), t.file(in + "new " + name, name)));
    entries.back().prior.comment = evil;
    want[in + name] = name;
  }
  // an old name taken since: it stays, and the script says so
  entries.push_back(renamed(t.file(in + "taken", "taken"), t.file(in + "moved", "moved")));
  want[in + "taken"] = "taken", want[in + "moved"] = "moved";
  want["err"] = "not moved back, the old name is taken: " + t.at(in) + "taken\n";
  const BatchSummary batch{"id\ntouch id", 0, "Rename\ntouch title\n#" + evil, t.at(in)};
  std::ofstream(t.folder("run") + "/undo.sh")
      << (want["run/undo.sh"] = batchUndoScript(batch, entries));
  ASSERT_EQ(std::system(("cd '" + t.at("run") + "' && sh undo.sh 2>../err").c_str()), 0);
  EXPECT_EQ(testing::contents(t.path()), want);
  EXPECT_EQ(testing::xattr(t.at(in + "-rf"), "user.xdg.comment"), evil);
}

TEST(Export, ACsvFieldASpreadsheetWouldTakeForAFormulaStartsWithAQuote) {
  const std::vector<std::pair<std::string, std::string>> cases = {{"=1+2", "'=1+2"},
                                                                  {"+1", "'+1"},
                                                                  {"-1", "'-1"},
                                                                  {"@SUM(A1)", "'@SUM(A1)"},
                                                                  {"\tx", "'\tx"},
                                                                  {"\rx", "\"'\rx\""},
                                                                  {"=a,\"b\"", "\"'=a,\"\"b\"\"\""},
                                                                  {"a=b", "a=b"},
                                                                  {"'x", "'x"},
                                                                  {"", ""}};
  for (const auto& [comment, field] : cases) {
    JournalEntry e = renamed("/f/-a", "/f/=b");
    e.op.setComment = true;
    e.op.comment = comment;
    const std::string csv = batchCsv({e});
    EXPECT_EQ(csv.substr(csv.find("\r\n") + 2), "/f/-a,/f/=b,done,,,," + field + ",,,\r\n")
        << comment;
  }
}

}  // namespace
}  // namespace quarrytide
