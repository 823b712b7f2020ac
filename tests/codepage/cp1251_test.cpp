// Windows-1251 conversion, checked against the system's own table: the C library's iconv, or
// Windows' code page 1251 on Windows.
#include "codepage/cp1251.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <string>

namespace tavrik {
namespace {

// The UTF-8 of one Windows-1251 byte as the system converts it; false if it cannot.
bool SystemUtf8(char byte, std::string* utf8) {
#ifdef _WIN32
  wchar_t wide[2] = {};
  if (MultiByteToWideChar(1251, MB_ERR_INVALID_CHARS, &byte, 1, wide, 2) != 1) return false;
  char out[8] = {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, 1, out, sizeof out, nullptr, nullptr);
  if (n <= 0) return false;
  *utf8 = std::string(out, static_cast<std::size_t>(n));
  return true;
#else
  static const iconv_t cd = iconv_open("UTF-8", "CP1251");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char out[8] = {};
  char* inp = &byte;
  char* outp = out;
  size_t inleft = 1, outleft = sizeof out;
  if (iconv(cd, &inp, &inleft, &outp, &outleft) == static_cast<size_t>(-1)) return false;
  *utf8 = std::string(out, sizeof out - outleft);
  return true;
#endif
}

TEST(Cp1251, EveryByteRoundTripsAndMatchesTheSystem) {
  for (int code = 1; code < 256; ++code) {
    if (code == 0x98) continue;  // unassigned in the code page
    const char in = static_cast<char>(code);
    std::string expected;
    ASSERT_TRUE(SystemUtf8(in, &expected)) << code;
    EXPECT_EQ(Cp1251ToUtf8(std::string(1, in)), expected) << "byte " << code;
    EXPECT_EQ(Utf8ToCp1251(expected), std::string(1, in)) << "byte " << code;
  }
}

TEST(Cp1251, TextsOfTheProgram) {
  struct Case {
    const char* utf8;
    std::string cp1251;
  } cases[] = {
      {"А", "\xC0"}, {"я", "\xFF"}, {"Ё", "\xA8"}, {"ё", "\xB8"}, {"№", "\xB9"},
      {"Й", "\xC9"}, {"й", "\xE9"}, {"Ъ", "\xDA"}, {"ъ", "\xFA"}, {"q]", "q]"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.utf8;
}

TEST(Cp1251, MissingCharactersAndBrokenUtf8BecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("日本"), "??");
  EXPECT_EQ(Utf8ToCp1251("ä"), "?");  // Latin-1 letter the code page lacks
  EXPECT_EQ(Utf8ToCp1251("a\xFF"
                         "b"),
            "a?b");                           // stray byte
  EXPECT_EQ(Utf8ToCp1251("\xC0\x80"), "??");  // overlong NUL
  EXPECT_EQ(Utf8ToCp1251("\xD0"), "?");       // cut short
  EXPECT_EQ(Utf8ToCp1251("😀"), "?");
}

}  // namespace
}  // namespace tavrik
