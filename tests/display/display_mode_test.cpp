// The display plan: which of several 60 Hz modes is taken, and where the bounds of "counts as
// 60" and "a whole multiple of 60" lie. How each plan then paces its frames is tested with the
// frame pacer (frame_pacer_test.cpp).
#include "display/display_mode.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavrik {
namespace {

using Kind = DisplayPlan::Kind;

struct ModeChoiceCase {
  const char* name;
  DisplayModeInfo desktop;
  std::vector<DisplayModeInfo> offered;
  DisplayModeInfo chosen;
};

TEST(PlanDisplay, ChoosesTheSixtyHertzMode) {
  const DisplayModeInfo desk{1920, 1080, 144};
  const ModeChoiceCase cases[] = {
      {"the desktop's own size before a larger one",
       desk,
       {desk, {1280, 720, 60}, {1920, 1080, 60}, {2560, 1440, 60}},
       {1920, 1080, 60}},
      {"the largest where the desktop's size has none at 60 Hz",
       desk,
       {desk, {1280, 720, 60}, {1600, 900, 60}, {1024, 768, 60}, {1920, 1080, 120}},
       {1600, 900, 60}},
      {"of one size, the rate nearer 60",
       desk,
       {desk, {1920, 1080, 59}, {1920, 1080, 60}, {1920, 1080, 61}},
       {1920, 1080, 60}},
      {"59 and 61 Hz count as 60; 58 and 62 do not",
       desk,
       {desk, {2560, 1440, 58}, {2560, 1440, 62}, {800, 600, 61}},
       {800, 600, 61}},
      {"a mode without a size is no choice", desk, {{0, 0, 60}, {640, 480, 60}}, {640, 480, 60}},
  };
  for (const ModeChoiceCase& c : cases) {
    SCOPED_TRACE(c.name);
    const DisplayPlan plan = PlanDisplay(c.desktop, c.offered);
    ASSERT_EQ(plan.kind, Kind::kSwitchTo60) << plan.why;
    EXPECT_EQ(plan.mode.w, c.chosen.w) << plan.why;
    EXPECT_EQ(plan.mode.h, c.chosen.h) << plan.why;
    EXPECT_EQ(plan.mode.refresh_hz, c.chosen.refresh_hz) << plan.why;
    EXPECT_EQ(plan.refreshes_per_frame, 1);
  }
}

struct RateCase {
  double hz;
  Kind kind;
  int refreshes_per_frame;
};

TEST(PlanDisplay, BoundsOfSixtyAndOfItsMultiples) {
  // No 60 Hz mode offered, so only the desktop's own rate decides.
  const RateCase cases[] = {
      {0, Kind::kAsIs60, 1},      {-1, Kind::kAsIs60, 1},     {58.9, Kind::kTimer60, 1},
      {59, Kind::kAsIs60, 1},     {61, Kind::kAsIs60, 1},     {61.1, Kind::kTimer60, 1},
      {100, Kind::kTimer60, 1},   {117.9, Kind::kTimer60, 1}, {118, Kind::kRepeat, 2},
      {122, Kind::kRepeat, 2},    {122.1, Kind::kTimer60, 1}, {177, Kind::kRepeat, 3},
      {176.9, Kind::kTimer60, 1}, {239.76, Kind::kRepeat, 4}, {300, Kind::kRepeat, 5},
      {360, Kind::kRepeat, 6},    {200, Kind::kTimer60, 1},   {90, Kind::kTimer60, 1},
  };
  for (const RateCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.hz << " Hz");
    const DisplayModeInfo desktop{1920, 1080, c.hz};
    const DisplayPlan plan = PlanDisplay(desktop, {desktop, {1920, 1080, 75}});
    EXPECT_EQ(plan.kind, c.kind) << plan.why;
    EXPECT_EQ(plan.refreshes_per_frame, c.refreshes_per_frame) << plan.why;
    EXPECT_EQ(plan.mode.w, 1920);
    EXPECT_EQ(plan.mode.refresh_hz, c.hz) << "the desktop's mode stays";
  }
}

TEST(PlanDisplay, ADisplayThatDoesNotSayItsRateIsNotSwitched) {
  // The measurement of the first second decides; a mode switch on a guess would only disturb.
  const DisplayModeInfo desktop{1920, 1080, 0};
  const DisplayPlan plan = PlanDisplay(desktop, {desktop, {1920, 1080, 60}});
  EXPECT_EQ(plan.kind, Kind::kAsIs60) << plan.why;
}

}  // namespace
}  // namespace tavrik
