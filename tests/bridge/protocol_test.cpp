// Envelope decoding, dispatch, the argument rules, the commands answered
// without the catalogue, and the order replies keep.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "fakes.hpp"
#include "raw_bytes.hpp"
#include "reply_text.hpp"
#include "serial_queue.hpp"
#include "transcript.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

TEST(Protocol, UndecodableEnvelopesGetNoReplyAndIdsAreEchoedExactly) {
  BridgeRig rig;
  for (const char* bad :
       {"not json", "[1,2]", "42", R"({"cmd":"setMode"})", R"({"id":"1","cmd":"setMode"})",
        R"({"id":7.5,"cmd":"setMode"})", R"({"id":1e300,"cmd":"setMode"})",
        R"({"id":9223372036854775808,"cmd":"setMode"})", R"({"id":1})", R"({"id":1,"cmd":5})",
        R"({"id":true,"cmd":"setMode"})", R"({"id":null,"cmd":"setMode"})"})
    rig.send(bad);
  EXPECT_TRUE(rig.sink.scripts.empty());
  EXPECT_EQ(rig.bridge->outstanding(), 0u);
  for (const char* id : {"3", "-5", "9223372036854775807", "-9223372036854775808", "12.0", "1e3"})
    rig.send(std::string(R"({"cmd":"setMode","id":)") + id + "}");
  EXPECT_EQ(rig.sink.ids(), (std::vector<std::int64_t>{3, -5, INT64_MAX, INT64_MIN, 12, 1000}));
  EXPECT_EQ(rig.sink.scripts[0], R"(window.__bridgeResolveRaw({"id":3,"ok":true,"payload":null}))");
}

TEST(Protocol, LargeRepliesGoAsJsonTextToParseAndInvalidUtf8IsRepairedNotLost) {
  // Quotes, backslashes, line separators and a NUL survive the string form.
  const json big = {{"text", std::string(kParsedCallAbove, 'x') + "\"\\\u2028\u0000\u00e9\n"}};
  const std::string call = replyCall(4, true, big);
  EXPECT_TRUE(call.starts_with(R"(window.__bridgeResolveRaw(JSON.parse("{\"id\":4,)"))
      << call.substr(0, 60);
  EXPECT_EQ(callArgument(call, "window.__bridgeResolveRaw("),
            json({{"id", 4}, {"ok", true}, {"payload", big}}));
  EXPECT_EQ(replyCall(5, true, {{"text", "\"\xff\xfe"}}),
            "window.__bridgeResolveRaw({\"id\":5,\"ok\":true,\"payload\":{\"text\":"
            "\"\\\"\uFFFD\uFFFD\"}})");
  // A streamed listing turns into the string form part way through, all of
  // it ASCII; each record comes out as it does alone, in the literal form.
  std::vector<FileRecord> files(2000);
  for (std::size_t i = 0; i < files.size(); ++i)
    files[i].name = "a\"b\\c\u2028\u2029\x01\xff\xfe\u00e9\U0001F600" + std::to_string(i);
  // A NUL is text, not an end: kept, whether or not the rest needs repair.
  files[5].path = "/t/\xc3(";
  files[5].tags = {"ok", std::string("\x80\0ok", 4)};
  files[5].comment = std::string("one\0two", 7);
  files[5].ext = std::string("\xff\0\xff", 3);
  const std::string call6 = recordsReplyCall(6, "/f", files);
  EXPECT_TRUE(std::ranges::all_of(call6, [](unsigned char c) { return c < 0x80; }));
  const json whole = callArgument(call6, "window.__bridgeResolveRaw(");
  ASSERT_EQ(whole["payload"]["files"].size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string alone = recordsReplyCall(6, "/f", {files[i]});
    ASSERT_TRUE(alone.starts_with("window.__bridgeResolveRaw({"));
    EXPECT_EQ(whole["payload"]["files"][i],
              callArgument(alone, "window.__bridgeResolveRaw(")["payload"]["files"][0]);
  }
  json five = whole["payload"]["files"][5];
  // the path and name that are not UTF-8 also come as their exact bytes
  EXPECT_EQ(bytesOfBase64(five["rawPath"].get<std::string>()), files[5].path);
  EXPECT_EQ(bytesOfBase64(five["rawName"].get<std::string>()), files[5].name);
  five.erase("rawPath");
  five.erase("rawName");
  EXPECT_EQ(five, json::parse(R"({"path":"/t/\uFFFD(",
      "name":"a\"b\\c\u2028\u2029\u0001\uFFFD\uFFFD\u00e9\ud83d\ude005","basename":"",
      "ext":"\uFFFD\u0000\uFFFD","isDir":false,"size":0,"created":0,"modified":0,
      "tags":["ok","\uFFFD\u0000ok"],"label":0,"comment":"one\u0000two"})"));
  files[5].name = "plain";
  const json valid =
      callArgument(recordsReplyCall(6, "/f", {files[5]}), "window.__bridgeResolveRaw(");
  EXPECT_TRUE(valid["payload"]["files"][0].contains("rawPath"));
  EXPECT_FALSE(valid["payload"]["files"][0].contains("rawName"));
}

TEST(Protocol, Base64OfRawBytesRoundTripsAndRefusesWhatIsNotBase64) {
  for (std::string bytes : {std::string(), std::string("caf\xe9"), std::string("\0\xff/", 3),
                            std::string("\x83\x65\x83\x58")})
    EXPECT_EQ(bytesOfBase64(base64Of(bytes)), bytes);
  for (const char* bad :
       {"Y2Fm6", "Y2F=6Q==", "Y2Fm6Q=", "Y2Fm 6Q==", "Y2Fm6Q=a", "@@@@", "Y2Fm6Q==="})
    EXPECT_EQ(bytesOfBase64(bad), std::nullopt) << bad;
}

// The page reads a part's columns back as: path = folder + "/" + name (no
// second slash after "/"), basename = name less "." + ext, unless the sparse
// columns say otherwise. Whatever the names, that is each record as the
// record form sends it.
TEST(Protocol, PartsAsColumnsReadBackAsTheRecordsTheRecordFormSends) {
  std::vector<FileRecord> files = {
      recordAt("/t/a.jpg"),   recordAt("/x"),       recordAt("/t/\xc3(/b\xff.txt"),
      recordAt("/t/.bashrc"), recordAt("/t/name."), recordAt("/t/s d/c.tar.gz"),
      recordAt("/t/a.jpg"),   recordAt("/t/x"),     recordAt("/t/y"),
      recordAt("/t//d"),      recordAt("//e")};
  files[0] = FileRecord("/t/a.jpg", "a.jpg", "a", "jpg", true, 1LL << 40, 1720872131000.5, 0,
                        {"Holiday", "\x80"}, 3, std::string("one\0two", 7));
  for (auto [i, base, ext] : {std::tuple{2, "b\xff", "txt"}, {5, "c.tar", "gz"}}) {
    files[i].basename = base;
    files[i].ext = ext;
  }
  files[7].name = files[7].basename = "y";  // a path that is not its folder and name
  files[8].basename = "zz";                 // a base name that is not the name less its extension
  for (std::size_t i = 0; i < files.size(); ++i) files[i].accessed = 1000.5 * double(i);
  const json part = callArgument(partColumnsCall(7, "/t", files), "window.__bridgePartRaw(");
  ASSERT_EQ(part["id"], 7);
  ASSERT_EQ(part["folder"], "/t");
  const json& c = part["columns"];
  ASSERT_EQ(c["count"], files.size());
  std::vector<json> read(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string name = c["name"][i], ext = c["exts"][c["ext"][i].get<int>()];
    const std::string dir = c["dirs"][c["dir"][i].get<int>()];
    read[i] = {{"name", name},
               {"ext", ext},
               {"isDir", c["isDir"][i] == 1},
               {"tags", json::array()},
               {"comment", ""},
               {"path", dir == "/" ? "/" + name : dir + "/" + name},
               {"basename", ext.empty() ? name : name.substr(0, name.size() - ext.size() - 1)}};
    for (const char* key : {"size", "created", "modified", "accessed", "label"})
      read[i][key] = c[key][i];
  }
  for (const char* key : {"tags", "comment", "path", "basename", "rawPath", "rawName"})
    for (std::size_t k = 0; k < c.value(key, json::object()).value("rows", json::array()).size();
         ++k)
      read[c[key]["rows"][k].get<std::size_t>()][key] = c[key]["values"][k];
  EXPECT_FALSE(
      callArgument(partColumnsCall(7, "/t", {recordAt("/x")}), "window.__bridgePartRaw(")["columns"]
          .contains("accessed"));  // only when asked for
  EXPECT_FALSE(
      callArgument(partColumnsCall(7, "/t", {recordAt("/x")}), "window.__bridgePartRaw(")["columns"]
          .contains("rawPath"));                          // only when a record needs it
  EXPECT_EQ(c["dirs"].size(), 5u);                        // each folder once
  EXPECT_EQ(c["path"]["rows"], json::array({7, 9, 10}));  // not the page's join
  EXPECT_EQ(c["basename"]["rows"], json::array({8}));
  for (std::size_t i = 0; i < files.size(); ++i)
    EXPECT_EQ(read[i], callArgument(recordsReplyCall(1, "/t", {files[i]}),
                                    "window.__bridgeResolveRaw(")["payload"]["files"][0])
        << i;
}

TEST(Protocol, UnknownCommandsAreNamedAsSentWithLoneSurrogatesRepaired) {
  BridgeRig rig;
  // A rule that cut an emoji in half leaves a lone surrogate in the page's
  // string. "\\ud800" is an escaped backslash, not an escape.
  expectTranscript(rig, R"(
    {"id":1,"cmd":"SetMode","args":{"kind":"folders"}} => {"id":1,"ok":false,"code":"bad-request",
      "payload":"unknown cmd: SetMode"}
    {"id":2,"cmd":""} => {"id":2,"ok":false,"code":"bad-request","payload":"unknown cmd: "}
    {"id":3,"cmd":"r\u00e9v\"eal \ud83d\ude00"} => {"id":3,"ok":false,"code":"bad-request",
      "payload":"unknown cmd: r\u00e9v\"eal \ud83d\ude00"}
    {"id":4,"cmd":"x\ud83d"} => {"id":4,"ok":false,"code":"bad-request","payload":"unknown cmd: x\uFFFD"}
    {"id":5,"cmd":"\ude00y\ud83d\ude00"} => {"id":5,"ok":false,"code":"bad-request",
      "payload":"unknown cmd: \uFFFDy\ud83d\ude00"}
    {"id":6,"cmd":"\\ud800"} => {"id":6,"ok":false,"code":"bad-request","payload":"unknown cmd: \\ud800"})");
  EXPECT_FALSE(rig.bridge->foldersMode());
}

TEST(Protocol, SetModeSelectsFoldersOnlyForTheExactWordAndArgsThatAreNoObjectAreEmpty) {
  BridgeRig rig;
  for (const char* notFolders :
       {"", R"(,"args":{"kind":"Folders"})", R"(,"args":{"kind":"folders "})",
        R"(,"args":{"kind":true})", R"(,"args":{"kind":["folders"]})",
        R"(,"args":["kind","folders"])", R"(,"args":"folders")"})
    for (auto [args, folders] :
         {std::pair{R"(,"args":{"kind":"folders","extra":1})", true}, {notFolders, false}}) {
      expectTranscript(rig,
                       std::string(R"({"id":7,"cmd":"setMode")") + args +
                           R"(} => {"id":7,"ok":true,"payload":null})",
                       Replies::atOnce);
      EXPECT_EQ(rig.bridge->foldersMode(), folders) << args;
    }
}

TEST(Protocol, ThumbnailSizesFollowTheIntegerRuleAndAreBounded) {
  BridgeRig rig;
  std::vector<std::int64_t> sizes;
  rig.thumbnails = [&](const std::string& path, std::int64_t size,
                       std::function<void(std::string)> done) {
    sizes.push_back(size);
    done("data:" + path);
  };
  // A size that is no integer is absent (48): the rule itself is the ids' and
  // labels' test. At most 1024; none drawn at 0 or below.
  expectTranscript(rig, R"(
    {"id":1,"cmd":"thumbnail","args":{"path":"/p"}} => {"id":1,"ok":true,"payload":{"dataUrl":"data:/p"}}
    {"id":2,"cmd":"thumbnail","args":{"path":"/p","size":"64"}} => {"id":2,"ok":true,"payload":{"dataUrl":"data:/p"}}
    {"id":3,"cmd":"thumbnail","args":{"path":"/p","size":32.0}} => {"id":3,"ok":true,"payload":{"dataUrl":"data:/p"}}
    {"id":6,"cmd":"thumbnail","args":{"path":"/p","size":5000000000}} => {"id":6,"ok":true,"payload":{"dataUrl":"data:/p"}}
    {"id":7,"cmd":"thumbnail","args":{"path":"/p","size":0}} => {"id":7,"ok":true,"payload":{"dataUrl":""}}
    {"id":8,"cmd":"thumbnail","args":{"path":"/p","size":-2}} => {"id":8,"ok":true,"payload":{"dataUrl":""}}
    {"id":9,"cmd":"thumbnail","args":{"size":48}} => {"id":9,"ok":false,"code":"bad-request","payload":"missing path"}
    {"id":10,"cmd":"thumbnail","args":{"path":5}} => {"id":10,"ok":false,"code":"bad-request","payload":"missing path"})",
                   Replies::atOnce);
  EXPECT_EQ(sizes, (std::vector<std::int64_t>{48, 48, 32, 1024}));
}

TEST(Protocol, SavePrefsStoresOnlyStringsAndLoadPrefsReturnsThem) {
  BridgeRig rig;
  expectTranscript(rig, R"(
    {"id":1,"cmd":"loadPrefs"} => {"id":1,"ok":true,"payload":{"data":null}}
    {"id":2,"cmd":"savePrefs","args":{"data":"v1 \u00e9\u0000x"}} => {"id":2,"ok":true,
      "payload":null})");
  for (const char* notString : {R"({"data":{"a":1}})", R"({"data":5})", "{}", R"({"data":null})"})
    rig.send(std::string(R"({"id":3,"cmd":"savePrefs","args":)") + notString + "}");
  expectTranscript(rig, R"(
    {"id":4,"cmd":"loadPrefs","args":{"data":"ignored"}} => {"id":4,"ok":true,
      "payload":{"data":"v1 \u00e9\u0000x"}}
    {"id":5,"cmd":"savePrefs","args":{"data":""}} => {"id":5,"ok":true,"payload":null}
    {"id":6,"cmd":"loadPrefs"} => {"id":6,"ok":true,"payload":{"data":""}})");
}

// Replies are evaluated in the order resolve was called, whichever thread called it.
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
