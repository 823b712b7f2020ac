// The clock of a running test: one call per displayed frame moves the target or times the
// flash, opens the response latches and counts cycles.
#pragma once

#include "engine/session_state.h"

namespace tavrik {

// Advances the running level by one frame. The frame loop calls it only while ScreenState is 1
// and Cycle is at most CyclesPerLevel.
void UpdateStimulus(SessionState& s);

// The frame's step after it is drawn: a running level keeps the frame in its timing record and
// moves on by one frame, and a level whose cycles are used up is done (ScreenState 0, whatever
// it was).
void AdvanceLevel(SessionState& s);

}  // namespace tavrik
