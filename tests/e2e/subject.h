// The scripted subject: watches the ball on the screen and answers with the hand keys through
// XTest, hitting and missing on a fixed plan, while it checks that every answer is scored as the
// plan says. Works on a screen of 800 by 600, where screen pixels are the program's pixels.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "screens.h"

namespace e2e {

enum Hand { kLeft = 0, kRight = 1 };

// The keycode of a hand's key on the X server: the physical key of input/hand_keys.h, the same
// under every layout.
int HandKeycode(XSession& x, Hand hand);

// What the subject does with one pass of the ball (one flash) on one side:
//   'H' presses once while the ball is well inside the frame: a hit;
//   'D' presses twice in the same pass: one hit, the second press is ignored;
//   'W' presses the other hand's key first, then its own: a hit, the other press changes nothing;
//   'S' does not answer: a miss;
//   'E' answers early, when the ball is on that side but not yet in the frame (in the flash test:
//       in the dark interval before the flash), then presses again inside the frame: a miss,
//       the early press used up the pass;
//   'L' answers late, after the ball has left the frame but is still on that side: a miss
//       (moving tests only).
// Plans are ten letters, one per cycle.
struct LevelPlan {
  std::array<std::string, 2> hand;  // kLeft, kRight
  static bool Scores(char action) { return action == 'H' || action == 'D' || action == 'W'; }
  int Hits(Hand h) const;
};

struct TestPlan {
  std::array<LevelPlan, 5> levels;  // 1..4 used
};

// The plan each test kind is run with (1 circular, 2 linear, 3 flash).
TestPlan PlanFor(int test_kind);

// What the program must make of a press: a hit, a miss (judged, the ball not in the frame), or
// nothing (the hand's latch was closed).
enum class Outcome { kHit, kMiss, kLatched };
const char* OutcomeText(Outcome o);  // as the timing record writes it

// One key press of the subject, for the record of a level and for failure messages.
struct PressRecord {
  int level = 0, cycle = 0;
  Hand hand = kLeft;
  char action = 'H';
  Outcome expected = Outcome::kHit;
  // Sent so soon after the press before it that the program may take it for an auto-repeat of
  // the key, which has no row in the timing record.
  bool may_be_repeat = false;
  std::string why;
  double ball_x = 0, ball_y = 0;  // ball centre when the subject pressed
  bool ball_seen = false;
  double when = 0;           // seconds since the driver started
  std::int64_t sent_ns = 0;  // when the key went to the server, on the program's clock
  std::string Str() const;
};

// When the subject saw the ball at the centre of a hand's frame (moving tests) or a flash of that
// hand's side come on, on the program's clock, estimated from the frames it saw change: the middle
// of the moments the ball came within 40 pixels of the frame's centre and left again, each taken
// half way between the first sightings of the frames before and after; for a flash, half way
// between the last look without it and the first with it. `uncertainty_ns` is half the time
// between those sightings (the subject looks every few milliseconds, so a frame at most).
// `held_ns`: when the ball took longer through the 40 pixels than its speed gives (the program may
// have been held up there, by a busy machine), half of that more, since a stall may have been on
// either side of the moment.
struct SubjectMoment {
  int level = 0;
  Hand hand = kLeft;
  std::int64_t ns = 0;
  std::int64_t uncertainty_ns = 0;
  std::int64_t held_ns = 0;
};

class Subject {
 public:
  explicit Subject(Screens& screens);

  // Starts the level with Space (the screen must wait for it) and answers its ten cycles by
  // `plan`. Returns when the screen shows that the level is done. Throws Failure, saying which
  // cycle, hand and ball position, as soon as an answer is not scored as planned.
  void RunLevel(int test_kind, int level, const LevelPlan& plan, int left_total_before,
                int right_total_before);

  const std::vector<PressRecord>& Presses() const { return presses_; }
  const std::vector<SubjectMoment>& Moments() const { return moments_; }

  // Linear test only: `f` runs each time the ball has left a frame behind (a pass is over), so
  // that the keyboard can be set up for the next pass while the ball is away.
  void BetweenPasses(std::function<void()> f) { between_passes_ = std::move(f); }

  // When set, the first pass of each test answered 'E' holds its key down inside the frame long
  // enough to save a screenshot under this name (ball in the frame, frame pressed).
  void ShootRunningAs(const std::string& name) { shoot_name_ = name; }

 private:
  struct Side;
  struct Sample;
  void Press(Hand hand, const std::string& why, const Sample& at, Outcome expected,
             bool hold = false);
  void CheckCycle(Hand hand, int pass);
  void CheckCounts(bool final_check);
  int ShownCount(Hand hand, const Image& screen) const;

  Screens& screens_;
  int kind_ = 0;
  int level_ = 0;
  const LevelPlan* plan_ = nullptr;
  std::vector<PressRecord> presses_;
  std::vector<SubjectMoment> moments_;
  std::array<int, 2> expected_count_{};  // hits of the level the screen should show
  std::array<double, 2> check_after_{};  // when to look at the counts again (0: no need)
  std::array<double, 2> check_deadline_{};
  std::array<int, 2> blamed_cycle_{};  // cycle of the first press the counts have not confirmed
  std::array<Image, 11> count_refs_;   // the count texts for 0..10 hits
  std::array<Image, 11> cycle_refs_;   // the top text while running, cycles 1..10
  Image done_ref_;                     // the top text once the level is done
  std::string shoot_name_;
  bool shot_taken_ = false;
  int current_cycle_[2] = {0, 0};
  int keys_[2] = {0, 0};  // the hand keys' keycodes
  std::function<void()> between_passes_;
};

// Where the counts and the top text stand (image pixels).
extern const Box kLeftCountBox;
extern const Box kRightCountBox;
extern const Box kTopTextBox;

}  // namespace e2e
