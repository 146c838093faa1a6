// Replies are evaluated in the order resolve was called, whichever thread called it.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "fakes.hpp"
#include "serial_queue.hpp"

namespace quarrytide::testing {
namespace {

std::vector<std::int64_t> replyIds(const RecordingSink& sink) {
  std::vector<std::int64_t> ids;
  for (const auto& r : sink.replies()) ids.push_back(r["id"].get<std::int64_t>());
  return ids;
}

TEST(Ordering, RepliesFromIoAndOtherThreadsKeepCallOrder) {
  BridgeRig rig;
  SerialQueue io("test.io");
  rig.bridge->resolve(1, true, nullptr);  // immediate, on "main"
  std::promise<void> ioDone;
  io.submit([&] {
    rig.bridge->resolve(2, true, nullptr);
    ioDone.set_value();
  });
  ioDone.get_future().wait();
  std::thread([&] { rig.bridge->resolve(3, true, nullptr); }).join();
  rig.send(R"({"id":4,"cmd":"setMode"})");  // drains the queue too
  EXPECT_EQ(replyIds(rig.sink), (std::vector<std::int64_t>{1, 2, 3, 4}));
}

TEST(Ordering, ManyThreadsEachKeepTheirOrderAndNothingIsLost) {
  BridgeRig rig;
  constexpr int kThreads = 4, kEach = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) rig.bridge->resolve(t * kEach + i, true, nullptr);
    });
  // The main thread drains while the others post.
  for (int i = 0; i < 50; ++i) rig.main.run();
  for (auto& th : threads) th.join();
  rig.main.run();
  auto ids = replyIds(rig.sink);
  ASSERT_EQ(ids.size(), static_cast<std::size_t>(kThreads * kEach));
  std::vector<std::int64_t> last(kThreads, -1);
  for (auto id : ids) {
    auto t = id / kEach;
    EXPECT_LT(last[t], id) << "thread " << t << " replies out of order";
    last[t] = id;
  }
}

TEST(Ordering, IoRunsTasksInOrderOnItsNamedThreadAndDrainsOnShutdown) {
  std::vector<int> seen;
  std::string name;
  std::thread::id mainId = std::this_thread::get_id(), ioId;
  {
    SerialQueue io("quarrytide.io");
    io.submit([&] {
      char buf[16] = {};
      pthread_getname_np(pthread_self(), buf, sizeof buf);
      name = buf;
      ioId = std::this_thread::get_id();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // later tasks pile up
    });
    for (int i = 0; i < 100; ++i) io.submit([&seen, i] { seen.push_back(i); });
  }  // destruction waits for all 101 tasks
  EXPECT_EQ(name, "quarrytide.io");
  EXPECT_NE(ioId, mainId);
  ASSERT_EQ(seen.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
}

TEST(Ordering, ARepliedRequestIsCountedOnceAndSettles) {
  BridgeRig rig;
  int settled = 0;
  rig.bridge->onSettled([&] { ++settled; });
  rig.bridge->receiveText(R"({"id":1,"cmd":"setMode"})");
  rig.bridge->receiveText(R"({"id":2,"cmd":"nope"})");
  EXPECT_EQ(rig.bridge->outstanding(), 2u);
  rig.main.run();
  EXPECT_EQ(rig.bridge->outstanding(), 0u);
  EXPECT_EQ(settled, 1);
}

TEST(Ordering, RepliesAfterTheBridgeIsGoneAreDropped) {
  FakeMain main;
  RecordingSink sink;
  std::shared_ptr<ReplyChannel> channel = std::make_shared<ReplyChannel>(main);
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
