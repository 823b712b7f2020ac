// Whether a window manager looks after the program's window. Where one runs, the window asks it
// for the whole screen; a bare X server has nobody to ask, and SDL would wait a tenth of a second
// for an answer in vain. One file per platform answers it.
#pragma once

struct SDL_Window;

namespace tavrik {

// True unless the window's display is known to run without a window manager.
bool HasWindowManager(SDL_Window* window);

// Called just before a dialog box opens over `parent` (may be null), which SDL places at the
// middle of the screen's width and a third of its height. Where no window manager will hand the
// box the keyboard, the keyboard is made to follow the pointer and the pointer is put there, so
// that Enter and Esc reach the box.
void PrepareForDialog(SDL_Window* parent);

// Called once at start-up, before the video system starts: dialog boxes draw their text in the
// fonts of the environment's locale, and where that is not a UTF-8 one (the C locale lacks
// Cyrillic) the process's environment is given C.UTF-8 instead, so that a report block shown in a
// box is readable. Nothing to do where the boxes do not depend on the locale.
void UseUtf8LocaleForDialogs();

}  // namespace tavrik
