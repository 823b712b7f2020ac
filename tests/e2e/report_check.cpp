// The expected report blocks and the check of what the program appended.
#include "report_check.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "failure.h"

namespace e2e {

namespace fs = std::filesystem;

std::string ToCp1251(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    char32_t cp = 0;
    int len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
      len = 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
      cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
           (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
      len = 3;
    } else {
      throw Failure("unexpected UTF-8 in a test text");
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp >= 0x410 && cp <= 0x44F) {
      out += static_cast<char>(0xC0 + (cp - 0x410));
    } else if (cp == 0x2116) {
      out += static_cast<char>(185);  // №
    } else {
      throw Failure("a test text has a character outside the Russian letters");
    }
    i += static_cast<std::size_t>(len);
  }
  return out;
}

std::string ReportFileName(int test_kind) {
  switch (test_kind) {
    case 1:
      return "Круговая.txt";
    case 2:
      return "Линейная.txt";
    case 3:
      return "Вспышка.txt";
    default:
      return "";
  }
}

std::string ExpectedBlock(const std::string& name, const std::string& date_time,
                          const Results& left, const Results& right) {
  const std::string crlf = "\r\n";
  auto rows = [&](const Results& r) {
    std::string text;
    for (int level = 1; level <= 4; ++level) {
      text += ToCp1251("Испытание № ") + std::to_string(level) + "    ";
      for (int cycle = 1; cycle <= 10; ++cycle) text += r[level][cycle] ? ",1 " : ",0 ";
      text += crlf;
    }
    return text;
  };
  return ToCp1251("Испытуемый: " + name) + crlf + ToCp1251("Дата и время: ") + date_time + crlf +
         crlf + ToCp1251("Левая рука:") + crlf + rows(left) + crlf + ToCp1251("Правая рука:") +
         crlf + rows(right) + crlf + crlf;
}

std::string PressRecordFileName(int test_kind) {
  const std::string report = ReportFileName(test_kind);
  return report.substr(0, report.size() - 4) + ".csv";
}

std::string FrameRecordFileName(int test_kind) {
  const std::string report = ReportFileName(test_kind);
  return report.substr(0, report.size() - 4) + "-кадры.csv";
}

ReportFolder ReportFolder::Read(const std::string& report_dir) {
  ReportFolder f;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::u8path(report_dir), ec)) {
    // A folder where a file belongs (a test puts one there) holds no bytes.
    if (entry.is_directory()) {
      f.files[entry.path().filename().u8string()] = "";
      continue;
    }
    std::ifstream in(entry.path(), std::ios::binary);
    f.files[entry.path().filename().u8string()] =
        std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  return f;
}

std::string ReportFolder::Listing() const {
  if (files.empty()) return "(empty)";
  std::string text;
  for (const auto& [name, bytes] : files) {
    text += (text.empty() ? "" : ", ") + name + " (" + std::to_string(bytes.size()) + " bytes)";
  }
  return text;
}

namespace {

// Shows report bytes readably: Windows-1251 letters as UTF-8, CR LF as a visible mark.
std::string Readable(const std::string& cp1251) {
  std::string out;
  for (const char ch : cp1251) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '\r') {
      out += "\\r";
    } else if (c >= 0xC0) {
      const char32_t cp = 0x410 + (c - 0xC0);
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (c == 185) {
      out += "№";
    } else if (c >= 0x80) {
      out += "<" + std::to_string(c) + ">";
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string FormatLocal(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &tm);
  return text;
}

}  // namespace

std::string CheckAppendedBlock(const ReportFolder& before, const ReportFolder& after, int test_kind,
                               const std::string& name, const Results& left, const Results& right,
                               std::time_t from, std::time_t to) {
  const std::string file = ReportFileName(test_kind);
  for (const auto& [other, bytes] : after.files) {
    // The protocol's summary, index and folder change with every completed test.
    if (other == file || other == PressRecordFileName(test_kind) ||
        other == FrameRecordFileName(test_kind) || other == "Сводка.csv" ||
        other == "Протоколы.html" || other == "Протоколы") {
      continue;
    }
    auto it = before.files.find(other);
    if (it == before.files.end() || it->second != bytes) {
      throw Failure("completing the test of " + file + " changed or created " + other +
                    "; the report folder before: " + before.Listing() +
                    "; after: " + after.Listing());
    }
  }
  for (const auto& [other, bytes] : before.files) {
    if (!after.files.count(other)) throw Failure("the report file " + other + " disappeared");
  }
  auto old_it = before.files.find(file);
  const std::string old_bytes = old_it == before.files.end() ? "" : old_it->second;
  auto new_it = after.files.find(file);
  if (new_it == after.files.end()) {
    throw Failure("no report file " + file + " after the test; the report folder holds " +
                  after.Listing());
  }
  const std::string& new_bytes = new_it->second;
  if (new_bytes.size() <= old_bytes.size() || new_bytes.compare(0, old_bytes.size(), old_bytes)) {
    throw Failure(
        file + " was not appended to: it held " + std::to_string(old_bytes.size()) +
        " bytes before and " + std::to_string(new_bytes.size()) + " after, and the old bytes are " +
        (new_bytes.compare(0, old_bytes.size(), old_bytes) ? "not " : "") + "at its start");
  }
  const std::string block = new_bytes.substr(old_bytes.size());

  // Line 2 carries the time the block was written: any second of the window will do.
  std::string expected;
  for (std::time_t t = from - 1; t <= to + 1; ++t) {
    expected = ExpectedBlock(name, FormatLocal(t), left, right);
    if (block == expected) return block;
  }
  std::string hint;
  const std::string prefix = ToCp1251("Дата и время: ");
  const std::size_t line2 = block.find('\n');
  bool bare_lf = false;
  for (std::size_t i = 0; i < block.size(); ++i) {
    if (block[i] == '\n' && (i == 0 || block[i - 1] != '\r')) bare_lf = true;
  }
  if (bare_lf) {
    hint = "every line must end in CR LF";
  } else if (line2 == std::string::npos || block.compare(line2 + 1, prefix.size(), prefix) != 0) {
    hint = "line 2 does not start with \"Дата и время: \"";
  } else {
    const std::string stamp = block.substr(line2 + 1 + prefix.size(), 19);
    bool stamp_right = false;
    for (std::time_t t = from - 1; t <= to + 1; ++t) stamp_right |= FormatLocal(t) == stamp;
    if (stamp_right) {
      hint = "the date and time are right; the name, the texts or the results differ";
      expected = ExpectedBlock(name, stamp, left, right);
    } else {
      hint = "line 2 must read \"Дата и время: \" and the local time from " + FormatLocal(from) +
             " to " + FormatLocal(to) + " as dd.mm.yyyy HH:MM:SS";
    }
  }
  std::size_t at = 0;
  while (at < block.size() && at < expected.size() && block[at] == expected[at]) ++at;
  throw Failure("the block appended to " + file + " is not the expected one (" + hint +
                "); first difference at byte " + std::to_string(at) + ".\nappended:\n" +
                Readable(block) + "\nexpected:\n" + Readable(expected));
}

}  // namespace e2e
