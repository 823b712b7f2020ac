// Bitmap text: which glyph of the font strip lands where, the advance, centring and its rounding,
// characters without a glyph, and texts far longer than the screen.
#include <gtest/gtest.h>

#include "codepage/cp1251.h"
#include "shell/text.h"
#include "shell_fixture.h"

namespace tavrik {
namespace {

using testing::GlyphColour;

// The fixture's font: cells 10 x 8, glyphs 5 x 8, advance 4.
class TextTest : public testing::FormTest {
 protected:
  void SetUp() override {
    StartForm();
    form.display.ClearSurface();
  }
  // The glyph of character `i` of a text starting at (x, y), read in its second column: the
  // first is shared with the last column of the glyph before, which overlaps it by one pixel.
  std::uint32_t GlyphAt(int x, int y, int i) const { return At(x + 4 * i + 1, y); }
};

TEST_F(TextTest, GlyphsComeFromTheirCellAndHalf) {
  struct Case {
    const char* utf8;
    int cell;
    int half;
  } cases[] = {
      {"А", 1, 0},  {"а", 1, 1},  {"Е", 6, 0},  {"е", 6, 1},  {"Ё", 7, 0},  {"ё", 7, 1},
      {"Ж", 8, 0},  {"ж", 8, 1},  {"Я", 33, 0}, {"я", 33, 1}, {".", 34, 0}, {",", 34, 1},
      {":", 35, 0}, {";", 35, 1}, {"-", 36, 0}, {"+", 36, 1}, {"!", 37, 0}, {"?", 37, 1},
      {"(", 38, 0}, {")", 38, 1}, {"0", 39, 0}, {"3", 42, 0}, {"4", 43, 0}, {"9", 48, 0},
  };
  for (const auto& c : cases) {
    form.display.ClearSurface();
    DrawText(form, Utf8ToCp1251(c.utf8), 100, 100, 0);
    EXPECT_EQ(At(100, 100), GlyphColour(c.cell, c.half)) << c.utf8;
    EXPECT_EQ(At(104, 107), GlyphColour(c.cell, c.half)) << c.utf8 << ": whole glyph 5 x 8";
    EXPECT_EQ(At(105, 100), 0u) << c.utf8 << ": nothing beyond the glyph";
  }
}

TEST_F(TextTest, UnmappedCharactersBorrowTheHalfOfTheCharacterBefore) {
  // '"' (34) has no rule, so it shows cell 34 in whatever half the previous character chose;
  // '*' (42) shows cell 42, the digit 3; Latin letters and '<' select cells below the strip.
  DrawText(form, Utf8ToCp1251("а\"Б\"*Az<="), 100, 100, 0);
  EXPECT_EQ(GlyphAt(100, 100, 0), GlyphColour(1, 1));
  EXPECT_EQ(GlyphAt(100, 100, 1), GlyphColour(34, 1)) << "half 1 left by а";
  EXPECT_EQ(GlyphAt(100, 100, 2), GlyphColour(2, 0));
  EXPECT_EQ(GlyphAt(100, 100, 3), GlyphColour(34, 0)) << "half 0 left by Б";
  EXPECT_EQ(GlyphAt(100, 100, 4), GlyphColour(42, 0));
  for (int i = 5; i < 9; ++i) EXPECT_EQ(GlyphAt(100, 100, i), 0u) << "character " << i;
}

TEST_F(TextTest, BlanksLeaveAGapOfOneAdvance) {
  DrawText(form, Utf8ToCp1251("Для старта нажмите ПРОБЕЛ"), 100, 100, 0);
  EXPECT_EQ(GlyphAt(100, 100, 0), GlyphColour(5, 0));   // Д capital
  EXPECT_EQ(GlyphAt(100, 100, 1), GlyphColour(13, 1));  // л small
  EXPECT_EQ(GlyphAt(100, 100, 3), 0u) << "the blank after Для";
  EXPECT_EQ(GlyphAt(100, 100, 4), GlyphColour(19, 1));   // с small
  EXPECT_EQ(GlyphAt(100, 100, 19), GlyphColour(17, 0));  // П capital
}

TEST_F(TextTest, CentringRoundsHalfToEven) {
  // Width of n characters: n x 4. Start x = 400 - 2n (+ offset); the glyph top is
  // 300 - 4 + y = 296 + y.
  DrawText(form, Utf8ToCp1251("ААААААААААА"), 0, -150, 1);  // 11 characters: 400 - 22
  EXPECT_EQ(At(378, 146), GlyphColour(1, 0));
  EXPECT_EQ(At(377, 146), 0u);
  EXPECT_EQ(At(378, 145), 0u);
}

TEST_F(TextTest, CentringAHalfPixelRoundsToEven) {
  // A font with 45-pixel cells: advance 18 -> a text of 1 character is 18 wide, 400 - 9 = 391;
  // cell height 9 -> 300 - 4.5 = 295.5 rounds to 296; cell width 7.5 per glyph half.
  testing::FixtureSizes sizes;
  sizes.text_w = 270;
  sizes.text_h = 72;
  Form1 other;
  testing::StartFolder folder2;
  testing::WriteFixtureGraphics(folder2.graphics(), sizes);
  StartUp(other, folder2.path().u8string(), 32, DisplayTarget::kOffscreen);
  other.display.ClearSurface();
  DrawText(other, Utf8ToCp1251("Б"), 0, 0, 1);
  EXPECT_EQ(other.display.SpriteRect.Left, 45);
  EXPECT_EQ(other.display.SpriteRect.Right, 68) << "45 + 22.5 rounds to even 68";
  EXPECT_EQ(other.display.PixelRgb(391, 296), GlyphColour(2, 0));
  EXPECT_EQ(other.display.PixelRgb(391, 295), 0u);
  EXPECT_EQ(other.display.PixelRgb(390, 296), 0u);
}

TEST_F(TextTest, EmptyTextDrawsNothingAndAnyLengthIsSafe) {
  DrawText(form, "", 0, 0, 1);
  EXPECT_EQ(form.display.SpriteRect.Right, 800) << "the clear's rectangle is untouched";
  // A name long enough to overflow 16-bit positions: centred, its middle fills the line and
  // the glyphs off either edge are left out.
  const std::string huge(200000, static_cast<char>(0xC0));
  DrawText(form, "(" + huge + ")", 0, 20, 1);
  EXPECT_EQ(At(0, 316), GlyphColour(1, 0)) << "a glyph starts exactly at the left edge";
  EXPECT_EQ(At(795, 316), GlyphColour(1, 0));
  EXPECT_EQ(At(797, 316), 0u) << "the glyph that would reach past the right edge";
  form.display.ClearSurface();
  DrawText(form, Utf8ToCp1251("ААА"), 796, 10, 0);
  EXPECT_EQ(At(796, 10), 0u) << "a glyph reaching past the edge is left out whole";
}

}  // namespace
}  // namespace tavrik
