#pragma once
// A listing's parts on their way to the page. Every run but the last goes as
// a part, in order; when the channel is paced, a part waits until the page
// has run the one before and had a moment for the keyboard and the screen,
// while the walk goes on (and writes the calls of the parts to come). Parts
// sent as fast as they were read queued up in the page and held its thread
// for seconds.
//
// Thread rule: one object per listing, used only on the thread that lists.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "reply_channel.hpp"

namespace quarrytide {

class PartPacer {
 public:
  // `columns`: the parts carry their records as columns (partColumnsCall).
  PartPacer(std::shared_ptr<ReplyChannel> replies, std::int64_t id, std::string folder,
            bool columns = false);

  // A run of the listing, after every run added before it.
  void add(std::vector<FileRecord>&& run);
  // Sends what is left but the last run, waiting for the page as paced, and
  // returns that last run (the reply's records). In columns, after parts,
  // the last run goes as a part too and waits for the page: none is left.
  std::vector<FileRecord> finish();

 private:
  struct Gate {
    std::mutex m;
    std::condition_variable cv;
    bool busy = false;
    std::chrono::steady_clock::time_point freed;
  };
  bool ready();
  void sendWhenReady();
  void waitForPage();
  void sendFront();

  std::shared_ptr<ReplyChannel> replies_;
  std::int64_t id_;
  std::string folder_;
  bool columns_;
  bool paced_;
  std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
  std::vector<FileRecord> newest_;  // may be the last run, which the reply brings
  bool any_ = false;
  bool sent_ = false;                // a part went
  std::deque<std::string> waiting_;  // part calls written while the page was busy
};

}  // namespace quarrytide
