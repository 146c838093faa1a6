#include "rename.hpp"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "folder_cursor.hpp"

namespace quarrytide {

Error nameTaken(const std::string& name) {
  return Error{ErrorCode::kExists, "A file named \"" + name + "\" already exists."};
}

Error notAFolder(const std::string& name) {
  return Error{ErrorCode::kNotAFolder, "\"" + name + "\" is a file, not a folder."};
}

// An empty name would join to the folder itself, and a NUL would cut the
// name short in every system call.
bool validName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

int RenameFs::identify(const std::string& path, FileIdentity& id) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return errno;
  id = {st.st_dev, st.st_ino};
  return 0;
}

std::vector<FileIdentity> identities(const std::vector<std::string>& paths) {
  std::vector<FileIdentity> out(paths.size());
  FolderCursor folders;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const char* name = nullptr;
    struct stat st;
    if (const int fd = folders.open(paths[i], name); fd < 0) {
      // no folder to open: the whole path
      if (!paths[i].empty()) RenameFs().identify(paths[i], out[i]);
    } else if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      out[i] = FileIdentity{st.st_dev, st.st_ino};
    }
  }
  return out;
}

int RenameFs::move(const std::string& from, const std::string& to) {
  return moveNoReplace(from, to);
}

int moveNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  int err = errno;
  // Some network and FUSE file systems do not know the flag and say EINVAL;
  // a plain rename() there would silently replace an item, so take the slower
  // road that still refuses an existing destination.
  if (err != EINVAL) return err;
  return moveNoReplaceWithoutFlag(from, to);
}

int moveNoReplaceWithoutFlag(const std::string& from, const std::string& to) {
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) {
    // link() refuses an existing destination atomically, as the flag would.
    if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) == 0) {
      if (::unlink(from.c_str()) == 0) return 0;
      int err = errno;
      ::unlink(to.c_str());  // keep the single name the item had
      return err;
    }
    int err = errno;
    // Anything but "hard links are not supported here" is the answer.
    if (err != EPERM && err != EOPNOTSUPP && err != EMLINK && err != ENOSYS) return err;
  }
  // Folders cannot be hard-linked: test, then move. Another process creating
  // the destination in between is the one race this road leaves open.
  if (::lstat(to.c_str(), &st) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

Result<std::string> temporaryName() {
  unsigned char b[16];
  std::size_t got = 0;
  while (got < sizeof b) {
    ssize_t n = ::getrandom(b + got, sizeof b - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Error::posix(errno);
    }
    got += static_cast<std::size_t>(n);
  }
  b[6] = (b[6] & 0x0F) | 0x40;  // version 4
  b[8] = (b[8] & 0x3F) | 0x80;  // RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text,
                "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return ".quarrytide-tmp-" + std::string(text);
}

Result<std::string> renameFile(const std::string& path, const std::string& newName) {
  static RenameFs system;  // stateless
  return renameFile(path, newName, system);
}

Result<std::string> renameFile(const std::string& path, const std::string& newName, RenameFs& fs) {
  if (!validName(newName)) return Error{ErrorCode::kInvalidName, "Invalid file name."};

  std::string item = path;
  while (item.size() > 1 && item.back() == '/') item.pop_back();
  auto slash = item.rfind('/');
  std::string folder = slash == std::string::npos ? "" : item.substr(0, slash + 1);
  std::string_view current = std::string_view(item).substr(folder.size());
  if (current == newName) return path;  // byte for byte: "é" and "e\u0301" differ here
  std::string destination = folder + newName;

  // The move itself says whether the name is free (it never replaces): only
  // a taken name costs a look at what holds it.
  int moved = fs.move(item, destination);
  if (moved == 0) return destination;
  if (moved != EEXIST) return Error::posix(moved);
  FileIdentity destinationId;
  int err = fs.identify(destination, destinationId);
  if (err == ENOENT) return Error::posix(moved);  // taken a moment ago, free again now
  if (err) return Error::posix(err);

  FileIdentity itemId;
  if (int e = fs.identify(item, itemId)) return Error::posix(e);
  if (!(itemId == destinationId)) return nameTaken(newName);

  // The destination is the item itself under another spelling: the file
  // system ignores case or normalises names, and would see a direct move as
  // a move onto itself.
  auto temporary = temporaryName();
  if (!temporary) return temporary.error();
  std::string temporaryPath = folder + *temporary;
  if (int e = fs.move(item, temporaryPath)) return Error::posix(e);
  if (int e = fs.move(temporaryPath, destination)) {
    // Whatever refused the second move, the item must not stay hidden under
    // the temporary name: put it back. Still taken with the item out of the
    // way means a second hard link, a different entry: a collision.
    if (fs.move(temporaryPath, item) == 0)
      return e == EEXIST ? nameTaken(newName) : Error::posix(e);
    // Both names are taken now (another process is creating them): say where
    // the item is, so that nobody believes it lost.
    Error error = Error::posix(e);
    error.message += " (the item is kept as \"" + *temporary + "\")";
    return error;
  }
  return destination;
}

Result<std::string> moveItem(const std::string& path, const std::string& to) {
  const auto slash = to.rfind('/');
  if (slash == std::string::npos) return Error{ErrorCode::kInvalidName, "Invalid file name."};
  const std::string name = to.substr(slash + 1);
  std::string item = path;
  while (item.size() > 1 && item.back() == '/') item.pop_back();
  if (item.substr(0, item.rfind('/') + 1) == to.substr(0, slash + 1)) return renameFile(item, name);
  if (!validName(name)) return Error{ErrorCode::kInvalidName, "Invalid file name."};
  if (const int e = moveNoReplace(item, to)) return e == EEXIST ? nameTaken(name) : Error::posix(e);
  return to;
}

Status makeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return okStatus();
  const int err = errno;
  struct stat st;
  if (err == EEXIST && ::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return okStatus();
    return notAFolder(path.substr(path.rfind('/') + 1));
  }
  return Error::posix(err);
}

}  // namespace quarrytide
