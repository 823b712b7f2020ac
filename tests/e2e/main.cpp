// The driver of the end-to-end tests. run_scenario.sh starts a virtual X server and lays out a
// start folder, then runs, for example:
//
//   e2e_subject quick-tour --folder DIR --artifacts DIR --program ./Tavrik2
//   e2e_subject hand-keys --folder DIR --artifacts DIR --program ./Tavrik2
//   e2e_subject complete --folder DIR --artifacts DIR --run ./Tavrik2:abandon,linear,circular
//   e2e_subject message-boxes --folder DIR --artifacts DIR --program ./Tavrik2
//   e2e_subject missing-bitmap --folder DIR --artifacts DIR --program ./Tavrik2
//   e2e_subject pointer-at-start --folder DIR --artifacts DIR --program ./Tavrik2
//   e2e_subject level-timing --folder DIR --artifacts DIR --program ./Tavrik2 --refresh 60
//   e2e_subject mode-restore --folder DIR --artifacts DIR --program ./Tavrik2 --refresh 60
//   e2e_subject mode-switch --folder DIR --artifacts DIR --program ./Tavrik2 --refresh 60
//
// --wine PREFIX runs the programs of the Windows build ("./Tavrik2.exe") under Wine, in that
// Wine prefix (scripts/windows-wine.sh).
//
// Exit code 0 when every check passed; otherwise 1 with the reason on standard error.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "failure.h"
#include "scenarios.h"

namespace e2e {

namespace {
const auto g_start = std::chrono::steady_clock::now();
}

double Elapsed() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - g_start).count();
}

void Log(const std::string& line) {
  std::printf("[%7.2f s] %s\n", Elapsed(), line.c_str());
  std::fflush(stdout);
}

}  // namespace e2e

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: e2e_subject quick-tour|hand-keys --folder DIR --artifacts DIR "
               "--program ./TavrikN\n"
               "       e2e_subject complete --folder DIR --artifacts DIR "
               "--run ./TavrikN:test,test,... [--run ...]\n"
               "       e2e_subject message-boxes|missing-bitmap|pointer-at-start --folder DIR "
               "--artifacts DIR --program ./TavrikN\n"
               "       e2e_subject level-timing|mode-restore|mode-switch --folder DIR "
               "--artifacts DIR --program ./TavrikN --refresh HZ\n"
               "tests: abandon, linear, circular, flash; linear+close or linear+sigterm (and so\n"
               "on) end the program on the finished test's screen instead of the last Space;\n"
               "linear+blocked-record (and so on) puts a folder where its press record file goes\n"
               "and saves its rows separately; linear+held-retry and linear+held-separately (the\n"
               "Windows programs) have hold_file.exe hold that file open, and retry once it lets\n"
               "go, or save the rows separately while it holds on\n"
               "--wine PREFIX: the programs are the Windows build's (./TavrikN.exe), run under\n"
               "Wine in PREFIX\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace e2e;
  if (argc < 2) return Usage();
  const std::string scenario = argv[1];
  ScenarioOptions options;
  std::string program;
  std::vector<ProgramRun> runs;
  double refresh = 0;  // the display's rate while the program runs
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--folder") {
      options.folder = value;
    } else if (key == "--artifacts") {
      options.artifacts = value;
    } else if (key == "--program") {
      program = value;
    } else if (key == "--wine") {
      options.launcher = {TAVRIK_WINE_RUNNER, value};
    } else if (key == "--refresh") {
      refresh = std::atof(value.c_str());
    } else if (key == "--run") {
      const auto colon = value.find(':');
      if (colon == std::string::npos) return Usage();
      ProgramRun run;
      run.program = value.substr(0, colon);
      std::stringstream tests(value.substr(colon + 1));
      for (std::string t; std::getline(tests, t, ',');) run.tests.push_back(t);
      runs.push_back(run);
    } else {
      return Usage();
    }
  }
  if (options.folder.empty() || options.artifacts.empty()) return Usage();
  std::filesystem::create_directories(options.artifacts);

  try {
    if (scenario == "quick-tour" && !program.empty()) {
      QuickTour(options, program);
    } else if (scenario == "message-boxes" && !program.empty()) {
      MessageBoxes(options, program);
    } else if (scenario == "missing-bitmap" && !program.empty()) {
      MissingBitmap(options, program);
    } else if (scenario == "pointer-at-start" && !program.empty()) {
      PointerAtStart(options, program);
    } else if (scenario == "hand-keys" && !program.empty()) {
      HandKeysOnEveryLayout(options, program);
    } else if (scenario == "complete" && !runs.empty()) {
      CompleteSessions(options, runs);
    } else if (scenario == "level-timing" && !program.empty() && refresh > 0) {
      LevelTiming(options, program, refresh);
    } else if (scenario == "mode-restore" && !program.empty() && refresh > 0) {
      ModeGivenBackOnSignals(options, program, refresh);
    } else if (scenario == "mode-switch" && !program.empty() && refresh > 0) {
      ModeSwitchedAndGivenBack(options, program, refresh);
    } else {
      return Usage();
    }
  } catch (const Failure& f) {
    std::fprintf(stderr, "FAILED after %.1f s: %s\n", Elapsed(), f.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "FAILED after %.1f s (unexpected error): %s\n", Elapsed(), e.what());
    return 1;
  }
  Log("passed");
  return 0;
}
