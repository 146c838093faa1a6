#pragma once
// What a folder holds, as the tests check it after a change.

#include <filesystem>
#include <fstream>
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

}  // namespace quarrytide::testing
