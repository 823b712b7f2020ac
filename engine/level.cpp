// Level sequencing of a test: per-level set-up of the stimulus and the end of the test.
#include "engine/level.h"

#include <cmath>

#include "engine/test_constants.h"

namespace tavrik {

void StartLevel(SessionState& s) {
  s.Pi = 3.14;
  s.Phase = 0;
  s.Cycle = 1;
  s.FlashNumber = 1;

  // The first flash of every level is drawn from the generator as the previous level left it;
  // only the directions below come after the reseed. Replays of recorded sessions rely on it.
  s.FlashStart = s.FlashDelayMin + std::floor(s.services.Rnd() * s.FlashDelaySpread);
  s.FlashEnd = s.FlashStart + s.FlashLengthMin + std::floor(s.services.Rnd() * s.FlashLengthSpread);

  s.FlashOn = 0;
  s.LeftKeyHeld = 0;
  s.RightKeyHeld = 0;
  s.LeftHitsLevel = 0;
  s.RightHitsLevel = 0;
  s.LeftLatch = 0;
  s.RightLatch = 0;

  s.Level = static_cast<Integer>(s.Level + 1);
  if (s.Level > s.LevelCount) {
    // The results must still be there for the report; the reset clears them afterwards.
    s.services.WriteReport(s);
    ResetSession(s);
    return;
  }

  int direction_count = s.CyclesPerLevel;
  int direction_step = 1;
  if (s.TestKind == kTestFlash) {
    direction_count = s.FlashesPerLevel;
    direction_step = 2;
  }

  s.services.Randomize(SecondsSinceMidnight(s.services.Now()));

  // A moving-target level needs exactly five turns each way, so an unbalanced draw is thrown
  // away whole; the flash table is built from opposite pairs and balances at once.
  int direction_sum = 0;
  do {
    for (int i = 1; i <= direction_count; i += direction_step) {
      s.DirectionTable[i] =
          static_cast<Integer>(1 - 2 * static_cast<int>(std::floor(2 * s.services.Rnd())));
      if (direction_step == 2) {
        s.DirectionTable[i + 1] = static_cast<Integer>(s.DirectionTable[i] == 1 ? -1 : 1);
      }
    }
    direction_sum = 0;
    for (int i = 1; i <= direction_count; ++i) direction_sum += s.DirectionTable[i];
  } while (direction_sum != 0);

  if (s.TestKind >= kTestCircular && s.TestKind <= kTestFlash) {
    s.Speed = kSpeedTable[s.TestKind][s.Level];
  }

  s.Direction = s.DirectionTable[1];
  // The level stands at the start of its path from its first screen on, not where an abandoned
  // test left the ball; and nothing of it has been shown yet.
  s.Angle = s.Phase * s.Pi / 180;
  s.LevelFrameShown = 0;
  BeginLevelTiming(s);
}

}  // namespace tavrik
