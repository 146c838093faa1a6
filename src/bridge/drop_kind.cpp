#include "drop_kind.hpp"

#include <glib.h>

namespace quarrytide {

DropContents classifyDrop(Catalogue& catalogue, const std::vector<std::string>& paths,
                          bool foldersMode) {
  // Each item's status is asked once: it decides both the folder test and the filter.
  std::vector<std::string> plain;
  std::vector<bool> isDir;
  for (const auto& p : paths) {
    plain.push_back(plainPath(p));
    isDir.push_back(catalogue.isDirectory(plain.back()).value_or(false));
  }

  if (plain.size() == 1 && isDir[0])
    return {plain[0], catalogue.listFolder(plain[0], {.foldersOnly = foldersMode}), "folder"};

  g_autofree gchar* parent = g_path_get_dirname(plain[0].c_str());
  DropContents out{parent, {}, "files"};
  for (std::size_t i = 0; i < plain.size(); ++i)
    if (isDir[i] == foldersMode) out.files.push_back(catalogue.fileInfo(plain[i]));
  return out;
}

}  // namespace quarrytide
