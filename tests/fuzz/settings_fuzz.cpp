// Any settings file: loading never crashes and answers nothing or a string;
// that string survives a save and a fresh load unchanged, and goes to the
// page as a well-formed reply. Files live in the fuzzer's own folder only.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <future>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "reply_text.hpp"
#include "settings_file.hpp"

using namespace quarrytide;

namespace {

const std::string& folder() {
  static const std::string made = [] {
    char tmpl[] = "/tmp/quarrytide-settings-fuzz-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    return std::string(tmpl);
  }();
  return made;
}

std::optional<std::string> load(const std::string& path) {
  SettingsFile store(path);
  std::promise<std::optional<std::string>> answer;
  store.load([&](std::optional<std::string> v) { answer.set_value(std::move(v)); });
  return answer.get_future().get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = folder() + "/settings.json";
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  auto loaded = load(path);

  nlohmann::json payload = loaded ? nlohmann::json(*loaded) : nlohmann::json(nullptr);
  std::string call = replyCall(1, true, payload);
  const std::string prefix = "window.__bridgeResolveRaw(";
  auto reply = nlohmann::json::parse(call.substr(prefix.size(), call.size() - prefix.size() - 1),
                                     nullptr, false);
  if (reply.is_discarded() || reply["payload"] != payload) std::abort();

  if (loaded) {
    {
      SettingsFile store(path);
      std::promise<std::optional<std::string>> saved;
      store.save(*loaded, [&](std::optional<std::string> failure) { saved.set_value(failure); });
      if (saved.get_future().get()) std::abort();
    }
    if (load(path) != loaded) std::abort();
  }
  return 0;
}
