// The keyboard and mouse handlers of the form. They run between frames, each to its end, and
// work only on the session record: plain C++, so tests drive them directly. input/sdl_events.h
// turns the platform's events into these calls.
#pragma once

#include "engine/session_state.h"

namespace tavrik {

// Character codes of the keys with a meaning of their own.
enum : int {
  kCodeBackspace = 8,
  kCodeEnter = 13,
  kCodeEsc = 27,
  kCodeSpace = 32,
};

// A key went down. Nothing happens: typed characters arrive through KeyPress.
void KeyDown(SessionState& s, int key_code, int shift);

// A character was typed (repeated while a key is held), as its Windows-1251 code 0..255: edits
// and accepts the name, starts levels, abandons a test or quits, and hands the two hand keys
// (their codes in input/hand_keys.h) to the scoring, and what the scoring made of them to the
// timing record (an auto-repeat, s.KeyRepeat 1, is judged but not recorded). The SDL translation
// calls it with the hand key's own code for every press of that physical key, whatever the layout
// typed.
void KeyPress(SessionState& s, int code);

// A key went up: whichever key it was, neither hand key counts as held any more.
void KeyUp(SessionState& s, int key_code, int shift);

// The window is to close (the window manager's close button, or a signal to end the program):
// the program ends after the current frame, as with Esc on the menu. On the screen of a finished
// test the report is written first, exactly as the last Space would write it, so that closing
// the window never loses a finished test.
void CloseRequested(SessionState& s);

// A mouse button went down at (x, y) of the 800 by 600 image: on the menu, a press inside a
// button chooses that button's test.
void MouseDown(SessionState& s, int button, int shift, Single x, Single y);

// The mouse moved to (x, y): the pointer follows, and the button under it lights up.
void MouseMove(SessionState& s, int button, int shift, Single x, Single y);

}  // namespace tavrik
