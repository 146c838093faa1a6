// Any file contents under any media extension: the readers answer an object
// with a known kind and either fields or an error, and never crash; nor does
// the reading of a photo's own preview. (The
// libraries themselves are not instrumented; their crashes still end the run.)
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "media/read_media.hpp"
#include "media/readers.hpp"

using namespace quarrytide;

namespace {

const char* const kNames[] = {"f.jpg",  "f.png", "f.tif",  "f.webp", "f.cr2", "f.mp3",
                              "f.flac", "f.ogg", "f.m4a",  "f.wav",  "f.mp4", "f.mkv",
                              "f.avi",  "f.pdf", "f.heic", "f.mts"};

const std::string& folder() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/quarrytide-media-fuzz-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    initReaders();
    return std::string(tmpl);
  }();
  return dir;
}

}  // namespace

// The first byte picks the extension; the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string path = folder() + "/" + kNames[data[0] % std::size(kNames)];
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data + 1), std::streamsize(size - 1));
  // every tag read too: the widest walk through what the libraries parse
  const nlohmann::json out = readMediaFile(path, true);
  const std::string kind = out.at("kind").get<std::string>();
  if (kind != "image" && kind != "audio" && kind != "video" && kind != "document") std::abort();
  if (out.contains("error") && !out["error"].is_string()) std::abort();
  out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  // a photo's own preview: bytes only with an object that says their size
  std::string bytes;
  const nlohmann::json preview = readPreviewFile(path, 1 + data[0] / 16, bytes);
  if (!preview.is_object() || (!bytes.empty() && !preview.contains("previewWidth"))) std::abort();
  unlink(path.c_str());
  return 0;
}
