// The screen side of the display layer: the full-screen window and the flip.
//
// Today's monitors rarely offer 800 by 600, and switching modes is rude to the desktop, so the
// window covers the whole screen at the desktop's own mode, unless that mode cannot show 60
// frames a second (display_mode.h), and the back buffer is scaled to fit with its aspect kept
// (black bars fill the rest). SDL maps mouse positions back into the 800 by 600 image, so the
// program sees its own pixels either way.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "display/display.h"
#include "display/display_mode.h"
#include "display/graphics_device.h"
#include "display/input_wait.h"
#include "display/window_manager.h"

namespace tavrik {
namespace {

// OpenGL without a graphics device (graphics_device.h) is a software rasteriser (a virtual X
// server, a machine without a GPU). It scales the frame on the processor at ten times the cost of
// SDL's own software renderer, starts half a second slower and takes 90 MB more, and its imitation
// of vertical sync is no clock anyway.
bool IsSoftwareGl(SDL_Renderer* renderer) {
  SDL_RendererInfo info{};
  if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0) {
    return false;
  }
  using GetString = const unsigned char* (*)(unsigned int);
  const auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (!get_string) return false;
  const auto* name = reinterpret_cast<const char*>(get_string(0x1F01));  // GL_RENDERER
  if (!name) return false;
  for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
    if (std::strstr(name, soft)) return true;
  }
  return false;
}

int SoftwareRendererIndex() {
  for (int i = 0; i < SDL_GetNumRenderDrivers(); ++i) {
    SDL_RendererInfo info{};
    if (SDL_GetRenderDriverInfo(i, &info) == 0 && std::strcmp(info.name, "software") == 0) {
      return i;
    }
  }
  return -1;
}

// The GPU's renderer with vertical sync where there is a GPU; SDL's software renderer where
// there is none. SDL_RENDER_DRIVER, when set, decides instead.
SDL_Renderer* CreateRenderer(SDL_Window* window) {
  const bool chosen_by_user = SDL_GetHint(SDL_HINT_RENDER_DRIVER) != nullptr;
  bool software = !chosen_by_user && !HasGraphicsDevice();
  SDL_Renderer* renderer = nullptr;
  if (!software) {
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, 0);
    if (renderer && !chosen_by_user && IsSoftwareGl(renderer)) {
      SDL_DestroyRenderer(renderer);
      renderer = nullptr;
      software = true;
    }
  }
  if (software) {
    // Straight to the X server's shared memory, not through OpenGL again.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    renderer = SDL_CreateRenderer(window, SoftwareRendererIndex(), 0);
  }
  return renderer;
}

}  // namespace

DisplayDevice::~DisplayDevice() {
  RestoreDesktopMode();  // display mode: the desktop's own mode back
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
  // With no X server and no Wayland compositor SDL falls back to drawing into memory, and the
  // program would run on, invisible, for ever.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!SDL_getenv("SDL_VIDEODRIVER") && driver &&
      (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
    throw DisplayError(
        "display: no display to show the program on (no X server or Wayland compositor "
        "answered; is DISPLAY set?)");
  }
  CreateBackBuffer(width, height, bits_per_pixel);

  // Smooth scaling keeps the bitmap font legible at the odd scale factors of wide screens.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  // The program owns the screen: it must not vanish to the desktop when focus wavers.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // Created over the whole first display, so that the window covers the screen even where no
  // window manager carries out the full-screen request (a bare X server).
  SDL_Rect bounds{0, 0, width, height};
  SDL_GetDisplayBounds(0, &bounds);
  window_ =
      SDL_CreateWindow("Tavrik", bounds.x, bounds.y, bounds.w, bounds.h, SDL_WINDOW_BORDERLESS);
  if (!window_) {
    throw DisplayError(std::string("display: cannot take the screen: ") + SDL_GetError());
  }
  // A window manager is asked to give the window the whole screen, above its panels. A bare X
  // server has nobody to ask, and SDL would wait a tenth of a second for an answer in vain.
  // Display mode: a mode at 60 Hz instead of the desktop's, where that is what it takes to show
  // 60 frames a second (display_mode.h).
  const DisplayPlan plan = TakeDisplayAt60(window_, HasWindowManager(window_));
  renderer_ = CreateRenderer(window_);
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
  pacer_ = FramePacer(MonotonicNowNs, InputTakingSleep(window_));
  pacer_.Start(hz, plan.refreshes_per_frame);  // display mode: refreshes per frame
}

void DisplayDevice::Flip() {
  if (!renderer_) return;  // offscreen: nothing to show
  // The upload and the scaling are done before the pacer's wait, so that after the wake-up only
  // the present is left. SDL queues draws when it picks the renderer itself (the GPU's) and
  // would otherwise carry them out inside the present; the flush makes them run now.
  if (SDL_UpdateTexture(texture_, nullptr, back_buffer_->pixels, back_buffer_->pitch) != 0 ||
      SDL_RenderClear(renderer_) != 0 ||
      SDL_RenderCopy(renderer_, texture_, nullptr, nullptr) != 0 ||
      SDL_RenderFlush(renderer_) != 0) {
    throw DisplayError(std::string("display: cannot show the frame: ") + SDL_GetError());
  }
  const FramePacer::Mode before = pacer_.mode();
  pacer_.BeforePresent();
  SDL_RenderPresent(renderer_);
  // Display mode: a frame held for several refreshes is presented once a refresh. The back
  // buffer is undefined after a present, so the frame is drawn from the texture again.
  for (int i = 1; i < pacer_.presents_per_frame(); ++i) {
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }
  pacer_.AfterPresent();
  ForwardEndSignal();  // display mode: SIGTERM, SIGINT, SIGHUP end the program the ordinary way
  if (pacer_.mode() != before) {
    std::fprintf(stderr, "%s\n", pacer_.Describe().c_str());
    // From now on the timer alone holds the frames; a driver's own irregular waits would only
    // add their jitter to it.
    if (pacer_.mode() == FramePacer::Mode::kTimer) SDL_RenderSetVSync(renderer_, 0);
  }
}

}  // namespace tavrik
