// The protocol page. Everything it shows is drawn here: the tables as HTML, the pictures as SVG
// with coordinates worked out below. The page is sized for A4 in portrait with 10 mm margins; its
// parts are kept small enough that a test with every cycle answered still fits one sheet.
#include "protocol/page.h"

#include <algorithm>
#include <cmath>

#include "protocol/csv.h"

namespace tavrik::protocol {

namespace {

constexpr double kFrameMs = 1000.0 / 60;
const char* const kHandName[2] = {"Левая рука", "Правая рука"};
const char* const kHandColour[2] = {"#1f5fa8", "#c0461b"};

std::string Ms(double value) {
  return DecimalText(value, 1);
}

std::string Pc(int part, int whole) {
  return whole == 0 ? "—" : DecimalText(Percent(part, whole), 0) + " %";
}

std::string Num(double value) {
  // SVG coordinates: a dot, two places.
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  return buffer;
}

const char kStyle[] = R"(<style>
@page { size: A4 portrait; margin: 8mm 10mm; }
* { box-sizing: border-box; }
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 7.6pt; line-height: 1.25; margin: 0;
  color: #111; }
main { max-width: 190mm; margin: 0 auto; }
h1 { font-size: 12pt; margin: 0 0 1mm; }
h3 { font-size: 8pt; margin: 0 0 0.5mm; }
h2 { font-size: 8.6pt; margin: 1.6mm 0 0.7mm; border-bottom: 0.3mm solid #999; }
table { border-collapse: collapse; }
td, th { border: 0.2mm solid #aaa; padding: 0.2mm 1mm; text-align: right; white-space: nowrap; }
th { background: #eee; font-weight: 600; white-space: normal; text-align: center; }
td.l, th.l { text-align: left; }
.head { margin: 0.3mm 0; font-size: 8pt; }
.head span { white-space: nowrap; margin-right: 4mm; display: inline-block; }
tr.doubt td { color: #8a1500; }
.two { display: flex; gap: 4mm; }
.two > div { flex: 1; min-width: 0; }
.hits { width: 100%; }
.hits td { padding: 0 0.8mm; }
.hits th.l { white-space: nowrap; }
.hits td.c { width: 3.2mm; text-align: center; }
tr.sum td { font-weight: 600; background: #f6f6f6; }
p { margin: 0.6mm 0; }
.note { color: #444; }
.warn { color: #8a1500; font-weight: 600; margin: 0.4mm 0; }
.ok { color: #155d17; font-weight: 600; margin: 0.4mm 0; }
svg { display: block; width: 100%; height: auto; }
svg text { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 8px; fill: #333; }
.figs { width: 100%; font-size: 7pt; }
.figs td, .figs th { padding: 0.2mm 0.6mm; }
</style>)";

void Header(std::string& h, const Session& s, const TimingVerdict& v) {
  h += "<h1>Протокол испытания «" + EscapeHtml(TestName(s.test_kind)) + "»</h1>\n";
  h += "<p class=\"head\">Испытуемый: <b>" + EscapeHtml(s.subject) + "</b></p>\n<p class=\"head\">";
  h += "<span>Дата и время: <b>" + EscapeHtml(s.when) + "</b></span><span>Программа: ";
  if (s.bits_per_pixel == 16 || s.bits_per_pixel == 32) {
    h += std::string(s.bits_per_pixel == 16 ? "Tavrik1" : "Tavrik2") + " (" +
         std::to_string(s.bits_per_pixel) + " бита на пиксель)";
  } else {
    h += "не записана";
  }
  h += "</span><span>Частота экрана: " +
       (v.display_hz > 0 ? DecimalText(v.display_hz, 2) + " Гц" : std::string("не известна")) +
       "</span><span>Темп кадров: " +
       EscapeHtml(!v.recorded        ? "нет записи кадров"
                  : v.pacing.empty() ? "разный по уровням (см. хронометраж)"
                                     : v.pacing) +
       "</span></p>\n";
}

void HitsTable(std::string& h, const Session& s) {
  int hits[2][kLevelCount + 1];
  CountHits(s, hits);
  h += "<h2>Попадания по циклам</h2>\n";
  if (!s.has_block) {
    h += "<p class=\"note\">Блока отчета этого испытания нет: таблицы попаданий нет.</p>\n";
    return;
  }
  h += "<div class=\"two\">";
  for (int hand = 0; hand < 2; ++hand) {
    h += "<div><table class=\"hits\"><tr><th class=\"l\">" + std::string(kHandName[hand]) + "</th>";
    for (int c = 1; c <= kCyclesPerLevel; ++c) h += "<th>" + std::to_string(c) + "</th>";
    h += "<th>Попаданий</th><th>%</th></tr>\n";
    for (int level = 1; level <= kLevelCount; ++level) {
      h += "<tr><td class=\"l\">Уровень " + std::to_string(level) + "</td>";
      for (int c = 0; c < kCyclesPerLevel; ++c) {
        h += std::string("<td class=\"c\">") + (s.block.hits[hand][level - 1][c] ? "1" : "·") +
             "</td>";
      }
      h += "<td>" + std::to_string(hits[hand][level]) + "</td><td>" +
           Pc(hits[hand][level], kCyclesPerLevel) + "</td></tr>\n";
    }
    h += "<tr class=\"sum\"><td class=\"l\" colspan=\"11\">Всего</td><td>" +
         std::to_string(hits[hand][0]) + " из " + std::to_string(kLevelCount * kCyclesPerLevel) +
         "</td><td>" + Pc(hits[hand][0], kLevelCount * kCyclesPerLevel) + "</td></tr>";
    h += "</table></div>";
  }
  h += "</div>\n";
}

std::string Opt(bool given, double value) {
  return given ? Ms(value) : "—";
}

void FiguresTable(std::string& h, const Session& s, const TestFigures& t) {
  const bool flash = s.test_kind == 3;
  h += "<h2>Показатели по учтенным ответам</h2>\n<table class=\"figs\"><tr><th "
       "class=\"l\">Рука</th><th>Ответов</th>";
  if (flash) {
    h += "<th>Реакций</th><th>Среднее, мс</th><th>Медиана, мс</th><th>Ст. откл., мс</th>"
         "<th>Мин., мс</th><th>Макс., мс</th><th>Упреж&shy;дений</th><th>Пропусков</th>"
         "<th>Вспышек без попадания</th></tr>\n";
  } else {
    // Soft hyphens let the long words of the heads break, so that the table keeps to the page.
    h += "<th>Точных</th><th>Опере&shy;жений</th><th>Запазды&shy;ваний</th>"
         "<th>Σ опере&shy;жений, мс</th><th>Σ запазды&shy;ваний, мс</th>"
         "<th>Посто&shy;янная, мс</th><th>Абсо&shy;лютная, мс</th><th>Пере&shy;менная, мс</th>"
         "<th>Размах, мс</th></tr>\n";
  }
  for (int hand = 0; hand < 2; ++hand) {
    for (int level = 1; level <= kLevelCount + 1; ++level) {
      const int at = level > kLevelCount ? 0 : level;
      const Figures& f = t.by[hand][at];
      const std::string hand_name = hand == kLeft ? "Левая" : "Правая";
      h += at == 0
               ? "<tr class=\"sum\"><td class=\"l\">" + hand_name + ", всего</td>"
               : "<tr><td class=\"l\">" + hand_name + ", уровень " + std::to_string(at) + "</td>";
      h += "<td>" + std::to_string(f.answers) + "</td>";
      auto count = [&](int n) {
        h += "<td>" + std::to_string(n) + " (" + Pc(n, f.timed) + ")</td>";
      };
      if (flash) {
        const bool any = f.reactions > 0;
        h += "<td>" + std::to_string(f.reactions) + "</td><td>" + Opt(any, f.rt_mean_ms) +
             "</td><td>" + Opt(any, f.rt_median_ms) + "</td><td>" +
             Opt(f.reactions > 1, f.rt_sd_ms) + "</td><td>" + Opt(any, f.rt_min_ms) + "</td><td>" +
             Opt(any, f.rt_max_ms) + "</td><td>" + std::to_string(f.anticipations) + "</td><td>" +
             std::to_string(f.lapses) + "</td><td>" +
             (s.has_block ? std::to_string(f.unanswered) : "—") + "</td></tr>\n";
      } else {
        const bool any = f.timed > 0;
        count(f.accurate);
        count(f.early);
        count(f.late);
        h += "<td>" + Ms(f.early_sum_ms) + "</td><td>" + Ms(f.late_sum_ms) + "</td><td>" +
             Opt(any, f.constant_ms) + "</td><td>" + Opt(any, f.absolute_ms) + "</td><td>" +
             Opt(f.timed > 1, f.variable_ms) + "</td><td>" + Opt(any, f.max_ms - f.min_ms) +
             "</td></tr>\n";
      }
    }
  }
  h += "</table>\n";
  if (flash) {
    h += "<p class=\"note\">Время реакции — от появления вспышки до нажатия; в среднее, медиану, "
         "стандартное отклонение (выборочное), минимум и максимум входят ответы от " +
         DecimalText(kFastestRtMs, 0) + " до " + DecimalText(kSlowestRtMs, 0) +
         " мс (не включая). Упреждения — раньше " + DecimalText(kFastestRtMs, 0) +
         " мс (и до вспышки), пропуски — " + DecimalText(kSlowestRtMs, 0) +
         " мс и позже. Вспышек без попадания — по ячейкам отчета, за уровень обеими руками (" +
         std::to_string(kFlashesPerLevel) + " вспышек).</p>\n";
  } else {
    h += "<p class=\"note\">Ошибка — от совпадения центра объекта с центром рамки руки до "
         "нажатия: меньше нуля — опережение, больше — запаздывание. Точный ответ: |ошибка| ≤ " +
         DecimalText(kAccurateMs, 1) +
         " мс (один кадр при 60 кадрах в секунду). Постоянная — среднее ошибок, абсолютная — "
         "среднее их модулей, переменная — их выборочное стандартное отклонение; проценты — от "
         "ответов с отметкой времени.</p>\n";
  }
  int untimed = 0;
  for (int hand = 0; hand < 2; ++hand) untimed += t.by[hand][0].answers - t.by[hand][0].timed;
  if (untimed > 0) {
    h += "<p class=\"note\">Ответов без отметки времени: " + std::to_string(untimed) +
         " (в счет ответов входят, в ошибки — нет).</p>\n";
  }
}

void BalanceLines(std::string& h, const TestFigures& t) {
  h += "<h3>Баланс опережений и запаздываний</h3>\n";
  for (int hand = 0; hand < 2; ++hand) {
    const Figures& f = t.by[hand][0];
    h += "<p><b>" + std::string(kHandName[hand]) + ":</b> опережений " + std::to_string(f.early) +
         ", запаздываний " + std::to_string(f.late) + " — " + BalanceText(f.early, f.late) +
         "</p>\n";
  }
  h += "<p class=\"note\">Правило: опережения и запаздывания руки (точные ответы не в счет) "
       "сравниваются точным двусторонним знаковым критерием (биномиальным, вероятность 0,5); "
       "преобладание названо, когда p < " +
       DecimalText(kSignificance, 2) + ".</p>\n";
}

// The errors (or reaction times) of one hand in order through the test.
void AnswerPlot(std::string& h, const TestFigures& t, int hand, bool flash, double lo, double hi) {
  const double w = 340, ht = 112, left = 30, right = 6, top = 10, bottom = 14;
  const double pw = w - left - right, ph = ht - top - bottom;
  const auto& answers = t.answers[hand];
  const std::size_t n = answers.size();
  const double slots = static_cast<double>(std::max<std::size_t>(n, 1));
  auto x = [&](std::size_t i) { return left + pw * (static_cast<double>(i) + 0.5) / slots; };
  auto y = [&](double v) { return top + ph * (hi - std::clamp(v, lo, hi)) / (hi - lo); };
  h += "<svg viewBox=\"0 0 " + Num(w) + " " + Num(ht) + "\" role=\"img\" aria-label=\"" +
       std::string(kHandName[hand]) + "\">";
  h += "<text x=\"" + Num(left) + "\" y=\"8\" font-weight=\"bold\">" + kHandName[hand] +
       (flash ? ": время реакции, мс" : ": ошибка, мс") + "</text>";
  // The band of good answers.
  const double band_lo = flash ? kFastestRtMs : -kAccurateMs;
  const double band_hi = flash ? kSlowestRtMs : kAccurateMs;
  h += "<rect x=\"" + Num(left) + "\" y=\"" + Num(y(band_hi)) + "\" width=\"" + Num(pw) +
       "\" height=\"" + Num(y(band_lo) - y(band_hi)) + "\" fill=\"#dcefd9\"/>";
  h += "<rect x=\"" + Num(left) + "\" y=\"" + Num(top) + "\" width=\"" + Num(pw) + "\" height=\"" +
       Num(ph) + "\" fill=\"none\" stroke=\"#999\" stroke-width=\"0.5\"/>";
  // Scale marks: the ends and zero.
  for (const double v : {lo, 0.0, hi}) {
    if (v == lo && v == 0.0) continue;
    h += "<text x=\"" + Num(left - 2) + "\" y=\"" + Num(y(v) + 3) + "\" text-anchor=\"end\">" +
         DecimalText(v, 0) + "</text>";
  }
  h += "<line x1=\"" + Num(left) + "\" x2=\"" + Num(left + pw) + "\" y1=\"" + Num(y(0)) +
       "\" y2=\"" + Num(y(0)) + "\" stroke=\"#333\" stroke-width=\"0.7\"/>";
  // Level boundaries, with the level's number above its part.
  int level = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (answers[i].level == level) continue;
    level = answers[i].level;
    const double bx = left + pw * static_cast<double>(i) / static_cast<double>(n);
    if (i > 0) {
      h += "<line x1=\"" + Num(bx) + "\" x2=\"" + Num(bx) + "\" y1=\"" + Num(top) + "\" y2=\"" +
           Num(top + ph) + "\" stroke=\"#777\" stroke-dasharray=\"2,2\" stroke-width=\"0.6\"/>";
    }
    h += "<text x=\"" + Num(bx + 2) + "\" y=\"" + Num(top + ph + 10) + "\">ур. " +
         std::to_string(level) + "</text>";
  }
  for (std::size_t i = 0; i < n; ++i) {
    const auto& a = answers[i];
    if (!a.timed) continue;
    const std::string cx = Num(x(i)), cy = Num(y(a.error_ms));
    if (a.hit) {
      h += "<circle cx=\"" + cx + "\" cy=\"" + cy + "\" r=\"1.8\" fill=\"" + kHandColour[hand] +
           "\"/>";
    } else {
      h += "<circle cx=\"" + cx + "\" cy=\"" + cy + "\" r=\"1.8\" fill=\"white\" stroke=\"" +
           kHandColour[hand] + "\" stroke-width=\"0.7\"/>";
    }
  }
  if (n == 0) {
    h += "<text x=\"" + Num(left + pw / 2) + "\" y=\"" + Num(top + ph / 2) +
         "\" text-anchor=\"middle\">учтенных ответов нет</text>";
  }
  h += "</svg>";
}

// Both hands' errors (or reaction times) in bins of one frame.
void Histogram(std::string& h, const TestFigures& t, bool flash, double lo, double hi) {
  const double w = 340, ht = 112, left = 24, right = 6, top = 10, bottom = 14;
  const double pw = w - left - right, ph = ht - top - bottom;
  // Bins of one frame: for the errors centred on zero, for reaction times from zero.
  const int first = flash ? static_cast<int>(std::floor(lo / kFrameMs))
                          : static_cast<int>(std::floor(lo / kFrameMs + 0.5));
  const int last = flash ? static_cast<int>(std::floor(hi / kFrameMs))
                         : static_cast<int>(std::floor(hi / kFrameMs + 0.5));
  const int bins = last - first + 1;
  std::vector<int> count[2] = {std::vector<int>(static_cast<std::size_t>(bins)),
                               std::vector<int>(static_cast<std::size_t>(bins))};
  int most = 1;
  for (int hand = 0; hand < 2; ++hand) {
    for (const auto& a : t.answers[hand]) {
      if (!a.timed) continue;
      const double b =
          flash ? std::floor(a.error_ms / kFrameMs) : std::floor(a.error_ms / kFrameMs + 0.5);
      const int k = std::clamp(static_cast<int>(b), first, last) - first;
      most = std::max(most, ++count[hand][static_cast<std::size_t>(k)]);
    }
  }
  h += "<svg viewBox=\"0 0 " + Num(w) + " " + Num(ht) +
       "\" role=\"img\" aria-label=\"гистограмма\">";
  h += "<text x=\"" + Num(left) + "\" y=\"8\" font-weight=\"bold\">" +
       (flash ? std::string("Время реакции") : std::string("Ошибки")) +
       ", по кадрам (16,7 мс)</text>";
  const double bw = pw / bins;
  auto bx = [&](double bin) { return left + bw * (bin - first); };
  // The band of good answers behind the bars.
  const double band_lo = flash ? kFastestRtMs : -kAccurateMs;
  const double band_hi = flash ? kSlowestRtMs : kAccurateMs;
  const double edge = flash ? 0 : 0.5;
  const double x0 = bx(std::clamp(band_lo / kFrameMs + edge, double(first), double(last + 1)));
  const double x1 = bx(std::clamp(band_hi / kFrameMs + edge, double(first), double(last + 1)));
  h += "<rect x=\"" + Num(x0) + "\" y=\"" + Num(top) + "\" width=\"" + Num(x1 - x0) +
       "\" height=\"" + Num(ph) + "\" fill=\"#dcefd9\"/>";
  for (int hand = 0; hand < 2; ++hand) {
    for (int k = 0; k < bins; ++k) {
      const int c = count[hand][static_cast<std::size_t>(k)];
      if (c == 0) continue;
      const double bh = ph * c / most;
      h += "<rect x=\"" + Num(left + bw * k + bw * 0.5 * hand + bw * 0.05) + "\" y=\"" +
           Num(top + ph - bh) + "\" width=\"" + Num(bw * 0.45) + "\" height=\"" + Num(bh) +
           "\" fill=\"" + kHandColour[hand] + "\"/>";
    }
  }
  h += "<line x1=\"" + Num(left) + "\" x2=\"" + Num(left + pw) + "\" y1=\"" + Num(top + ph) +
       "\" y2=\"" + Num(top + ph) + "\" stroke=\"#333\" stroke-width=\"0.7\"/>";
  h += "<text x=\"" + Num(left - 2) + "\" y=\"" + Num(top + 6) + "\" text-anchor=\"end\">" +
       std::to_string(most) + "</text><text x=\"" + Num(left - 2) + "\" y=\"" + Num(top + ph) +
       "\" text-anchor=\"end\">0</text>";
  // Millisecond marks under the axis.
  const double step = (hi - lo) > 400 ? 100 : 50;
  for (double v = std::ceil(lo / step) * step; v <= hi; v += step) {
    const double px = bx(v / kFrameMs + edge);
    h += "<text x=\"" + Num(px) + "\" y=\"" + Num(top + ph + 10) + "\" text-anchor=\"middle\">" +
         DecimalText(v, 0) + "</text>";
  }
  // Which colour is which hand.
  for (int hand = 0; hand < 2; ++hand) {
    const double lx = left + pw - 110 + 55 * hand;
    h += "<rect x=\"" + Num(lx) + "\" y=\"" + Num(top + 2) + "\" width=\"6\" height=\"6\" fill=\"" +
         kHandColour[hand] + "\"/><text x=\"" + Num(lx + 8) + "\" y=\"" + Num(top + 8) + "\">" +
         (hand == 0 ? "левая" : "правая") + "</text>";
  }
  h += "</svg>";
}

void Pictures(std::string& h, const TestFigures& t, bool flash) {
  // One scale for both hands, so that their pictures compare; wide errors are drawn at the edge.
  double extent = 0;
  for (int hand = 0; hand < 2; ++hand) {
    for (const auto& a : t.answers[hand]) {
      if (a.timed) extent = std::max(extent, std::fabs(a.error_ms));
    }
  }
  double lo, hi;
  if (flash) {
    lo = 0;
    hi = std::clamp(std::ceil(extent / 100) * 100, 600.0, 1000.0);
    if (extent <= 0) hi = 600;
  } else {
    hi = std::clamp(std::ceil(extent / 50) * 50, 50.0, 300.0);
    lo = -hi;
  }
  h += "<h2>" +
       std::string(flash ? "Время реакции по ходу испытания" : "Ошибки по ходу испытания") +
       "</h2>\n<div class=\"two\">";
  for (int hand = 0; hand < 2; ++hand) {
    h += "<div>";
    AnswerPlot(h, t, hand, flash, lo, hi);
    h += "</div>";
  }
  // The balance of the moving tests beside the histogram, the page's height being the limit.
  h += "</div>\n<div class=\"two\"><div>";
  Histogram(h, t, flash, lo, hi);
  h += "</div><div>";
  if (!flash) BalanceLines(h, t);
  h += "<p class=\"note\">Точки — учтенные ответы по порядку: закрашенные — попадания, пустые — "
       "промахи; пунктир — границы уровней; зеленая полоса — ";
  h += flash ? "время реакции от 100 до 500 мс." : "точные ответы (±16,7 мс).";
  h += " Что за краем шкалы, показано на краю.</p></div></div>\n";
}

void TimingSection(std::string& h, const Session& s, const TimingVerdict& v) {
  h += "<h2>Хронометраж</h2>\n";
  if (!v.recorded) {
    h += "<p class=\"warn\">Записи кадров этого испытания нет: точность его времени не "
         "проверена.</p>\n";
    return;
  }
  h += "<table class=\"short\"><tr><th>Уровень</th><th>Кадров</th><th>Частота, Гц</th>"
       "<th class=\"l\">Темп</th><th>Средний интервал, мс</th><th>Наибольший интервал, мс</th>"
       "<th>Пропущено кадров</th></tr>\n";
  for (const FrameRow& f : s.frames) {
    const bool doubtful = f.dropped > 0 || f.pacing.find("измерение частоты") != std::string::npos;
    h += std::string(doubtful ? "<tr class=\"doubt\">" : "<tr>") + "<td>" +
         std::to_string(f.level) + "</td><td>" + std::to_string(f.frames) + "</td><td>" +
         (f.display_hz > 0 ? DecimalText(f.display_hz, 2) : "—") + "</td><td class=\"l\">" +
         EscapeHtml(f.pacing.empty() ? "—" : f.pacing) + "</td><td>" + Opt(f.measured, f.mean_ms) +
         "</td><td>" + Opt(f.measured, f.max_ms) + "</td><td>" + std::to_string(f.dropped) +
         "</td></tr>\n";
  }
  h += "</table>\n";
  if (v.clean) {
    h += "<p class=\"ok\">Время испытания надежно: ни одного пропущенного кадра, темп задан "
         "без измерения частоты.</p>\n";
    return;
  }
  // One paragraph for all the levels in doubt, so that a test with all four still fits the page.
  h += "<p class=\"warn\">⚠ ";
  for (const std::string& w : v.warnings) h += EscapeHtml(w) + ". ";
  h += v.warnings.size() == 1 ? "Результаты этого уровня могут быть неточны"
                              : "Результаты этих уровней могут быть неточны";
  h += "; испытание можно повторить.</p>\n";
}

void Earlier(std::string& h, const Session& s, const std::vector<const SummaryRow*>& earlier) {
  constexpr std::size_t kShown = 6;
  h += "<h2>Прежние испытания «" + EscapeHtml(TestName(s.test_kind)) + "» этого испытуемого</h2>\n";
  if (earlier.empty()) {
    h += "<p class=\"note\">Прежних испытаний в сводке нет.</p>\n";
    return;
  }
  const bool flash = s.test_kind == 3;
  h += std::string(
           "<table class=\"short\"><tr><th class=\"l\">Дата и время</th>"
           "<th>Попаданий, левая / правая</th>") +
       (flash ? "<th>Время реакции, мс, левая / правая</th>"
              : "<th>Постоянная ошибка, мс, левая / правая</th>"
                "<th>Абсолютная ошибка, мс, левая / правая</th>") +
       "</tr>\n";
  for (std::size_t i = 0; i < earlier.size() && i < kShown; ++i) {
    const SummaryRow& r = *earlier[i];
    auto pair = [&](const char* column) {
      const std::string& left = r.Get(std::string(column) + ", левая");
      const std::string& right = r.Get(std::string(column) + ", правая");
      h += "<td>" + EscapeHtml(left.empty() ? "—" : left) + " / " +
           EscapeHtml(right.empty() ? "—" : right) + "</td>";
    };
    h += "<tr><td class=\"l\">" + EscapeHtml(r.Get("Дата и время")) + "</td>";
    pair("Попаданий");
    if (flash) {
      pair("Время реакции, мс");
    } else {
      pair("Постоянная ошибка, мс");
      pair("Абсолютная ошибка, мс");
    }
    h += "</tr>\n";
  }
  h += "</table>\n";
  if (earlier.size() > kShown) {
    h += "<p class=\"note\">И еще " + std::to_string(earlier.size() - kShown) +
         " прежних — в указателе протоколов и в Сводка.csv.</p>\n";
  }
}

}  // namespace

std::string EscapeHtml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string RenderProtocol(const Session& s, const std::vector<const SummaryRow*>& earlier) {
  const TestFigures t = ComputeFigures(s.test_kind, s.presses, s.has_block ? &s.block : nullptr);
  const TimingVerdict v = JudgeTiming(s);
  const bool flash = s.test_kind == 3;
  std::string h;
  h.reserve(64 * 1024);
  h += "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
       EscapeHtml(TestName(s.test_kind) + " — " + s.subject + " — " + s.when) + "</title>\n";
  h += kStyle;
  h += "\n</head>\n<body>\n<main>\n";
  Header(h, s, v);
  HitsTable(h, s);
  FiguresTable(h, s, t);
  Pictures(h, t, flash);
  TimingSection(h, s, v);
  Earlier(h, s, earlier);
  h += "</main>\n</body>\n</html>\n";
  return h;
}

}  // namespace tavrik::protocol
