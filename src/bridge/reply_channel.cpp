#include "reply_channel.hpp"

#include "reply_text.hpp"

namespace quarrytide {

void ReplyChannel::post(std::optional<std::string> script) { post(std::move(script), true); }

void ReplyChannel::post(std::optional<std::string> script, bool answers,
                        std::function<void()> taken) {
  main_.post([self = shared_from_this(), script = std::move(script), answers,
              taken = std::move(taken)]() mutable {
    if (script && self->webView_ && taken)
      self->webView_->evaluateThen(*script, std::move(taken));
    else if (script && self->webView_)
      self->webView_->evaluate(*script);
    else if (taken)
      taken();
    if (answers && self->outstanding_ > 0 && --self->outstanding_ == 0 && self->onSettled_)
      self->onSettled_();
  });
}

void ReplyChannel::part(std::string call, std::function<void()> taken) {
  post(std::move(call), false, std::move(taken));
}

void ReplyChannel::resolve(std::int64_t id, bool ok, const nlohmann::json& payload) {
  post(replyCall(id, ok, payload));
}

void ReplyChannel::resolveText(std::int64_t id, bool ok, const std::string& payload) {
  post(replyTextCall(id, ok, payload));
}

void ReplyChannel::fail(std::int64_t id, const Error& error) { post(failureCall(id, error)); }

void ReplyChannel::resolveRecords(std::int64_t id, const std::optional<std::string>& folder,
                                  const std::vector<FileRecord>& files) {
  post(recordsReplyCall(id, folder, files));
}

}  // namespace quarrytide
