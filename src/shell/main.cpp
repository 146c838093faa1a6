// quarrytide: the desktop application (a first window; the full shell comes next).
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <filesystem>

#include "bridge.hpp"
#include "main_queue.hpp"
#include "settings_file.hpp"

using namespace quarrytide;

namespace {

class WebViewSink final : public ScriptSink {
 public:
  explicit WebViewSink(WebKitWebView* view) : view_(view) {}
  void evaluate(const std::string& script) override {
    webkit_web_view_evaluate_javascript(view_, script.c_str(), -1, nullptr, nullptr, nullptr,
                                        nullptr, nullptr);
  }

 private:
  WebKitWebView* view_;
};

class NoChooser final : public FolderChooser {
 public:
  void show(std::function<void(std::optional<std::string>)> done) override { done(std::nullopt); }
};

class NoBrowser final : public FileBrowser {
 public:
  void reveal(const std::vector<std::string>&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  GlibMainDispatcher main;
  SettingsFile settings(SettingsFile::defaultPath());
  NoChooser chooser;
  NoBrowser browser;
  DiskCatalogue catalogue;
  Bridge bridge(BridgeHost{main, settings, chooser, browser, catalogue, {}});

  WebKitUserContentManager* content = webkit_user_content_manager_new();
  auto* view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_user_content_manager(content));
  WebViewSink sink(view);
  bridge.setWebView(&sink);
  g_signal_connect(content, "script-message-received::bridge",
                   G_CALLBACK(+[](WebKitUserContentManager*, WebKitJavascriptResult* result,
                                  gpointer data) {
                     JSCValue* value = webkit_javascript_result_get_js_value(result);
                     char* text = jsc_value_to_json(value, 0);
                     if (text) static_cast<Bridge*>(data)->receiveText(text);
                     g_free(text);
                   }),
                   &bridge);
  webkit_user_content_manager_register_script_message_handler(content, "bridge");

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "Quarrytide");
  gtk_window_set_default_size(GTK_WINDOW(window), 1040, 720);
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

  auto exe = std::filesystem::canonical("/proc/self/exe").parent_path();
  auto page = exe.parent_path() / "share/quarrytide/web/index.html";
  std::string uri = "file://" + page.string();
  webkit_web_view_load_uri(view, uri.c_str());
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
