// The listing commands end to end through quarrytide-headless, on a real tree
// whose tags and comments were set with setfattr.
#include <cstdlib>

#include <gtest/gtest.h>

#include "headless.hpp"
#include "temp_dir.hpp"

namespace quarrytide::testing {
namespace {

using nlohmann::json;

void setfattr(const std::string& path, const std::string& name, const std::string& value) {
  const std::string cmd = "setfattr -n '" + name + "' -v '" + value + "' '" + path + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

// Each record cut down to `keys`: the part a test looks at.
json pick(const json& records, const std::vector<std::string>& keys) {
  json out = json::array();
  for (const auto& r : records) {
    json o = json::object();
    for (const auto& k : keys) o[k] = r.at(k);
    out.push_back(o);
  }
  return out;
}

class HeadlessListing : public ::testing::Test {
 protected:
  void SetUp() override {
    t.file("Report 10.txt", "abc");
    t.file("Report 2.txt");
    t.file("sub/deep.md", "1234567");
    t.file(".hidden");
    t.file("bad\xff.txt");
    t.folder("Album.2024");
    setfattr(t.at("Report 2.txt"), "user.xdg.tags", "Green,client,Red");
    setfattr(t.at("Report 2.txt"), "user.xdg.comment", "Entwurf für Kunde");
    setfattr(t.at("sub/deep.md"), "user.xdg.tags", "Purple");
  }
  // The replies to `requests`, in which "@" stands for the tree's folder,
  // each sent as one line.
  std::vector<json> run(std::vector<std::string> requests,
                        const std::vector<std::string>& args = {}) {
    for (auto& r : requests) r = at(r).dump();
    const auto out = runHeadlessFresh(requests, args);
    EXPECT_EQ(out.status, 0) << out.err;
    return out.replies();
  }
  json at(const std::string& text) { return json::parse(atFolder(text, t.path())); }
  TempDir t;
};

TEST_F(HeadlessListing, ListFolderAnswersWithFullRecords) {
  const auto replies = run({R"({"id":1,"cmd":"listFolder","args":{"folder":"@/"}})"});
  ASSERT_EQ(replies.size(), 1u);
  json payload = replies[0]["payload"];
  ASSERT_EQ(payload["files"].size(), 3u) << payload.dump();
  EXPECT_GT(payload["files"][1]["modified"].get<double>(), 1.6e12);
  for (auto& f : payload["files"]) EXPECT_EQ(f.erase("created") + f.erase("modified"), 2u);
  // Invalid bytes reach the page as U+FFFD.
  EXPECT_EQ(payload, at(R"({"folder":"@/","files":[
    {"path":"@/bad\uFFFD.txt","name":"bad\uFFFD.txt","basename":"bad\uFFFD","ext":"txt","isDir":false,"size":1,"tags":[],"label":0,"comment":""},
    {"path":"@/Report 2.txt","name":"Report 2.txt","basename":"Report 2","ext":"txt","isDir":false,"size":1,"tags":["client","Red"],"label":2,"comment":"Entwurf für Kunde"},
    {"path":"@/Report 10.txt","name":"Report 10.txt","basename":"Report 10","ext":"txt","isDir":false,"size":3,"tags":[],"label":0,"comment":""}]})"));
}

TEST_F(HeadlessListing, TreeAndFoldersModes) {
  const auto replies = run({R"({"id":1,"cmd":"listFolder","args":{"folder":"@","recursive":true}})",
                            R"({"id":2,"cmd":"listFolder","args":{"folder":"@","kind":"folders"}})",
                            R"({"id":3,"cmd":"listFolder","args":{"folder":"@/nope"}})"});
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(pick(replies[0]["payload"]["files"], {"path", "name", "label", "tags"}), at(R"([
    {"path":"@/bad\uFFFD.txt","name":"bad\uFFFD.txt","label":0,"tags":[]},
    {"path":"@/sub/deep.md","name":"deep.md","label":3,"tags":[]},
    {"path":"@/Report 2.txt","name":"Report 2.txt","label":2,"tags":["client","Red"]},
    {"path":"@/Report 10.txt","name":"Report 10.txt","label":0,"tags":[]}])"));
  EXPECT_EQ(
      pick(replies[1]["payload"]["files"], {"name", "isDir", "ext"}),
      R"([{"name":"Album.2024","isDir":true,"ext":"2024"},{"name":"sub","isDir":true,"ext":""}])"_json);
  EXPECT_EQ(replies[2]["payload"], at(R"({"folder":"@/nope","files":[]})"));
}

TEST_F(HeadlessListing, StatPathsKeepsOrderAndLeavesOutMissingPaths) {
  t.link("dangling", t.at("nowhere"));
  const auto replies = run({R"({"id":1,"cmd":"statPaths","args":{"paths":
    ["@/sub/deep.md","@/gone","@/dangling","@/Report 2.txt/","@/sub"]}})"});
  ASSERT_EQ(replies.size(), 1u);
  const json& files = replies[0]["payload"]["files"];
  EXPECT_EQ(pick(files, {"path", "isDir"}),
            at(R"([{"path":"@/sub/deep.md","isDir":false},{"path":"@/sub","isDir":true}])"));
  EXPECT_EQ(files[0]["size"], 7);
}

TEST_F(HeadlessListing, ChooseFolderListsTheChoiceOrAnswersNull) {
  const auto chosen = run({R"({"id":1,"cmd":"chooseFolder","args":{"recursive":true}})"},
                          {"--choose", t.at("sub/")});
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0]["payload"]["folder"], t.at("sub"));
  EXPECT_EQ(pick(chosen[0]["payload"]["files"], {"label"}), R"([{"label":3}])"_json);
  EXPECT_EQ(run({R"({"id":2,"cmd":"chooseFolder","args":{}})"}),
            std::vector<json>{R"({"id":2,"ok":true,"payload":null})"_json});
}

}  // namespace
}  // namespace quarrytide::testing
