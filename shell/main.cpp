// The program: start-up, then one pass of the frame loop per displayed frame until Esc on the
// menu. Built twice, as Tavrik1 (16 bits per pixel) and Tavrik2 (32 bits per pixel).
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "display/window_manager.h"
#include "input_sdl/sdl_events.h"
#include "shell/frame.h"
#include "shell/message_box.h"
#include "shell/startup.h"

#ifndef TAVRIK_DEPTH
#error "TAVRIK_DEPTH must be 16 or 32"
#endif

namespace {

// Standard error always; a message box too where a display exists. The full-screen window is
// moved out of the way first, or the box could open behind it.
void ShowFatal(tavrik::Form1& f, const std::string& message) {
  std::fprintf(stderr, "Tavrik: %s\n", message.c_str());
  if (SDL_Window* window = f.display.Window()) {
    SDL_SetWindowFullscreen(window, 0);
    SDL_HideWindow(window);
  }
  SDL_ShowCursor(SDL_ENABLE);
  tavrik::ShowMessageBox(nullptr, message);
}

}  // namespace

int main(int, char**) {
  using namespace tavrik;
  UseUtf8LocaleForDialogs();
  static Form1 f;  // the one form; lives until the program ends
  f.s.services.ShowCursor = [](bool visible) {
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
  };
  f.s.services.ShowError = [](const std::string& message) {
    std::fprintf(stderr, "Tavrik: %s\n", message.c_str());
    ShowMessageBox(f.display.Window(), message);
  };
  f.s.services.AskSaveChoice = [](const std::string& message) {
    std::fprintf(stderr, "Tavrik: %s\n", message.c_str());
    return AskRetry(f.display.Window(), message) ? SaveChoice::kRetry : SaveChoice::kSaveSeparately;
  };

  std::error_code ec;
  // With forward slashes on Windows too, like every name the program puts after it, so that the
  // paths in its messages read alike.
  const std::string base = std::filesystem::current_path(ec).generic_u8string();
  if (ec) {
    std::fprintf(stderr, "Tavrik: cannot read the current folder: %s\n", ec.message().c_str());
    return 1;
  }
  try {
    StartUp(f, base, TAVRIK_DEPTH, DisplayTarget::kScreen);
    // Key presses are stamped on the clock the frames are paced by.
    EventPump pump(MonotonicNowNs);
    if (const char* trace = std::getenv("TAVRIK_TRACE_PRESSES"); trace && *trace) {
      pump.TracePresses(stderr);
    }
    while (f.s.Running == -1) {
      pump.DoEvents(f.s);
      ComposeFrame(f);
      ShowFrame(f);
    }
  } catch (const DisplayError& e) {
    ShowFatal(f, e.what());
    return 1;
  }
  return 0;
}
