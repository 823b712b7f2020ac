// make_graphics: draws the seven bitmaps that ship with the reaction tester (pointer, strip,
// indicators, ball, menu buttons, target frames, font strip) and writes them as 24-bit Windows
// bitmaps. The shapes are drawn from distance functions with one pixel of antialiasing; the
// letters come from the DejaVu fonts through FreeType, placed in the font strip where the
// program's text renderer looks for them. The output is deterministic, so the committed bitmaps
// can be checked against a fresh run.
//
// Everything else is the program's own: the previews are frames that the program composes
// offscreen after starting on the new set, and the check reads the committed bitmaps with the
// program's decoder and lets the program blit them. So a change to the program's screens shows
// in the previews at once, and nothing here has to be kept in step with it.
//
//   make_graphics <folder>             writes the seven bitmaps into <folder>
//   make_graphics --preview <folder>   also writes every screen as the program composes it, at
//                                      32 and at 16 bits per pixel (preview-*.bmp)
//   make_graphics --check <folder>     checks the bitmaps in <folder>: sizes, margins from the
//                                      colour keys, that they are what two agreeing runs of the
//                                      generator draw, and that the program shows every pixel
//                                      as drawn at both depths
#include <SDL.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "codepage/cp1251.h"
#include "display/bmp.h"
#include "display/display.h"
#include "engine/session_state.h"
#include "shell/frame.h"
#include "shell/sprite_catalogue.h"
#include "shell/startup.h"
#include "shell/text.h"
#include "testkit/bmp_writer.h"
#include "testkit/folders.h"

namespace tavrik {
namespace {

constexpr const char* kMonoBoldFont = TAVRIK_FONT_DIR "/DejaVuSansMono-Bold.ttf";
constexpr const char* kSansBoldFont = TAVRIK_FONT_DIR "/DejaVuSans-Bold.ttf";
constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------------------------------------
// Pixels and colours

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// Colours are mixed in floating point, 0..255 per channel, and rounded once when stored.
struct Col {
  double r = 0, g = 0, b = 0;
};

Col operator*(Col c, double k) {
  return {c.r * k, c.g * k, c.b * k};
}
Col operator+(Col a, Col b) {
  return {a.r + b.r, a.g + b.g, a.b + b.b};
}
Col Mix(Col a, Col b, double t) {
  return a * (1 - t) + b * t;
}
Col Hex(std::uint32_t v) {
  return {double((v >> 16) & 255), double((v >> 8) & 255), double(v & 255)};
}

std::uint8_t ToByte(double v) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}
Rgb ToRgb(Col c) {
  return {ToByte(c.r), ToByte(c.g), ToByte(c.b)};
}
Col ToCol(Rgb p) {
  return {double(p.r), double(p.g), double(p.b)};
}

double Clamp01(double v) {
  return std::clamp(v, 0.0, 1.0);
}
double SmoothStep(double a, double b, double x) {
  const double t = Clamp01((x - a) / (b - a));
  return t * t * (3 - 2 * t);
}

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

struct Image {
  int w = 0, h = 0;
  std::vector<Rgb> px;
  Image() = default;
  Image(int width, int height, Rgb fill = kBlack)
      : w(width), h(height), px(std::size_t(width) * height, fill) {}
  Rgb& at(int x, int y) { return px[std::size_t(y) * w + x]; }
  const Rgb& at(int x, int y) const { return px[std::size_t(y) * w + x]; }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
  // Paints colour c over the pixel with coverage a.
  void Blend(int x, int y, Col c, double a) {
    if (!inside(x, y) || a <= 0) return;
    Rgb& p = at(x, y);
    p = ToRgb(Mix(ToCol(p), c, Clamp01(a)));
  }
};

// A plane of coverage values 0..1, the intermediate form of shapes and letters.
struct Plane {
  int w = 0, h = 0;
  std::vector<double> v;
  Plane(int width, int height) : w(width), h(height), v(std::size_t(width) * height, 0.0) {}
  double at(int x, int y) const {
    return (x < 0 || y < 0 || x >= w || y >= h) ? 0.0 : v[std::size_t(y) * w + x];
  }
  double& ref(int x, int y) { return v[std::size_t(y) * w + x]; }
};

// ---------------------------------------------------------------------------------------------
// Distance functions (negative inside). Pixel (x, y) is sampled at its centre (x + 0.5, y + 0.5),
// and a distance d gives the coverage 0.5 - d, so straight edges get one pixel of antialiasing.

using Sdf = std::function<double(double, double)>;

double Coverage(double d) {
  return Clamp01(0.5 - d);
}

Sdf RoundBox(double cx, double cy, double hx, double hy, double r) {
  return [=](double x, double y) {
    const double qx = std::fabs(x - cx) - (hx - r);
    const double qy = std::fabs(y - cy) - (hy - r);
    const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.0) - r;
  };
}

Sdf Circle(double cx, double cy, double r) {
  return [=](double x, double y) { return std::hypot(x - cx, y - cy) - r; };
}

Sdf Ring(double cx, double cy, double r, double thickness) {
  return
      [=](double x, double y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - thickness / 2; };
}

// A stroke of the given width along the segment a-b, with round ends.
Sdf Capsule(double ax, double ay, double bx, double by, double width) {
  return [=](double x, double y) {
    const double px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    const double t = Clamp01((px * dx + py * dy) / (dx * dx + dy * dy));
    return std::hypot(px - dx * t, py - dy * t) - width / 2;
  };
}

struct Pt {
  double x, y;
};

// Exact distance to a closed polygon, with the sign from the even-odd rule.
Sdf Polygon(std::vector<Pt> v) {
  return [v](double x, double y) {
    double best = 1e9;
    bool in = false;
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
      const Pt a = v[j], b = v[i];
      const double ex = b.x - a.x, ey = b.y - a.y, wx = x - a.x, wy = y - a.y;
      const double t = Clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
      best = std::min(best, std::hypot(wx - ex * t, wy - ey * t));
      if ((a.y > y) != (b.y > y) && x < a.x + (y - a.y) * ex / ey) in = !in;
    }
    return in ? -best : best;
  };
}

Sdf Union(Sdf a, Sdf b) {
  return [=](double x, double y) { return std::min(a(x, y), b(x, y)); };
}
Sdf Subtract(Sdf a, Sdf b) {
  return [=](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}

// Paints a shape in a colour that may vary over the image.
void Paint(Image& img, const Sdf& shape, const std::function<Col(double, double)>& colour,
           double opacity = 1.0) {
  for (int y = 0; y < img.h; ++y) {
    for (int x = 0; x < img.w; ++x) {
      const double cx = x + 0.5, cy = y + 0.5;
      const double a = Coverage(shape(cx, cy)) * opacity;
      if (a > 0) img.Blend(x, y, colour(cx, cy), a);
    }
  }
}
void Paint(Image& img, const Sdf& shape, Col colour, double opacity = 1.0) {
  Paint(
      img, shape, [colour](double, double) { return colour; }, opacity);
}

// Paints a plane of coverage in one colour, placed at (ox, oy).
void PaintPlane(Image& img, const Plane& p, int ox, int oy, Col colour) {
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) img.Blend(ox + x, oy + y, colour, p.at(x, y));
}

// ---------------------------------------------------------------------------------------------
// Colour keys. A 16-bit display keeps 5 or 6 bits per channel: a colour whose channels are all
// below 16 could come out as black, and one whose channels are all above 0xF0 as white, and so
// turn transparent. Every visible pixel keeps clear of its sprite's key.

void FinishBlackKeyed(Image& img) {
  for (Rgb& p : img.px)
    if (std::max({p.r, p.g, p.b}) < 16) p = kBlack;
}

void FinishWhiteKeyed(Image& img, const Plane& body) {
  for (int y = 0; y < img.h; ++y) {
    for (int x = 0; x < img.w; ++x) {
      Rgb& p = img.at(x, y);
      // The fringe of a shape fades towards the black screen it is drawn on; a faint fringe is
      // left out rather than drawn as a nearly black speck.
      if (body.at(x, y) < 0.3) {
        p = kWhite;
        continue;
      }
      if (std::min({p.r, p.g, p.b}) > 0xF0) p.b = 0xF0;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Letters

class Font {
 public:
  Font(FT_Library lib, const char* path, int pixels, FT_Int32 load_flags) : flags_(load_flags) {
    if (FT_New_Face(lib, path, 0, &face_)) throw std::runtime_error(std::string("no font ") + path);
    FT_Set_Pixel_Sizes(face_, 0, pixels);
  }
  ~Font() { FT_Done_Face(face_); }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  double Advance(char32_t c) {
    Load(c);
    return face_->glyph->advance.x / 64.0;
  }

  double Width(const std::u32string& s) {
    double w = 0;
    for (char32_t c : s) w += Advance(c);
    return w;
  }

  // Adds the letter to the plane with its origin at (pen_x, baseline); pen_x may be fractional.
  void Draw(Plane& p, char32_t c, double pen_x, int baseline) {
    Load(c);
    FT_GlyphSlot g = face_->glyph;
    const double ix = std::floor(pen_x);
    FT_Outline_Translate(&g->outline, FT_Pos(std::lround((pen_x - ix) * 64)), 0);
    if (FT_Render_Glyph(g, FT_RENDER_MODE_NORMAL)) throw std::runtime_error("render failed");
    const FT_Bitmap& bm = g->bitmap;
    const int left = int(ix) + g->bitmap_left, top = baseline - g->bitmap_top;
    for (unsigned row = 0; row < bm.rows; ++row) {
      for (unsigned col = 0; col < bm.width; ++col) {
        const int x = left + int(col), y = top + int(row);
        if (x < 0 || y < 0 || x >= p.w || y >= p.h) continue;
        const double a = bm.buffer[row * bm.pitch + col] / 255.0;
        p.ref(x, y) = std::max(p.ref(x, y), a);
      }
    }
  }

  void DrawString(Plane& p, const std::u32string& s, double pen_x, int baseline) {
    for (char32_t c : s) {
      Draw(p, c, pen_x, baseline);
      pen_x += Advance(c);
    }
  }

 private:
  void Load(char32_t c) {
    if (FT_Load_Char(face_, c, flags_)) throw std::runtime_error("glyph missing");
  }
  FT_Face face_ = nullptr;
  FT_Int32 flags_;
};

class FreeType {
 public:
  FreeType() {
    if (FT_Init_FreeType(&lib_)) throw std::runtime_error("FreeType failed to start");
  }
  ~FreeType() { FT_Done_FreeType(lib_); }
  FT_Library get() const { return lib_; }

 private:
  FT_Library lib_ = nullptr;
};

// A one-pixel halo around a letter, used as its dark outline.
Plane Halo(const Plane& ink) {
  Plane out(ink.w, ink.h);
  for (int y = 0; y < ink.h; ++y) {
    for (int x = 0; x < ink.w; ++x) {
      double m = ink.at(x, y);
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          m = std::max(m, ink.at(x + dx, y + dy) * ((dx && dy) ? 0.6 : 1.0));
      out.ref(x, y) = m;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Текст.bmp: 6 x 8 cells of 40 x 36, two glyphs per cell. Which character goes where is the
// program's text renderer's to say (GlyphPlaceOf, GlyphRect); every Windows-1251 code that it
// gives a glyph of its own is drawn there. The program draws consecutive characters 16 pixels
// apart, so each glyph keeps to the left 16 pixels of its 20-pixel half, and all sit on one
// baseline.

constexpr int kTextCellW = 40, kTextCellH = 36, kGlyphW = 20, kTextAdvance = 16;
constexpr int kTextBaseline = 27;
const Col kTextInk = Hex(0xF0F0E8);
// The outline keeps letters readable where they cross the strips or an indicator's fill.
const Col kTextHalo = Hex(0x181818);

Image DrawFontStrip(FT_Library lib) {
  Font font(lib, kMonoBoldFont, 24, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT);
  Image img(kTextCellW * 6, kTextCellH * 8);
  std::vector<bool> taken(6 * 8 * 2, false);
  for (int code = 0; code < 256; ++code) {
    const GlyphPlace place = GlyphPlaceOf(static_cast<unsigned char>(code));
    if (place.half == kHalfOfCharacterBefore || place.cell < 1 || place.cell > 48) continue;
    const std::size_t slot = std::size_t(place.cell - 1) * 2 + std::size_t(place.half);
    if (taken[slot]) throw std::runtime_error("two characters share a glyph of the font strip");
    taken[slot] = true;
    const Rect r = GlyphRect(place.cell, place.half, kTextCellW, kTextCellH);
    if (r.Right - r.Left != kGlyphW || r.Bottom - r.Top != kTextCellH)
      throw std::runtime_error("the font strip's glyphs are not 20 x 36");
    const char32_t c = CodepointFromCp1251(static_cast<unsigned char>(code));
    Plane ink(kGlyphW, kTextCellH);
    // Centred on the middle of the 16-pixel advance, as the monospaced design intends.
    font.Draw(ink, c, kTextAdvance / 2.0 - font.Advance(c) / 2.0, kTextBaseline);
    const Plane halo = Halo(ink);
    for (int y = 0; y < ink.h; ++y) {
      for (int x = 0; x < ink.w; ++x) {
        const double a = ink.at(x, y), o = std::max(a, halo.at(x, y));
        const Rgb p = ToRgb(kTextInk * a + kTextHalo * (o - a));
        // The next character is drawn over this one's last four columns.
        if (x >= kTextAdvance && std::max({p.r, p.g, p.b}) >= 16)
          throw std::runtime_error("a glyph is wider than the advance");
        img.at(r.Left + x, r.Top + y) = p;
      }
    }
  }
  FinishBlackKeyed(img);
  return img;
}

// ---------------------------------------------------------------------------------------------
// Кнопки.bmp: 2 columns (normal, lit) x 3 rows (linear, circular, flash) of 320 x 60.

constexpr int kButtonW = 320, kButtonH = 60;

struct ButtonLook {
  Col top, bottom, rim, sheen, label, label_shadow, picto;
};

const ButtonLook kButtonNormal{Hex(0x2C4C86), Hex(0x14264E), Hex(0x6E96D2), Hex(0x4A70AC),
                               Hex(0xF0F0E8), Hex(0x08122A), Hex(0x9CD0F4)};
const ButtonLook kButtonLit{Hex(0xFFCF5C), Hex(0xF0921C), Hex(0xFFF0B4), Hex(0xFFE6A0),
                            Hex(0x2A1606), Hex(0xFFE0A0), Hex(0x5A2E06)};

// The pictogram of each test, centred on (cx, cy): the ball's path, drawn in one colour.
Sdf Pictogram(int row, double cx, double cy) {
  switch (row) {
    case 0: {  // linear: a ball on a line with arrows at both ends
      Sdf line = Capsule(cx - 24, cy, cx + 24, cy, 3.4);
      Sdf left = Polygon({{cx - 33, cy}, {cx - 21, cy - 8}, {cx - 21, cy + 8}});
      Sdf right = Polygon({{cx + 33, cy}, {cx + 21, cy - 8}, {cx + 21, cy + 8}});
      return Union(Union(line, left), Union(right, Circle(cx + 5, cy, 7.5)));
    }
    case 1: {  // circular: a ring with an arrow and the ball on it
      const double r = 16;
      Sdf ring = Ring(cx, cy, r, 3.4);
      // Clockwise arrow at the top of the ring, pointing right.
      Sdf arrow = Polygon({{cx + 9, cy - r}, {cx - 2, cy - r - 8}, {cx - 2, cy - r + 8}});
      const double a = 2.3;  // the ball, below right
      Sdf ball = Circle(cx + r * std::sin(a), cy - r * std::cos(a), 7.5);
      return Union(Subtract(ring, Circle(cx - 6, cy - r, 4.5)), Union(arrow, ball));
    }
    default: {  // flash: two bursts, left and right
      Sdf all = Union(Circle(cx - 17, cy, 6.5), Circle(cx + 17, cy, 6.5));
      for (int side = -1; side <= 1; side += 2) {
        const double bx = cx + side * 17;
        for (int k = 0; k < 8; ++k) {
          const double t = k * kPi / 4 + kPi / 8;
          all = Union(all, Capsule(bx + 9.5 * std::cos(t), cy + 9.5 * std::sin(t),
                                   bx + 14 * std::cos(t), cy + 14 * std::sin(t), 2.4));
        }
      }
      return all;
    }
  }
}

Image DrawButtons(FT_Library lib) {
  Font font(lib, kSansBoldFont, 27, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT);
  const std::u32string labels[3] = {U"Линейная", U"Круговая", U"Вспышка"};
  Image img(2 * kButtonW, 3 * kButtonH);
  Plane body(img.w, img.h);
  for (int row = 0; row < 3; ++row) {
    for (int lit = 0; lit < 2; ++lit) {
      const ButtonLook& look = lit ? kButtonLit : kButtonNormal;
      const int ox = lit * kButtonW, oy = row * kButtonH;
      const double cx = ox + kButtonW / 2.0, cy = oy + kButtonH / 2.0;
      Sdf outer = RoundBox(cx, cy, kButtonW / 2.0 - 2, kButtonH / 2.0 - 2, 14);
      Sdf inner = RoundBox(cx, cy, kButtonW / 2.0 - 4, kButtonH / 2.0 - 4, 12);
      for (int y = oy; y < oy + kButtonH; ++y)
        for (int x = ox; x < ox + kButtonW; ++x) body.ref(x, y) = Coverage(outer(x + .5, y + .5));
      // Everything is painted opaque first and faded by the body's coverage at the end.
      Paint(img, RoundBox(cx, cy, kButtonW / 2.0, kButtonH / 2.0, 14), look.rim);
      Paint(img, inner, [&](double, double y) {
        return Mix(look.top, look.bottom, SmoothStep(oy + 4, oy + kButtonH - 4, y));
      });
      // A soft sheen fading out down the upper half.
      for (int y = oy; y < oy + kButtonH; ++y)
        for (int x = ox; x < ox + kButtonW; ++x)
          img.Blend(x, y, look.sheen,
                    0.45 * (1 - SmoothStep(oy + 5, oy + 30, y + 0.5)) *
                        Coverage(inner(x + 0.5, y + 0.5) + 1));
      Paint(img, Pictogram(row, ox + 54, cy), look.picto);
      Plane text(img.w, img.h);
      const double width = font.Width(labels[row]);
      const double left = ox + 100 + (kButtonW - 100 - 16 - width) / 2;
      font.DrawString(text, labels[row], std::round(left), oy + 40);
      Plane shadow(img.w, img.h);
      for (int y = 1; y < img.h; ++y)
        for (int x = 1; x < img.w; ++x) shadow.ref(x, y) = text.at(x - 1, y - 1);
      PaintPlane(img, shadow, 0, 0, look.label_shadow);
      PaintPlane(img, text, 0, 0, look.label);
    }
  }
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) img.at(x, y) = ToRgb(ToCol(img.at(x, y)) * body.at(x, y));
  FinishWhiteKeyed(img, body);
  return img;
}

// ---------------------------------------------------------------------------------------------
// Шарик.bmp: a 40 x 40 glossy red-orange ball lit from the upper left.

Image DrawBall() {
  Image img(40, 40);
  const double cx = 20, cy = 20, radius = 19.3;
  const double lx = -0.48, ly = -0.62, lz = 0.62;  // towards the light
  const double ln = std::sqrt(lx * lx + ly * ly + lz * lz);
  const double hx = lx / ln, hy = ly / ln, hz = lz / ln + 1;  // half-way vector to the eye
  const double hn = std::sqrt(hx * hx + hy * hy + hz * hz);
  const Col base = Hex(0xF0501C), deep = Hex(0x7A1404), glint = Hex(0xFFF4E6),
            bounce = Hex(0xFF9040);
  constexpr int kSub = 4;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      Col sum;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          const double dx = (x + (sx + 0.5) / kSub - cx) / radius;
          const double dy = (y + (sy + 0.5) / kSub - cy) / radius;
          const double r2 = dx * dx + dy * dy;
          if (r2 > 1) continue;
          const double nz = std::sqrt(1 - r2);
          const double diffuse = std::max(0.0, (dx * lx + dy * ly + nz * lz) / ln);
          const double specular = std::pow(std::max(0.0, (dx * hx + dy * hy + nz * hz) / hn), 60);
          const double sheen = std::pow(std::max(0.0, (dx * hx + dy * hy + nz * hz) / hn), 6);
          // Light thrown back from below right, so the dark side still reads as round.
          const double back = std::max(0.0, dx * 0.55 + dy * 0.75 + nz * 0.2) * (1 - nz);
          Col c = Mix(deep, base, std::pow(diffuse, 0.8)) * (0.35 + 0.75 * diffuse);
          c = c + bounce * (0.35 * back) + glint * (0.18 * sheen) + glint * (0.95 * specular);
          sum = sum + Col{std::min(c.r, 255.0), std::min(c.g, 255.0), std::min(c.b, 255.0)};
        }
      }
      img.at(x, y) = ToRgb(sum * (1.0 / (kSub * kSub)));
    }
  }
  FinishBlackKeyed(img);
  return img;
}

// ---------------------------------------------------------------------------------------------
// Рамка.bmp: two 64 x 64 cells, the target frame with its key released and held. The ball
// passes 12 pixels below the frame's top edge, so the opening stays wide and dark; the held
// frame is set apart by colour, weight, a glow and corner marks, not by anything in the middle.

constexpr int kFrame = 64;

void DrawFrameCell(Image& img, int ox, bool held) {
  const double c = kFrame / 2.0, cx = ox + c;
  const double thick = held ? 5 : 3;
  Sdf outer = RoundBox(cx, c, c - 0.5, c - 0.5, 5);
  Sdf inner = RoundBox(cx, c, c - 0.5 - thick, c - 0.5 - thick, 2);
  Sdf border = Subtract(outer, inner);
  if (!held) {
    Paint(img, border,
          [&](double, double y) { return Mix(Hex(0xA6D8F2), Hex(0x5C98C4), y / kFrame); });
    return;
  }
  // Held: a glow fading inwards from a thicker, bright border, and marks in the corners.
  for (int y = 0; y < kFrame; ++y) {
    for (int x = ox; x < ox + kFrame; ++x) {
      const double d = inner(x + 0.5, y + 0.5);
      if (d < 0) img.Blend(x, y, Hex(0x30C060), 0.45 * std::exp(d / 2.2));
    }
  }
  Paint(img, border,
        [&](double, double y) { return Mix(Hex(0xA8FFB8), Hex(0x38D868), y / kFrame); });
  // The marks keep to the corners of the ball's path, clear of the strips crossing the top.
  const double len = 7;
  for (int sx = -1; sx <= 1; sx += 2) {
    for (int sy = -1; sy <= 1; sy += 2) {
      const double px = cx + sx * (c - 10), py = c + sy * (c - 16);
      Sdf mark =
          Union(Capsule(px, py, px - sx * len, py, 2.6), Capsule(px, py, px, py - sy * len, 2.6));
      Paint(img, mark, Hex(0xD8FFE0));
    }
  }
}

Image DrawFrames() {
  Image img(2 * kFrame, kFrame);
  DrawFrameCell(img, 0, false);
  DrawFrameCell(img, kFrame, true);
  FinishBlackKeyed(img);
  return img;
}

// ---------------------------------------------------------------------------------------------
// Полоска.bmp: 800 x 4, white is transparent: a railway track seen from above, two rails (the
// top and bottom rows) with sleepers between them. The program draws it over the frames and the
// ball: stacked four high across the screen at the frames' top edge (two copies above it, two
// over the frames), plus two copies cut short to the gap between the frames, one at that edge and
// one just below the middle of the ball's path. That last one is the track the ball runs along
// from frame to frame; the stack reads as the track bed above it, with the frames standing in it.
//
// The short copies start at the left frame's right edge, x 252, and show the strip's left part;
// the sleepers repeat every 12 pixels, which divides 252, so those of the short copy at the
// frames' edge stand in line with those of the full copies above and below it, and the track
// between the frames begins and ends alike (two pixels of bare rail, then a sleeper). The rails
// are dimmer than the frames, which are what the subject aims at.

constexpr int kSleeperPitch = 12, kSleeperFirst = 2, kSleeperWidth = 3;

Image DrawStrip() {
  Image img(800, 4, kWhite);
  for (int x = 0; x < img.w; ++x) {
    img.at(x, 0) = ToRgb(Hex(0xB4C2D4));  // the far rail, lit
    img.at(x, 3) = ToRgb(Hex(0x8394AC));  // the near rail
    if ((x - kSleeperFirst) % kSleeperPitch < kSleeperWidth && x >= kSleeperFirst) {
      img.at(x, 1) = ToRgb(Hex(0x5E6C82));
      img.at(x, 2) = ToRgb(Hex(0x4C586C));
    }
  }
  return img;
}

// ---------------------------------------------------------------------------------------------
// Индикатор.bmp: four cells of 100 x 400: left cover, left fill, right cover, right fill. The
// program cuts the fill from the bottom, 10 pixels per hit, and lays the cover over it, so the
// fill is a stack of forty lit segments and the cover is an outline with a scale.

constexpr int kIndW = 100, kIndH = 400, kSegment = 10;
constexpr int kLabelZone = 40;  // the rows under the percentage, the top tenth of the scale

void DrawIndicatorCover(Image& img, int ox, Col rim_top, Col rim_bottom) {
  const double cx = ox + kIndW / 2.0, cy = kIndH / 2.0;
  Sdf border = Subtract(RoundBox(cx, cy, kIndW / 2.0 - 0.5, kIndH / 2.0 - 0.5, 14),
                        RoundBox(cx, cy, kIndW / 2.0 - 3.5, kIndH / 2.0 - 3.5, 11));
  Paint(img, border, [&](double, double y) { return Mix(rim_top, rim_bottom, y / kIndH); });
  // A tick every tenth of the scale, in the gaps between segments; the half mark is longer. The
  // top one is a line across, under the percentage.
  for (int k = 2; k < 10; ++k) {
    const double y = k * 40.0, len = (k == 5) ? 14 : 8;
    Sdf ticks = Union(Capsule(ox + 4, y, ox + 4 + len, y, 2),
                      Capsule(ox + kIndW - 4, y, ox + kIndW - 4 - len, y, 2));
    Paint(img, ticks, Mix(rim_top, rim_bottom, y / kIndH));
  }
  Paint(img, Capsule(ox + 4, kLabelZone, ox + kIndW - 4, kLabelZone, 2), rim_top, 0.75);
}

void DrawIndicatorFill(Image& img, int ox, Col low, Col high) {
  const double cx = ox + kIndW / 2.0, cy = kIndH / 2.0;
  Sdf tube = RoundBox(cx, cy, kIndW / 2.0 - 7, kIndH / 2.0 - 4, 9);
  for (int y = 0; y < kIndH; ++y) {
    // Rows 2..8 of each 10-row slot are lit: the cut at a multiple of 10 falls in a gap.
    const int r = y % kSegment;
    if (r < 2 || r > 8) continue;
    const double t = 1.0 - (y / kSegment + 0.5) / (kIndH / kSegment);  // 0 bottom, 1 top
    const Col hue = Mix(low, high, t);
    // Dimmer under the percentage, so the figures stay readable when the fill reaches the top.
    const double edge = ((r == 2 || r == 8) ? 0.82 : 1.0) * (y < kLabelZone ? 0.5 : 1.0);
    for (int x = ox; x < ox + kIndW; ++x) {
      const double a = Coverage(tube(x + 0.5, y + 0.5));
      if (a <= 0) continue;
      // Shaded like a glass tube: brighter towards the middle, a highlight left of centre.
      const double u = (x + 0.5 - cx) / (kIndW / 2.0 - 7);
      const double shade = 0.55 + 0.45 * std::sqrt(std::max(0.0, 1 - u * u));
      const double gloss = 0.35 * std::exp(-std::pow((u + 0.45) / 0.16, 2));
      img.Blend(x, y, hue * (shade * edge) + Hex(0xFFFFFF) * gloss, a);
    }
  }
}

Image DrawIndicators() {
  Image img(4 * kIndW, kIndH);
  DrawIndicatorCover(img, 0, Hex(0x9CCCE8), Hex(0x5A8CB4));
  DrawIndicatorFill(img, kIndW, Hex(0x18A058), Hex(0x58E8A0));
  DrawIndicatorCover(img, 2 * kIndW, Hex(0x9CCCE8), Hex(0x5A8CB4));
  DrawIndicatorFill(img, 3 * kIndW, Hex(0x1C68D0), Hex(0x68B8FF));
  FinishBlackKeyed(img);
  return img;
}

// ---------------------------------------------------------------------------------------------
// Курсор.bmp: an arrow pointer, white with a dark outline; the tip is the top-left pixel, the
// point the program places at the mouse position.

Image DrawCursor() {
  Image img(20, 28);
  Sdf arrow = Polygon(
      {{0.5, 0.5}, {0.5, 22.8}, {5.6, 18.0}, {9.6, 26.6}, {13.4, 25.0}, {9.5, 16.6}, {16.4, 16.6}});
  constexpr int kSub = 4;
  for (int y = 0; y < img.h; ++y) {
    for (int x = 0; x < img.w; ++x) {
      double body = 0, fill = 0;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          const double d = arrow(x + (sx + 0.5) / kSub, y + (sy + 0.5) / kSub);
          body += d < 0.7;
          fill += d < -0.8;
        }
      }
      body /= kSub * kSub;
      fill /= kSub * kSub;
      const Col outline = Hex(0x202020);
      img.at(x, y) = ToRgb(outline * (body - fill) + Hex(0xFFFFFF) * fill);
    }
  }
  img.at(0, 0) = ToRgb(Hex(0x202020));  // the hot spot is always drawn
  FinishBlackKeyed(img);
  return img;
}

// ---------------------------------------------------------------------------------------------
// Bitmap files: 24 bits per pixel, uncompressed, rows bottom-up, each padded to 4 bytes, as the
// test kit's writer makes them with its default options.

std::vector<std::uint8_t> EncodeBmp(const Image& img) {
  std::vector<std::uint32_t> pixels;
  pixels.reserve(img.px.size());
  for (const Rgb& p : img.px)
    pixels.push_back(std::uint32_t(p.r) << 16 | std::uint32_t(p.g) << 8 | std::uint32_t(p.b));
  return testkit::WriteBmp(img.w, img.h, pixels);
}

// ---------------------------------------------------------------------------------------------
// The set

// One file of the program's sprite catalogue as the generator draws it.
struct Sprite {
  const CatalogueRow* row;  // the program's own: file name, form sprite, transparent colour
  const char* name;         // row->file
  int w, h;
  Rgb key;
  // Letters depend on the FreeType release that rendered them; a difference there against the
  // committed file is reported but not counted as a fault.
  bool lettered;
  Image image;
};

// What the generator draws for each sprite of the form: its size, whether it has letters, and
// the drawing.
struct Drawing {
  SpriteSurface Form1::*sprite;
  int w, h;
  bool lettered;
  Image (*draw)(FT_Library ft);
};

const Drawing kDrawings[] = {
    {&Form1::CursorSprite, 20, 28, false, [](FT_Library) { return DrawCursor(); }},
    {&Form1::StripSprite, 800, 4, false, [](FT_Library) { return DrawStrip(); }},
    {&Form1::IndicatorSprite, 400, 400, false, [](FT_Library) { return DrawIndicators(); }},
    {&Form1::BallSprite, 40, 40, false, [](FT_Library) { return DrawBall(); }},
    {&Form1::ButtonsSprite, 640, 180, true, DrawButtons},
    {&Form1::FrameSprite, 128, 64, false, [](FT_Library) { return DrawFrames(); }},
    {&Form1::TextSprite, 240, 288, true, DrawFontStrip},
};

// The program's catalogue, each file drawn, in the catalogue's order.
std::vector<Sprite> DrawAll() {
  FreeType ft;
  std::vector<Sprite> set;
  for (const CatalogueRow& row : kCatalogue) {
    const Drawing* drawing = nullptr;
    for (const Drawing& d : kDrawings)
      if (d.sprite == row.sprite) drawing = &d;
    if (!drawing) throw std::runtime_error(std::string("no drawing for ") + row.file);
    const Rgb key{std::uint8_t(row.key >> 16), std::uint8_t(row.key >> 8), std::uint8_t(row.key)};
    set.push_back(
        {&row, row.file, drawing->w, drawing->h, key, drawing->lettered, drawing->draw(ft.get())});
  }
  return set;
}

// ---------------------------------------------------------------------------------------------
// The program itself, offscreen: a start folder laid out as the program's, the program's start-up
// on it, and its own frame composition for every screen.

// The set as files in `graphics`, a start folder's "Графика", which it makes.
void WriteSet(const std::filesystem::path& graphics, const std::vector<Sprite>& set) {
  std::filesystem::create_directory(graphics);
  for (const Sprite& s : set) {
    const std::filesystem::path path = graphics / std::filesystem::u8path(s.name);
    if (!testkit::WriteBytes(path, EncodeBmp(s.image)))
      throw std::runtime_error("cannot write " + path.u8string());
  }
}

// The screens to look at, each a state of the session as the program would reach it.
struct Scene {
  const char* file;
  void (*set)(SessionState& s);
};

void TestScreen(SessionState& s, Integer kind, Integer screen_state, Integer level, Integer cycle) {
  s.MenuLevel = kMenuLevelTest;
  s.ScreenState = screen_state;
  s.TestKind = kind;
  s.Level = level;
  s.Cycle = cycle;
  s.Direction = 1;
}

void Hits(SessionState& s, Integer left_level, Integer right_level, Integer left_total,
          Integer right_total) {
  s.LeftHitsLevel = left_level;
  s.RightHitsLevel = right_level;
  s.LeftHitsTotal = left_total;
  s.RightHitsTotal = right_total;
}

const Scene kScenes[] = {
    {"menu",
     [](SessionState& s) {
       s.MenuLevel = kMenuLevelMenu;
       s.ButtonLit[2] = 1;
       s.MouseX = 452;
       s.MouseY = 291;
     }},
    {"name",
     [](SessionState& s) {
       s.MenuLevel = kMenuLevelName;
       s.ScreenState = kScreenNameEntry;
       s.SubjectName = Utf8ToCp1251("Иванов Пётр");
     }},
    // Level 3 waits for Space; the right key is held with the ball in the right frame.
    {"ready",
     [](SessionState& s) {
       TestScreen(s, kTestLinear, kScreenWaiting, 3, 1);
       Hits(s, 0, 0, 13, 27);
       s.Angle = kPi / 2;
       s.RightKeyHeld = 1;
     }},
    // The ball on the track between the frames.
    {"running-linear",
     [](SessionState& s) {
       TestScreen(s, kTestLinear, kScreenRunning, 1, 2);
       Hits(s, 1, 1, 1, 1);
       s.Angle = -0.35;
     }},
    // The ball high on the circle, the left key held, every left trial a hit so far.
    {"running-circular",
     [](SessionState& s) {
       TestScreen(s, kTestCircular, kScreenRunning, 4, 6);
       Hits(s, 5, 1, 35, 31);
       s.Angle = 2.2;
       s.LeftKeyHeld = 1;
     }},
    // A flash in the left frame.
    {"running-flash",
     [](SessionState& s) {
       TestScreen(s, kTestFlash, kScreenRunning, 2, 4);
       Hits(s, 3, 2, 13, 12);
       s.Direction = -1;
       s.FlashOn = 1;
     }},
    {"level-done",
     [](SessionState& s) {
       TestScreen(s, kTestLinear, kScreenWaiting, 2, 11);
       Hits(s, 9, 7, 19, 16);
     }},
    {"test-done",
     [](SessionState& s) {
       TestScreen(s, kTestCircular, kScreenWaiting, 4, 11);
       Hits(s, 10, 8, 40, 33);
     }},
};

// Composes every screen as the program at 32 and at 16 bits per pixel shows it, from the set as
// it stands in memory, and writes them as preview-<screen>[-16].bmp into `dir`.
void WritePreviews(const std::vector<Sprite>& set, const std::string& dir) {
  const testkit::StartFolder folder;
  WriteSet(folder.graphics(), set);
  for (const Scene& scene : kScenes) {
    for (int depth : {32, 16}) {
      Form1 f;
      StartUp(f, folder.path().u8string(), depth, DisplayTarget::kOffscreen);
      scene.set(f.s);
      ComposeFrame(f);
      const std::string path = dir + "/preview-" + scene.file + (depth == 16 ? "-16" : "") + ".bmp";
      if (SDL_SaveBMP(f.display.BackBuffer(), path.c_str()) != 0)
        throw std::runtime_error("cannot write " + path + ": " + SDL_GetError());
    }
  }
}

// The first pixel of `image` that the program, started on the set, shows where the generator
// meant it to be transparent or hides where it meant it to show; empty when none. The program
// blits the sprite whole over two backgrounds in turn: a pixel is transparent exactly when both
// show through.
std::string VisibilityFault(Form1& f, const Sprite& s, const Image& image) {
  const SpriteSurface& sprite = f.*s.row->sprite;
  DisplayDevice& d = f.display;
  std::vector<int> through(image.px.size(), 0);
  for (const std::uint32_t background : {0xFF00FFu, 0x00FF00u}) {
    SDL_Surface* back = d.BackBuffer();
    SDL_FillRect(
        back, nullptr,
        SDL_MapRGB(back->format, background >> 16, (background >> 8) & 255, background & 255));
    const std::uint32_t seen = d.PixelRgb(0, 0);
    d.SpriteRect = {0, 0, sprite.Width(), sprite.Height()};
    if (d.BltFast(0, 0, sprite) != 0) return "the program does not draw it whole";
    for (int y = 0; y < image.h; ++y)
      for (int x = 0; x < image.w; ++x)
        if (d.PixelRgb(x, y) == seen) ++through[std::size_t(y) * image.w + x];
  }
  for (int y = 0; y < image.h; ++y) {
    for (int x = 0; x < image.w; ++x) {
      const bool meant = !(image.at(x, y) == s.key);
      const bool shown = through[std::size_t(y) * image.w + x] < 2;
      if (meant != shown)
        return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " +
               (meant ? "transparent" : "drawn") + " at " + std::to_string(d.BitsPerPixel()) +
               " bits per pixel";
    }
  }
  return {};
}

// ---------------------------------------------------------------------------------------------
// Checks

// Returns a description of the first fault of a sprite's size and pixels, or an empty string.
// Every visible pixel keeps a margin from its sprite's transparent colour, so that no
// conversion to 16 bits, rounding or truncating, can turn it transparent.
std::string KeyFault(const Sprite& s, const Image& img) {
  if (img.w != s.w || img.h != s.h)
    return "size " + std::to_string(img.w) + "x" + std::to_string(img.h);
  for (int y = 0; y < img.h; ++y) {
    for (int x = 0; x < img.w; ++x) {
      const Rgb p = img.at(x, y);
      if (p == s.key) continue;
      const bool bad =
          (s.key == kBlack) ? std::max({p.r, p.g, p.b}) < 16 : std::min({p.r, p.g, p.b}) > 0xF0;
      if (bad)
        return "pixel (" + std::to_string(x) + ", " + std::to_string(y) +
               ") too close to the transparent colour";
    }
  }
  return {};
}

Image FromDecoded(const DecodedBitmap& b) {
  Image img(b.width, b.height);
  for (std::size_t i = 0; i < img.px.size(); ++i) {
    const std::uint32_t v = b.pixels[i];
    img.px[i] = {std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
  }
  return img;
}

int Check(const std::string& dir) {
  const std::vector<Sprite> a = DrawAll(), b = DrawAll();
  int faults = 0;
  auto fault = [&](const std::string& what, const std::string& why) {
    std::printf("%s: %s\n", what.c_str(), why.c_str());
    ++faults;
  };
  std::vector<Image> committed(a.size());
  std::size_t decoded_files = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const Sprite& s = a[i];
    if (EncodeBmp(s.image) != EncodeBmp(b[i].image)) fault(s.name, "two runs differ");
    if (const std::string f = KeyFault(s, s.image); !f.empty())
      fault(s.name + std::string(" (generated)"), f);
    // Read as the program reads it.
    DecodedBitmap decoded;
    std::string error;
    const std::string path = dir + "/" + s.name;
    if (!LoadBmpFile(path, decoded, error)) {
      fault(s.name, error);
      continue;
    }
    committed[i] = FromDecoded(decoded);
    ++decoded_files;
    if (const std::string f = KeyFault(s, committed[i]); !f.empty()) {
      fault(s.name, f);
    } else if (committed[i].px != s.image.px) {
      std::printf("%s: differs from a fresh run%s\n", s.name,
                  s.lettered ? " (letters may differ with the FreeType release)" : "");
      if (!s.lettered) ++faults;
    }
  }
  if (decoded_files == a.size()) {
    // The program started on the committed set: every pixel shows or hides as drawn, at both
    // depths.
    const testkit::StartFolder folder;
    std::filesystem::create_directory(folder.graphics());
    for (const Sprite& s : a)
      std::filesystem::copy_file(std::filesystem::u8path(dir + "/" + s.name),
                                 folder.graphics() / std::filesystem::u8path(s.name));
    for (int depth : {32, 16}) {
      Form1 f;
      StartUp(f, folder.path().u8string(), depth, DisplayTarget::kOffscreen);
      for (std::size_t i = 0; i < a.size(); ++i)
        if (const std::string v = VisibilityFault(f, a[i], committed[i]); !v.empty())
          fault(a[i].name, v);
    }
  }
  std::printf("%s\n", faults ? "graphics check FAILED" : "graphics check passed");
  return faults ? 1 : 0;
}

int Run(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (argc == 3 && mode == "--check") return Check(argv[2]);
  const bool preview = argc == 3 && mode == "--preview";
  if (!(argc == 2 && mode.rfind("--", 0) != 0) && !preview) {
    std::fprintf(stderr, "usage: make_graphics <folder> | --preview <folder> | --check <folder>\n");
    return 2;
  }
  const std::string dir = argv[argc - 1];
  const std::vector<Sprite> set = DrawAll();
  for (const Sprite& s : set) {
    if (!testkit::WriteBytes(std::filesystem::u8path(dir + "/" + s.name), EncodeBmp(s.image))) {
      std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), s.name);
      return 1;
    }
  }
  if (preview) WritePreviews(set, dir);
  return 0;
}

}  // namespace
}  // namespace tavrik

int main(int argc, char** argv) {
  try {
    return tavrik::Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_graphics: %s\n", e.what());
    return 1;
  }
}
