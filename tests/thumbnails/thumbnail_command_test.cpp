// The thumbnail command: argument rules, the size it passes on, and its reply.
#include <gtest/gtest.h>

#include "fakes.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

struct Asked {
  std::string path;
  std::int64_t size;
};

TEST(ThumbnailCommand, ReadsPathAndSizeAndAnswersFromAnyThread) {
  BridgeRig rig;
  std::vector<Asked> asked;
  std::vector<std::thread> workers;
  rig.thumbnails = [&](const std::string& p, std::int64_t s, std::function<void(std::string)> d) {
    asked.push_back({p, s});
    workers.emplace_back([d = std::move(d), s] { d(s == 48 ? "data:image/png;base64,AA==" : ""); });
  };
  const std::pair<const char*, std::int64_t> sizes[] = {
      {R"({"id":1,"cmd":"thumbnail","args":{"path":"/a.jpg"}})", 48},
      {R"({"id":2,"cmd":"thumbnail","args":{"path":"/a.jpg","size":"64"}})", 48},
      {R"({"id":3,"cmd":"thumbnail","args":{"path":"/a.jpg","size":64.5}})", 48},
      {R"({"id":4,"cmd":"thumbnail","args":{"path":"/a.jpg","size":64}})", 64},
      {R"({"id":5,"cmd":"thumbnail","args":{"path":"/a.jpg","size":5000000000}})", 1024},
  };
  for (const auto& [text, size] : sizes) {
    rig.send(text);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back().size, size) << text;
  }
  EXPECT_EQ(asked[0].path, "/a.jpg");
  for (auto& t : workers) t.join();
  rig.main.run();
  auto replies = rig.sink.replies();
  ASSERT_EQ(replies.size(), 5u);
  for (const auto& r : replies) {
    EXPECT_EQ(r["ok"], true);
    EXPECT_EQ(r["payload"]["dataUrl"],
              r["id"] == 4 || r["id"] == 5 ? "" : "data:image/png;base64,AA==");
  }
}

TEST(ThumbnailCommand, BadArgumentsAreAnsweredAtOnce) {
  BridgeRig rig;
  int calls = 0;
  rig.thumbnails = [&](const std::string&, std::int64_t, std::function<void(std::string)>) {
    ++calls;
  };
  rig.send(R"({"id":1,"cmd":"thumbnail"})");
  EXPECT_EQ(rig.lastReply(), json({{"id", 1}, {"ok", false}, {"payload", "missing path"}}));
  rig.send(R"({"id":2,"cmd":"thumbnail","args":{"path":["/a"]}})");
  EXPECT_EQ(rig.lastReply()["payload"], "missing path");
  rig.send(R"({"id":3,"cmd":"thumbnail","args":{"path":"/a","size":0}})");
  EXPECT_EQ(rig.lastReply(), json({{"id", 3}, {"ok", true}, {"payload", {{"dataUrl", ""}}}}));
  rig.send(R"({"id":4,"cmd":"thumbnail","args":{"path":"/a","size":-48}})");
  EXPECT_EQ(rig.lastReply()["payload"], json({{"dataUrl", ""}}));
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(rig.bridge->outstanding(), 0u);
}

TEST(ThumbnailCommand, AHostWithoutThumbnailerAnswersEmpty) {
  FakeMain main;
  RecordingSink sink;
  MemorySettings settings;
  FakeChooser chooser;
  FakeBrowser browser;
  ::testing::NiceMock<FakeCatalogue> catalogue;
  Bridge bridge(BridgeHost{main, settings, chooser, browser, catalogue, {}});
  bridge.setWebView(&sink);
  bridge.receiveText(R"({"id":9,"cmd":"thumbnail","args":{"path":"/a.jpg"}})");
  main.run();
  ASSERT_EQ(sink.replies().size(), 1u);
  EXPECT_EQ(sink.replies()[0]["payload"], json({{"dataUrl", ""}}));
}

}  // namespace
}  // namespace quarrytide::testing
