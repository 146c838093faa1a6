#include "thumbnails/system_thumbnailers.hpp"

#include <gio/gio.h>
#include <glib/gstdio.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "thumbnails/scaled_load.hpp"

namespace quarrytide {
namespace {

constexpr const char* kGroup = "Thumbnailer Entry";

// One argument of the Exec line with its field codes filled in.
std::string expand(const std::string& arg, const std::string& path, const std::string& uri,
                   const std::string& output, int pixels) {
  std::string out;
  for (std::size_t i = 0; i < arg.size(); ++i) {
    if (arg[i] != '%' || i + 1 == arg.size()) {
      out += arg[i];
      continue;
    }
    switch (arg[++i]) {
      case 'u':
        out += uri;
        break;
      case 'i':
        out += path;
        break;
      case 'o':
        out += output;
        break;
      case 's':
        out += std::to_string(pixels);
        break;
      case '%':
        out += '%';
        break;
      default:
        break;  // unknown codes expand to nothing
    }
  }
  return out;
}

// Own process group, so a time-out kills whatever the program started too.
void ownGroup(gpointer) { setpgid(0, 0); }

// Runs `argv` to its end or until `limit`; true when it exited with 0.
bool runWithin(std::vector<std::string> argv, std::chrono::milliseconds limit) {
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  GPid pid = 0;
  auto flags =
      GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDIN_FROM_DEV_NULL |
                  G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);
  if (!g_spawn_async(nullptr, args.data(), nullptr, flags, ownGroup, nullptr, &pid, nullptr))
    return false;
  auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

SystemThumbnailers::SystemThumbnailers(const std::vector<std::string>& folders,
                                       std::chrono::milliseconds limit)
    : limit_(limit) {
  for (const auto& folder : folders) {
    g_autoptr(GDir) dir = g_dir_open(folder.c_str(), 0, nullptr);
    if (!dir) continue;
    std::vector<std::string> names;
    while (const gchar* name = g_dir_read_name(dir))
      if (g_str_has_suffix(name, ".thumbnailer")) names.push_back(name);
    std::sort(names.begin(), names.end());  // readdir order is arbitrary
    for (const auto& name : names) {
      g_autoptr(GKeyFile) file = g_key_file_new();
      std::string full = folder + "/" + name;
      if (!g_key_file_load_from_file(file, full.c_str(), G_KEY_FILE_NONE, nullptr)) continue;
      g_autofree gchar* tryExec = g_key_file_get_string(file, kGroup, "TryExec", nullptr);
      g_autofree gchar* found = tryExec ? g_find_program_in_path(tryExec) : nullptr;
      g_autofree gchar* exec = g_key_file_get_string(file, kGroup, "Exec", nullptr);
      g_auto(GStrv) mimes = g_key_file_get_string_list(file, kGroup, "MimeType", nullptr, nullptr);
      if (exec && mimes && (!tryExec || found)) {
        Entry entry{{}, exec};
        for (gchar** m = mimes; *m; ++m) entry.mimeTypes.emplace_back(*m);
        entries_.push_back(std::move(entry));
      }
    }
  }
}

std::vector<std::string> SystemThumbnailers::standardFolders() {
  std::vector<std::string> out{std::string(g_get_user_data_dir()) + "/thumbnailers"};
  for (const gchar* const* d = g_get_system_data_dirs(); *d; ++d)
    out.push_back(std::string(*d) + "/thumbnailers");
  return out;
}

PixbufPtr SystemThumbnailers::make(const std::string& path, const std::string& uri,
                                   const std::string& contentType, int pixels) const {
  const Entry* chosen = nullptr;
  for (const auto& e : entries_) {
    for (const auto& m : e.mimeTypes)
      if (g_content_type_is_mime_type(contentType.c_str(), m.c_str())) chosen = &e;
    if (chosen) break;
  }
  if (!chosen) return {};
  g_auto(GStrv) argv = nullptr;
  if (!g_shell_parse_argv(chosen->exec.c_str(), nullptr, &argv, nullptr)) return {};
  g_autofree gchar* tmp = g_dir_make_tmp("quarrytide-thumb-XXXXXX", nullptr);
  if (!tmp) return {};
  std::string output = std::string(tmp) + "/thumb.png";
  std::vector<std::string> args;
  for (gchar** a = argv; *a; ++a) args.push_back(expand(*a, path, uri, output, pixels));
  PixbufPtr picture;
  if (runWithin(std::move(args), limit_)) picture = loadScaled(output, pixels);
  g_unlink(output.c_str());
  g_rmdir(tmp);
  return picture;
}

}  // namespace quarrytide
