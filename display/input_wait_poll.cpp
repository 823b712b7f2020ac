// The input-taking wait for video drivers that offer nothing to sleep on: SDL's event pump is run
// every millisecond until the deadline, so that a key press waits at most that long for its
// stamp.
#include <algorithm>

#include "display/input_wait.h"

namespace tavrik {

FramePacer::SleepUntilFn PumpingSleep() {
  return [](std::int64_t deadline_ns) {
    for (std::int64_t now = MonotonicNowNs(); now < deadline_ns; now = MonotonicNowNs()) {
      SDL_PumpEvents();
      SleepUntilNs(std::min(deadline_ns, now + 1'000'000));
    }
  };
}

}  // namespace tavrik
