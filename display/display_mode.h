// Which display mode the program shows its frames in, so that they come at 60 a second whatever
// the desktop's refresh rate. Frames are the program's only clock and the tests were made for 60
// frames a second: on a 144 Hz desktop a level would otherwise run in 42 % of its time.
//
// The rule, in this order:
// - a display at 59 to 61 Hz counts as 60 and is used as it is;
// - a display that offers a mode at 59 to 61 Hz is switched to it for the life of the program
//   (the desktop's own size if it has one at that rate, else the largest; the 800 by 600 image is
//   scaled to any size), and gets the desktop's mode back when the program ends;
// - a display whose rate is a whole multiple of 60 (120, 180, 240 Hz, each within N Hz) shows
//   every frame for N refreshes;
// - any other display has its frames held to a 60 Hz monotonic timer.
// A display that does not say its rate counts as 60; the first second's measurement of the frame
// pacer (frame_pacer.h) decides then, as it checks every plan that relies on vertical sync.
//
// PlanDisplay is the decision alone, plain C++; TakeDisplayAt60 and RestoreDesktopMode carry it
// out on an SDL window (display_mode_sdl.cpp).
#pragma once

#include <string>
#include <vector>

struct SDL_Window;

namespace tavrik {

// A display mode as the video system lists it. refresh_hz 0: the rate is not known.
struct DisplayModeInfo {
  int w = 0;
  int h = 0;
  double refresh_hz = 0;
};

// Rates from 59 to 61 Hz are taken for 60: the 59.94 Hz of television timings, and monitors a
// little off their nominal rate. A level then lasts within 1.7 % of its time.
bool CountsAsSixty(double refresh_hz);

struct DisplayPlan {
  enum class Kind {
    kAsIs60,      // the desktop's mode as it is: 60 Hz, or a rate that is not known
    kSwitchTo60,  // `mode` at 60 Hz instead of the desktop's
    kRepeat,      // the desktop's mode, each frame shown for `refreshes_per_frame` refreshes
    kTimer60,     // the desktop's mode, frames held to a 60 Hz timer
  };
  Kind kind = Kind::kAsIs60;
  DisplayModeInfo mode;         // the mode the frames are shown in
  int refreshes_per_frame = 1;  // refreshes per frame under vertical sync
  std::string why;              // for standard error: what was found and what is done
};

// The plan for a display whose desktop runs `desktop` and which offers `offered` (the desktop's
// own mode may or may not be among them).
DisplayPlan PlanDisplay(const DisplayModeInfo& desktop,
                        const std::vector<DisplayModeInfo>& offered);

// Plans for the display of `window` and carries the plan out: switches to the 60 Hz mode with
// exclusive full screen, or else takes the whole screen at the desktop's mode (through the window
// manager when `ask_window_manager`; a bare X server has none to ask). Says on standard error
// what it does. Should the switch fail, or leave the display at another rate, the plan falls back
// to the desktop's mode and is made again without the 60 Hz modes; the plan returned is the one
// in force. After a switch, the desktop's mode is given back by RestoreDesktopMode, at exit, at
// std::terminate, and when SIGTERM, SIGINT or SIGHUP ends the program (see ForwardEndSignal).
DisplayPlan TakeDisplayAt60(SDL_Window* window, bool ask_window_manager);

// Gives the desktop its own mode back if TakeDisplayAt60 switched it. Harmless when nothing was
// switched, when called again, and after the window or the video system is gone.
void RestoreDesktopMode();

// After a switch, SIGTERM, SIGINT and SIGHUP only note that the program is to end (the mode cannot
// be given back from a signal handler). The frame loop calls this once per frame: it turns a noted
// signal into SDL's quit event, which ends the program the ordinary way. A second signal while the
// first waits ends the program at once.
void ForwardEndSignal();

}  // namespace tavrik
