// A deterministic fuzz run of the keyboard and mouse handlers and the frame loop: more than a
// million random events (every character code, key releases, presses and moves of the mouse on
// the buttons, on the screen and far off it) with frames in between, on the fixture graphics in
// 16 bits and on the shipped ones in 32 bits. After every event and every frame the session must
// still be one the program can be in: a known screen, level and cycle in range, hit counters that
// agree with the result cells, untouched row and column 0, a name that changes only on the name
// screen, and no error shown (but the timing record's note that a test had more presses than it
// holds). Every completed test must have appended its block to the report,
// row for row. Esc on the menu ends the program; the run then starts a fresh one and goes on.
//
// The generator, the session's random numbers and its clock are all fixed, so a failure repeats
// exactly; the message gives the step and the last events before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "codepage/cp1251.h"
#include "input/hand_keys.h"
#include "input/handlers.h"
#include "shell/frame.h"
#include "shell_fixture.h"

namespace tavrik {
namespace {

using namespace testing;
namespace fs = std::filesystem;

// splitmix64: small, fast, and the same sequence on every platform and standard library.
class Dice {
 public:
  explicit Dice(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // 0 .. n-1.
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  bool OneIn(int n) { return Below(n) == 0; }
  // Uniform in [0, 1), 53 bits.
  double Real() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

 private:
  std::uint64_t state_;
};

enum class Kind { kKeyPress, kKeyUp, kMouseDown, kMouseMove, kFrame };

struct Step {
  Kind kind;
  int code = 0;  // character code, or key code of a release
  Single x = 0, y = 0;
};

std::string Describe(const Step& e) {
  std::ostringstream out;
  switch (e.kind) {
    case Kind::kKeyPress:
      out << "KeyPress " << e.code;
      break;
    case Kind::kKeyUp:
      out << "KeyUp " << e.code;
      break;
    case Kind::kMouseDown:
      out << "MouseDown " << e.x << "," << e.y;
      break;
    case Kind::kMouseMove:
      out << "MouseMove " << e.x << "," << e.y;
      break;
    case Kind::kFrame:
      out << "frame";
      break;
  }
  return out.str();
}

// What the run went through, printed at the end so that a change that makes the fuzzing miss
// whole paths (no test ever completed, no hit ever scored) shows.
struct Tally {
  long events = 0, frames = 0;
  long completed = 0, abandoned = 0, restarts = 0, levels_started = 0;
  long hits = 0, names_accepted = 0;
  long full_levels = 0;  // levels that ended with ten hits of a hand
  long record_full = 0;  // tests with more hand-key presses than the timing record holds
};

class FuzzRun {
 public:
  FuzzRun(const fs::path& base, int depth, std::uint64_t seed)
      : base_(base), depth_(depth), dice_(seed), session_dice_(seed ^ 0xA5A5A5A5ULL) {
    Start();
  }

  // Runs until `events` events have been handled; stops at the first broken rule, which it
  // reports through gtest.
  void Run(long events) {
    while (tally_.events < events && !::testing::Test::HasFatalFailure()) {
      Step step = Choose();
      Apply(step);
    }
  }

  const Tally& tally() const { return tally_; }

  // Every completed test appended one block of 16 lines; nothing else was written.
  long ReportLines() const {
    long lines = 0;
    for (const char* name : {"Круговая.txt", "Линейная.txt", "Вспышка.txt"}) {
      std::ifstream in(ReportPath(name), std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(in)), {});
      std::size_t at = 0;
      while ((at = text.find("\r\n", at)) != std::string::npos) {
        ++lines;
        at += 2;
      }
    }
    return lines;
  }

 private:
  SessionState& s() { return form_->s; }

  // A fresh program: a new form started on the same folder, with the fixed services.
  void Start() {
    form_ = std::make_unique<Form1>();
    cursor_shown_ = 0;
    SessionServices& sv = form_->s.services;
    sv.Rnd = [this]() { return session_dice_.Real(); };
    // Reseeding would make every level draw the same directions from the fixed clock; the
    // sequence goes on instead, still fixed by the seed.
    sv.Randomize = [](double) {};
    sv.Now = []() {
      LocalTime t;
      t.year = 2026, t.month = 12, t.day = 10, t.hour = 14, t.minute = 5, t.second = 9;
      return t;
    };
    sv.ShowCursor = [this](bool visible) { cursor_shown_ += visible ? 1 : 0; };
    sv.ShowError = [this](const std::string& message) {
      // Thousands of presses a test, as random events make, are more than the timing record
      // holds; saying so is the one message a completed test may bring.
      if (message.rfind("В запись времени не вошли ", 0) == 0 &&
          message.find('\n') == std::string::npos) {
        ++tally_.record_full;
        return;
      }
      errors_.push_back(message);
    };
    StartUp(*form_, base_.u8string(), depth_, DisplayTarget::kOffscreen);
  }

  fs::path ReportPath(const char* name) const {
    return base_ / fs::u8path("Отчет") / fs::u8path(name);
  }

  // A mouse position: on or about a button where the last menu frame put it (edges included),
  // anywhere on the screen, or far off it.
  void Position(Step& e) {
    const SessionState& st = form_->s;
    switch (dice_.Below(10)) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4: {
        const int k = 1 + dice_.Below(3);
        const double u = -0.1 + 1.2 * dice_.Real(), v = -0.2 + 1.4 * dice_.Real();
        e.x = static_cast<Single>(st.ButtonX[k] + u * st.ButtonCellWidth);
        e.y = static_cast<Single>(st.ButtonY[k] + v * st.ButtonCellHeight);
        if (dice_.OneIn(8)) e.x = st.ButtonX[k];  // exactly on the left edge: outside
        if (dice_.OneIn(8)) e.y = st.ButtonY[k] + st.ButtonCellHeight;
        break;
      }
      case 5:
      case 6:
      case 7:
        e.x = static_cast<Single>(dice_.Below(801));
        e.y = static_cast<Single>(dice_.Below(601));
        break;
      default: {
        static constexpr Single kFar[] = {-1e30f,
                                          -2147483648.f,
                                          -65536.f,
                                          -1.f,
                                          800.f,
                                          801.f,
                                          600.f,
                                          1e6f,
                                          2147483648.f,
                                          3.4e38f,
                                          -3.4e38f,
                                          0.f,
                                          -0.5f,
                                          799.9f,
                                          std::numeric_limits<Single>::infinity(),
                                          -std::numeric_limits<Single>::infinity()};
        constexpr int n = static_cast<int>(sizeof kFar / sizeof kFar[0]);
        e.x = dice_.OneIn(2) ? kFar[dice_.Below(n)] : static_cast<Single>(dice_.Below(801));
        e.y = dice_.OneIn(2) ? kFar[dice_.Below(n)] : static_cast<Single>(dice_.Below(601));
        break;
      }
    }
  }

  int CharacterCode() {
    const int r = dice_.Below(100);
    if (r < 18) return kCodeSpace;
    if (r < 27) return kCodeEnter;
    // Blind hand keys use up the hand's chance of the pass (a miss), so they must not come so
    // often that no pass is ever left for the aimed presses below.
    if (r < 35)
      return dice_.OneIn(2) ? kLeftHandKey.codes[dice_.Below(4)]
                            : kRightHandKey.codes[dice_.Below(4)];
    if (r < 60) return 192 + dice_.Below(64);  // А..я
    if (r < 67) return kCodeBackspace;
    // Any code at all; Esc comes only at its own odds (see Choose).
    const int code = dice_.Below(256);
    return code == kCodeEsc ? kCodeSpace : code;
  }

  static bool IsHandKey(int code) {
    return IsHandCode(kLeftHandKey, code) || IsHandCode(kRightHandKey, code);
  }

  Step Choose() {
    Step e{Kind::kKeyPress};
    const SessionState& st = form_->s;
    // Esc is rare inside a test, so that most tests run to their report; on the menu it comes
    // often enough that the program is ended and started afresh several times per run.
    const int esc_odds = st.MenuLevel == kMenuLevelMenu ? 150 : 40000;
    if (dice_.OneIn(esc_odds)) {
      e.code = kCodeEsc;
      return e;
    }
    // Now and then the hand key of the frame the ball stands in, as a subject would press it,
    // so that levels fill up with hits; blind presses alone seldom score.
    if (st.ScreenState == kScreenRunning && dice_.OneIn(4)) {
      if (st.BallX <= st.LeftFrameX + st.FrameCellWidth) {
        e.code = kLeftHandKey.codes[dice_.Below(4)];
        return e;
      }
      if (st.BallX >= st.RightFrameX - st.FrameCellWidth) {
        e.code = kRightHandKey.codes[dice_.Below(4)];
        return e;
      }
    }
    // Frames: about one per five events, more while a level runs, so that levels end.
    const int frame_percent = st.ScreenState == kScreenRunning ? 22 : 12;
    if (dice_.Below(100) < frame_percent) {
      e.kind = Kind::kFrame;
      return e;
    }
    const int r = dice_.Below(100);
    if (r < 62) {
      e.code = CharacterCode();
      // A careful subject presses a hand key only when aiming (above): such levels reach the
      // full ten hits.
      if (careful_ && st.ScreenState == kScreenRunning && IsHandKey(e.code)) e.code = 'x';
    } else if (r < 74) {
      e.kind = Kind::kKeyUp;
      e.code = dice_.OneIn(10) ? 0 : 1 + dice_.Below(0x40000200);
    } else if (r < 86) {
      e.kind = Kind::kMouseMove;
      Position(e);
    } else {
      e.kind = Kind::kMouseDown;
      e.code = dice_.Below(8);
      Position(e);
    }
    return e;
  }

  // The values a step may change, for the checks of what changed.
  struct Before {
    Integer screen, menu, level, cycle;
    Integer left_total, right_total;
    std::string name;
    Integer kind;
  };

  void Apply(const Step& e) {
    recent_[recent_next_++ % recent_.size()] = e;
    const SessionState& st = form_->s;
    const Before b{st.ScreenState,   st.MenuLevel,      st.Level,       st.Cycle,
                   st.LeftHitsTotal, st.RightHitsTotal, st.SubjectName, st.TestKind};
    const bool completes = e.kind == Kind::kKeyPress && e.code == kCodeSpace &&
                           st.ScreenState == kScreenWaiting && st.Level == st.LevelCount &&
                           st.Cycle > st.CyclesPerLevel;
    if (completes) {
      // The results as the report must show them; the reset clears them.
      left_before_ = st.LeftResults;
      right_before_ = st.RightResults;
    }
    switch (e.kind) {
      case Kind::kKeyPress:
        KeyPress(s(), e.code);
        break;
      case Kind::kKeyUp:
        KeyUp(s(), e.code, 0);
        break;
      case Kind::kMouseDown:
        MouseDown(s(), e.code, 0, e.x, e.y);
        break;
      case Kind::kMouseMove:
        MouseMove(s(), 0, 0, e.x, e.y);
        break;
      case Kind::kFrame:
        ComposeFrame(*form_);
        break;
    }
    if (e.kind == Kind::kFrame) {
      ++tally_.frames;
      frame_since_set_up_ = true;
    } else {
      ++tally_.events;
    }
    CheckStep(e, b, completes);
    if (::testing::Test::HasFatalFailure()) return;
    CheckSession(e);
    if (::testing::Test::HasFatalFailure()) return;

    if (form_->s.Running == 0) {
      // The program ends after this frame; a new one starts on the same folder.
      ComposeFrame(*form_);
      ++tally_.restarts;
      Start();
      CheckSession(e);
    }
  }

  std::string Recent() const {
    std::string text;
    const std::size_t n = std::min(recent_next_, recent_.size());
    for (std::size_t i = recent_next_ - n; i < recent_next_; ++i) {
      text += "\n  " + Describe(recent_[i % recent_.size()]);
    }
    return text;
  }

  // What may change in one step, given the state before it.
  void CheckStep(const Step& e, const Before& b, bool completes) {
    const SessionState& st = form_->s;
    const bool key = e.kind == Kind::kKeyPress;
    // The name changes only by a key on the name screen, by one character at a time.
    if (st.SubjectName != b.name) {
      ASSERT_TRUE(key && b.screen == kScreenNameEntry && st.ScreenState == kScreenNameEntry)
          << Where(e) << "the name changed off the name screen";
      if (st.SubjectName.size() > b.name.size()) {
        ASSERT_EQ(st.SubjectName, b.name + static_cast<char>(e.code)) << Where(e);
        ASSERT_TRUE(e.code == kCodeSpace || e.code >= 192) << Where(e);
      } else {
        ASSERT_EQ(e.code, kCodeBackspace) << Where(e);
        ASSERT_EQ(st.SubjectName, b.name.substr(0, b.name.size() - 1)) << Where(e);
      }
    }
    // Hits come one at a time, from a hand key while the level runs; frames never score.
    const int gained = (st.LeftHitsTotal - b.left_total) + (st.RightHitsTotal - b.right_total);
    if (st.MenuLevel == kMenuLevelTest && b.menu == kMenuLevelTest && st.Level == b.level) {
      ASSERT_GE(gained, 0) << Where(e) << "hits went down within a level";
      ASSERT_LE(gained, 1) << Where(e);
      if (gained == 1) {
        ASSERT_TRUE(key && b.screen == kScreenRunning) << Where(e) << "a hit off a running level";
        // The ball a key is judged against must be one the subject has seen in this level.
        ASSERT_TRUE(frame_since_set_up_) << Where(e) << "a hit before the level was shown";
        const bool left = st.LeftHitsTotal > b.left_total;
        ASSERT_TRUE(IsHandCode(left ? kLeftHandKey : kRightHandKey, e.code))
            << Where(e) << "a hit for the other hand's key";
        ++tally_.hits;
      }
    }
    // Levels and whole tests move on only by keys.
    if (st.Level != b.level) {
      ASSERT_TRUE(key) << Where(e) << "the level changed by a " << Describe(e);
      if (st.Level == b.level + 1) ++tally_.levels_started;
      careful_ = dice_.OneIn(2);
      frame_since_set_up_ = false;
      if (b.level == 0 && st.Level == 1) ++tally_.names_accepted;
    }
    if (e.kind == Kind::kFrame && b.screen == kScreenRunning && st.ScreenState == kScreenWaiting) {
      tally_.full_levels += (st.LeftHitsLevel == 10) + (st.RightHitsLevel == 10);
    }
    if (completes) {
      ASSERT_EQ(st.ScreenState, kScreenMenu) << Where(e) << "the last level's Space";
      ++tally_.completed;
      CheckReportBlock(b);
    } else if (key && e.code == kCodeEsc && b.menu != kMenuLevelMenu) {
      ASSERT_EQ(st.ScreenState, kScreenMenu) << Where(e);
      ++tally_.abandoned;
    } else if (st.ScreenState == kScreenMenu && b.screen != kScreenMenu) {
      FAIL() << Where(e) << "back on the menu without Esc or a completed test";
    }
    if (st.Running == 0) {
      ASSERT_TRUE(key && e.code == kCodeEsc && b.menu == kMenuLevelMenu)
          << Where(e) << "the program ended other than by Esc on the menu";
      ASSERT_EQ(cursor_shown_, 1) << Where(e) << "the system pointer was not shown again";
    } else {
      ASSERT_EQ(cursor_shown_, 0) << Where(e);
    }
  }

  // The block that the completing Space appended: the name, the fixed clock, and the rows of
  // both hands exactly as the results stood before it.
  void CheckReportBlock(const Before& b) {
    const char* file = b.kind == kTestCircular ? "Круговая.txt"
                       : b.kind == kTestLinear ? "Линейная.txt"
                                               : "Вспышка.txt";
    std::ifstream in(ReportPath(file), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::string> lines;
    std::size_t at = 0, next;
    while ((next = text.find("\r\n", at)) != std::string::npos) {
      lines.push_back(text.substr(at, next - at));
      at = next + 2;
    }
    ASSERT_EQ(at, text.size()) << file << ": the file does not end in CR LF";
    ASSERT_GE(lines.size(), 16u) << file;
    const auto block = lines.end() - 16;
    EXPECT_EQ(block[0], Utf8ToCp1251("Испытуемый: ") + b.name) << file;
    EXPECT_EQ(block[1], Utf8ToCp1251("Дата и время: 10.12.2026 14:05:09")) << file;
    for (int level = 1; level <= 4; ++level) {
      std::string left = Utf8ToCp1251("Испытание № ") + std::to_string(level) + "    ";
      std::string right = left;
      for (int cycle = 1; cycle <= 10; ++cycle) {
        left += "," + left_before_[level][cycle];
        right += "," + right_before_[level][cycle];
      }
      EXPECT_EQ(block[3 + level], left) << file << " left, level " << level;
      EXPECT_EQ(block[9 + level], right) << file << " right, level " << level;
    }
  }

  std::string Where(const Step& e) const {
    std::ostringstream out;
    const SessionState& st = form_->s;
    out << "after " << Describe(e) << " (event " << tally_.events << ", frame " << tally_.frames
        << "), last steps:" << Recent() << "\nsession: state (" << st.ScreenState << ", "
        << st.MenuLevel << "), test " << st.TestKind << ", level " << st.Level << ", cycle "
        << st.Cycle << ", phase " << st.Phase << ", direction " << st.Direction << ", flash "
        << st.FlashNumber << " on " << st.FlashOn << ", latches " << st.LeftLatch << "/"
        << st.RightLatch << ", hits " << st.LeftHitsLevel << "/" << st.RightHitsLevel << " of "
        << st.LeftHitsTotal << "/" << st.RightHitsTotal << ", ball x " << st.BallX << "\n";
    return out.str();
  }

  // The rules every state of the session keeps.
  void CheckSession(const Step& e) {
    const SessionState& st = form_->s;
    ASSERT_TRUE(errors_.empty()) << Where(e) << "error shown: " << errors_.front();
    const int screen = st.ScreenState, menu = st.MenuLevel;
    ASSERT_TRUE((screen == -2 && menu == -1) || (screen == -1 && menu == 0) ||
                (screen == 0 && menu == 1) || (screen == 1 && menu == 1))
        << Where(e) << "state (" << screen << ", " << menu << ")";
    ASSERT_TRUE(st.Level >= 0 && st.Level <= 4) << Where(e) << "Level " << st.Level;
    ASSERT_TRUE(st.Cycle >= 0 && st.Cycle <= 11) << Where(e) << "Cycle " << st.Cycle;
    if (screen == kScreenMenu) {
      ASSERT_EQ(st.Level, 0) << Where(e);
      ASSERT_EQ(st.Cycle, 0) << Where(e);
    }
    if (menu == kMenuLevelTest) {
      ASSERT_GE(st.Level, 1) << Where(e);
      ASSERT_GE(st.Cycle, 1) << Where(e);
      ASSERT_TRUE(st.TestKind >= 1 && st.TestKind <= 3) << Where(e);
    }
    if (screen == kScreenRunning) {
      ASSERT_LE(st.Cycle, st.CyclesPerLevel) << Where(e) << "running past the last cycle";
      ASSERT_TRUE(st.Direction == 1 || st.Direction == -1) << Where(e);
    }
    ASSERT_TRUE(st.LeftHitsLevel >= 0 && st.LeftHitsLevel <= 10) << Where(e);
    ASSERT_TRUE(st.RightHitsLevel >= 0 && st.RightHitsLevel <= 10) << Where(e);
    ASSERT_TRUE(st.LeftHitsTotal >= 0 && st.LeftHitsTotal <= 40) << Where(e);
    ASSERT_TRUE(st.RightHitsTotal >= 0 && st.RightHitsTotal <= 40) << Where(e);
    ASSERT_LE(st.FlashNumber, 21) << Where(e);
    ASSERT_TRUE(st.LeftKeyHeld == 0 || st.LeftKeyHeld == 1) << Where(e);
    ASSERT_TRUE(st.RightKeyHeld == 0 || st.RightKeyHeld == 1) << Where(e);
    ASSERT_TRUE(st.LeftLatch == 0 || st.LeftLatch == 1) << Where(e);
    ASSERT_TRUE(st.RightLatch == 0 || st.RightLatch == 1) << Where(e);
    ASSERT_TRUE(st.FlashOn == 0 || st.FlashOn == 1) << Where(e);
    if (e.kind == Kind::kFrame && menu == kMenuLevelMenu) {
      // The pointer sprite stays wholly on the screen wherever the mouse was reported.
      ASSERT_TRUE(st.PointerX >= 0 && static_cast<Single>(st.PointerX) + st.CursorWidth <= 800 &&
                  st.PointerY >= 0 && static_cast<Single>(st.PointerY) + st.CursorHeight <= 600)
          << Where(e) << "pointer at " << st.PointerX << "," << st.PointerY;
    }
    if (menu == kMenuLevelTest && st.TestKind != kTestFlash) {
      ASSERT_TRUE(st.Phase > -360 && st.Phase < 360) << Where(e) << "Phase " << st.Phase;
    }
    CheckResults(e, st.LeftResults, st.LeftHitsLevel, st.LeftHitsTotal, "left");
    CheckResults(e, st.RightResults, st.RightHitsLevel, st.RightHitsTotal, "right");
  }

  void CheckResults(const Step& e, const ResultTable& results, Integer hits_level,
                    Integer hits_total, const char* hand) {
    const SessionState& st = form_->s;
    int ones = 0, ones_in_level = 0;
    for (int level = 0; level <= 4; ++level) {
      for (int cycle = 0; cycle <= 10; ++cycle) {
        const std::string& cell = results[level][cycle];
        if (level == 0 || cycle == 0) {
          ASSERT_TRUE(cell.empty()) << Where(e) << hand << " cell " << level << "," << cycle;
          continue;
        }
        ASSERT_TRUE(cell == "0 " || cell == "1 ")
            << Where(e) << hand << " cell " << level << "," << cycle << " is \"" << cell << "\"";
        if (cell == "1 ") {
          ++ones;
          if (level == st.Level) ++ones_in_level;
        }
      }
    }
    ASSERT_EQ(ones, hits_total) << Where(e) << hand << " hits against their cells";
    if (st.MenuLevel == kMenuLevelTest) {
      ASSERT_EQ(ones_in_level, hits_level) << Where(e) << hand << " hits of level " << st.Level;
    }
  }

  fs::path base_;
  int depth_;
  Dice dice_;
  Dice session_dice_;
  std::unique_ptr<Form1> form_;
  ResultTable left_before_, right_before_;
  int cursor_shown_ = 0;
  bool careful_ = false;             // chosen afresh for every level
  bool frame_since_set_up_ = false;  // a frame has shown the level last set up
  std::vector<std::string> errors_;
  Tally tally_;
  std::array<Step, 24> recent_{};
  std::size_t recent_next_ = 0;
};

void PrintTally(const char* what, const Tally& t, long report_lines) {
  std::printf(
      "%s: %ld events, %ld frames; %ld names accepted, %ld levels started, %ld tests completed, "
      "%ld abandoned, %ld program restarts, %ld hits, %ld hands with all ten; %ld report lines; "
      "%ld tests with more presses than the timing record holds\n",
      what, t.events, t.frames, t.names_accepted, t.levels_started, t.completed, t.abandoned,
      t.restarts, t.hits, t.full_levels, report_lines, t.record_full);
}

// Half of the million-plus events on each depth.
constexpr long kEventsPerRun = 520000;

void ExpectCoverage(const Tally& t, long report_lines) {
  // Not a quota: a run that never reaches these paths would test much less than it claims.
  EXPECT_GT(t.completed, 0);
  EXPECT_GT(t.abandoned, 0);
  EXPECT_GT(t.restarts, 0);
  EXPECT_GT(t.hits, 0);
  EXPECT_EQ(report_lines, 16 * t.completed);
}

TEST(FuzzTest, FixtureGraphicsAt16Bits) {
  StartFolder folder;
  WriteFixtureGraphics(folder.graphics());
  FuzzRun run(folder.path(), 16, 20261210);
  run.Run(kEventsPerRun);
  if (HasFatalFailure()) return;
  const long lines = run.ReportLines();
  PrintTally("16 bits, fixture graphics", run.tally(), lines);
  ExpectCoverage(run.tally(), lines);
}

TEST(FuzzTest, ShippedGraphicsAt32Bits) {
  StartFolder folder;
  fs::copy(fs::u8path(TAVRIK_SOURCE_DIR "/assets/Графика"), folder.graphics());
  FuzzRun run(folder.path(), 32, 1409);
  run.Run(kEventsPerRun);
  if (HasFatalFailure()) return;
  const long lines = run.ReportLines();
  PrintTally("32 bits, shipped graphics", run.tally(), lines);
  ExpectCoverage(run.tally(), lines);
}

// Faults the fuzz run found, each reduced to its shortest road. Both came from one gap: the
// scoring judges a hand key against the ball of the frame last composed, and right after a level
// is set up that frame belonged to the level or the test before.
class FuzzFindings : public FormTest {
 protected:
  void SetUp() override {
    StartForm();
    SessionServices& sv = form.s.services;
    sv.Rnd = [this]() { return dice.Real(); };
    sv.Randomize = [](double) {};
    sv.ShowError = [this](const std::string& message) { errors.push_back(message); };
  }
  void Choose(int button) {
    SessionState& s = form.s;
    ComposeFrame(form);  // the menu places its buttons
    MouseDown(s, 1, 0, s.ButtonX[button] + s.ButtonCellWidth / 2,
              s.ButtonY[button] + s.ButtonCellHeight / 2);
    ASSERT_EQ(s.ScreenState, kScreenNameEntry);
    if (s.SubjectName.empty()) KeyPress(s, 0xC0);
    KeyPress(s, kCodeEnter);
    ASSERT_EQ(s.ScreenState, kScreenWaiting);
  }
  int OnesInLevel(const ResultTable& results) const {
    int ones = 0;
    for (int cycle = 1; cycle <= 10; ++cycle) ones += results[form.s.Level][cycle] == "1 ";
    return ones;
  }

  Dice dice{7};
  std::vector<std::string> errors;
};

// The last frame of a flash level shows its last flash. Space starts the next level at once;
// a hand key of that flash's side in the same event pump must not score for the new level's
// first flash, which has not been shown, nor end it unseen.
TEST_F(FuzzFindings, AHandKeyInTheSamePumpAsTheSpaceOfTheNextLevelScoresNothing) {
  SessionState& s = form.s;
  Choose(3);
  ComposeFrame(form);
  KeyPress(s, kCodeSpace);
  for (int i = 0; i < 100000 && s.ScreenState == kScreenRunning; ++i) ComposeFrame(form);
  ASSERT_EQ(s.Level, 1);
  ASSERT_GT(s.Cycle, s.CyclesPerLevel);
  const double centre = s.CenterX - s.BallWidth / 2.0;
  ASSERT_NE(s.BallX, centre) << "the last frame shows the last flash";
  KeyPress(s, kCodeSpace);
  ASSERT_EQ(s.Level, 2);
  KeyPress(s, s.BallX < centre ? kLeftHandKey.code : kRightHandKey.code);
  EXPECT_EQ(s.LeftHitsLevel + s.RightHitsLevel, 0) << "a hit before any flash of level 2 was shown";
  EXPECT_TRUE(errors.empty());
}

// A linear test abandoned while the ball stands in the right frame. The next test's level must
// start with the ball at the start of its path, not where the old test left it: otherwise a
// right-hand key there scores, and when the first cycle runs to the left first the right latch
// opens again and the real pass scores once more: two hits for one cycle, one cell of the report.
TEST_F(FuzzFindings, ANewTestStartsWithTheBallAtTheStartOfItsPath) {
  SessionState& s = form.s;
  Choose(1);
  ComposeFrame(form);
  KeyPress(s, kCodeSpace);
  for (int i = 0; i < 1000 && s.BallX < s.RightFrameX - s.FrameCellWidth; ++i) ComposeFrame(form);
  ASSERT_GE(s.BallX, s.RightFrameX - s.FrameCellWidth);
  KeyPress(s, kCodeEsc);
  ASSERT_EQ(s.ScreenState, kScreenMenu);

  Choose(1);
  s.DirectionTable[1] = -1;  // the first cycle runs to the left first
  s.Direction = -1;
  ComposeFrame(form);  // the ready screen
  EXPECT_DOUBLE_EQ(s.BallX, s.CenterX - s.BallWidth / 2.0) << "the ball of the abandoned test";

  KeyPress(s, kCodeSpace);
  ComposeFrame(form);
  KeyPress(s, kRightHandKey.code);  // the ball has not left the centre
  KeyUp(s, kRightHandKey.code, 0);
  for (int i = 0; i < 1000 && s.Cycle == 1; ++i) {
    ComposeFrame(form);
    if (s.Cycle == 1 && s.BallX >= s.RightFrameX - s.FrameCellWidth) {
      KeyPress(s, kRightHandKey.code);
      KeyUp(s, kRightHandKey.code, 0);
    }
  }
  EXPECT_EQ(s.RightHitsLevel, OnesInLevel(s.RightResults)) << "hits counted against cells";
  EXPECT_LE(s.RightHitsLevel, 1) << "more than one right-hand hit in cycle 1";
  EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace tavrik
