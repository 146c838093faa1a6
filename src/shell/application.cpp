#include "application.hpp"

#include "embed/drop_web_view.hpp"
#include "embed/navigation_policy.hpp"
#include "menu.hpp"

namespace quarrytide {
namespace {

constexpr const char* kAppId = "app.quarrytide.Quarrytide";
constexpr int kWidth = 1040, kHeight = 720;
constexpr int kMinWidth = 880, kMinHeight = 600;

void onMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer bridge) {
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  // The page posts an envelope as its JSON text: a string crosses whole,
  // where an object is copied field by field (seconds for a large batch).
  g_autofree char* text =
      jsc_value_is_string(value) ? jsc_value_to_string(value) : jsc_value_to_json(value, 0);
  // A value JSON cannot hold (undefined, a function) is no envelope: dropped.
  if (text) static_cast<Bridge*>(bridge)->receiveText(text);
}

}  // namespace

Application::Application(AppOptions options)
    : options_(options),
      app_(gtk_application_new(
          kAppId, GApplicationFlags(G_APPLICATION_HANDLES_OPEN |
                                    (options.automation ? G_APPLICATION_NON_UNIQUE
                                                        : G_APPLICATION_DEFAULT_FLAGS)))),
      scheme_(webFolder()),
      native_({main_, chooser_, browser_, icons_, [this] { return thumbnailScale(); }}),
      bridge_(&native_.bridge()) {
  g_signal_connect_swapped(app_, "startup", G_CALLBACK(+[](Application* self) { self->startup(); }),
                           this);
  g_signal_connect_swapped(app_, "activate",
                           G_CALLBACK(+[](Application* self) { self->activate(); }), this);
  g_signal_connect(app_, "open",
                   G_CALLBACK(+[](GApplication*, GFile** files, gint count, gchar*,
                                  Application* self) { self->open(files, count); }),
                   this);
}

Application::~Application() {
  // The web view is gone with its window; replies still in flight find no page.
  bridge_->setWebView(nullptr);
  g_object_unref(app_);
}

double Application::thumbnailScale() const {
  // At least 2: the window is usually on a high-density screen, or will be
  // moved to one, and a sharper thumbnail costs little.
  int scale = window_ ? gtk_widget_get_scale_factor(GTK_WIDGET(window_)) : 1;
  return scale > 2 ? scale : 2.0;
}

int Application::run(const char* program) {
  // The options are read by main(); GApplication sees the paths alone, all
  // absolute, and hands them to the instance that runs (this one or the first).
  std::vector<char*> argv = {const_cast<char*>(program)};
  for (auto& path : options_.paths) argv.push_back(path.data());
  argv.push_back(nullptr);
  return g_application_run(G_APPLICATION(app_), int(argv.size()) - 1, argv.data());
}

void Application::startup() {
  style_.start();
  gtk_window_set_default_icon_name(kAppId);
  buildMenu(app_);

  WebKitWebContext* context = webkit_web_context_get_default();
  scheme_.registerOn(context);
  // The page speaks the language the menu speaks. WebKit alone reads only
  // the C library's locale, which ignores LANGUAGE and may not be installed.
  std::vector<std::string> languages = desktopLanguages();
  if (!languages.empty()) {
    std::vector<const gchar*> list;
    for (const auto& l : languages) list.push_back(l.c_str());
    list.push_back(nullptr);
    webkit_web_context_set_preferred_languages(context, list.data());
  }
  if (options_.automation) {
    webkit_web_context_set_automation_allowed(context, TRUE);
    g_signal_connect(
        context, "automation-started",
        G_CALLBACK(+[](WebKitWebContext*, WebKitAutomationSession* session, Application* self) {
          g_autoptr(WebKitApplicationInfo) info = webkit_application_info_new();
          webkit_application_info_set_name(info, "Quarrytide");
          webkit_automation_session_set_application_info(session, info);
          // The session drives the window's own web view; it never opens another.
          g_signal_connect(
              session, "create-web-view",
              G_CALLBACK(+[](WebKitAutomationSession*, Application* self) { return self->view_; }),
              self);
        }),
        this);
  }
}

void Application::activate() {
  // A second launch only brings the existing window forward.
  if (window_) {
    gtk_window_present(window_);
    return;
  }
  buildWindow();
}

void Application::open(GFile** files, int count) {
  activate();
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    // a location that is no local path (a URI of a remote share) lists nothing
    g_autofree char* path = g_file_get_path(files[i]);
    if (path) paths.emplace_back(path);
  }
  bridge_->openPaths(std::move(paths));
}

void Application::buildWindow() {
  // Every connection of the Bridge is made before the page starts loading.
  g_autoptr(WebKitUserContentManager) content = webkit_user_content_manager_new();
  g_signal_connect(content, "script-message-received::bridge", G_CALLBACK(onMessage), bridge_);
  webkit_user_content_manager_register_script_message_handler(content, "bridge");

  view_ = drop_web_view_new(content, webkit_web_context_get_default(), options_.automation);
  // Compositing stays on, as WebKit sets it: painted without it, a drag in
  // the page (a rule card to its new place) never starts, as WebKit cannot
  // make the drag image.
  webkit_settings_set_enable_developer_extras(webkit_web_view_get_settings(view_), TRUE);
  g_signal_connect(view_, "decide-policy",
                   G_CALLBACK(+[](WebKitWebView*, WebKitPolicyDecision* decision,
                                  WebKitPolicyDecisionType type, Application* self) -> gboolean {
                     if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
                     auto* action = webkit_navigation_policy_decision_get_navigation_action(
                         WEBKIT_NAVIGATION_POLICY_DECISION(decision));
                     std::string uri =
                         webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
                     bool userLink = webkit_navigation_action_get_navigation_type(action) ==
                                         WEBKIT_NAVIGATION_TYPE_LINK_CLICKED &&
                                     webkit_navigation_action_is_user_gesture(action);
                     switch (decideNavigation(
                         uri, userLink, type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)) {
                       case Navigation::load:
                         webkit_policy_decision_use(decision);
                         break;
                       case Navigation::handOver:
                         webkit_policy_decision_ignore(decision);
                         self->links_.open(uri);
                         break;
                       case Navigation::refuse:
                         webkit_policy_decision_ignore(decision);
                         break;
                     }
                     return TRUE;
                   }),
                   this);
  drop_web_view_set_drop_target(QUARRYTIDE_DROP_WEB_VIEW(view_), bridge_);
  GdkRGBA clear = {0, 0, 0, 0};
  webkit_web_view_set_background_color(view_, &clear);
  sink_ = std::make_unique<WebViewSink>(view_);
  bridge_->setWebView(sink_.get());
  bridge_->setPacedParts(true);

  window_ = GTK_WINDOW(gtk_application_window_new(app_));
  gtk_window_set_title(window_, kWindowTitle);
  gtk_style_context_add_class(gtk_widget_get_style_context(GTK_WIDGET(window_)), "quarrytide");
  gtk_window_set_default_size(window_, kWidth, kHeight);
  GdkGeometry minimum{};
  minimum.min_width = kMinWidth;
  minimum.min_height = kMinHeight;
  gtk_window_set_geometry_hints(window_, nullptr, &minimum, GDK_HINT_MIN_SIZE);
  gtk_window_set_position(window_, GTK_WIN_POS_CENTER);
  // The title names the window in task switchers but is not drawn: the header
  // bar carries only the window buttons, and dragging it moves the window.
  GtkWidget* header = gtk_header_bar_new();
  gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(header), TRUE);
  gtk_header_bar_set_custom_title(GTK_HEADER_BAR(header),
                                  gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0));
  // The primary menu sits at the end of the header bar, beside the window's buttons.
  GtkWidget* menuButton = primaryMenuButton();
  gtk_header_bar_pack_end(GTK_HEADER_BAR(header), menuButton);
  gtk_window_set_titlebar(window_, header);
  gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(view_));
  g_signal_connect(window_, "key-press-event", G_CALLBACK(&Application::keyPress), this);
  g_signal_connect_swapped(window_, "destroy", G_CALLBACK(+[](Application* self) {
                             self->bridge_->setWebView(nullptr);
                             self->window_ = nullptr;
                             self->view_ = nullptr;
                           }),
                           this);
  closeGuard_.attach(window_, view_);
  chooser_.setParent(window_);
  links_.setParent(window_);
  addWindowActions(app_, MenuTargets{window_, view_, menuButton});

  webkit_web_view_load_uri(view_, appUri("/index.html").c_str());
  gtk_widget_show_all(GTK_WIDGET(window_));
  gtk_widget_grab_focus(GTK_WIDGET(view_));
  gtk_window_present(window_);
}

gboolean Application::keyPress(GtkWidget* window, GdkEventKey* event, gpointer) {
  // GTK's own order runs accelerators before the focused widget, which would
  // take Ctrl+A or Ctrl+Z from a text field in the page. WebKit answers every
  // key at first and sends back the ones the page did not handle; those then
  // pass the web view and reach the accelerators here.
  if (!gtk_window_propagate_key_event(GTK_WINDOW(window), event) &&
      !gtk_window_activate_key(GTK_WINDOW(window), event))
    gtk_bindings_activate_event(G_OBJECT(window), event);
  // Always the end of the key: the window's own handler would hand a key sent
  // back by WebKit to the web view once more, which sends it to the page
  // again, without end.
  return TRUE;
}

}  // namespace quarrytide
