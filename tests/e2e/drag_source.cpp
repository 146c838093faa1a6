// A drag source for the end-to-end tests, driven by xdotool, and a screen
// grabber.
//   quarrytide_e2e_helper drag files PATH...  drags the paths as file URIs
//   quarrytide_e2e_helper drag link URL       drags a web link (text/uri-list and text)
//   quarrytide_e2e_helper drag text TEXT      drags plain text
//   quarrytide_e2e_helper shot FILE.png       saves the whole screen
// "drag" prints "ready X Y" (where to press, in screen pixels) once its
// window is on screen, and exits 0 when the drag ends; the suite ends it otherwise.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Drag {
  std::string kind;
  std::vector<std::string> items;
};

void dataGet(GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint info, guint, gpointer p) {
  auto* drag = static_cast<Drag*>(p);
  if (info == 1) {  // text/uri-list
    std::vector<gchar*> uris;
    for (const auto& item : drag->items)
      uris.push_back(drag->kind == "files" ? g_filename_to_uri(item.c_str(), nullptr, nullptr)
                                           : g_strdup(item.c_str()));
    uris.push_back(nullptr);
    gtk_selection_data_set_uris(data, uris.data());
    for (gchar* u : uris) g_free(u);
  } else {
    gtk_selection_data_set_text(data, drag->items.at(0).c_str(), -1);
  }
}

int drag(Drag drag) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "drag source");
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_move(GTK_WINDOW(window), 20, 20);
  GtkWidget* box = gtk_event_box_new();
  gtk_widget_set_size_request(box, 160, 80);
  gtk_container_add(GTK_CONTAINER(box), gtk_label_new(drag.kind.c_str()));
  gtk_container_add(GTK_CONTAINER(window), box);

  std::vector<GtkTargetEntry> targets;
  if (drag.kind != "text") targets.push_back({const_cast<char*>("text/uri-list"), 0, 1});
  if (drag.kind != "files") {
    targets.push_back({const_cast<char*>("text/plain;charset=utf-8"), 0, 2});
    targets.push_back({const_cast<char*>("UTF8_STRING"), 0, 2});
  }
  gtk_drag_source_set(box, GDK_BUTTON1_MASK, targets.data(), static_cast<gint>(targets.size()),
                      GdkDragAction(GDK_ACTION_COPY | GDK_ACTION_LINK | GDK_ACTION_MOVE));
  g_signal_connect(box, "drag-data-get", G_CALLBACK(dataGet), &drag);
  g_signal_connect(box, "drag-end",
                   G_CALLBACK(+[](GtkWidget*, GdkDragContext*, gpointer) { gtk_main_quit(); }),
                   nullptr);
  g_signal_connect(window, "map-event",
                   G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer) -> gboolean {
                     int x = 0;
                     int y = 0;
                     gdk_window_get_origin(gtk_widget_get_window(w), &x, &y);
                     std::printf("ready %d %d\n", x + 80, y + 40);
                     std::fflush(stdout);
                     return FALSE;
                   }),
                   nullptr);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}

int shot(const char* file) {
  GdkWindow* root = gdk_get_default_root_window();
  GdkPixbuf* image = gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root),
                                                gdk_window_get_height(root));
  GError* error = nullptr;
  bool ok = image && gdk_pixbuf_save(image, file, "png", &error, nullptr);
  if (!ok) std::fprintf(stderr, "shot: %s\n", error ? error->message : "no screen");
  if (image) g_object_unref(image);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc >= 4 && std::strcmp(argv[1], "drag") == 0) {
    Drag d{argv[2], {argv + 3, argv + argc}};
    if (d.kind == "files" || d.kind == "link" || d.kind == "text") return drag(std::move(d));
  }
  if (argc == 3 && std::strcmp(argv[1], "shot") == 0) return shot(argv[2]);
  std::fprintf(stderr,
               "usage: quarrytide_e2e_helper drag files|link|text ITEM... | shot FILE.png\n");
  return 2;
}
