#pragma once
// The bridge with every seam a fake, for fuzzing: the plain fakes the unit
// tests use, set to answer at once, and a sink that aborts on any script that
// is not one well-formed reply or drop call.

#include <chrono>
#include <cstdlib>
#include <thread>

#include <nlohmann/json.hpp>

#include "../support/seam_fakes.hpp"

namespace quarrytide::fuzz {

using FakeCatalogue = testing::MadeUpCatalogue;

// The object a call of `function` passes; aborts unless `script` is one such call.
inline nlohmann::json argumentOf(const std::string& script,
                                 std::string_view function = "window.__bridgeResolveRaw(") {
  auto value = testing::callArgument(script, function);
  if (value.is_discarded() || !value.is_object()) std::abort();
  return value;
}

class CheckingSink final : public ScriptSink {
 public:
  void evaluate(const std::string& script) override {
    const char* drop = "window.__onDrop(";
    argumentOf(script, script.starts_with(drop) ? drop : "window.__bridgeResolveRaw(");
    ++count;
  }
  std::size_t count = 0;
};

struct FuzzHost {
  MainQueue main{[] {}};
  CheckingSink sink;
  testing::MemorySettings settings;
  testing::FakeChooser chooser;
  testing::FakeBrowser browser;
  FakeCatalogue catalogue;
  static void thumbnail(const std::string& path, std::int64_t,
                        std::function<void(std::string)> done) {
    done(path.empty() ? "" : "data:image/png;base64,AAAA");
  }
  // No media reader: readMedia answers an error for each file.
  Bridge bridge{BridgeHost{main, settings, chooser, browser, catalogue, thumbnail, {}}};
  FuzzHost() {
    bridge.setWebView(&sink);
    // Some saves fail, as on a full disk; a folder is chosen and the chooser cancelled in turn.
    settings.failIf = [](const std::string& v) {
      return v.starts_with('!') ? std::optional<std::string>("could not save settings: full")
                                : std::nullopt;
    };
    chooser.answerNow = [flip = false]() mutable {
      flip = !flip;
      return flip ? std::optional<std::string>("/chosen") : std::nullopt;
    };
  }

  // Posts `text`; true when the bridge accepted it as a request.
  bool post(const std::string& text) {
    browser.revealed.clear();  // a run of hours keeps no history
    std::size_t before = bridge.outstanding() + sink.count;
    bridge.receiveText(text);
    return bridge.outstanding() + sink.count > before;
  }
  // Runs the main queue until every accepted request has been answered.
  void settle() {
    for (int spins = 0; bridge.outstanding() > 0; ++spins) {
      main.drain();
      if (bridge.outstanding() == 0) break;
      if (spins > 200000) std::abort();  // an accepted request that is never answered
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
  }
};

}  // namespace quarrytide::fuzz
