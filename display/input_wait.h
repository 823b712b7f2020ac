// The frame pacer's wait that keeps taking in input while it sleeps.
#pragma once

#include <SDL.h>

#include "display/frame_pacer.h"

namespace tavrik {

// A sleep until an absolute deadline of MonotonicNowNs during which SDL keeps queueing events as
// they arrive, so that a key press meets the press watch and gets its stamp within a fraction of
// a millisecond instead of at the next frame's pump. The events stay queued: the handlers still
// run only in the frame loop.
FramePacer::SleepUntilFn InputTakingSleep(SDL_Window* window);

// The same for any video driver: a look at the event queue every millisecond
// (input_wait_poll.cpp), where the driver offers nothing to sleep on until an event comes.
FramePacer::SleepUntilFn PumpingSleep();

}  // namespace tavrik
