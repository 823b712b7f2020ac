// Reading a test's record rows and report blocks back.
#include "protocol/records.h"

#include "codepage/cp1251.h"
#include "protocol/csv.h"

namespace tavrik::protocol {

namespace {

bool WhenIsWellFormed(const std::string& when) {
  static const char kPattern[] = "dd.dd.dddd dd:dd:dd";
  if (when.size() != sizeof kPattern - 1) return false;
  for (std::size_t i = 0; i < when.size(); ++i) {
    if (kPattern[i] == 'd' ? (when[i] < '0' || when[i] > '9') : when[i] != kPattern[i]) {
      return false;
    }
  }
  return true;
}

// Reads the rows of a record text whose header is `header`; `take` turns the fields of one row
// into the caller's row or says what is wrong with them.
template <typename Row, typename Take>
std::vector<Row> ReadRows(std::string_view text, const std::string& file, bool has_header,
                          const std::vector<std::string>& header,
                          std::vector<ReadProblem>* problems, Take take) {
  std::vector<Row> out;
  bool first = true, foreign = false;
  ForEachCsvRow(text, [&](CsvRow& r) {
    if (foreign) return;
    if (first && has_header) {
      first = false;
      if (r.fields != header) {
        problems->push_back({file, r.line, "заголовок не тот, что пишет программа: файл пропущен"});
        foreign = true;
      }
      return;
    }
    first = false;
    if (r.fields.size() != header.size()) {
      problems->push_back({file, r.line,
                           "полей " + std::to_string(r.fields.size()) + " вместо " +
                               std::to_string(header.size()) + ": строка пропущена"});
      return;
    }
    Row row;
    std::string what;
    if (!WhenIsWellFormed(r.fields[1])) {
      what = "дата и время не в виде дд.мм.гггг чч:мм:сс";
    } else {
      what = take(r.fields, &row);
    }
    if (!what.empty()) {
      problems->push_back({file, r.line, what + ": строка пропущена"});
      return;
    }
    row.subject = std::move(r.fields[0]);
    row.when = std::move(r.fields[1]);
    out.push_back(std::move(row));
  });
  return out;
}

bool Level(const std::string& text, int* level) {
  return ParseWhole(text, level) && *level >= 1 && *level <= kLevelCount;
}

// An optional number: empty is "not given".
bool Optional(const std::string& text, bool* given, double* value) {
  *given = !text.empty();
  return text.empty() || ParseDecimal(text, value);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// One row of results, "Испытание № i    ,1 ,0 ...": the ten cells into `hits`.
bool ResultRow(const std::string& line, int level, bool* hits) {
  const std::string prefix = Utf8ToCp1251("Испытание № ") + std::to_string(level) + "    ";
  if (!StartsWith(line, prefix)) return false;
  std::size_t at = prefix.size();
  for (int cycle = 0; cycle < kCyclesPerLevel; ++cycle) {
    if (at + 3 > line.size() || line[at] != ',' || line[at + 2] != ' ') return false;
    if (line[at + 1] != '0' && line[at + 1] != '1') return false;
    hits[cycle] = line[at + 1] == '1';
    at += 3;
  }
  return at == line.size();
}

}  // namespace

std::string ProblemText(const ReadProblem& p) {
  if (p.line <= 0) return p.file + ": " + p.what;
  return p.file + ", строка " + std::to_string(p.line) + ": " + p.what;
}

const std::vector<std::string>& PressHeader() {
  static const std::vector<std::string> header = {
      "Испытуемый", "Дата и время", "Уровень",   "Цикл",           "Рука",
      "Итог",       "Кадр",         "Время, мс", "Отклонение, мс", "Отклонение, кадров",
      "Фаза"};
  return header;
}

const std::vector<std::string>& FrameHeader() {
  static const std::vector<std::string> header = {"Испытуемый",
                                                  "Дата и время",
                                                  "Уровень",
                                                  "Кадров",
                                                  "Частота экрана, Гц",
                                                  "Темп",
                                                  "Средний интервал, мс",
                                                  "Стандартное отклонение, мс",
                                                  "Наибольший интервал, мс",
                                                  "Пропущено кадров"};
  return header;
}

std::vector<PressRow> ReadPressRows(std::string_view text, const std::string& file, bool has_header,
                                    std::vector<ReadProblem>* problems) {
  return ReadRows<PressRow>(text, file, has_header, PressHeader(), problems,
                            [](const std::vector<std::string>& f, PressRow* row) -> std::string {
                              if (!Level(f[2], &row->level))
                                return "уровень «" + f[2] + "» не от 1 до 4";
                              if (!ParseWhole(f[3], &row->cycle) || row->cycle < 0)
                                return "цикл «" + f[3] + "» не число";
                              if (f[4] == "левая") {
                                row->hand = kLeft;
                              } else if (f[4] == "правая") {
                                row->hand = kRight;
                              } else {
                                return "рука «" + f[4] + "» не «левая» и не «правая»";
                              }
                              if (f[5] == "попадание") {
                                row->outcome = Outcome::kHit;
                              } else if (f[5] == "промах") {
                                row->outcome = Outcome::kMiss;
                              } else if (f[5] == "не учтено") {
                                row->outcome = Outcome::kLatched;
                              } else {
                                return "итог «" + f[5] + "» не из тех, что пишет программа";
                              }
                              if (!ParseWhole(f[6], &row->frame) || row->frame < 0)
                                return "кадр «" + f[6] + "» не число";
                              if (!Optional(f[7], &row->timed, &row->time_ms))
                                return "время «" + f[7] + "» не число";
                              if (!Optional(f[8], &row->deviates, &row->deviation_ms)) {
                                return "отклонение «" + f[8] + "» не число";
                              }
                              return "";
                            });
}

std::vector<FrameRow> ReadFrameRows(std::string_view text, const std::string& file, bool has_header,
                                    std::vector<ReadProblem>* problems) {
  return ReadRows<FrameRow>(
      text, file, has_header, FrameHeader(), problems,
      [](const std::vector<std::string>& f, FrameRow* row) -> std::string {
        if (!Level(f[2], &row->level)) return "уровень «" + f[2] + "» не от 1 до 4";
        if (!ParseWhole(f[3], &row->frames) || row->frames < 0) {
          return "число кадров «" + f[3] + "» не число";
        }
        bool known = false;
        if (!Optional(f[4], &known, &row->display_hz)) return "частота «" + f[4] + "» не число";
        row->pacing = f[5];
        bool mean = false, sd = false, max = false;
        if (!Optional(f[6], &mean, &row->mean_ms) || !Optional(f[7], &sd, &row->sd_ms) ||
            !Optional(f[8], &max, &row->max_ms)) {
          return "интервалы кадров не числа";
        }
        row->measured = mean && max;
        if (!f[9].empty() && (!ParseWhole(f[9], &row->dropped) || row->dropped < 0)) {
          return "пропущено кадров «" + f[9] + "» не число";
        }
        return "";
      });
}

std::vector<ReportBlock> ReadReportBlocks(std::string_view cp1251, const std::string& file,
                                          std::vector<ReadProblem>* problems) {
  const std::vector<std::string> lines = SplitLines(cp1251);
  const std::string subject = Utf8ToCp1251("Испытуемый: ");
  const std::string when = Utf8ToCp1251("Дата и время: ");
  const std::string left = Utf8ToCp1251("Левая рука:");
  const std::string right = Utf8ToCp1251("Правая рука:");
  std::vector<ReportBlock> blocks;
  std::size_t i = 0;
  // The rest of a block found broken is not named again line by line.
  bool in_broken = false;
  while (i < lines.size()) {
    if (!StartsWith(lines[i], subject)) {
      if (!lines[i].empty() && !in_broken) {
        problems->push_back({file, static_cast<int>(i + 1), "строка вне блока отчета пропущена"});
      }
      ++i;
      continue;
    }
    ReportBlock b;
    b.first_line = static_cast<int>(i + 1);
    b.subject = Cp1251ToUtf8(lines[i].substr(subject.size()));
    // Lines 2 to 14 of the block, each checked; the first that is wrong names the line.
    std::size_t bad = 0;
    auto line = [&](std::size_t k) -> const std::string& {
      static const std::string none;
      return i + k < lines.size() ? lines[i + k] : none;
    };
    if (!StartsWith(line(1), when) || !WhenIsWellFormed(line(1).substr(when.size()))) {
      bad = 1;
    } else {
      b.when = line(1).substr(when.size());
    }
    if (!bad && !(line(2).empty() && line(3) == left)) bad = 2;
    for (int level = 1; !bad && level <= kLevelCount; ++level) {
      if (!ResultRow(line(3 + static_cast<std::size_t>(level)), level, b.hits[kLeft][level - 1])) {
        bad = 3 + static_cast<std::size_t>(level);
      }
    }
    if (!bad && !(line(8).empty() && line(9) == right)) bad = 8;
    for (int level = 1; !bad && level <= kLevelCount; ++level) {
      if (!ResultRow(line(9 + static_cast<std::size_t>(level)), level, b.hits[kRight][level - 1])) {
        bad = 9 + static_cast<std::size_t>(level);
      }
    }
    if (bad) {
      problems->push_back({file, static_cast<int>(i + bad + 1),
                           "блок отчета не в том виде, что пишет программа: пропущен"});
      i += bad + 1;
      in_broken = true;
      continue;
    }
    in_broken = false;
    blocks.push_back(std::move(b));
    i += 14;
  }
  return blocks;
}

std::string SortableWhen(const std::string& when) {
  if (!WhenIsWellFormed(when)) return "";
  return when.substr(6, 4) + "-" + when.substr(3, 2) + "-" + when.substr(0, 2) + " " +
         when.substr(11, 2) + "-" + when.substr(14, 2) + "-" + when.substr(17, 2);
}

std::string WhenKey(const std::string& when) {
  if (!WhenIsWellFormed(when)) return "";
  return when.substr(6, 4) + when.substr(3, 2) + when.substr(0, 2) + when.substr(11, 2) +
         when.substr(14, 2) + when.substr(17, 2);
}

}  // namespace tavrik::protocol
