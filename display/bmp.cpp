// Windows bitmap decoding for the sprite catalogue: header parsing with every size and offset
// checked against the file before anything is read or allocated, then one decoding routine per
// pixel layout (palette indices, bit masks, 24-bit triples, RLE8/RLE4). The choices where the
// format leaves room are listed in bmp.h.
#include "display/bmp.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>

namespace tavrik {
namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitfields = 3;
constexpr std::uint32_t kJpeg = 4;
constexpr std::uint32_t kPng = 5;
constexpr std::uint32_t kAlphaBitfields = 6;

constexpr std::size_t kFileHeaderSize = 14;

std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int64_t ReadI32(const std::uint8_t* p) {
  const std::uint32_t u = ReadU32(p);
  return u < 0x80000000u ? static_cast<std::int64_t>(u)
                         : static_cast<std::int64_t>(u) - (std::int64_t{1} << 32);
}

std::string Hex(std::uint32_t v) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s = "0x";
  for (int i = 7; i >= 0; --i) s += kDigits[(v >> (4 * i)) & 15];
  return s;
}

// One colour channel of a bit-field pixel. The channel's value is widened or narrowed to 8 bits
// so that its full scale maps to 255 whatever its width (a 5-bit 31 and a 6-bit 63 both give
// 255), which a plain shift would not do.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  std::uint32_t Extract(std::uint32_t pixel) const {
    if (bits == 0) return 0;
    const std::uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return v >> (bits - 8);
    const std::uint32_t max = (1u << bits) - 1;
    return (v * 255 + max / 2) / max;
  }
};

// False when the mask's set bits are not one contiguous run.
bool MakeChannel(std::uint32_t mask, Channel& c) {
  c = Channel{};
  c.mask = mask;
  if (mask == 0) return true;
  std::uint64_t m = mask;
  while ((m & 1) == 0) {
    m >>= 1;
    ++c.shift;
  }
  while (m & 1) {
    m >>= 1;
    ++c.bits;
  }
  return m == 0;
}

// Everything the pixel decoders need, taken from the headers and checked against the file.
struct Layout {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool top_down = false;
  int bpp = 0;
  std::uint32_t compression = kRgb;
  std::size_t pixel_offset = 0;
  std::vector<std::uint32_t> palette;
  Channel red, green, blue;
};

bool Fail(std::string& error, std::string message) {
  error = std::move(message);
  return false;
}

std::string TruncatedAt(const char* what, std::uint64_t end, std::size_t size) {
  return std::string("truncated: ") + what + " at byte " + std::to_string(end) + " of " +
         std::to_string(size);
}

// What the headers say beyond the layout, as the steps of ParseHeaders read it.
struct Headers {
  std::uint32_t info_size = 0;  // of the info header: tells the variants apart
  bool core = false;            // BITMAPCOREHEADER: 16-bit sizes, 3-byte palette entries
  bool os2 = false;             // OS/2 2.x: its own meaning of compressions 3 and 4
  std::uint64_t end = 0;        // the first byte after the headers and any masks after them
  std::int64_t width = 0;
  std::int64_t height = 0;  // negative: top-down
  std::uint32_t colours_used = 0;
};

bool IsBitfields(std::uint32_t compression) {
  return compression == kBitfields || compression == kAlphaBitfields;
}

// The signature, the variant of the info header, and its size, depth and compression fields.
bool ReadInfoHeader(const std::uint8_t* data, std::size_t size, Headers& hd, Layout& l,
                    std::string& error) {
  if (size == 0) return Fail(error, "empty file");
  if (size < 2 || data[0] != 'B' || data[1] != 'M') {
    return Fail(error, "not a Windows bitmap (bad signature)");
  }
  if (size < kFileHeaderSize + 4) return Fail(error, TruncatedAt("headers end", 18, size));

  hd.info_size = ReadU32(data + 14);
  const std::uint32_t n = hd.info_size;
  hd.core = n == 12;
  hd.os2 = n == 16 || n == 64;
  if (!hd.core && !hd.os2 && n != 40 && n != 52 && n != 56 && n != 108 && n != 124) {
    return Fail(error, "unknown header size " + std::to_string(n));
  }
  hd.end = kFileHeaderSize + n;
  if (hd.end > size) return Fail(error, TruncatedAt("headers end", hd.end, size));

  const std::uint8_t* h = data + kFileHeaderSize;
  if (hd.core) {
    // The oldest header stores unsigned 16-bit sizes, so it is always bottom-up.
    hd.width = ReadU16(h + 4);
    hd.height = ReadU16(h + 6);
    l.bpp = ReadU16(h + 10);
  } else {
    hd.width = ReadI32(h + 4);
    hd.height = ReadI32(h + 8);
    l.bpp = ReadU16(h + 14);
    if (n >= 20) l.compression = ReadU32(h + 16);
    if (n >= 36) hd.colours_used = ReadU32(h + 32);
  }
  return true;
}

// The image's size within the limits, and its row order.
bool TakeSize(const Headers& hd, Layout& l, std::string& error) {
  if (hd.width == 0 || hd.height == 0) return Fail(error, "zero width or height");
  if (hd.width < 0) return Fail(error, "negative width " + std::to_string(hd.width));
  if (hd.height == -(std::int64_t{1} << 31)) {
    return Fail(error, "invalid height " + std::to_string(hd.height));
  }
  l.top_down = hd.height < 0;
  const std::uint64_t rows = static_cast<std::uint64_t>(hd.height < 0 ? -hd.height : hd.height);
  const std::uint64_t cols = static_cast<std::uint64_t>(hd.width);
  if (cols > kBmpMaxSide || rows > kBmpMaxSide || cols * rows > kBmpMaxPixels) {
    return Fail(error, "image too large: " + std::to_string(cols) + " x " + std::to_string(rows));
  }
  l.width = static_cast<std::uint32_t>(cols);
  l.height = static_cast<std::uint32_t>(rows);
  return true;
}

// A depth and compression that go together and that the decoders know.
bool CheckPixelFormat(const Headers& hd, const Layout& l, std::string& error) {
  if (l.bpp != 1 && l.bpp != 4 && l.bpp != 8 && l.bpp != 16 && l.bpp != 24 && l.bpp != 32) {
    return Fail(error, "unsupported bit depth " + std::to_string(l.bpp));
  }

  const std::string bpp_text = " with " + std::to_string(l.bpp) + " bits per pixel";
  const std::uint32_t c = l.compression;
  if (hd.os2 && (c == 3 || c == 4)) {
    // OS/2 reuses these numbers for its own Huffman and RLE24 schemes.
    return Fail(error, "unsupported compression " + std::to_string(c) +
                           (c == 3 ? " (OS/2 Huffman)" : " (OS/2 RLE24)"));
  }
  if (hd.os2 && c > kRle4) return Fail(error, "unsupported compression " + std::to_string(c));
  if (c == kJpeg || c == kPng) {
    return Fail(error, "unsupported compression " + std::to_string(c) +
                           " (embedded JPEG/PNG not supported)");
  }
  if (c == kRle8 && l.bpp != 8) return Fail(error, "RLE8 compression" + bpp_text);
  if (c == kRle4 && l.bpp != 4) return Fail(error, "RLE4 compression" + bpp_text);
  const bool bitfields = IsBitfields(c);
  if (bitfields && l.bpp != 16 && l.bpp != 32)
    return Fail(error, "bit-field compression" + bpp_text);
  if (c != kRgb && c != kRle8 && c != kRle4 && !bitfields) {
    return Fail(error, "unsupported compression " + std::to_string(c));
  }
  if (l.top_down && (c == kRle8 || c == kRle4)) {
    return Fail(error, "top-down bitmap with RLE compression");
  }
  return true;
}

// The colour channels: the bit masks of the header, or of the file after a short header, or the
// format's defaults. Masks after the header move the end of the headers past them.
bool ReadBitMasks(const std::uint8_t* data, std::size_t size, Headers& hd, Layout& l,
                  std::string& error) {
  const std::uint32_t c = l.compression;
  std::uint32_t masks[3] = {0, 0, 0};
  if (IsBitfields(c)) {
    const std::uint8_t* m = data + kFileHeaderSize + 40;
    if (hd.info_size == 40) {
      // The masks follow the short header; an alpha mask comes with them for BI_ALPHABITFIELDS.
      const std::uint64_t masks_end = hd.end + (c == kAlphaBitfields ? 16 : 12);
      if (masks_end > size) return Fail(error, TruncatedAt("bit masks end", masks_end, size));
      m = data + hd.end;
      hd.end = masks_end;
    }
    for (int i = 0; i < 3; ++i) masks[i] = ReadU32(m + 4 * i);
  }
  if (masks[0] == 0 && masks[1] == 0 && masks[2] == 0) {
    // Absent or all zero: the defaults of the format (x1r5g5b5 and x8r8g8b8).
    if (l.bpp == 16) {
      masks[0] = 0x7C00;
      masks[1] = 0x03E0;
      masks[2] = 0x001F;
    } else {
      masks[0] = 0x00FF0000;
      masks[1] = 0x0000FF00;
      masks[2] = 0x000000FF;
    }
  }
  static const char* const kChannelNames[3] = {"red", "green", "blue"};
  Channel* channels[3] = {&l.red, &l.green, &l.blue};
  for (int i = 0; i < 3; ++i) {
    if (l.bpp == 16 && masks[i] > 0xFFFF) {
      return Fail(error,
                  std::string(kChannelNames[i]) + " mask " + Hex(masks[i]) + " exceeds 16 bits");
    }
    if (!MakeChannel(masks[i], *channels[i])) {
      return Fail(error,
                  std::string(kChannelNames[i]) + " mask " + Hex(masks[i]) + " is not contiguous");
    }
  }
  return true;
}

// Where the pixel data begins: after the headers, inside the file.
bool TakePixelOffset(const std::uint8_t* data, std::size_t size, const Headers& hd, Layout& l,
                     std::string& error) {
  const std::uint32_t offset = ReadU32(data + 10);
  if (offset < hd.end) {
    return Fail(error, "pixel data offset " + std::to_string(offset) +
                           " inside the headers (which end at byte " + std::to_string(hd.end) +
                           ")");
  }
  if (offset >= size) {
    return Fail(error, "pixel data offset " + std::to_string(offset) +
                           " beyond the end of the file (" + std::to_string(size) + " bytes)");
  }
  l.pixel_offset = offset;
  return true;
}

// The palette of an image of up to 8 bits per pixel: it ends where the pixel data begins,
// whatever the header claims.
void ReadPalette(const std::uint8_t* data, const Headers& hd, Layout& l) {
  if (l.bpp > 8) return;
  const std::uint32_t full = 1u << l.bpp;
  const std::uint32_t claimed =
      hd.colours_used == 0 || hd.colours_used > full ? full : hd.colours_used;
  const std::size_t entry = hd.core ? 3 : 4;
  const std::size_t room = (l.pixel_offset - hd.end) / entry;
  const std::size_t count = room < claimed ? room : claimed;
  l.palette.resize(count);
  const std::uint8_t* p = data + hd.end;
  for (std::size_t i = 0; i < count; ++i, p += entry) {
    l.palette[i] =
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
  }
}

// Uncompressed pixel data that the file holds whole: the last row may lack its padding, every
// other row must be whole. RLE data is checked as it is decoded.
bool CheckPixelDataEnd(std::size_t size, const Layout& l, std::string& error) {
  if (l.compression != kRgb && !IsBitfields(l.compression)) return true;
  const std::uint64_t row_bits = std::uint64_t{l.width} * static_cast<std::uint64_t>(l.bpp);
  const std::uint64_t row_bytes = (row_bits + 31) / 32 * 4;
  const std::uint64_t end = l.pixel_offset + row_bytes * (l.height - 1) + (row_bits + 7) / 8;
  if (end > size) return Fail(error, TruncatedAt("pixel data ends", end, size));
  return true;
}

// The headers read in the order their fields depend on each other, each step checking what it
// reads against the file before the next one relies on it.
bool ParseHeaders(const std::uint8_t* data, std::size_t size, Layout& l, std::string& error) {
  Headers hd;
  if (!ReadInfoHeader(data, size, hd, l, error) || !TakeSize(hd, l, error) ||
      !CheckPixelFormat(hd, l, error) || !ReadBitMasks(data, size, hd, l, error) ||
      !TakePixelOffset(data, size, hd, l, error)) {
    return false;
  }
  ReadPalette(data, hd, l);
  return CheckPixelDataEnd(size, l, error);
}

std::string BadIndex(std::uint32_t index, std::size_t count) {
  return "palette index " + std::to_string(index) + " outside " + std::to_string(count) +
         " entries";
}

bool DecodeIndexed(const std::uint8_t* data, const Layout& l, std::uint32_t* out,
                   std::string& error) {
  const std::size_t row_bytes = (std::size_t{l.width} * l.bpp + 31) / 32 * 4;
  const std::size_t count = l.palette.size();
  for (std::uint32_t r = 0; r < l.height; ++r) {
    const std::uint8_t* row = data + l.pixel_offset + r * row_bytes;
    std::uint32_t* dst = out + std::size_t{l.top_down ? r : l.height - 1 - r} * l.width;
    for (std::uint32_t x = 0; x < l.width; ++x) {
      std::uint32_t index;
      if (l.bpp == 8) {
        index = row[x];
      } else if (l.bpp == 4) {
        index = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
      } else {
        index = (row[x >> 3] >> (7 - (x & 7))) & 1;
      }
      if (index >= count) return Fail(error, BadIndex(index, count));
      dst[x] = l.palette[index];
    }
  }
  return true;
}

void DecodeDirect(const std::uint8_t* data, const Layout& l, std::uint32_t* out) {
  const std::size_t row_bytes = (std::size_t{l.width} * l.bpp + 31) / 32 * 4;
  const bool plain32 = l.bpp == 32 && l.red.mask == 0x00FF0000 && l.green.mask == 0x0000FF00 &&
                       l.blue.mask == 0x000000FF;
  for (std::uint32_t r = 0; r < l.height; ++r) {
    const std::uint8_t* row = data + l.pixel_offset + r * row_bytes;
    std::uint32_t* dst = out + std::size_t{l.top_down ? r : l.height - 1 - r} * l.width;
    for (std::uint32_t x = 0; x < l.width; ++x) {
      if (l.bpp == 24) {
        const std::uint8_t* p = row + 3 * std::size_t{x};
        dst[x] = (static_cast<std::uint32_t>(p[2]) << 16) |
                 (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
        continue;
      }
      const std::uint32_t v =
          l.bpp == 16 ? ReadU16(row + 2 * std::size_t{x}) : ReadU32(row + 4 * std::size_t{x});
      dst[x] = plain32 ? (v & 0x00FFFFFF)
                       : (l.red.Extract(v) << 16) | (l.green.Extract(v) << 8) | l.blue.Extract(v);
    }
  }
}

// RLE8/RLE4. Every step consumes at least two bytes of the file and writes at most one row's
// worth of pixels, so the work is bounded by the file size and the image size: no hang.
bool DecodeRle(const std::uint8_t* data, std::size_t size, const Layout& l, std::uint32_t* out,
               std::string& error) {
  const bool rle4 = l.compression == kRle4;
  const std::size_t count = l.palette.size();
  std::size_t pos = l.pixel_offset;
  std::uint32_t x = 0;
  std::uint32_t y = 0;  // counted from the bottom row
  std::uint32_t* row = out + std::size_t{l.height - 1} * l.width;

  // Writes `n` pixels from the cursor, cut at the end of the row; `index(i)` gives the i-th.
  auto put = [&](std::uint32_t n, auto index) {
    const std::uint32_t room = l.width - x;
    const std::uint32_t written = n < room ? n : room;
    for (std::uint32_t i = 0; i < written; ++i) {
      const std::uint32_t v = index(i);
      if (v >= count) return Fail(error, BadIndex(v, count));
      row[x + i] = l.palette[v];
    }
    x += written;
    return true;
  };
  auto move_to = [&](std::uint64_t new_x, std::uint64_t new_y) {
    x = static_cast<std::uint32_t>(new_x < l.width ? new_x : l.width);
    y = static_cast<std::uint32_t>(new_y < l.height ? new_y : l.height);
    if (y < l.height) row = out + std::size_t{l.height - 1 - y} * l.width;
  };
  auto truncated = [&]() {
    return Fail(error, "truncated: RLE data ends at byte " + std::to_string(size) +
                           " before the end of the bitmap");
  };

  while (y < l.height) {
    if (pos + 2 > size) return truncated();
    const std::uint32_t first = data[pos];
    const std::uint32_t second = data[pos + 1];
    pos += 2;
    if (first > 0) {
      // Encoded run: one index repeated, or for RLE4 two indices alternating.
      const bool ok =
          rle4
              ? put(first, [&](std::uint32_t i) { return (i & 1) ? (second & 15) : (second >> 4); })
              : put(first, [&](std::uint32_t) { return second; });
      if (!ok) return false;
    } else if (second == 0) {
      move_to(0, std::uint64_t{y} + 1);
    } else if (second == 1) {
      break;
    } else if (second == 2) {
      if (pos + 2 > size) return truncated();
      move_to(std::uint64_t{x} + data[pos], std::uint64_t{y} + data[pos + 1]);
      pos += 2;
    } else {
      // Absolute run of `second` indices, padded to a 16-bit boundary.
      const std::size_t bytes = rle4 ? (second + 1) / 2 : second;
      if (pos + bytes > size) return truncated();
      const std::uint8_t* src = data + pos;
      const bool ok = rle4 ? put(second,
                                 [&](std::uint32_t i) {
                                   return (i & 1) ? (src[i >> 1] & 15) : (src[i >> 1] >> 4);
                                 })
                           : put(second, [&](std::uint32_t i) { return src[i]; });
      if (!ok) return false;
      pos += (bytes + 1) & ~std::size_t{1};
    }
  }
  return true;
}

}  // namespace

bool DecodeBmp(const std::uint8_t* data, std::size_t size, DecodedBitmap& out, std::string& error) {
  out = DecodedBitmap{};
  if (data == nullptr) size = 0;
  Layout l;
  if (!ParseHeaders(data, size, l, error)) return false;

  std::vector<std::uint32_t> pixels;
  try {
    // Pixels an RLE image skips show palette entry 0 (black without a palette).
    pixels.assign(std::size_t{l.width} * l.height, l.palette.empty() ? 0 : l.palette[0]);
  } catch (const std::bad_alloc&) {
    return Fail(error, "out of memory for a " + std::to_string(l.width) + " x " +
                           std::to_string(l.height) + " image");
  }

  bool ok = true;
  if (l.compression == kRle8 || l.compression == kRle4) {
    ok = DecodeRle(data, size, l, pixels.data(), error);
  } else if (l.bpp <= 8) {
    ok = DecodeIndexed(data, l, pixels.data(), error);
  } else {
    DecodeDirect(data, l, pixels.data());
  }
  if (!ok) return false;

  out.width = static_cast<int>(l.width);
  out.height = static_cast<int>(l.height);
  out.pixels = std::move(pixels);
  return true;
}

bool LoadBmpFile(const std::string& path, DecodedBitmap& out, std::string& error) {
  namespace fs = std::filesystem;
  out = DecodedBitmap{};
  try {
    const fs::path file = fs::u8path(path);
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found) return Fail(error, "file not found");
    if (ec) return Fail(error, ec.message());
    if (fs::is_directory(status)) return Fail(error, "a folder, not a file");

    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec) return Fail(error, ec.message());
    if (size > kBmpMaxFileSize) {
      return Fail(error, "file too large for a bitmap: " + std::to_string(size) + " bytes");
    }

    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in) return Fail(error, errno != 0 ? std::strerror(errno) : "cannot open the file");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return Fail(error, errno != 0 ? std::strerror(errno) : "read error");
    // A file that shrank while being read decodes as the truncated file it now is.
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return DecodeBmp(bytes.data(), bytes.size(), out, error);
  } catch (const std::bad_alloc&) {
    return Fail(error, "out of memory");
  } catch (const std::exception& e) {
    return Fail(error, e.what());
  }
}

}  // namespace tavrik
