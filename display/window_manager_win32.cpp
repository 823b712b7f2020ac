// Windows: the desktop always looks after the program's window and hands a new dialog box the
// keyboard, so there is nothing to find out and nothing to prepare.
#include "display/window_manager.h"

namespace tavrik {

bool HasWindowManager(SDL_Window*) {
  return true;
}

void PrepareForDialog(SDL_Window*) {}

}  // namespace tavrik
