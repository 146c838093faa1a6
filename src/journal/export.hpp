#pragma once
// A batch of the journal as text for elsewhere: CSV for a spreadsheet, and a
// POSIX shell script that reverses it. Names stay bytes, as on disk.

#include <string>
#include <vector>

#include "journal.hpp"

namespace quarrytide {

// One line per record: old path, new path, state, the metadata set and the
// metadata before (RFC 4180 quoting).
std::string batchCsv(const std::vector<JournalEntry>& entries);
// `sh` moves every item the batch renamed back (never onto an item) and gives
// back the tags, label and comment it changed (setfattr, values in hex),
// last record first; what it cannot undo it reports on standard error.
std::string batchUndoScript(const BatchSummary& batch, const std::vector<JournalEntry>& entries);

}  // namespace quarrytide
