// apply and reveal.
#include <algorithm>

#include "args.hpp"
#include "bridge.hpp"
#include "catalogue/file_record.hpp"
#include "catalogue/rename.hpp"
#include "reply_text.hpp"

namespace quarrytide {

namespace {

// A value of another type than the record's key expects counts as absent;
// the values behind a flag are read only when the flag is set.
Operation operationFrom(const nlohmann::json& record) {
  Args a(record);
  Operation op;
  op.path = a.path("path", "rawPath");
  op.newName = a.string("newName");
  readMetadataFields(a, op);
  return op;
}

}  // namespace

void Bridge::apply(std::int64_t id, const nlohmann::json& args) {
  const nlohmann::json* records = Args(args).objects("ops");
  if (!records) {
    replies_->fail(id, {ErrorCode::kBadRequest, "missing ops"});
    return;
  }
  std::vector<Operation> ops;
  ops.reserve(records->size());
  for (const auto& record : *records) ops.push_back(operationFrom(record));

  const Args a(args);
  BatchInfo batch{a.string("batch").value_or(""),  a.string("title").value_or(""),
                  a.string("folder").value_or(""), a.integer("total", 0),
                  a.boolean("end", false),         ""};

  // One after another, in order, each seeing the disk as the ones before left
  // it; a failure is reported in its own result and the batch goes on.
  io_.submit([replies = replies_, &catalogue = host_.catalogue, journal = journal_, id,
              ops = std::move(ops), batch = std::move(batch)] {
    std::vector<OpResult> results;
    results.reserve(ops.size());
    if (!journal) {
      for (const auto& op : ops) results.push_back(catalogue.applyOp(op));
      replies->post(resultsReplyCall(id, results));
      return;
    }
    // A batch stopped early ends with nothing more to run: no empty batch is made.
    if (ops.empty() && batch.end && !batch.id.empty()) {
      Status ended = journal->end(batch.id);
      replies->post(resultsReplyCall(id, results,
                                     ended ? std::nullopt : std::optional(ended.error().message)));
      return;
    }
    // Nothing changes on disk before the request is in the journal.
    std::vector<std::string> paths(ops.size());
    for (std::size_t i = 0; i < ops.size(); ++i)
      if (ops[i].path && !namesNoItem(*ops[i].path)) paths[i] = plainPath(*ops[i].path);
    auto plan = journal->plan(batch, ops, identities(paths));
    if (!plan) {
      replies->fail(id, {ErrorCode::kJournal,
                         "The batch could not be written to the journal, so nothing was changed: " +
                             plan.error().message});
      return;
    }
    // Outcomes go in every thousand records, so that a crash loses little of
    // what undo needs, at the cost of a few transactions per batch.
    constexpr std::size_t kOutcomesPerWrite = 1000;
    std::vector<PriorState> prior(ops.size());
    std::optional<std::string> unrecorded;
    std::size_t written = 0;
    for (std::size_t i = 0; i < ops.size(); ++i) {
      results.push_back(catalogue.applyRecorded(ops[i], prior[i]));
      if (results.size() - written == kOutcomesPerWrite || i + 1 == ops.size()) {
        if (Status st = journal->record(*plan, ops, results, prior, written, results.size()); !st)
          unrecorded = st.error().message;
        written = results.size();
      }
    }
    if (batch.end && !batch.id.empty())
      if (Status st = journal->end(batch.id); !st) unrecorded = st.error().message;
    replies->post(resultsReplyCall(id, results, unrecorded));
  });
}

void Bridge::reveal(std::int64_t id, const nlohmann::json& args) {
  auto paths = Args(args).strings("paths").value_or(std::vector<std::string>{});
  std::erase_if(paths, [](const std::string& p) { return namesNoItem(p); });
  // A later main-queue item, so the handler returns first; the reply follows
  // the hand-over to the file browser. When nothing could show the items the
  // page is told so, instead of a success that showed nothing.
  host_.main.post([replies = replies_, &browser = host_.browser, id, paths = std::move(paths)] {
    browser.reveal(paths, [replies, id](std::optional<std::string> error) {
      if (error)
        replies->fail(id, {ErrorCode::kIo, "No file manager could show the items: " + *error});
      else
        replies->resolve(id, true, nullptr);
    });
  });
}

}  // namespace quarrytide
