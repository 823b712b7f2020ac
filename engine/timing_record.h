// The timing record of a test: what every running frame of every level showed and when it was
// shown, and every press of a hand key that the scoring looked at, with when the key went down
// and how it was judged. The report writer turns it into the record files beside the report.
//
// Recording is cheap by design: the buffers have a fixed size, enough for the longest level of
// any test, so a frame costs a few stores and nothing is allocated while a test runs. What the
// record says about a press (the frame on the screen, how early or late it came) and about a
// level (how regularly its frames came) is worked out only once the test is over.
//
// Times are nanoseconds of the monotonic clock the frames are paced by, handed in as plain
// numbers (FrameShown, SessionState::KeyDownNs), so tests drive the record with a clock of their
// own. Frame positions count running frames of the level from 0, the first running frame.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/test_constants.h"

namespace tavrik {

struct SessionState;

// The frame period the tests were made for: 60 frames a second.
constexpr std::int64_t kNominalFramePeriodNs = 16'666'667;

// How the scoring took a press of a hand key.
enum class Answer : std::int8_t {
  kNotJudged,  // no level running, or nothing of it shown yet: the press changed nothing
  kLatched,    // the hand's latch was closed: the press did not count
  kMiss,       // judged: the target was not in the hand's frame
  kHit,        // judged and scored
};

enum : std::int8_t { kHandLeft = 0, kHandRight = 1 };

// How the frames are paced, as the display layer knows it. The shell hands it down with each
// frame shown; the engine does not know the display.
struct FramePacing {
  enum class Kind : std::int8_t { kUnknown, kMeasuring, kVsync, kTimer };
  Kind kind = Kind::kUnknown;
  // Refreshes each frame is shown for, under vertical sync (2 on a 120 Hz display).
  std::int8_t refreshes_per_frame = 1;
  // The display's refresh rate in Hz; 0 when it is not known.
  double display_hz = 0;
};
bool operator==(const FramePacing& a, const FramePacing& b);
inline bool operator!=(const FramePacing& a, const FramePacing& b) {
  return !(a == b);
}

// One running frame of a level, as it was composed.
struct FrameMark {
  std::int64_t shown_ns = -1;  // when it was handed to the display; -1 until then
  double phase = 0;            // Phase as drawn
  std::int16_t cycle = 0;      // Cycle as drawn
  std::int8_t flash_on = 0;    // FlashOn as drawn
  std::int8_t direction = 0;   // Direction as drawn
};

constexpr int kMaxLevelFrames = LongestLevelFrames();

struct LevelTiming {
  // Running frames composed, counting those the buffer had no room for (a level kept running
  // by hand, as a benchmark does).
  std::int32_t frames_composed = 0;
  // How frames were paced when the level's first frame and its latest frame were shown.
  FramePacing first_pacing, last_pacing;
  std::array<FrameMark, kMaxLevelFrames> frames;

  // Frames held in `frames`.
  int Stored() const {
    return frames_composed < kMaxLevelFrames ? frames_composed : kMaxLevelFrames;
  }
};

// One press of a hand key that the scoring looked at.
struct PressMark {
  std::int64_t down_ns = -1;         // when the key went down; -1 when it had no stamp
  std::int32_t frames_composed = 0;  // running frames of the level composed when it was handled
  std::int8_t level = 0;             // 1..4
  std::int8_t hand = kHandLeft;
  Answer answer = Answer::kNotJudged;
};

struct TimingRecord {
  // Far more presses than a subject makes in a test (a few hundred); more are counted, not kept.
  static constexpr int kMaxPresses = 4096;

  std::array<LevelTiming, kLevelCount> levels;  // level 1 at index 0
  std::array<PressMark, kMaxPresses> presses;
  std::int32_t press_count = 0;   // held in `presses`
  std::int32_t presses_lost = 0;  // pressed after `presses` was full
  // The level whose frame composed last waits for its shown time; 0 when none does.
  std::int8_t shown_pending_level = 0;
};

// --- Recording; each call is a few stores.

// Forgets the whole record (a new test, or one abandoned).
void ClearTimingRecord(TimingRecord& r);

// A level is set up (StartLevel): its frames start afresh.
void BeginLevelTiming(SessionState& s);

// The frame being composed is a running frame of s.Level: keeps what it shows. Called before the
// stimulus moves on, so that it is what the frame draws.
void RecordRunningFrame(SessionState& s);

// The frame just composed was handed to the display at `shown_ns`, paced as `pacing`. Sets
// s.FrameShownNs; a running frame gets its time. The shell calls it after every flip.
void FrameShown(SessionState& s, std::int64_t shown_ns, const FramePacing& pacing);

// A press of `hand`'s key was judged as `answer`: kept, with s.KeyDownNs, unless the scoring did
// not look at it or it is an auto-repeat of a held key (s.KeyRepeat).
void RecordPress(SessionState& s, std::int8_t hand, Answer answer);

// --- What the record says, once the test is over.

// A moment the subject aims at: in the moving tests the target's centre at the centre of the
// hand's frame (Phase at +-90 or +-270 degrees, between two frames), in the flash test a flash of
// the hand's side coming on.
struct StimulusMoment {
  double time_ns = 0;  // on the frames' clock, interpolated between the frames around it
  double frame = 0;    // position on the level's frame clock, likewise
};

// The moments of `hand` in the level, in order. Only moments whose frames have their times.
std::vector<StimulusMoment> StimulusMoments(const LevelTiming& level, int test_kind,
                                            std::int8_t hand);

struct PressTiming {
  int frame = 0;            // running frame on the screen when the key went down, from 1; 0: before
                            // the first was shown (the press came with the Space that started it)
  std::int16_t cycle = 0;   // the cycle that frame showed
  double phase = 0;         // the Phase that frame showed
  bool timed = false;       // the key's stamp and the level's first frame time are known
  double time_ms = 0;       // from the level's first running frame shown to the key going down
  bool deviates = false;    // timed, and the hand has a stimulus moment in the level
  double deviation_ms = 0;  // from the nearest moment of the hand; negative: before it
  double deviation_frames = 0;  // the same on the level's frame clock
};

// Places press `p` against the frames of its level and the moments of its hand.
PressTiming TimePress(const LevelTiming& level, const std::vector<StimulusMoment>& moments,
                      const PressMark& p);

// How regularly a level's frames came: the intervals between consecutive running frames shown.
struct LevelPace {
  int frames = 0;     // running frames shown
  int intervals = 0;  // intervals measured (both ends timed)
  double mean_ms = 0;
  double sd_ms = 0;  // sample standard deviation, as R's sd() and a spreadsheet's STDEV
  double max_ms = 0;
  int dropped = 0;  // intervals over 1.2 nominal periods: at least one frame's time lost
};
LevelPace PaceLevel(const LevelTiming& level);

}  // namespace tavrik
