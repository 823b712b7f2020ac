// The display layer's rules that every screen relies on: the clear, the all-or-nothing blit with
// no clipping, and exact colour keys, in both depths.
#include <SDL.h>
#include <gtest/gtest.h>

#include <fstream>

#include "display/display.h"
#include "testkit/bmp_writer.h"
#include "testkit/folders.h"

namespace tavrik {
namespace {

using testkit::StartFolder;
using testkit::WriteBmp24;

// A colour as the back buffer holds it (5-6-5 loses low bits).
std::uint32_t AsStored(const DisplayDevice& d, std::uint32_t rgb) {
  const Uint32 v = SDL_MapRGB(d.BackBuffer()->format, static_cast<Uint8>(rgb >> 16),
                              static_cast<Uint8>(rgb >> 8), static_cast<Uint8>(rgb));
  Uint8 r, g, b;
  SDL_GetRGB(v, d.BackBuffer()->format, &r, &g, &b);
  return (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
}

class DisplayTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    display.InitOffscreen(800, 600, GetParam());
    // A 4 x 3 sprite: black and white corners, coloured elsewhere.
    const auto path = folder.path() / "sprite.bmp";
    WriteBmp24(path, 4, 3, [](int x, int y) -> std::uint32_t {
      if (x == 0 && y == 0) return 0x000000;
      if (x == 3 && y == 0) return 0xFFFFFF;
      return 0x3060C0;
    });
    black_keyed = display.LoadSurface(path.string(), kKeyBlack);
    white_keyed = display.LoadSurface(path.string(), kKeyWhite);
  }
  // Fills the back buffer with a marker colour so that "not drawn" is visible.
  void Paint(std::uint32_t rgb) {
    SDL_FillRect(display.BackBuffer(), nullptr,
                 SDL_MapRGB(display.BackBuffer()->format, static_cast<Uint8>(rgb >> 16),
                            static_cast<Uint8>(rgb >> 8), static_cast<Uint8>(rgb)));
  }
  int CountColour(std::uint32_t rgb) const {
    int n = 0;
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 800; ++x) n += display.PixelRgb(x, y) == AsStored(display, rgb);
    return n;
  }

  StartFolder folder;
  DisplayDevice display;
  SpriteSurface black_keyed, white_keyed;
};

TEST_P(DisplayTest, ClearMakesEveryPixelBlackAndSetsTheRectangle) {
  Paint(0x123456);
  display.SpriteRect = Rect{5, 6, 7, 8};
  display.ClearSurface();
  EXPECT_EQ(CountColour(0x000000), 800 * 600);
  EXPECT_EQ(display.SpriteRect.Left, 0);
  EXPECT_EQ(display.SpriteRect.Top, 0);
  EXPECT_EQ(display.SpriteRect.Right, 800);
  EXPECT_EQ(display.SpriteRect.Bottom, 600);
}

TEST_P(DisplayTest, ColourKeysLeaveExactlyTheirColourOut) {
  const std::uint32_t marker = 0x808080;
  const std::uint32_t body = AsStored(display, 0x3060C0);
  Paint(marker);
  display.SpriteRect = Rect{0, 0, 4, 3};
  ASSERT_EQ(display.BltFast(100, 100, black_keyed), 0);
  EXPECT_EQ(display.PixelRgb(100, 100), AsStored(display, marker)) << "black is transparent";
  EXPECT_EQ(display.PixelRgb(103, 100), AsStored(display, 0xFFFFFF)) << "white is drawn";
  EXPECT_EQ(display.PixelRgb(101, 101), body);
  ASSERT_EQ(display.BltFast(200, 200, white_keyed), 0);
  EXPECT_EQ(display.PixelRgb(200, 200), 0u) << "black is drawn";
  EXPECT_EQ(display.PixelRgb(203, 200), AsStored(display, marker)) << "white is transparent";
  EXPECT_EQ(display.PixelRgb(202, 202), body);
}

TEST_P(DisplayTest, BlitsThatDoNotFitWhollyDrawNothing) {
  struct Case {
    const char* what;
    Rect src;
    int x, y;
    bool drawn;
  } cases[] = {
      {"whole sprite inside", {0, 0, 4, 3}, 10, 10, true},
      {"touching the bottom-right corner", {0, 0, 4, 3}, 796, 597, true},
      {"one pixel past the right edge", {0, 0, 4, 3}, 797, 10, false},
      {"one pixel past the bottom edge", {0, 0, 4, 3}, 10, 598, false},
      {"left of the screen", {0, 0, 4, 3}, -1, 10, false},
      {"above the screen", {0, 0, 4, 3}, 10, -1, false},
      {"negative Top (a blank glyph)", {0, -3, 4, 0}, 10, 10, false},
      {"source wider than the sprite", {0, 0, 5, 3}, 10, 10, false},
      {"source below the sprite", {0, 3, 4, 6}, 10, 10, false},
      {"zero height", {0, 2, 4, 2}, 10, 10, false},
      {"negative width", {3, 0, 1, 3}, 10, 10, false},
      {"part of the sprite", {1, 1, 3, 3}, 10, 10, true},
  };
  for (const Case& c : cases) {
    Paint(0x808080);
    display.SpriteRect = c.src;
    const int status = display.BltFast(c.x, c.y, black_keyed);
    EXPECT_EQ(status == 0, c.drawn) << c.what;
    EXPECT_EQ(CountColour(0x3060C0) > 0, c.drawn) << c.what;
  }
}

INSTANTIATE_TEST_SUITE_P(BothDepths, DisplayTest, ::testing::Values(16, 32),
                         [](const auto& param_info) {
                           return std::to_string(param_info.param) + "bpp";
                         });

TEST(DisplayLoad, NearWhiteIsTransparentIn16BitsOnlyWhereItBecomesWhite) {
  // 5-6-5 cannot tell 0xFAFEFA from white; 32 bits can.
  StartFolder folder;
  const auto path = folder.path() / "nearwhite.bmp";
  WriteBmp24(path, 1, 1, [](int, int) { return 0xFAFEFAu; });
  for (int depth : {16, 32}) {
    DisplayDevice d;
    d.InitOffscreen(800, 600, depth);
    SpriteSurface s = d.LoadSurface(path.string(), kKeyWhite);
    d.ClearSurface();
    d.SpriteRect = Rect{0, 0, 1, 1};
    d.BltFast(0, 0, s);
    EXPECT_EQ(d.PixelRgb(0, 0) == 0, depth == 16) << depth << " bits";
  }
}

TEST(DisplayLoad, BrokenOrMissingFilesNameTheFile) {
  StartFolder folder;
  DisplayDevice d;
  d.InitOffscreen(800, 600, 32);
  const auto missing = (folder.path() / "missing.bmp").string();
  try {
    d.LoadSurface(missing, kKeyBlack);
    ADD_FAILURE() << "a missing file loaded";
  } catch (const DisplayError& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
  const auto text = folder.path() / "text.bmp";
  std::ofstream(text) << "not a bitmap at all";
  try {
    d.LoadSurface(text.string(), kKeyBlack);
    ADD_FAILURE() << "a text file loaded";
  } catch (const DisplayError& e) {
    EXPECT_NE(std::string(e.what()).find(text.string()), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace tavrik
