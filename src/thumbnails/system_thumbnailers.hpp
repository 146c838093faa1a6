#pragma once
// Thumbnailer programs that desktop packages install ("*.thumbnailer" files
// in the thumbnailers folders of the XDG data dirs), for the types GdkPixbuf
// cannot read: videos, PDFs, fonts...

#include <chrono>
#include <string>
#include <vector>

#include "thumbnails/pixbuf_ptr.hpp"

namespace quarrytide {

class SystemThumbnailers {
 public:
  // Reads the entries in `folders` once (the first entry for a type wins);
  // a program still running after `limit` is killed.
  explicit SystemThumbnailers(const std::vector<std::string>& folders,
                              std::chrono::milliseconds limit = std::chrono::seconds(5));
  // $XDG_DATA_HOME/thumbnailers, then those of $XDG_DATA_DIRS.
  static std::vector<std::string> standardFolders();

  // Any thread; blocks while the program runs. The picture the thumbnailer
  // for `contentType` makes of the file, or null when there is none, it
  // fails, or it takes longer than the limit.
  PixbufPtr make(const std::string& path, const std::string& uri, const std::string& contentType,
                 int pixels) const;

 private:
  struct Entry {
    std::vector<std::string> mimeTypes;
    std::string exec;
  };
  std::vector<Entry> entries_;
  std::chrono::milliseconds limit_;
};

}  // namespace quarrytide
