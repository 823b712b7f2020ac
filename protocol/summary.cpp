// The summary's rows and the index page.
#include "protocol/summary.h"

#include <algorithm>
#include <map>

#include "protocol/csv.h"
#include "protocol/page.h"

namespace tavrik::protocol {

namespace {

const char* const kHandColumn[2] = {"левая", "правая"};

// The columns of one hand, each followed by ", левая" or ", правая".
const char* const kHandColumns[] = {
    "Попаданий",
    "Ответов",
    "Точных",
    "Опережений",
    "Запаздываний",
    "Сумма опережений, мс",
    "Сумма запаздываний, мс",
    "Постоянная ошибка, мс",
    "Абсолютная ошибка, мс",
    "Переменная ошибка, мс",
    "Размах, мс",
    "Время реакции, мс",
    "Медиана времени реакции, мс",
    "Стандартное отклонение времени реакции, мс",
    "Упреждений",
    "Пропусков",
};

std::vector<std::string> BuildHeader() {
  std::vector<std::string> h = {"Испытание", "Испытуемый", "Дата и время", "Программа"};
  for (int hand = 0; hand < 2; ++hand) {
    for (const char* c : kHandColumns) h.push_back(std::string(c) + ", " + kHandColumn[hand]);
  }
  for (const char* c : {"Вспышек без попадания", "Пропущено кадров", "Хронометраж", "Протокол"}) {
    h.push_back(c);
  }
  return h;
}

const std::map<std::string, std::size_t>& ColumnIndex() {
  static const std::map<std::string, std::size_t> index = [] {
    std::map<std::string, std::size_t> m;
    const auto& h = SummaryHeader();
    for (std::size_t i = 0; i < h.size(); ++i) m[h[i]] = i;
    return m;
  }();
  return index;
}

// Percent-encodes a file name for a link: browsers on both systems open it as the file's name.
std::string UrlPart(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
        std::string("-_.~").find(c) != std::string::npos) {
      out += c;
    } else {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    }
  }
  return out;
}

}  // namespace

const std::vector<std::string>& SummaryHeader() {
  static const std::vector<std::string> header = BuildHeader();
  return header;
}

std::string SummaryHeaderText() {
  std::vector<std::string> fields;
  for (const std::string& h : SummaryHeader()) fields.push_back(CsvField(h));
  return CsvRowText(fields);
}

const std::string& SummaryRow::Get(const std::string& column) const {
  static const std::string none;
  const auto it = ColumnIndex().find(column);
  if (it == ColumnIndex().end() || it->second >= fields.size()) return none;
  return fields[it->second];
}

SummaryRow MakeSummaryRow(const Session& s, const std::string& protocol_file) {
  const TestFigures t = ComputeFigures(s.test_kind, s.presses, s.has_block ? &s.block : nullptr);
  const TimingVerdict v = JudgeTiming(s);
  const bool flash = s.test_kind == 3;
  int hits[2][kLevelCount + 1];
  CountHits(s, hits);
  SummaryRow row;
  auto& f = row.fields;
  f = {TestName(s.test_kind), s.subject, s.when,
       s.bits_per_pixel == 16   ? "Tavrik1"
       : s.bits_per_pixel == 32 ? "Tavrik2"
                                : ""};
  auto ms = [](bool given, double value) { return given ? DecimalText(value, 1) : std::string(); };
  for (int hand = 0; hand < 2; ++hand) {
    const Figures& g = t.by[hand][0];
    const bool moving = !flash && g.timed > 0;
    f.push_back(s.has_block ? std::to_string(hits[hand][0]) : "");
    f.push_back(std::to_string(g.answers));
    for (const int n : {g.accurate, g.early, g.late}) {
      f.push_back(flash ? "" : std::to_string(n));
    }
    f.push_back(ms(moving, g.early_sum_ms));
    f.push_back(ms(moving, g.late_sum_ms));
    f.push_back(ms(moving, g.constant_ms));
    f.push_back(ms(moving, g.absolute_ms));
    f.push_back(ms(moving && g.timed > 1, g.variable_ms));
    f.push_back(ms(moving, g.max_ms - g.min_ms));
    const bool rt = flash && g.reactions > 0;
    f.push_back(ms(rt, g.rt_mean_ms));
    f.push_back(ms(rt, g.rt_median_ms));
    f.push_back(ms(rt && g.reactions > 1, g.rt_sd_ms));
    f.push_back(flash ? std::to_string(g.anticipations) : "");
    f.push_back(flash ? std::to_string(g.lapses) : "");
  }
  f.push_back(flash && s.has_block ? std::to_string(t.by[kLeft][0].unanswered) : "");
  f.push_back(v.recorded ? std::to_string(v.dropped) : "");
  f.push_back(v.summary);
  f.push_back(protocol_file);
  return row;
}

std::string SummaryRowText(const SummaryRow& row) {
  std::vector<std::string> fields;
  for (const std::string& v : row.fields) fields.push_back(CsvField(v));
  return CsvRowText(fields);
}

std::vector<SummaryRow> ReadSummary(std::string_view text, const std::string& file,
                                    std::vector<ReadProblem>* problems) {
  std::vector<SummaryRow> out;
  std::vector<CsvRow> rows = ParseCsv(text);
  if (rows.empty()) return out;
  if (rows[0].fields != SummaryHeader()) {
    problems->push_back(
        {file, rows[0].line, "заголовок не тот, что пишет программа: файл пропущен"});
    return out;
  }
  for (std::size_t i = 1; i < rows.size(); ++i) {
    if (rows[i].fields.size() != SummaryHeader().size()) {
      problems->push_back({file, rows[i].line,
                           "полей " + std::to_string(rows[i].fields.size()) + " вместо " +
                               std::to_string(SummaryHeader().size()) + ": строка пропущена"});
      continue;
    }
    if (WhenKey(rows[i].fields[2]).empty()) {
      problems->push_back(
          {file, rows[i].line, "дата и время не в виде дд.мм.гггг чч:мм:сс: строка пропущена"});
      continue;
    }
    out.push_back({rows[i].line, std::move(rows[i].fields)});
  }
  return out;
}

std::vector<const SummaryRow*> EarlierSessions(const std::vector<SummaryRow>& rows,
                                               const Session& s) {
  std::vector<const SummaryRow*> all;
  all.reserve(rows.size());
  for (const SummaryRow& r : rows) all.push_back(&r);
  return EarlierSessions(all, s);
}

std::vector<const SummaryRow*> EarlierSessions(const std::vector<const SummaryRow*>& rows,
                                               const Session& s) {
  const std::string test = TestName(s.test_kind);
  const std::string key = WhenKey(s.when);
  std::vector<const SummaryRow*> out;
  for (const SummaryRow* r : rows) {
    if (r->fields[0] == test && r->fields[1] == s.subject && WhenKey(r->fields[2]) < key) {
      out.push_back(r);
    }
  }
  // Newest first; rows of the same second in the file's order, the later one first.
  std::stable_sort(out.begin(), out.end(), [](const SummaryRow* a, const SummaryRow* b) {
    return WhenKey(a->fields[2]) > WhenKey(b->fields[2]);
  });
  return out;
}

std::string RenderIndex(const std::vector<SummaryRow>& rows) {
  std::vector<std::pair<std::string, const SummaryRow*>> order;
  order.reserve(rows.size());
  for (const SummaryRow& r : rows) order.push_back({WhenKey(r.fields[2]), &r});
  // Newest first; of one second, the one appended later first.
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::string h;
  h.reserve(256 + rows.size() * 600);
  h += "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
       "<title>Протоколы испытаний</title>\n<style>\n"
       "body { font-family: \"DejaVu Sans\", Arial, sans-serif; font-size: 9pt; margin: 8mm; }\n"
       "h1 { font-size: 14pt; }\n"
       "table { border-collapse: collapse; }\n"
       "td, th { border: 1px solid #aaa; padding: 2px 6px; text-align: right; }\n"
       "th { background: #eee; }\n"
       "td.l, th.l { text-align: left; }\n"
       "td.d, td:nth-child(4), td:nth-child(5) { white-space: nowrap; }\n"
       "tr:nth-child(even) td { background: #f7f7f7; }\n"
       ".warn { color: #8a1500; }\n"
       "</style>\n</head>\n<body>\n<h1>Протоколы испытаний</h1>\n";
  h += "<p>Испытаний: " + std::to_string(rows.size()) +
       ". Новые сверху. Все показатели — в Сводка.csv.</p>\n";
  h += "<table>\n<tr><th class=\"l\">Дата и время</th><th class=\"l\">Испытуемый</th>"
       "<th class=\"l\">Испытание</th><th>Попаданий, левая / правая</th>"
       "<th>Постоянная ошибка (вспышка: время реакции), мс, левая / правая</th>"
       "<th class=\"l\">Хронометраж</th><th class=\"l\">Протокол</th></tr>\n";
  for (const auto& [key, r] : order) {
    const bool flash = r->Get("Испытание") == "Вспышка";
    const std::string& timing = r->Get("Хронометраж");
    const std::string& file = r->Get("Протокол");
    auto pair = [&](const std::string& column) {
      const std::string& left = r->Get(column + ", левая");
      const std::string& right = r->Get(column + ", правая");
      h += "<td>" + EscapeHtml(left.empty() ? "—" : left) + " / " +
           EscapeHtml(right.empty() ? "—" : right) + "</td>";
    };
    h += "<tr><td class=\"l d\">" + EscapeHtml(r->Get("Дата и время")) + "</td><td class=\"l\">" +
         EscapeHtml(r->Get("Испытуемый")) + "</td><td class=\"l\">" +
         EscapeHtml(r->Get("Испытание")) + "</td>";
    pair("Попаданий");
    pair(flash ? "Время реакции, мс" : "Постоянная ошибка, мс");
    h += std::string("<td class=\"l") + (timing == "в порядке" ? "" : " warn") + "\">" +
         EscapeHtml(timing) + "</td><td class=\"l\">";
    if (!file.empty()) {
      h += "<a href=\"" + UrlPart("Протоколы") + "/" + EscapeHtml(UrlPart(file)) + "\">открыть</a>";
    }
    h += "</td></tr>\n";
  }
  h += "</table>\n</body>\n</html>\n";
  return h;
}

}  // namespace tavrik::protocol
