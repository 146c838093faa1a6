// The history of batches: listBatches, readBatch, journalStatus, pruneJournal.
// All run on `io`, after the applies before them.
#include <algorithm>

#include "args.hpp"
#include "bridge.hpp"
#include "journal/export.hpp"
#include "raw_bytes.hpp"
#include "settings_file.hpp"

namespace quarrytide {

namespace {

constexpr const char* kStates[] = {"planned", "done", "failed", "notRun", "left"};

// `key` with `text`, and `rawKey` with its bytes when they are not UTF-8 (the
// text then holds U+FFFD): an undo puts such a name back byte for byte.
void setPath(nlohmann::json& j, const char* key, const char* rawKey, const std::string& text) {
  j[key] = text;
  if (!isUtf8(text)) j[rawKey] = base64Of(text);
}

}  // namespace

nlohmann::json summaryJson(const BatchSummary& b) {
  nlohmann::json j = {{"id", b.id},         {"started", b.started},
                      {"title", b.title},   {"folder", b.folder},
                      {"done", b.done},     {"failed", b.failed},
                      {"notRun", b.notRun}, {"interrupted", b.interrupted}};
  if (!b.undoes.empty()) j["undoes"] = b.undoes;
  return j;
}

nlohmann::json entryJson(const JournalEntry& e, bool locate) {
  nlohmann::json j = {{"state", kStates[int(e.state)]}};
  setPath(j, "path", "rawPath", *e.op.path);
  if (e.op.newName) setPath(j, "newName", "rawNewName", *e.op.newName);
  if (e.op.newFolder) setPath(j, "newFolder", "rawNewFolder", *e.op.newFolder);
  if (e.op.folderStep == Operation::FolderStep::kMake) j["makeFolder"] = true;
  if (e.op.folderStep == Operation::FolderStep::kRemove) j["removeFolder"] = true;
  if (e.op.copy) j["copy"] = true;
  if (e.newPath) setPath(j, "newPath", "rawNewPath", *e.newPath);
  if (e.error) j["error"] = *e.error;
  if (e.op.setTags) j["tags"] = e.op.tags;
  if (e.op.setLabel) j["label"] = e.op.label;
  if (e.op.setComment) j["comment"] = e.op.comment;
  if (e.prior.tags) j["oldTags"] = *e.prior.tags;
  if (e.prior.label) j["oldLabel"] = *e.prior.label;
  if (e.prior.comment) j["oldComment"] = *e.prior.comment;
  if (locate && e.identity.ino) {
    // where the item is now: where the batch left it, else found by identity in that folder
    auto now = locateItem(e.newPath.value_or(*e.op.path), e.identity);
    if (now)
      setPath(j, "now", "rawNow", *now);
    else
      j["now"] = nullptr;
  }
  return j;
}

void Bridge::listBatches(std::int64_t id, const nlohmann::json& args) {
  const Args a(args);
  std::size_t limit = std::size_t(std::clamp<std::int64_t>(a.integer("limit", 50), 1, 1000));
  std::optional<double> before;
  if (auto it = args.find("before"); it != args.end() && it->is_number())
    before = it->get<double>();
  io_.submit([replies = replies_, journal = journal_, id, limit, before] {
    nlohmann::json list = nlohmann::json::array();
    if (journal)
      for (const auto& b : journal->batches(limit, before)) list.push_back(summaryJson(b));
    replies->resolve(id, true, {{"batches", std::move(list)}});
  });
}

void Bridge::readBatch(std::int64_t id, const nlohmann::json& args) {
  const Args a(args);
  auto batch = a.string("id");
  if (!batch) {
    replies_->fail(id, {ErrorCode::kBadRequest, "missing id"});
    return;
  }
  bool locate = a.boolean("locate", false);
  io_.submit([replies = replies_, journal = journal_, id, batch = std::move(*batch), locate] {
    auto summary = journal ? journal->batch(batch) : std::nullopt;
    if (!summary) {
      replies->fail(id, {ErrorCode::kNotFound, "no such batch"});
      return;
    }
    nlohmann::json entries = nlohmann::json::array();
    for (const auto& e : journal->entries(batch)) entries.push_back(entryJson(e, locate));
    replies->resolve(id, true, {{"batch", summaryJson(*summary)}, {"entries", std::move(entries)}});
  });
}

void Bridge::journalStatus(std::int64_t id, const nlohmann::json&) {
  io_.submit([replies = replies_, journal = journal_, repairs = repairs_, id] {
    nlohmann::json status = {{"available", journal && !journal->problem()}};
    if (journal && journal->problem()) status["problem"] = *journal->problem();
    if (journal && journal->setAside()) status["setAside"] = *journal->setAside();
    nlohmann::json list = nlohmann::json::array();
    for (const auto& r : repairs)
      list.push_back({{"batch", r.batch}, {"found", r.found}, {"now", r.now}, {"moved", r.moved}});
    status["repairs"] = std::move(list);
    nlohmann::json cut = nlohmann::json::array();
    if (journal)
      for (const auto& name : journal->cutShort())
        if (auto b = journal->batch(name)) cut.push_back(summaryJson(*b));
    status["interrupted"] = std::move(cut);
    replies->resolve(id, true, status);
  });
}

void Bridge::exportBatch(std::int64_t id, const nlohmann::json& args) {
  const Args a(args);
  auto batch = a.string("id");
  std::string format = a.string("format").value_or("");
  if (!batch) return replies_->fail(id, {ErrorCode::kBadRequest, "missing id"});
  if (format != "csv" && format != "sh")
    return replies_->fail(id, {ErrorCode::kBadRequest, "unknown format: " + format});
  std::string name = "quarrytide-batch." + format;
  // The chooser answers on the main thread while the host (and so this Bridge) runs.
  host_.chooser.saveAs(name, [this, id, batch = std::move(*batch),
                              format](std::optional<std::string> file) {
    if (!file) return resolve(id, true, nullptr);  // a cancel is not an error
    io_.submit([replies = replies_, journal = journal_, id, batch, format,
                file = std::move(*file)] {
      auto summary = journal ? journal->batch(batch) : std::nullopt;
      if (!summary) return replies->fail(id, {ErrorCode::kNotFound, "no such batch"});
      auto entries = journal->entries(batch);
      std::string text = format == "csv" ? batchCsv(entries) : batchUndoScript(*summary, entries);
      if (auto error = writeFileAtomically(file, text))
        return replies->fail(id, {ErrorCode::kIo, "The export could not be saved: " + *error});
      replies->resolve(id, true, {{"path", file}});
    });
  });
}

void Bridge::pruneJournal(std::int64_t id, const nlohmann::json& args) {
  const Args a(args);
  auto keepBatches = std::size_t(std::max<std::int64_t>(a.integer("keepBatches", 1000), 1));
  double keepDays = double(std::max<std::int64_t>(a.integer("keepDays", 90), 1));
  io_.submit([replies = replies_, journal = journal_, id, keepBatches, keepDays] {
    Status st = journal ? journal->prune(keepBatches, keepDays) : okStatus();
    if (st)
      replies->resolve(id, true, nullptr);
    else
      replies->fail(
          id, {ErrorCode::kJournal, "The history could not be trimmed: " + st.error().message});
  });
}

}  // namespace quarrytide
