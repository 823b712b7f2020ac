// A start folder with seven small bitmaps of known colours, and a form started on it without a
// window, so frame tests can read back exactly what went where.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "shell/startup.h"
#include "testkit/bmp_writer.h"
#include "testkit/folders.h"

namespace tavrik::testing {

using testkit::StartFolder;
using testkit::WriteBmp24;

// Colours of the test sprites. Each glyph half of the font is filled with a colour that tells
// its cell and half, so a test reads back which glyph landed where.
constexpr std::uint32_t kCursorColour = 0xF00000;
constexpr std::uint32_t kStripColour = 0x00F000;
constexpr std::uint32_t kBallColour = 0xF08000;
constexpr std::uint32_t kFrameReleased = 0x0000F0;
constexpr std::uint32_t kFrameHeld = 0x00F0F0;
constexpr std::uint32_t kIndicatorCover[2] = {0x808000, 0x800080};  // left, right outline
constexpr std::uint32_t kIndicatorFill[2] = {0x008080, 0x408040};   // left, right fill
inline std::uint32_t ButtonColour(int row, int lit) {
  return 0x200000u * static_cast<std::uint32_t>(row + 1) + (lit ? 0x0000F8u : 0x000040u);
}
inline std::uint32_t GlyphColour(int cell, int half) {
  return 0x800000u + (half ? 0x400000u : 0u) + (static_cast<std::uint32_t>(cell) << 10) + 0x58u;
}

// Sizes of the test sprites.
struct FixtureSizes {
  int cursor_w = 4, cursor_h = 6;
  int strip_w = 800, strip_h = 2;
  int indicator_w = 40, indicator_h = 40;  // four cells of 10
  int ball_w = 10, ball_h = 10;
  int buttons_w = 40, buttons_h = 30;  // cells 20 x 10
  int frame_w = 24, frame_h = 12;      // cells 12 x 12
  int text_w = 60, text_h = 64;        // cells 10 x 8, glyphs 5 x 8
};

// Writes the seven bitmaps into `dir`.
inline void WriteFixtureGraphics(const std::filesystem::path& dir, const FixtureSizes& z = {}) {
  namespace fs = std::filesystem;
  fs::create_directories(dir);
  auto file = [&](const char* name) { return dir / fs::u8path(name); };
  WriteBmp24(file("Курсор.bmp"), z.cursor_w, z.cursor_h, [](int, int) { return kCursorColour; });
  WriteBmp24(file("Полоска.bmp"), z.strip_w, z.strip_h, [](int, int) { return kStripColour; });
  const int icw = z.indicator_w / 4;
  WriteBmp24(file("Индикатор.bmp"), z.indicator_w, z.indicator_h, [&](int x, int y) {
    // A width that is not a multiple of four leaves a few columns past the fourth cell.
    const int cell = std::min(x / icw, 3), cx = x - cell * icw;
    const bool border = cx == 0 || cx == icw - 1 || y == 0 || y == z.indicator_h - 1;
    if (cell % 2 == 1) return kIndicatorFill[cell / 2];
    return border ? kIndicatorCover[cell / 2] : 0u;
  });
  WriteBmp24(file("Шарик.bmp"), z.ball_w, z.ball_h, [](int, int) { return kBallColour; });
  WriteBmp24(file("Кнопки.bmp"), z.buttons_w, z.buttons_h, [&](int x, int y) {
    return ButtonColour(y / (z.buttons_h / 3), x / (z.buttons_w / 2));
  });
  // Hollow frames, as the real ones are, so the ball shows inside them.
  WriteBmp24(file("Рамка.bmp"), z.frame_w, z.frame_h, [&](int x, int y) {
    const int cw = z.frame_w / 2, cx = x % cw;
    const bool border = cx == 0 || cx == cw - 1 || y == 0 || y == z.frame_h - 1;
    if (!border) return 0u;
    return x < cw ? kFrameReleased : kFrameHeld;
  });
  WriteBmp24(file("Текст.bmp"), z.text_w, z.text_h, [&](int x, int y) {
    const int cw = z.text_w / 6, ch = z.text_h / 8;
    const int cell = (y / ch) * 6 + x / cw + 1;
    return GlyphColour(cell, (x % cw) >= cw / 2);
  });
}

// A form started offscreen on the fixture graphics.
class FormTest : public ::testing::Test {
 protected:
  void StartForm(int depth = 32, const FixtureSizes& sizes = {}) {
    WriteFixtureGraphics(folder.graphics(), sizes);
    StartUp(form, folder.path().u8string(), depth, DisplayTarget::kOffscreen);
  }
  std::uint32_t At(int x, int y) const { return form.display.PixelRgb(x, y); }

  StartFolder folder;
  Form1 form;
};

}  // namespace tavrik::testing
