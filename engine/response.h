// Judging of the subject's key presses: each hand answers each pass of the target, or each
// flash, once; a press counts as a hit when the target is inside that hand's frame.
#pragma once

#include "engine/session_state.h"

namespace tavrik {

// One press of the left-hand key, judged against the frame last drawn. Says how it was taken,
// for the timing record.
Answer RespondLeft(SessionState& s);
// One press of the right-hand key, judged against the frame last drawn.
Answer RespondRight(SessionState& s);

}  // namespace tavrik
