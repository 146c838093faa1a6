// quarrytide: the command line, and the door to the window. It links no GTK
// or WebKit, whose loading costs more than a whole command line's run:
// subcommands and --help run here, anything else becomes the window program
// (quarrytide-window, beside this one), started in this process's place.
#include <glib/gi18n.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "command_line.hpp"
#include "desktop_paths.hpp"

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

// The language the page's messages speak: the desktop's first, as in the window.
std::string messageLanguage() {
  const auto languages = quarrytide::desktopLanguages();
  return languages.empty() ? "en" : languages.front();
}

}  // namespace

int main(int argc, char** argv) {
  // The help and the errors speak the desktop's language, as the window does.
  quarrytide::speakDesktopLanguage();
  if (argc > 1 && quarrytide::isSubcommand(argv[1]))
    return quarrytide::runCommandLine(argc, argv, {quarrytide::webFolder(), messageLanguage()});
  // The window's options are checked here, so that a mistake is told without
  // a display; the window takes the same arguments as they are.
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (argv[i][0] != '-' || argv[i][1] == '\0' || std::strcmp(argv[i], "--automation") == 0)
      continue;
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("quarrytide " QUARRYTIDE_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(_(kUsage), stdout);
      return 0;
    }
    std::fprintf(stderr, _("quarrytide: unknown option %s\n%s"), argv[i], _(kUsage));
    return 2;
  }
  const std::string window = quarrytide::siblingProgram("quarrytide-window");
  execv(window.c_str(), argv);
  std::fprintf(stderr, "quarrytide: cannot start %s: %s\n", window.c_str(), std::strerror(errno));
  return 1;
}
