#include "file_manager.hpp"

#include <gio/gio.h>

#include <memory>

namespace quarrytide {

namespace {

// Long enough for the bus to start a file manager that is not running yet.
constexpr int kShowItemsTimeoutMs = 10000;

// What one reveal needs until its bus calls have finished.
struct PendingReveal {
  std::vector<std::string> uris;
  std::string folderUri;  // the first item's parent
  FileManagerBrowser::OpenFolder openFolder;
  FileManagerBrowser::Done done;

  // Ends this reveal: the folder is opened instead, and that answers.
  void fallBack() {
    openFolder(folderUri, std::move(done));
    delete this;
  }
};

std::string takeUri(GFile* file) {
  g_autofree char* uri = g_file_get_uri(file);
  return uri;
}

void onShown(GObject* source, GAsyncResult* result, gpointer data) {
  auto* pending = static_cast<PendingReveal*>(data);
  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply =
      g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (!reply) return pending->fallBack();  // nobody owns the name, or the call failed
  pending->done(std::nullopt);
  delete pending;
}

void onBus(GObject*, GAsyncResult* result, gpointer data) {
  auto* pending = static_cast<PendingReveal*>(data);
  g_autoptr(GError) error = nullptr;
  g_autoptr(GDBusConnection) bus = g_bus_get_finish(result, &error);
  if (!bus) return pending->fallBack();
  GVariantBuilder uris;
  g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
  for (const auto& uri : pending->uris) g_variant_builder_add(&uris, "s", uri.c_str());
  g_dbus_connection_call(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                         "org.freedesktop.FileManager1", "ShowItems",
                         g_variant_new("(ass)", &uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE,
                         kShowItemsTimeoutMs, nullptr, onShown, pending);
}

void openWithDefaultHandler(const std::string& uri, FileManagerBrowser::Done done) {
  g_app_info_launch_default_for_uri_async(
      uri.c_str(), nullptr, nullptr,
      [](GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<FileManagerBrowser::Done> done(
            static_cast<FileManagerBrowser::Done*>(data));
        g_autoptr(GError) error = nullptr;
        if (g_app_info_launch_default_for_uri_finish(result, &error))
          (*done)(std::nullopt);
        else
          (*done)(std::string(error->message));
      },
      new FileManagerBrowser::Done(std::move(done)));
}

}  // namespace

FileManagerBrowser::FileManagerBrowser() : openFolder_(openWithDefaultHandler) {}

void FileManagerBrowser::reveal(const std::vector<std::string>& paths, Done done) {
  if (paths.empty()) {
    done(std::nullopt);  // nothing to show is not a failure
    return;
  }
  auto* pending = new PendingReveal{{}, {}, openFolder_, std::move(done)};
  for (const auto& path : paths) {
    // GFile takes the path as bytes and makes a relative one absolute.
    g_autoptr(GFile) file = g_file_new_for_path(path.c_str());
    pending->uris.push_back(takeUri(file));
    if (pending->folderUri.empty()) {
      g_autoptr(GFile) parent = g_file_get_parent(file);
      pending->folderUri = takeUri(parent ? parent : file);
    }
  }
  g_bus_get(G_BUS_TYPE_SESSION, nullptr, onBus, pending);
}

}  // namespace quarrytide
