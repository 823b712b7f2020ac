// The scripted subject.
//
// Geometry of the shipped bitmaps on the 800 by 600 image: ball 40 by 40, track radius 180 about
// (400, 300), left frame x 188..251, right frame x 548..611, both y 268..331. A press is judged
// against the frame last drawn when the program handles the key, one or two frames after the
// subject saw the ball, so every press here keeps a margin of a few frames from the edges of the
// hit window and from the ends of the pass.
#include "subject.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "display/frame_pacer.h"
#include "failure.h"
#include "input/hand_keys.h"

namespace e2e {

const Box kLeftCountBox{0, 550, 300, 50};
const Box kRightCountBox{560, 550, 240, 50};
const Box kTopTextBox{200, 0, 400, 48};

namespace {

const char* const kHandName[2] = {"left", "right"};

// The ball's colours: a red-brown sphere. Nothing else on the test screen is red.
bool IsBall(std::uint32_t c) {
  const int r = Red(c), g = Green(c), b = Blue(c);
  return r >= 0x30 && r >= g + 0x20 && r >= b + 0x20;
}

// Where the subject looks: the line of the linear and flash tests, or the whole circle.
Box WatchBox(int kind) {
  return kind == 1 ? Box{180, 80, 440, 440} : Box{180, 276, 440, 48};
}

constexpr double kCentreX = 400;
// Distances from the centre line (linear, flash) at which the ball's left edge reaches the
// right edge of the left frame (252) and the left edge of the right one less a frame's width
// (484): the horizontal hit rule.
constexpr double kLeftWindowEdge = 128;   // ball centre x 272
constexpr double kRightWindowEdge = 104;  // ball centre x 504

}  // namespace

// Finds the ball in `image` (taken at `origin`) by its colours; false when too little of it
// shows. The centre is the middle of the box its pixels cover, in image pixels of the program.
bool FindBall(const Image& image, const Box& origin, int stride, double* cx, double* cy) {
  int left = image.width, right = -1, top = image.height, bottom = -1, count = 0;
  for (int y = 0; y < image.height; y += stride) {
    for (int x = 0; x < image.width; x += stride) {
      if (!IsBall(image.At(x, y))) continue;
      ++count;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (count * stride * stride < 120) return false;
  *cx = origin.x + (left + right + stride) / 2.0;
  *cy = origin.y + (top + bottom + stride) / 2.0;
  return true;
}

int HandKeycode(XSession& x, Hand hand) {
  return x.PhysicalKey(hand == kLeft ? tavrik::kLeftHandKey.iso_position
                                     : tavrik::kRightHandKey.iso_position);
}

int LevelPlan::Hits(Hand h) const {
  return static_cast<int>(std::count_if(hand[h].begin(), hand[h].end(), Scores));
}

TestPlan PlanFor(int test_kind) {
  TestPlan p;
  auto set = [&](int level, const char* left, const char* right) {
    p.levels[level].hand = {left, right};
  };
  switch (test_kind) {
    case 2:  // linear: early and late answers only up to level 3, where the ball is slower
      set(1, "HHEHSHDHLH", "HSHHEHWHHD");
      set(2, "DHHLHHHEHW", "HEHHSHHLHH");
      set(3, "HLHEHHSHHH", "SHHHHDHEHL");
      set(4, "HHSHHWHHDH", "HHHHSHHHHH");
      break;
    case 1:  // circular
      set(1, "HEHHLHHSHD", "HHLHHEHWHH");
      set(2, "SHHDHHEHLH", "HHHHSHHHEH");
      set(3, "HWHLHHHSHH", "EHHHHLHHDH");
      set(4, "HHEHHHSHLH", "HSHHHEHHWH");
      break;
    default:  // flash: no late answers (after a flash the ball is back in the middle)
      set(1, "HEHHSHDHEH", "HEHSHHWHHH");
      set(2, "HHSHHEHHDH", "SHHHHEHHHW");
      set(3, "DHHHEHSHHH", "HHHHEHHSHD");
      set(4, "HHHSHHEHHH", "HSHHHHEHHH");
      break;
  }
  return p;
}

const char* OutcomeText(Outcome o) {
  switch (o) {
    case Outcome::kHit:
      return "попадание";
    case Outcome::kMiss:
      return "промах";
    case Outcome::kLatched:
      return "не учтено";
  }
  return "?";
}

std::string PressRecord::Str() const {
  char text[300];
  std::snprintf(text, sizeof text, "%7.2f s  level %d cycle %2d %-5s '%c' %-28s ball %s", when,
                level, cycle, kHandName[hand], action, why.c_str(),
                ball_seen ? ("centre (" + std::to_string(std::lround(ball_x)) + ", " +
                             std::to_string(std::lround(ball_y)) + ")")
                                .c_str()
                          : "not seen");
  return text;
}

struct Subject::Sample {
  bool seen = false;
  double cx = 0, cy = 0;
  double t = 0;
  std::int64_t ns = 0;  // on the program's clock, just before the screen was read
};

namespace {

// Where the ball's centre passes the centre of a hand's frame, for the moments the subject sees.
constexpr double kFrameCentreX[2] = {220, 580};
constexpr double kBand = 40;

// The frames seen change, and when the ball comes within kBand of a frame's centre and leaves it.
// The band is symmetric about the moment, so the moment is its middle, unless the program was held
// up inside it: then the band lasts longer than the ball's motion through it takes, the stall may
// have been anywhere in it, and the moment is known only to half of that (SubjectMoment::held_ns).
struct MomentWatch {
  explicit MomentWatch(double band) : band_ns(band) {}
  double band_ns;  // how long the ball takes through the band at the level's speed
  double last_x = -1e9, last_y = -1e9;
  std::int64_t last_change = -1, change_before = -1;
  bool in_band[2] = {false, false};
  std::int64_t enter[2] = {0, 0}, enter_gap[2] = {0, 0};

  // A sample of the moving ball; returns the hand whose moment it completes (-1: none) in `m`.
  int See(double x, double y, std::int64_t ns, SubjectMoment* m) {
    if (std::fabs(x - last_x) + std::fabs(y - last_y) < 0.25) return -1;
    last_x = x;
    last_y = y;
    change_before = last_change;
    last_change = ns;
    if (change_before < 0) return -1;
    const std::int64_t edge = (change_before + last_change) / 2;
    const std::int64_t gap = last_change - change_before;
    for (int h = 0; h < 2; ++h) {
      const bool inside = std::fabs(x - kFrameCentreX[h]) < kBand;
      if (inside && !in_band[h]) {
        in_band[h] = true;
        enter[h] = edge;
        enter_gap[h] = gap;
      } else if (!inside && in_band[h]) {
        in_band[h] = false;
        m->hand = static_cast<Hand>(h);
        m->ns = (enter[h] + edge) / 2;
        m->uncertainty_ns = (enter_gap[h] + gap) / 4;
        // A stall inside the band shifts its middle by up to half the stall away from the moment,
        // and the band lasts that much longer. Its edges are known to half a frame each, so a
        // band seen x too long had a stall of up to x plus a frame; the middle's error, edges
        // included, is at most x / 2 more than without one.
        const double excess = static_cast<double>(edge - enter[h]) - band_ns;
        m->held_ns = excess > 0 ? static_cast<std::int64_t>(excess / 2) : 0;
        return h;
      }
    }
    return -1;
  }
};

// The flash test's latches as the subject can follow them: both open when a level starts; each
// flash's end opens the latch of the side of the flash after it (the other side's, after the
// first flash of a cycle; after the second, whichever comes on next); a press uses the latch of
// its hand.
struct FlashLatches {
  bool open[2] = {true, true};
  bool open_at_next_onset = false;

  void Onset(Hand side) {
    if (open_at_next_onset) open[side] = true;
    open_at_next_onset = false;
  }
  void End(bool next_side_known, Hand next_side) {
    if (next_side_known) {
      open[next_side] = true;
    } else {
      open_at_next_onset = true;
    }
  }
  Outcome Take(Hand hand, bool flash_on_its_side) {
    if (!open[hand]) return Outcome::kLatched;
    open[hand] = false;
    return flash_on_its_side ? Outcome::kHit : Outcome::kMiss;
  }
};

}  // namespace

// What the subject knows about one side during a level.
struct Subject::Side {
  int pass = 0;          // passes (flashes) seen on this side; pass k is cycle k
  bool in_zone = false;  // the ball is on this side, near the frame
  int presses = 0;       // presses in the current pass
  double first_press = 0;
  bool late_done = false;
  std::map<int, bool> early;  // early press made for pass k
};

Subject::Subject(Screens& screens) : screens_(screens) {
  for (Hand hand : {kLeft, kRight}) keys_[hand] = HandKeycode(screens_.X(), hand);
  // The count texts for every number of hits; the same on every test screen.
  for (int n = 0; n <= 10; ++n) {
    ScreenSetup setup = ScreenSetup::LevelDone(2, 1, n, n, 0, 0);
    count_refs_[n] = screens_.Ref().Compose(setup);
  }
}

void Subject::Press(Hand hand, const std::string& why, const Sample& at, Outcome expected,
                    bool hold) {
  const bool scores = expected == Outcome::kHit;
  PressRecord r;
  r.level = level_;
  r.hand = hand;
  r.why = why;
  r.expected = expected;
  r.ball_seen = at.seen;
  r.ball_x = at.cx;
  r.ball_y = at.cy;
  r.when = Elapsed();
  r.cycle = current_cycle_[hand];
  r.action = plan_->hand[hand][std::clamp(r.cycle, 1, 10) - 1];
  presses_.push_back(r);
  if (scores) ++expected_count_[hand];
  // Look at the counts a few frames later, and keep looking for a while when they lag. Should
  // they still disagree, the first press since they last agreed is the one to blame.
  if (check_after_[hand] == 0) {
    check_after_[hand] = Elapsed() + 0.12;
    check_deadline_[hand] = Elapsed() + 1.5;
    blamed_cycle_[hand] = r.cycle;
  }
  if (!hold) {
    presses_.back().sent_ns = screens_.X().Tap(keys_[hand]);
    return;
  }
  // Held until the frame shows pressed (green), then the whole screen is taken.
  presses_.back().sent_ns = screens_.X().KeyDown(keys_[hand]);
  const Box frame = hand == kLeft ? Box{188, 268, 64, 64} : Box{548, 268, 64, 64};
  for (const double until = Elapsed() + 0.3; Elapsed() < until;) {
    long green = 0;
    for (std::uint32_t c : screens_.X().Grab(frame).pixels) {
      if (Green(c) > Blue(c) + 40 && Green(c) > Red(c) + 40) ++green;
    }
    if (green > 100) break;
    Pause(0.002);
  }
  const Image screen = screens_.Grab();
  screens_.X().KeyUp(keys_[hand]);
  screens_.Screenshot(screen, shoot_name_);
  shot_taken_ = true;
}

int Subject::ShownCount(Hand hand, const Image& screen) const {
  const Box box = hand == kLeft ? kLeftCountBox : kRightCountBox;
  for (int n = 0; n <= 10; ++n) {
    if (screens_.Matches(screen, count_refs_[n], box)) return n;
  }
  return -1;
}

void Subject::CheckCounts(bool final_check) {
  const double now = Elapsed();
  for (Hand hand : {kLeft, kRight}) {
    if (check_after_[hand] == 0 || (!final_check && now < check_after_[hand])) continue;
    const Image screen = screens_.GrabBox(hand == kLeft ? kLeftCountBox : kRightCountBox);
    const int shown = ShownCount(hand, screen);
    if (shown == expected_count_[hand]) {
      check_after_[hand] = 0;
      continue;
    }
    // A count that lags behind may still catch up; one ahead of the plan never comes back.
    const bool ahead = shown > expected_count_[hand];
    if (!ahead && !final_check && now < check_deadline_[hand]) {
      check_after_[hand] = now + 0.05;
      continue;
    }
    std::string pressed;
    for (const PressRecord& r : presses_) {
      if (r.level == level_ && r.hand == hand) pressed += "\n  " + r.Str();
    }
    const std::string files = SaveMismatch(
        screen, count_refs_[std::clamp(expected_count_[hand], 0, 10)], screens_.ArtifactsDir(),
        "count-level" + std::to_string(level_) + "-" + kHandName[hand], screens_.Tolerance());
    const std::string what =
        ahead ? " (a press scored that the plan makes a miss)"
              : " (a planned hit was not scored: pressed too late, or the key was lost)";
    throw Failure(
        std::string("level ") + std::to_string(level_) + ", cycle " +
        std::to_string(blamed_cycle_[hand]) + ", " + kHandName[hand] + " hand: the screen shows " +
        (shown < 0 ? std::string("no readable count") : std::to_string(shown)) +
        " hits of the level where the plan gives " + std::to_string(expected_count_[hand]) + what +
        ". This hand's presses in the level:" + pressed + "\nsaved " + files);
  }
}

void Subject::CheckCycle(Hand hand, int pass) {
  current_cycle_[hand] = pass;
  const Image screen = screens_.GrabBox(kTopTextBox);
  int shown = -1;
  for (int k = 1; k <= 10; ++k) {
    if (screens_.Matches(screen, cycle_refs_[k], kTopTextBox)) shown = k;
  }
  if (shown == pass) return;
  const std::string files =
      SaveMismatch(screen, cycle_refs_[std::clamp(pass, 1, 10)], screens_.ArtifactsDir(),
                   "cycle-level" + std::to_string(level_) + "-" + kHandName[hand] + "-pass" +
                       std::to_string(pass),
                   screens_.Tolerance());
  throw Failure(
      "level " + std::to_string(level_) + ": the subject counts " + kHandName[hand] + " pass " +
      std::to_string(pass) + " but the screen shows " +
      (shown < 0 ? std::string("no cycle number it knows") : "cycle " + std::to_string(shown)) +
      " (every cycle must take the ball once past each frame); saved " + files);
}

void Subject::RunLevel(int test_kind, int level, const LevelPlan& plan, int left_total_before,
                       int right_total_before) {
  kind_ = test_kind;
  level_ = level;
  plan_ = &plan;
  expected_count_ = {0, 0};
  check_after_ = {0, 0};
  current_cycle_[0] = current_cycle_[1] = 0;
  for (int k = 1; k <= 10; ++k) {
    ScreenSetup running = ScreenSetup::Ready(test_kind, level, 0, 0);
    running.screen_state = 1;
    running.cycle = k;
    cycle_refs_[k] = screens_.Ref().Compose(running);
  }
  done_ref_ = screens_.Ref().Compose(
      ScreenSetup::LevelDone(test_kind, level, 0, 0, left_total_before, right_total_before));

  Side side[2];
  const Box watch = WatchBox(test_kind);
  const int stride = test_kind == 1 ? 2 : 1;
  double anchor = -1e9;  // position at the last clear movement (x, or distance from the window)
  int motion = 0;        // +1 or -1 along that measure, 0 when not known
  int flash_side = -1;   // side of the flash on the screen, -1 between flashes
  bool shoot = !shoot_name_.empty() && !shot_taken_;
  // The ball's x is 400 + 180 sin(Phase * 3.14 / 180): it stays within kBand of the extreme for
  // 2 asin(1 - kBand / 180) short of half a turn of that angle.
  static const double kSpeed[3][5] = {{0}, {0, 1.5, 2, 2.5, 3}, {0, 3, 4, 5, 6}};
  const double band_angle = 3.14159265358979 - 2 * std::asin(1 - kBand / 180);
  MomentWatch moment_watch(
      test_kind == 3 ? 0 : band_angle * 180 / 3.14 / kSpeed[test_kind][level] * 1e9 / 60);
  FlashLatches latches;
  std::int64_t last_sample_ns = -1;

  screens_.X().Tap("space");
  const double started = Elapsed();
  double next_top_check = started + 0.1;
  long samples = 0;
  bool running_seen = false;
  for (;;) {
    const double now = Elapsed();
    if (now - started > 300) {
      throw Failure("level " + std::to_string(level) +
                    " did not end within 300 s; the subject saw " + std::to_string(side[0].pass) +
                    " left and " + std::to_string(side[1].pass) + " right passes");
    }
    if (!running_seen && now - started > 10) {
      throw Failure("Space did not start level " + std::to_string(level) +
                    ": the screen never showed its first cycle running");
    }
    Sample s;
    s.t = now;
    s.ns = tavrik::MonotonicNowNs();
    s.seen = FindBall(screens_.X().Grab(watch), watch, stride, &s.cx, &s.cy);
    ++samples;
    if (s.seen && test_kind != 3) {
      SubjectMoment m;
      if (moment_watch.See(s.cx, s.cy, s.ns, &m) >= 0) {
        m.level = level;
        moments_.push_back(m);
      }
    }

    if (s.seen && test_kind == 2) {
      // Linear: the ball swings along the centre line. d is how far it stands out on a side.
      if (std::fabs(s.cx - anchor) >= 2) {
        motion = s.cx > anchor ? 1 : -1;
        anchor = s.cx;
      }
      for (Hand h : {kLeft, kRight}) {
        Side& sd = side[h];
        const int sign = h == kLeft ? -1 : 1;
        const double d = sign * (s.cx - kCentreX);
        const bool outward = motion == sign;
        const bool inward = motion == -sign;
        const double edge = h == kLeft ? kLeftWindowEdge : kRightWindowEdge;
        if (!sd.in_zone && d > 60) {
          sd.in_zone = true;
          ++sd.pass;
          sd.presses = 0;
          sd.late_done = false;
          CheckCycle(h, sd.pass);
        } else if (sd.in_zone && d < 50) {
          sd.in_zone = false;
          if (between_passes_) between_passes_();
        }
        if (!sd.in_zone) {
          // On its way out to this side's frame: the early answer of the coming pass.
          const int next = sd.pass + 1;
          if (next <= 10 && d > 3 && d < 60 && outward && plan.hand[h][next - 1] == 'E' &&
              !sd.early[next]) {
            current_cycle_[h] = next;
            Press(h, "early, before the frame", s, Outcome::kMiss);
            sd.early[next] = true;
          }
          continue;
        }
        if (sd.pass > 10) continue;
        const char a = plan.hand[h][sd.pass - 1];
        const bool in_window = (outward && d >= edge + 10) || (inward && d >= edge + 25);
        if (sd.presses == 0 && in_window) {
          if (a == 'H' || a == 'D') {
            Press(h, "inside the frame", s, Outcome::kHit);
            sd.presses = 1;
            sd.first_press = now;
          } else if (a == 'W') {
            Press(h == kLeft ? kRight : kLeft, "other hand, ball in this frame", s, Outcome::kMiss);
            current_cycle_[h] = sd.pass;
            Press(h, "inside the frame", s, Outcome::kHit);
            sd.presses = 1;
          } else if (a == 'E') {
            // The press after an early one counts for nothing, so for a screenshot it may
            // wait until the ball stands in the middle of the frame.
            if (!sd.early[sd.pass]) {
              sd.presses = 1;
            } else if (!shoot || d >= 170) {
              Press(h, "inside the frame after early", s, Outcome::kLatched, shoot);
              shoot = false;
              sd.presses = 1;
            }
          }
        } else if (a == 'D' && sd.presses == 1 && now - sd.first_press > 0.025) {
          Press(h, "again in the same pass", s, Outcome::kLatched);
          sd.presses = 2;
        }
        if (a == 'L' && !sd.late_done && inward && d < edge - 10 && d > 60) {
          Press(h, "late, after the frame", s, Outcome::kMiss);
          sd.late_done = true;
        }
      }
    } else if (s.seen && test_kind == 1) {
      // Circular: v is the distance from the middle of the frames' height; the vertical rule
      // allows ball centres 288..372 and the subject keeps to 292..368.
      const double v = std::fabs(s.cy - 330);
      if (std::fabs(v - anchor) >= 2) {
        motion = v > anchor ? 1 : -1;
        anchor = v;
      }
      const bool receding = motion == 1;
      for (Hand h : {kLeft, kRight}) {
        Side& sd = side[h];
        const int sign = h == kLeft ? -1 : 1;
        const double d = sign * (s.cx - kCentreX);
        if (!sd.in_zone && d > 100) {
          sd.in_zone = true;
          ++sd.pass;
          sd.presses = 0;
          sd.late_done = false;
          motion = 0;
          anchor = v;
          CheckCycle(h, sd.pass);
          // Coming round to this side's frame, well before its window: the early answer.
          if (sd.pass <= 10 && plan.hand[h][sd.pass - 1] == 'E' && v > 72) {
            Press(h, "early, before the frame", s, Outcome::kMiss);
            sd.early[sd.pass] = true;
          }
        } else if (sd.in_zone && d < 90) {
          sd.in_zone = false;
        }
        if (!sd.in_zone || sd.pass > 10) continue;
        const char a = plan.hand[h][sd.pass - 1];
        const bool in_window = v <= 38;
        if (sd.presses == 0 && in_window) {
          if (a == 'H' || a == 'D') {
            Press(h, "inside the frame", s, Outcome::kHit);
            sd.presses = 1;
            sd.first_press = now;
          } else if (a == 'W') {
            Press(h == kLeft ? kRight : kLeft, "other hand, ball in this frame", s, Outcome::kMiss);
            current_cycle_[h] = sd.pass;
            Press(h, "inside the frame", s, Outcome::kHit);
            sd.presses = 1;
          } else if (a == 'E') {
            if (!sd.early[sd.pass]) {
              sd.presses = 1;
            } else if (!shoot || std::fabs(s.cy - 300) <= 8) {
              Press(h, "inside the frame after early", s, Outcome::kLatched, shoot);
              shoot = false;
              sd.presses = 1;
            }
          }
        } else if (a == 'D' && sd.presses == 1 && now - sd.first_press > 0.025) {
          Press(h, "again in the same pass", s, Outcome::kLatched);
          sd.presses = 2;
        }
        if (a == 'L' && !sd.late_done && receding && v > 57) {
          Press(h, "late, after the frame", s, Outcome::kMiss);
          sd.late_done = true;
        }
      }
    } else if (s.seen && test_kind == 3) {
      // Flash: the ball rests in the middle and shows at a frame for each flash.
      int at = -1;
      if (s.cx < 300) at = kLeft;
      if (s.cx > 500) at = kRight;
      const bool middle = std::fabs(s.cx - kCentreX) < 40;
      if (at >= 0 && flash_side != at) {
        const Hand h = static_cast<Hand>(at);
        Side& sd = side[h];
        flash_side = at;
        latches.Onset(h);
        if (last_sample_ns >= 0) {
          moments_.push_back({level, h, (last_sample_ns + s.ns) / 2, (s.ns - last_sample_ns) / 2});
        }
        ++sd.pass;
        CheckCycle(h, sd.pass);
        if (sd.pass <= 10) {
          const char a = plan.hand[h][sd.pass - 1];
          const Hand o = h == kLeft ? kRight : kLeft;
          if (a == 'H') {
            Press(h, "during the flash", s, latches.Take(h, true));
          } else if (a == 'D') {
            Press(h, "during the flash", s, latches.Take(h, true));
            // At once, so that the program takes both in the same pump: a frame later it would
            // still show the flash, and were the next flash on the same side, its latch would be
            // open again and the press would score for it. A key pressed again within 2 ms of
            // going up is taken for its auto-repeat by SDL on X11, which answers but is no row
            // of the record; no hand is that quick.
            Press(h, "again at once", s, latches.Take(h, true));
            presses_.back().may_be_repeat = true;
          } else if (a == 'W') {
            Press(o, "other hand, flash on this side", s, latches.Take(o, false));
            current_cycle_[h] = sd.pass;
            Press(h, "during the flash", s, latches.Take(h, true));
          } else if (a == 'E' && sd.early[sd.pass]) {
            Press(h, "during the flash after early", s, latches.Take(h, true), shoot);
            shoot = false;
          }
        }
      } else if (middle && flash_side >= 0) {
        // A flash just ended. If it was the first of its cycle, the other side's flash comes
        // next, and the dark interval before it is the time for that side's early answer.
        const Hand done = static_cast<Hand>(flash_side);
        const Hand other = done == kLeft ? kRight : kLeft;
        flash_side = -1;
        const int cycle = side[done].pass;
        latches.End(side[other].pass < cycle, other);
        if (cycle <= 10 && side[other].pass < cycle && plan.hand[other][cycle - 1] == 'E') {
          current_cycle_[other] = cycle;
          Press(other, "early, in the dark interval", s, latches.Take(other, false));
          side[other].early[cycle] = true;
        }
      }
    }

    last_sample_ns = s.ns;
    CheckCounts(false);
    if (now >= next_top_check) {
      next_top_check = running_seen ? now + 0.1 : now;
      screens_.Prog().CheckRunning("during level " + std::to_string(level));
      const Image screen = screens_.GrabBox(kTopTextBox);
      // The level counts as started once the screen shows its first cycle running; until then
      // the previous screen's "Готово!" may still be up.
      if (!running_seen) {
        running_seen = screens_.Matches(screen, cycle_refs_[1], kTopTextBox);
      } else if (screens_.Matches(screen, done_ref_, kTopTextBox)) {
        break;
      }
    }
    Pause(0.003);
  }
  CheckCounts(true);
  Log("level " + std::to_string(level) + " done after " +
      std::to_string(static_cast<int>(Elapsed() - started)) + " s, " + std::to_string(samples) +
      " looks at the screen; passes seen: left " + std::to_string(side[0].pass) + ", right " +
      std::to_string(side[1].pass));
  if (side[0].pass != 10 || side[1].pass != 10) {
    throw Failure("level " + std::to_string(level) + " ended after " +
                  std::to_string(side[0].pass) + " left and " + std::to_string(side[1].pass) +
                  " right passes of the ball; ten cycles take it ten times past each frame");
  }
  for (Hand h : {kLeft, kRight}) {
    for (int k = 1; k <= 10; ++k) {
      const char a = plan.hand[h][k - 1];
      if (a == 'E' && !side[h].early[k] && test_kind != 3) {
        Log(std::string("note: level ") + std::to_string(level) + " cycle " + std::to_string(k) +
            " " + kHandName[h] + ": the early answer found no moment; left unanswered");
      }
    }
  }
}

}  // namespace e2e
