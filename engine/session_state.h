// The session record: everything the program knows about the test in progress, the screen
// geometry the frame loop computes for the scoring and the mouse, and the seams (random numbers,
// time of day, pointer, error messages) that tests replace. Plain C++: no SDL in here.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/test_constants.h"
#include "engine/timing_record.h"

namespace tavrik {

// The record keeps the original's word sizes: counters, codes and flags are 16-bit, measured
// sprite sizes and the screen centre are single precision, everything computed is double.
using Integer = std::int16_t;
using Single = float;

// Local calendar date and time of day, as the report and the reseeding read it.
struct LocalTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

struct SessionState;

// The examiner's answer when files of a finished test could not be written: try exactly those
// again, or write each of them whole to a new file of its own.
enum class SaveChoice { kRetry, kSaveSeparately };

// Everything the procedures need from outside the record. The defaults are the real ones;
// tests install fakes so that every level can be replayed exactly.
struct SessionServices {
  // Uniform random real in [0, 1).
  std::function<double()> Rnd;
  // Reseeds the generator from a time of day given as seconds since midnight.
  std::function<void(double seconds_since_midnight)> Randomize;
  // Current local date and time.
  std::function<LocalTime()> Now;
  // Shows (true) or hides (false) the system mouse pointer.
  std::function<void(bool visible)> ShowCursor;
  // Tells the examiner about a failure that the program survives (UTF-8 text).
  std::function<void(const std::string& message)> ShowError;
  // Asks the examiner what to do about files of a finished test that could not be written
  // (UTF-8 text); the program shows the two answers as buttons, «Повторить» on Return and
  // «Сохранить отдельно» on Esc. The results stay in memory while it waits.
  std::function<SaveChoice(const std::string& message)> AskSaveChoice;
  // Appends the finished test's results to its report file; called by StartLevel after the last
  // level, before the reset. Start-up wires the report writer in.
  std::function<void(SessionState& s)> WriteReport;
};

// The default services: a Mersenne Twister for Rnd/Randomize, the system clock for Now, stderr
// for ShowError, "save separately" for AskSaveChoice (nobody is there to retry), and a pointer
// switch that does nothing. WriteReport has no default: a test that
// ends without a writer wired in is a programming error and throws std::logic_error.
SessionServices DefaultServices();

// Seconds since local midnight, with the fraction, as the generator is reseeded from.
double SecondsSinceMidnight(const LocalTime& t);

// Screen phases (ScreenState) and menu levels (MenuLevel).
enum : Integer {
  kScreenMenu = -2,
  kScreenNameEntry = -1,
  kScreenWaiting = 0,
  kScreenRunning = 1,
};
enum : Integer {
  kMenuLevelMenu = -1,
  kMenuLevelName = 0,
  kMenuLevelTest = 1,
};

// Result cells are "1 " for a hit and "0 " otherwise; row 0 and column 0 are never used.
using ResultTable = std::array<std::array<std::string, 11>, 5>;

struct SessionState {
  SessionState();

  SessionServices services;

  // --- Session phase and identity.
  Integer ScreenState = 0;  // -2 menu, -1 name entry, 0 waiting for Space, 1 running
  Integer MenuLevel = 0;    // -1 menu, 0 name entry, 1 test under way
  Integer TestKind = 0;     // 1 circular, 2 linear, 3 flash; kept across tests
  // The subject's name as typed, in Windows-1251 bytes, outer blanks included.
  std::string SubjectName;
  // -1 while the frame loop runs; 0 ends the program after the current frame.
  Integer Running = 0;

  // --- Levels and cycles.
  Integer Level = 0;
  Integer LevelCount = 0;
  Integer Cycle = 0;
  Integer CyclesPerLevel = 0;
  Integer FlashesPerLevel = 0;

  // --- Stimulus.
  double Phase = 0;  // degrees (moving tests) or flash clock units (flash test)
  double Angle = 0;  // Phase in radians, computed with Pi below
  double Pi = 0;     // exactly 3.14 once a level is set up; it shapes the path
  double Speed = 0;  // Phase step per frame
  Integer Direction = 0;
  std::array<Integer, 21> DirectionTable{};  // entries 1..10 or 1..20 used
  Integer FlashOn = 0;
  Integer FlashNumber = 0;
  double FlashStart = 0;
  double FlashEnd = 0;
  Integer FlashDelayMin = 0;
  Integer FlashDelaySpread = 0;
  Integer FlashLengthMin = 0;
  Integer FlashLengthSpread = 0;

  // --- Responses and results.
  Integer LeftLatch = 0;
  Integer RightLatch = 0;
  Integer LeftKeyHeld = 0;
  Integer RightKeyHeld = 0;
  Integer LeftHitsLevel = 0;
  Integer RightHitsLevel = 0;
  Integer LeftHitsTotal = 0;
  Integer RightHitsTotal = 0;
  ResultTable LeftResults;
  ResultTable RightResults;
  // 1 once a frame of the current level has been drawn. A hand key handled in the same pump
  // as the key that set the level up would otherwise be judged against the ball of the screen
  // before (the previous level, or an abandoned test), and could score a pass never shown.
  Integer LevelFrameShown = 0;
  // Nanoseconds of the monotonic clock the frames are paced by (CLOCK_MONOTONIC on Linux), -1
  // while unknown. KeyDownNs: when the key being handled went down, taken as the platform
  // received it (set before KeyPress for a key press; -1 for typed text). FrameShownNs: when
  // the frame on the screen was handed to the display. Their difference places a press against
  // the frames the subject saw.
  std::int64_t KeyDownNs = -1;
  std::int64_t FrameShownNs = -1;
  // 1 while the key being handled is an auto-repeat of a key held down (set with KeyDownNs).
  Integer KeyRepeat = 0;
  // The running frames and hand-key presses of the test, for the record files; see
  // engine/timing_record.h. Cleared by ResetSession.
  TimingRecord Timing;
  Integer RowIndex = 0;  // shared loop counters of the form's procedures
  Integer ColIndex = 0;

  // The colour depth of the display the program asked for (16 Tavrik1, 32 Tavrik2), set at
  // start-up for the protocol's header; 0 while not known.
  Integer BitsPerPixel = 0;

  // --- Folders (UTF-8 paths ending in a separator).
  std::string GraphicsDir;
  std::string ReportDir;

  // --- Measured and derived sprite sizes, in pixels, single precision, possibly fractional.
  Single CursorHeight = 0, CursorWidth = 0;
  Single StripHeight = 0, StripWidth = 0;
  Single IndicatorHeight = 0, IndicatorCellWidth = 0;
  Single BallHeight = 0, BallWidth = 0;
  Single ButtonCellHeight = 0, ButtonCellWidth = 0;
  Single FrameHeight = 0, FrameCellWidth = 0;
  Single TextHeight = 0, TextWidth = 0, TextCellHeight = 0, TextCellWidth = 0;

  // --- Geometry fixed before the first frame.
  Single CenterX = 0, CenterY = 0;
  double TrackRadius = 0;

  // --- Geometry written by the frame loop for the frame on the screen.
  double TargetX = 0, TargetY = 0;
  double BallX = 0, BallY = 0;
  double LeftFrameX = 0, RightFrameX = 0;
  Integer IndicatorCell = 0;
  std::array<Single, 4> ButtonX{}, ButtonY{};  // index 1..3 used
  int PointerX = 0, PointerY = 0;

  // --- Mouse.
  std::array<Integer, 4> ButtonLit{};  // index 1..3 used
  Single MouseX = 0, MouseY = 0;

  // --- Scratch of the text renderer and the report writer.
  int TextCharIndex = 0;
  std::string ReportLine;
};

// The screen the record shows. Everything that asks which screen is up asks this.
enum class Screen {
  kMenu,       // MenuLevel -1
  kName,       // MenuLevel 0
  kReady,      // a level set up, waiting for Space
  kRunning,    // ScreenState 1
  kLevelDone,  // a level's cycles used up, a level left
  kTestDone,   // the last level's cycles used up: Space writes the report
};
Screen ShownScreen(const SessionState& s);

// Puts the session back into the menu with fresh results. Leaves TestKind, SubjectName, the
// geometry and the stimulus values other than FlashNumber and the flash timing alone.
void ResetSession(SessionState& s);

}  // namespace tavrik
