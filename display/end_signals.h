// The signals that commonly end a program, handed to one handler so that the program can end the
// ordinary way and give the desktop its display mode back (display_mode_sdl.cpp). Which signals
// there are differs by platform; one file per platform installs them.
#pragma once

namespace tavrik {

// Installs `handler` for each of the platform's ending signals that is not ignored already.
void CatchEndSignals(void (*handler)(int));

}  // namespace tavrik
