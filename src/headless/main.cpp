// quarrytide-headless: the Bridge on a GLib main loop, without a display.
// Standard input: one JSON value per line, each posted to the Bridge as the
// page would post it, {"drop": [paths]} for a file drop, or {"open": [paths]}
// for items handed over from outside (a second start). Standard output:
// every script the native side evaluates in the page, one per line, byte for
// byte: a call with more than 256 KiB of JSON in its JSON.parse("…") form
// (both forms: docs/protocol.md).

#include <glib.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "bridge.hpp"
#include "headless_seams.hpp"
#include "main_queue.hpp"
#include "native_side.hpp"
#include "thumbnails/shipped_icons.hpp"

using namespace quarrytide;

namespace {

// A drop line: an object whose only member is `key`, a list of strings.
std::optional<std::vector<std::string>> dropPaths(const nlohmann::json& value, const char* key) {
  if (!value.is_object() || value.size() != 1) return std::nullopt;
  auto it = value.find(key);
  if (it == value.end() || !it->is_array()) return std::nullopt;
  std::vector<std::string> paths;
  for (const auto& p : *it) {
    if (!p.is_string()) return std::nullopt;
    paths.push_back(p.get<std::string>());
  }
  return paths;
}

int usage() {
  std::fprintf(stderr, "usage: quarrytide-headless [--choose PATH]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::string> choice;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--choose") == 0 && i + 1 < argc)
      choice = plainPath(argv[++i]);
    else
      return usage();
  }

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  GlibMainDispatcher main;
  FixedChooser chooser(main, choice);
  LoggingBrowser browser;
  StdoutSink sink;
  ShippedIcons icons(ShippedIcons::besideExecutable());
  // Density 2: the window is usually on a high-density screen, or will be.
  auto native =
      std::make_unique<NativeSide>(HostParts{main, chooser, browser, icons, [] { return 2.0; }});
  Bridge* bridge = &native->bridge();
  bridge->setWebView(&sink);

  // End of input: quit once every accepted request has been answered.
  bool inputEnded = false;
  bridge->onSettled([&] {
    if (inputEnded) g_main_loop_quit(loop);
  });

  // Requests can be megabytes long; unsynchronised streams read them in bulk
  // instead of a character at a time.
  std::ios::sync_with_stdio(false);
  std::thread reader([&] {
    std::string line;
    while (std::getline(std::cin, line)) {
      main.post([bridge, line = std::move(line)] {
        auto value = Bridge::decodeText(line);
        if (value.is_discarded()) return;
        if (auto paths = dropPaths(value, "drop")) {
          if (!paths->empty()) bridge->handleDrop(std::move(*paths));
          return;
        }
        if (auto paths = dropPaths(value, "open")) return bridge->openPaths(std::move(*paths));
        bridge->receive(value);
      });
    }
    main.post([&] {
      inputEnded = true;
      if (bridge->outstanding() == 0) g_main_loop_quit(loop);
    });
  });

  g_main_loop_run(loop);
  reader.join();
  native.reset();
  g_main_loop_unref(loop);
  return 0;
}
