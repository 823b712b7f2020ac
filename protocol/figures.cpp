// Working out the figures.
#include "protocol/figures.h"

#include <algorithm>
#include <cmath>

#include "protocol/csv.h"

namespace tavrik::protocol {

namespace {

double Mean(const std::vector<double>& v) {
  double sum = 0;
  for (const double x : v) sum += x;
  return sum / static_cast<double>(v.size());
}

double SampleSd(const std::vector<double>& v, double mean) {
  if (v.size() < 2) return 0;
  double sum = 0;
  for (const double x : v) sum += (x - mean) * (x - mean);
  return std::sqrt(sum / static_cast<double>(v.size() - 1));
}

}  // namespace

double Percent(int part, int whole) {
  return whole == 0 ? 0 : 100.0 * part / whole;
}

Figures MovingFigures(const std::vector<double>& errors) {
  Figures f;
  f.timed = static_cast<int>(errors.size());
  if (errors.empty()) return f;
  double absolute = 0;
  for (const double e : errors) {
    if (std::fabs(e) <= kAccurateMs) {
      ++f.accurate;
    } else if (e < 0) {
      ++f.early;
      f.early_sum_ms += e;
    } else {
      ++f.late;
      f.late_sum_ms += e;
    }
    absolute += std::fabs(e);
  }
  f.constant_ms = Mean(errors);
  f.absolute_ms = absolute / static_cast<double>(errors.size());
  f.variable_ms = SampleSd(errors, f.constant_ms);
  const auto [lo, hi] = std::minmax_element(errors.begin(), errors.end());
  f.min_ms = *lo;
  f.max_ms = *hi;
  return f;
}

Figures FlashFigures(const std::vector<double>& reaction_times) {
  Figures f;
  f.timed = static_cast<int>(reaction_times.size());
  std::vector<double> kept;
  for (const double rt : reaction_times) {
    if (rt < kFastestRtMs) {
      ++f.anticipations;
    } else if (rt >= kSlowestRtMs) {
      ++f.lapses;
    } else {
      kept.push_back(rt);
    }
  }
  f.reactions = static_cast<int>(kept.size());
  if (kept.empty()) return f;
  std::sort(kept.begin(), kept.end());
  f.rt_mean_ms = Mean(kept);
  f.rt_sd_ms = SampleSd(kept, f.rt_mean_ms);
  const std::size_t n = kept.size();
  f.rt_median_ms = n % 2 ? kept[n / 2] : (kept[n / 2 - 1] + kept[n / 2]) / 2;
  f.rt_min_ms = kept.front();
  f.rt_max_ms = kept.back();
  return f;
}

double SignTestP(int a, int b) {
  const int n = a + b;
  if (n == 0) return 1;
  const int k = std::min(a, b);
  // Sum of C(n, i) / 2^n for i <= k in logarithms, so that long tests do not overflow.
  double tail = 0;
  for (int i = 0; i <= k; ++i) {
    const double log_term =
        std::lgamma(n + 1.0) - std::lgamma(i + 1.0) - std::lgamma(n - i + 1.0) - n * std::log(2.0);
    tail += std::exp(log_term);
  }
  return std::min(1.0, 2 * tail);
}

std::string PText(double p) {
  if (p < 0.001) return "p < 0,001";
  if (p < 0.01) return "p = " + DecimalText(p, 3);
  return "p = " + DecimalText(p, 2);
}

std::string BalanceText(int early, int late) {
  const double p = SignTestP(early, late);
  if (p < kSignificance && early != late) {
    return std::string(early > late ? "опережения преобладают" : "запаздывания преобладают") +
           ", " + PText(p);
  }
  return "преобладания нет, " + PText(p);
}

TestFigures ComputeFigures(int test_kind, const std::vector<PressRow>& presses,
                           const ReportBlock* block) {
  TestFigures t;
  t.test_kind = test_kind;
  const bool flash = test_kind == 3;
  std::vector<double> errors[2][kLevelCount + 1];
  for (const PressRow& p : presses) {
    if (p.outcome == Outcome::kLatched || p.level < 1 || p.level > kLevelCount) continue;
    for (const int level : {0, p.level}) {
      Figures& f = t.by[p.hand][level];
      ++f.answers;
      if (p.outcome == Outcome::kHit) ++f.hits;
      if (p.deviates) errors[p.hand][level].push_back(p.deviation_ms);
    }
    t.answers[p.hand].push_back({p.level, p.outcome == Outcome::kHit, p.deviates, p.deviation_ms});
  }
  for (int hand = 0; hand < 2; ++hand) {
    for (int level = 0; level <= kLevelCount; ++level) {
      Figures& f = t.by[hand][level];
      const Figures worked =
          flash ? FlashFigures(errors[hand][level]) : MovingFigures(errors[hand][level]);
      const int answers = f.answers, hits = f.hits;
      f = worked;
      f.answers = answers;
      f.hits = hits;
    }
  }
  if (flash && block) {
    // A flash lights one side; the cells say which cycles each hand scored in, two flashes a cycle.
    int total = 0;
    for (int level = 1; level <= kLevelCount; ++level) {
      int scored = 0;
      for (int hand = 0; hand < 2; ++hand) {
        for (int cycle = 0; cycle < kCyclesPerLevel; ++cycle)
          scored += block->hits[hand][level - 1][cycle];
      }
      const int unanswered = std::max(0, kFlashesPerLevel - scored);
      t.by[kLeft][level].unanswered = t.by[kRight][level].unanswered = unanswered;
      total += unanswered;
    }
    t.by[kLeft][0].unanswered = t.by[kRight][0].unanswered = total;
  }
  return t;
}

}  // namespace tavrik::protocol
