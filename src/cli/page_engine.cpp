#include "page_engine.hpp"

#include <glib.h>

#include "module_loader_text.hpp"

namespace quarrytide {

namespace {

// quarrytideDecode(binary, label): bytes (one character each) read as the
// encoding `label`, null when they are not text in it; the web's decoders
// that JavaScriptCore alone lacks.
char* decodeBytes(const char* binary, const char* label, gpointer) {
  glong count = 0;
  g_autofree gunichar2* units = g_utf8_to_utf16(binary, -1, nullptr, &count, nullptr);
  std::string bytes;
  for (glong i = 0; units && i < count; ++i) bytes += char(units[i] & 0xFF);
  const std::string from = std::string(label) == "shift_jis" ? "SHIFT_JIS" : label;
  gsize written = 0;
  g_autoptr(GError) error = nullptr;
  char* text = g_convert(bytes.data(), gssize(bytes.size()), "UTF-8", from.c_str(), nullptr,
                         &written, &error);
  return error ? (g_free(text), nullptr) : text;
}

// readText(path)'s folder: the page's js/.
struct ModuleFolder {
  std::string js;
};

}  // namespace

PageEngine::PageEngine(std::string webFolder, const std::string& language)
    : webFolder_(std::move(webFolder)), context_(jsc_context_new()) {
  auto* folder = new ModuleFolder{webFolder_ + "/js/"};
  g_autoptr(JSCValue) read = jsc_value_new_function(
      context_, "readText", G_CALLBACK(+[](const char* path, ModuleFolder* f) -> char* {
        // a module path is relative and never climbs out of js/
        if (!path || path[0] == '/' || std::string(path).find("..") != std::string::npos)
          return g_strdup("");
        g_autofree char* text = nullptr;
        if (!g_file_get_contents((f->js + path).c_str(), &text, nullptr, nullptr))
          return g_strdup("");
        return g_steal_pointer(&text);
      }),
      folder, [](gpointer f) { delete static_cast<ModuleFolder*>(f); }, G_TYPE_STRING, 1,
      G_TYPE_STRING);
  g_autoptr(JSCValue) decode =
      jsc_value_new_function(context_, "quarrytideDecode", G_CALLBACK(decodeBytes), nullptr,
                             nullptr, G_TYPE_STRING, 2, G_TYPE_STRING, G_TYPE_STRING);
  jsc_context_set_value(context_, "quarrytideDecode", decode);
  jsc_context_set_value(context_, "__readText", read);
  g_autoptr(JSCValue) tag = jsc_value_new_string(context_, language.c_str());
  jsc_context_set_value(context_, "__language", tag);
  const std::string setup = std::string("globalThis.navigator = { language: __language };\n") +
                            "globalThis.window = globalThis;\n" + "globalThis.__load = (" +
                            kModuleLoader + ")(__readText);";
  if (!run(setup)) g_warning("the page's module loader did not start: %s", error_.c_str());
}

PageEngine::~PageEngine() { g_object_unref(context_); }

void PageEngine::define(const char* name, std::function<std::string(std::string)> fn) {
  using Fn = std::function<std::string(std::string)>;
  g_autoptr(JSCValue) value = jsc_value_new_function(
      context_, name,
      G_CALLBACK(+[](const char* text, Fn* f) { return g_strdup((*f)(text ? text : "").c_str()); }),
      new Fn(std::move(fn)), [](gpointer f) { delete static_cast<Fn*>(f); }, G_TYPE_STRING, 1,
      G_TYPE_STRING);
  jsc_context_set_value(context_, name, value);
}

std::optional<std::string> PageEngine::run(const std::string& script) {
  g_autoptr(JSCValue) value = jsc_context_evaluate(context_, script.data(), gssize(script.size()));
  if (JSCException* e = jsc_context_get_exception(context_)) {
    g_autofree char* report = jsc_exception_report(e);
    error_ = report ? report : "a script failed";
    jsc_context_clear_exception(context_);
    return std::nullopt;
  }
  g_autofree char* text = jsc_value_to_string(value);
  return std::string(text ? text : "");
}

}  // namespace quarrytide
