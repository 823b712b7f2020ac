// The sprite catalogue: the seven bitmaps of the program's "Графика" folder, each with the
// sprite of the form it becomes, its transparent colour, and how its measured height and width
// become the sizes the frames are cut by. Start-up loads the sprites from it; the graphics
// generator (tools/make_graphics) draws and checks the same seven files.
#pragma once

#include <array>
#include <cstdint>

#include "shell/form.h"

namespace tavrik {

struct CatalogueRow {
  const char* file;
  SpriteSurface Form1::*sprite;
  std::uint32_t key;
  void (*store)(SessionState& s, Single height, Single width);
};

constexpr int kCatalogueSize = 7;

// In the order start-up loads them: pointer, strip, indicators, ball, buttons, frames, font.
extern const std::array<CatalogueRow, kCatalogueSize> kCatalogue;

}  // namespace tavrik
