// apply and reveal.
#include <algorithm>

#include "args.hpp"
#include "bridge.hpp"
#include "catalogue/file_record.hpp"
#include "reply_text.hpp"

namespace quarrytide {

namespace {

// A value of another type than the record's key expects counts as absent;
// the values behind a flag are read only when the flag is set.
Operation operationFrom(const nlohmann::json& record) {
  Args a(record);
  Operation op;
  op.path = a.string("path");
  op.newName = a.string("newName");
  op.setTags = a.boolean("setTags", false);
  if (op.setTags) op.tags = a.strings("tags").value_or(std::vector<std::string>{});
  op.setLabel = a.boolean("setLabel", false);
  if (op.setLabel) op.label = a.integer("label", 0);
  op.setComment = a.boolean("setComment", false);
  if (op.setComment) op.comment = a.string("comment").value_or("");
  return op;
}

}  // namespace

void Bridge::apply(std::int64_t id, const nlohmann::json& args) {
  const nlohmann::json* records = Args(args).objects("ops");
  if (!records) {
    resolve(id, false, "missing ops");
    return;
  }
  std::vector<Operation> ops;
  ops.reserve(records->size());
  for (const auto& record : *records) ops.push_back(operationFrom(record));

  // One after another, in order, each seeing the disk as the ones before left
  // it; a failure is reported in its own result and the batch goes on.
  io_.submit([replies = replies_, &catalogue = host_.catalogue, id, ops = std::move(ops)] {
    std::vector<OpResult> results;
    results.reserve(ops.size());
    for (const auto& op : ops) results.push_back(catalogue.applyOp(op));
    replies->post(resultsReplyCall(id, results));
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
        replies->resolve(id, false, "No file manager could show the items: " + *error);
      else
        replies->resolve(id, true, nullptr);
    });
  });
}

}  // namespace quarrytide
