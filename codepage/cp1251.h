// Windows-1251: the code page of every character the program handles (typed names, hand keys,
// the bitmap font, the report files). The program keeps its texts as Windows-1251 bytes and
// converts at the edges: UTF-8 from the platform's text input, UTF-8 for messages and paths.
#pragma once

#include <string>
#include <string_view>

namespace tavrik {

// The Windows-1251 code of a Unicode code point, or -1 when the code page lacks it.
int Cp1251FromCodepoint(char32_t cp);

// The Unicode code point of a Windows-1251 byte (0 for the one unassigned byte, 0x98).
char32_t CodepointFromCp1251(unsigned char code);

// UTF-8 to Windows-1251. A character the code page lacks, and every malformed UTF-8 sequence,
// becomes "?".
std::string Utf8ToCp1251(std::string_view utf8);

// Windows-1251 to UTF-8.
std::string Cp1251ToUtf8(std::string_view cp1251);

}  // namespace tavrik
