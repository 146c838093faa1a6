// The listing commands' arguments, replies and order, against a fake catalogue.
#include "catalogue/volume.hpp"
#include "fakes.hpp"
#include "transcript.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;
using ::testing::Return;
using Records = std::vector<FileRecord>;

TEST(ListFolderCommand, NeedsAFolderTakesOnlyFlagsOfTheirTypeAndEchoesTheFolder) {
  BridgeRig rig;
  ::testing::InSequence order;
  EXPECT_CALL(rig.catalogue, listFolder("/tmp/x/", ListingMode{}))
      .WillOnce(Return(Records{recordAt("/tmp/x/a")}));
  for (ListingMode mode : {ListingMode{.recursive = true},
                           {.recursive = true, .foldersOnly = true},
                           {.hidden = true},
                           {}})
    EXPECT_CALL(rig.catalogue, listFolder("/tmp/x", mode)).WillOnce(Return(Records{}));
  expectTranscript(rig, R"(
    {"id":1,"cmd":"listFolder"} => {"id":1,"ok":false,"code":"bad-request","payload":"missing folder"}
    {"id":2,"cmd":"listFolder","args":{"folder":5,"recursive":true}} => {"id":2,"ok":false,"code":"bad-request","payload":"missing folder"})",
                   Replies::atOnce);
  // Answered in the order sent.
  expectTranscript(rig, R"(
    {"id":1,"cmd":"listFolder","args":{"folder":"/tmp/x/"}} => {"id":1,"ok":true,"payload":{"folder":"/tmp/x/","files":[
      {"path":"/tmp/x/a","name":"a","basename":"a","ext":"","isDir":false,"size":0,"created":0,"modified":0,"tags":[],"label":0,"comment":""}]}}
    {"id":3,"cmd":"listFolder","args":{"folder":"/tmp/x","recursive":true,"kind":5}} => {"id":3,"ok":true,"payload":{"folder":"/tmp/x","files":[]}}
    {"id":4,"cmd":"listFolder","args":{"folder":"/tmp/x","recursive":true,"kind":"folders"}} => {"id":4,"ok":true,"payload":{"folder":"/tmp/x","files":[]}}
    {"id":5,"cmd":"listFolder","args":{"folder":"/tmp/x","hidden":true}} => {"id":5,"ok":true,"payload":{"folder":"/tmp/x","files":[]}}
    {"id":6,"cmd":"listFolder","args":{"folder":"/tmp/x","recursive":"yes","kind":"Folders","hidden":1}} => {"id":6,"ok":true,"payload":{"folder":"/tmp/x","files":[]}})");
  // With "reasons", a folder that cannot be listed says why; one that can lists as before.
  EXPECT_CALL(rig.catalogue, folderProblem("/nope"))
      .WillOnce(Return(FolderProblem{"notFound", "No such file or directory"}));
  EXPECT_CALL(rig.catalogue, folderProblem("/tmp/x"));
  EXPECT_CALL(rig.catalogue, listFolder("/tmp/x", ListingMode{})).WillOnce(Return(Records{}));
  expectTranscript(rig, R"(
    {"id":7,"cmd":"listFolder","args":{"folder":"/nope","reasons":true}} => {"id":7,"ok":true,"payload":{"folder":"/nope","files":[],"problem":{"code":"notFound","message":"No such file or directory"}}}
    {"id":8,"cmd":"listFolder","args":{"folder":"/tmp/x","reasons":true}} => {"id":8,"ok":true,"payload":{"folder":"/tmp/x","files":[]}})");
}

// Each part or reply call, as "part|reply ID FOLDER NAMES" (the names run together).
std::vector<std::string> heard(const std::vector<std::string>& scripts) {
  std::vector<std::string> out;
  for (const auto& script : scripts)
    for (const auto& [what, call] :
         {std::pair{"part", "window.__bridgePartRaw("}, {"reply", "window.__bridgeResolveRaw("}})
      if (json c = callArgument(script, call); !c.is_discarded()) {
        const json& body = c.contains("payload") ? c["payload"] : c;
        std::string names;
        for (const auto& f : body.contains("columns") ? body["columns"]["name"] : body["files"])
          names += (f.is_string() ? f : f["name"]).get<std::string>();
        out.push_back(std::string(what) + " " + c["id"].dump() + " " +
                      body["folder"].get<std::string>() + " " + names);
      }
  return out;
}

TEST(ListFolderCommand, InPartsEveryRunButTheLastGoesAheadOfTheReplyThatBringsTheLast) {
  BridgeRig rig;
  EXPECT_CALL(rig.catalogue, listFolderInRuns("/x", ListingMode{.recursive = true}, ::testing::_))
      .Times(2)
      .WillRepeatedly([](const std::string&, ListingMode, const ListingRun& onRun) {
        for (const Records& run :
             {Records{recordAt("/x/a")}, {recordAt("/x/b"), recordAt("/x/c")}, {recordAt("/x/d")}})
          onRun(Records(run));
      });
  EXPECT_CALL(rig.catalogue, listFolderInRuns("/none", ListingMode{}, ::testing::_));
  rig.send(R"({"id":1,"cmd":"listFolder","args":{"folder":"/x","recursive":true,"parts":true}})");
  rig.send(R"({"id":2,"cmd":"listFolder","args":{"folder":"/none","parts":true}})");
  // in columns the last run is a part too
  rig.send(
      R"({"id":3,"cmd":"listFolder","args":{"folder":"/x","recursive":true,"parts":true,"columns":true}})");
  ASSERT_TRUE(rig.main.runUntilPosted(8));  // every call of the three listings: 3 + 1 + 4
  EXPECT_EQ(
      heard(rig.sink.scripts),
      (std::vector<std::string>{"part 1 /x a", "part 1 /x bc", "reply 1 /x d", "reply 2 /none ",
                                "part 3 /x a", "part 3 /x bc", "part 3 /x d", "reply 3 /x "}));
  EXPECT_EQ(rig.bridge->outstanding(), 0u);
}

// The app's page, which runs each part in its own time.
class SlowPage final : public ScriptSink {
 public:
  void evaluate(const std::string& script) override {
    answeredBusy = answeredBusy || pending != nullptr;
    scripts.push_back(script);
  }
  void evaluateThen(const std::string& script, std::function<void()> done) override {
    overlapped = overlapped || pending != nullptr;
    scripts.push_back(script);
    pending = std::move(done);
  }
  std::vector<std::string> scripts;
  std::function<void()> pending;
  bool overlapped = false;    // a part came while the one before was still running
  bool answeredBusy = false;  // a reply came while a part was still running
};

TEST(ListFolderCommand, PacedPartsWaitForThePageUnlessItNeverFinishes) {
  for (auto [finishes, columns] :
       {std::pair{true, false}, {false, false}, {true, true}, {false, true}}) {
    SCOPED_TRACE(
        std::string(finishes ? "a page that finishes each part" : "a page that never does") +
        (columns ? ", in columns" : ""));
    BridgeRig rig;
    SlowPage page;
    rig.bridge->setWebView(&page);
    rig.bridge->setPacedParts(true);
    EXPECT_CALL(rig.catalogue, listFolderInRuns("/x", ListingMode{}, ::testing::_))
        .WillOnce([](const std::string&, ListingMode, const ListingRun& onRun) {
          for (const char* name : {"a", "b", "c", "d", "e", "f"})
            onRun(Records{recordAt(std::string("/x/") + name)});
        });
    rig.bridge->receiveText(
        std::string(R"({"id":1,"cmd":"listFolder","args":{"folder":"/x","parts":true)") +
        (columns ? R"(,"columns":true}})" : "}}"));
    const std::size_t calls = columns ? 7 : 6;  // in columns the last run is a part too
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (page.scripts.size() < calls && std::chrono::steady_clock::now() < deadline) {
      rig.main.run();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (finishes && page.pending) std::exchange(page.pending, nullptr)();
    }
    std::vector<std::string> want = {"part 1 /x a", "part 1 /x b",
                                     "part 1 /x c", "part 1 /x d",
                                     "part 1 /x e", columns ? "part 1 /x f" : "reply 1 /x f"};
    if (columns) want.push_back("reply 1 /x ");
    EXPECT_EQ(heard(page.scripts), want);
    EXPECT_EQ(page.overlapped, !finishes);
    // the reply that ends a listing in columns waits for the page too
    EXPECT_FALSE(columns && finishes && page.answeredBusy);
  }
}

TEST(StatPathsCommand, DescribesExistingPathsInOrderAndMalformedListsAsEmpty) {
  BridgeRig rig;
  ON_CALL(rig.catalogue, describe).WillByDefault([](const std::string& p) {
    return p == "/b" ? std::nullopt : std::optional(recordAt(p));
  });
  EXPECT_CALL(rig.catalogue, describe).Times(4);
  expectTranscript(rig, R"(
    {"id":1,"cmd":"statPaths","args":{"paths":["/c","/b","/a","/c"]}} => {"id":1,"ok":true,"payload":{"files":[
      {"path":"/c","name":"c","basename":"c","ext":"","isDir":false,"size":0,"created":0,"modified":0,"tags":[],"label":0,"comment":""},
      {"path":"/a","name":"a","basename":"a","ext":"","isDir":false,"size":0,"created":0,"modified":0,"tags":[],"label":0,"comment":""},
      {"path":"/c","name":"c","basename":"c","ext":"","isDir":false,"size":0,"created":0,"modified":0,"tags":[],"label":0,"comment":""}]}}
    {"id":2,"cmd":"statPaths","args":{"paths":["/a",3]}} => {"id":2,"ok":true,"payload":{"files":[]}}
    {"id":3,"cmd":"statPaths"} => {"id":3,"ok":true,"payload":{"files":[]}})");
}

// The real statfs: /dev/shm is a tmpfs; a folder not there yet is on the
// volume above it; the magic numbers name the file systems that ignore case.
TEST(FolderVolumesCommand, NamesEachFoldersFileSystemAndWhetherItIgnoresCase) {
  BridgeRig rig;
  expectTranscript(rig, R"(
    {"id":2,"cmd":"folderVolumes"} => {"code":"bad-request","id":2,"ok":false,"payload":"missing folders"}
    {"id":1,"cmd":"folderVolumes","args":{"folders":["/dev/shm","/dev/shm/not/yet",""]}} => {"id":1,"ok":true,"payload":{"volumes":[
      {"folder":"/dev/shm","ignoresCase":false,"nameMax":255,"type":"tmpfs"},
      {"folder":"/dev/shm/not/yet","ignoresCase":false,"nameMax":255,"type":"tmpfs"},null]}})");
  for (const auto& [magic, name, ignoresCase] : {std::tuple{0x4d44, "vfat", true},
                                                 {0x2011BAB0, "exfat", true},
                                                 {0x5346544e, "ntfs", true},
                                                 {0xFF534D42, "cifs", true},
                                                 {0xEF53, "ext4", false},
                                                 {0x1234, "0x1234", false}}) {
    const Volume v = volumeOfType(static_cast<std::int32_t>(magic), 255);
    EXPECT_EQ(std::tuple(v.type, v.ignoresCase), std::tuple(std::string(name), ignoresCase));
  }
}

TEST(ChooseFolderCommand, StartsWhereAskedAndListsTheChoiceWithTheFlagsSentOrAnswersNull) {
  BridgeRig rig;
  int id = 0;
  for (const char* args :
       {R"({"start":"/home/ana/Photos","recursive":true})", R"({"start":5,"kind":"folders"})",
        R"({"start":"/home\u0000/etc","hidden":true})", R"({"start":""})"})
    rig.send(R"({"id":)" + std::to_string(++id) + R"(,"cmd":"chooseFolder","args":)" + args + "}");
  EXPECT_EQ(rig.chooser.starts, (std::vector<std::optional<std::string>>{
                                    "/home/ana/Photos", std::nullopt, std::nullopt, std::nullopt}));
  EXPECT_TRUE(rig.sink.replies().empty()) << "nothing is answered while the chooser is open";
  for (auto [folder, mode] : {std::pair{"/p1", ListingMode{.recursive = true}},
                              {"/p2", {.foldersOnly = true}},
                              {"/p3", {.hidden = true}}})
    EXPECT_CALL(rig.catalogue, listFolder(folder, mode)).WillOnce(Return(Records{}));
  rig.chooser.pending[3](std::nullopt);
  rig.main.run();
  EXPECT_EQ(rig.sink.replies(), std::vector{R"({"id":4,"ok":true,"payload":null})"_json});
  for (int i = 0; i < 3; ++i) rig.chooser.pending[i]("/p" + std::to_string(i + 1));
  ASSERT_TRUE(rig.main.runUntilPosted(4));
  EXPECT_EQ(json(rig.sink.replies()), json::parse(R"([{"id":4,"ok":true,"payload":null},
    {"id":1,"ok":true,"payload":{"folder":"/p1","files":[]}},
    {"id":2,"ok":true,"payload":{"folder":"/p2","files":[]}},
    {"id":3,"ok":true,"payload":{"folder":"/p3","files":[]}}])"));
  EXPECT_EQ(rig.bridge->outstanding(), 0u);
  // a destination is only chosen: nothing is listed
  rig.send(R"({"id":5,"cmd":"chooseFolder","args":{"pick":true,"start":"/out"}})");
  rig.send(R"({"id":6,"cmd":"chooseFolder","args":{"pick":true}})");
  rig.chooser.pending[4]("/out/new");
  rig.chooser.pending[5](std::nullopt);
  ASSERT_TRUE(rig.main.runUntilPosted(6));
  EXPECT_EQ(json(rig.sink.replies()).back(), R"({"id":6,"ok":true,"payload":null})"_json);
  EXPECT_EQ(json(rig.sink.replies())[4],
            R"({"id":5,"ok":true,"payload":{"folder":"/out/new"}})"_json);
}

}  // namespace
}  // namespace quarrytide::testing
