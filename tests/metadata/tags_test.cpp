#include "metadata/tags.hpp"

#include <gtest/gtest.h>

namespace quarrytide {
namespace {

using Tags = std::vector<std::string>;

TEST(LabelForTag, OnlyExactColourNamesCount) {
  EXPECT_EQ(labelForTag("Gray"), 1);
  EXPECT_EQ(labelForTag("Orange"), 7);
  for (const char* other : {"", "orange", "Gray ", "Grey", "Redish"})
    EXPECT_EQ(labelForTag(other), 0) << other;
}

TEST(SplitTags, FirstColourWinsAndTheRestStayInPlace) {
  EXPECT_EQ(splitTags({}), (SplitTags{{}, 0}));
  EXPECT_EQ(splitTags({"work", "Red", "Blue"}), (SplitTags{{"work", "Blue"}, 6}));
  EXPECT_EQ(splitTags({"Red", "Red"}), (SplitTags{{"Red"}, 6}));
  EXPECT_EQ(splitTags({"", "Green"}), (SplitTags{{""}, 2}));
  EXPECT_EQ(splitTags({"red", "Gray ", "Grey"}), (SplitTags{{"red", "Gray ", "Grey"}, 0}));
  // A colour at the end, and an unknown name before it, keep their order.
  EXPECT_EQ(splitTags({"b", "a", "b", "Orange"}), (SplitTags{{"b", "a", "b"}, 7}));
}

TEST(JoinTags, AppendsOnlyValidLabelsAndNeverDedups) {
  for (std::int64_t none : {0, 8, -1}) EXPECT_EQ(joinTags({"x"}, none), Tags{"x"}) << none;
  EXPECT_EQ(joinTags({}, 6), (Tags{"Red"}));
  EXPECT_EQ(joinTags({"Blue"}, 4), (Tags{"Blue", "Blue"}));
}

TEST(JoinTags, SplitOfJoinGivesBackTagsWithoutColours) {
  const Tags user{"a", "", "b"};
  for (std::int64_t label = 0; label <= 7; ++label)
    EXPECT_EQ(splitTags(joinTags(user, label)), (SplitTags{user, label})) << label;
  // A colour among the user tags takes over as the label.
  EXPECT_EQ(splitTags(joinTags({"a", "Green"}, 6)), (SplitTags{{"a", "Red"}, 2}));
}

}  // namespace
}  // namespace quarrytide
