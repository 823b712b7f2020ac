// The choice of the display mode for 60 frames a second (see display_mode.h).
#include "display/display_mode.h"

#include <cmath>
#include <cstdio>

namespace tavrik {
namespace {

std::string Hz(double hz) {
  char text[32];
  std::snprintf(text, sizeof text, "%g Hz", hz);
  return text;
}

std::string Size(const DisplayModeInfo& m) {
  return std::to_string(m.w) + "x" + std::to_string(m.h);
}

// Of two 60 Hz modes, is `a` the better for the program? The desktop's own size first (the
// monitor shows it natively and nothing else on the desktop moves), then the larger, then the
// rate nearer 60.
bool Better(const DisplayModeInfo& a, const DisplayModeInfo& b, const DisplayModeInfo& desktop) {
  const bool a_own = a.w == desktop.w && a.h == desktop.h;
  const bool b_own = b.w == desktop.w && b.h == desktop.h;
  if (a_own != b_own) return a_own;
  const long long area_a = 1LL * a.w * a.h, area_b = 1LL * b.w * b.h;
  if (area_a != area_b) return area_a > area_b;
  return std::fabs(a.refresh_hz - 60) < std::fabs(b.refresh_hz - 60);
}

}  // namespace

bool CountsAsSixty(double refresh_hz) {
  return refresh_hz >= 59.0 && refresh_hz <= 61.0;
}

DisplayPlan PlanDisplay(const DisplayModeInfo& desktop,
                        const std::vector<DisplayModeInfo>& offered) {
  DisplayPlan plan;
  plan.mode = desktop;
  const double hz = desktop.refresh_hz;
  const std::string found = Size(desktop) + " at " + Hz(hz);
  if (!(hz > 0)) {
    plan.kind = DisplayPlan::Kind::kAsIs60;
    plan.why = Size(desktop) + ", refresh rate not reported: taken for 60 Hz until measured";
    return plan;
  }
  if (CountsAsSixty(hz)) {
    plan.kind = DisplayPlan::Kind::kAsIs60;
    plan.why = found + ": used as it is";
    return plan;
  }

  const DisplayModeInfo* best = nullptr;
  for (const DisplayModeInfo& m : offered) {
    if (m.w <= 0 || m.h <= 0 || !CountsAsSixty(m.refresh_hz)) continue;
    if (!best || Better(m, *best, desktop)) best = &m;
  }
  if (best) {
    plan.kind = DisplayPlan::Kind::kSwitchTo60;
    plan.mode = *best;
    const bool own = best->w == desktop.w && best->h == desktop.h;
    plan.why = found + "; switched to " + Size(*best) + " at " + Hz(best->refresh_hz) +
               " for as long as the program runs (" +
               (own ? "the desktop's own size" : "the largest mode at 60 Hz") + ")";
    return plan;
  }

  const long n = std::lround(hz / 60);
  if (n >= 2 && CountsAsSixty(hz / static_cast<double>(n))) {
    plan.kind = DisplayPlan::Kind::kRepeat;
    plan.refreshes_per_frame = static_cast<int>(n);
    plan.why =
        found + ", no mode at 60 Hz: each frame shown for " + std::to_string(n) + " refreshes";
    return plan;
  }
  plan.kind = DisplayPlan::Kind::kTimer60;
  plan.why = found + ", no mode at 60 Hz and no whole multiple of 60: frames held to a 60 Hz timer";
  return plan;
}

}  // namespace tavrik
