// The screen side of the display layer: the full-screen window and the flip.
//
// Today's monitors rarely offer 800 by 600, and switching modes is rude to the desktop, so the
// window covers the whole screen at the desktop's own mode and the back buffer is scaled to fit
// with its aspect kept (black bars fill the rest). SDL maps mouse positions back into the
// 800 by 600 image, so the program sees its own pixels either way.
#include <SDL.h>

#include <cstdio>
#include <string>

#include "display/display.h"

namespace tavrik {

DisplayDevice::~DisplayDevice() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
  SDL_FreeSurface(back_buffer_);
  if (video_started_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void DisplayDevice::InitDisplay(int width, int height, int bits_per_pixel) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    throw DisplayError(std::string("display: no video device: ") + SDL_GetError());
  }
  video_started_ = true;
  CreateBackBuffer(width, height, bits_per_pixel);

  // Smooth scaling keeps the bitmap font legible at the odd scale factors of wide screens.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  // The program owns the screen: it must not vanish to the desktop when focus wavers.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // Created over the whole first display, so that the window covers the screen even where no
  // window manager carries out the full-screen request (a bare X server).
  SDL_Rect bounds{0, 0, width, height};
  SDL_GetDisplayBounds(0, &bounds);
  window_ = SDL_CreateWindow("Tavrik", bounds.x, bounds.y, bounds.w, bounds.h,
                             SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
  if (!window_) {
    throw DisplayError(std::string("display: cannot take the screen: ") + SDL_GetError());
  }
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
  if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (!renderer_) {
    throw DisplayError(std::string("display: cannot create a renderer: ") + SDL_GetError());
  }
  if (SDL_RenderSetLogicalSize(renderer_, width, height) != 0) {
    throw DisplayError(std::string("display: cannot scale the image: ") + SDL_GetError());
  }
  texture_ = SDL_CreateTexture(renderer_, back_buffer_->format->format, SDL_TEXTUREACCESS_STREAMING,
                               width, height);
  if (!texture_) {
    throw DisplayError(std::string("display: cannot create the screen texture: ") + SDL_GetError());
  }

  SDL_DisplayMode mode{};
  const int index = SDL_GetWindowDisplayIndex(window_);
  double hz = 0;
  if (index >= 0 && SDL_GetCurrentDisplayMode(index, &mode) == 0) hz = mode.refresh_rate;
  pacer_.Start(hz);
}

void DisplayDevice::Flip() {
  if (!renderer_) return;  // offscreen: nothing to show
  if (SDL_UpdateTexture(texture_, nullptr, back_buffer_->pixels, back_buffer_->pitch) != 0 ||
      SDL_RenderClear(renderer_) != 0 ||
      SDL_RenderCopy(renderer_, texture_, nullptr, nullptr) != 0) {
    throw DisplayError(std::string("display: cannot show the frame: ") + SDL_GetError());
  }
  const FramePacer::Mode before = pacer_.mode();
  pacer_.BeforePresent();
  SDL_RenderPresent(renderer_);
  pacer_.AfterPresent();
  if (pacer_.mode() != before) {
    std::fprintf(stderr, "%s\n", pacer_.Describe().c_str());
    // From now on the timer alone holds the frames; a driver's own irregular waits would only
    // add their jitter to it.
    if (pacer_.mode() == FramePacer::Mode::kTimer) SDL_RenderSetVSync(renderer_, 0);
  }
}

}  // namespace tavrik
