// quarrytide-window: the desktop application, started by `quarrytide` in its
// own place with the arguments it has checked.
#include <glib.h>

#include <cstring>
#include <filesystem>

#include "application.hpp"
#include "command_line.hpp"

namespace {

// Without a render node, GL is Mesa's software rasteriser (a virtual machine,
// a remote desktop): painting the page through it compiles shaders on the
// page's thread the first time each kind of drawing appears (a key held
// 150-280 ms when the photos' fields came in). Painted on the CPU and only
// composited through GL, the page is never held by it. A choice the user made
// in the environment stands.
void paintOnCpuWithoutGpu() {
  if (g_getenv("WEBKIT_SKIA_ENABLE_CPU_RENDERING")) return;
  std::error_code error;
  for (const auto& node : std::filesystem::directory_iterator("/dev/dri", error))
    if (node.path().filename().string().starts_with("renderD")) return;
  g_setenv("WEBKIT_SKIA_ENABLE_CPU_RENDERING", "1", FALSE);
}

}  // namespace

int main(int argc, char** argv) {
  // The menu and the dialogs speak the desktop's language; the page chooses
  // its own from the same settings.
  quarrytide::speakDesktopLanguage();
  quarrytide::AppOptions options;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    if (optionsEnd || argv[i][0] != '-' || argv[i][1] == '\0')
      options.paths.push_back(quarrytide::absolutePath(argv[i]));
    else if (std::strcmp(argv[i], "--") == 0)
      optionsEnd = true;
    else if (std::strcmp(argv[i], "--automation") == 0)
      options.automation = true;
  }
  paintOnCpuWithoutGpu();
  quarrytide::Application delegate(options);
  return delegate.run(argv[0]);
}
