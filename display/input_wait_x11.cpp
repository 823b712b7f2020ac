// The input-taking wait on X11: it sleeps on the X server's connection, so that it wakes the
// moment an event arrives. Other video drivers get a look every millisecond (input_wait_poll.cpp).
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <ctime>

#include "display/input_wait.h"

namespace tavrik {

FramePacer::SleepUntilFn InputTakingSleep(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  Display* x = nullptr;
  if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
    x = info.info.x11.display;
  }
  if (!x) return PumpingSleep();
  return [x](std::int64_t deadline_ns) {
    for (;;) {
      // Replies read during the last present may have brought events along into Xlib's queue,
      // where the connection no longer shows them.
      if (XEventsQueued(x, QueuedAlready) > 0) SDL_PumpEvents();
      const std::int64_t left = deadline_ns - MonotonicNowNs();
      if (left <= 0) return;
      pollfd connection{ConnectionNumber(x), POLLIN, 0};
      const timespec timeout{static_cast<time_t>(left / 1'000'000'000),
                             static_cast<long>(left % 1'000'000'000)};
      if (ppoll(&connection, 1, &timeout, nullptr) > 0) SDL_PumpEvents();
    }
  };
}

}  // namespace tavrik
