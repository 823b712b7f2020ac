// Per-frame motion of the target (circular and linear tests) and timing of the flashes (flash
// test). Time is counted in frames only, so the pace follows the display's refresh.
#include "engine/stimulus.h"

#include <cmath>

#include "engine/test_constants.h"

namespace tavrik {

namespace {

void OpenLatchFor(SessionState& s, Integer direction) {
  if (direction == 1) s.RightLatch = 0;
  if (direction == -1) s.LeftLatch = 0;
}

void UpdateFlash(SessionState& s) {
  s.Phase += s.Speed;
  // Both tests run in the same call: a clock that jumped past both times after a hit switches
  // the flash on and off at once and moves on to the next one.
  if (s.Phase > s.FlashStart) s.FlashOn = 1;
  if (s.Phase > s.FlashEnd) {
    s.FlashStart = s.FlashDelayMin + std::floor(s.services.Rnd() * s.FlashDelaySpread);
    s.FlashEnd =
        s.FlashStart + s.FlashLengthMin + std::floor(s.services.Rnd() * s.FlashLengthSpread);
    s.FlashOn = 0;
    if (s.FlashNumber % 2 == 0) s.Cycle = static_cast<Integer>(s.Cycle + 1);
    s.FlashNumber = static_cast<Integer>(s.FlashNumber + 1);
    s.Phase = 0;
    if (s.FlashNumber > s.FlashesPerLevel) return;
    s.Direction = s.DirectionTable[s.FlashNumber];
    // The hand of the coming flash may answer from the start of the dark interval on.
    OpenLatchFor(s, s.Direction);
  }
}

void UpdateMovingTarget(SessionState& s) {
  s.Phase += s.Direction * s.Speed;
  // While the target is on one side, the other hand's latch is held open so that its next
  // pass can be answered; the own side's latch is left alone so only its first press counts.
  // The checks are independent: at exactly 0 both latches open, at +-180 neither.
  if (180 < s.Phase && s.Phase < 360) s.RightLatch = 0;
  if (0 <= s.Phase && s.Phase < 180) s.LeftLatch = 0;
  if (-360 < s.Phase && s.Phase < -180) s.LeftLatch = 0;
  if (-180 < s.Phase && s.Phase <= 0) s.RightLatch = 0;
  if (s.Phase >= 360 || s.Phase <= -360) {
    s.Cycle = static_cast<Integer>(s.Cycle + 1);
    // Exactly 0, overshoot dropped: every cycle starts at the bottom (or centre) again.
    s.Phase = 0;
    if (s.Cycle <= kCyclesPerLevel) {
      s.Direction = s.DirectionTable[s.Cycle];
      // The previous cycle may have ended on the side the new direction reaches first.
      OpenLatchFor(s, s.Direction);
    }
  }
  s.Angle = s.Phase * s.Pi / 180;
}

}  // namespace

void UpdateStimulus(SessionState& s) {
  if (s.TestKind == kTestFlash) {
    UpdateFlash(s);
  } else {
    UpdateMovingTarget(s);
  }
}

void AdvanceLevel(SessionState& s) {
  if (s.ScreenState == kScreenRunning && s.Cycle <= s.CyclesPerLevel) {
    RecordRunningFrame(s);
    UpdateStimulus(s);
  }
  if (s.Cycle > s.CyclesPerLevel) s.ScreenState = kScreenWaiting;
}

}  // namespace tavrik
