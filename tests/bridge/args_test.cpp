// The argument rules: a value of the wrong type counts as absent.
#include <gtest/gtest.h>

#include "args.hpp"

namespace quarrytide {
namespace {

using nlohmann::json;

// Answers as JSON: null when absent, a list of objects as its size.
template <class T>
json answer(const std::optional<T>& v) {
  return v ? json(*v) : json();
}
json answer(const json* objects) { return objects ? json(objects->size()) : json(); }
json answer(json v) { return v; }

TEST(Args, TypedLookupsFallBackOnAnyOtherType) {
  const json o = json::parse(R"({"b":true,"s":"x","n":0,"one":1,"f":3.0,"h":3.5,"big":1e300,
                         "neg":-2,"str":"5","l":["a","b"],"mixed":["a",1],"objs":[{},{"a":1}],
                         "objmix":[{},"x"],"empty":[]})");
  Args a(o);  // holds a pointer: `o` must outlive it
  // Asks `lookup` for each key of `want`: the answers must be its values.
  auto expect = [](const char* lookup, const char* want, auto ask) {
    json wanted = json::parse(want), got = json::object();
    for (const auto& [key, value] : wanted.items()) got[key] = answer(ask(key.c_str()));
    EXPECT_EQ(got, wanted) << lookup;
  };
  expect("boolean, false (0 is a number, not a Boolean)", R"({"b":true,"n":false,"missing":false})",
         [&](auto k) { return a.boolean(k, false); });
  expect("boolean, true", R"({"one":true,"s":true})", [&](auto k) { return a.boolean(k, true); });
  expect("integer", R"({"f":3,"neg":-2,"h":null,"big":null})",
         [&](auto k) { return a.integer(k); });
  expect("integer, 48", R"({"str":48,"b":48})", [&](auto k) { return a.integer(k, 48); });
  expect("string", R"({"s":"x","n":null})", [&](auto k) { return a.string(k); });
  expect("strings", R"({"l":["a","b"],"mixed":null,"s":null,"empty":[]})",
         [&](auto k) { return a.strings(k); });
  expect("objects", R"({"objs":2,"objmix":null,"empty":0})", [&](auto k) { return a.objects(k); });
}

TEST(Args, NonObjectArgsReadAsEmptyAndKindNeedsTheExactWord) {
  for (const char* text : {"null", "[1]", "\"folders\"", "7"}) {
    Args a(json::parse(text));  // not an object: nothing of it is kept
    EXPECT_FALSE(a.boolean("recursive", false)) << text;
    EXPECT_FALSE(a.foldersKind()) << text;
  }
  for (json kind : {json("folders"), json("Folders"), json("folders "), json(true)})
    EXPECT_EQ(Args(json{{"kind", kind}}).foldersKind(), kind == "folders") << kind;
}

}  // namespace
}  // namespace quarrytide
