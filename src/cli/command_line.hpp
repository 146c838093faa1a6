#pragma once
// The command line: `quarrytide rename …` and `quarrytide history`, which need
// no display and never start GTK. The chain runs in the page's own modules
// (PageEngine); a batch goes through the engine and the journal, as the
// window's do. Runs on the thread that calls it.

#include <string>

namespace quarrytide {

// Whether `word` (the program's first argument) names a subcommand.
bool isSubcommand(const char* word);

// Runs the subcommand argv[1]; its exit status: 0 done or a clean dry run,
// 1 problems kept the batch from running or some items failed, 2 a usage error.
int runCommandLine(int argc, char** argv, const std::string& webFolder);

}  // namespace quarrytide
