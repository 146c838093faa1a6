#pragma once
// The command line: `quarrytide rename …` and `quarrytide history`, which need
// no display and never start GTK. The chain runs in the page's own modules
// (PageEngine); a batch goes through the engine and the journal, as the
// window's do. Runs on the thread that calls it.

#include <string>

namespace quarrytide {

// The page whose modules the command line runs: its folder, and the BCP 47
// tag of the language its messages speak (the window's).
struct PageSource {
  std::string folder;
  std::string language;
};

// Whether `word` (the program's first argument) names a subcommand.
bool isSubcommand(const char* word);

// A path as a command line gives it, made absolute (relative ones count from
// the working folder, which another instance does not share); a file: URI,
// as desktop entries and file managers pass them, is its path.
std::string absolutePath(const char* arg);

// Runs the subcommand argv[1]; its exit status: 0 done or a clean dry run,
// 1 problems kept the batch from running or some items failed, 2 a usage error.
int runCommandLine(int argc, char** argv, const PageSource& page);

}  // namespace quarrytide
