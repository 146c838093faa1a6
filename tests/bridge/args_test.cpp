// The argument rules: a value of the wrong type counts as absent.
#include <gtest/gtest.h>

#include "args.hpp"

namespace quarrytide {
namespace {

using nlohmann::json;

TEST(Args, TypedLookupsFallBackOnAnyOtherType) {
  json o = json::parse(R"({"b":true,"s":"x","n":0,"one":1,"f":3.0,"h":3.5,"big":1e300,
                           "neg":-2,"str":"5","l":["a","b"],"mixed":["a",1],"objs":[{},{"a":1}],
                           "objmix":[{},"x"],"empty":[]})");
  Args a(o);
  EXPECT_TRUE(a.boolean("b", false));
  EXPECT_FALSE(a.boolean("n", false));  // 0 is a number, not a Boolean
  EXPECT_TRUE(a.boolean("one", true));
  EXPECT_TRUE(a.boolean("s", true));
  EXPECT_FALSE(a.boolean("missing", false));

  EXPECT_EQ(a.integer("f"), 3);
  EXPECT_EQ(a.integer("neg"), -2);
  EXPECT_EQ(a.integer("h"), std::nullopt);
  EXPECT_EQ(a.integer("big"), std::nullopt);
  EXPECT_EQ(a.integer("str", 48), 48);
  EXPECT_EQ(a.integer("b", 48), 48);

  EXPECT_EQ(a.string("s"), "x");
  EXPECT_EQ(a.string("n"), std::nullopt);
  EXPECT_EQ(a.strings("l"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(a.strings("mixed"), std::nullopt);
  EXPECT_EQ(a.strings("s"), std::nullopt);
  EXPECT_EQ(a.strings("empty"), std::vector<std::string>{});
  ASSERT_NE(a.objects("objs"), nullptr);
  EXPECT_EQ(a.objects("objs")->size(), 2u);
  EXPECT_EQ(a.objects("objmix"), nullptr);
  EXPECT_EQ(a.objects("objs") == nullptr, false);
  EXPECT_NE(a.objects("empty"), nullptr);
}

TEST(Args, NonObjectArgsReadAsEmptyAndKindNeedsTheExactWord) {
  for (const char* text : {"null", "[1]", "\"folders\"", "7"}) {
    Args a(json::parse(text));
    EXPECT_FALSE(a.boolean("recursive", false));
    EXPECT_FALSE(a.foldersKind());
  }
  EXPECT_TRUE(Args(json{{"kind", "folders"}}).foldersKind());
  EXPECT_FALSE(Args(json{{"kind", "Folders"}}).foldersKind());
  EXPECT_FALSE(Args(json{{"kind", "folders "}}).foldersKind());
  EXPECT_FALSE(Args(json{{"kind", true}}).foldersKind());
}

}  // namespace
}  // namespace quarrytide
