#include "folder_chooser.hpp"

#include <memory>

namespace quarrytide {
namespace {

using Done = std::function<void(std::optional<std::string>)>;

void onResponse(GtkNativeDialog* dialog, gint response, gpointer data) {
  std::unique_ptr<Done> done(static_cast<Done*>(data));
  std::optional<std::string> folder;
  if (response == GTK_RESPONSE_ACCEPT) {
    if (GFile* file = gtk_file_chooser_get_file(GTK_FILE_CHOOSER(dialog))) {
      // A folder without a local path (a remote location) counts as no choice.
      if (gchar* path = g_file_get_path(file)) {
        folder = path;
        g_free(path);
      }
      g_object_unref(file);
    }
  }
  g_object_unref(dialog);  // the reference show() kept for this response
  (*done)(std::move(folder));
}

}  // namespace

void GtkFolderChooser::show(Done done) {
  GtkFileChooserNative* dialog = gtk_file_chooser_native_new(
      nullptr, parent_, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "Choose", nullptr);
  gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(dialog), FALSE);
  // Not modal: the page and further requests keep working while it is open.
  gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(dialog), FALSE);
  g_signal_connect(dialog, "response", G_CALLBACK(onResponse), new Done(std::move(done)));
  gtk_native_dialog_show(GTK_NATIVE_DIALOG(dialog));
}

}  // namespace quarrytide
