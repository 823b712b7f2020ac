// Frame composition benchmark: what one frame of each screen costs, next to the two floors it can
// never beat at 800 by 600 — one clear of the back buffer and one plain copy of it — in 16 and
// 32 bits per pixel, with the shipped bitmaps; and, on its own, the timing record's share of a
// running frame (record_frame). After the runs it prints each screen as a multiple
// of the clear and of the copy, so one run shows whether the blits and the text stay cheap
// compared with touching the whole buffer once.
//
// Offscreen benchmarks need no display. When DISPLAY is set, two more per depth take the real
// window: the frame with the presentation but without the pacing wait (the work that Flip does,
// replayed on the same renderer), and the paced frame as the program runs it, where the wall time
// is the refresh period and the process CPU time (every thread, the GL driver's included) is the
// figure that matters.
//
//   compose_bench [--benchmark_filter=...] [--benchmark_repetitions=N]
//   DISPLAY=:7 compose_bench        # with `Xvfb :7 -screen 0 800x600x24` running
//
// On a display without a GPU (Xvfb) SDL's default renderer is OpenGL on Mesa's software
// rasteriser, which dominates the presentation; to compare with SDL's own software path run it
// with SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0.
#ifdef TAVRIK_HAVE_GOOGLE_BENCHMARK

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "codepage/cp1251.h"
#include "engine/timing_record.h"
#include "input/handlers.h"
#include "shell/frame.h"
#include "shell/startup.h"
#include "testkit/folders.h"

namespace {

using namespace tavrik;
namespace fs = std::filesystem;

// A start folder whose "Графика" is a link to the shipped bitmaps.
const testkit::StartFolder& Folder() {
  static const testkit::StartFolder folder(fs::u8path(TAVRIK_SOURCE_DIR "/assets/Графика"));
  return folder;
}

std::int64_t WallNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::unique_ptr<Form1> StartForm(int depth, DisplayTarget target) {
  auto f = std::make_unique<Form1>();
  StartUp(*f, Folder().path().u8string(), depth, target);
  return f;
}

// The menu with the pointer over the top button, so one button is drawn lit.
void EnterMenu(Form1& f) {
  ComposeFrame(f);  // places the buttons
  MouseMove(f.s, 0, 0, f.s.ButtonX[1] + f.s.ButtonCellWidth / 2,
            f.s.ButtonY[1] + f.s.ButtonCellHeight / 2);
}

// The linear test running in the middle of level 2 with some hits of both hands, reached through
// the handlers as a subject reaches it, then moved on to a mid-test state.
void EnterRunningLinear(Form1& f) {
  SessionState& s = f.s;
  EnterMenu(f);
  MouseDown(s, 1, 0, s.ButtonX[1] + s.ButtonCellWidth / 2, s.ButtonY[1] + s.ButtonCellHeight / 2);
  for (const char c : Utf8ToCp1251("Испытуемый")) KeyPress(s, static_cast<unsigned char>(c));
  KeyPress(s, kCodeEnter);
  KeyPress(s, kCodeSpace);
  s.Level = 2;
  s.Speed = 4;
  s.Cycle = 5;
  s.LeftHitsLevel = 3;
  s.RightHitsLevel = 4;
  s.LeftHitsTotal = 13;
  s.RightHitsTotal = 14;
  s.LeftKeyHeld = 1;
}

// Keeps the level running: without it the level ends after its tenth cycle and the screen turns
// into "level done". One compare per frame and a store every few hundred: far below the frame.
inline void KeepRunning(SessionState& s) {
  if (s.Cycle > 8) s.Cycle = 5;
}

void BM_Clear(benchmark::State& state, int depth) {
  auto f = StartForm(depth, DisplayTarget::kOffscreen);
  for (auto _ : state) {
    f->display.ClearSurface();
    benchmark::ClobberMemory();
  }
}

// The memory floor: one back buffer's worth of bytes copied to another buffer.
void BM_CopyFrame(benchmark::State& state, int depth) {
  auto f = StartForm(depth, DisplayTarget::kOffscreen);
  SDL_Surface* back = f->display.BackBuffer();
  const std::size_t bytes = static_cast<std::size_t>(back->pitch) * back->h;
  std::vector<std::uint8_t> copy(bytes);
  for (auto _ : state) {
    std::memcpy(copy.data(), back->pixels, bytes);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}

void BM_MenuFrame(benchmark::State& state, int depth) {
  auto f = StartForm(depth, DisplayTarget::kOffscreen);
  EnterMenu(*f);
  for (auto _ : state) {
    ComposeFrame(*f);
    benchmark::ClobberMemory();
  }
  if (f->s.MenuLevel != kMenuLevelMenu) state.SkipWithError("left the menu");
}

void BM_RunningFrame(benchmark::State& state, int depth) {
  auto f = StartForm(depth, DisplayTarget::kOffscreen);
  EnterRunningLinear(*f);
  for (auto _ : state) {
    ComposeFrame(*f);
    KeepRunning(f->s);
    benchmark::ClobberMemory();
  }
  if (f->s.ScreenState != kScreenRunning) state.SkipWithError("the level stopped running");
}

// The timing record's share of a running frame on its own: keeping what the frame shows, and its
// shown time with the pacing. The buffer is started again when full, so that every frame is
// stored as in a level.
void BM_RecordFrame(benchmark::State& state) {
  auto s = std::make_unique<SessionState>();
  ResetSession(*s);
  s->TestKind = kTestLinear;
  s->Level = 1;
  s->Cycle = 1;
  s->ScreenState = kScreenRunning;
  const FramePacing pacing{FramePacing::Kind::kVsync, 1, 60.0};
  std::int64_t shown = 0;
  for (auto _ : state) {
    RecordRunningFrame(*s);
    FrameShown(*s, shown += kNominalFramePeriodNs, pacing);
    s->Phase += 3;
    if (s->Timing.levels[0].frames_composed == kMaxLevelFrames) {
      s->Timing.levels[0].frames_composed = 0;
    }
    benchmark::ClobberMemory();
  }
}

// The running frame on the real window with the work of Flip (texture upload, clear, copy,
// present) but no pacing: vertical sync is switched off on the renderer and a texture of its
// own stands in for the display layer's, so nothing waits for a refresh.
void BM_PresentedFrameUnpaced(benchmark::State& state, int depth) {
  auto f = StartForm(depth, DisplayTarget::kScreen);
  SDL_Renderer* renderer = SDL_GetRenderer(f->display.Window());
  SDL_Surface* back = f->display.BackBuffer();
  SDL_Texture* texture = SDL_CreateTexture(renderer, back->format->format,
                                           SDL_TEXTUREACCESS_STREAMING, back->w, back->h);
  if (!renderer || !texture) {
    state.SkipWithError(SDL_GetError());
    return;
  }
  SDL_RenderSetVSync(renderer, 0);
  SDL_RendererInfo info{};
  SDL_GetRendererInfo(renderer, &info);
  state.SetLabel(std::string("renderer ") + info.name);
  EnterRunningLinear(*f);
  std::int64_t compose = 0, upload = 0, present = 0;
  for (auto _ : state) {
    const std::int64_t t0 = WallNs();
    ComposeFrame(*f);
    KeepRunning(f->s);
    const std::int64_t t1 = WallNs();
    SDL_UpdateTexture(texture, nullptr, back->pixels, back->pitch);
    const std::int64_t t2 = WallNs();
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
    const std::int64_t t3 = WallNs();
    compose += t1 - t0;
    upload += t2 - t1;
    present += t3 - t2;
  }
  using C = benchmark::Counter;
  state.counters["compose_us"] = C(compose / 1e3, C::kAvgIterations);
  state.counters["upload_us"] = C(upload / 1e3, C::kAvgIterations);
  state.counters["present_us"] = C(present / 1e3, C::kAvgIterations);
  SDL_DestroyTexture(texture);
}

// The frame as the program runs it: compose, then Flip with its pacing and the frame's time
// handed to the session. The wall time is the
// refresh period; the CPU time (of the process, as registered) excludes the sleep and counts
// every thread.
void BM_PacedFrame(benchmark::State& state, int depth) {
  auto f = StartForm(depth, DisplayTarget::kScreen);
  EnterRunningLinear(*f);
  // The pacer decides during its first frames how to pace; measure after that.
  for (int i = 0; i < FramePacer::kSettleFrames + FramePacer::kProbeFrames + 20; ++i) {
    ComposeFrame(*f);
    KeepRunning(f->s);
    ShowFrame(*f);
  }
  state.SetLabel(f->display.Pacer().Describe());
  for (auto _ : state) {
    ComposeFrame(*f);
    KeepRunning(f->s);
    ShowFrame(*f);
  }
}

// Keeps every run's time per iteration (microseconds of CPU time; of the whole process for the
// benchmarks on the window) for the ratios at the end.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const double us =
          run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e6;
      times_[run.run_name.function_name].push_back(us);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // The median over the repetitions; 0 when the benchmark did not run.
  double Us(const std::string& name) const {
    auto it = times_.find(name);
    if (it == times_.end() || it->second.empty()) return 0;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }

 private:
  std::map<std::string, std::vector<double>> times_;
};

void PrintRatios(const RecordingReporter& r) {
  std::printf("\nper frame, CPU time (median of repetitions):\n");
  std::printf("%-22s %9s %9s %10s %10s\n", "screen", "depth", "us", "x clear", "x copy");
  for (const int depth : {16, 32}) {
    const std::string d = "/" + std::to_string(depth) + "bpp";
    const double clear = r.Us("clear" + d), copy = r.Us("copy_frame" + d);
    for (const char* screen : {"clear", "copy_frame", "menu_frame", "running_frame",
                               "presented_unpaced", "paced_frame"}) {
      const double us = r.Us(screen + d);
      if (us <= 0) continue;
      std::printf("%-22s %9d %9.1f %10.2f %10.2f\n", screen, depth, us,
                  clear > 0 ? us / clear : 0.0, copy > 0 ? us / copy : 0.0);
    }
  }
  std::printf(
      "(presented_unpaced and paced_frame: processor time of the whole process per frame, the\n"
      " GL driver's threads included; the pacing sleep costs none.)\n");
}

}  // namespace

int main(int argc, char** argv) {
  for (const int depth : {16, 32}) {
    const std::string d = "/" + std::to_string(depth) + "bpp";
    benchmark::RegisterBenchmark(("clear" + d).c_str(), BM_Clear, depth)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("copy_frame" + d).c_str(), BM_CopyFrame, depth)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("menu_frame" + d).c_str(), BM_MenuFrame, depth)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("running_frame" + d).c_str(), BM_RunningFrame, depth)
        ->Unit(benchmark::kMicrosecond);
    const char* display = std::getenv("DISPLAY");
    if (display && *display) {
      benchmark::RegisterBenchmark(("presented_unpaced" + d).c_str(), BM_PresentedFrameUnpaced,
                                   depth)
          ->Unit(benchmark::kMicrosecond)
          ->Iterations(2000)
          ->MeasureProcessCPUTime();
      benchmark::RegisterBenchmark(("paced_frame" + d).c_str(), BM_PacedFrame, depth)
          ->Unit(benchmark::kMicrosecond)
          ->Iterations(300)
          ->MeasureProcessCPUTime()
          ->UseRealTime();
    }
  }
  benchmark::RegisterBenchmark("record_frame", BM_RecordFrame)->Unit(benchmark::kNanosecond);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Folder();
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintRatios(reporter);
  benchmark::Shutdown();
  return 0;
}

#else  // Google Benchmark was not found when the build was configured.

#include <cstdio>

int main() {
  std::fprintf(stderr, "compose_bench: built without Google Benchmark (libbenchmark-dev)\n");
  return 1;
}

#endif
