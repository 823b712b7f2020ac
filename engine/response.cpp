// Scoring of the hand keys against the ball and frame positions of the frame on the screen.
#include "engine/response.h"

namespace tavrik {

namespace {

// The target's top edge must lie within the frame's height about the centre line; for the
// circular test this limits a hit to the part of the circle next to the frames.
bool InsideFrameVertically(const SessionState& s) {
  return s.BallY >= s.CenterY - s.FrameHeight / 2.0 &&
         s.BallY - s.BallHeight / 2.0 <= s.CenterY + s.FrameHeight / 2.0;
}

void RecordHit(SessionState& s, Integer& hits_level, Integer& hits_total, ResultTable& results) {
  hits_level = static_cast<Integer>(hits_level + 1);
  // Level and Cycle are always valid here while the test runs; the check only keeps a
  // misbehaving caller from writing outside the table.
  if (s.Level >= 0 && s.Level < static_cast<int>(results.size()) && s.Cycle >= 0 &&
      s.Cycle < static_cast<int>(results[0].size())) {
    results[s.Level][s.Cycle] = "1 ";
  }
  hits_total = static_cast<Integer>(hits_total + 1);
  // A hit flash ends at the next frame and the next one is drawn.
  if (s.TestKind == kTestFlash) s.Phase = 10000;
}

}  // namespace

Answer RespondLeft(SessionState& s) {
  if (s.ScreenState <= 0 || s.LevelFrameShown == 0) return Answer::kNotJudged;
  if (s.LeftLatch > 0) return Answer::kLatched;
  // This press uses up the opportunity, hit or miss.
  s.LeftLatch = static_cast<Integer>(s.LeftLatch + 1);
  if (!(s.BallX <= s.LeftFrameX + s.FrameCellWidth && InsideFrameVertically(s))) {
    return Answer::kMiss;
  }
  RecordHit(s, s.LeftHitsLevel, s.LeftHitsTotal, s.LeftResults);
  return Answer::kHit;
}

Answer RespondRight(SessionState& s) {
  if (s.ScreenState <= 0 || s.LevelFrameShown == 0) return Answer::kNotJudged;
  if (s.RightLatch > 0) return Answer::kLatched;
  s.RightLatch = static_cast<Integer>(s.RightLatch + 1);
  if (!(s.BallX >= s.RightFrameX - s.FrameCellWidth && InsideFrameVertically(s))) {
    return Answer::kMiss;
  }
  RecordHit(s, s.RightHitsLevel, s.RightHitsTotal, s.RightResults);
  return Answer::kHit;
}

}  // namespace tavrik
