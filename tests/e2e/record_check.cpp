// The timing record's rows checked against the scripted subject.
#include "record_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <vector>

#include "failure.h"

namespace e2e {

const char kPressRecordHeader[] =
    "Испытуемый;Дата и время;Уровень;Цикл;Рука;Итог;Кадр;Время, мс;Отклонение, мс;Отклонение, "
    "кадров;Фаза\r\n";
const char kFrameRecordHeader[] =
    "Испытуемый;Дата и время;Уровень;Кадров;Частота экрана, Гц;Темп;Средний интервал, мс;"
    "Стандартное отклонение, мс;Наибольший интервал, мс;Пропущено кадров\r\n";

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr double kFrameMs = 1000.0 / 60;

using Fields = std::vector<std::string>;

// Rows of ";"-separated fields, each line ended by CR LF; a quoted field may hold ";" and "".
std::vector<Fields> ParseRows(const std::string& text, const std::string& what) {
  std::vector<Fields> rows;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) throw Failure(what + ": the last line does not end in CR LF");
    const std::string line = text.substr(at, end - at);
    if (line.find_first_of("\r\n") != std::string::npos) {
      throw Failure(what + ": a line ends in a bare CR or LF: " + line);
    }
    Fields fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (quoted) {
        if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
          fields.back() += '"';
          ++i;
        } else if (c == '"') {
          quoted = false;
        } else {
          fields.back() += c;
        }
      } else if (c == '"' && fields.back().empty()) {
        quoted = true;
      } else if (c == ';') {
        fields.emplace_back();
      } else {
        fields.back() += c;
      }
    }
    rows.push_back(fields);
    at = end + 2;
  }
  return rows;
}

// A number as the record writes it: digits, a decimal comma, no thousands separator.
double Number(const std::string& text, const std::string& what) {
  static const std::regex form("-?[0-9]+(,[0-9]+)?");
  if (!std::regex_match(text, form)) throw Failure(what + ": \"" + text + "\" is not a number");
  std::string dotted = text;
  std::replace(dotted.begin(), dotted.end(), ',', '.');
  return std::strtod(dotted.c_str(), nullptr);
}

std::string RowText(const Fields& f) {
  std::string text;
  for (const std::string& field : f) text += (text.empty() ? "" : ";") + field;
  return text;
}

void CheckIdentity(const Fields& f, std::size_t fields, const std::string& name,
                   const std::string& date_time, const std::string& what) {
  if (f.size() != fields) {
    throw Failure(what + ": " + std::to_string(f.size()) + " fields, not " +
                  std::to_string(fields) + ": " + RowText(f));
  }
  if (f[0] != name || f[1] != date_time) {
    throw Failure(what + " is for \"" + f[0] + "\" at " + f[1] + ", not \"" + name + "\" at " +
                  date_time + " as the report block: " + RowText(f));
  }
}

}  // namespace

std::string AppendedRecordRows(const ReportFolder& before, const ReportFolder& after,
                               const std::string& file, const std::string& header) {
  const auto old_it = before.files.find(file);
  const std::string old_bytes = old_it == before.files.end() ? "" : old_it->second;
  const auto new_it = after.files.find(file);
  if (new_it == after.files.end()) {
    throw Failure("no record file " + file + " after the test; the report folder holds " +
                  after.Listing());
  }
  const std::string& bytes = new_it->second;
  if (bytes.compare(0, old_bytes.size(), old_bytes) != 0) {
    throw Failure(file + ": the rows of earlier tests changed");
  }
  std::string added = bytes.substr(old_bytes.size());
  if (old_bytes.empty()) {
    const std::string start = std::string(kBom) + header;
    if (added.compare(0, start.size(), start) != 0) {
      throw Failure(file + " was created without the byte-order mark and the header row \"" +
                    header + "\"; it starts with: " + added.substr(0, 300));
    }
    added.erase(0, start.size());
  }
  if (added.find(kBom) != std::string::npos) throw Failure(file + ": a second byte-order mark");
  if (added.find(header) != std::string::npos) throw Failure(file + ": a second header row");
  return added;
}

void CheckPressRows(const std::string& rows, int test_kind, const std::string& name,
                    const std::string& date_time, const Subject& subject) {
  const std::string file = PressRecordFileName(test_kind);
  std::vector<Fields> by_level[5];
  for (const Fields& f : ParseRows(rows, file)) {
    CheckIdentity(f, 11, name, date_time, file + " row");
    const int level = static_cast<int>(Number(f[2], file + " level"));
    if (level < 1 || level > 4) throw Failure(file + ": level " + f[2]);
    by_level[level].push_back(f);
  }
  std::vector<double> diffs;
  std::string bad, all;
  int checked = 0, held_up = 0, taken_for_repeats = 0;
  for (int level = 1; level <= 4; ++level) {
    const std::vector<Fields>& got = by_level[level];
    std::vector<const PressRecord*> presses;
    for (const PressRecord& p : subject.Presses()) {
      if (p.level != level) continue;
      // A press the program may have taken for an auto-repeat: a row only if the next one is
      // its own: the same hand, ignored as it must be either way, and as far in time after the
      // row before as the press was sent after the press before.
      if (p.may_be_repeat && !presses.empty()) {
        const std::size_t next = presses.size();
        const char* hand = p.hand == kLeft ? "левая" : "правая";
        const bool own =
            next < got.size() && got[next][4] == hand && got[next][5] == OutcomeText(p.expected) &&
            !got[next][7].empty() && !got[next - 1][7].empty() &&
            std::fabs(Number(got[next][7], file) - Number(got[next - 1][7], file) -
                      static_cast<double>(p.sent_ns - presses.back()->sent_ns) / 1e6) < 20;
        if (!own) {
          ++taken_for_repeats;
          continue;
        }
      }
      presses.push_back(&p);
    }
    std::string listing;
    for (std::size_t i = 0; i < std::max(presses.size(), got.size()); ++i) {
      listing +=
          "\n  " +
          (i < presses.size() ? presses[i]->Str() + " -> " + OutcomeText(presses[i]->expected)
                              : std::string("(no press)")) +
          "\n      " + (i < got.size() ? RowText(got[i]) : std::string("(no row)"));
    }
    if (presses.size() != got.size()) {
      throw Failure(file + ": level " + std::to_string(level) + " has " +
                    std::to_string(got.size()) + " rows for the subject's " +
                    std::to_string(presses.size()) + " presses:" + listing);
    }
    for (std::size_t i = 0; i < got.size(); ++i) {
      const PressRecord& p = *presses[i];
      const Fields& f = got[i];
      const std::string what =
          file + " level " + std::to_string(level) + " row " + std::to_string(i + 1);
      const char* hand = p.hand == kLeft ? "левая" : "правая";
      if (f[4] != hand || f[5] != OutcomeText(p.expected)) {
        throw Failure(what + " says " + f[4] + ", " + f[5] + " for the subject's press " + p.Str() +
                      ", which must be " + hand + ", " + OutcomeText(p.expected) +
                      "; the level's presses and rows:" + listing);
      }
      if (p.expected == Outcome::kHit && Number(f[3], what + " cycle") != p.cycle) {
        throw Failure(what + ": a hit in cycle " + f[3] + " where the subject answered cycle " +
                      std::to_string(p.cycle) + ":" + listing);
      }
      if (f[7].empty() || f[8].empty() || f[9].empty()) {
        throw Failure(what +
                      ": no time or signed error for a press the program stamped: " + RowText(f));
      }
      Number(f[6], what + " frame");
      Number(f[7], what + " time");
      Number(f[9], what + " error in frames");
      Number(f[10], what + " phase");
      const double error_ms = Number(f[8], what + " signed error");
      // The subject's moment of this hand that the record measured from, and the nearest one.
      const double implied = static_cast<double>(p.sent_ns) - error_ms * 1e6;
      const SubjectMoment* from = nullptr;
      const SubjectMoment* nearest = nullptr;
      for (const SubjectMoment& m : subject.Moments()) {
        if (m.level != level || m.hand != p.hand) continue;
        const double d = static_cast<double>(m.ns);
        if (!from || std::fabs(d - implied) < std::fabs(static_cast<double>(from->ns) - implied)) {
          from = &m;
        }
        const double s = static_cast<double>(p.sent_ns);
        if (!nearest || std::fabs(d - s) < std::fabs(static_cast<double>(nearest->ns) - s)) {
          nearest = &m;
        }
      }
      if (!from) throw Failure(what + ": the subject saw no moment of this hand in the level");
      const double own_ms = static_cast<double>(p.sent_ns - from->ns) / 1e6;
      const double slack =
          std::max(0.0, static_cast<double>(from->uncertainty_ns) / 1e6 - kFrameMs / 2);
      const double held = static_cast<double>(from->held_ns) / 1e6;
      const double tolerance = 2 + kFrameMs + slack + held;
      if (held > kFrameMs / 2) ++held_up;
      const double diff = error_ms - own_ms;
      diffs.push_back(diff);
      ++checked;
      char line[400];
      std::snprintf(line, sizeof line,
                    "\n  level %d row %zu (%s, %s, frame %s at %s ms, %s frames): the record says "
                    "%+.1f ms, the subject saw %+.1f ms (moment known to %.1f ms, held up %.1f "
                    "ms): %+.1f ms apart",
                    level, i + 1, f[4].c_str(), f[5].c_str(), f[6].c_str(), f[7].c_str(),
                    f[9].c_str(), error_ms, own_ms, static_cast<double>(from->uncertainty_ns) / 1e6,
                    held, diff);
      all += line;
      if (std::fabs(diff) > tolerance) {
        bad += line;
        std::snprintf(line, sizeof line, ", more than %.1f", tolerance);
        bad += line;
      }
      const double to_nearest = std::fabs(static_cast<double>(p.sent_ns - nearest->ns)) / 1e6;
      if (from != nearest && std::fabs(own_ms) - to_nearest > tolerance) {
        std::snprintf(line, sizeof line,
                      "\n  level %d row %zu: measured from a moment %.1f ms away where one %.1f "
                      "ms away was nearer",
                      level, i + 1, std::fabs(own_ms), to_nearest);
        bad += line;
      }
    }
  }
  if (!bad.empty()) {
    throw Failure(file + ": signed errors that disagree with the subject's own:" + bad +
                  "\nevery press:" + all);
  }
  std::vector<double> sorted = diffs;
  std::sort(sorted.begin(), sorted.end(),
            [](double a, double b) { return std::fabs(a) < std::fabs(b); });
  double mean = 0;
  for (double d : diffs) mean += d / static_cast<double>(diffs.size());
  char line[400];
  std::snprintf(
      line, sizeof line,
      "%s: %d rows, one per press with its planned outcome; signed errors against the "
      "subject's own: mean %+.1f ms, median |difference| %.1f ms, largest %.1f ms (%d moments "
      "the program was held up in); %d presses at once after another taken for repeats",
      file.c_str(), checked, mean, sorted.empty() ? 0.0 : std::fabs(sorted[sorted.size() / 2]),
      sorted.empty() ? 0.0 : std::fabs(sorted.back()), held_up, taken_for_repeats);
  Log(line);
}

void CheckLevelRows(const std::string& rows, int test_kind, const std::string& name,
                    const std::string& date_time) {
  const std::string file = FrameRecordFileName(test_kind);
  const std::vector<Fields> got = ParseRows(rows, file);
  if (got.size() != 4) {
    throw Failure(file + ": " + std::to_string(got.size()) + " rows for the test's 4 levels:\n" +
                  rows);
  }
  static const int kMovingFrames[3][5] = {
      {0, 0, 0, 0, 0}, {0, 2400, 1800, 1440, 1200}, {0, 1200, 900, 720, 600}};
  static const double kFlashSpeed[5] = {0, 4, 6, 8, 10};
  for (int level = 1; level <= 4; ++level) {
    const Fields& f = got[static_cast<std::size_t>(level - 1)];
    const std::string what = file + " level " + std::to_string(level);
    CheckIdentity(f, 10, name, date_time, what);
    if (Number(f[2], what) != level) throw Failure(what + ": the row says level " + f[2]);
    const double frames = Number(f[3], what + " frames");
    if (test_kind != 3) {
      if (frames != kMovingFrames[test_kind][level]) {
        throw Failure(what + ": " + f[3] + " frames; 10 cycles of 360 / speed take " +
                      std::to_string(kMovingFrames[test_kind][level]));
      }
    } else {
      // Every flash waits at least 200 clock units dark; none lasts longer than 299 dark and
      // 249 shown.
      const double v = kFlashSpeed[level];
      const double least = 20 * std::floor(200 / v), most = 20 * (std::floor(548 / v) + 1);
      if (frames < least || frames > most) {
        throw Failure(what + ": " + f[3] + " frames, outside what 20 flashes take (" +
                      std::to_string(static_cast<int>(least)) + " to " +
                      std::to_string(static_cast<int>(most)) + ")");
      }
    }
    if (f[5].empty()) throw Failure(what + ": the pacing is not said");
    const double mean = Number(f[6], what + " mean interval");
    const double sd = Number(f[7], what + " standard deviation");
    const double largest = Number(f[8], what + " largest interval");
    const double dropped = Number(f[9], what + " dropped frames");
    if (!f[4].empty()) Number(f[4], what + " refresh rate");
    const double intervals = frames - 1;
    // Written to 0.1 ms: 16.8 is within 1 % of 16.667, 16.9 is not.
    const bool within = std::fabs(mean - kFrameMs) <= kFrameMs / 100 + 0.05;
    // A stall holds the level as a missed refresh would; the frames around it still come at 60
    // a second. The excess of the mean must fit in the dropped intervals.
    const double excess = (mean - 0.05 - kFrameMs * 1.01) * intervals;
    const bool stalls =
        mean > kFrameMs && dropped <= intervals / 10 && excess <= dropped * (largest - kFrameMs);
    char line[400];
    std::snprintf(line, sizeof line,
                  "%s: %.0f frames, refresh %s Hz, %s; intervals mean %.1f ms, deviation %.1f ms, "
                  "largest %.1f ms, %.0f dropped%s",
                  what.c_str(), frames, f[4].empty() ? "?" : f[4].c_str(), f[5].c_str(), mean, sd,
                  largest, dropped,
                  within ? "" : " (the machine stalled the program: the excess lies in them)");
    if (!within && !stalls) {
      throw Failure(std::string(line) + "; a mean interval must be within 1 % of 16.667 ms");
    }
    Log(line);
  }
}

}  // namespace e2e
