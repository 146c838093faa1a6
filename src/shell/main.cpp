// quarrytide: the desktop application.
#include <glib/gi18n.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "application.hpp"
#include "command_line.hpp"

namespace {

constexpr const char* kUsage =
    N_("Usage: quarrytide [OPTION]... [PATH]...\n"
       "       quarrytide rename|history|undo ...   (no window; see quarrytide(1))\n"
       "Renames many files and folders at once and edits their tags, colour label\n"
       "and comment. Opens one window with the PATHs listed (one folder as if\n"
       "opened, else the items as if dropped); a window already open takes them.\n"
       "\n"
       "  --help        show this help and exit\n"
       "  --version     show the version and exit\n"
       "  --automation  let WebDriver drive the window (for tests)\n");

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

// The language the page's messages speak: the desktop's first, as in the window.
std::string messageLanguage() {
  const auto languages = quarrytide::desktopLanguages();
  return languages.empty() ? "en" : languages.front();
}

}  // namespace

int main(int argc, char** argv) {
  // The menu, the dialogs and this help speak the desktop's language; the
  // page chooses its own from the same settings.
  std::setlocale(LC_ALL, "");
  bindtextdomain("quarrytide", (quarrytide::shareFolder() + "/locale").c_str());
  bind_textdomain_codeset("quarrytide", "UTF-8");
  textdomain("quarrytide");
  // Answered before GTK starts, so they work without a display.
  if (argc > 1 && quarrytide::isSubcommand(argv[1]))
    return quarrytide::runCommandLine(argc, argv, {quarrytide::webFolder(), messageLanguage()});
  quarrytide::AppOptions options;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    if (optionsEnd || argv[i][0] != '-' || argv[i][1] == '\0') {
      options.paths.push_back(quarrytide::absolutePath(argv[i]));
    } else if (std::strcmp(argv[i], "--") == 0) {
      optionsEnd = true;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("quarrytide " QUARRYTIDE_VERSION);
      return 0;
    } else if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(_(kUsage), stdout);
      return 0;
    } else if (std::strcmp(argv[i], "--automation") == 0) {
      options.automation = true;
    } else {
      std::fprintf(stderr, _("quarrytide: unknown option %s\n%s"), argv[i], _(kUsage));
      return 2;
    }
  }
  paintOnCpuWithoutGpu();
  quarrytide::Application delegate(options);
  return delegate.run(argv[0]);
}
