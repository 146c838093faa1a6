#pragma once
// makeThumb: a file's picture, or else its icon, as a square PNG data URL.

#include <cstdint>
#include <functional>
#include <string>

#include "catalogue/worker_threads.hpp"
#include "thumbnails/embedded_preview.hpp"
#include "thumbnails/icon_source.hpp"
#include "thumbnails/system_thumbnailers.hpp"

namespace quarrytide {

// The largest square side, in pixels, that is ever drawn: a page bug must
// not make the thumbnailer allocate gigabytes.
inline constexpr int kMaxThumbPixels = 2048;  // 1024 points at density 2

class ThumbMaker {
 public:
  // Runs `task` later on the main thread; callable from any thread.
  using PostToMain = std::function<void(std::function<void()>)>;

  // `icons` and `toMain` must outlive every request. `cacheRoot` is the
  // shared thumbnail cache folder to read; `programs` make the pictures of
  // types GdkPixbuf cannot read; `previews` hands over photos' own small
  // pictures, tried before the photo is decoded (none when empty);
  // `threads` is capped at the cores.
  ThumbMaker(IconSource& icons, PostToMain toMain, std::string cacheRoot,
             SystemThumbnailers programs, PreviewSource previews = {},
             unsigned threads = WorkerThreads::cores());
  // Finishes every request already handed to the workers; those that take
  // the icon road still post it to the main thread.
  ~ThumbMaker() = default;

  // Main thread. Returns at once; `done` is later called exactly once with
  // the data URL of a square of size x scale pixels, or "" when no image can
  // be made (also for size x scale < 1). The picture comes from the shared
  // cache, the file itself or a thumbnailer program, made on a worker, and
  // `done` runs there. A file without one gets its content type's icon, and
  // `done` runs on the main thread.
  void makeThumb(const std::string& path, std::int64_t size, double scale,
                 std::function<void(std::string)> done);

 private:
  IconSource& icons_;
  PostToMain toMain_;
  std::string cacheRoot_;
  SystemThumbnailers programs_;
  PreviewSource previews_;
  WorkerThreads workers_;  // last: joined before the rest goes
};

}  // namespace quarrytide
