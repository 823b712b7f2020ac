// Our own decoder for the Windows bitmap files of the sprite catalogue. Any BMP that an examiner
// drops into the graphics folder must either load or stop start-up with a message that names the
// cause, so the decoder accepts every common variant and checks every size and offset against
// the file before it reads or allocates. Plain C++17 without SDL, so that it can be tested and
// fuzzed on its own.
//
// Accepted: BITMAPCOREHEADER (12 bytes), BITMAPINFOHEADER (40), V2 (52), V3 (56), V4 (108),
// V5 (124) and the OS/2 2.x header (16 or 64); 1, 4 and 8 bits per pixel with a palette,
// 16 and 32 with default or explicit bit masks, 24; BI_RLE8 and BI_RLE4; bottom-up and top-down.
// Choices where the format leaves room:
// - The planes field is ignored (some writers leave it 0; it means nothing for a bitmap file).
// - Alpha is ignored: the program has no blending, every pixel comes out 0x00RRGGBB.
// - Pixels that an RLE image never writes (skipped by a delta or an early end of line or end of
//   bitmap) take palette entry 0, as a zero-filled device-independent bitmap shows them; black
//   when the palette is empty. RLE runs that reach past the end of a row are cut at the row's
//   end; data after the top row is ignored. An RLE image must be bottom-up.
// - A palette may be shorter than its header claims as long as the pixels use only the entries
//   present before the pixel data; a used index outside them is an error.
// - The last row may lack its padding bytes; the file size field of the file header is ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrik {

// A decoded bitmap: top row first, each pixel 0x00RRGGBB.
struct DecodedBitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// Limits that keep a hostile file from costing more than a sprite could ever need: each side at
// most this many pixels, and the whole image at most kBmpMaxPixels (64 MiB once decoded; the
// screen itself is 800 by 600).
constexpr int kBmpMaxSide = 16384;
constexpr std::uint64_t kBmpMaxPixels = std::uint64_t{1} << 24;
// No bitmap within the limits needs a larger file: at most 4 bytes a pixel (raw or RLE, with
// row padding and escapes) plus room for headers, palette, gaps and an embedded colour profile.
constexpr std::uint64_t kBmpMaxFileSize = 4 * kBmpMaxPixels + (std::uint64_t{16} << 20);

// Decodes a whole BMP file held in memory. On failure returns false and sets `error` to a short
// English cause ("not a Windows bitmap (bad signature)", "truncated: pixel data ends at byte N of
// M", "zero width or height", "palette index 200 outside 16 entries", ...). Never throws, never
// reads out of bounds; `out` is left empty on failure.
bool DecodeBmp(const std::uint8_t* data, std::size_t size, DecodedBitmap& out, std::string& error);

// Reads and decodes a file (UTF-8 path). On failure `error` names the cause ("file not found",
// the system's message for other I/O failures, or the decoder's cause); callers prepend the path.
// A file larger than kBmpMaxFileSize is refused before anything is read.
bool LoadBmpFile(const std::string& path, DecodedBitmap& out, std::string& error);

}  // namespace tavrik
