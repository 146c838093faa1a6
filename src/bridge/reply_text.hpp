#pragma once
// The texts that cross from native code into the page, and the one repair
// made to text coming the other way.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "catalogue/file_record.hpp"
#include "catalogue/operation.hpp"
#include "journal/run_batch.hpp"

namespace quarrytide {

// Calls whose JSON is longer than this carry it as text in an ASCII string,
// `f(JSON.parse("…"))` (characters beyond ASCII as JSON escapes); the others
// as a literal, `f({…})`, exactly as JSON writes them.
inline constexpr std::size_t kParsedCallAbove = 256 * 1024;

// "window.__bridgeResolveRaw(" + reply object + ")". Bytes that are not valid
// UTF-8 become U+FFFD, so an odd file name can never make a reply vanish.
std::string replyCall(std::int64_t id, bool ok, const nlohmann::json& payload);
// The same with the payload as valid JSON text, put in as it is.
std::string replyTextCall(std::int64_t id, bool ok, const std::string& payload);

// The same call for the payload {"folder": folder (when given), "files": [...]},
// streamed straight from the records.
std::string recordsReplyCall(std::int64_t id, const std::optional<std::string>& folder,
                             const std::vector<FileRecord>& files);

// "window.__bridgePartRaw(" + {"id", "folder", "files": [...]} + ")": records
// of a listing that arrive ahead of its reply.
std::string partCall(std::int64_t id, const std::string& folder,
                     const std::vector<FileRecord>& files);

// The same part with its records as columns ("columns", an extension): the
// page's engine parses a number or a short string for a million records far
// faster, and keeps far less, than an object with eleven keys for each.
// A record's path and base name go only where they are not its folder joined
// to its name, and its name without "." and extension.
std::string partColumnsCall(std::int64_t id, const std::string& folder,
                            const std::vector<FileRecord>& files);

// The apply reply, {"results": [result records]}, streamed too: a batch can
// hold tens of thousands of them. Each record has exactly its shape's keys.
// `unrecorded`: why outcomes could not be written to the journal (the
// extension key "journal"), absent when they were.
std::string resultsReplyCall(std::int64_t id, const std::vector<OpResult>& results,
                             const std::optional<std::string>& unrecorded = std::nullopt);

// The reply of a failed request, {"id", "ok": false, "payload": message,
// "code": its code}.
std::string failureCall(std::int64_t id, const Error& error);

// A batch's progress ahead of its reply: "window.__bridgePartRaw(" +
// {"id", "progress": {"done", "failed", "total"}} + ")", with "bytes" (the
// bytes copies have written so far) once there are any.
std::string progressCall(std::int64_t id, std::size_t done, std::size_t failed, std::size_t total,
                         std::uint64_t bytes = 0);

// The runBatch reply: {"results": [...]} with one result per change (its
// fresh record where the item is, `records[i]`), and "refused", "cancelled"
// and "journal" when they apply.
std::string batchReplyCall(std::int64_t id, const BatchOutcome& outcome,
                           const std::vector<std::optional<FileRecord>>& records);

// The runBatch reply when the records went ahead as parts in columns: the
// records the parts did not hold (`files`), the failed changes only
// ({"row", "newPath", "code", "error", "stage"?}), the rows without a record
// (`unrecorded`), and the flags as above. A batch of 100,000 renames answered
// with a record in each result was a 40 MB script, held the page for seconds.
std::string batchColumnsReplyCall(std::int64_t id, const BatchOutcome& outcome,
                                  const std::vector<FileRecord>& files,
                                  const std::vector<std::size_t>& unrecorded);

// "window.__onDrop(" + {"folder", "files", "dropKind"} + ")".
// With `opened` (items handed to the program from outside), "opened": true too.
std::string dropCall(const std::string& folder, const std::vector<FileRecord>& files,
                     const char* dropKind, bool opened = false);

// A journal batch as listBatches answers it, and one entry as readBatch does
// (with `locate`, where its item is now).
nlohmann::json summaryJson(const BatchSummary& batch);
nlohmann::json entryJson(const JournalEntry& entry, bool locate);

// The web view writes unpaired UTF-16 surrogates as \uD8xx-style escapes,
// which JSON parsers refuse; this maps each of them to \uFFFD.
std::string mapLoneSurrogates(std::string_view jsonText);

}  // namespace quarrytide
