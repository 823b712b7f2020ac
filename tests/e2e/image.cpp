// Screen images: comparison and saving.
#include "image.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace e2e {

std::string Box::Str() const {
  return "x " + std::to_string(x) + ".." + std::to_string(x + w - 1) + ", y " + std::to_string(y) +
         ".." + std::to_string(y + h - 1);
}

Image Image::Crop(const Box& box) const {
  Image out(box.w, box.h);
  for (int y = 0; y < box.h; ++y) {
    for (int x = 0; x < box.w; ++x) out.At(x, y) = At(box.x + x, box.y + y);
  }
  return out;
}

int ChannelDelta(std::uint32_t a, std::uint32_t b) {
  return std::max(
      {std::abs(Red(a) - Red(b)), std::abs(Green(a) - Green(b)), std::abs(Blue(a) - Blue(b))});
}

std::string Difference::Str() const {
  if (count == 0) return "identical within the tolerance";
  char text[200];
  std::snprintf(text, sizeof text, "%ld pixels differ (largest channel difference %d) in %s", count,
                max_delta, bounds.Str().c_str());
  return text;
}

Difference Compare(const Image& actual, const Image& expected, const Box& box, int tolerance) {
  Difference d;
  int left = box.Right(), top = box.Bottom(), right = box.x - 1, bottom = box.y - 1;
  double sum = 0;
  for (int y = box.y; y < box.Bottom(); ++y) {
    for (int x = box.x; x < box.Right(); ++x) {
      const int delta = ChannelDelta(actual.At(x, y), expected.At(x, y));
      sum += delta;
      if (delta <= tolerance) continue;
      ++d.count;
      d.max_delta = std::max(d.max_delta, delta);
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (d.count > 0) d.bounds = Box{left, top, right - left + 1, bottom - top + 1};
  const long n = static_cast<long>(box.w) * box.h;
  d.mean_delta = n > 0 ? sum / static_cast<double>(n) : 0;
  return d;
}

bool SavePpm(const Image& image, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  if (!out) return false;
  out << "P6\n" << image.width << " " << image.height << "\n255\n";
  std::vector<char> row(static_cast<std::size_t>(image.width) * 3);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t c = image.At(x, y);
      row[3 * x] = static_cast<char>(Red(c));
      row[3 * x + 1] = static_cast<char>(Green(c));
      row[3 * x + 2] = static_cast<char>(Blue(c));
    }
    out.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
  return static_cast<bool>(out);
}

namespace {

bool HaveConvert() {
  static const int found = std::system("command -v convert >/dev/null 2>&1") == 0 ? 1 : 0;
  return found == 1;
}

}  // namespace

bool SavePng(const Image& image, const std::string& path) {
  if (!HaveConvert()) return false;
  const std::string ppm = path + ".ppm";
  if (!SavePpm(image, ppm)) return false;
  // Run directly, not through a shell, so that no path needs quoting.
  const pid_t pid = fork();
  if (pid == 0) {
    execlp("convert", "convert", ("ppm:" + ppm).c_str(), "-strip", ("png:" + path).c_str(),
           static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  const bool ok =
      pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  std::remove(ppm.c_str());
  return ok;
}

std::string SaveMismatch(const Image& actual, const Image& expected, const std::string& dir,
                         const std::string& what, int tolerance) {
  std::filesystem::create_directories(dir);
  // Where they differ: the expected image dimmed, differing pixels in magenta.
  Image diff(expected.width, expected.height);
  for (int y = 0; y < expected.height; ++y) {
    for (int x = 0; x < expected.width; ++x) {
      const std::uint32_t e = expected.At(x, y);
      diff.At(x, y) = ChannelDelta(actual.At(x, y), e) > tolerance
                          ? 0xFF00FFu
                          : static_cast<std::uint32_t>(((Red(e) / 3) << 16) |
                                                       ((Green(e) / 3) << 8) | (Blue(e) / 3));
    }
  }
  std::string line;
  const std::pair<const Image*, const char*> files[] = {
      {&actual, "screen"}, {&expected, "expected"}, {&diff, "diff"}};
  for (const auto& [image, suffix] : files) {
    const std::string base = dir + "/" + what + "-" + suffix;
    std::string saved = base + ".png";
    if (!SavePng(*image, saved)) {
      saved = base + ".ppm";
      if (!SavePpm(*image, saved)) saved = "(cannot write " + saved + ")";
    }
    line += (line.empty() ? "" : ", ") + saved;
  }
  return line;
}

}  // namespace e2e
