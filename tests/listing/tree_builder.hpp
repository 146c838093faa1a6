#pragma once
// Builds small trees of files, folders, links and attributes for the tests.

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "temp_dir.hpp"

namespace quarrytide::testing {

class Tree {
 public:
  const std::string& root() const { return dir_.path(); }
  std::string at(const std::string& rel) const { return rel.empty() ? root() : root() + "/" + rel; }

  std::string file(const std::string& rel, const std::string& content = "x") {
    std::filesystem::create_directories(std::filesystem::path(at(rel)).parent_path());
    std::ofstream(at(rel), std::ios::binary) << content;
    return at(rel);
  }
  std::string folder(const std::string& rel) {
    std::filesystem::create_directories(at(rel));
    return at(rel);
  }
  std::string link(const std::string& rel, const std::string& target) {
    EXPECT_EQ(::symlink(target.c_str(), at(rel).c_str()), 0) << rel;
    return at(rel);
  }
  void attr(const std::string& rel, const char* name, const std::string& value) {
    EXPECT_EQ(::lsetxattr(at(rel).c_str(), name, value.data(), value.size(), 0), 0) << rel;
  }

 private:
  TempDir dir_;
};

}  // namespace quarrytide::testing
