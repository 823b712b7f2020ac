// The frame composition: one frame of the session's state composed, shown and paced.
#pragma once

#include "shell/form.h"

namespace tavrik {

// One frame between the event pump and the flip: clear, compose the screen of the session's
// state, advance a running level by one step and close a level whose cycles are done.
void ComposeFrame(Form1& f);

// How `pacer` paces the frames, as plain data for the engine's timing record.
FramePacing PacingOf(const FramePacer& pacer);

// Hands the frame just composed to the display, then tells the session when it was shown and
// how the frames are paced.
void ShowFrame(Form1& f);

}  // namespace tavrik
