#pragma once
// What a folder holds, as the tests check it after a change.

#include <sys/xattr.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>

namespace quarrytide::testing {

// The whole content of a file ("" when it cannot be read).
inline std::string read(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The names of a folder's entries, hidden ones included.
inline std::set<std::string> names(const std::string& folder) {
  std::set<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    out.insert(e.path().filename().string());
  return out;
}

// Every item below a folder but the folders themselves, by path from there,
// with its content as read() gives it: names and contents in one look.
inline std::map<std::string, std::string> contents(const std::string& folder) {
  std::map<std::string, std::string> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
    if (!e.is_directory() || e.is_symlink())
      out[e.path().string().substr(folder.size() + 1)] = read(e.path().string());
  return out;
}

// An item's own extended attribute as other programs see it; nullopt when absent.
inline std::optional<std::string> xattr(const std::string& path, const char* name) {
  char buf[65536];
  const ssize_t n = ::lgetxattr(path.c_str(), name, buf, sizeof buf);
  if (n < 0) return std::nullopt;
  return std::string(buf, static_cast<std::size_t>(n));
}

}  // namespace quarrytide::testing
