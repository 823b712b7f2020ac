// Windows-1251 conversion, checked against the C library's own iconv table.
#include "codepage/cp1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

namespace tavrik {
namespace {

TEST(Cp1251, EveryByteRoundTripsAndMatchesIconv) {
  iconv_t cd = iconv_open("UTF-8", "CP1251");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  for (int code = 1; code < 256; ++code) {
    if (code == 0x98) continue;  // unassigned in the code page
    char in = static_cast<char>(code);
    char out[8] = {};
    char* inp = &in;
    char* outp = out;
    size_t inleft = 1, outleft = sizeof out;
    ASSERT_NE(iconv(cd, &inp, &inleft, &outp, &outleft), static_cast<size_t>(-1)) << code;
    const std::string expected(out, sizeof out - outleft);
    EXPECT_EQ(Cp1251ToUtf8(std::string(1, in)), expected) << "byte " << code;
    EXPECT_EQ(Utf8ToCp1251(expected), std::string(1, in)) << "byte " << code;
  }
  iconv_close(cd);
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
