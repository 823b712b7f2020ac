// The keyboard and mouse handlers driven directly: the order in which a typed character is
// taken (command keys, then the name, then the hand keys), the screen changes they make, the
// held flags, and the menu's hit test. Services are faked and the report goes to a scratch
// folder, so a whole test can be run through from the keyboard.
#include "input/handlers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codepage/cp1251.h"
#include "input/hand_keys.h"
#include "report/report.h"
#include "testkit/fake_services.h"
#include "testkit/folders.h"

namespace tavrik {
namespace {

using testkit::FakeServices;
using testkit::InstallFakes;
using testkit::ScratchDir;

const char* Name(Screen screen) {
  switch (screen) {
    case Screen::kMenu:
      return "menu";
    case Screen::kName:
      return "name entry";
    case Screen::kReady:
      return "ready";
    case Screen::kRunning:
      return "running";
    case Screen::kLevelDone:
      return "level done";
    case Screen::kTestDone:
      return "test done";
  }
  return "?";
}

enum class Hand { kLeft, kRight };

const char* Name(Hand hand) {
  return hand == Hand::kLeft ? "left" : "right";
}

// Menu buttons of a 300 by 150 buttons bitmap: cells 150 by 50 at x 325..475, at y 200..250,
// 260..310 and 320..370, with 10-pixel gaps between them.
constexpr Single kButtonLeft = 325;
constexpr Single kButtonWidth = 150;
constexpr Single kButtonHeight = 50;
constexpr Single ButtonTop(int k) {
  return 200 + static_cast<Single>(k - 1) * (kButtonHeight + 10);
}
constexpr Single ButtonMidX() {
  return kButtonLeft + kButtonWidth / 2;
}
constexpr Single ButtonMidY(int k) {
  return ButtonTop(k) + kButtonHeight / 2;
}

class InputHandlersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes = InstallFakes(s);
    s.services.ShowCursor = [this](bool visible) { cursor_calls.push_back(visible); };
    s.services.WriteReport = [](SessionState& session) { WriteReport(session); };
    s.ReportDir = scratch.str();
    s.Running = -1;
    ResetSession(s);

    s.ButtonCellWidth = kButtonWidth;
    s.ButtonCellHeight = kButtonHeight;
    for (int k = 1; k <= 3; ++k) {
      s.ButtonX[k] = kButtonLeft;
      s.ButtonY[k] = ButtonTop(k);
    }
    // Frames at x 100..150 and 650..700 about the centre line y = 300.
    s.CenterX = 400;
    s.CenterY = 300;
    s.FrameCellWidth = 50;
    s.FrameHeight = 50;
    s.BallHeight = s.BallWidth = 20;
    s.LeftFrameX = 100;
    s.RightFrameX = 700;
    BallAway();
  }

  void Type(const std::string& cp1251) {
    for (const char c : cp1251) KeyPress(s, static_cast<unsigned char>(c));
  }
  void Click(int k) { MouseDown(s, 1, 0, ButtonMidX(), ButtonMidY(k)); }

  void BallIn(Hand hand) {
    s.BallX = hand == Hand::kLeft ? s.LeftFrameX : s.RightFrameX;
    s.BallY = s.CenterY;
  }
  void BallAway() {
    s.BallX = s.CenterX;
    s.BallY = s.CenterY;
  }

  // The frame loop's part at the end of a level's tenth cycle.
  void FinishLevel() {
    s.Cycle = static_cast<Integer>(s.CyclesPerLevel + 1);
    s.ScreenState = kScreenWaiting;
  }

  // Brings the session from the menu to `screen` the way a subject would (level 1 of the
  // linear test, the name typed afresh), the frame loop's end of a level aside.
  void Reach(Screen screen, const std::string& name = Utf8ToCp1251("Иван")) {
    if (screen == Screen::kMenu) return;
    Click(1);
    s.SubjectName.clear();
    Type(name);
    if (screen == Screen::kName) return;
    KeyPress(s, kCodeEnter);
    s.LevelFrameShown = 1;  // the frame loop draws the ready screen
    if (screen == Screen::kReady) return;
    KeyPress(s, kCodeSpace);
    if (screen == Screen::kRunning) return;
    FinishLevel();
  }

  std::filesystem::path ReportPath(Integer kind) const {
    return std::filesystem::u8path(scratch.str() + ReportFileName(kind));
  }

  ScratchDir scratch;
  SessionState s;
  std::shared_ptr<FakeServices> fakes;
  std::vector<bool> cursor_calls;
};

// --- Command keys -------------------------------------------------------------------------

TEST_F(InputHandlersTest, KeyDownChangesNothingOnAnyScreen) {
  for (const Screen screen : {Screen::kName, Screen::kReady, Screen::kRunning}) {
    SCOPED_TRACE(Name(screen));
    ResetSession(s);
    Reach(screen);
    const SessionState before = s;
    for (const int key : {13, 27, 32, 8, 81, 219, 0x400000E1}) KeyDown(s, key, 1);
    EXPECT_EQ(before.ScreenState, s.ScreenState);
    EXPECT_EQ(before.MenuLevel, s.MenuLevel);
    EXPECT_EQ(before.Level, s.Level);
    EXPECT_EQ(before.SubjectName, s.SubjectName);
    EXPECT_EQ(before.LeftKeyHeld, s.LeftKeyHeld);
    EXPECT_EQ(before.RightKeyHeld, s.RightKeyHeld);
    EXPECT_EQ(before.LeftLatch, s.LeftLatch);
    EXPECT_EQ(-1, s.Running);
  }
}

TEST_F(InputHandlersTest, EnterAcceptsOnlyANonBlankNameAtLevelZero) {
  struct Case {
    const char* what;
    Screen screen;
    std::string name;  // UTF-8
    Integer level;     // forced before Enter, as a test left on the name screen would hold
    bool accepted;
  };
  const Case cases[] = {
      {"empty name", Screen::kName, "", 0, false},
      {"one blank", Screen::kName, " ", 0, false},
      {"blanks only", Screen::kName, "    ", 0, false},
      {"plain name", Screen::kName, "Иван", 0, true},
      {"one letter", Screen::kName, "я", 0, true},
      {"outer blanks kept", Screen::kName, "  Иван Петров ", 0, true},
      {"level above 0", Screen::kName, "Иван", 2, false},
      {"ready screen", Screen::kReady, "Иван", -1, false},
      {"running", Screen::kRunning, "Иван", -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetSession(s);
    Reach(c.screen, Utf8ToCp1251(c.name));
    if (c.level >= 0) s.Level = c.level;
    const Integer screen_before = s.ScreenState;
    const Integer menu_before = s.MenuLevel;
    const Integer level_before = s.Level;

    KeyPress(s, kCodeEnter);

    EXPECT_EQ(Utf8ToCp1251(c.name), s.SubjectName) << "Enter is never part of the name";
    if (c.accepted) {
      EXPECT_EQ(kMenuLevelTest, s.MenuLevel);
      EXPECT_EQ(kScreenWaiting, s.ScreenState);
      EXPECT_EQ(1, s.Level);
      EXPECT_EQ(1, s.Cycle);
      EXPECT_EQ(3.0, s.Speed) << "linear level 1";
    } else {
      EXPECT_EQ(menu_before, s.MenuLevel);
      EXPECT_EQ(screen_before, s.ScreenState);
      EXPECT_EQ(level_before, s.Level);
    }
  }
}

TEST_F(InputHandlersTest, EnterOnTheMenuDoesNothing) {
  s.SubjectName = Utf8ToCp1251("Иван");  // left over from an earlier test
  KeyPress(s, kCodeEnter);
  EXPECT_EQ(kScreenMenu, s.ScreenState);
  EXPECT_EQ(kMenuLevelMenu, s.MenuLevel);
  EXPECT_EQ(0, s.Level);
}

TEST_F(InputHandlersTest, EscOnTheMenuStopsTheProgramAndShowsThePointer) {
  KeyPress(s, kCodeEsc);
  EXPECT_EQ(0, s.Running);
  ASSERT_EQ(1u, cursor_calls.size()) << "ShowCursor calls";
  EXPECT_TRUE(cursor_calls[0]) << "the pointer is shown, not hidden";
  EXPECT_EQ(kScreenMenu, s.ScreenState);
  EXPECT_EQ(kMenuLevelMenu, s.MenuLevel);
}

TEST_F(InputHandlersTest, EscElsewhereAbandonsTheTestWithoutAReport) {
  for (const Screen screen :
       {Screen::kName, Screen::kReady, Screen::kRunning, Screen::kLevelDone}) {
    SCOPED_TRACE(Name(screen));
    ResetSession(s);
    Reach(screen);
    // Something to throw away: a hit in this level and a held key.
    s.LeftResults[1][1] = "1 ";
    s.RightResults[1][2] = "1 ";
    s.LeftHitsLevel = s.LeftHitsTotal = 1;
    s.RightHitsLevel = s.RightHitsTotal = 1;
    s.LeftKeyHeld = 1;

    KeyPress(s, kCodeEsc);

    EXPECT_EQ(-1, s.Running) << "only Esc on the menu ends the program";
    EXPECT_TRUE(cursor_calls.empty()) << "ShowCursor called " << cursor_calls.size() << " times";
    EXPECT_EQ(kScreenMenu, s.ScreenState);
    EXPECT_EQ(kMenuLevelMenu, s.MenuLevel);
    EXPECT_EQ(0, s.Level);
    EXPECT_EQ(0, s.Cycle);
    EXPECT_EQ(0, s.LeftHitsTotal);
    EXPECT_EQ(0, s.RightHitsTotal);
    EXPECT_EQ(0, s.LeftKeyHeld);
    EXPECT_EQ("0 ", s.LeftResults[1][1]);
    EXPECT_EQ("0 ", s.RightResults[1][2]);
    EXPECT_EQ(Utf8ToCp1251("Иван"), s.SubjectName) << "the name is offered again";
    EXPECT_EQ(kTestLinear, s.TestKind);
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path())) << "a report was written";
  }
}

TEST_F(InputHandlersTest, SpaceStartsTheCyclesOnlyWhileALevelWaits) {
  struct Case {
    const char* what;
    Screen screen;
    Integer cycle;  // forced before Space; 0 keeps what the screen has
    Integer screen_after;
    Integer level_after;
  };
  const Case cases[] = {
      {"ready", Screen::kReady, 0, kScreenRunning, 1},
      {"running", Screen::kRunning, 0, kScreenRunning, 1},
      {"running, last cycle", Screen::kRunning, 10, kScreenRunning, 1},
      // Waiting with Cycle = CyclesPerLevel is neither ready nor done.
      {"waiting at cycle 10", Screen::kReady, 10, kScreenWaiting, 1},
      {"level done", Screen::kLevelDone, 0, kScreenRunning, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetSession(s);
    Reach(c.screen);
    if (c.cycle != 0) s.Cycle = c.cycle;
    const std::string name = s.SubjectName;

    KeyPress(s, kCodeSpace);

    EXPECT_EQ(c.screen_after, s.ScreenState);
    EXPECT_EQ(kMenuLevelTest, s.MenuLevel);
    EXPECT_EQ(c.level_after, s.Level);
    EXPECT_EQ(name, s.SubjectName) << "a blank joins the name only on the name screen";
  }
}

TEST_F(InputHandlersTest, SpaceAfterALevelStartsTheNextAtOnce) {
  Reach(Screen::kLevelDone);
  s.LeftHitsLevel = 4;
  s.LeftHitsTotal = 4;
  s.LeftKeyHeld = 1;
  s.RightKeyHeld = 1;

  KeyPress(s, kCodeSpace);

  EXPECT_EQ(kScreenRunning, s.ScreenState);
  EXPECT_EQ(2, s.Level);
  EXPECT_EQ(1, s.Cycle);
  EXPECT_EQ(4.0, s.Speed) << "linear level 2";
  EXPECT_EQ(0, s.LeftHitsLevel);
  EXPECT_EQ(4, s.LeftHitsTotal) << "the totals carry over";
  EXPECT_EQ(0, s.LeftKeyHeld);
  EXPECT_EQ(0, s.RightKeyHeld);
}

TEST_F(InputHandlersTest, AWholeTestFromTheKeyboardEndsWithTheReportAndTheMenu) {
  const std::string name = Utf8ToCp1251(" Иван ");
  Reach(Screen::kReady, name);
  const double speeds[] = {3, 4, 5, 6};
  for (int level = 1; level <= 4; ++level) {
    SCOPED_TRACE("level " + std::to_string(level));
    if (level == 1) KeyPress(s, kCodeSpace);
    EXPECT_EQ(kScreenRunning, s.ScreenState);
    EXPECT_EQ(level, s.Level);
    EXPECT_EQ(speeds[level - 1], s.Speed);
    s.RightResults[level][level] = "1 ";  // a hit per level, for the report
    FinishLevel();
    s.LeftKeyHeld = 1;  // a hand key still down when the level ends
    KeyPress(s, kCodeSpace);
  }

  EXPECT_EQ(kScreenMenu, s.ScreenState);
  EXPECT_EQ(kMenuLevelMenu, s.MenuLevel);
  EXPECT_EQ(0, s.Level);
  EXPECT_EQ(0, s.LeftKeyHeld);
  EXPECT_EQ(0, s.RightKeyHeld);
  EXPECT_EQ(-1, s.Running);
  EXPECT_EQ("0 ", s.RightResults[4][4]);
  EXPECT_EQ(name, s.SubjectName);
  EXPECT_TRUE(fakes->errors.empty()) << (fakes->errors.empty() ? "" : fakes->errors[0]);

  std::ifstream in(ReportPath(kTestLinear), std::ios::binary);
  ASSERT_TRUE(in) << "no report at " << ReportPath(kTestLinear);
  const std::string report{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_NE(std::string::npos, report.find(name)) << "the name with its blanks:\n" << report;

  // Another Space on the menu is nobody's business.
  KeyPress(s, kCodeSpace);
  EXPECT_EQ(kScreenMenu, s.ScreenState);
  EXPECT_EQ(name, s.SubjectName);

  // The same subject goes again: the kept name is accepted at once.
  Click(2);
  KeyPress(s, kCodeEnter);
  EXPECT_EQ(kScreenWaiting, s.ScreenState);
  EXPECT_EQ(1, s.Level);
  EXPECT_EQ(kTestCircular, s.TestKind);
}

TEST_F(InputHandlersTest, ClosingTheWindowEndsTheProgramAndKeepsAFinishedTest) {
  struct Case {
    const char* what;
    int levels_done;  // 0: the screen of Reach alone
    Screen screen;
    bool report;
  } cases[] = {
      {"menu", 0, Screen::kMenu, false},
      {"name entry", 0, Screen::kName, false},
      {"ready", 0, Screen::kReady, false},
      {"running", 0, Screen::kRunning, false},
      {"level 3 done", 3, Screen::kLevelDone, false},
      {"test done", 4, Screen::kTestDone, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetSession(s);
    s.Running = -1;
    cursor_calls.clear();
    std::filesystem::remove(ReportPath(kTestLinear));
    Reach(c.levels_done > 0 ? Screen::kLevelDone : c.screen);
    for (int level = 2; level <= c.levels_done; ++level) {
      KeyPress(s, kCodeSpace);
      FinishLevel();
    }
    if (c.levels_done > 0) s.LeftResults[c.levels_done][7] = "1 ";
    ASSERT_EQ(ShownScreen(s), c.screen);

    CloseRequested(s);

    EXPECT_EQ(0, s.Running);
    EXPECT_EQ(cursor_calls, std::vector<bool>{true}) << "the pointer is given back";
    EXPECT_EQ(std::filesystem::exists(ReportPath(kTestLinear)), c.report);
    if (c.report) {
      // Exactly what the last Space writes: the session is reset after the block.
      std::ifstream in(ReportPath(kTestLinear), std::ios::binary);
      const std::string report{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
      EXPECT_NE(std::string::npos,
                report.find(Utf8ToCp1251("Испытание № 4    ,0 ,0 ,0 ,0 ,0 ,0 ,1 ,0 ,0 ,0 \r\n")))
          << report;
      EXPECT_EQ(kScreenMenu, s.ScreenState);
      EXPECT_EQ("0 ", s.LeftResults[4][7]);
    }
  }
}

// --- Name editing -------------------------------------------------------------------------

TEST_F(InputHandlersTest, NameTakesBlanksAndCyrillicLettersOnly) {
  // Every code without a command of its own: the blank and А..я join the name, the rest
  // (Latin, digits, punctuation, Ё and ё, the other hand-key characters) is ignored; none of
  // them answers as a hand key on this screen.
  const std::string start = Utf8ToCp1251("аб");
  for (int code = 0; code <= 255; ++code) {
    if (code == kCodeBackspace || code == kCodeEnter || code == kCodeEsc) continue;
    ResetSession(s);
    Reach(Screen::kName, start);
    KeyPress(s, code);
    const bool joins = code == kCodeSpace || code >= 192;
    const std::string expected = joins ? start + static_cast<char>(code) : start;
    EXPECT_EQ(expected, s.SubjectName) << "code " << code;
    EXPECT_EQ(kScreenNameEntry, s.ScreenState) << "code " << code;
    EXPECT_EQ(0, s.LeftKeyHeld) << "code " << code;
    EXPECT_EQ(0, s.RightKeyHeld) << "code " << code;
    EXPECT_EQ(0, s.LeftLatch) << "code " << code;
    EXPECT_EQ(0, s.RightLatch) << "code " << code;
  }
}

TEST_F(InputHandlersTest, BackspaceRemovesTheLastCharacterUntilTheNameIsEmpty) {
  Reach(Screen::kName, Utf8ToCp1251("я "));
  KeyPress(s, kCodeBackspace);
  EXPECT_EQ(Utf8ToCp1251("я"), s.SubjectName);
  KeyPress(s, kCodeBackspace);
  EXPECT_EQ("", s.SubjectName);
  KeyPress(s, kCodeBackspace);
  EXPECT_EQ("", s.SubjectName);
  EXPECT_EQ(kScreenNameEntry, s.ScreenState);
}

TEST_F(InputHandlersTest, NameIsNotEditedOffTheNameScreen) {
  for (const Screen screen :
       {Screen::kMenu, Screen::kReady, Screen::kRunning, Screen::kLevelDone}) {
    SCOPED_TRACE(Name(screen));
    ResetSession(s);
    s.SubjectName = Utf8ToCp1251("Иван");
    Reach(screen);
    for (const int code : {int{kCodeBackspace}, 192, 224, 255}) KeyPress(s, code);
    EXPECT_EQ(Utf8ToCp1251("Иван"), s.SubjectName);
  }
}

// --- Hand keys ----------------------------------------------------------------------------

struct HandKey {
  int code;
  Hand hand;
};
// q, Q, Й, й and }, ], ъ, Ъ.
const HandKey kHandKeys[] = {
    {kLeftHandKey.codes[0], Hand::kLeft},   {kLeftHandKey.codes[1], Hand::kLeft},
    {kLeftHandKey.codes[2], Hand::kLeft},   {kLeftHandKey.codes[3], Hand::kLeft},
    {kRightHandKey.codes[0], Hand::kRight}, {kRightHandKey.codes[1], Hand::kRight},
    {kRightHandKey.codes[2], Hand::kRight}, {kRightHandKey.codes[3], Hand::kRight}};

TEST(HandKeyTableTest, HoldsTheCharactersOfTheRussianKeyboard) {
  // The codes are Windows-1251; the key's own code is among them.
  EXPECT_EQ(Utf8ToCp1251("qQЙй"),
            std::string(std::begin(kLeftHandKey.codes), std::end(kLeftHandKey.codes)));
  EXPECT_EQ(Utf8ToCp1251("}]ъЪ"),
            std::string(std::begin(kRightHandKey.codes), std::end(kRightHandKey.codes)));
  EXPECT_TRUE(IsHandCode(kLeftHandKey, kLeftHandKey.code));
  EXPECT_TRUE(IsHandCode(kRightHandKey, kRightHandKey.code));
}

TEST_F(InputHandlersTest, HandKeyWhileRunningSetsItsFlagAndScores) {
  for (const HandKey& key : kHandKeys) {
    SCOPED_TRACE("code " + std::to_string(key.code) + ", " + Name(key.hand));
    ResetSession(s);
    Reach(Screen::kRunning);
    BallIn(key.hand);
    KeyPress(s, key.code);
    const bool left = key.hand == Hand::kLeft;
    EXPECT_EQ(left ? 1 : 0, s.LeftKeyHeld);
    EXPECT_EQ(left ? 0 : 1, s.RightKeyHeld);
    EXPECT_EQ(left ? 1 : 0, s.LeftLatch);
    EXPECT_EQ(left ? 0 : 1, s.RightLatch);
    EXPECT_EQ(left ? 1 : 0, s.LeftHitsTotal);
    EXPECT_EQ(left ? 0 : 1, s.RightHitsTotal);
  }
}

TEST_F(InputHandlersTest, HandKeySetsItsFlagEvenWhenThePressDoesNotScore) {
  struct Case {
    const char* what;
    Screen screen;
    bool ball_in_frame;
    bool latch_closed;
  };
  const Case cases[] = {
      {"ready", Screen::kReady, true, false},
      {"level done", Screen::kLevelDone, true, false},
      {"running, ball elsewhere", Screen::kRunning, false, false},
      {"running, pass already answered", Screen::kRunning, true, true},
  };
  for (const Case& c : cases) {
    for (const HandKey& key : kHandKeys) {
      SCOPED_TRACE(std::string(c.what) + ", code " + std::to_string(key.code));
      ResetSession(s);
      Reach(c.screen);
      const Integer screen_before = s.ScreenState;
      if (c.ball_in_frame) {
        BallIn(key.hand);
      } else {
        BallAway();
      }
      if (c.latch_closed) s.LeftLatch = s.RightLatch = 1;
      KeyPress(s, key.code);
      const bool left = key.hand == Hand::kLeft;
      EXPECT_EQ(left ? 1 : 0, s.LeftKeyHeld);
      EXPECT_EQ(left ? 0 : 1, s.RightKeyHeld);
      EXPECT_EQ(0, s.LeftHitsTotal);
      EXPECT_EQ(0, s.RightHitsTotal);
      EXPECT_EQ(screen_before, s.ScreenState);
    }
  }
}

TEST_F(InputHandlersTest, NeighbouringKeysAreNoHandKeys) {
  // w, W, ц, Ц, [, {, х, Х, p, the blank and code 0: the keys around the two hand keys and
  // some that have no character.
  for (const int code : {119, 87, 246, 214, 91, 123, 245, 213, 112, 32, 0}) {
    ResetSession(s);
    Reach(Screen::kRunning);
    BallIn(Hand::kLeft);
    KeyPress(s, code);
    BallIn(Hand::kRight);
    KeyPress(s, code);
    EXPECT_EQ(0, s.LeftKeyHeld) << "code " << code;
    EXPECT_EQ(0, s.RightKeyHeld) << "code " << code;
    EXPECT_EQ(0, s.LeftLatch) << "code " << code;
    EXPECT_EQ(0, s.RightLatch) << "code " << code;
  }
}

TEST_F(InputHandlersTest, AutoRepeatAnswersAgainForEveryRepeatedCharacter) {
  for (const HandKey& key : {kHandKeys[3], kHandKeys[6]}) {
    SCOPED_TRACE(Name(key.hand));
    ResetSession(s);
    Reach(Screen::kRunning);
    BallIn(key.hand);
    Integer& latch = key.hand == Hand::kLeft ? s.LeftLatch : s.RightLatch;
    const Integer& hits = key.hand == Hand::kLeft ? s.LeftHitsTotal : s.RightHitsTotal;
    const Integer& held = key.hand == Hand::kLeft ? s.LeftKeyHeld : s.RightKeyHeld;

    KeyPress(s, key.code);
    KeyPress(s, key.code);  // repeated while the same pass goes on: the latch holds it off
    EXPECT_EQ(1, hits);
    latch = 0;  // the next pass opens the latch; the key has not come up
    KeyPress(s, key.code);
    EXPECT_EQ(2, hits) << "the repeated character must reach the scoring";
    EXPECT_EQ(1, held);
  }
}

TEST_F(InputHandlersTest, ReleaseOfAnyKeyClearsBothFlags) {
  // Shift, the hand keys themselves, a letter, Enter: any code but 0.
  for (const int key : {0x400000E1, 113, 93, 97, 13, 1}) {
    ResetSession(s);
    Reach(Screen::kRunning);
    s.LeftKeyHeld = 1;
    s.RightKeyHeld = 1;
    KeyUp(s, key, 0);
    EXPECT_EQ(0, s.LeftKeyHeld) << "key " << key;
    EXPECT_EQ(0, s.RightKeyHeld) << "key " << key;
  }
  s.LeftKeyHeld = 1;
  s.RightKeyHeld = 1;
  KeyUp(s, 0, 0);
  EXPECT_EQ(1, s.LeftKeyHeld) << "key code 0";
  EXPECT_EQ(1, s.RightKeyHeld) << "key code 0";
}

// --- Mouse --------------------------------------------------------------------------------

struct Point {
  const char* what;
  Single x, y;
  int button;  // the button under the point, 0 for none
};
// Every button is tried at its centre; each edge and the gap between buttons once, as one rule
// bounds all three buttons.
const Point kPoints[] = {
    {"centre of 1", ButtonMidX(), ButtonMidY(1), 1},
    {"centre of 2", ButtonMidX(), ButtonMidY(2), 2},
    {"centre of 3", ButtonMidX(), ButtonMidY(3), 3},
    {"just inside top-left of 1", kButtonLeft + 0.5f, ButtonTop(1) + 0.5f, 1},
    {"just inside bottom-right of 3", kButtonLeft + kButtonWidth - 0.5f,
     ButtonTop(3) + kButtonHeight - 0.5f, 3},
    {"left edge of 2", kButtonLeft, ButtonMidY(2), 0},
    {"right edge of 2", kButtonLeft + kButtonWidth, ButtonMidY(2), 0},
    {"top edge of 1", ButtonMidX(), ButtonTop(1), 0},
    {"bottom edge of 3", ButtonMidX(), ButtonTop(3) + kButtonHeight, 0},
    {"gap between 1 and 2", ButtonMidX(), ButtonTop(2) - 5, 0},
    {"beside the column", kButtonLeft - 20, ButtonMidY(1), 0},
    {"screen corner", 0, 0, 0},
    {"off the screen", -40, 900, 0},
};

TEST_F(InputHandlersTest, MenuPressChoosesTheButtonStrictlyInside) {
  const Integer kind_of_button[] = {0, kTestLinear, kTestCircular, kTestFlash};
  for (const Point& p : kPoints) {
    // Left, right, middle, or a side button: all choose alike.
    for (const int mouse_button : {1, 2, 4, 0}) {
      SCOPED_TRACE(std::string(p.what) + ", mouse button " + std::to_string(mouse_button));
      ResetSession(s);
      s.TestKind = kTestFlash;  // from an earlier test
      s.SubjectName = Utf8ToCp1251("Иван");
      MouseDown(s, mouse_button, 0, p.x, p.y);
      if (p.button != 0) {
        EXPECT_EQ(kind_of_button[p.button], s.TestKind);
        EXPECT_EQ(kScreenNameEntry, s.ScreenState);
        EXPECT_EQ(kMenuLevelName, s.MenuLevel);
      } else {
        EXPECT_EQ(kTestFlash, s.TestKind);
        EXPECT_EQ(kScreenMenu, s.ScreenState);
        EXPECT_EQ(kMenuLevelMenu, s.MenuLevel);
      }
      EXPECT_EQ(0, s.Level);
      EXPECT_EQ(Utf8ToCp1251("Иван"), s.SubjectName);
    }
  }
}

TEST_F(InputHandlersTest, PressOffTheMenuChoosesNothing) {
  // The buttons' places outlive the menu; a click there must not pull the subject out.
  for (const Screen screen :
       {Screen::kName, Screen::kReady, Screen::kRunning, Screen::kLevelDone}) {
    for (const int k : {1, 2, 3}) {
      SCOPED_TRACE(std::string(Name(screen)) + ", button " + std::to_string(k));
      ResetSession(s);
      Reach(screen);
      s.Cycle = 4;
      s.LeftResults[1][2] = "1 ";
      s.LeftHitsTotal = 1;
      const Integer screen_before = s.ScreenState;
      const Integer menu_before = s.MenuLevel;
      const Integer level_before = s.Level;

      for (const int mouse_button : {1, 2, 4}) {
        MouseDown(s, mouse_button, 0, ButtonMidX(), ButtonMidY(k));
      }

      EXPECT_EQ(kTestLinear, s.TestKind);
      EXPECT_EQ(screen_before, s.ScreenState);
      EXPECT_EQ(menu_before, s.MenuLevel);
      EXPECT_EQ(level_before, s.Level);
      EXPECT_EQ(4, s.Cycle);
      EXPECT_EQ("1 ", s.LeftResults[1][2]);
      EXPECT_EQ(1, s.LeftHitsTotal);
      EXPECT_EQ(Utf8ToCp1251("Иван"), s.SubjectName);
    }
  }
}

TEST_F(InputHandlersTest, MoveRecordsThePositionAndLightsOnlyTheButtonUnderIt) {
  for (const Screen screen : {Screen::kMenu, Screen::kName, Screen::kRunning}) {
    ResetSession(s);
    Reach(screen);
    const Integer screen_before = s.ScreenState;
    for (const Point& p : kPoints) {
      SCOPED_TRACE(std::string(Name(screen)) + ", " + p.what);
      MouseMove(s, 0, 0, p.x, p.y);
      EXPECT_EQ(p.x, s.MouseX);
      EXPECT_EQ(p.y, s.MouseY);
      for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(k == p.button ? 1 : 0, s.ButtonLit[k]) << "button " << k;
      }
      EXPECT_EQ(screen_before, s.ScreenState) << "moving chooses nothing";
    }
  }
}

TEST_F(InputHandlersTest, PositionsOffTheScreenAreStoredAsTheyCome) {
  const Single positions[][2] = {{-1, -1}, {-250.5f, 30}, {800, 600}, {1920.25f, 1080}, {5, 4000}};
  for (const auto& pos : positions) {
    MouseMove(s, 1, 0, pos[0], pos[1]);
    EXPECT_EQ(pos[0], s.MouseX);
    EXPECT_EQ(pos[1], s.MouseY);
  }
}

}  // namespace
}  // namespace tavrik
