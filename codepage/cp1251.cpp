// Windows-1251 conversion tables: the upper half of the code page as Unicode code points.
#include "codepage/cp1251.h"

#include <array>

namespace tavrik {
namespace {

// 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char32_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

int Cp1251FromCodepoint(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(cp - 0x0410 + 0xC0);
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == cp && cp != 0) return static_cast<int>(0x80 + i);
  }
  return -1;
}

char32_t CodepointFromCp1251(unsigned char code) {
  if (code < 0x80) return code;
  if (code >= 0xC0) return 0x0410 + (code - 0xC0);
  return kHigh[code - 0x80];
}

std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    int len = b0 < 0x80           ? 1
              : (b0 >> 5) == 0x6  ? 2
              : (b0 >> 4) == 0xE  ? 3
              : (b0 >> 3) == 0x1E ? 4
                                  : 0;
    char32_t cp = 0;
    bool ok = len > 0 && i + len <= utf8.size();
    if (ok) {
      cp = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
      for (int k = 1; k < len && ok; ++k) {
        const auto b = static_cast<unsigned char>(utf8[i + k]);
        ok = (b & 0xC0) == 0x80;
        cp = (cp << 6) | (b & 0x3F);
      }
      // Overlong forms and surrogates are malformed, not characters.
      static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
      ok = ok && cp >= kMin[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    }
    if (!ok) {
      out += '?';
      ++i;
      continue;
    }
    const int code = Cp1251FromCodepoint(cp);
    out += code < 0 ? '?' : static_cast<char>(code);
    i += static_cast<std::size_t>(len);
  }
  return out;
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  for (const char c : cp1251) {
    const char32_t cp = CodepointFromCp1251(static_cast<unsigned char>(c));
    AppendUtf8(out, cp == 0 && c != 0 ? U'\uFFFD' : cp);
  }
  return out;
}

}  // namespace tavrik
