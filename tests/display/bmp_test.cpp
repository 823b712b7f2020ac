// The bitmap decoder: every header kind, depth, compression and row order of one picture
// decodes to the same pixels; harmless quirks of real writers are accepted; broken files are
// refused with a cause that says what is wrong; truncated and damaged files never crash it.
#include "display/bmp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "testkit/bmp_writer.h"

namespace tavrik {
namespace {

using namespace testkit;

std::string HexColour(std::uint32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(c));
  return text;
}

// Channel values that survive 5- and 6-bit channels unchanged, so the 16-bit variants must
// give back exactly the same picture as the others.
constexpr std::uint32_t kA = 0xFF0000, kB = 0x00FF00, kC = 0x0000FF, kD = 0xFFFFFF, kE = 0x081031,
                        kF = 0xCEEFF7, kG = 0xFFCE08, kH = 0x31F710, kI = 0x10EF31, kJ = 0xF708CE;

// 5 x 3: an odd width for row padding, and runs of equal and alternating colours so that the
// RLE writer produces encoded, alternating and absolute runs, odd ones with their padding.
const DecodedBitmap& Colourful() {
  static const DecodedBitmap p{5,
                               3,
                               {kA, kA, kA, kB, kC,  //
                                kD, kE, kF, kG, kG,  //
                                kH, kI, kH, kI, kJ}};
  return p;
}

// 11 x 3 in two colours for 1 bit per pixel: rows cross a byte boundary and need padding.
const DecodedBitmap& TwoTone() {
  constexpr std::uint32_t o = 0x123456, x = 0xFEDCBA;
  static const DecodedBitmap p{11, 3, {x, o, o, o, o, o, o, o, x, x, o,  //
                                       o, x, o, x, o, x, o, x, o, x, o,  //
                                       x, x, x, o, o, o, o, o, o, o, x}};
  return p;
}

::testing::AssertionResult SamePicture(const DecodedBitmap& expected, const DecodedBitmap& actual) {
  if (actual.width != expected.width || actual.height != expected.height) {
    return ::testing::AssertionFailure()
           << "size " << actual.width << " x " << actual.height << ", expected " << expected.width
           << " x " << expected.height;
  }
  if (actual.pixels.size() != expected.pixels.size()) {
    return ::testing::AssertionFailure()
           << actual.pixels.size() << " pixels, expected " << expected.pixels.size();
  }
  for (std::size_t i = 0; i < expected.pixels.size(); ++i) {
    if (actual.pixels[i] != expected.pixels[i]) {
      return ::testing::AssertionFailure()
             << "pixel (" << i % expected.width << ", " << i / expected.width << ") is "
             << HexColour(actual.pixels[i]) << ", expected " << HexColour(expected.pixels[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

DecodedBitmap MustDecode(const Bytes& file) {
  DecodedBitmap out;
  std::string error;
  EXPECT_TRUE(DecodeBmp(file.data(), file.size(), out, error)) << "error: " << error;
  return out;
}

BmpOptions Opt(BmpHeader header, int bpp, std::uint32_t compression = kBiRgb, bool top_down = false,
               std::uint32_t r = 0, std::uint32_t g = 0, std::uint32_t b = 0, std::uint32_t a = 0) {
  BmpOptions o;
  o.header = header;
  o.bpp = bpp;
  o.compression = compression;
  o.top_down = top_down;
  o.masks[0] = r;
  o.masks[1] = g;
  o.masks[2] = b;
  o.masks[3] = a;
  return o;
}

struct VariantCase {
  const char* name;
  const DecodedBitmap& picture;
  BmpOptions options;
};

TEST(BmpDecode, EveryVariantGivesTheSamePicture) {
  using H = BmpHeader;
  const DecodedBitmap& c = Colourful();
  const DecodedBitmap& t = TwoTone();
  const VariantCase cases[] = {
      {"core 1", t, Opt(H::kCore, 1)},
      {"core 4", c, Opt(H::kCore, 4)},
      {"core 8", c, Opt(H::kCore, 8)},
      {"core 24", c, Opt(H::kCore, 24)},
      {"info 1", t, Opt(H::kInfo, 1)},
      {"info 1 top-down", t, Opt(H::kInfo, 1, kBiRgb, true)},
      {"info 4", c, Opt(H::kInfo, 4)},
      {"info 8", c, Opt(H::kInfo, 8)},
      {"info 8 top-down", c, Opt(H::kInfo, 8, kBiRgb, true)},
      {"info 16 x1r5g5b5", c, Opt(H::kInfo, 16)},
      {"info 16 top-down", c, Opt(H::kInfo, 16, kBiRgb, true)},
      {"info 16 bitfields 5-6-5", c, Opt(H::kInfo, 16, kBiBitfields, false, 0xF800, 0x07E0, 0x1F)},
      {"info 16 alpha bitfields 1-5-5-5", c,
       Opt(H::kInfo, 16, kBiAlphaBitfields, false, 0x7C00, 0x03E0, 0x1F, 0x8000)},
      {"info 24", c, Opt(H::kInfo, 24)},
      {"info 24 top-down", c, Opt(H::kInfo, 24, kBiRgb, true)},
      {"info 32 x8r8g8b8", c, Opt(H::kInfo, 32)},
      {"info 32 top-down", c, Opt(H::kInfo, 32, kBiRgb, true)},
      {"info 32 bitfields b-g-r order", c,
       Opt(H::kInfo, 32, kBiBitfields, false, 0xFF, 0xFF00, 0xFF0000)},
      {"info 32 bitfields 10-10-10", c,
       Opt(H::kInfo, 32, kBiBitfields, false, 0x3FF00000, 0x000FFC00, 0x3FF)},
      {"info 32 alpha bitfields", c,
       Opt(H::kInfo, 32, kBiAlphaBitfields, false, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)},
      {"info RLE8", c, Opt(H::kInfo, 8, kBiRle8)},
      {"info RLE4", c, Opt(H::kInfo, 4, kBiRle4)},
      {"V2 16 bitfields 5-6-5", c, Opt(H::kV2, 16, kBiBitfields, false, 0xF800, 0x07E0, 0x1F)},
      {"V3 32 alpha bitfields", c,
       Opt(H::kV3, 32, kBiBitfields, false, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)},
      {"V4 8", c, Opt(H::kV4, 8)},
      {"V4 24", c, Opt(H::kV4, 24)},
      {"V4 16 bitfields 5-6-5 top-down", c,
       Opt(H::kV4, 16, kBiBitfields, true, 0xF800, 0x07E0, 0x1F)},
      {"V5 1", t, Opt(H::kV5, 1)},
      {"V5 4", c, Opt(H::kV5, 4)},
      {"V5 32 bitfields", c, Opt(H::kV5, 32, kBiBitfields, false, 0xFF0000, 0xFF00, 0xFF)},
      {"V5 RLE8", c, Opt(H::kV5, 8, kBiRle8)},
      {"V5 RLE4", c, Opt(H::kV5, 4, kBiRle4)},
      {"OS/2 short 8", c, Opt(H::kOs2Short, 8)},
      {"OS/2 short 24", c, Opt(H::kOs2Short, 24)},
      {"OS/2 8", c, Opt(H::kOs2, 8)},
      {"OS/2 24", c, Opt(H::kOs2, 24)},
      {"OS/2 RLE4", c, Opt(H::kOs2, 4, kBiRle4)},
  };
  for (const VariantCase& v : cases) {
    SCOPED_TRACE(v.name);
    EXPECT_TRUE(SamePicture(v.picture, MustDecode(WriteBmp(v.picture, v.options))));
  }
}

struct QuirkCase {
  const char* name;
  BmpOptions options;
  std::function<void(Bytes&)> change;
};

TEST(BmpDecode, AcceptsHarmlessQuirksOfRealWriters) {
  using H = BmpHeader;
  BmpOptions short_palette = Opt(H::kInfo, 8);
  short_palette.write_colours_used = false;  // claims 256 colours, holds the 10 in use
  BmpOptions gap = Opt(H::kInfo, 8);
  gap.gap = 7;
  const auto nothing = [](Bytes&) {};
  const QuirkCase cases[] = {
      {"planes 0", Opt(H::kInfo, 24), [](Bytes& f) { PutU16(f, kPlanesAt, 0); }},
      {"planes 3", Opt(H::kInfo, 24), [](Bytes& f) { PutU16(f, kPlanesAt, 3); }},
      {"palette shorter than claimed", short_palette, nothing},
      {"colour count above 2^bpp", Opt(H::kInfo, 4),
       [](Bytes& f) { PutU32(f, kColoursUsedAt, 1000); }},
      {"gap before the pixel data", gap, nothing},
      {"last row without its padding", Opt(H::kInfo, 24), [](Bytes& f) { f.pop_back(); }},
      {"wrong file size and image size fields", Opt(H::kInfo, 24),
       [](Bytes& f) {
         PutU32(f, 2, 7);
         PutU32(f, 34, 0xFFFFFFF0u);
       }},
      {"all-zero bit masks mean 5-5-5", Opt(H::kV4, 16, kBiBitfields, false, 0x7C00, 0x3E0, 0x1F),
       [](Bytes& f) {
         for (std::size_t at = kRedMaskAt; at < kRedMaskAt + 12; ++at) f[at] = 0;
       }},
      {"RLE8 ending on end of line instead of end of bitmap", Opt(H::kInfo, 8, kBiRle8),
       [](Bytes& f) { f.back() = 0; }},
  };
  for (const QuirkCase& q : cases) {
    SCOPED_TRACE(q.name);
    Bytes file = WriteBmp(Colourful(), q.options);
    q.change(file);
    EXPECT_TRUE(SamePicture(Colourful(), MustDecode(file)));
  }
}

struct BrokenCase {
  const char* name;
  BmpOptions options;
  std::function<void(Bytes&)> change;
  const char* cause;
};

TEST(BmpDecode, RefusesBrokenFilesNamingTheCause) {
  using H = BmpHeader;
  const BmpOptions info8 = Opt(H::kInfo, 8);
  const BmpOptions info24 = Opt(H::kInfo, 24);
  const BmpOptions rle8 = Opt(H::kInfo, 8, kBiRle8);
  const BmpOptions rgb565 = Opt(H::kInfo, 16, kBiBitfields, false, 0xF800, 0x07E0, 0x1F);
  auto cut_to = [](std::size_t n) { return [n](Bytes& f) { f.resize(n); }; };
  auto u32 = [](std::size_t at, std::uint32_t v) { return [=](Bytes& f) { PutU32(f, at, v); }; };
  auto u16 = [](std::size_t at, std::uint32_t v) { return [=](Bytes& f) { PutU16(f, at, v); }; };
  // The colourful picture at 24 bits: 54 bytes of headers, rows of 16 bytes (15 + 1 padding).
  const BrokenCase cases[] = {
      {"empty file", info24, cut_to(0), "empty file"},
      {"wrong magic", info24, [](Bytes& f) { f[0] = 'P'; }, "not a Windows bitmap (bad signature)"},
      {"only the file header", info24, cut_to(14), "truncated: headers end at byte 18 of 14"},
      {"info header cut short", info24, cut_to(30), "truncated: headers end at byte 54 of 30"},
      {"unknown header size", info24, u32(kHeaderSizeAt, 41), "unknown header size 41"},
      {"zero width", info24, u32(kWidthAt, 0), "zero width or height"},
      {"zero height", info24, u32(kHeightAt, 0), "zero width or height"},
      {"zero height in a core header", Opt(H::kCore, 24), u16(20, 0), "zero width or height"},
      {"negative width", info24, u32(kWidthAt, static_cast<std::uint32_t>(-5)),
       "negative width -5"},
      {"height INT_MIN", info24, u32(kHeightAt, 0x80000000u), "invalid height -2147483648"},
      {"absurd size", info24,
       [](Bytes& f) {
         PutU32(f, kWidthAt, 70000);
         PutU32(f, kHeightAt, 70000);
       },
       "image too large: 70000 x 70000"},
      {"sides allowed, area not", info24,
       [](Bytes& f) {
         PutU32(f, kWidthAt, 16384);
         PutI32(f, kHeightAt, -16384);
       },
       "image too large: 16384 x 16384"},
      {"bit depth 2", info24, u16(kBppAt, 2), "unsupported bit depth 2"},
      {"bit depth 0", info24, u16(kBppAt, 0), "unsupported bit depth 0"},
      {"unknown compression", info24, u32(kCompressionAt, 7), "unsupported compression 7"},
      {"embedded JPEG", info24, u32(kCompressionAt, 4), "embedded JPEG/PNG not supported"},
      {"embedded PNG", info24, u32(kCompressionAt, 5), "embedded JPEG/PNG not supported"},
      {"RLE8 at 24 bits", info24, u32(kCompressionAt, kBiRle8),
       "RLE8 compression with 24 bits per pixel"},
      {"RLE4 at 8 bits", info8, u32(kCompressionAt, kBiRle4),
       "RLE4 compression with 8 bits per pixel"},
      {"bit fields at 8 bits", info8, u32(kCompressionAt, kBiBitfields),
       "bit-field compression with 8 bits per pixel"},
      {"OS/2 Huffman", Opt(H::kOs2, 8), u32(kCompressionAt, 3),
       "unsupported compression 3 (OS/2 Huffman)"},
      {"top-down RLE", rle8, u32(kHeightAt, static_cast<std::uint32_t>(-3)),
       "top-down bitmap with RLE compression"},
      {"pixel data cut", info24, cut_to(96), "truncated: pixel data ends at byte 101 of 96"},
      {"height beyond the data", info24, u32(kHeightAt, 1000),
       "truncated: pixel data ends at byte 16053 of 102"},
      {"4-bit data cut", Opt(H::kInfo, 4), [](Bytes& f) { f.resize(f.size() - 3); },
       "truncated: pixel data ends at byte 105 of 103"},
      {"pixel offset past the end", info24, u32(kOffBitsAt, 5000),
       "pixel data offset 5000 beyond the end of the file (102 bytes)"},
      {"pixel offset inside the headers", info24, u32(kOffBitsAt, 20),
       "pixel data offset 20 inside the headers (which end at byte 54)"},
      {"bit masks cut", rgb565, cut_to(60), "truncated: bit masks end at byte 66 of 60"},
      {"gapped mask", rgb565, u32(kRedMaskAt, 0xF00F), "red mask 0x0000F00F is not contiguous"},
      {"mask wider than the pixel", rgb565, u32(kRedMaskAt + 4, 0x1F0000),
       "green mask 0x001F0000 exceeds 16 bits"},
      {"index past the palette", info8, [](Bytes& f) { f[GetU32(f, kOffBitsAt) + 2] = 200; },
       "palette index 200 outside 10 entries"},
      {"no room for the palette", info8, u32(kOffBitsAt, 54), "outside 0 entries"},
      {"RLE index past the palette", rle8, [](Bytes& f) { f[GetU32(f, kOffBitsAt) + 3] = 10; },
       "palette index 10 outside 10 entries"},
      {"RLE data cut", rle8, [](Bytes& f) { f.resize(f.size() - 4); }, "truncated: RLE data ends"},
      {"RLE absolute run cut", rle8, [](Bytes& f) { f.resize(GetU32(f, kOffBitsAt) + 4); },
       "truncated: RLE data ends"},
  };
  for (const BrokenCase& b : cases) {
    SCOPED_TRACE(b.name);
    Bytes file = WriteBmp(Colourful(), b.options);
    b.change(file);
    DecodedBitmap out;
    std::string error;
    EXPECT_FALSE(DecodeBmp(file.data(), file.size(), out, error));
    EXPECT_NE(error.find(b.cause), std::string::npos)
        << "cause: \"" << error << "\", expected it to contain \"" << b.cause << "\"";
    EXPECT_TRUE(out.pixels.empty()) << out.pixels.size() << " pixels left in the output";
  }
}

struct MaskCase {
  const char* name;
  int bpp;
  std::uint32_t masks[3];  // all zero: the depth's default, without BI_BITFIELDS
  std::uint32_t raw;
  std::uint32_t expected;
};

TEST(BmpDecode, BitMaskChannelsScaleToFullEightBits) {
  const MaskCase cases[] = {
      {"5-6-5 red full", 16, {0xF800, 0x07E0, 0x1F}, 0xF800, 0xFF0000},
      {"5-6-5 green full", 16, {0xF800, 0x07E0, 0x1F}, 0x07E0, 0x00FF00},
      {"5-6-5 blue full", 16, {0xF800, 0x07E0, 0x1F}, 0x001F, 0x0000FF},
      {"5-6-5 red 16 of 31", 16, {0xF800, 0x07E0, 0x1F}, 0x8000, 0x840000},
      {"5-6-5 green 32 of 63", 16, {0xF800, 0x07E0, 0x1F}, 0x0400, 0x008200},
      {"5-6-5 zero", 16, {0xF800, 0x07E0, 0x1F}, 0x0000, 0x000000},
      {"5-5-5 default white, top bit ignored", 16, {0, 0, 0}, 0xFFFF, 0xFFFFFF},
      {"5-5-5 default top bit alone", 16, {0, 0, 0}, 0x8000, 0x000000},
      {"4-4-4 full red", 16, {0x0F00, 0xF0, 0xF}, 0x0F00, 0xFF0000},
      {"4-4-4 red 8 of 15", 16, {0x0F00, 0xF0, 0xF}, 0x0800, 0x880000},
      {"1-bit channels", 16, {0x4, 0x2, 0x1}, 0x7, 0xFFFFFF},
      {"10-bit red 512", 32, {0x3FF00000, 0xFFC00, 0x3FF}, 0x20000000, 0x800000},
      {"default 32 ignores the top byte", 32, {0, 0, 0}, 0xAB123456, 0x123456},
  };
  for (const MaskCase& m : cases) {
    SCOPED_TRACE(m.name);
    const bool bitfields = m.masks[0] || m.masks[1] || m.masks[2];
    const BmpOptions o = Opt(BmpHeader::kInfo, m.bpp, bitfields ? kBiBitfields : kBiRgb, false,
                             m.masks[0], m.masks[1], m.masks[2]);
    Bytes file = WriteBmp(DecodedBitmap{1, 1, {0}}, o);
    const std::size_t at = GetU32(file, kOffBitsAt);
    for (int i = 0; i < m.bpp / 8; ++i) file[at + i] = static_cast<std::uint8_t>(m.raw >> (8 * i));
    const DecodedBitmap out = MustDecode(file);
    ASSERT_EQ(out.pixels.size(), 1u);
    EXPECT_EQ(HexColour(out.pixels[0]), HexColour(m.expected));
  }
}

// Hand-written RLE streams for the escapes that the writer never produces.
TEST(BmpDecode, RleDeltaClippedRunsAndUnwrittenPixels) {
  const std::uint32_t p0 = 0x404040, p1 = 0x00AA00, p2 = 0x0000AA;
  struct RleCase {
    const char* name;
    std::uint32_t compression;
    int width;
    int height;
    Bytes data;
    std::vector<std::uint32_t> expected;  // top row first
  };
  const RleCase cases[] = {
      {"RLE8: delta, run cut at the row end, early end of bitmap",
       kBiRle8,
       4,
       3,
       {2, 1,        // bottom row: two of p1
        0, 2, 1, 1,  // delta one right and one up: (3, 1)
        1, 2,        // one p2
        0, 0,        // end of line: top row
        6, 1,        // six p1 into a row of four: cut
        0, 1},
       {p1, p1, p1, p1,  //
        p0, p0, p0, p2,  //
        p1, p1, p0, p0}},
      {"RLE8: delta past the top ends the image",
       kBiRle8,
       2,
       2,
       {1, 1, 0, 2, 0, 5, 1, 2},  // the run after the delta is never drawn
       {p0, p0, p1, p0}},
      {"RLE4: odd absolute run with padding, then a one-pixel run",
       kBiRle4,
       6,
       1,
       {0, 5, 0x12, 0x01, 0x20, 0, 1, 0x20, 0, 1},
       {p1, p2, p0, p1, p2, p2}},
  };
  for (const RleCase& c : cases) {
    SCOPED_TRACE(c.name);
    BmpOptions o = Opt(BmpHeader::kInfo, c.compression == kBiRle8 ? 8 : 4, c.compression);
    const Bytes file = AssembleBmp(o, c.width, c.height, {p0, p1, p2}, c.data);
    EXPECT_TRUE(SamePicture(DecodedBitmap{c.width, c.height, c.expected}, MustDecode(file)));
  }
}

// Memory safety is what counts here (run the sanitizer build): every prefix and many randomly
// damaged copies of several variants either decode to a consistent bitmap or give a cause.
TEST(BmpDecode, SurvivesEveryTruncationAndRandomDamage) {
  using H = BmpHeader;
  const Bytes files[] = {
      WriteBmp(Colourful(), Opt(H::kInfo, 8, kBiRle8)),
      WriteBmp(Colourful(), Opt(H::kV5, 4, kBiRle4)),
      WriteBmp(TwoTone(), Opt(H::kCore, 1)),
      WriteBmp(Colourful(), Opt(H::kInfo, 16, kBiBitfields, true, 0xF800, 0x07E0, 0x1F)),
      WriteBmp(Colourful(), Opt(H::kV4, 24)),
  };
  auto check = [](const Bytes& file, const std::string& what) {
    DecodedBitmap out;
    std::string error;
    if (DecodeBmp(file.data(), file.size(), out, error)) {
      EXPECT_EQ(out.pixels.size(), static_cast<std::size_t>(out.width) * out.height) << what;
      EXPECT_GT(out.width, 0) << what;
    } else {
      EXPECT_FALSE(error.empty()) << what;
    }
  };
  std::mt19937 random(12345);
  for (const Bytes& whole : files) {
    for (std::size_t n = 0; n < whole.size(); ++n) {
      const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
      check(prefix, "prefix of " + std::to_string(n) + " bytes");
    }
    for (int round = 0; round < 2000; ++round) {
      Bytes damaged = whole;
      const int hits = 1 + static_cast<int>(random() % 4);
      for (int k = 0; k < hits; ++k) {
        damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
      }
      check(damaged, "damage round " + std::to_string(round));
    }
  }
}

TEST(BmpFile, LoadsAFileFromDiskUnderACyrillicName) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "tavrik_bmp_test";
  fs::create_directories(dir);
  const fs::path file = dir / fs::u8path("Шарик.bmp");
  const Bytes bytes = WriteBmp(Colourful(), Opt(BmpHeader::kV5, 8, kBiRle8));
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));

  DecodedBitmap out;
  std::string error;
  EXPECT_TRUE(LoadBmpFile(file.u8string(), out, error)) << "error: " << error;
  EXPECT_TRUE(SamePicture(Colourful(), out));
  fs::remove_all(dir);
}

TEST(BmpFile, NamesTheCauseWhenAFileCannotBeUsed) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "tavrik_bmp_file_errors";
  fs::create_directories(dir);
  // Sparse, so it costs no disk; the loader must refuse it from its size alone.
  const fs::path huge = dir / "huge.bmp";
  std::ofstream(huge, std::ios::binary) << "BM";
  fs::resize_file(huge, kBmpMaxFileSize + 1);

  struct Case {
    fs::path path;
    const char* cause;
  };
  const Case cases[] = {
      {dir / "missing.bmp", "file not found"},
      {dir / "no_folder" / "missing.bmp", "file not found"},
      {dir, "a folder, not a file"},
      {huge, "file too large for a bitmap"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.u8string());
    DecodedBitmap out;
    std::string error;
    EXPECT_FALSE(LoadBmpFile(c.path.u8string(), out, error));
    EXPECT_NE(error.find(c.cause), std::string::npos)
        << "cause: \"" << error << "\", expected it to contain \"" << c.cause << "\"";
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tavrik
