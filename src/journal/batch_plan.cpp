#include "batch_plan.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <string_view>
#include <unordered_map>

#include "catalogue/folder_cursor.hpp"
#include "catalogue/page_path.hpp"
#include "catalogue/rename.hpp"

namespace quarrytide {

namespace {

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }
std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }
std::string_view folderView(std::string_view path) { return path.substr(0, path.rfind('/') + 1); }

// Paths by their text, viewed in the changes (which outlive the map): a
// batch of 100,000 copied 200,000 strings into two maps for each pass.
using PathIndex = std::unordered_map<std::string_view, std::size_t>;

bool renames(const Change& c) { return c.newPath && *c.newPath != c.path; }

Operation opOf(const Change& c, const std::string& from, std::optional<std::string> newName) {
  Operation op;
  op.path = from;
  op.newName = std::move(newName);
  op.setTags = c.setTags;
  op.tags = c.tags;
  op.setLabel = c.setLabel;
  op.label = c.label;
  op.setComment = c.setComment;
  op.comment = c.comment;
  return op;
}

std::optional<Error> nameProblem(const Change& c) {
  const std::string name = nameOf(*c.newPath);
  if (!validName(name) || c.newPath->find('\0') != std::string::npos)
    return Error{ErrorCode::kInvalidName, "Invalid file name."};
  if (folderOf(plainPath(*c.newPath)) != folderOf(c.path))
    return Error{ErrorCode::kOtherFolder, "An item can only be renamed within its own folder."};
  if (name.size() > 255) return Error::posix(ENAMETOOLONG);
  return std::nullopt;
}

}  // namespace

std::vector<std::optional<Error>> checkChanges(std::vector<Change>& changes) {
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
      if ((problems[i] = nameProblem(c))) continue;
      c.newPath = folderOf(c.path) + nameOf(*c.newPath);
    }
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
  // A target is free when nothing is there, or the item there moves away in
  // this batch, or it is the item itself (a file system that ignores case).
  // Targets are looked up in their folder, opened once for a run of them.
  FolderCursor folders;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const Change& c = changes[i];
    if (problems[i] || !renames(c)) continue;
    if (auto s = bySource.find(*c.newPath); s != bySource.end() && renames(changes[s->second]))
      continue;
    struct stat target, item;
    const char* name = nullptr;
    const int fd = folders.open(*c.newPath, name);
    if ((fd < 0 ? ::lstat(c.newPath->c_str(), &target)
                : ::fstatat(fd, name, &target, AT_SYMLINK_NOFOLLOW)) != 0)
      continue;
    if (::lstat(c.path.c_str(), &item) == 0 && item.st_dev == target.st_dev &&
        item.st_ino == target.st_ino)
      continue;
    problems[i] =
        Error{ErrorCode::kExists, "A file named \"" + nameOf(*c.newPath) + "\" already exists."};
  }
  return problems;
}

Result<BatchPlan> planChanges(const std::vector<Change>& changes,
                              const std::function<Result<std::string>()>& temporary) {
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
      emit(opOf(changes[i], changes[i].path, std::nullopt), i, true, groups++);
  }
  std::vector<bool> done(changes.size());  // indexes of every folder: no two share one
  for (const auto& [folder, list] : byFolder) {
    PathIndex bySource, byTarget;
    bySource.reserve(list.size());
    byTarget.reserve(list.size());
    for (std::size_t i : list) {
      bySource[changes[i].path] = i;
      byTarget[*changes[i].newPath] = i;
    }
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
        emit(opOf(c, c.path, nameOf(*c.newPath)), *cur, true, groups++);
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
        emit(opOf(c, c.path, nameOf(*c.newPath)), cur, true, group);
        done[cur] = true;
      }
      emit(opOf(changes[i], parked, nameOf(*changes[i].newPath)), i, true, group);
    }
  }
  return plan;
}

}  // namespace quarrytide
