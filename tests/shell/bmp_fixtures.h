// A small in-memory writer of Windows bitmap files for tests: any header kind, bit depth,
// compression and row order from a picture given as 0x00RRGGBB pixels, plus byte patch helpers
// for making broken files out of good ones. Header-only; no dependency on the decoder's code
// besides the DecodedBitmap type used as the picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "display/bmp.h"

namespace tavrik {
namespace bmp_fixture {

using Bytes = std::vector<std::uint8_t>;

enum class BmpHeader { kCore, kInfo, kV2, kV3, kV4, kV5, kOs2Short, kOs2 };

inline int HeaderBytes(BmpHeader h) {
  switch (h) {
    case BmpHeader::kCore:
      return 12;
    case BmpHeader::kInfo:
      return 40;
    case BmpHeader::kV2:
      return 52;
    case BmpHeader::kV3:
      return 56;
    case BmpHeader::kV4:
      return 108;
    case BmpHeader::kV5:
      return 124;
    case BmpHeader::kOs2Short:
      return 16;
    case BmpHeader::kOs2:
      return 64;
  }
  return 0;
}

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;

// Byte offsets of header fields that tests patch (the core header has its own, 16-bit, layout).
constexpr std::size_t kOffBitsAt = 10;
constexpr std::size_t kHeaderSizeAt = 14;
constexpr std::size_t kWidthAt = 18;
constexpr std::size_t kHeightAt = 22;
constexpr std::size_t kPlanesAt = 26;
constexpr std::size_t kBppAt = 28;
constexpr std::size_t kCompressionAt = 30;
constexpr std::size_t kColoursUsedAt = 46;
constexpr std::size_t kRedMaskAt = 54;  // inside V2+ headers, or right after a 40-byte one

struct BmpOptions {
  BmpHeader header = BmpHeader::kInfo;
  int bpp = 24;
  std::uint32_t compression = kBiRgb;
  bool top_down = false;
  // Red, green, blue and alpha masks for 16 and 32 bits; all zero means the format's defaults.
  std::uint32_t masks[4] = {0, 0, 0, 0};
  // Bytes left between the palette and the pixel data.
  std::size_t gap = 0;
  // False writes biClrUsed 0 ("all 2^bpp colours") over a palette holding only those used.
  bool write_colours_used = true;
};

inline void PutU16(Bytes& b, std::size_t at, std::uint32_t v) {
  b.at(at) = static_cast<std::uint8_t>(v);
  b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutI32(Bytes& b, std::size_t at, std::int32_t v) {
  PutU32(b, at, static_cast<std::uint32_t>(v));
}
inline std::uint32_t GetU32(const Bytes& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b.at(at + i)) << (8 * i);
  return v;
}

inline void AppendU16(Bytes& b, std::uint32_t v) {
  b.resize(b.size() + 2);
  PutU16(b, b.size() - 2, v);
}
inline void AppendU32(Bytes& b, std::uint32_t v) {
  b.resize(b.size() + 4);
  PutU32(b, b.size() - 4, v);
}

inline bool UsesBitfields(const BmpOptions& o) {
  return o.compression == kBiBitfields || o.compression == kBiAlphaBitfields;
}

// The masks a writer of this depth uses: the caller's, or the format's defaults.
inline void EffectiveMasks(const BmpOptions& o, std::uint32_t out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = o.masks[i];
  if (o.masks[0] || o.masks[1] || o.masks[2]) return;
  const bool sixteen = o.bpp == 16;
  out[0] = sixteen ? 0x7C00 : 0x00FF0000;
  out[1] = sixteen ? 0x03E0 : 0x0000FF00;
  out[2] = sixteen ? 0x001F : 0x000000FF;
}

// Puts an 8-bit channel value into a mask, rounding to the mask's width.
inline std::uint32_t PackChannel(std::uint32_t value8, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const std::uint64_t max = static_cast<std::uint64_t>(mask) >> shift;
  return static_cast<std::uint32_t>((value8 * max + 127) / 255) << shift;
}

// Headers, palette, gap and the given pixel data (already in file order) as one file.
inline Bytes AssembleBmp(const BmpOptions& o, int width, int height,
                         const std::vector<std::uint32_t>& palette, const Bytes& pixel_data) {
  const int header_size = HeaderBytes(o.header);
  const bool core = o.header == BmpHeader::kCore;
  std::uint32_t masks[4];
  EffectiveMasks(o, masks);

  Bytes f = {'B', 'M'};
  AppendU32(f, 0);  // file size, patched below
  AppendU32(f, 0);  // reserved
  AppendU32(f, 0);  // pixel data offset, patched below
  AppendU32(f, static_cast<std::uint32_t>(header_size));
  if (core) {
    AppendU16(f, static_cast<std::uint32_t>(width));
    AppendU16(f, static_cast<std::uint32_t>(height));
    AppendU16(f, 1);
    AppendU16(f, static_cast<std::uint32_t>(o.bpp));
  } else {
    AppendU32(f, static_cast<std::uint32_t>(width));
    AppendU32(f, static_cast<std::uint32_t>(o.top_down ? -height : height));
    AppendU16(f, 1);
    AppendU16(f, static_cast<std::uint32_t>(o.bpp));
    if (header_size >= 40) {
      AppendU32(f, o.compression);
      AppendU32(f, static_cast<std::uint32_t>(pixel_data.size()));
      AppendU32(f, 2835);  // 72 dpi
      AppendU32(f, 2835);
      AppendU32(f, o.write_colours_used ? static_cast<std::uint32_t>(palette.size()) : 0);
      AppendU32(f, 0);
    }
    if (header_size >= 52 && header_size != 64) {
      for (int i = 0; i < 3; ++i) AppendU32(f, UsesBitfields(o) ? masks[i] : 0);
    }
    if (header_size >= 56 && header_size != 64) AppendU32(f, UsesBitfields(o) ? masks[3] : 0);
    if (header_size >= 108) AppendU32(f, 0x73524742);  // 'sRGB'
    if (header_size == 124) {
      f.resize(14 + 108, 0);
      AppendU32(f, 4);  // rendering intent: pictures
    }
    f.resize(14 + static_cast<std::size_t>(header_size), 0);
    if (header_size == 40 && UsesBitfields(o)) {
      for (int i = 0; i < (o.compression == kBiAlphaBitfields ? 4 : 3); ++i) {
        AppendU32(f, masks[i]);
      }
    }
  }
  // The core header has no colour count: its palette always has 2^bpp three-byte entries.
  const std::size_t entries = core && o.bpp <= 8 ? std::size_t{1} << o.bpp : palette.size();
  for (std::size_t i = 0; i < entries; ++i) {
    const std::uint32_t c = i < palette.size() ? palette[i] : 0;
    f.push_back(static_cast<std::uint8_t>(c));
    f.push_back(static_cast<std::uint8_t>(c >> 8));
    f.push_back(static_cast<std::uint8_t>(c >> 16));
    if (!core) f.push_back(0);
  }
  f.resize(f.size() + o.gap, 0);
  PutU32(f, kOffBitsAt, static_cast<std::uint32_t>(f.size()));
  f.insert(f.end(), pixel_data.begin(), pixel_data.end());
  PutU32(f, 2, static_cast<std::uint32_t>(f.size()));
  return f;
}

// RLE8/RLE4 data for rows of palette indices given bottom row first: runs of equal indices
// (and for RLE4 alternating pairs of four or more) as encoded runs, other stretches of three or
// more as absolute runs, shorter ones as runs of one; end of line between rows, end of bitmap.
inline Bytes EncodeRle(const std::vector<std::vector<std::uint8_t>>& rows, bool rle4) {
  Bytes out;
  auto pair = [&](std::size_t n, std::uint8_t a, std::uint8_t b) {
    out.push_back(static_cast<std::uint8_t>(n));
    out.push_back(rle4 ? static_cast<std::uint8_t>((a << 4) | b) : a);
  };
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::vector<std::uint8_t>& row = rows[r];
    const std::size_t w = row.size();
    auto same_run = [&](std::size_t i) {
      std::size_t n = 1;
      while (i + n < w && n < 255 && row[i + n] == row[i]) ++n;
      return n;
    };
    auto alternating_run = [&](std::size_t i) {
      std::size_t n = 1;
      while (i + n < w && n < 255 && row[i + n] == row[i + (n & 1)]) ++n;
      return n;
    };
    auto starts_run = [&](std::size_t i) {
      return same_run(i) >= 2 || (rle4 && alternating_run(i) >= 4);
    };
    std::size_t i = 0;
    while (i < w) {
      if (same_run(i) >= 2) {
        const std::size_t n = same_run(i);
        pair(n, row[i], row[i]);
        i += n;
      } else if (rle4 && alternating_run(i) >= 4) {
        const std::size_t n = alternating_run(i);
        pair(n, row[i], row[i + 1]);
        i += n;
      } else {
        std::size_t j = i;
        while (j < w && j - i < 255 && !starts_run(j)) ++j;
        const std::size_t n = j - i;
        if (n >= 3) {
          out.push_back(0);
          out.push_back(static_cast<std::uint8_t>(n));
          const std::size_t start = out.size();
          for (std::size_t k = 0; k < n; ++k) {
            if (!rle4) {
              out.push_back(row[i + k]);
            } else if (k % 2 == 0) {
              out.push_back(static_cast<std::uint8_t>(row[i + k] << 4));
            } else {
              out.back() |= row[i + k];
            }
          }
          if ((out.size() - start) % 2) out.push_back(0);
        } else {
          for (std::size_t k = 0; k < n; ++k) pair(1, row[i + k], 0);
        }
        i = j;
      }
    }
    out.push_back(0);
    out.push_back(r + 1 < rows.size() ? 0 : 1);
  }
  return out;
}

// A whole file showing `picture` (top row first, 0x00RRGGBB). Indexed depths get a palette of
// the picture's colours in order of first appearance; bits no colour mask covers are set to one
// (alpha, the unused bit of 5-5-5, the fourth byte of 32-bit pixels) so a decoder that does not
// ignore them shows it.
inline Bytes WriteBmp(const DecodedBitmap& picture, const BmpOptions& o) {
  const int w = picture.width;
  const int h = picture.height;
  std::vector<std::uint32_t> palette;
  std::vector<std::vector<std::uint8_t>> index_rows;  // file order: bottom row first
  Bytes data;
  auto picture_row = [&](int file_row) {
    const bool from_top = o.top_down && o.compression != kBiRle8 && o.compression != kBiRle4;
    return from_top ? file_row : h - 1 - file_row;
  };
  if (o.bpp <= 8) {
    for (int r = 0; r < h; ++r) {
      std::vector<std::uint8_t> row;
      for (int x = 0; x < w; ++x) {
        const std::uint32_t c = picture.pixels[static_cast<std::size_t>(picture_row(r) * w + x)];
        std::size_t k = 0;
        while (k < palette.size() && palette[k] != c) ++k;
        if (k == palette.size()) palette.push_back(c);
        row.push_back(static_cast<std::uint8_t>(k));
      }
      index_rows.push_back(row);
    }
    if (palette.size() > (std::size_t{1} << o.bpp)) {
      throw std::invalid_argument("too many colours for " + std::to_string(o.bpp) + " bpp");
    }
  }
  if (o.compression == kBiRle8 || o.compression == kBiRle4) {
    data = EncodeRle(index_rows, o.compression == kBiRle4);
    return AssembleBmp(o, w, h, palette, data);
  }

  std::uint32_t masks[4];
  EffectiveMasks(o, masks);
  const std::uint32_t depth_bits = o.bpp == 32 ? 0xFFFFFFFFu : (1u << o.bpp) - 1;
  const std::uint32_t spare = depth_bits & ~(masks[0] | masks[1] | masks[2]);
  const std::size_t row_bytes = (static_cast<std::size_t>(w) * o.bpp + 31) / 32 * 4;
  for (int r = 0; r < h; ++r) {
    Bytes row(row_bytes, 0);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t c = picture.pixels[static_cast<std::size_t>(picture_row(r) * w + x)];
      if (o.bpp <= 8) {
        const std::uint8_t k = index_rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(x)];
        const int bit = x * o.bpp;
        row[static_cast<std::size_t>(bit / 8)] |=
            static_cast<std::uint8_t>(k << (8 - o.bpp - bit % 8));
      } else if (o.bpp == 24) {
        for (int i = 0; i < 3; ++i)
          row[static_cast<std::size_t>(3 * x + i)] = (c >> (8 * i)) & 0xFF;
      } else {
        const std::uint32_t v = PackChannel((c >> 16) & 0xFF, masks[0]) |
                                PackChannel((c >> 8) & 0xFF, masks[1]) |
                                PackChannel(c & 0xFF, masks[2]) | spare;
        for (int i = 0; i < o.bpp / 8; ++i) {
          row[static_cast<std::size_t>(x * o.bpp / 8 + i)] =
              static_cast<std::uint8_t>(v >> (8 * i));
        }
      }
    }
    data.insert(data.end(), row.begin(), row.end());
  }
  return AssembleBmp(o, w, h, palette, data);
}

}  // namespace bmp_fixture
}  // namespace tavrik
