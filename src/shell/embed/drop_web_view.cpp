#include "drop_web_view.hpp"

#include <string>
#include <vector>

#include "bridge.hpp"

namespace {

// What the current drag holds, learnt once from its text/uri-list.
enum class DragKind { unknown, asked, files, other };

}  // namespace

struct _DropWebView {
  WebKitWebView parent;
  quarrytide::Bridge* dropTarget;
  GdkDragContext* drag;  // the drag judged below (a reference), or null
  DragKind kind;
  std::vector<std::string>* paths;  // file paths of the drag, in order
  // The last motion, replayed to WebKit once a drag turns out not to be files.
  gint lastX, lastY;
  guint lastTime;
  bool dropWaiting;  // dropped before its uri-list arrived
  guint dropTime;
};

G_DEFINE_TYPE(DropWebView, drop_web_view, WEBKIT_TYPE_WEB_VIEW)

namespace {

GdkAtom uriListAtom() { return gdk_atom_intern_static_string("text/uri-list"); }

bool offersUriList(GdkDragContext* context) {
  for (GList* t = gdk_drag_context_list_targets(context); t; t = t->next)
    if (GDK_POINTER_TO_ATOM(t->data) == uriListAtom()) return true;
  return false;
}

// WebKit takes drags in signal handlers run after these class handlers (and,
// in some versions, in the class handlers chained to here). A drag is left to
// it by returning FALSE; it is kept from it by returning TRUE, or, for the
// signals without a result, by stopping the emission.
GtkWidgetClass* parentWidgetClass() { return GTK_WIDGET_CLASS(drop_web_view_parent_class); }

gboolean passMotion(GtkWidget* widget, GdkDragContext* context, gint x, gint y, guint time) {
  auto chained = parentWidgetClass()->drag_motion;
  return chained ? chained(widget, context, x, y, time) : FALSE;
}

gboolean passDrop(GtkWidget* widget, GdkDragContext* context, gint x, gint y, guint time) {
  auto chained = parentWidgetClass()->drag_drop;
  return chained ? chained(widget, context, x, y, time) : FALSE;
}

// A new drag starts with nothing known; the previous one is forgotten.
void track(DropWebView* self, GdkDragContext* context) {
  if (self->drag == context) return;
  g_clear_object(&self->drag);
  self->drag = GDK_DRAG_CONTEXT(g_object_ref(context));
  self->kind = DragKind::unknown;
  self->paths->clear();
  self->dropWaiting = false;
}

void deliver(DropWebView* self, GdkDragContext* context, guint time) {
  if (self->dropTarget) self->dropTarget->handleDrop(*self->paths);
  gtk_drag_finish(context, TRUE, FALSE, time);
}

gboolean dragMotion(GtkWidget* widget, GdkDragContext* context, gint x, gint y, guint time) {
  auto* self = QUARRYTIDE_DROP_WEB_VIEW(widget);
  track(self, context);
  self->lastX = x;
  self->lastY = y;
  self->lastTime = time;
  if (self->kind == DragKind::unknown) {
    if (!offersUriList(context)) {
      self->kind = DragKind::other;
    } else {
      // Deciding needs the list itself; it is asked for once per drag.
      self->kind = DragKind::asked;
      gtk_drag_get_data(widget, context, uriListAtom(), time);
    }
  }
  switch (self->kind) {
    case DragKind::asked:
      gdk_drag_status(context, GdkDragAction(0), time);
      return TRUE;
    case DragKind::files:
      gdk_drag_status(context, GDK_ACTION_COPY, time);
      return TRUE;
    default:
      return passMotion(widget, context, x, y, time);
  }
}

void dragDataReceived(GtkWidget* widget, GdkDragContext* context, gint x, gint y,
                      GtkSelectionData* data, guint info, guint time) {
  auto* self = QUARRYTIDE_DROP_WEB_VIEW(widget);
  if (context != self->drag || self->kind != DragKind::asked) {
    if (auto chained = parentWidgetClass()->drag_data_received)
      chained(widget, context, x, y, data, info, time);
    return;
  }
  g_signal_stop_emission_by_name(widget, "drag-data-received");  // our request, not WebKit's
  g_auto(GStrv) uris = gtk_selection_data_get_uris(data);
  for (gchar** uri = uris; uri && *uri; ++uri) {
    g_autofree gchar* path = g_filename_from_uri(*uri, nullptr, nullptr);
    if (path) self->paths->emplace_back(path);
  }
  self->kind = self->paths->empty() ? DragKind::other : DragKind::files;

  if (self->kind == DragKind::files) {
    if (self->dropWaiting) deliver(self, context, self->dropTime);
    return;
  }
  // Not files: WebKit has not seen this drag yet; give it the motion it missed,
  // and the drop if that has already happened.
  gboolean handled = FALSE;
  g_signal_emit_by_name(widget, "drag-motion", context, self->lastX, self->lastY, self->lastTime,
                        &handled);
  if (self->dropWaiting)
    g_signal_emit_by_name(widget, "drag-drop", context, self->lastX, self->lastY, self->dropTime,
                          &handled);
}

gboolean dragDrop(GtkWidget* widget, GdkDragContext* context, gint x, gint y, guint time) {
  auto* self = QUARRYTIDE_DROP_WEB_VIEW(widget);
  track(self, context);
  switch (self->kind) {
    case DragKind::files:
      deliver(self, context, time);
      return TRUE;
    case DragKind::asked:
      self->dropWaiting = true;
      self->dropTime = time;
      return TRUE;
    case DragKind::unknown:
      if (offersUriList(context)) {  // dropped without any motion first
        self->kind = DragKind::asked;
        self->dropWaiting = true;
        self->dropTime = time;
        gtk_drag_get_data(widget, context, uriListAtom(), time);
        return TRUE;
      }
      self->kind = DragKind::other;
      [[fallthrough]];
    default:
      return passDrop(widget, context, x, y, time);
  }
}

void dragLeave(GtkWidget* widget, GdkDragContext* context, guint time) {
  // GTK also sends a leave just before a drop, so the drag's state is kept
  // until the next drag replaces it.
  auto* self = QUARRYTIDE_DROP_WEB_VIEW(widget);
  if (context == self->drag && (self->kind == DragKind::files || self->kind == DragKind::asked)) {
    g_signal_stop_emission_by_name(widget, "drag-leave");
    return;
  }
  if (auto chained = parentWidgetClass()->drag_leave) chained(widget, context, time);
}

void finalize(GObject* object) {
  auto* self = QUARRYTIDE_DROP_WEB_VIEW(object);
  g_clear_object(&self->drag);
  delete self->paths;
  G_OBJECT_CLASS(drop_web_view_parent_class)->finalize(object);
}

}  // namespace

static void drop_web_view_class_init(DropWebViewClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = finalize;
  auto* widget = GTK_WIDGET_CLASS(klass);
  widget->drag_motion = dragMotion;
  widget->drag_data_received = dragDataReceived;
  widget->drag_drop = dragDrop;
  widget->drag_leave = dragLeave;
}

static void drop_web_view_init(DropWebView* self) {
  self->dropTarget = nullptr;
  self->drag = nullptr;
  self->kind = DragKind::unknown;
  self->paths = new std::vector<std::string>();
  self->dropWaiting = false;
}

WebKitWebView* drop_web_view_new(WebKitUserContentManager* content, WebKitWebContext* context,
                                 bool automation) {
  return WEBKIT_WEB_VIEW(g_object_new(DROP_WEB_VIEW_TYPE, "user-content-manager", content,
                                      "web-context", context, "is-controlled-by-automation",
                                      automation, nullptr));
}

void drop_web_view_set_drop_target(DropWebView* view, quarrytide::Bridge* bridge) {
  view->dropTarget = bridge;
}
