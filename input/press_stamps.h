// When each key went down, to the nanosecond of a monotonic clock, for the scoring to read.
//
// SDL's own event time is in whole milliseconds, and the frame loop sees an event only at its
// next pump, up to a frame later. So an event watch takes the stamp the moment SDL receives the
// key (Record), and the pump pairs it with the event when it hands that event on (Take).
//
// Pairing: SDL gives every event its millisecond time before the watch sees it, and keeps it in
// the queue; with the key's scan code that names the event well enough, since events come out of
// the queue in the order they went in. Take looks for the oldest stamp with the event's time and
// scan code. Stamps older than that one belong to events that never reached the pump (removed
// from the queue by someone else) and are dropped with it; an event the watch never saw (one
// pushed past it) matches nothing, gets no stamp, and drops the stamps of earlier milliseconds.
// Two presses of the same key in the same millisecond are taken in order, so they cannot swap.
//
// The watch runs on whichever thread pushes the event (for X11 and Wayland the thread that pumps,
// inside SDL_PumpEvents), one at a time under SDL's lock of the watchers, while Take runs on the
// frame loop's thread: the ring is single-producer single-consumer, and neither side allocates.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

namespace tavrik {

class PressStamps {
 public:
  // Nanoseconds of a monotonic clock: the clock the frame pacer stamps frames with, so that the
  // two can be subtracted. Replaceable for tests.
  using Clock = std::function<std::int64_t()>;

  explicit PressStamps(Clock now);

  // A key went down: reads the clock and keeps the stamp under the event's millisecond time and
  // the key's scan code. When the ring is full (the pump has not run for kCapacity presses) the
  // newest stamp is the one lost.
  void Record(std::uint32_t event_ms, int scancode);

  // The stamp of the key-down event with this time and scan code, now being handled; -1 when
  // none was recorded for it.
  std::int64_t Take(std::uint32_t event_ms, int scancode);

  // Far more presses than any hand makes within one frame.
  static constexpr std::uint32_t kCapacity = 64;

 private:
  struct Entry {
    std::uint32_t event_ms = 0;
    int scancode = 0;
    std::int64_t ns = -1;
  };

  Clock now_;
  std::array<Entry, kCapacity> ring_{};
  std::atomic<std::uint32_t> head_{0};  // next entry to write; only Record moves it
  std::atomic<std::uint32_t> tail_{0};  // oldest entry not taken; only Take moves it
};

}  // namespace tavrik
