// Screen images as the end-to-end tests see them: 0xRRGGBB pixels, regions, comparison with a
// tolerance that reports where two images differ, and saving for a human to look at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

struct Box {
  int x = 0, y = 0, w = 0, h = 0;
  int Right() const { return x + w; }
  int Bottom() const { return y + h; }
  std::string Str() const;
};

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB, row after row

  Image() = default;
  Image(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, 0) {}
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  std::uint32_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  Image Crop(const Box& box) const;
};

inline int Red(std::uint32_t c) {
  return static_cast<int>((c >> 16) & 0xFF);
}
inline int Green(std::uint32_t c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
inline int Blue(std::uint32_t c) {
  return static_cast<int>(c & 0xFF);
}
// The largest difference of one channel between two colours.
int ChannelDelta(std::uint32_t a, std::uint32_t b);

struct Difference {
  long count = 0;  // pixels whose largest channel difference exceeds the tolerance
  int max_delta = 0;
  Box bounds;             // bounding box of those pixels (empty when count is 0)
  double mean_delta = 0;  // mean over all compared pixels of the largest channel difference
  bool Same() const { return count == 0; }
  std::string Str() const;
};

// Compares `box` of `actual` with the same box of `expected` (both of the same size).
Difference Compare(const Image& actual, const Image& expected, const Box& box, int tolerance);

// Writes a binary PPM. Returns false when the file cannot be written.
bool SavePpm(const Image& image, const std::string& path);

// Writes a PNG through ImageMagick's `convert` when it is installed; false otherwise.
bool SavePng(const Image& image, const std::string& path);

// Saves both images of a failed comparison and a picture of where they differ under `dir`,
// named after `what`; returns a line naming the files (PNG where possible, PPM otherwise).
std::string SaveMismatch(const Image& actual, const Image& expected, const std::string& dir,
                         const std::string& what, int tolerance);

}  // namespace e2e
