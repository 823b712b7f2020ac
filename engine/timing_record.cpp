// The timing record: kept frame by frame and press by press, read once the test is over.
#include "engine/timing_record.h"

#include <cmath>
#include <limits>

#include "engine/session_state.h"

namespace tavrik {

namespace {

LevelTiming* LevelOf(TimingRecord& r, int level) {
  if (level < 1 || level > kLevelCount) return nullptr;
  return &r.levels[static_cast<std::size_t>(level - 1)];
}

std::int8_t HandOfDirection(int direction) {
  return direction > 0 ? kHandRight : kHandLeft;
}

}  // namespace

bool operator==(const FramePacing& a, const FramePacing& b) {
  return a.kind == b.kind && a.refreshes_per_frame == b.refreshes_per_frame &&
         a.display_hz == b.display_hz;
}

void ClearTimingRecord(TimingRecord& r) {
  // Only the counts: the buffers' old contents lie beyond them and are never read.
  for (LevelTiming& level : r.levels) {
    level.frames_composed = 0;
    level.first_pacing = level.last_pacing = FramePacing{};
  }
  r.press_count = 0;
  r.presses_lost = 0;
  r.shown_pending_level = 0;
}

void BeginLevelTiming(SessionState& s) {
  LevelTiming* level = LevelOf(s.Timing, s.Level);
  if (!level) return;
  level->frames_composed = 0;
  level->first_pacing = level->last_pacing = FramePacing{};
  if (s.Timing.shown_pending_level == s.Level) s.Timing.shown_pending_level = 0;
}

void RecordRunningFrame(SessionState& s) {
  LevelTiming* level = LevelOf(s.Timing, s.Level);
  if (!level) return;
  if (level->frames_composed < kMaxLevelFrames) {
    FrameMark& m = level->frames[static_cast<std::size_t>(level->frames_composed)];
    m.shown_ns = -1;
    m.phase = s.Phase;
    m.cycle = s.Cycle;
    m.flash_on = static_cast<std::int8_t>(s.FlashOn);
    m.direction = static_cast<std::int8_t>(s.Direction);
    s.Timing.shown_pending_level = static_cast<std::int8_t>(s.Level);
  } else {
    s.Timing.shown_pending_level = 0;
  }
  if (level->frames_composed < std::numeric_limits<std::int32_t>::max()) ++level->frames_composed;
}

void FrameShown(SessionState& s, std::int64_t shown_ns, const FramePacing& pacing) {
  s.FrameShownNs = shown_ns;
  LevelTiming* level = LevelOf(s.Timing, s.Timing.shown_pending_level);
  s.Timing.shown_pending_level = 0;
  if (!level) return;
  const int index = level->frames_composed - 1;
  level->frames[static_cast<std::size_t>(index)].shown_ns = shown_ns;
  if (index == 0) level->first_pacing = pacing;
  level->last_pacing = pacing;
}

void RecordPress(SessionState& s, std::int8_t hand, Answer answer) {
  if (answer == Answer::kNotJudged || s.KeyRepeat != 0) return;
  const LevelTiming* level = LevelOf(s.Timing, s.Level);
  if (!level) return;
  TimingRecord& r = s.Timing;
  if (r.press_count >= TimingRecord::kMaxPresses) {
    ++r.presses_lost;
    return;
  }
  PressMark& p = r.presses[static_cast<std::size_t>(r.press_count++)];
  p.down_ns = s.KeyDownNs;
  p.frames_composed = level->frames_composed;
  p.level = static_cast<std::int8_t>(s.Level);
  p.hand = hand;
  p.answer = answer;
}

std::vector<StimulusMoment> StimulusMoments(const LevelTiming& level, int test_kind,
                                            std::int8_t hand) {
  std::vector<StimulusMoment> moments;
  const int n = level.Stored();
  const auto& f = level.frames;
  if (test_kind == kTestFlash) {
    // The onset: the first frame that shows a flash.
    for (int i = 0; i < n; ++i) {
      const FrameMark& m = f[static_cast<std::size_t>(i)];
      const bool onset =
          m.flash_on != 0 && (i == 0 || f[static_cast<std::size_t>(i - 1)].flash_on == 0);
      if (onset && HandOfDirection(m.direction) == hand && m.shown_ns >= 0) {
        moments.push_back({static_cast<double>(m.shown_ns), static_cast<double>(i)});
      }
    }
    return moments;
  }
  // Moving up from 0 the target passes the right frame at 90 and the left one at 270; moving
  // down, the left one at -90 and the right one at -270. The phase moves by the same step in
  // every frame of a cycle, so the moment lies between the two frames around that phase in the
  // same proportion in time as in phase.
  for (int i = 0; i + 1 < n; ++i) {
    const FrameMark& a = f[static_cast<std::size_t>(i)];
    const FrameMark& b = f[static_cast<std::size_t>(i + 1)];
    if (a.cycle != b.cycle || a.phase == b.phase) continue;
    const bool up = b.phase > a.phase;
    const double target = up ? (hand == kHandRight ? 90 : 270) : (hand == kHandLeft ? -90 : -270);
    bool crosses =
        up ? a.phase <= target && target < b.phase : a.phase >= target && target > b.phase;
    // A phase reached exactly on the last frame of a cycle has no pair after it to start.
    if (!crosses && b.phase == target &&
        (i + 2 >= n || f[static_cast<std::size_t>(i + 2)].cycle != b.cycle)) {
      crosses = true;
    }
    if (!crosses || a.shown_ns < 0 || b.shown_ns < 0) continue;
    const double share = (target - a.phase) / (b.phase - a.phase);
    moments.push_back(
        {static_cast<double>(a.shown_ns) + share * static_cast<double>(b.shown_ns - a.shown_ns),
         i + share});
  }
  return moments;
}

PressTiming TimePress(const LevelTiming& level, const std::vector<StimulusMoment>& moments,
                      const PressMark& p) {
  PressTiming t;
  const int n = level.Stored();
  const auto& f = level.frames;
  // The key was handled after the frame composed last was shown; it may have gone down while an
  // earlier one was on the screen (during the wait before the next was shown).
  int j = (p.frames_composed < n ? p.frames_composed : n) - 1;
  const bool stamped = p.down_ns >= 0;
  if (stamped) {
    while (j >= 0 && f[static_cast<std::size_t>(j)].shown_ns > p.down_ns) --j;
  }
  t.frame = j + 1;
  // Before the first running frame the screen showed the level standing at its start.
  t.cycle = j >= 0 ? f[static_cast<std::size_t>(j)].cycle : std::int16_t{1};
  t.phase = j >= 0 ? f[static_cast<std::size_t>(j)].phase : 0.0;

  const std::int64_t first_ns = n > 0 ? f[0].shown_ns : -1;
  if (!stamped || first_ns < 0 || (j >= 0 && f[static_cast<std::size_t>(j)].shown_ns < 0)) {
    return t;
  }
  t.timed = true;
  t.time_ms = static_cast<double>(p.down_ns - first_ns) / 1e6;

  // Where the press falls on the level's frame clock: between the frame on the screen and the
  // next one, in proportion to the time between them.
  const double period = static_cast<double>(kNominalFramePeriodNs);
  double position = 0;
  if (j < 0) {
    position = static_cast<double>(p.down_ns - first_ns) / period;
  } else {
    const FrameMark& on = f[static_cast<std::size_t>(j)];
    const bool next = j + 1 < n && f[static_cast<std::size_t>(j + 1)].shown_ns > on.shown_ns;
    const double span =
        next ? static_cast<double>(f[static_cast<std::size_t>(j + 1)].shown_ns - on.shown_ns)
             : period;
    position = j + static_cast<double>(p.down_ns - on.shown_ns) / span;
  }

  const StimulusMoment* nearest = nullptr;
  const double down = static_cast<double>(p.down_ns);
  for (const StimulusMoment& m : moments) {
    if (!nearest || std::fabs(down - m.time_ns) < std::fabs(down - nearest->time_ns)) {
      nearest = &m;
    }
  }
  if (!nearest) return t;
  t.deviates = true;
  t.deviation_ms = (down - nearest->time_ns) / 1e6;
  t.deviation_frames = position - nearest->frame;
  return t;
}

LevelPace PaceLevel(const LevelTiming& level) {
  LevelPace pace;
  pace.frames = level.frames_composed;
  const int n = level.Stored();
  // Welford's running mean and sum of squares: no cancellation over a few thousand intervals.
  double mean = 0, squares = 0;
  for (int i = 1; i < n; ++i) {
    const std::int64_t before = level.frames[static_cast<std::size_t>(i - 1)].shown_ns;
    const std::int64_t after = level.frames[static_cast<std::size_t>(i)].shown_ns;
    if (before < 0 || after < 0) continue;
    const std::int64_t interval = after - before;
    const double ms = static_cast<double>(interval) / 1e6;
    ++pace.intervals;
    const double delta = ms - mean;
    mean += delta / pace.intervals;
    squares += delta * (ms - mean);
    if (ms > pace.max_ms) pace.max_ms = ms;
    if (interval * 5 > kNominalFramePeriodNs * 6) ++pace.dropped;
  }
  pace.mean_ms = mean;
  if (pace.intervals >= 2) pace.sd_ms = std::sqrt(squares / (pace.intervals - 1));
  return pace;
}

}  // namespace tavrik
