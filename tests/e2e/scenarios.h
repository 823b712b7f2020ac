// The end-to-end scenarios: each drives the real program on the X server of $DISPLAY from its
// start folder and throws Failure at the first thing that is not as it should be.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct ScenarioOptions {
  std::string folder;     // the start folder: the programs, "Графика", "Отчет"
  std::string artifacts;  // where failing comparisons leave their images
  // What runs the programs, when they are not run themselves: the Wine runner and its prefix
  // for the Windows build.
  std::vector<std::string> launcher;
};

// A short look at everything on a screen larger than the image: the lit button under the mouse,
// the name typed in Cyrillic, the hand keys with and without Shift, abandoning with Esc, quitting.
void QuickTour(const ScenarioOptions& options, const std::string& program);

// The hand keys under the layouts an examiner's keyboard may be set to (us,ru, us,ua, us,by,
// us,kz in both groups, de, fr, ua), plain, with Shift and with Caps Lock: held on the ready
// screen, then every pass of a linear level answered under the next layout, all scored. A name
// typed in the Russian layout with those keys shows each letter once. The program's press trace
// (TAVRIK_TRACE_PRESSES) must show every press, stamped as a rule within 2 ms of its sending.
void HandKeysOnEveryLayout(const ScenarioOptions& options, const std::string& program);

// One start of a program and the tests it runs before it is ended with Esc. Tests: "linear",
// "circular", "flash" (complete, with the report checked) and "abandon" (a flash test left
// with Esc after its first flash).
struct ProgramRun {
  std::string program;  // "./Tavrik1" or "./Tavrik2"
  std::vector<std::string> tests;
};

// Complete sessions of every test kind by the scripted subject, each level's result screen
// checked against the expected one, and each report block checked byte for byte.
void CompleteSessions(const ScenarioOptions& options, const std::vector<ProgramRun>& runs);

// The examiner's message boxes on a bare X server: a missing bitmap at start-up, and a report
// that cannot be written at the end of a test (its folder is a file). Each box must fit the
// screen and close with Enter or Esc; the program then ends (exit code 1) or goes on (the menu).
// The report's box asks first; Esc («Сохранить отдельно») puts the block and both record files
// whole in the home folder, and the message after it names them.
void MessageBoxes(const ScenarioOptions& options, const std::string& program);

// The first half of the above alone: the box for a missing bitmap, closed with Enter and with
// Esc, each time ending the program with exit code 1.
void MissingBitmap(const ScenarioOptions& options, const std::string& program);

// The program started with the pointer resting where no motion follows: over «Круговая» (the
// second button), which the first menu frame must show lit; and at (5, 5), the top-left corner,
// where the first frame lights no button and a click on it chooses nothing.
void PointerAtStart(const ScenarioOptions& options, const std::string& program);

// On X.Org's dummy driver: the first level of the linear test must last 20 s within 1 %, the
// display must run at `refresh_while_running` Hz meanwhile, and have its first mode back once
// the program has ended with Esc.
void LevelTiming(const ScenarioOptions& options, const std::string& program,
                 double refresh_while_running);

// The same display mode given back when SIGTERM, SIGINT or SIGHUP ends the program on the menu.
void ModeGivenBackOnSignals(const ScenarioOptions& options, const std::string& program,
                            double refresh_while_running);

// The display mode alone, the screen not looked at: the display at `refresh_while_running` Hz
// once the program has said how it paces, and its first mode back after Esc on the menu. For the
// Windows build under Wine, whose exclusive full screen shows the image otherwise than SDL on
// X11 does.
void ModeSwitchedAndGivenBack(const ScenarioOptions& options, const std::string& program,
                              double refresh_while_running);

}  // namespace e2e
