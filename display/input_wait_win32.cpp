// The input-taking wait on Windows: a look at the window's messages every millisecond, on the
// clock's high-resolution timer (clock_win32.cpp).
#include "display/input_wait.h"

namespace tavrik {

FramePacer::SleepUntilFn InputTakingSleep(SDL_Window*) {
  return PumpingSleep();
}

}  // namespace tavrik
