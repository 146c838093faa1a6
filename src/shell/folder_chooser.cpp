#include "folder_chooser.hpp"

#include <glib/gi18n.h>

#include <memory>

namespace quarrytide {
namespace {

using Done = std::function<void(std::optional<std::string>)>;

// GTK's own folder dialog makes a typed folder that does not exist when its
// location entry is confirmed, whatever "create-folders" says. This dialog
// holds the chooser widget without that step and accepts only a folder that
// exists; anything else is said in the dialog, which stays open.
struct Chooser {
  Done done;
  GtkFileChooser* widget;
  GtkLabel* problem;
};

void onResponse(GtkDialog* dialog, gint response, gpointer data) {
  auto* self = static_cast<Chooser*>(data);
  std::optional<std::string> folder;
  if (response == GTK_RESPONSE_ACCEPT) {
    g_autoptr(GFile) file = gtk_file_chooser_get_file(self->widget);
    if (!file) file = gtk_file_chooser_get_current_folder_file(self->widget);
    // A folder without a local path (a remote location) is no choice.
    g_autofree gchar* path = file ? g_file_get_path(file) : nullptr;
    if (!path || !g_file_test(path, G_FILE_TEST_IS_DIR)) {
      g_autofree gchar* shown = file ? g_file_get_parse_name(file) : g_strdup("");
      g_autofree gchar* text = g_strdup_printf(_("There is no folder “%s”."), shown);
      gtk_label_set_text(self->problem, text);
      gtk_widget_show(GTK_WIDGET(self->problem));
      return;  // stays open
    }
    folder = path;
  }
  std::unique_ptr<Chooser> owned(self);
  gtk_widget_destroy(GTK_WIDGET(dialog));
  owned->done(std::move(folder));
}

}  // namespace

void GtkFolderChooser::show(const std::optional<std::string>& start, Done done) {
  open(start, std::move(done), _("Open Folder"), _("_Open"), false);
}

void GtkFolderChooser::pickDestination(const std::optional<std::string>& start, Done done) {
  open(start, std::move(done), _("Move Into Folder"), _("_Select"), true);
}

void GtkFolderChooser::open(const std::optional<std::string>& start, Done done, const char* title,
                            const char* button, bool createFolders) {
  GtkWidget* dialog = gtk_dialog_new_with_buttons(
      title, parent_,
      static_cast<GtkDialogFlags>(GTK_DIALOG_DESTROY_WITH_PARENT | GTK_DIALOG_USE_HEADER_BAR),
      _("_Cancel"), GTK_RESPONSE_CANCEL, button, GTK_RESPONSE_ACCEPT, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  gtk_window_set_default_size(GTK_WINDOW(dialog), 860, 560);
  // Not modal: the page and further requests keep working while it is open.
  gtk_window_set_modal(GTK_WINDOW(dialog), FALSE);

  GtkWidget* widget = gtk_file_chooser_widget_new(GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(widget);
  gtk_file_chooser_set_select_multiple(chooser, FALSE);
  gtk_file_chooser_set_create_folders(chooser, createFolders);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  const std::string from = start && g_file_test(start->c_str(), G_FILE_TEST_IS_DIR)
                               ? *start
                               : std::string(g_get_home_dir());
  gtk_file_chooser_set_current_folder(chooser, from.c_str());

  GtkWidget* problem = gtk_label_new(nullptr);
  gtk_label_set_xalign(GTK_LABEL(problem), 0);
  gtk_widget_set_margin_start(problem, 12);
  gtk_widget_set_margin_end(problem, 12);
  gtk_style_context_add_class(gtk_widget_get_style_context(problem), "error");
  GtkBox* content = GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog)));
  gtk_box_pack_start(content, widget, TRUE, TRUE, 0);
  gtk_box_pack_start(content, problem, FALSE, FALSE, 6);

  auto* self = new Chooser{std::move(done), chooser, GTK_LABEL(problem)};
  g_signal_connect(dialog, "response", G_CALLBACK(onResponse), self);
  // Escape cancels wherever the focus is; the location entry would keep it.
  g_signal_connect(dialog, "key-press-event",
                   G_CALLBACK(+[](GtkWidget* w, GdkEventKey* event, gpointer) -> gboolean {
                     if (event->keyval != GDK_KEY_Escape) return FALSE;
                     gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_CANCEL);
                     return TRUE;
                   }),
                   nullptr);
  gtk_widget_show_all(dialog);
  gtk_widget_hide(problem);
}

void GtkFolderChooser::saveAs(const std::string& name, Done done) {
  GtkFileChooserNative* native = gtk_file_chooser_native_new(
      _("Export"), parent_, GTK_FILE_CHOOSER_ACTION_SAVE, _("_Save"), _("_Cancel"));
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(native);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  gtk_file_chooser_set_current_folder(chooser, g_get_home_dir());
  gtk_file_chooser_set_current_name(chooser, name.c_str());
  auto* pending = new Done(std::move(done));
  g_signal_connect(native, "response",
                   G_CALLBACK(+[](GtkNativeDialog* dialog, gint response, gpointer data) {
                     std::unique_ptr<Done> done(static_cast<Done*>(data));
                     std::optional<std::string> path;
                     if (response == GTK_RESPONSE_ACCEPT) {
                       if (char* file = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
                         path = file;
                         g_free(file);
                       }
                     }
                     g_object_unref(dialog);
                     (*done)(path);
                   }),
                   pending);
  gtk_native_dialog_show(GTK_NATIVE_DIALOG(native));
}

}  // namespace quarrytide
