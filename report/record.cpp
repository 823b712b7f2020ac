// The rows of the timing record files.
#include "report/record.h"

#include <charconv>
#include <vector>

#include "codepage/cp1251.h"
#include "protocol/csv.h"
#include "report/report.h"

namespace tavrik {

namespace {

constexpr char kCrLf[] = "\r\n";

std::string Decimal(const char* begin, const char* end) {
  std::string text(begin, end);
  for (char& c : text) {
    if (c == '.') c = ',';
  }
  // "-0,0" says nothing that "0,0" does not.
  if (!text.empty() && text[0] == '-' && text.find_first_of("123456789") == std::string::npos) {
    text.erase(0, 1);
  }
  return text;
}

// The phase as it is: its steps are halves and whole numbers, so the shortest form is short.
std::string Shortest(double value) {
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return Decimal(buffer, r.ptr);
}

// The record's fields are quoted and joined as the protocol's reader reads them back.
std::string Field(const std::string& text) {
  return protocol::CsvField(text);
}

std::string Row(const std::vector<std::string>& fields) {
  return protocol::CsvRowText(fields);
}

const char* AnswerText(Answer a) {
  switch (a) {
    case Answer::kHit:
      return "попадание";
    case Answer::kMiss:
      return "промах";
    case Answer::kLatched:
      return "не учтено";
    case Answer::kNotJudged:
      break;
  }
  return "";
}

std::string KindText(const FramePacing& p) {
  switch (p.kind) {
    case FramePacing::Kind::kVsync: {
      if (p.refreshes_per_frame <= 1) return "вертикальная синхронизация";
      const int n = p.refreshes_per_frame;
      // 2, 3, 4 обновления; 5 and more обновлений (the refresh rates stop well before 21).
      return "вертикальная синхронизация, кадр на " + std::to_string(n) +
             (n <= 4 ? " обновления" : " обновлений") + " экрана";
    }
    case FramePacing::Kind::kTimer:
      return "таймер 60 Гц";
    case FramePacing::Kind::kMeasuring:
      return "измерение частоты";
    case FramePacing::Kind::kUnknown:
      break;
  }
  return "";
}

std::string RecordBase(const SessionState& s, const LocalTime& now) {
  return Field(Cp1251ToUtf8(s.SubjectName)) + ";" + Field(FormatReportDateTime(now)) + ";";
}

}  // namespace

const char kUtf8Bom[] = "\xEF\xBB\xBF";

std::string PressRecordFileName(Integer test_kind) {
  const std::string report = ReportFileName(test_kind);
  return report.empty() ? "" : report.substr(0, report.size() - 4) + ".csv";
}

std::string FrameRecordFileName(Integer test_kind) {
  const std::string report = ReportFileName(test_kind);
  return report.empty() ? "" : report.substr(0, report.size() - 4) + "-кадры.csv";
}

std::string PressRecordHeader() {
  return Row({"Испытуемый", "Дата и время", "Уровень", "Цикл", "Рука", "Итог", "Кадр", "Время, мс",
              "Отклонение, мс", "Отклонение, кадров", "Фаза"});
}

std::string FrameRecordHeader() {
  return Row({"Испытуемый", "Дата и время", "Уровень", "Кадров", "Частота экрана, Гц", "Темп",
              "Средний интервал, мс", "Стандартное отклонение, мс", "Наибольший интервал, мс",
              "Пропущено кадров"});
}

std::string RecordNumber(double value, int decimals) {
  char buffer[64];
  const auto r =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return Decimal(buffer, r.ptr);
}

std::string PacingText(const FramePacing& first, const FramePacing& last) {
  const std::string before = KindText(first), after = KindText(last);
  if (before == after || before.empty()) return after;
  if (after.empty()) return before;
  return before + ", затем " + after;
}

std::string BuildPressRows(const SessionState& s, const LocalTime& now) {
  const std::string base = RecordBase(s, now);
  // The moments of each hand, per level, worked out once.
  std::vector<StimulusMoment> moments[kLevelCount][2];
  for (int level = 0; level < kLevelCount; ++level) {
    for (const std::int8_t hand : {kHandLeft, kHandRight}) {
      moments[level][hand] =
          StimulusMoments(s.Timing.levels[static_cast<std::size_t>(level)], s.TestKind, hand);
    }
  }
  std::string rows;
  for (int i = 0; i < s.Timing.press_count; ++i) {
    const PressMark& p = s.Timing.presses[static_cast<std::size_t>(i)];
    if (p.level < 1 || p.level > kLevelCount) continue;
    const LevelTiming& level = s.Timing.levels[static_cast<std::size_t>(p.level - 1)];
    const PressTiming t = TimePress(level, moments[p.level - 1][p.hand], p);
    rows += base + Row({std::to_string(p.level), std::to_string(t.cycle),
                        p.hand == kHandLeft ? "левая" : "правая", AnswerText(p.answer),
                        std::to_string(t.frame), t.timed ? RecordNumber(t.time_ms, 1) : "",
                        t.deviates ? RecordNumber(t.deviation_ms, 1) : "",
                        t.deviates ? RecordNumber(t.deviation_frames, 2) : "", Shortest(t.phase)});
  }
  return rows;
}

std::string BuildFrameRows(const SessionState& s, const LocalTime& now) {
  const std::string base = RecordBase(s, now);
  std::string rows;
  for (int level = 1; level <= kLevelCount; ++level) {
    const LevelTiming& l = s.Timing.levels[static_cast<std::size_t>(level - 1)];
    const LevelPace pace = PaceLevel(l);
    const bool measured = pace.intervals > 0;
    rows +=
        base + Row({std::to_string(level), std::to_string(pace.frames),
                    l.last_pacing.display_hz > 0 ? RecordNumber(l.last_pacing.display_hz, 2) : "",
                    Field(PacingText(l.first_pacing, l.last_pacing)),
                    measured ? RecordNumber(pace.mean_ms, 1) : "",
                    pace.intervals >= 2 ? RecordNumber(pace.sd_ms, 1) : "",
                    measured ? RecordNumber(pace.max_ms, 1) : "",
                    measured ? std::to_string(pace.dropped) : ""});
  }
  return rows;
}

}  // namespace tavrik
