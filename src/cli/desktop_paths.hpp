#pragma once
// Where the installed program finds its parts, and the languages the desktop
// asks for: shared by the command line and the window, which start from the
// same folder (bin/ beside share/, in the build tree as after installation).

#include <string>
#include <vector>

namespace quarrytide {

// share/ beside bin/, where the page and the translations are.
std::string shareFolder();
// The page's folder: share/quarrytide/web.
std::string webFolder();
// A program installed beside this one (the window, the probe).
std::string siblingProgram(const char* name);
// Messages marked for translation speak the desktop's language from now on
// (the locale, and the catalogue installed under share/locale).
void speakDesktopLanguage();
// The desktop's languages as BCP 47 tags, most wanted first (LANGUAGE, then
// the locale's); empty when it names none.
std::vector<std::string> desktopLanguages();

}  // namespace quarrytide
