// Whether a window manager looks after the program's window. Where one runs, the window asks it
// for the whole screen; a bare X server has nobody to ask, and SDL would wait a tenth of a second
// for an answer in vain. One file per platform answers it.
#pragma once

struct SDL_Window;

namespace tavrik {

// True unless the window's display is known to run without a window manager.
bool HasWindowManager(SDL_Window* window);

}  // namespace tavrik
