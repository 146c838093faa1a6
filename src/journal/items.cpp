#include "items.hpp"

#include <unordered_map>
#include <unordered_set>

namespace quarrytide {

bool isTemporaryName(std::string_view name) {
  return name.starts_with(".quarrytide-tmp-") || name.starts_with(".qt-swap-");
}

std::optional<std::string> impliedNewPath(const Operation& op) {
  const std::string path = op.path.value_or("");
  const auto slash = path.rfind('/');
  if (op.newFolder) {
    if (slash == std::string::npos && !op.newName) return std::nullopt;
    return *op.newFolder + "/" + op.newName.value_or(path.substr(slash + 1));
  }
  if (!op.newName) return path;
  if (slash == std::string::npos) return std::nullopt;
  return path.substr(0, slash + 1) + *op.newName;
}

ItemLinks linkItems(const std::vector<Operation>& ops,
                    const std::function<bool(const std::string&)>& parkedEarlier) {
  ItemLinks links{std::vector<std::ptrdiff_t>(ops.size(), ItemLinks::kFirst),
                  std::vector<bool>(ops.size(), true)};
  std::unordered_map<std::string, std::size_t> at;  // where an item is now -> its last record
  std::unordered_set<std::string> parked;           // temporary paths an item was moved to
  for (std::size_t i = 0; i < ops.size(); ++i) {
    if (ops[i].folderOnly()) {  // a folder the batch makes or removes is no item of it
      links.before[i] = ItemLinks::kCounted;
      continue;
    }
    const std::string path = ops[i].path.value_or("");
    if (auto it = at.find(path); it != at.end()) {
      links.before[i] = std::ptrdiff_t(it->second);
      links.last[it->second] = false;
      at.erase(it);
    } else if (isTemporaryName(path.substr(path.rfind('/') + 1)) &&
               (parked.count(path) || (parkedEarlier && parkedEarlier(path)))) {
      links.before[i] = ItemLinks::kCounted;
    }
    if (auto end = impliedNewPath(ops[i])) {
      if (isTemporaryName(end->substr(end->rfind('/') + 1))) parked.insert(*end);
      at[std::move(*end)] = i;
    }
  }
  return links;
}

ItemCounts countItems(const ItemLinks& links, std::size_t from, std::size_t to,
                      const std::function<EntryState(std::size_t)>& state) {
  ItemCounts counts;
  for (std::size_t i = from; i < to; ++i) {
    if (!links.last[i]) continue;
    bool failed = false, done = true;
    std::ptrdiff_t k = std::ptrdiff_t(i);
    for (; k >= 0; k = links.before[std::size_t(k)]) {
      const EntryState s = state(std::size_t(k));
      failed |= s == EntryState::kFailed;
      done &= s == EntryState::kDone;
    }
    if (k == ItemLinks::kCounted) continue;
    (failed ? counts.failed : done ? counts.done : counts.notRun) += 1;
  }
  return counts;
}

}  // namespace quarrytide
