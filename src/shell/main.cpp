// quarrytide: the desktop application.
#include <glib/gi18n.h>

#include <clocale>
#include <cstdio>
#include <cstring>

#include "application.hpp"

namespace {

constexpr const char* kUsage =
    N_("Usage: quarrytide [OPTION]\n"
       "Renames many files and folders at once and edits their tags, colour label\n"
       "and comment. Opens one window; folders are chosen or dropped there.\n"
       "\n"
       "  --help        show this help and exit\n"
       "  --version     show the version and exit\n"
       "  --automation  let WebDriver drive the window (for tests)\n");

}  // namespace

int main(int argc, char** argv) {
  // The menu, the dialogs and this help speak the desktop's language; the
  // page chooses its own from the same settings.
  std::setlocale(LC_ALL, "");
  bindtextdomain("quarrytide", (quarrytide::shareFolder() + "/locale").c_str());
  bind_textdomain_codeset("quarrytide", "UTF-8");
  textdomain("quarrytide");
  // Answered before GTK starts, so they work without a display.
  quarrytide::AppOptions options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
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
  quarrytide::Application delegate(options);
  return delegate.run(argv[0]);
}
