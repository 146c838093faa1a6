#pragma once
// Reveal in the desktop's file manager.

#include "seams.hpp"

namespace quarrytide {

class FileManagerBrowser final : public FileBrowser {
 public:
  void reveal(const std::vector<std::string>& paths) override;
};

}  // namespace quarrytide
