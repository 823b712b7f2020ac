// Case-insensitive lookup of the program's file and folder names.
#include "filenames/path_lookup.h"

#include <filesystem>
#include <system_error>

#include "codepage/cp1251.h"

namespace tavrik {

std::string FoldCase(const std::string& utf8) {
  // Every name the program looks for lies inside Windows-1251, so folding there is enough;
  // characters outside the code page are kept as they are.
  std::string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    const std::size_t len = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : 4;
    const std::string piece = utf8.substr(i, len);
    i += len;
    const std::string code = Utf8ToCp1251(piece);
    if (code.size() != 1 || code[0] == '?') {
      out += piece;
      continue;
    }
    auto c = static_cast<unsigned char>(code[0]);
    if (c >= 'A' && c <= 'Z')
      c = static_cast<unsigned char>(c + 32);
    else if (c >= 0xC0 && c <= 0xDF)
      c = static_cast<unsigned char>(c + 32);
    else if (c == 0xA8)
      c = 0xB8;  // Ё
    out += Cp1251ToUtf8(std::string(1, static_cast<char>(c)));
  }
  return out;
}

std::string ResolveCaseInsensitive(const std::string& dir, const std::string& name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path exact = fs::u8path(dir + name);
  if (fs::exists(exact, ec)) return dir + name;
  const std::string wanted = FoldCase(name);
  for (fs::directory_iterator it(fs::u8path(dir), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string entry = it->path().filename().u8string();
    if (FoldCase(entry) == wanted) return dir + entry;
  }
  return dir + name;
}

}  // namespace tavrik
