// Any settings file: loading never crashes and answers nothing or a string;
// that string survives a save and a fresh load unchanged, and goes to the
// page as a well-formed reply. Files live in the fuzzer's own folder only.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <future>

#include "fuzz_seams.hpp"
#include "reply_text.hpp"
#include "settings_file.hpp"

using namespace quarrytide;

namespace {

using Answer = std::optional<std::string>;

// What a fresh store loads; with `value`, after saving it there (aborts if that fails).
Answer load(const std::string& path, const Answer& value = std::nullopt) {
  SettingsFile store(path);
  std::promise<Answer> saved, answer;
  if (value) store.save(*value, [&](Answer failure) { saved.set_value(failure); });
  if (value && saved.get_future().get()) std::abort();
  store.load([&](Answer v) { answer.set_value(std::move(v)); });
  return answer.get_future().get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    char tmpl[] = "/tmp/quarrytide-settings-fuzz-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    return std::string(tmpl) + "/settings.json";
  }();
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  auto loaded = load(path);
  nlohmann::json payload = loaded ? nlohmann::json(*loaded) : nlohmann::json(nullptr);
  if (fuzz::argumentOf(replyCall(1, true, payload))["payload"] != payload) std::abort();
  if (loaded) {
    load(path, loaded);
    if (load(path) != loaded) std::abort();  // what was saved back, read afresh
  }
  return 0;
}
