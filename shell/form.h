// The program's one form: the session record, the display and the seven sprites of the catalogue,
// with start-up, the frame composition and the bitmap text that work on them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "display/display.h"
#include "engine/session_state.h"

namespace tavrik {

struct Form1 {
  SessionState s;
  DisplayDevice display;
  SpriteSurface CursorSprite;
  SpriteSurface StripSprite;
  SpriteSurface IndicatorSprite;
  SpriteSurface BallSprite;
  SpriteSurface ButtonsSprite;
  SpriteSurface FrameSprite;
  SpriteSurface TextSprite;
};

enum class DisplayTarget {
  kScreen,     // take the whole screen
  kOffscreen,  // back buffer only (tests, benchmarks)
};

// Start-up: folders under `base_dir` (the start folder, without a trailing separator), the
// session reset, the display at `bits_per_pixel`, the seven sprites measured and loaded, the
// system pointer hidden, and the geometry fixed before the first frame. Throws DisplayError
// naming the file and the cause when a bitmap is missing or broken.
void StartUp(Form1& f, const std::string& base_dir, int bits_per_pixel, DisplayTarget target);

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

// One frame between the event pump and the flip: clear, compose the screen of the session's
// state, advance a running level by one step and close a level whose cycles are done.
void ComposeFrame(Form1& f);

// How `pacer` paces the frames, as plain data for the engine's timing record.
FramePacing PacingOf(const FramePacer& pacer);

// Hands the frame just composed to the display, then tells the session when it was shown and
// how the frames are paced.
void ShowFrame(Form1& f);

// The sign-place form of a whole number: a blank (or a minus sign), then its digits.
std::string SignPlace(long value);

// Rounds to the nearest integer, ties to even, and keeps the result inside 32 bits.
std::int32_t RoundToInt32(double value);

}  // namespace tavrik
