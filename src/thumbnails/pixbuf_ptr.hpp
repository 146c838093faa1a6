#pragma once
// Owning handle for a GdkPixbuf reference.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <memory>

namespace quarrytide {

struct PixbufUnref {
  void operator()(GdkPixbuf* p) const { g_object_unref(p); }
};
// Holds one reference; null means "no image".
using PixbufPtr = std::unique_ptr<GdkPixbuf, PixbufUnref>;

}  // namespace quarrytide
