#pragma once
// The only operation that changes names on disk. It never replaces an item.

#include <sys/types.h>

#include <string>
#include <vector>

#include "metadata/result.hpp"

namespace quarrytide {

// Which inode a directory entry names (links are not followed).
struct FileIdentity {
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The file-system calls a rename makes, kept apart so that tests can play a
// file system that ignores case, or another process racing the rename.
// Each returns 0 or an errno value.
class RenameFs {
 public:
  virtual ~RenameFs() = default;
  virtual int identify(const std::string& path, FileIdentity& id);   // lstat
  virtual int move(const std::string& from, const std::string& to);  // moveNoReplace
};

// The identity of the item at each path; a zero identity for an empty path or
// one that cannot be read (no item has it). Items of one folder are looked up in it through one
// open descriptor: a batch is mostly one folder, and walking each whole path again costs as much as
// the lookup itself.
std::vector<FileIdentity> identities(const std::vector<std::string>& paths);

// Gives the item at `path` the name `newName` in the same folder and returns
// its new path (or `path` itself when there is nothing to do). Names are
// bytes: only an identical name is nothing to do. An existing destination
// that is the item itself (a file system that ignores case or normalises
// names) is reached through a hidden temporary name; any other existing item
// is error kExists and nothing moves. Called on `io` only.
Result<std::string> renameFile(const std::string& path, const std::string& newName);
Result<std::string> renameFile(const std::string& path, const std::string& newName, RenameFs& fs);

// Moves the item at `path` to the path `to`, in its own folder (as
// renameFile) or in another one on the same file system; never replaces an
// item. Another file system is error kCrossDevice and nothing moves.
Result<std::string> moveItem(const std::string& path, const std::string& to);

// Makes the folder `path` with the mode a new folder gets (0777 less the
// umask). One already there is fine; a file there is kNotAFolder.
Status makeFolder(const std::string& path);

// The errors of a name held by another item and of a file where a folder
// would be, as every step that meets them says them.
Error nameTaken(const std::string& name);
Error notAFolder(const std::string& name);

// Whether `name` can be an item's name: not empty, ".", "..", and without "/"
// or NUL.
bool validName(const std::string& name);

// Moves `from` to `to`, never replacing an item at `to` (EEXIST). 0 or errno.
int moveNoReplace(const std::string& from, const std::string& to);
// moveNoReplace's road on file systems that refuse RENAME_NOREPLACE.
int moveNoReplaceWithoutFlag(const std::string& from, const std::string& to);

// ".quarrytide-tmp-" and a random version-4 UUID in upper case.
Result<std::string> temporaryName();

}  // namespace quarrytide
