// runBatch and cancelBatch: the batch engine behind the page's Apply, Undo and Redo.
#include <chrono>

#include "args.hpp"
#include "bridge.hpp"
#include "catalogue/copy_item.hpp"
#include "part_pacer.hpp"
#include "reply_text.hpp"

namespace quarrytide {

// Members of a type other than the key expects count as absent, as in apply.
Change changeFrom(const nlohmann::json& record) {
  Args a(record);
  Change c;
  c.path = a.path("path", "rawPath").value_or("");
  c.newPath = a.path("newPath", "rawNewPath");
  readMetadataFields(a, c);
  return c;
}

namespace {

// Progress goes to the page at most this often: each part is a script to run.
constexpr auto kProgressEvery = std::chrono::milliseconds(100);

// Fresh records in parts of this many: each is taken in by the page in a few
// tens of milliseconds.
constexpr std::size_t kRecordsPerPart = 4096;

// The fresh records as paced parts in columns; returns the rows that have none.
std::vector<std::size_t> sendRecords(const std::shared_ptr<ReplyChannel>& replies, std::int64_t id,
                                     const std::string& folder,
                                     std::vector<std::optional<FileRecord>>& fresh,
                                     std::size_t rows, std::vector<FileRecord>& rest) {
  std::vector<std::size_t> unrecorded;
  PartPacer pacer(replies, id, folder, true);
  std::vector<FileRecord> run;
  for (std::size_t i = 0; i < rows; ++i) {
    if (i >= fresh.size() || !fresh[i]) {
      unrecorded.push_back(i);
      continue;
    }
    run.push_back(std::move(*fresh[i]));
    if (run.size() == kRecordsPerPart) pacer.add(std::exchange(run, {}));
  }
  if (!run.empty()) pacer.add(std::move(run));
  rest = pacer.finish();
  return unrecorded;
}

}  // namespace

void Bridge::runBatch(std::int64_t id, const nlohmann::json& args) {
  const nlohmann::json* records = Args(args).objects("changes");
  if (!records) return replies_->fail(id, {ErrorCode::kBadRequest, "missing changes"});
  std::vector<Change> changes;
  changes.reserve(records->size());
  for (const auto& record : *records) changes.push_back(changeFrom(record));
  const Args a(args);
  const BatchOptions options{a.boolean("folders", false), a.boolean("removeEmptied", false),
                             a.boolean("copy", false)};
  if (a.boolean("dryRun", false)) {
    io_.submit([replies = replies_, id, changes = std::move(changes), options]() mutable {
      replies->post(batchReplyCall(id, checkBatch(changes, options), {}));
    });
    return;
  }
  BatchInfo info{a.string("batch").value_or(""),
                 a.string("title").value_or(""),
                 a.string("folder").value_or(""),
                 0,
                 true,
                 a.string("undoes").value_or("")};
  io_.submit([replies = replies_, &catalogue = host_.catalogue, journal = journal_, stops = stops_,
              id, info = std::move(info), changes = std::move(changes),
              columns = a.boolean("columns", false), options,
              accessed = a.boolean("accessed", false)]() mutable {
    const std::string folder = info.folder;
    const std::size_t total = changes.size();
    const std::string batch = info.id;
    auto last = std::chrono::steady_clock::now();
    std::size_t done = 0, failed = 0;
    std::uint64_t bytes = 0;
    auto tell = [&] {
      const auto now = std::chrono::steady_clock::now();
      if (now - last < kProgressEvery) return;
      last = now;
      replies->part(progressCall(id, done, failed, total, bytes), {});
    };
    // copies and moves across drives: their bytes as they are written
    CopyProgress copied([&](std::uint64_t n) {
      bytes += n;
      tell();
    });
    BatchHooks hooks{
        [&](const Operation& op, PriorState& prior) { return catalogue.applyRecorded(op, prior); },
        [&](std::size_t d, std::size_t f) {
          done = d, failed = f;
          tell();
        },
        [&] { return stops->taken(batch); }};
    auto outcome =
        quarrytide::runBatch(journal, std::move(info), std::move(changes), hooks, options);
    stops->forget(batch);
    if (!outcome) {
      Error e = outcome.error();
      e.message =
          "The batch could not be written to the journal, so nothing was changed: " + e.message;
      return replies->fail(id, e);
    }
    std::vector<std::optional<FileRecord>> fresh;
    if (!outcome->refused) {
      std::vector<std::string> at;
      at.reserve(outcome->results.size());
      for (const auto& r : outcome->results) at.push_back(r.newPath);
      fresh = catalogue.describeAll(at, accessed);
    }
    if (!columns) return replies->post(batchReplyCall(id, *outcome, fresh));
    std::vector<FileRecord> rest;
    const auto unrecorded = sendRecords(replies, id, folder, fresh, total, rest);
    replies->post(batchColumnsReplyCall(id, *outcome, rest, unrecorded));
  });
}

void Bridge::cancelBatch(std::int64_t id, const nlohmann::json& args) {
  auto batch = Args(args).string("batch");
  if (!batch) return replies_->fail(id, {ErrorCode::kBadRequest, "missing batch"});
  stops_->ask(*batch);
  resolve(id, true, nullptr);
}

}  // namespace quarrytide
