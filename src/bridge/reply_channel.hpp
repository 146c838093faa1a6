#pragma once
// The one road from native code to the page. Every reply and every drop
// notification is posted here; the MainDispatcher is a single FIFO, so
// scripts are evaluated on the main thread exactly in the order they were
// posted (and a reply is serialised before it is posted, on the thread that
// made it).

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "catalogue/file_record.hpp"
#include "metadata/result.hpp"
#include "seams.hpp"

namespace quarrytide {

class ReplyChannel : public std::enable_shared_from_this<ReplyChannel> {
 public:
  // `main` must outlive every task this channel posts.
  explicit ReplyChannel(MainDispatcher& main) : main_(main) {}

  // Main thread. Scripts posted while no web view is set are dropped.
  void setWebView(ScriptSink* webView) { webView_ = webView; }
  ScriptSink* webView() const { return webView_; }

  // Main thread: one more request or drop awaits its answer.
  void expect() { ++outstanding_; }
  // Main thread: answered requests and drops not yet evaluated.
  std::size_t outstanding() const { return outstanding_; }
  // Main thread. Called after each evaluation that brings outstanding() to 0.
  void onSettled(std::function<void()> callback) { onSettled_ = std::move(callback); }

  // Any thread. Answers one expected request or drop: evaluates `script`
  // (nothing when it is nullopt) after every script posted before it.
  void post(std::optional<std::string> script);
  // Any thread: a part call (partCall) of a listing whose reply is still
  // expected. `taken` runs on the main thread once the page has run it (at
  // once when no web view is set).
  void part(std::string call, std::function<void()> taken);
  // Any thread. Whether a listing's parts wait for the page to take in the
  // last one before the next goes (the app's web view; off by default).
  void setPaced(bool paced) { paced_ = paced; }
  bool paced() const { return paced_; }

  // Any thread: the reply call for a request.
  void resolve(std::int64_t id, bool ok, const nlohmann::json& payload);
  // Any thread: the same with the payload as JSON text, which must be valid
  // JSON (it becomes part of the page's script).
  void resolveText(std::int64_t id, bool ok, const std::string& payload);
  // Any thread: the reply of a failed request, with its code.
  void fail(std::int64_t id, const Error& error);
  // Any thread: a reply whose payload is {"folder"?, "files": records},
  // written without building a JSON tree (listings can be very large).
  void resolveRecords(std::int64_t id, const std::optional<std::string>& folder,
                      const std::vector<FileRecord>& files);

 private:
  void post(std::optional<std::string> script, bool answers, std::function<void()> taken = {});

  MainDispatcher& main_;
  ScriptSink* webView_ = nullptr;  // main thread only
  std::size_t outstanding_ = 0;    // main thread only
  std::function<void()> onSettled_;
  std::atomic<bool> paced_ = false;
};

}  // namespace quarrytide
