// Waiting for screens and comparing them with the expected ones.
#include "screens.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <SDL.h>

#include "failure.h"

namespace e2e {

void Pause(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

Placement Placement::ForScreen(int screen_width, int screen_height) {
  // The layout of SDL's logical size: the scale of the tighter side, the image centred along
  // the other, its size rounded down.
  Placement p;
  const double want = 800.0 / 600.0;
  const double real = static_cast<double>(screen_width) / screen_height;
  if (std::fabs(want - real) < 0.0001) {
    p.scale = static_cast<double>(screen_width) / 800;
    p.w = screen_width;
    p.h = screen_height;
  } else if (want > real) {
    p.scale = static_cast<double>(screen_width) / 800;
    p.w = screen_width;
    p.h = static_cast<int>(std::floor(600 * p.scale));
    p.y = (screen_height - p.h) / 2;
  } else {
    p.scale = static_cast<double>(screen_height) / 600;
    p.h = screen_height;
    p.w = static_cast<int>(std::floor(800 * p.scale));
    p.x = (screen_width - p.w) / 2;
  }
  return p;
}

int Placement::ScreenX(double image_x) const {
  return x + static_cast<int>(std::floor((image_x + 0.5) * scale));
}
int Placement::ScreenY(double image_y) const {
  return y + static_cast<int>(std::floor((image_y + 0.5) * scale));
}

Box Placement::ScreenBox(const Box& b) const {
  const int left = x + static_cast<int>(std::floor(b.x * scale));
  const int top = y + static_cast<int>(std::floor(b.y * scale));
  const int right = x + static_cast<int>(std::ceil(b.Right() * scale));
  const int bottom = y + static_cast<int>(std::ceil(b.Bottom() * scale));
  return Box{left, top, right - left, bottom - top};
}

Image PlaceOnScreen(const Image& image, const Placement& p, int screen_width, int screen_height) {
  Image out(screen_width, screen_height);
  for (int sy = p.y; sy < p.y + p.h; ++sy) {
    const double v = std::clamp((sy - p.y + 0.5) / p.scale - 0.5, 0.0, image.height - 1.0);
    const int y0 = static_cast<int>(v);
    const int y1 = std::min(y0 + 1, image.height - 1);
    const double fy = v - y0;
    for (int sx = p.x; sx < p.x + p.w; ++sx) {
      const double u = std::clamp((sx - p.x + 0.5) / p.scale - 0.5, 0.0, image.width - 1.0);
      const int x0 = static_cast<int>(u);
      const int x1 = std::min(x0 + 1, image.width - 1);
      const double fx = u - x0;
      std::uint32_t c = 0;
      for (int shift = 16; shift >= 0; shift -= 8) {
        auto ch = [&](int xx, int yy) {
          return static_cast<double>((image.At(xx, yy) >> shift) & 0xFF);
        };
        const double top = ch(x0, y0) * (1 - fx) + ch(x1, y0) * fx;
        const double bottom = ch(x0, y1) * (1 - fx) + ch(x1, y1) * fx;
        const int value = static_cast<int>(std::lround(top * (1 - fy) + bottom * fy));
        c |= static_cast<std::uint32_t>(std::clamp(value, 0, 255)) << shift;
      }
      out.At(sx, sy) = c;
    }
  }
  return out;
}

Image PlaceOnScreenSdl(const Image& image, const Placement& p, int screen_width,
                       int screen_height) {
  SDL_Surface* src =
      SDL_CreateRGBSurfaceWithFormat(0, image.width, image.height, 32, SDL_PIXELFORMAT_RGB888);
  SDL_Surface* dst =
      SDL_CreateRGBSurfaceWithFormat(0, screen_width, screen_height, 32, SDL_PIXELFORMAT_RGB888);
  if (!src || !dst) throw Failure(std::string("cannot make surfaces: ") + SDL_GetError());
  for (int y = 0; y < image.height; ++y) {
    auto* row =
        reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(src->pixels) + y * src->pitch);
    for (int x = 0; x < image.width; ++x) row[x] = image.At(x, y);
  }
  SDL_FillRect(dst, nullptr, 0);
  SDL_Rect rect{p.x, p.y, p.w, p.h};
  if (SDL_SoftStretchLinear(src, nullptr, dst, &rect) != 0) {
    throw Failure(std::string("cannot scale the expected image: ") + SDL_GetError());
  }
  Image out(screen_width, screen_height);
  for (int y = 0; y < screen_height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(
        static_cast<const std::uint8_t*>(dst->pixels) + y * dst->pitch);
    for (int x = 0; x < screen_width; ++x) out.At(x, y) = row[x] & 0xFFFFFFu;
  }
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
  return out;
}

std::vector<Image> Screens::Placed(const Image& expected) const {
  if (placement_.OneToOne()) return {expected};
  // The display scales with OpenGL's bilinear filter on a graphics device and with SDL's own
  // linear stretch in software; either may be on the screen.
  // SDL's software renderer may also make the image a pixel narrower or lower than the exact
  // product of the scale (959 rather than 960 at 1.2).
  std::vector<Image> placed{
      PlaceOnScreen(expected, placement_, x_.ScreenWidth(), x_.ScreenHeight())};
  for (int dh = 0; dh <= 1; ++dh) {
    for (int dw = 0; dw <= 1; ++dw) {
      Placement p = placement_;
      p.w -= dw;
      p.h -= dh;
      placed.push_back(PlaceOnScreenSdl(expected, p, x_.ScreenWidth(), x_.ScreenHeight()));
    }
  }
  return placed;
}

Screens::Screens(XSession& x, Reference& reference, Program& program, std::string artifacts_dir)
    : x_(x),
      reference_(reference),
      program_(program),
      artifacts_(std::move(artifacts_dir)),
      placement_(Placement::ForScreen(x.ScreenWidth(), x.ScreenHeight())) {}

int Screens::ComparisonTolerance() const {
  // Scaled, the display's filtering and PlaceOnScreen's agree to a unit or two; a glyph out of
  // place differs by far more.
  return placement_.OneToOne() ? Tolerance() : Tolerance() + 12;
}

bool Screens::Acceptable(const Difference& d) const {
  // Scaled, a handful of pixels may round the other way where edges meet exactly.
  return placement_.OneToOne() ? d.Same() : d.count <= 8;
}

bool Screens::Matches(const Image& screen, const Image& expected, const Box& box) const {
  if (placement_.OneToOne()) return Acceptable(Compare(screen, expected, box, Tolerance()));
  for (const Image& placed : Placed(expected)) {
    if (Acceptable(Compare(screen, placed, placement_.ScreenBox(box), ComparisonTolerance()))) {
      return true;
    }
  }
  return false;
}

Image Screens::WaitForAny(const std::vector<Image>& expected, const std::string& what,
                          double timeout, const Box& box) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
  std::vector<Image> placed;
  for (const Image& e : expected) {
    for (Image& p : Placed(e)) placed.push_back(std::move(p));
  }
  const Box sbox = placement_.ScreenBox(box);
  Image screen;
  for (;;) {
    program_.CheckRunning("while the test waited for " + what);
    screen = Grab();
    for (const Image& p : placed) {
      if (Acceptable(Compare(screen, p, sbox, ComparisonTolerance()))) return screen;
    }
    if (std::chrono::steady_clock::now() > until) break;
    Pause(0.02);
  }
  const int tolerance = ComparisonTolerance();
  const Difference d = Compare(screen, placed.front(), sbox, tolerance);
  std::string name = std::to_string(++mismatch_count_) + "-";
  for (char c : what) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  const std::string files = SaveMismatch(screen, placed.front(), artifacts_, name, tolerance);
  throw Failure("the screen did not show " + what + " within " + std::to_string(timeout) +
                " s: in " + sbox.Str() + " of the screen " + d.Str() +
                (placement_.OneToOne() ? "" : " (scaled comparison)") + "; saved " + files);
}

Image Screens::GrabBox(const Box& box) {
  const Image part = x_.Grab(box);
  Image screen(x_.ScreenWidth(), x_.ScreenHeight());
  for (int y = 0; y < part.height; ++y) {
    for (int x = 0; x < part.width; ++x) screen.At(box.x + x, box.y + y) = part.At(x, y);
  }
  return screen;
}

void Screens::Screenshot(const Image& screen, const std::string& name) const {
  const char* dir = std::getenv("TAVRIK_SCREENSHOTS");
  if (!dir || !*dir) return;
  std::filesystem::create_directories(dir);
  const std::string path = std::string(dir) + "/" + name + ".png";
  if (SavePng(screen, path)) {
    Log("screenshot " + path);
  } else {
    Log("screenshot " + name + " skipped: ImageMagick's convert is not available");
  }
}

}  // namespace e2e
