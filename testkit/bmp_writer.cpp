// The bitmap writer of bmp_writer.h.
#include "testkit/bmp_writer.h"

#include <fstream>
#include <stdexcept>
#include <string>

namespace tavrik::testkit {

Bytes AssembleBmp(const BmpOptions& o, int width, int height,
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

Bytes EncodeRle(const std::vector<std::vector<std::uint8_t>>& rows, bool rle4) {
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

Bytes WriteBmp(int width, int height, const std::vector<std::uint32_t>& pixels,
               const BmpOptions& o) {
  const int w = width;
  const int h = height;
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
        const std::uint32_t c = pixels[static_cast<std::size_t>(picture_row(r) * w + x)];
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
      const std::uint32_t c = pixels[static_cast<std::size_t>(picture_row(r) * w + x)];
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

bool WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

void WriteBmp24(const std::filesystem::path& path, int width, int height,
                const std::function<std::uint32_t(int, int)>& pixel) {
  std::vector<std::uint32_t> pixels;
  pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels.push_back(pixel(x, y));
  WriteBytes(path, WriteBmp(width, height, pixels));
}

}  // namespace tavrik::testkit
