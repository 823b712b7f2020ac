// The bitmap text: Windows-1251 strings drawn from the font strip, where each glyph lies in it,
// and the number forms and rounding the screens' texts are built with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "shell/form.h"

namespace tavrik {

// Draws Windows-1251 `text` from the font strip. With `centred` = 1 the text is centred on the
// screen and (x, y) is an offset from there; otherwise (x, y) is its top-left corner. Positions
// are computed wide enough that no text length can overflow them; glyphs that would reach past
// the screen are simply not drawn.
void DrawText(Form1& f, std::string_view text, int x, int y, int centred);

// Where the font strip keeps the glyph of Windows-1251 `code`: its cell, numbered 1 to 48 row by
// row from the top left (0 and 49 up lie outside the strip), and its half, 0 left or 1 right, or
// kHalfOfCharacterBefore for a character whose rule leaves the half as the character before it
// chose (the blank, and every code without a glyph of its own). The graphics generator lays out
// the font strip from this, so the two cannot disagree.
struct GlyphPlace {
  int cell;
  int half;
};
constexpr int kHalfOfCharacterBefore = -1;
GlyphPlace GlyphPlaceOf(unsigned char code);

// The rectangle of a glyph (`half` 0 or 1) of a cell in a font strip whose cells measure
// `cell_width` by `cell_height`, each edge rounded half to even.
Rect GlyphRect(int cell, int half, double cell_width, double cell_height);

// The sign-place form of a whole number: a blank (or a minus sign), then its digits.
std::string SignPlace(long value);

// Rounds to the nearest integer, ties to even, and keeps the result inside 32 bits.
std::int32_t RoundToInt32(double value);

}  // namespace tavrik
