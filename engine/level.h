// Level sequencing: sets up each level of the chosen test (first flash, directions, speed) and,
// once the last level is done, has the report written and returns the session to the menu.
#pragma once

#include "engine/session_state.h"

namespace tavrik {

// Advances to the next level of s.TestKind. After the last level it calls WriteReport and then
// ResetSession. ScreenState and MenuLevel are left to the caller.
void StartLevel(SessionState& s);

}  // namespace tavrik
