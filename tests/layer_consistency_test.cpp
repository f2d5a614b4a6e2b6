// The layer check over layer sets, with the text it prints.
#include "activation/layer_consistency.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrinel {
namespace {

struct LayerCase {
  const char* name;
  std::size_t areaSections;  // records after the header section
  std::vector<std::int32_t> layers;
  std::optional<ExitStatus> status;  // nullopt: passes
  std::int32_t highest;              // when it passes
  const char* output;
};

std::ostream& operator<<(std::ostream& out, const LayerCase& c) { return out << c.name; }

class LayerConsistencyTest : public testing::TestWithParam<LayerCase> {};

TEST_P(LayerConsistencyTest, ChecksHighestLayerOnly) {
  const LayerCase& c = GetParam();
  const AreaList areas(c.areaSections + 1);  // the header section first
  LayerList layers = c.layers;
  std::int32_t highest = -99;
  testing::internal::CaptureStdout();
  const PhaseResult result = CheckLayerConsistency(areas, layers, highest);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
  EXPECT_EQ(result, c.status);
  if (!c.status) {
    EXPECT_EQ(highest, c.highest);
  }
  EXPECT_TRUE(std::is_sorted(layers.begin(), layers.end()));
}

constexpr char kCorrupt[] = "Error in Layer values. The Scenery.cfg is corrupt.\n";

INSTANTIATE_TEST_SUITE_P(
    Layers, LayerConsistencyTest,
    testing::Values(
        LayerCase{"OneToNInOrder", 3, {1, 2, 3}, std::nullopt, 3, ""},
        LayerCase{"OneToNShuffled", 4, {3, 1, 4, 2}, std::nullopt, 4, ""},
        LayerCase{"DuplicatesAndGapsBelowTop", 3, {1, 1, 3}, std::nullopt, 3, ""},
        LayerCase{"NegativeLayerCounts", 3, {-5, 2, 3}, std::nullopt, 3, ""},
        LayerCase{"TopAboveCount", 3, {1, 2, 4}, ExitLayersInconsistent, 0, kCorrupt},
        LayerCase{"TopBelowCount", 3, {1, 2, 2}, ExitLayersInconsistent, 0, kCorrupt},
        LayerCase{
            "NegativeLeavesTopBelowCount", 3, {-5, 1, 2}, ExitLayersInconsistent, 0, kCorrupt},
        LayerCase{"AllNegative", 2, {-1, -2}, ExitLayersInconsistent, 0, kCorrupt},
        LayerCase{"HeaderOnly", 0, {}, ExitListsEmpty, 0, "Error: Empty vectors (1)."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LayerConsistencyEmptyTest, EmptyAreaListEndsRun) {
  LayerList layers = {1};
  std::int32_t highest = 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(CheckLayerConsistency(AreaList(), layers, highest), ExitListsEmpty);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Empty vectors (1).");
}

}  // namespace
}  // namespace kestrinel
