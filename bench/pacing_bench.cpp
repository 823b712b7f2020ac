// Frame pacing benchmark: drives the real display layer for a number of frames and reports the
// interval between flips: mean, standard deviation, largest, and frames dropped (an interval over
// 1.2 refresh periods). Run it on a real display and on a virtual one, with and without load:
//
//   pacing_bench [--frames N] [--load] [--depth 16|32]
//
// --load keeps the other core busy with a spinning thread while the frames run.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "display/display.h"
#include "display/frame_pacer.h"

int main(int argc, char** argv) {
  int frames = 3600;
  int depth = 32;
  bool load = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--frames") && i + 1 < argc)
      frames = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--depth") && i + 1 < argc)
      depth = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--load"))
      load = true;
    else {
      std::fprintf(stderr, "usage: %s [--frames N] [--load] [--depth 16|32]\n", argv[0]);
      return 2;
    }
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
  std::vector<std::int64_t> released, completed;
  released.reserve(frames + 1);
  completed.reserve(frames + 1);
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
  }
  stop = true;
  if (busy.joinable()) busy.join();

  const double period_ms = display.Pacer().period_ns() / 1e6;
  std::printf("renderer: %s, video driver: %s, depth %d, load: %s\n", info.name,
              SDL_GetCurrentVideoDriver(), depth, load ? "other core busy" : "none");
  std::printf("%s\n", display.Pacer().Describe().c_str());
  // Released: when each frame was handed to the display (the pacer's doing). Completed: when the
  // present returned (adds the display server's own delays).
  const struct {
    const char* what;
    const std::vector<std::int64_t>& stamps;
  } series[] = {{"released ", released}, {"completed", completed}};
  for (const auto& one : series) {
    std::vector<double> ms;
    for (std::size_t i = 1; i < one.stamps.size(); ++i) {
      ms.push_back((one.stamps[i] - one.stamps[i - 1]) / 1e6);
    }
    double sum = 0, largest = 0;
    int dropped = 0;
    for (double v : ms) {
      sum += v;
      largest = std::max(largest, v);
      dropped += v > 1.2 * period_ms;
    }
    const double mean = sum / ms.size();
    double var = 0;
    for (double v : ms) var += (v - mean) * (v - mean);
    const double sd = std::sqrt(var / ms.size());
    std::printf(
        "%s: frames %zu  period %.3f ms  mean %.3f ms (%+.3f%%)  sd %.3f ms  max %.3f ms  "
        "dropped %d\n",
        one.what, ms.size(), period_ms, mean, 100.0 * (mean - period_ms) / period_ms, sd, largest,
        dropped);
  }
  return 0;
}
