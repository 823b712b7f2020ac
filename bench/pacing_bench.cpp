// Frame pacing benchmark: drives the real display layer for a number of frames and reports the
// interval between flips: mean, standard deviation, largest, and frames dropped (an interval over
// 1.2 refresh periods). Run it on a real display and on a virtual one, with and without load:
//
//   pacing_bench [--frames N] [--load] [--depth 16|32] [--no-bare] [--list]
//
// Beside the program's paced loop a bare timer loop runs in a thread of its own for the same
// frames: absolute sleeps on the pacer's own clock (clock_nanosleep TIMER_ABSTIME on
// CLOCK_MONOTONIC) at the same period, half a period out of step, doing nothing else. Both see the
// same load at the same moments, so the bare loop tells what the system's wake-ups give, and any
// difference is the program's own doing. Like the pacer, the bare loop starts its ticks afresh
// after a wake-up more than half a period late, instead of rushing ticks out to catch up.
//
// --frames N   frames to measure (10,000 by default: 167 s at 60 Hz; 600 for a quick look)
// --load       keeps the other core busy with a spinning thread while the frames run
// --no-bare    the program's loop alone, to see that the bare loop does not disturb it
// --list       prints every dropped interval of both loops with its time, to match them up
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "display/display.h"
#include "display/frame_pacer.h"

namespace {

// The whole machine's processor time so far (all cores), in clock ticks: busy, idle, and stolen
// (a virtual machine's processors kept waiting by the host). Read from /proc/stat; all zero where
// there is none.
struct CpuTimes {
  unsigned long long busy = 0;
  unsigned long long idle = 0;
  unsigned long long steal = 0;
};

CpuTimes ReadCpuTimes() {
  CpuTimes t;
  std::ifstream stat("/proc/stat");
  std::string cpu;
  unsigned long long v[8] = {};
  if (!(stat >> cpu) || cpu != "cpu") return t;
  for (auto& x : v) stat >> x;
  t.idle = v[3] + v[4];  // idle, iowait
  t.busy = v[0] + v[1] + v[2] + v[5] + v[6];
  t.steal = v[7];
  return t;
}

// The bare loop: wakes at absolute deadlines one period apart and notes when it woke.
std::vector<std::int64_t> BareLoop(std::int64_t first_deadline, std::int64_t period, int ticks) {
  tavrik::RequestPreciseWakeups();
  std::vector<std::int64_t> woke;
  woke.reserve(static_cast<std::size_t>(ticks));
  std::int64_t deadline = first_deadline;
  for (int i = 0; i < ticks; ++i) {
    tavrik::SleepUntilNs(deadline);
    const std::int64_t now = tavrik::MonotonicNowNs();
    woke.push_back(now);
    deadline = now > deadline + period / 2 ? now + period : deadline + period;
  }
  return woke;
}

double Ms(std::int64_t ns) {
  return static_cast<double>(ns) / 1e6;
}

struct Summary {
  std::size_t frames = 0;
  double mean = 0, sd = 0, largest = 0;
  int dropped = 0;
};

Summary Summarise(const std::vector<std::int64_t>& stamps, double period_ms) {
  Summary s;
  std::vector<double> ms;
  for (std::size_t i = 1; i < stamps.size(); ++i) ms.push_back(Ms(stamps[i] - stamps[i - 1]));
  if (ms.empty()) return s;
  double sum = 0;
  for (double v : ms) {
    sum += v;
    s.largest = std::max(s.largest, v);
    s.dropped += v > 1.2 * period_ms;
  }
  s.frames = ms.size();
  s.mean = sum / static_cast<double>(ms.size());
  double var = 0;
  for (double v : ms) var += (v - s.mean) * (v - s.mean);
  s.sd = std::sqrt(var / static_cast<double>(ms.size()));
  return s;
}

void PrintSummary(const char* what, const Summary& s, double period_ms) {
  std::printf(
      "%s: frames %zu  period %.3f ms  mean %.3f ms (%+.3f%%)  sd %.3f ms  max %.3f ms  "
      "dropped %d\n",
      what, s.frames, period_ms, s.mean, 100.0 * (s.mean - period_ms) / period_ms, s.sd, s.largest,
      s.dropped);
}

void ListDropped(const char* what, const std::vector<std::int64_t>& stamps, std::int64_t start,
                 double period_ms) {
  for (std::size_t i = 1; i < stamps.size(); ++i) {
    const double ms = Ms(stamps[i] - stamps[i - 1]);
    if (ms > 1.2 * period_ms) {
      std::printf("  %s dropped at %8.3f s: %.3f ms\n", what, Ms(stamps[i] - start) / 1e3, ms);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 10000;
  int depth = 32;
  bool load = false;
  bool bare = true;
  bool list = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--frames") && i + 1 < argc)
      frames = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--depth") && i + 1 < argc)
      depth = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--load"))
      load = true;
    else if (!std::strcmp(argv[i], "--no-bare"))
      bare = false;
    else if (!std::strcmp(argv[i], "--list"))
      list = true;
    else {
      std::fprintf(stderr, "usage: %s [--frames N] [--load] [--depth 16|32] [--no-bare] [--list]\n",
                   argv[0]);
      return 2;
    }
  }
  if (frames < 2) {
    std::fprintf(stderr, "%s: --frames needs at least 2\n", argv[0]);
    return 2;
  }
  tavrik::DisplayDevice display;
  try {
    display.InitDisplay(800, 600, depth);
  } catch (const tavrik::DisplayError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  SDL_RendererInfo info{};
  SDL_GetRendererInfo(SDL_GetRenderer(display.Window()), &info);

  std::atomic<bool> stop{false};
  std::thread busy;
  if (load) {
    busy = std::thread([&stop] {
      volatile unsigned long x = 0;
      while (!stop.load(std::memory_order_relaxed)) x = x * 3 + 1;
    });
  }
  // The probe frames decide how to pace; measure only after them.
  const int warmup = tavrik::FramePacer::kSettleFrames + tavrik::FramePacer::kProbeFrames + 10;
  std::vector<std::int64_t> released, completed, bare_woke;
  released.reserve(static_cast<std::size_t>(frames) + 1);
  completed.reserve(static_cast<std::size_t>(frames) + 1);
  std::thread bare_thread;
  CpuTimes cpu_before;
  for (int i = 0; i < warmup + frames + 1; ++i) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
    }
    display.ClearSurface();
    display.Flip();
    if (i >= warmup) {
      released.push_back(display.Pacer().released_ns());
      completed.push_back(tavrik::MonotonicNowNs());
    }
    if (i == warmup) {
      cpu_before = ReadCpuTimes();
      if (bare) {
        const std::int64_t period = display.Pacer().period_ns();
        const std::int64_t first = display.Pacer().released_ns() + period / 2;
        bare_thread = std::thread([&bare_woke, first, period, frames] {
          bare_woke = BareLoop(first, period, frames + 1);
        });
      }
    }
  }
  if (bare_thread.joinable()) bare_thread.join();
  const CpuTimes cpu_after = ReadCpuTimes();
  stop = true;
  if (busy.joinable()) busy.join();

  const double period_ms = Ms(display.Pacer().period_ns());
  std::printf("renderer: %s, video driver: %s, depth %d, load: %s\n", info.name,
              SDL_GetCurrentVideoDriver(), depth, load ? "other core busy" : "none");
  const double busy_ticks = static_cast<double>(cpu_after.busy - cpu_before.busy);
  const double idle_ticks = static_cast<double>(cpu_after.idle - cpu_before.idle);
  const double steal_ticks = static_cast<double>(cpu_after.steal - cpu_before.steal);
  const double all_ticks = busy_ticks + idle_ticks + steal_ticks;
  if (all_ticks > 0) {
    std::printf("machine: %u cores, %.0f%% idle, %.1f%% stolen by the host during the run\n",
                std::thread::hardware_concurrency(), 100.0 * idle_ticks / all_ticks,
                100.0 * steal_ticks / all_ticks);
  }
  std::printf("%s\n", display.Pacer().Describe().c_str());
  // Released: when each frame was handed to the display (the pacer's doing). Completed: when the
  // present returned (adds the display server's own delays). Bare: the bare loop's wake-ups.
  const Summary rel = Summarise(released, period_ms);
  PrintSummary("released ", rel, period_ms);
  PrintSummary("completed", Summarise(completed, period_ms), period_ms);
  if (bare) {
    const Summary b = Summarise(bare_woke, period_ms);
    PrintSummary("bare     ", b, period_ms);
    std::printf("released against bare: dropped %d / %d, sd %.2f times the bare loop's\n",
                rel.dropped, b.dropped, b.sd > 0 ? rel.sd / b.sd : 0.0);
  }
  if (list) {
    ListDropped("released", released, released.front(), period_ms);
    if (bare) ListDropped("bare    ", bare_woke, released.front(), period_ms);
  }
  return 0;
}
