// The blit copies each source rectangle from a cached cell of its own (display/surface.cpp). These
// tests hold it to the plain rule, pixel for pixel: whatever rectangle is asked for, of whatever
// sprite, in either depth, the back buffer must end up exactly as a colour-keyed copy of that
// rectangle from the bitmap would leave it, also once the cache has been emptied and refilled
// many times, and also for a rectangle asked for again.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "display/display.h"
#include "testkit/bmp_writer.h"
#include "testkit/folders.h"

namespace tavrik {
namespace {

using testkit::StartFolder;
using testkit::WriteBmp24;

constexpr int kW = 37, kH = 23;
constexpr std::uint32_t kMarker = 0x3366CC;

// Black in diagonal bands and white in a block (the keys), other colours elsewhere.
std::uint32_t SpritePixel(int x, int y) {
  if ((x + 2 * y) % 7 < 2) return 0x000000;
  if (x > 25 && y < 6) return 0xFFFFFF;
  return 0x100000u * static_cast<std::uint32_t>(1 + x % 15) +
         0x000800u * static_cast<std::uint32_t>(y) + 0x40u;
}

class SpriteCellTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    display.InitOffscreen(800, 600, GetParam());
    const auto path = folder.path() / "cells.bmp";
    WriteBmp24(path, kW, kH, SpritePixel);
    black_keyed = display.LoadSurface(path.string(), kKeyBlack);
    white_keyed = display.LoadSurface(path.string(), kKeyWhite);
  }
  std::uint32_t Stored(std::uint32_t rgb) const {
    const SDL_PixelFormat* f = display.BackBuffer()->format;
    Uint8 r, g, b;
    SDL_GetRGB(SDL_MapRGB(f, static_cast<Uint8>(rgb >> 16), static_cast<Uint8>(rgb >> 8),
                          static_cast<Uint8>(rgb)),
               f, &r, &g, &b);
    return (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
  }
  // Blits `r` of `sprite` at (x, y) over the marker and compares the rectangle and a ring of one
  // pixel around it with what the rule says. Returns the number of wrong pixels.
  int BlitAndCompare(const Rect& r, int x, int y, const SpriteSurface& sprite, std::uint32_t key) {
    const SDL_PixelFormat* f = display.BackBuffer()->format;
    SDL_FillRect(display.BackBuffer(), nullptr,
                 SDL_MapRGB(f, kMarker >> 16, (kMarker >> 8) & 0xFF, kMarker & 0xFF));
    display.SpriteRect = r;
    EXPECT_EQ(display.BltFast(x, y, sprite), 0);
    int wrong = 0;
    const int w = r.Right - r.Left, h = r.Bottom - r.Top;
    for (int j = -1; j <= h; ++j) {
      for (int i = -1; i <= w; ++i) {
        const int px = x + i, py = y + j;
        if (px < 0 || py < 0 || px >= 800 || py >= 600) continue;
        std::uint32_t want = kMarker;
        if (i >= 0 && j >= 0 && i < w && j < h) {
          const std::uint32_t source = SpritePixel(r.Left + i, r.Top + j);
          if (source != key) want = source;
        }
        wrong += display.PixelRgb(px, py) != Stored(want);
      }
    }
    return wrong;
  }

  StartFolder folder;
  DisplayDevice display;
  SpriteSurface black_keyed, white_keyed;
};

TEST_P(SpriteCellTest, EveryRectangleIsCopiedExactlyAlsoWhenAskedAgain) {
  for (int top = 0; top < kH; top += 5) {
    for (int left = 0; left < kW; left += 6) {
      const Rect r{left, top, std::min(kW, left + 1 + (left * 7 + top) % 19),
                   std::min(kH, top + 1 + (top * 3 + left) % 11)};
      const std::string where = std::to_string(left) + "," + std::to_string(top);
      EXPECT_EQ(BlitAndCompare(r, 100 + left, 50 + top, black_keyed, 0x000000), 0) << where;
      EXPECT_EQ(BlitAndCompare(r, 300, 200, black_keyed, 0x000000), 0) << where << " again";
      EXPECT_EQ(BlitAndCompare(r, 799 - (r.Right - r.Left), 0, white_keyed, 0xFFFFFF), 0) << where;
    }
  }
}

TEST_P(SpriteCellTest, RectanglesBeyondTheCacheBudgetStayExact) {
  // Far more distinct rectangles than twice the sprite's pixels: the cells are dropped and made
  // again many times over, and blits of rectangles seen before must not come from stale cells.
  std::uint32_t state = 12345;
  auto next = [&state](int n) {
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) % static_cast<std::uint32_t>(n));
  };
  for (int k = 0; k < 400; ++k) {
    const int left = next(kW), top = next(kH);
    const Rect r{left, top, left + 1 + next(kW - left), top + 1 + next(kH - top)};
    ASSERT_EQ(BlitAndCompare(r, next(700), next(500), black_keyed, 0x000000), 0)
        << "rectangle " << k << ": " << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
  }
  // The whole sprite last, after all of that.
  EXPECT_EQ(BlitAndCompare(Rect{0, 0, kW, kH}, 0, 0, black_keyed, 0x000000), 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, SpriteCellTest, ::testing::Values(16, 32),
                         [](const ::testing::TestParamInfo<int>& p) {
                           return std::to_string(p.param) + "bpp";
                         });

}  // namespace
}  // namespace tavrik
