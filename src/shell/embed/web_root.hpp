#pragma once
// The page's folder, and which of its files a page URL may name. No GTK
// here: this is the part of the app scheme that decides what is served.
// Nothing is shared or cached: callable from any thread.

#include <optional>
#include <string>
#include <variant>

namespace quarrytide {

struct ServedFile {
  std::string path;      // real path, inside the web root
  std::string mimeType;  // for the Content-Type header
};

struct Refusal {
  std::string reason;  // short, for the error page
};

class WebRoot {
 public:
  // The folder itself may be reached through a symbolic link (the build tree
  // links it to the sources); it is resolved once, here. nullopt when it is
  // not an existing folder.
  static std::optional<WebRoot> open(const std::string& folder);

  // `encodedPath` is the path of a page URL as written, percent-encoding
  // included ("/" means index.html). Refused: ".", ".." and empty segments,
  // in plain or encoded form, encoded "/" and NUL, and anything whose real
  // path leaves the root (a symbolic link out of it) or is not a regular file.
  std::variant<ServedFile, Refusal> resolve(const std::string& encodedPath) const;

  const std::string& folder() const { return folder_; }

 private:
  explicit WebRoot(std::string folder) : folder_(std::move(folder)) {}
  std::string folder_;  // real path, no trailing "/"
};

// The MIME type the page's files are served with, from the name's extension.
std::string mimeTypeFor(const std::string& path);

// A small self-contained HTML page telling that `what` could not be shown,
// and why; both texts are escaped.
std::string errorPage(const std::string& what, const std::string& reason);

}  // namespace quarrytide
