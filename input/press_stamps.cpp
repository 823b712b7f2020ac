// Key press stamps: a single-producer single-consumer ring.
#include "input/press_stamps.h"

#include <utility>

namespace tavrik {

PressStamps::PressStamps(Clock now) : now_(std::move(now)) {}

void PressStamps::Record(std::uint32_t event_ms, int scancode) {
  const std::int64_t ns = now_();
  const std::uint32_t head = head_.load(std::memory_order_relaxed);
  // The indices run on and wrap; their difference is the number of entries held.
  if (head - tail_.load(std::memory_order_acquire) >= kCapacity) return;
  ring_[head % kCapacity] = Entry{event_ms, scancode, ns};
  head_.store(head + 1, std::memory_order_release);
}

std::int64_t PressStamps::Take(std::uint32_t event_ms, int scancode) {
  const std::uint32_t tail = tail_.load(std::memory_order_relaxed);
  const std::uint32_t head = head_.load(std::memory_order_acquire);
  for (std::uint32_t i = tail; i != head; ++i) {
    const Entry& e = ring_[i % kCapacity];
    if (e.event_ms == event_ms && e.scancode == scancode) {
      const std::int64_t ns = e.ns;
      tail_.store(i + 1, std::memory_order_release);
      return ns;
    }
  }
  // No stamp for this event. Events leave the queue in the order of their times, so stamps older
  // than this event can belong to no event still to come: without this, stamps of events taken
  // out of the queue elsewhere could fill the ring for good.
  std::uint32_t keep = tail;
  while (keep != head &&
         static_cast<std::int32_t>(ring_[keep % kCapacity].event_ms - event_ms) < 0) {
    ++keep;
  }
  tail_.store(keep, std::memory_order_release);
  return -1;
}

}  // namespace tavrik
