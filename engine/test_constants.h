// The fixed numbers of the three tests: levels, cycles, flashes, the speed of every level and the
// flash timing. ResetSession and StartLevel put them into the session record; the timing record
// sizes its buffers by them, so the two cannot drift apart.
#pragma once

#include <cstdint>

namespace tavrik {

// TestKind values (of the record's 16-bit Integer).
enum : std::int16_t {
  kTestCircular = 1,
  kTestLinear = 2,
  kTestFlash = 3,
};

constexpr int kLevelCount = 4;
constexpr int kCyclesPerLevel = 10;
constexpr int kFlashesPerLevel = 20;

// Flash clock units: the dark interval before a flash is kFlashDelayMin plus a random whole part
// of kFlashDelaySpread, the flash kFlashLengthMin plus one of kFlashLengthSpread.
constexpr int kFlashDelayMin = 200;
constexpr int kFlashDelaySpread = 100;
constexpr int kFlashLengthMin = 200;
constexpr int kFlashLengthSpread = 50;

// Phase step per frame by test kind (rows 1..3: circular, linear, flash) and level (columns
// 1..4): degrees per frame for the moving tests, flash clock units for the flash test.
constexpr double kSpeedTable[kTestFlash + 1][kLevelCount + 1] = {
    {0, 0, 0, 0, 0},
    {0, 1.5, 2, 2.5, 3},
    {0, 3, 4, 5, 6},
    {0, 4, 6, 8, 10},
};

namespace detail {

constexpr int Ceil(double x) {
  const int i = static_cast<int>(x);
  return i < x ? i + 1 : i;
}
constexpr int Max(int a, int b) {
  return a > b ? a : b;
}

}  // namespace detail

// The most frames a level of `test_kind` can run at `speed`. A moving cycle ends in the frame in
// which the phase reaches a whole turn; a flash ends in the first frame in which its clock passes
// the flash's end, which lies at most at the longest dark interval plus the longest flash.
constexpr int LongestLevelFrames(int test_kind, double speed) {
  if (test_kind == kTestFlash) {
    const int longest_flash =
        kFlashDelayMin + kFlashDelaySpread - 1 + kFlashLengthMin + kFlashLengthSpread - 1;
    return kFlashesPerLevel * (static_cast<int>(longest_flash / speed) + 1);
  }
  return kCyclesPerLevel * detail::Ceil(360 / speed);
}

// The longest level of any test: the first level of the flash test, 20 flashes of up to 138
// frames (the circular test's first level takes 2400).
constexpr int LongestLevelFrames() {
  int most = 0;
  for (int kind = kTestCircular; kind <= kTestFlash; ++kind) {
    for (int level = 1; level <= kLevelCount; ++level) {
      most = detail::Max(most, LongestLevelFrames(kind, kSpeedTable[kind][level]));
    }
  }
  return most;
}

}  // namespace tavrik
