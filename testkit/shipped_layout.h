// The layout that start-up gives the session on the shipped bitmaps, for tests that play levels
// without a display: the centre of the 800 by 600 screen, the 40 by 40 ball, the frames' 64 by 64
// cells and the track radius that follows from them (180).
#pragma once

#include "engine/session_state.h"

namespace tavrik::testkit {

void UseShippedLayout(SessionState& s);

}  // namespace tavrik::testkit
