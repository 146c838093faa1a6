#include "batch_plan.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <string_view>
#include <unordered_map>

#include "catalogue/folder_cursor.hpp"
#include "catalogue/page_path.hpp"
#include "catalogue/rename.hpp"

namespace quarrytide {

namespace {

std::string_view folderView(std::string_view path) { return path.substr(0, path.rfind('/') + 1); }

// Paths by their text, viewed in the changes (which outlive the map): a
// batch of 100,000 copied 200,000 strings into two maps for each pass.
using PathIndex = std::unordered_map<std::string_view, std::size_t>;

bool renames(const Change& c) { return c.newPath && *c.newPath != c.path; }

// The step of change `c` from the path `from`: to its new path when `to`
// (a copy names its folder, even its own).
Operation opOf(const Change& c, const std::string& from, bool to, bool copy = false) {
  Operation op;
  op.path = from;
  if (to) {
    op.newName = nameOf(*c.newPath);
    op.copy = copy;
    if (copy || folderView(*c.newPath) != folderView(from)) op.newFolder = parentOf(*c.newPath);
  }
  op.setTags = c.setTags;
  op.tags = c.tags;
  op.setLabel = c.setLabel;
  op.label = c.label;
  op.setComment = c.setComment;
  op.comment = c.comment;
  return op;
}

std::optional<Error> nameProblem(const Change& c, bool folders) {
  const Error invalid{ErrorCode::kInvalidName, "Invalid file name."};
  const std::string name = nameOf(*c.newPath);
  if (!validName(name) || c.newPath->find('\0') != std::string::npos) return invalid;
  if (!folders) {
    if (folderOf(plainPath(*c.newPath)) != folderOf(c.path))
      return Error{ErrorCode::kOtherFolder, "An item can only be renamed within its own folder."};
    if (name.size() > 255) return Error::posix(ENAMETOOLONG);
    return std::nullopt;
  }
  // Into folders: a whole path, each of its folders a name of its own. ".."
  // is the page's to resolve: through a link it is not the folder it seems.
  if (c.newPath->empty() || c.newPath->front() != '/') return invalid;
  for (std::size_t at = 1, end; at <= c.newPath->size(); at = end + 1) {
    end = std::min(c.newPath->find('/', at), c.newPath->size());
    const std::string_view part = std::string_view(*c.newPath).substr(at, end - at);
    if (part == "..") return invalid;
    if (part.size() > 255) return Error::posix(ENAMETOOLONG);
  }
  if (plainPath(*c.newPath).starts_with(c.path + "/"))
    return Error{ErrorCode::kInvalidName, "A folder cannot move into itself."};
  return std::nullopt;
}

// Whether the folder `folder` ("/a/b", or "" for the root) is there or can be
// made: every part of it that is there is a folder. Answers are kept, as many
// items go into few folders.
class FolderCheck {
 public:
  std::optional<Error> problem(const std::string& folder) {
    if (folder.empty()) return std::nullopt;
    if (auto known = seen_.find(folder); known != seen_.end()) return known->second;
    std::optional<Error> found;
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) found = notAFolder(nameOf(folder));
    } else if (errno == ENOENT || errno == ENOTDIR) {
      found = problem(folder.substr(0, folder.rfind('/')));
      if (!found) missing_.insert(folder);
    } else {
      found = Error::posix(errno);
    }
    return seen_[folder] = found;
  }
  // The folders looked at that are not there, parents before their children.
  const std::set<std::string>& missing() const { return missing_; }

 private:
  std::unordered_map<std::string, std::optional<Error>> seen_;
  std::set<std::string> missing_;
};

}  // namespace

std::vector<std::optional<Error>> checkChanges(std::vector<Change>& changes,
                                               const BatchOptions& options) {
  const bool folders = options.folders;
  std::vector<std::optional<Error>> problems(changes.size());
  // Every path made plain first: the indexes below view them.
  for (std::size_t i = 0; i < changes.size(); ++i) {
    Change& c = changes[i];
    if (namesNoItem(c.path)) {
      problems[i] = Error{ErrorCode::kBadRequest, "The change names no item."};
      continue;
    }
    c.path = plainPath(c.path);
    if (c.newPath) {
      if ((problems[i] = nameProblem(c, folders))) continue;
      c.newPath = folders ? plainPath(*c.newPath) : folderOf(c.path) + nameOf(*c.newPath);
    }
  }
  // The folders new paths go into: there, or to be made where nothing but
  // folders stands in the way.
  FolderCheck into;
  for (std::size_t i = 0; i < changes.size() && folders; ++i) {
    const Change& c = changes[i];
    if (!problems[i] && renames(c) && folderOf(*c.newPath) != folderOf(c.path))
      problems[i] = into.problem(parentOf(*c.newPath));
  }
  PathIndex bySource, byTarget;
  bySource.reserve(changes.size());
  byTarget.reserve(changes.size());
  for (std::size_t i = 0; i < changes.size(); ++i) {
    if (problems[i]) continue;
    const Change& c = changes[i];
    if (auto [at, fresh] = bySource.emplace(c.path, i); !fresh) {
      problems[i] = Error{ErrorCode::kSameItem, "Another change of the batch is for this item."};
      problems[at->second] = problems[i];
    }
  }
  for (std::size_t i = 0; i < changes.size(); ++i) {
    if (problems[i] || !renames(changes[i])) continue;
    if (auto [at, fresh] = byTarget.emplace(*changes[i].newPath, i); !fresh) {
      problems[i] =
          Error{ErrorCode::kSameTarget, "Another item of the batch is to get the name \"" +
                                            nameOf(*changes[i].newPath) + "\"."};
      problems[at->second] = problems[i];
    }
  }
  for (std::size_t i = 0; i < changes.size() && folders; ++i)
    if (!problems[i] && renames(changes[i]) && into.missing().contains(*changes[i].newPath))
      problems[i] = Error{ErrorCode::kSameTarget, "The batch makes a folder named \"" +
                                                      nameOf(*changes[i].newPath) + "\" there."};
  // A target is free when nothing is there, or the item there moves away in
  // this batch, or it is the item itself (a file system that ignores case).
  // Targets are looked up in their folder, opened once for a run of them.
  FolderCursor cursor;
  const auto order = folderOrder(changes.size(), [&](std::size_t i) -> std::string_view {
    return changes[i].newPath ? *changes[i].newPath : changes[i].path;
  });
  for (std::size_t i : order) {
    const Change& c = changes[i];
    if (problems[i] || !renames(c)) continue;
    // nothing is in a folder the batch is to make
    if (folders && into.missing().contains(parentOf(*c.newPath))) continue;
    if (auto s = bySource.find(*c.newPath);
        !options.copy && s != bySource.end() && renames(changes[s->second]))
      continue;
    struct stat target, item;
    const char* name = nullptr;
    const int fd = cursor.open(*c.newPath, name);
    if ((fd < 0 ? ::lstat(c.newPath->c_str(), &target)
                : ::fstatat(fd, name, &target, AT_SYMLINK_NOFOLLOW)) != 0)
      continue;
    if (::lstat(c.path.c_str(), &item) == 0 && item.st_dev == target.st_dev &&
        item.st_ino == target.st_ino)
      continue;
    problems[i] = nameTaken(nameOf(*c.newPath));
  }
  return problems;
}

Result<BatchPlan> planChanges(const std::vector<Change>& changes,
                              const std::function<Result<std::string>()>& temporary, bool copy) {
  BatchPlan plan;
  std::size_t groups = 0;
  auto emit = [&](Operation op, std::size_t change, bool final, std::size_t group) {
    plan.ops.push_back(std::move(op));
    plan.change.push_back(change);
    plan.final.push_back(final);
    plan.group.push_back(group);
  };
  plan.ops.reserve(changes.size());
  plan.change.reserve(changes.size());
  plan.final.reserve(changes.size());
  plan.group.reserve(changes.size());
  // Folders in a fixed order, so that the same set always runs the same way.
  std::map<std::string_view, std::vector<std::size_t>> byFolder;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    if (renames(changes[i]))
      byFolder[folderView(changes[i].path)].push_back(i);
    else
      emit(opOf(changes[i], changes[i].path, false), i, true, groups++);
  }
  // The folders new paths need go first, each parent before its children.
  FolderCheck into;
  std::set<std::string> made;
  for (const auto& [folder, list] : byFolder)
    for (std::size_t i : list) {
      const std::string target = parentOf(*changes[i].newPath);
      if (target == parentOf(changes[i].path) || into.problem(target)) continue;
      std::vector<std::string> needed;
      for (std::string at = target; into.missing().contains(at) && !made.contains(at);
           at = parentOf(at))
        needed.push_back(at);
      for (auto it = needed.rbegin(); it != needed.rend(); ++it) {
        Operation make;
        make.path = *it;
        make.folderStep = Operation::FolderStep::kMake;
        emit(std::move(make), i, false, groups++);
        made.insert(*it);
      }
    }
  // A chain may pass through several folders: items are found by path over
  // the whole batch.
  PathIndex bySource, byTarget;
  bySource.reserve(changes.size());
  byTarget.reserve(changes.size());
  for (const auto& [folder, list] : byFolder)
    for (std::size_t i : list) {
      bySource[changes[i].path] = i;
      byTarget[*changes[i].newPath] = i;
    }
  std::vector<bool> done(changes.size());
  for (const auto& [folder, list] : byFolder) {
    auto next = [&](std::size_t i) -> std::optional<std::size_t> {  // the change waiting on i
      auto w = byTarget.find(changes[i].path);
      return w == byTarget.end() ? std::nullopt : std::optional(w->second);
    };
    // A change whose target no waiting item holds goes now; that frees its
    // old name for the change waiting on it, and so on down the chain.
    for (std::size_t i : list) {
      if (done[i]) continue;
      if (auto b = bySource.find(*changes[i].newPath); b != bySource.end() && !done[b->second])
        continue;
      for (std::optional<std::size_t> cur = i; cur && !done[*cur]; cur = next(*cur)) {
        const Change& c = changes[*cur];
        emit(opOf(c, c.path, true, copy), *cur, true, groups++);
        done[*cur] = true;
      }
    }
    // What is left are cycles: park one item, run the rest, bring it in last.
    for (std::size_t i : list) {
      if (done[i]) continue;
      std::string parked;
      do {
        auto name = temporary();
        if (!name) return name.error();
        parked = std::string(folder) + *name;
      } while (bySource.contains(parked) || byTarget.contains(parked));
      const std::size_t group = groups++;
      Operation park;
      park.path = changes[i].path;
      park.newName = nameOf(parked);
      emit(std::move(park), i, false, group);
      done[i] = true;
      for (std::size_t cur = *next(i); cur != i; cur = *next(cur)) {
        const Change& c = changes[cur];
        emit(opOf(c, c.path, true), cur, true, group);
        done[cur] = true;
      }
      emit(opOf(changes[i], parked, true), i, true, group);
    }
  }
  return plan;
}

}  // namespace quarrytide
