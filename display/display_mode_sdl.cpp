// Carrying out the display plan on an SDL window, and giving the desktop its mode back.
//
// SDL switches the mode itself when a window with a display mode set goes to exclusive full
// screen (XRandR on X11), and gives the desktop its mode back when that window leaves full
// screen, is hidden, minimised or destroyed, and in SDL_Quit. It does nothing of the kind when
// the process ends without these: a return from main or exit() without SDL_Quit, a signal that
// kills, a crash. The program's form lives until static destruction, whose window destruction
// covers return and exit(); RestoreDesktopMode is also registered with atexit and std::terminate,
// and the three signals that commonly end a program are turned into SDL's quit event, so that the
// program ends the ordinary way. SIGKILL and a crash leave the display in the 60 Hz mode until
// the desktop sets another (its display settings, or `xrandr --output NAME --auto`).
#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "display/display_mode.h"
#include "display/end_signals.h"

namespace tavrik {
namespace {

Uint32 g_switched_window = 0;  // the window whose full screen holds the 60 Hz mode; 0: none
volatile std::sig_atomic_t g_end_signal = 0;
bool g_quit_sent = false;
std::terminate_handler g_previous_terminate = nullptr;

DisplayModeInfo Info(const SDL_DisplayMode& m) {
  return DisplayModeInfo{m.w, m.h, static_cast<double>(m.refresh_rate)};
}

void OnEndSignal(int sig) {
  if (g_end_signal != 0) {
    // The program did not end on the first one: the default action ends it now.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    return;
  }
  g_end_signal = sig;
}

void OnTerminate() {
  RestoreDesktopMode();
  if (g_previous_terminate) g_previous_terminate();
  std::abort();
}

void InstallRestorers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  std::atexit(RestoreDesktopMode);
  g_previous_terminate = std::set_terminate(OnTerminate);
  CatchEndSignals(OnEndSignal);
}

// Switches `window` to `mode` in exclusive full screen. Empty when the display then runs at 60
// Hz; otherwise what went wrong, with the desktop's mode given back.
std::string SwitchTo(SDL_Window* window, int display, const SDL_DisplayMode& mode) {
  std::string failure;
  if (SDL_SetWindowDisplayMode(window, &mode) != 0 ||
      SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) {
    failure = std::string("the switch failed: ") + SDL_GetError();
  } else {
    g_switched_window = SDL_GetWindowID(window);
    InstallRestorers();
    SDL_DisplayMode now{};
    if (SDL_GetCurrentDisplayMode(display, &now) == 0 && CountsAsSixty(now.refresh_rate)) return "";
    failure = "the display stayed at " + std::to_string(now.refresh_rate) + " Hz";
  }
  RestoreDesktopMode();
  return failure;
}

}  // namespace

DisplayPlan TakeDisplayAt60(SDL_Window* window, bool ask_window_manager) {
  int display = SDL_GetWindowDisplayIndex(window);
  if (display < 0) display = 0;
  SDL_DisplayMode desktop{};
  if (SDL_GetDesktopDisplayMode(display, &desktop) != 0) desktop = SDL_DisplayMode{};
  std::vector<SDL_DisplayMode> modes;
  for (int i = 0; i < SDL_GetNumDisplayModes(display); ++i) {
    SDL_DisplayMode m{};
    if (SDL_GetDisplayMode(display, i, &m) == 0) modes.push_back(m);
  }
  std::vector<DisplayModeInfo> offered;
  for (const SDL_DisplayMode& m : modes) offered.push_back(Info(m));

  DisplayPlan plan = PlanDisplay(Info(desktop), offered);
  if (plan.kind == DisplayPlan::Kind::kSwitchTo60) {
    const SDL_DisplayMode* chosen = nullptr;
    for (std::size_t i = 0; i < modes.size() && !chosen; ++i) {
      const DisplayModeInfo& m = offered[i];
      if (m.w == plan.mode.w && m.h == plan.mode.h && m.refresh_hz == plan.mode.refresh_hz) {
        chosen = &modes[i];
      }
    }
    const std::string failure =
        chosen ? SwitchTo(window, display, *chosen) : "the mode is no longer listed";
    if (failure.empty()) {
      std::fprintf(stderr, "display: %s\n", plan.why.c_str());
      return plan;
    }
    // Without the 60 Hz modes the plan falls to repeated refreshes or the timer.
    std::vector<DisplayModeInfo> others;
    for (const DisplayModeInfo& m : offered) {
      if (!CountsAsSixty(m.refresh_hz)) others.push_back(m);
    }
    const std::string tried =
        std::to_string(plan.mode.w) + "x" + std::to_string(plan.mode.h) + " at 60 Hz";
    plan = PlanDisplay(Info(desktop), others);
    plan.why = "could not take " + tried + " (" + failure + "); " + plan.why;
  }
  if (ask_window_manager) SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  std::fprintf(stderr, "display: %s\n", plan.why.c_str());
  return plan;
}

void RestoreDesktopMode() {
  const Uint32 id = g_switched_window;
  if (id == 0) return;
  g_switched_window = 0;
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  // Leaving exclusive full screen is SDL's way to give the desktop its mode back.
  if (SDL_Window* window = SDL_GetWindowFromID(id)) SDL_SetWindowFullscreen(window, 0);
}

void ForwardEndSignal() {
  if (g_end_signal == 0 || g_quit_sent) return;
  g_quit_sent = true;
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
}

}  // namespace tavrik
