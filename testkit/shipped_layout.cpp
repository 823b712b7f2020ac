// The shipped layout of shipped_layout.h.
#include "testkit/shipped_layout.h"

#include "engine/geometry.h"

namespace tavrik::testkit {

void UseShippedLayout(SessionState& s) {
  s.CenterX = 400;
  s.CenterY = 300;
  s.BallWidth = s.BallHeight = 40;
  s.FrameCellWidth = 64;
  s.FrameHeight = 64;
  PlaceTrack(s);
}

}  // namespace tavrik::testkit
