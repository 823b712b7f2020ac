// Bitmap text: every character becomes one blit of a glyph cut from the font strip. The strip has
// eight rows of six cells, each with two glyphs side by side (capital and small letter for the
// alphabet). A character without a glyph selects a rectangle outside the strip, and that blit
// draws nothing, which is how blanks and unknown characters keep their place.
#include "shell/text.h"

#include <cmath>
#include <cstdint>
#include <string>

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

GlyphPlace GlyphPlaceOf(unsigned char code) {
  // The rules are tried in this order; no replaced value matches a later rule.
  if (code == 32) return {0, kHalfOfCharacterBefore};          // the blank: a cell above the strip
  if (code == 46 || code == 44) return {34, code == 44};       // . ,
  if (code == 58 || code == 59) return {35, code == 59};       // : ;
  if (code == 45 || code == 43) return {36, code == 43};       // - +
  if (code == 33 || code == 63) return {37, code == 63};       // ! ?
  if (code == 40 || code == 41) return {38, code == 41};       // ( )
  if (code >= 48 && code <= 57) return {code - 9, 0};          // digits
  if (code >= 192 && code <= 197) return {code - 192 + 1, 0};  // А..Е
  if (code >= 198 && code <= 223) return {code - 192 + 2, 0};  // Ж..Я
  if (code == 168) return {7, 0};                              // Ё
  if (code >= 224 && code <= 229) return {code - 224 + 1, 1};  // а..е
  if (code == 184) return {7, 1};                              // ё
  if (code >= 230) return {code - 224 + 2, 1};                 // ж..я
  // No rule: the code itself is taken as the cell.
  return {code, kHalfOfCharacterBefore};
}

Rect GlyphRect(int cell, int half, double cell_width, double cell_height) {
  const int band = static_cast<int>(std::floor((cell - 1) / 6.0));
  const int row = band + 1;
  const int column = cell - 6 * band;
  Rect r;
  r.Top = RoundToInt32((row - 1) * cell_height);
  r.Bottom = RoundToInt32(r.Top + cell_height);
  r.Left = RoundToInt32((column - 1) * cell_width + half * (cell_width / 2.0));
  r.Right = RoundToInt32(r.Left + cell_width / 2.0);
  return r;
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
  const int count = static_cast<int>(text.size());
  for (s.TextCharIndex = 1; s.TextCharIndex <= count; ++s.TextCharIndex) {
    const GlyphPlace place = GlyphPlaceOf(static_cast<unsigned char>(text[s.TextCharIndex - 1]));
    if (place.half != kHalfOfCharacterBefore) glyph_half = place.half;
    f.display.SpriteRect = GlyphRect(place.cell, glyph_half, cell_w, cell_h);
    f.display.BltFast(RoundToInt32(left + (s.TextCharIndex - 1) * advance), RoundToInt32(top),
                      f.TextSprite);
  }
}

}  // namespace tavrik
