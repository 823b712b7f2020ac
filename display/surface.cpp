// Surfaces of the display layer: the back buffer, sprites loaded from bitmaps, the clear and the
// colour-keyed fast blit.
#include <SDL.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "display/bmp.h"
#include "display/display.h"

namespace tavrik {
namespace {

Uint32 FormatForDepth(int bits_per_pixel) {
  // 16 bits: 5-6-5, as the full-screen 16-bit modes of the time; 32 bits: 8-8-8 with padding.
  return bits_per_pixel == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
}

}  // namespace

// Every source rectangle a sprite is blitted with becomes a surface of its own (a cell) holding
// just those pixels, with the sprite's key and run-length encoding. SDL's run-length blit of a
// rectangle inside a larger sprite walks the encoded runs of every row above the rectangle and of
// the whole width of every row it covers, so one glyph cut from the font strip, or one column of
// the indicator, cost nearly as much as the strip or the whole indicator; a cell is blitted whole
// and costs only its own runs. The cell holds the same pixel values under the same key, so the
// back buffer ends up exactly as a blit from the sprite would leave it.
//
// The cells are bounded: when they would hold more than twice the sprite's own pixel bytes (the
// indicator's fill is cut at a new height for every hit count), they are all dropped and made
// again as they are needed.
struct SpriteCells {
  Uint32 key = 0;
  std::size_t budget = 0;  // bytes of cell pixels allowed, before encoding
  std::size_t bytes = 0;
  std::map<std::array<std::int32_t, 4>, SDL_Surface*> cells;

  ~SpriteCells() { Clear(); }
  void Clear() {
    for (auto& cell : cells) SDL_FreeSurface(cell.second);
    cells.clear();
    bytes = 0;
  }
};

SpriteSurface::SpriteSurface() = default;

SpriteSurface::SpriteSurface(SDL_Surface* surface, std::uint32_t key)
    : surface_(surface), cells_(std::make_unique<SpriteCells>()) {
  cells_->key = key;
  cells_->budget = 2 * static_cast<std::size_t>(surface->pitch) * surface->h;
}

SpriteSurface::SpriteSurface(SpriteSurface&& other) noexcept
    : surface_(other.surface_), cells_(std::move(other.cells_)) {
  other.surface_ = nullptr;
}

SpriteSurface& SpriteSurface::operator=(SpriteSurface&& other) noexcept {
  if (this != &other) {
    cells_ = std::move(other.cells_);
    SDL_FreeSurface(surface_);
    surface_ = other.surface_;
    other.surface_ = nullptr;
  }
  return *this;
}

SpriteSurface::~SpriteSurface() {
  cells_.reset();
  SDL_FreeSurface(surface_);
}

int SpriteSurface::Width() const {
  return surface_ ? surface_->w : 0;
}
int SpriteSurface::Height() const {
  return surface_ ? surface_->h : 0;
}

SDL_Surface* SpriteSurface::Cell(const Rect& r) const {
  if (!cells_) return nullptr;
  const std::array<std::int32_t, 4> id{r.Left, r.Top, r.Right, r.Bottom};
  const auto found = cells_->cells.find(id);
  if (found != cells_->cells.end()) return found->second;

  const int w = r.Right - r.Left, h = r.Bottom - r.Top;
  const int bytes_per_pixel = surface_->format->BytesPerPixel;
  const std::size_t size = static_cast<std::size_t>(w) * h * bytes_per_pixel;
  if (cells_->bytes + size > cells_->budget) cells_->Clear();
  SDL_Surface* cell = SDL_CreateRGBSurfaceWithFormat(0, w, h, surface_->format->BitsPerPixel,
                                                     surface_->format->format);
  if (!cell) return nullptr;
  const auto* from = static_cast<const std::uint8_t*>(surface_->pixels) +
                     static_cast<std::size_t>(r.Top) * surface_->pitch +
                     static_cast<std::size_t>(r.Left) * bytes_per_pixel;
  auto* to = static_cast<std::uint8_t*>(cell->pixels);
  for (int y = 0; y < h; ++y) {
    std::memcpy(to + static_cast<std::size_t>(y) * cell->pitch,
                from + static_cast<std::size_t>(y) * surface_->pitch,
                static_cast<std::size_t>(w) * bytes_per_pixel);
  }
  if (SDL_SetColorKey(cell, SDL_TRUE, cells_->key) != 0 || SDL_SetSurfaceRLE(cell, 1) != 0) {
    SDL_FreeSurface(cell);
    return nullptr;
  }
  cells_->cells.emplace(id, cell);
  cells_->bytes += size;
  return cell;
}

void DisplayDevice::CreateBackBuffer(int width, int height, int bits_per_pixel) {
  if (bits_per_pixel != 16 && bits_per_pixel != 32) {
    throw DisplayError("display: " + std::to_string(bits_per_pixel) +
                       " bits per pixel is not supported (16 or 32)");
  }
  SDL_FreeSurface(back_buffer_);
  back_buffer_ = SDL_CreateRGBSurfaceWithFormat(0, width, height, bits_per_pixel,
                                                FormatForDepth(bits_per_pixel));
  if (!back_buffer_) {
    throw DisplayError(std::string("display: cannot create the back buffer: ") + SDL_GetError());
  }
  width_ = width;
  height_ = height;
  bits_per_pixel_ = bits_per_pixel;
}

void DisplayDevice::InitOffscreen(int width, int height, int bits_per_pixel) {
  CreateBackBuffer(width, height, bits_per_pixel);
}

SpriteSurface DisplayDevice::LoadSurface(const std::string& path, std::uint32_t color_key) const {
  DecodedBitmap bitmap;
  std::string error;
  if (!LoadBmpFile(path, bitmap, error)) throw DisplayError(path + ": " + error);

  SDL_Surface* wrapped =
      SDL_CreateRGBSurfaceWithFormatFrom(bitmap.pixels.data(), bitmap.width, bitmap.height, 32,
                                         bitmap.width * 4, SDL_PIXELFORMAT_RGB888);
  if (!wrapped) throw DisplayError(path + ": cannot make a surface: " + SDL_GetError());
  // The conversion to the back buffer's format happens once, here, never per frame.
  SDL_Surface* sprite = SDL_ConvertSurface(wrapped, back_buffer_->format, 0);
  SDL_FreeSurface(wrapped);
  if (!sprite) throw DisplayError(path + ": cannot convert the bitmap: " + SDL_GetError());

  // The key is mapped like any pixel, so in 16 bits white is the 5-6-5 white that a white
  // pixel of the bitmap turns into.
  const Uint32 key = SDL_MapRGB(sprite->format, (color_key >> 16) & 0xFF, (color_key >> 8) & 0xFF,
                                color_key & 0xFF);
  // The sprite itself stays unencoded, so that its cells can be copied out of it; the cells are
  // run-length encoded (see SpriteCells).
  if (SDL_SetColorKey(sprite, SDL_TRUE, key) != 0) {
    std::string cause = SDL_GetError();
    SDL_FreeSurface(sprite);
    throw DisplayError(path + ": cannot set the colour key: " + cause);
  }
  return SpriteSurface(sprite, key);
}

void DisplayDevice::ClearSurface() {
  SpriteRect = Rect{0, 0, back_buffer_->w, back_buffer_->h};
  SDL_FillRect(back_buffer_, nullptr, 0);
}

int DisplayDevice::BltFast(std::int32_t x, std::int32_t y, const SpriteSurface& sprite) {
  const Rect& r = SpriteRect;
  const std::int64_t w = static_cast<std::int64_t>(r.Right) - r.Left;
  const std::int64_t h = static_cast<std::int64_t>(r.Bottom) - r.Top;
  if (!sprite.Get() || w <= 0 || h <= 0) return -1;
  if (r.Left < 0 || r.Top < 0 || r.Right > sprite.Width() || r.Bottom > sprite.Height()) return -1;
  if (x < 0 || y < 0 || x + w > back_buffer_->w || y + h > back_buffer_->h) return -1;
  SDL_Rect dst{x, y, static_cast<int>(w), static_cast<int>(h)};
  // Both rectangles are known to lie inside their surfaces, so the clipping pass of
  // SDL_BlitSurface has nothing to do and is skipped.
  if (SDL_Surface* cell = sprite.Cell(r)) {
    SDL_Rect whole{0, 0, static_cast<int>(w), static_cast<int>(h)};
    return SDL_LowerBlit(cell, &whole, back_buffer_, &dst) == 0 ? 0 : -1;
  }
  SDL_Rect src{r.Left, r.Top, static_cast<int>(w), static_cast<int>(h)};
  return SDL_LowerBlit(sprite.Get(), &src, back_buffer_, &dst) == 0 ? 0 : -1;
}

std::uint32_t DisplayDevice::PixelRgb(int x, int y) const {
  if (!back_buffer_ || x < 0 || y < 0 || x >= back_buffer_->w || y >= back_buffer_->h) return 0;
  const auto* row =
      static_cast<const std::uint8_t*>(back_buffer_->pixels) + y * back_buffer_->pitch;
  Uint32 value = 0;
  if (back_buffer_->format->BytesPerPixel == 2) {
    value = reinterpret_cast<const Uint16*>(row)[x];
  } else {
    value = reinterpret_cast<const Uint32*>(row)[x];
  }
  Uint8 red = 0, green = 0, blue = 0;
  SDL_GetRGB(value, back_buffer_->format, &red, &green, &blue);
  return (static_cast<std::uint32_t>(red) << 16) | (static_cast<std::uint32_t>(green) << 8) | blue;
}

}  // namespace tavrik
