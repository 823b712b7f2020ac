// Bitmap text: every character becomes one blit of a glyph cut from the font strip. The strip has
// eight rows of six cells, each with two glyphs side by side (capital and small letter for the
// alphabet). A character without a glyph selects a rectangle outside the strip, and that blit
// draws nothing, which is how blanks and unknown characters keep their place.
#include <cmath>
#include <cstdint>
#include <string>

#include "shell/form.h"

namespace tavrik {

std::int32_t RoundToInt32(double value) {
  if (!(value > -2147483648.0)) return INT32_MIN;  // also NaN
  if (value >= 2147483647.0) return INT32_MAX;
  // nearbyint follows the current rounding mode, which is round half to even.
  return static_cast<std::int32_t>(std::nearbyint(value));
}

std::string SignPlace(long value) {
  return (value < 0 ? "-" : " ") + std::to_string(value < 0 ? -value : value);
}

void DrawText(Form1& f, std::string_view text, int x, int y, int centred) {
  SessionState& s = f.s;
  const double cell_w = s.TextCellWidth;
  const double cell_h = s.TextCellHeight;
  const double advance = cell_w / 2.5;
  const auto length = static_cast<double>(text.size());
  // The text's place is kept in 64-bit floating point: a name of any length only moves its
  // glyphs off the screen, where the blit leaves them out.
  double left = x;
  double top = y;
  if (centred == 1 && !text.empty()) {
    left = x + static_cast<double>(RoundToInt32((2.0 * s.CenterX - length * advance) / 2.0));
    top = y + static_cast<double>(RoundToInt32((2.0 * s.CenterY - cell_h) / 2.0));
  }
  // The half is not reset between characters: a character whose rule leaves it alone takes the
  // half of the character before it.
  int glyph_half = 0;
  Rect& r = f.display.SpriteRect;
  const int count = static_cast<int>(text.size());
  for (s.TextCharIndex = 1; s.TextCharIndex <= count; ++s.TextCharIndex) {
    int code = static_cast<unsigned char>(text[s.TextCharIndex - 1]);
    if (code == 32) {
      code = 0;
    } else if (code == 46 || code == 44) {  // . ,
      glyph_half = code == 44;
      code = 34;
    } else if (code == 58 || code == 59) {  // : ;
      glyph_half = code == 59;
      code = 35;
    } else if (code == 45 || code == 43) {  // - +
      glyph_half = code == 43;
      code = 36;
    } else if (code == 33 || code == 63) {  // ! ?
      glyph_half = code == 63;
      code = 37;
    } else if (code == 40 || code == 41) {  // ( )
      glyph_half = code == 41;
      code = 38;
    } else if (code >= 48 && code <= 57) {  // digits
      code -= 9;
      glyph_half = 0;
    } else if (code >= 192 && code <= 197) {  // А..Е
      code = code - 192 + 1;
      glyph_half = 0;
    } else if (code >= 198 && code <= 223) {  // Ж..Я
      code = code - 192 + 2;
      glyph_half = 0;
    } else if (code == 168) {  // Ё
      code = 7;
      glyph_half = 0;
    } else if (code >= 224 && code <= 229) {  // а..е
      code = code - 224 + 1;
      glyph_half = 1;
    } else if (code == 184) {  // ё
      code = 7;
      glyph_half = 1;
    } else if (code >= 230 && code <= 255) {  // ж..я
      code = code - 224 + 2;
      glyph_half = 1;
    }
    const int band = static_cast<int>(std::floor((code - 1) / 6.0));
    const int row = band + 1;
    const int column = code - 6 * band;
    r.Top = RoundToInt32((row - 1) * cell_h);
    r.Bottom = RoundToInt32(r.Top + cell_h);
    r.Left = RoundToInt32((column - 1) * cell_w + glyph_half * (cell_w / 2.0));
    r.Right = RoundToInt32(r.Left + cell_w / 2.0);
    f.display.BltFast(RoundToInt32(left + (s.TextCharIndex - 1) * advance), RoundToInt32(top),
                      f.TextSprite);
  }
}

}  // namespace tavrik
