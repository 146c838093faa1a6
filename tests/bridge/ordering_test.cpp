// Replies are evaluated in the order resolve was called, whichever thread called it.
#include <gtest/gtest.h>

#include <numeric>

#include "fakes.hpp"
#include "serial_queue.hpp"

namespace quarrytide::testing {
namespace {

TEST(Ordering, RepliesFromIoAndOtherThreadsKeepCallOrder) {
  BridgeRig rig;
  rig.bridge->resolve(1, true, nullptr);  // immediate, on "main"
  // The queue runs its task on a thread of its own, and finishes it before it goes.
  SerialQueue("test.io").submit([&, main = std::this_thread::get_id()] {
    EXPECT_NE(std::this_thread::get_id(), main);
    rig.bridge->resolve(2, true, nullptr);
  });
  std::thread([&] { rig.bridge->resolve(3, true, nullptr); }).join();
  rig.send(R"({"id":4,"cmd":"setMode"})");  // drains the queue too
  EXPECT_EQ(rig.sink.ids(), (std::vector<std::int64_t>{1, 2, 3, 4}));
}

TEST(Ordering, ManyThreadsEachKeepTheirOrderAndNothingIsLost) {
  BridgeRig rig;
  constexpr int kThreads = 4, kEach = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) rig.bridge->resolve(t * kEach + i, true, nullptr);
    });
  for (int i = 0; i < 50; ++i) rig.main.run();  // drains while the others post
  for (auto& th : threads) th.join();
  rig.main.run();
  // Put in thread order, keeping the order within each: all there, none out of turn.
  auto ids = rig.sink.ids();
  std::stable_sort(ids.begin(), ids.end(), [](auto a, auto b) { return a / kEach < b / kEach; });
  std::vector<std::int64_t> all(kThreads * kEach);
  std::iota(all.begin(), all.end(), 0);
  EXPECT_EQ(ids, all);
}

TEST(Ordering, RepliesAfterTheViewIsGoneAreDropped) {
  FakeMain main;
  RecordingSink sink;
  auto channel = std::make_shared<ReplyChannel>(main);
  channel->setWebView(&sink);
  channel->expect();
  channel->setWebView(nullptr);  // what ~Bridge does before io drains
  channel->resolve(1, true, nullptr);
  main.run();
  EXPECT_TRUE(sink.scripts.empty());
  EXPECT_EQ(channel->outstanding(), 0u);
}

}  // namespace
}  // namespace quarrytide::testing
