#include "desktop_paths.hpp"

#include <glib.h>
#include <libintl.h>

#include <clocale>

#include <algorithm>
#include <filesystem>

namespace quarrytide {

namespace {

std::filesystem::path programFolder() {
  std::error_code ec;
  auto exe = std::filesystem::canonical("/proc/self/exe", ec);
  return ec ? std::filesystem::path("bin") : exe.parent_path();
}

}  // namespace

std::string shareFolder() { return (programFolder().parent_path() / "share").string(); }

std::string webFolder() { return shareFolder() + "/quarrytide/web"; }

std::string siblingProgram(const char* name) { return (programFolder() / name).string(); }

void speakDesktopLanguage() {
  std::setlocale(LC_ALL, "");
  bindtextdomain("quarrytide", (shareFolder() + "/locale").c_str());
  bind_textdomain_codeset("quarrytide", "UTF-8");
  textdomain("quarrytide");
}

std::vector<std::string> desktopLanguages() {
  std::vector<std::string> out;
  for (const gchar* const* name = g_get_language_names(); *name; ++name) {
    std::string tag = *name;
    // "C" is no language; "de_DE.UTF-8" and "ca@valencia" repeat a shorter name
    if (tag == "C" || tag == "POSIX" || tag.find_first_of(".@") != std::string::npos) continue;
    std::replace(tag.begin(), tag.end(), '_', '-');
    if (std::find(out.begin(), out.end(), tag) == out.end()) out.push_back(tag);
  }
  return out;
}

}  // namespace quarrytide
