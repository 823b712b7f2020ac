// Wrapping of message box text to the width of an 800-pixel screen.
#include "shell/message_box.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tavrik {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::size_t Chars(const std::string& utf8) {
  std::size_t n = 0;
  for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

TEST(WrapLines, BreaksOnlyWhatIsTooLongBeforeAWord) {
  struct Case {
    const char* what;
    std::string text;
    std::size_t columns;
    std::string wrapped;
  } cases[] = {
      {"a line that fits, inner blanks kept", "Испытание № 1    ,1 ,0 ", 30,
       "Испытание № 1    ,1 ,0 "},
      {"line breaks and empty lines kept", "a\n\nb\n", 5, "a\n\nb\n"},
      {"at the last blank that fits", "один два три четыре", 10, "один два\nтри четыре"},
      {"a blank right after the piece", "abcde fgh", 5, "abcde\nfgh"},
      {"a path between folders", "/home/examiner/Tavrik/Отчет/Линейная.txt", 22,
       "/home/examiner/Tavrik/\nОтчет/Линейная.txt"},
      {"a word longer than a line is cut", "abcdefghij", 4, "abcd\nefgh\nij"},
      {"Cyrillic counted in letters, not bytes", "ЖЖЖЖ ЖЖЖЖ", 4, "ЖЖЖЖ\nЖЖЖЖ"},
  };
  for (const Case& c : cases) EXPECT_EQ(WrapLines(c.text, c.columns), c.wrapped) << c.what;
}

TEST(WrapLines, AReportFailureFitsAndItsBlockStaysWhole) {
  const std::string block =
      "Испытуемый: Иван Петров\n"
      "Дата и время: 10.12.2026 14:05:09\n"
      "\n"
      "Левая рука:\n"
      "Испытание № 1    ,1 ,1 ,0 ,1 ,1 ,1 ,1 ,0 ,1 ,1 \n";
  const std::string message =
      "Не удалось записать отчет в файл /home/examiner/Документы/Tavrik/Отчет/Линейная.txt: "
      "No space left on device; файл не удалось вернуть к прежнему виду: Read-only file system. "
      "Результаты испытуемого «Иван Петров» выведены в стандартный поток ошибок:\n\n" +
      block;
  const std::string wrapped = WrapLines(message);
  for (const std::string& line : Lines(wrapped)) {
    EXPECT_LE(Chars(line), kMessageColumns) << line;
  }
  EXPECT_NE(wrapped.find(block), std::string::npos) << wrapped;
  auto letters = [](const std::string& text) {
    std::string kept;
    for (const char c : text) {
      if (c != '\n' && c != ' ') kept += c;
    }
    return kept;
  };
  EXPECT_EQ(letters(wrapped), letters(message)) << "nothing but line breaks and blanks changes";
}

}  // namespace
}  // namespace tavrik
