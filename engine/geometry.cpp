// Stimulus and frame positions of the frame about to be drawn.
#include "engine/geometry.h"

#include <cmath>

namespace tavrik {

void PlaceTrack(SessionState& s) {
  s.TrackRadius = s.CenterY / 1.5 - s.BallWidth / 2.0;
}

void PlaceStimulus(SessionState& s) {
  if (s.TestKind == kTestFlash) {
    if (s.Direction == 1) {
      s.TargetX = s.CenterX + s.TrackRadius;
    } else if (s.Direction == -1) {
      s.TargetX = s.CenterX - s.TrackRadius;
    }
    if (s.FlashOn == 0) s.TargetX = s.CenterX;
  } else if (s.TestKind == kTestCircular || s.TestKind == kTestLinear) {
    s.TargetX = s.CenterX + s.TrackRadius * std::sin(s.Angle);
  }
  // Screen y grows downwards: on the circle Angle 0 is straight below the centre.
  s.TargetY = s.CenterY;
  if (s.TestKind == kTestCircular) s.TargetY = s.CenterY + s.TrackRadius * std::cos(s.Angle);

  s.BallX = s.TargetX - s.BallWidth / 2.0;
  s.BallY = s.TargetY - s.BallHeight / 2.0;
}

void PlaceFrames(SessionState& s) {
  s.LeftFrameX = (s.CenterX - s.TrackRadius) - s.FrameCellWidth / 2.0;
  s.RightFrameX = (s.CenterX + s.TrackRadius) - s.FrameCellWidth / 2.0;
}

double FrameTop(const SessionState& s) {
  return s.CenterY - s.FrameHeight / 2.0;
}

void PlaceMenuButtons(SessionState& s) {
  for (int i = 0; i <= 2; ++i) {
    s.ButtonX[i + 1] = (800 - s.ButtonCellWidth) / 2;
    s.ButtonY[i + 1] =
        200 + static_cast<Single>(i) * s.ButtonCellHeight + static_cast<Single>(10 * i);
  }
}

}  // namespace tavrik
