// Windows: the desktop always looks after the program's window and hands a new dialog box the
// keyboard, and its boxes draw Unicode text whatever the locale, so there is nothing to find out
// and nothing to prepare.
#include "display/window_manager.h"

namespace tavrik {

bool HasWindowManager(SDL_Window*) {
  return true;
}

void PrepareForDialog(SDL_Window*) {}

void UseUtf8LocaleForDialogs() {}

}  // namespace tavrik
