// Surfaces of the display layer: the back buffer, sprites loaded from bitmaps, the clear and the
// colour-keyed fast blit.
#include <SDL.h>

#include <cstdint>
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

SpriteSurface& SpriteSurface::operator=(SpriteSurface&& other) noexcept {
  if (this != &other) {
    SDL_FreeSurface(surface_);
    surface_ = other.surface_;
    other.surface_ = nullptr;
  }
  return *this;
}

SpriteSurface::~SpriteSurface() {
  SDL_FreeSurface(surface_);
}

int SpriteSurface::Width() const {
  return surface_ ? surface_->w : 0;
}
int SpriteSurface::Height() const {
  return surface_ ? surface_->h : 0;
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
  // Run-length encoding lets the blit skip transparent runs instead of testing every pixel.
  if (SDL_SetColorKey(sprite, SDL_TRUE, key) != 0 || SDL_SetSurfaceRLE(sprite, 1) != 0) {
    std::string cause = SDL_GetError();
    SDL_FreeSurface(sprite);
    throw DisplayError(path + ": cannot set the colour key: " + cause);
  }
  return SpriteSurface(sprite);
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
  SDL_Rect src{r.Left, r.Top, static_cast<int>(w), static_cast<int>(h)};
  SDL_Rect dst{x, y, static_cast<int>(w), static_cast<int>(h)};
  // Both rectangles are known to lie inside their surfaces, so the clipping pass of
  // SDL_BlitSurface has nothing to do and is skipped.
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
