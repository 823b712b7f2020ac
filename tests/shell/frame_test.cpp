// Frame composition: what each screen shows where, and the geometry a frame leaves behind for
// the scoring and the mouse. The fixture's sprites are small blocks of known colours: ball 10 x 10,
// frame cells 12 x 12, strip 800 x 2, indicator cells 10 x 40, buttons 20 x 10, pointer 4 x 6,
// glyphs 5 x 8 with an advance of 4. So TrackRadius is 195, the frames stand at x 199 and 589,
// their tops at 294, and full-width strips cover rows 290-293 and 296-299.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "codepage/cp1251.h"
#include "shell/frame.h"
#include "shell_fixture.h"

namespace tavrik {
namespace {

using namespace testing;

class FrameTest : public FormTest {
 protected:
  void SetUp() override { StartForm(); }
  // A test screen waiting for Space (nothing moves while composing it).
  void Ready(Integer kind) {
    SessionState& s = form.s;
    s.TestKind = kind;
    s.MenuLevel = kMenuLevelTest;
    s.ScreenState = kScreenWaiting;
    s.Level = 1;
    s.Cycle = 1;
    s.Direction = 1;
  }
  // The glyph of character i of a text at (x, y); see text_test.cpp for the second column.
  std::uint32_t GlyphAt(int x, int y, int i) const { return At(x + 4 * i + 1, y); }
};

TEST_F(FrameTest, TheBallStandsWhereTheTestPutsIt) {
  struct Case {
    const char* what;
    Integer kind;
    double angle;
    Integer direction;
    Integer flash_on;
    double cx, cy;  // expected centre
  };
  const double pi = std::acos(-1.0);  // M_PI is POSIX's, not the language's
  const Case cases[] = {
      {"flash, dark: centre", kTestFlash, 0, -1, 0, 400, 300},
      {"flash on the left", kTestFlash, 0, -1, 1, 205, 300},
      {"flash on the right", kTestFlash, 0, 1, 1, 595, 300},
      {"circle at 0: below the centre", kTestCircular, 0, 1, 0, 400, 495},
      {"circle at pi: the top", kTestCircular, pi, 1, 0, 400, 105},
      {"line at pi/2: right end", kTestLinear, pi / 2, 1, 0, 595, 300},
  };
  for (const Case& c : cases) {
    Ready(c.kind);
    form.s.Angle = c.angle;
    form.s.Direction = c.direction;
    form.s.FlashOn = c.flash_on;
    ComposeFrame(form);
    EXPECT_NEAR(form.s.BallX, c.cx - 5, 1e-9) << c.what;
    EXPECT_NEAR(form.s.BallY, c.cy - 5, 1e-9) << c.what;
    const int x = static_cast<int>(std::lround(c.cx)), y = static_cast<int>(std::lround(c.cy));
    // Row y+1 is clear of the strips for every case above.
    EXPECT_EQ(At(x - 5, y + 1), kBallColour) << c.what;
    EXPECT_NE(At(x - 6, y + 1), kBallColour) << c.what;
  }
}

TEST_F(FrameTest, FramesShowTheHeldKeys) {
  Ready(kTestLinear);
  form.s.LeftKeyHeld = 1;
  ComposeFrame(form);
  EXPECT_DOUBLE_EQ(form.s.LeftFrameX, 199);
  EXPECT_DOUBLE_EQ(form.s.RightFrameX, 589);
  EXPECT_EQ(At(199, 294), kFrameHeld);
  EXPECT_EQ(At(589, 294), kFrameReleased);
  EXPECT_EQ(At(210, 294), kFrameHeld);
  EXPECT_EQ(At(198, 294), 0u);
  // The gap strip is one pixel short of the right frame.
  EXPECT_EQ(At(211, 294), kStripColour);
  EXPECT_EQ(At(587, 294), kStripColour);
  EXPECT_EQ(At(588, 294), 0u);
}

TEST_F(FrameTest, IndicatorsFillWithTheShareOfHits) {
  struct Case {
    Integer hits;
    int first_filled_row;  // of the left indicator's inside, screen rows 41..78
    const char* percent;
  } cases[] = {{0, 80, " 0"}, {13, 67, " 32"}, {40, 40, " 100"}};
  for (const Case& c : cases) {
    Ready(kTestLinear);
    form.s.LeftHitsTotal = c.hits;
    form.s.RightHitsTotal = c.hits;
    ComposeFrame(form);
    for (int y = 41; y < 79; ++y) {
      const std::uint32_t want = y >= c.first_filled_row ? kIndicatorFill[0] : 0u;
      ASSERT_EQ(At(15, y), want) << c.hits << " hits, row " << y;
      ASSERT_EQ(At(785, y), y >= c.first_filled_row ? kIndicatorFill[1] : 0u)
          << c.hits << " hits, right, row " << y;
    }
    EXPECT_EQ(At(10, 40), kIndicatorCover[0]) << "the cover lies over the fill";
    const std::string digits = c.percent;
    for (std::size_t i = 1; i < digits.size(); ++i) {
      const int cell = digits[i] - '0' + 39;
      EXPECT_EQ(GlyphAt(25, 50, static_cast<int>(i)), GlyphColour(cell, 0)) << c.percent;
      EXPECT_EQ(GlyphAt(695, 50, static_cast<int>(i)), GlyphColour(cell, 0)) << c.percent;
    }
  }
}

TEST_F(FrameTest, CountsOfTheLevel) {
  Ready(kTestFlash);
  form.s.LeftHitsLevel = 7;
  form.s.RightHitsLevel = 10;
  ComposeFrame(form);
  // " 7-10" and " 10-10": blank, digits, the dash from the left half of cell 36.
  const std::vector<std::uint32_t> left = {0, GlyphColour(46, 0), GlyphColour(36, 0),
                                           GlyphColour(40, 0), GlyphColour(39, 0)};
  for (std::size_t i = 0; i < left.size(); ++i)
    EXPECT_EQ(GlyphAt(10, 560, static_cast<int>(i)), left[i]) << "left glyph " << i;
  EXPECT_EQ(GlyphAt(660, 560, 1), GlyphColour(40, 0));
  EXPECT_EQ(GlyphAt(660, 560, 3), GlyphColour(36, 0));
}

TEST_F(FrameTest, TextsOfTheWaitingScreens) {
  struct Case {
    const char* what;
    Integer level, cycle;
    int x_top, x_mid;  // first glyph of the line at -150 and of the line at -100
    int cell_top, cell_mid;
  } cases[] = {
      // "Уровень  1" (10), "Для старта нажмите ПРОБЕЛ" (25)
      {"ready", 1, 1, 380, 350, 21, 5},
      // "Уровень  2 пройден" (18)
      {"level done", 2, 11, 364, 350, 21, 5},
      // "Проверка завершена" (18), "Нажмите ПРОБЕЛ" (14)
      {"test done", 4, 11, 364, 372, 17, 15},
  };
  for (const Case& c : cases) {
    Ready(kTestLinear);
    form.s.Level = c.level;
    form.s.Cycle = c.cycle;
    ComposeFrame(form);
    EXPECT_EQ(GlyphAt(c.x_top, 146, 0), GlyphColour(c.cell_top, 0)) << c.what;
    EXPECT_EQ(GlyphAt(c.x_top - 4, 146, 0), 0u) << c.what;
    EXPECT_EQ(GlyphAt(c.x_mid, 196, 0), GlyphColour(c.cell_mid, 0)) << c.what;
    // "Готово!" only when the level is done; at (1, -280): 7 glyphs, 400 - 14 + 1.
    EXPECT_EQ(GlyphAt(387, 16, 0) == GlyphColour(4, 0), c.cycle == 11) << c.what;
  }
}

TEST_F(FrameTest, ARunningLevelMovesAndEndsInTheSameFrame) {
  Ready(kTestLinear);
  form.s.ScreenState = kScreenRunning;
  form.s.Cycle = 10;
  form.s.Pi = 3.14;
  form.s.Speed = 6;
  form.s.Phase = 354;
  ComposeFrame(form);
  EXPECT_EQ(form.s.Cycle, 11);
  EXPECT_EQ(form.s.ScreenState, kScreenWaiting);
  // "Цикл: 10" was drawn for the frame, before the update ended the level.
  EXPECT_EQ(GlyphAt(385, 16, 0), GlyphColour(24, 0));
  ComposeFrame(form);
  EXPECT_EQ(form.s.Phase, 0) << "nothing moves while waiting";
}

TEST_F(FrameTest, MenuButtonsAndThePointer) {
  form.s.ButtonLit[2] = 1;
  struct Case {
    float mx, my;
    int px, py;
  } cases[] = {
      {100.7f, 50.2f, 100, 50}, {-5.5f, -1, 0, 0}, {900, 700, 796, 594}, {796, 594, 796, 594}};
  for (const Case& c : cases) {
    form.s.MouseX = c.mx;
    form.s.MouseY = c.my;
    ComposeFrame(form);
    EXPECT_EQ(form.s.PointerX, c.px);
    EXPECT_EQ(form.s.PointerY, c.py);
    EXPECT_EQ(At(c.px, c.py), kCursorColour);
    EXPECT_EQ(At(c.px + 3, c.py + 5), kCursorColour);
  }
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(form.s.ButtonX[k], 390);
    EXPECT_EQ(form.s.ButtonY[k], 200 + (k - 1) * 20);
    EXPECT_EQ(At(391, 201 + (k - 1) * 20), ButtonColour(k - 1, k == 2)) << "button " << k;
  }
  EXPECT_EQ(form.s.RowIndex, 3);
  EXPECT_EQ(At(400, 300), 0u) << "no ball on the menu";
}

TEST_F(FrameTest, NameScreenShowsTheNameInBrackets) {
  form.s.MenuLevel = kMenuLevelName;
  form.s.ScreenState = kScreenNameEntry;
  form.s.SubjectName = "";
  ComposeFrame(form);
  // "()" centred: 400 - 4 = 396, top 296 + 20.
  EXPECT_EQ(GlyphAt(396, 316, 0), GlyphColour(38, 0));
  EXPECT_EQ(GlyphAt(396, 316, 1), GlyphColour(38, 1));
}

}  // namespace
}  // namespace tavrik
