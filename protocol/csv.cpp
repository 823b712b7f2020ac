// Reading and writing the record files' CSV form.
#include "protocol/csv.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tavrik::protocol {

const char kUtf8Bom[] = "\xEF\xBB\xBF";

std::vector<CsvRow> ParseCsv(std::string_view text) {
  std::vector<CsvRow> rows;
  ForEachCsvRow(text, [&rows](CsvRow& row) { rows.push_back(std::move(row)); });
  return rows;
}

void ForEachCsvRow(std::string_view text, const std::function<void(CsvRow&)>& take) {
  if (text.substr(0, 3) == kUtf8Bom) text.remove_prefix(3);
  std::size_t i = 0;
  int line = 1;
  while (i < text.size()) {
    CsvRow row;
    row.line = line;
    std::string field;
    bool ended = false;
    while (!ended) {
      if (i < text.size() && text[i] == '"') {
        ++i;
        while (i < text.size()) {
          const char c = text[i++];
          if (c == '"') {
            if (i < text.size() && text[i] == '"') {
              field += '"';
              ++i;
              continue;
            }
            break;
          }
          if (c == '\n') ++line;
          field += c;
        }
      }
      // The rest of an unquoted field, or what follows a closing quote up to the separator.
      while (i < text.size() && text[i] != ';' && text[i] != '\r' && text[i] != '\n') {
        field += text[i++];
      }
      row.fields.push_back(std::move(field));
      field.clear();
      if (i < text.size() && text[i] == ';') {
        ++i;
        continue;
      }
      ended = true;
      if (i < text.size() && text[i] == '\r') ++i;
      if (i < text.size() && text[i] == '\n') ++i;
      ++line;
    }
    if (!(row.fields.size() == 1 && row.fields[0].empty())) take(row);
  }
}

std::string CsvField(const std::string& text) {
  const bool outer_blank = !text.empty() && (text.front() == ' ' || text.back() == ' ');
  if (!outer_blank && text.find_first_of(";\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CsvRowText(const std::vector<std::string>& fields) {
  std::string row;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) row += ';';
    row += fields[i];
  }
  return row + "\r\n";
}

std::string DecimalText(double value, int decimals) {
  char buffer[64];
  const auto r =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  std::string text(buffer, r.ptr);
  for (char& c : text) {
    if (c == '.') c = ',';
  }
  if (!text.empty() && text[0] == '-' && text.find_first_of("123456789") == std::string::npos) {
    text.erase(0, 1);
  }
  return text;
}

bool ParseDecimal(std::string_view text, double* value) {
  if (text.empty() || text.size() > 40) return false;
  std::string plain(text);
  for (char& c : plain) {
    if (c == ',') c = '.';
  }
  // from_chars takes no "+" and no blanks, which the files never hold either.
  const char* begin = plain.data();
  const char* end = plain.data() + plain.size();
  const auto r = std::from_chars(begin, end, *value, std::chars_format::fixed);
  return r.ec == std::errc() && r.ptr == end && std::isfinite(*value);
}

bool ParseWhole(std::string_view text, int* value) {
  if (text.empty()) return false;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), *value);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

}  // namespace tavrik::protocol
