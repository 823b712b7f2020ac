// An in-memory writer of Windows bitmap files: any header kind, bit depth, compression and row
// order from a picture given as 0x00RRGGBB pixels, plus byte patch helpers for making broken files
// out of good ones. The tests' one writer of bitmaps, and the graphics generator's: the default
// options give the plain 24-bit bottom-up file it commits. No dependency on the decoder's code: a
// picture is anything with `width`, `height` and top-row-first `pixels`, as DecodedBitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

namespace tavrik::testkit {

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
Bytes AssembleBmp(const BmpOptions& o, int width, int height,
                  const std::vector<std::uint32_t>& palette, const Bytes& pixel_data);

// RLE8/RLE4 data for rows of palette indices given bottom row first: runs of equal indices
// (and for RLE4 alternating pairs of four or more) as encoded runs, other stretches of three or
// more as absolute runs, shorter ones as runs of one; end of line between rows, end of bitmap.
Bytes EncodeRle(const std::vector<std::vector<std::uint8_t>>& rows, bool rle4);

// A whole file showing a picture of `width` by `height` pixels (top row first, 0x00RRGGBB).
// Indexed depths get a palette of the picture's colours in order of first appearance; bits no
// colour mask covers are set to one (alpha, the unused bit of 5-5-5, the fourth byte of 32-bit
// pixels) so a decoder that does not ignore them shows it.
Bytes WriteBmp(int width, int height, const std::vector<std::uint32_t>& pixels,
               const BmpOptions& o = {});
template <typename Picture>
Bytes WriteBmp(const Picture& picture, const BmpOptions& o = {}) {
  return WriteBmp(picture.width, picture.height, picture.pixels, o);
}

// `bytes` as the whole of the file at `path`; false when it cannot be written.
bool WriteBytes(const std::filesystem::path& path, const Bytes& bytes);

// A 24-bit bottom-up file at `path`; `pixel(x, y)` gives 0xRRGGBB, y from the top.
void WriteBmp24(const std::filesystem::path& path, int width, int height,
                const std::function<std::uint32_t(int, int)>& pixel);

}  // namespace tavrik::testkit
