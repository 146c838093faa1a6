#include "part_pacer.hpp"

#include <thread>
#include <utility>

#include "reply_text.hpp"

namespace quarrytide {
namespace {

using Clock = std::chrono::steady_clock;

// Between one part taken in and the next: about a frame, for a key press
// and a repaint.
constexpr auto kBreather = std::chrono::milliseconds(20);
// A page that takes longer than this over one part (or is gone, as while
// the app quits) no longer paces the rest of the listing.
constexpr auto kLongestWait = std::chrono::seconds(2);
// Part calls written ahead while the page is busy.
constexpr std::size_t kMostWaiting = 2;

}  // namespace

PartPacer::PartPacer(std::shared_ptr<ReplyChannel> replies, std::int64_t id, std::string folder,
                     bool columns)
    : replies_(std::move(replies)),
      id_(id),
      folder_(std::move(folder)),
      columns_(columns),
      paced_(replies_->paced()) {}

void PartPacer::add(std::vector<FileRecord>&& run) {
  if (any_)
    waiting_.push_back(columns_ ? partColumnsCall(id_, folder_, newest_)
                                : partCall(id_, folder_, newest_));
  newest_ = std::move(run);
  any_ = true;
  while (!waiting_.empty() && ready()) sendFront();
  // a page far behind holds the walk too: what waits for it stays small
  while (waiting_.size() >= kMostWaiting) sendWhenReady();
}

std::vector<FileRecord> PartPacer::finish() {
  // In columns the last run goes as a part too, when there were parts: the
  // reply that ends the listing is then small, and the page parses no run
  // of records while it shows the whole.
  const bool lastAsPart = columns_ && (sent_ || !waiting_.empty());
  if (lastAsPart) waiting_.push_back(partColumnsCall(id_, folder_, std::exchange(newest_, {})));
  while (!waiting_.empty()) sendWhenReady();
  if (lastAsPart) waitForPage();
  return std::move(newest_);
}

void PartPacer::sendWhenReady() {
  waitForPage();
  sendFront();
}

void PartPacer::waitForPage() {
  if (paced_) {
    std::unique_lock lock(gate_->m);
    const bool taken = gate_->cv.wait_for(lock, kLongestWait, [&] { return !gate_->busy; });
    if (!taken) {
      paced_ = false;
    } else if (auto rest = gate_->freed + kBreather - Clock::now();
               rest > Clock::duration::zero()) {
      lock.unlock();
      std::this_thread::sleep_for(rest);
    }
  }
}

bool PartPacer::ready() {
  if (!paced_) return true;
  std::lock_guard lock(gate_->m);
  return !gate_->busy && Clock::now() >= gate_->freed + kBreather;
}

void PartPacer::sendFront() {
  std::string call = std::move(waiting_.front());
  waiting_.pop_front();
  sent_ = true;
  if (paced_) {
    std::lock_guard lock(gate_->m);
    gate_->busy = true;
  }
  replies_->part(std::move(call), [gate = gate_] {
    std::lock_guard lock(gate->m);
    gate->busy = false;
    gate->freed = Clock::now();
    gate->cv.notify_all();
  });
}

}  // namespace quarrytide
