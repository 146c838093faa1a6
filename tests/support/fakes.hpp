#pragma once
// Test doubles for the bridge's seams: the plain ones (seam_fakes.hpp), a
// gmock catalogue, and a Bridge wired to them. The test thread plays the main
// thread: nothing posted to FakeMain runs until the test calls run().

#include <gmock/gmock.h>

#include <memory>

#include "seam_fakes.hpp"

namespace quarrytide::testing {

class FakeCatalogue : public Catalogue {
 public:
  MOCK_METHOD(std::vector<FileRecord>, listFolder, (const std::string&, ListingMode), (override));
  MOCK_METHOD(void, listFolderInRuns, (const std::string&, ListingMode, const ListingRun&),
              (override));
  MOCK_METHOD(std::optional<FolderProblem>, folderProblem, (const std::string&), (override));
  MOCK_METHOD(std::optional<FileRecord>, describe, (const std::string&), (override));
  MOCK_METHOD(std::optional<bool>, isDirectory, (const std::string&), (override));
  MOCK_METHOD(FileRecord, fileInfo, (const std::string&), (override));
  MOCK_METHOD(OpResult, applyOp, (const Operation&), (override));
};

// A Bridge wired to fakes, with the sink attached.
struct BridgeRig {
  FakeMain main;
  RecordingSink sink;
  MemorySettings settings;
  FakeChooser chooser;
  FakeBrowser browser;
  ::testing::NiceMock<FakeCatalogue> catalogue;
  Thumbnailer thumbnails;
  std::unique_ptr<Bridge> bridge;

  BridgeRig() {
    bridge = std::make_unique<Bridge>(BridgeHost{
        main, settings, chooser, browser, catalogue,
        [this](const std::string& p, std::int64_t s, std::function<void(std::string)> d) {
          if (thumbnails) thumbnails(p, s, std::move(d));
        }});
    bridge->setWebView(&sink);
  }
  // Posts `text` as the page would, then runs the main queue.
  void send(const std::string& text) {
    bridge->receiveText(text);
    main.run();
  }
};

}  // namespace quarrytide::testing
