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
  // A centred text starts at 400 - (characters x advance) / 2 and its glyphs' top at 300 - cell
  // height / 2, each rounded half to even; the advance is a cell's width / 2.5. Each font strip
  // is text_w by text_h, in cells of a sixth by an eighth of it.
  struct Case {
    const char* what;
    int text_w, text_h;
    const char* utf8;
    int x, y;                   // offset from the centre
    int left, top;              // where the first glyph lands
    int cell;                   // the first glyph's cell (its left half)
    int rect_left, rect_right;  // the last glyph's rectangle in the strip
  } cases[] = {
      {"11 glyphs of the fixture font: 400 - 22, 296 - 150", 60, 64, "ААААААААААА", 0, -150, 378,
       146, 1, 0, 5},
      {"45-pixel cells: 300 - 4.5 = 295.5 rounds up to even 296, 45 + 22.5 to even 68", 270, 72,
       "Б", 0, 0, 391, 296, 2, 45, 68},
      {"a cell height of 7: 300 - 3.5 = 296.5 rounds down to even 296", 60, 56, "А", 0, 0, 398, 296,
       1, 0, 5},
      {"an advance of 5: 400 - 2.5 = 397.5 rounds up to even 398", 75, 64, "А", 0, 0, 398, 296, 1,
       0, 6},
      {"three advances of 5: 400 - 7.5 = 392.5 rounds down to even 392", 75, 64, "ААА", 0, 0, 392,
       296, 1, 0, 6},
  };
  for (const Case& c : cases) {
    testing::FixtureSizes sizes;
    sizes.text_w = c.text_w;
    sizes.text_h = c.text_h;
    testing::StartFolder start;
    testing::WriteFixtureGraphics(start.graphics(), sizes);
    Form1 other;
    StartUp(other, start.path().u8string(), 32, DisplayTarget::kOffscreen);
    other.display.ClearSurface();
    DrawText(other, Utf8ToCp1251(c.utf8), c.x, c.y, 1);
    EXPECT_EQ(other.display.PixelRgb(c.left, c.top), GlyphColour(c.cell, 0)) << c.what;
    EXPECT_EQ(other.display.PixelRgb(c.left - 1, c.top), 0u) << c.what << ": nothing left of it";
    EXPECT_EQ(other.display.PixelRgb(c.left, c.top - 1), 0u) << c.what << ": nothing above it";
    EXPECT_EQ(other.display.SpriteRect.Left, c.rect_left) << c.what;
    EXPECT_EQ(other.display.SpriteRect.Right, c.rect_right) << c.what;
  }
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
