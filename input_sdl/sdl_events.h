// The event pump: runs every pending platform event through the form's handlers and returns.
// The frame loop calls it once per frame, so handlers act between frames, never during one.
//
// Keys are read as keys: the two hand keys by their position on the keyboard (scan code), so
// that every layout answers with the same two keys, and Enter, Esc, Backspace and Space by the
// key itself. Typed text (SDL text input) serves only the name screen, and SDL's text input is
// on only while that screen is shown: elsewhere no key goes through the desktop's input method,
// which would cost each press a round trip to it, or could keep a key for itself.
#pragma once

#include <cstdio>

#include "engine/session_state.h"
#include "input/press_stamps.h"

union SDL_Event;

namespace tavrik {

class EventPump {
 public:
  // Watches SDL's events (its event system must be started) and stamps every key going down
  // with `clock` when SDL receives it; see input/press_stamps.h.
  explicit EventPump(PressStamps::Clock clock);
  ~EventPump();
  EventPump(const EventPump&) = delete;
  EventPump& operator=(const EventPump&) = delete;

  // Runs all pending events, then turns SDL's text input on when the name screen is shown and
  // off on every other screen. The switch waits until the queue is empty, so that every event
  // handed on was made under the setting the translation assumes.
  void DoEvents(SessionState& s);

  // Hands one SDL event to the handlers:
  //  - a key going down sets KeyDownNs to its stamp and KeyRepeat to whether it is an
  //    auto-repeat, and calls KeyDown; the hand keys (by scan code, on any layout, with any
  //    modifier) and Enter, Esc, Backspace and Space (by key code) then call KeyPress with their
  //    codes, auto-repeat included;
  //  - typed text calls KeyPress with each character's Windows-1251 code, on the name screen
  //    only (anywhere else it is the tail of that screen, typed before text input went off);
  //  - one physical press is one KeyPress: while text input is on, the name screen takes Space
  //    and the hand keys from their text and ignores their key-downs;
  //  - every key release is a KeyUp; mouse positions arrive already in the 800 by 600 image's
  //    pixels; a request to close the window ends the program like Esc on the menu, after
  //    writing the report of a finished test (CloseRequested).
  void Dispatch(SessionState& s, const SDL_Event& event);

  // With `out` set, each press of a hand key writes one line there: the hand, the scan code,
  // whether it is an auto-repeat, when it went down and when the frame on the screen was shown.
  void TracePresses(std::FILE* out) { trace_ = out; }

 private:
  static int Watch(void* self, SDL_Event* event);

  PressStamps stamps_;
  std::FILE* trace_ = nullptr;
};

}  // namespace tavrik
