// The CSV form of the program's record files, read and written: UTF-8 with a byte-order mark,
// ";" between fields, "," as the decimal mark, CR LF line ends, a field quoted (with doubled
// quotes inside) only when it holds a ";", a quote, a line end or blanks at either end. The
// reader also takes LF alone and a file without the byte-order mark, as a spreadsheet that saved
// the file again leaves it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik::protocol {

extern const char kUtf8Bom[];

// One row of a CSV text and the line of the text it starts on (from 1).
struct CsvRow {
  int line = 0;
  std::vector<std::string> fields;
};

// The rows of `text` (the byte-order mark skipped). A quote left open runs to the end of the
// text, which then ends the last field: the row is kept and its caller finds it malformed by its
// fields. Empty lines are no rows.
std::vector<CsvRow> ParseCsv(std::string_view text);
// The same one row at a time, so that a large file's rows are never all held as fields; `take`
// may move the row's fields away.
void ForEachCsvRow(std::string_view text, const std::function<void(CsvRow&)>& take);

// A field as the writer spells it.
std::string CsvField(const std::string& text);

// The fields joined by ";" and ended by CR LF; each field is taken as it is (see CsvField).
std::string CsvRowText(const std::vector<std::string>& fields);

// `value` with `decimals` places after a "," and no sign when it rounds to zero, as the record
// files write numbers.
std::string DecimalText(double value, int decimals);

// A number written with "," (or ".") as the decimal mark and an optional minus; false for
// anything else, an empty field included.
bool ParseDecimal(std::string_view text, double* value);
bool ParseWhole(std::string_view text, int* value);

}  // namespace tavrik::protocol
