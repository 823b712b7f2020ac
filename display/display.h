// The display layer: an 800 by 600 back buffer in the deliverable's depth, sprite surfaces
// loaded from Windows bitmaps with one transparent pixel value, the clear, the colour-keyed fast
// blit with its all-or-nothing rules, and the flip paced by the display.
//
// The back buffer and the sprites are plain SDL surfaces in memory, so everything but the flip
// works without a window (tests and benchmarks use InitOffscreen). The flip scales the image to
// the whole screen with its aspect kept; see frame_pacer.h for how it keeps time.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "display/frame_pacer.h"

struct SDL_Surface;
struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace tavrik {

// The one source rectangle every blit reads. Right and Bottom are exclusive.
struct Rect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
};

// A failure the program cannot go on from (display refused, bitmap missing or broken). The
// message names what failed and why; the caller shows it and ends the program.
class DisplayError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Colour keys the program uses.
constexpr std::uint32_t kKeyBlack = 0x000000;
constexpr std::uint32_t kKeyWhite = 0xFFFFFF;

struct SpriteCells;

// One bitmap converted to the back buffer's format, with its source colour key set, and the
// run-length encoded cells that blits cut from it (see surface.cpp).
class SpriteSurface {
 public:
  SpriteSurface();
  // Takes ownership of `surface`, whose colour key is `key` (a pixel value of its format).
  SpriteSurface(SDL_Surface* surface, std::uint32_t key);
  SpriteSurface(SpriteSurface&& other) noexcept;
  SpriteSurface& operator=(SpriteSurface&& other) noexcept;
  SpriteSurface(const SpriteSurface&) = delete;
  SpriteSurface& operator=(const SpriteSurface&) = delete;
  ~SpriteSurface();

  int Width() const;
  int Height() const;
  SDL_Surface* Get() const { return surface_; }

  // The cell of `r` (which must lie inside the sprite), made on first use; null when it cannot
  // be made, and the caller blits from the sprite itself.
  SDL_Surface* Cell(const Rect& r) const;

 private:
  SDL_Surface* surface_ = nullptr;
  std::unique_ptr<SpriteCells> cells_;
};

class DisplayDevice {
 public:
  DisplayDevice() = default;
  DisplayDevice(const DisplayDevice&) = delete;
  DisplayDevice& operator=(const DisplayDevice&) = delete;
  ~DisplayDevice();

  // Read by every blit; written in full by each caller just before its blit, and by the clear.
  Rect SpriteRect;

  // Takes the whole screen: a full-screen window showing the back buffer scaled to fit with its
  // aspect kept. Throws DisplayError when the video system or the window cannot be had.
  void InitDisplay(int width, int height, int bits_per_pixel);

  // Only the back buffer, no window: for tests and benchmarks. Throws DisplayError.
  void InitOffscreen(int width, int height, int bits_per_pixel);

  // Loads a Windows bitmap into a sprite surface in the back buffer's format. `color_key` is
  // 0xRRGGBB; pixels that convert to the same value as the key are transparent. Throws
  // DisplayError naming the file and the cause.
  SpriteSurface LoadSurface(const std::string& path, std::uint32_t color_key) const;

  // Fills the whole back buffer with black and leaves SpriteRect = (0, 0, width, height).
  void ClearSurface();

  // Copies SpriteRect of `sprite` to (x, y) of the back buffer, leaving out the key colour.
  // Draws nothing at all, and returns -1, unless the source rectangle lies wholly inside the
  // sprite with a positive size and the destination lies wholly inside the back buffer: there is
  // no clipping. Returns 0 when drawn.
  int BltFast(std::int32_t x, std::int32_t y, const SpriteSurface& sprite);

  // Shows the back buffer at the display's next refresh, or at the next tick of the pacer where
  // the driver does not wait for the refresh. While it waits for that tick, SDL keeps queueing
  // the input that arrives (nothing is handled), so that key presses are stamped as they come.
  void Flip();

  SDL_Surface* BackBuffer() const { return back_buffer_; }
  SDL_Window* Window() const { return window_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bits_per_pixel_; }
  const FramePacer& Pacer() const { return pacer_; }

  // The back buffer's pixel at (x, y) as 0xRRGGBB (16-bit values widened by replicating bits).
  std::uint32_t PixelRgb(int x, int y) const;

 private:
  void CreateBackBuffer(int width, int height, int bits_per_pixel);

  int width_ = 0;
  int height_ = 0;
  int bits_per_pixel_ = 0;
  SDL_Surface* back_buffer_ = nullptr;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  bool video_started_ = false;
  FramePacer pacer_;
};

}  // namespace tavrik
