// Start-up time and peak memory of the program, measured the way the program runs.
//
//   startup_probe --startup [--runs N] [--depth 16|32]    (needs DISPLAY, e.g. Xvfb :7)
//     Starts N fresh processes of itself. Each one does what the program does before its first
//     frame is on the screen: StartUp on the real window, one event pump, the first ComposeFrame
//     and the first Flip, on the shipped bitmaps. Printed per run and as the median: the time from
//     the parent's fork to the child's main (exec and dynamic loading), StartUp, the first frame
//     and flip, the whole from the fork, the child's processor time until its first flip (all
//     threads, the loader's work included) and its peak resident memory.
//
//   startup_probe --session [--depth 16|32] [--screen]
//     One whole session through the handlers and ComposeFrame, as a subject would go through it:
//     all three tests, each chosen on the menu, the name typed, every level started with Space and
//     run frame by frame to its end with the hand keys pressed while the ball is in a frame, the
//     report appended; then Esc on the menu. Offscreen by default; --screen also flips every
//     frame on the real window (paced, so it takes minutes). Prints the peak resident memory
//     (getrusage ru_maxrss) before start-up, after it and at the end, and the reports' sizes.
//
// The start folder is made in /tmp with a link to the shipped bitmaps and removed afterwards.
#include <SDL.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "codepage/cp1251.h"
#include "input/handlers.h"
#include "input_sdl/sdl_events.h"
#include "shell/frame.h"
#include "shell/startup.h"
#include "testkit/folders.h"

namespace {

using namespace tavrik;
namespace fs = std::filesystem;

std::int64_t NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Processor time of the whole process since it started (the dynamic loader's and every
// thread's included), in milliseconds: unlike the wall time, not stretched by other load.
double ProcessCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

long PeakRssKb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;  // kilobytes on Linux
}

// The shipped bitmaps, which each start folder links as its "Графика".
const fs::path kShippedGraphics = fs::u8path(TAVRIK_SOURCE_DIR "/assets/Графика");

// --- Start-up ---------------------------------------------------------------------------------

// The child: from main to the first frame on the screen, as shell/main.cpp does it.
int ChildStartup(std::int64_t fork_ns, const std::string& base, int depth) {
  const std::int64_t t_main = NowNs();
  static Form1 f;
  f.s.services.ShowCursor = [](bool visible) {
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
  };
  try {
    StartUp(f, base, depth, DisplayTarget::kScreen);
    const std::int64_t t_started = NowNs();
    EventPump pump(MonotonicNowNs);
    pump.DoEvents(f.s);
    ComposeFrame(f);
    const std::int64_t t_composed = NowNs();
    f.display.Flip();
    const std::int64_t t_flipped = NowNs();
    std::printf("%.3f %.3f %.3f %.3f %.3f %.3f %ld\n", (t_main - fork_ns) / 1e6,
                (t_started - t_main) / 1e6, (t_composed - t_started) / 1e6,
                (t_flipped - t_composed) / 1e6, (t_flipped - fork_ns) / 1e6, ProcessCpuMs(),
                PeakRssKb());
  } catch (const DisplayError& e) {
    std::fprintf(stderr, "startup_probe: %s\n", e.what());
    return 1;
  }
  return 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

int RunStartup(const char* self, int runs, int depth) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::fprintf(stderr, "startup_probe: --startup needs a display (DISPLAY is not set)\n");
    return 1;
  }
  const testkit::StartFolder folder(kShippedGraphics);
  std::printf("depth %d, DISPLAY=%s, %d runs (times in ms)\n", depth, display, runs);
  std::printf("%4s %10s %10s %10s %10s %10s %10s %12s\n", "run", "fork>main", "StartUp", "compose",
              "flip", "total", "CPU", "peak RSS kB");
  std::vector<std::vector<double>> columns(7);
  int failures = 0;
  for (int run = 1; run <= runs; ++run) {
    int out[2];
    if (pipe(out) != 0) return 1;
    const std::int64_t fork_ns = NowNs();
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      const std::string t0 = std::to_string(fork_ns), d = std::to_string(depth);
      const std::string base = folder.path().u8string();
      execl(self, self, "--child-startup", t0.c_str(), base.c_str(), d.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[512];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    double v[7] = {};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text.c_str(), "%lf %lf %lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3], &v[4],
                    &v[5], &v[6]) != 7) {
      std::printf("%4d failed\n", run);
      ++failures;
      continue;
    }
    for (int i = 0; i < 7; ++i) columns[i].push_back(v[i]);
    std::printf("%4d %10.2f %10.2f %10.2f %10.2f %10.2f %10.2f %12.0f\n", run, v[0], v[1], v[2],
                v[3], v[4], v[5], v[6]);
  }
  std::printf("%4s %10.2f %10.2f %10.2f %10.2f %10.2f %10.2f %12.0f\n", "med", Median(columns[0]),
              Median(columns[1]), Median(columns[2]), Median(columns[3]), Median(columns[4]),
              Median(columns[5]), Median(columns[6]));
  return failures ? 1 : 0;
}

// --- A whole session --------------------------------------------------------------------------

struct Subject {
  Form1& f;
  bool screen;
  long frames = 0;

  void Frame() {
    ComposeFrame(f);
    if (screen) ShowFrame(f);
    ++frames;
  }
  void Type(const char* utf8) {
    for (const char c : Utf8ToCp1251(utf8)) KeyPress(f.s, static_cast<unsigned char>(c));
  }
  // Clicks the menu button `k` (1 top) where the last frame drew it.
  void Choose(int k) {
    SessionState& s = f.s;
    const Single x = s.ButtonX[k] + s.ButtonCellWidth / 2;
    const Single y = s.ButtonY[k] + s.ButtonCellHeight / 2;
    MouseMove(s, 0, 0, x, y);
    Frame();
    MouseDown(s, 1, 0, x, y);
  }
  // Presses a hand key while the ball stands in that hand's frame, except in every fourth
  // cycle, so the report has misses as well as hits.
  void Answer() {
    SessionState& s = f.s;
    if (s.Cycle % 4 == 0) return;
    if (s.BallX <= s.LeftFrameX + s.FrameCellWidth) {
      KeyPress(s, 233);  // й
      KeyUp(s, 'q', 0);
    } else if (s.BallX >= s.RightFrameX - s.FrameCellWidth) {
      KeyPress(s, 250);  // ъ
      KeyUp(s, ']', 0);
    }
  }
  // One test from the menu to the report. Returns false when the session went astray.
  bool Test(int button) {
    SessionState& s = f.s;
    Frame();
    Choose(button);
    Frame();
    if (s.ScreenState != kScreenNameEntry) return false;
    if (s.SubjectName.empty()) Type("Проба");
    KeyPress(s, kCodeEnter);
    Frame();
    KeyPress(s, kCodeSpace);
    for (int level = 1; level <= 4; ++level) {
      long guard = 0;
      while (s.ScreenState == kScreenRunning) {
        Frame();
        Answer();
        if (++guard > 100000) return false;
      }
      if (s.Level != level || s.Cycle <= s.CyclesPerLevel) return false;
      Frame();
      KeyPress(s, kCodeSpace);  // the next level, or the report and the menu
    }
    Frame();
    return s.ScreenState == kScreenMenu;
  }
};

int RunSession(int depth, bool screen) {
  const long rss_before = PeakRssKb();
  const testkit::StartFolder folder(kShippedGraphics);
  auto f = std::make_unique<Form1>();
  bool failed = false;
  f->s.services.ShowError = [&failed](const std::string& message) {
    std::fprintf(stderr, "startup_probe: %s\n", message.c_str());
    failed = true;
  };
  const std::int64_t t0 = NowNs();
  try {
    StartUp(*f, folder.path().u8string(), depth,
            screen ? DisplayTarget::kScreen : DisplayTarget::kOffscreen);
  } catch (const DisplayError& e) {
    std::fprintf(stderr, "startup_probe: %s\n", e.what());
    return 1;
  }
  const long rss_started = PeakRssKb();
  Subject subject{*f, screen};
  // Linear, circular and flash, in the order of the buttons.
  for (int button = 1; button <= 3 && !failed; ++button) {
    if (!subject.Test(button)) {
      std::fprintf(stderr, "startup_probe: test of button %d went astray\n", button);
      failed = true;
    }
  }
  KeyPress(f->s, kCodeEsc);
  subject.Frame();  // the frame in progress when Esc came still completes
  const std::int64_t t1 = NowNs();
  if (f->s.Running != 0) failed = true;

  std::printf("session: depth %d, %s, %ld frames in %.1f s\n", depth,
              screen ? "on the window" : "offscreen", subject.frames, (t1 - t0) / 1e9);
  std::printf("peak RSS: %ld kB before start-up, %ld kB after it, %ld kB at the end\n", rss_before,
              rss_started, PeakRssKb());
  for (const auto& entry : fs::directory_iterator(folder.path() / fs::u8path("Отчет"))) {
    std::printf("report %s: %ju bytes\n", entry.path().filename().u8string().c_str(),
                static_cast<std::uintmax_t>(entry.file_size()));
  }
  f.reset();
  return failed ? 1 : 0;
}

int Usage(const char* self) {
  std::fprintf(stderr,
               "usage: %s --startup [--runs N] [--depth 16|32]\n"
               "       %s --session [--depth 16|32] [--screen]\n",
               self, self);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && !std::strcmp(argv[1], "--child-startup")) {
    return ChildStartup(std::atoll(argv[2]), argv[3], std::atoi(argv[4]));
  }
  enum { kNone, kStartup, kSession } what = kNone;
  int runs = 20, depth = 32;
  bool screen = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--startup")) {
      what = kStartup;
    } else if (!std::strcmp(argv[i], "--session")) {
      what = kSession;
    } else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--depth") && i + 1 < argc) {
      depth = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--screen")) {
      screen = true;
    } else {
      return Usage(argv[0]);
    }
  }
  // The child is started by path: /proc/self/exe is this very program whatever the caller typed.
  if (what == kStartup) return RunStartup("/proc/self/exe", runs, depth);
  if (what == kSession) return RunSession(depth, screen);
  return Usage(argv[0]);
}
