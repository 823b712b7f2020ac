// The event pump: runs every pending platform event through the form's handlers and returns.
// The frame loop calls it once per frame, so handlers act between frames, never during one.
#pragma once

#include "engine/session_state.h"

union SDL_Event;

namespace tavrik {

// Hands one SDL event to the handlers. Typed characters (SDL text input) become KeyPress calls
// with their Windows-1251 codes; Enter, Esc and Backspace, which produce no text, come from
// key-down events, auto-repeat included; every key release is a KeyUp. Mouse positions arrive
// already in the 800 by 600 image's pixels. A request to close the window ends the program
// like Esc on the menu, after writing the report of a finished test (CloseRequested).
void DispatchEvent(SessionState& s, const SDL_Event& event);

// Runs all pending events, then returns.
void DoEvents(SessionState& s);

}  // namespace tavrik
