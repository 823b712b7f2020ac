// Plays complete tests with a scripted subject on a fake clock, through the engine, the keyboard
// handlers and the report writer the program uses, and leaves their report blocks and timing
// records in a report folder: real record files for the checks that read them back with other
// programs (check_record.py, a spreadsheet).
//
//   record_sample <report folder>
//
// Two linear tests (the second appends to the files the first created) and a flash test; the
// subject hits, presses twice in a pass, skips, and answers on the wrong side of a frame, so
// every outcome and both signs of error show up. Frames come a period apart with a little
// jitter and one stall per level.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "codepage/cp1251.h"
#include "engine/geometry.h"
#include "engine/level.h"
#include "engine/session_state.h"
#include "engine/stimulus.h"
#include "engine/timing_record.h"
#include "input/hand_keys.h"
#include "input/handlers.h"
#include "report/report.h"
#include "testkit/shipped_layout.h"

namespace {

using namespace tavrik;

class Player {
 public:
  explicit Player(const std::string& report_dir) {
    ResetSession(s_);
    auto gen = std::make_shared<std::mt19937_64>(20260517);
    s_.services.Rnd = [gen]() { return static_cast<double>((*gen)() >> 11) * 0x1.0p-53; };
    s_.services.Randomize = [](double) {};
    s_.services.Now = [this]() { return now_; };
    s_.services.ShowError = [this](const std::string& m) {
      std::fprintf(stderr, "record_sample: %s\n", m.c_str());
      failed_ = true;
    };
    s_.services.WriteReport = [](SessionState& s) { WriteReport(s); };
    s_.ReportDir = report_dir;
    testkit::UseShippedLayout(s_);
  }

  void Test(Integer kind, const char* name, LocalTime when, FramePacing pacing) {
    now_ = when;
    pacing_ = pacing;
    s_.TestKind = kind;
    s_.SubjectName = Utf8ToCp1251(name);
    s_.MenuLevel = kMenuLevelTest;
    s_.ScreenState = kScreenWaiting;
    StartLevel(s_);
    Frame();
    for (int level = 1; level <= 4; ++level) {
      KeyPress(s_, kCodeSpace);
      frame_ = 0;
      while (s_.ScreenState == kScreenRunning) {
        Frame();
        Answer();
      }
      Frame();  // the level done
    }
    KeyPress(s_, kCodeSpace);  // the report and the record
  }

  bool Failed() const { return failed_; }

 private:
  void Frame() {
    PlaceStimulus(s_);
    PlaceFrames(s_);
    s_.LevelFrameShown = 1;
    AdvanceLevel(s_);
    // A period, give or take a quarter of a millisecond, and a stall of 60 ms now and then.
    clock_ns_ += kNominalFramePeriodNs + static_cast<std::int64_t>(dice_() % 500'000) - 250'000;
    if (++frame_ % 700 == 350) clock_ns_ += 60'000'000;
    FrameShown(s_, clock_ns_, pacing_);
  }

  void Press(std::int8_t hand, double frame_share) {
    s_.KeyDownNs = clock_ns_ + static_cast<std::int64_t>(frame_share * 16e6);
    s_.KeyRepeat = 0;
    KeyPress(s_, hand == kHandLeft ? kLeftHandKey.code : kRightHandKey.code);
  }

  // After each running frame: the subject looks at the ball and may answer.
  void Answer() {
    if (s_.ScreenState != kScreenRunning) return;
    for (const std::int8_t hand : {kHandLeft, kHandRight}) {
      const bool left = hand == kHandLeft;
      const bool in_frame = left ? s_.BallX <= s_.LeftFrameX + s_.FrameCellWidth
                                 : s_.BallX >= s_.RightFrameX - s_.FrameCellWidth;
      const bool on_side = left ? s_.TargetX < s_.CenterX - 40 : s_.TargetX > s_.CenterX + 40;
      const int pass = s_.Level * 100 + s_.Cycle * 2 + hand;
      const int plan = pass % 5;  // 0, 1 hit; 2 hit and again; 3 skip; 4 on the side, too early
      if (pass == done_[hand]) continue;
      if (s_.TestKind == kTestFlash) {
        if (s_.FlashOn == 1 && in_frame && ++waited_[hand] >= 12 + pass % 9) {
          waited_[hand] = 0;
          done_[hand] = pass;
          if (plan == 3) continue;
          Press(hand, 0.3);
          if (plan == 2) Press(hand, 0.7);
        }
      } else if (plan == 4 ? on_side && !in_frame : in_frame && dice_() % 3 == 0) {
        done_[hand] = pass;
        if (plan == 3) continue;
        Press(hand, static_cast<double>(dice_() % 10) / 10.0);
        if (plan == 2) Press(hand, 0.95);
      }
    }
  }

  SessionState s_;
  LocalTime now_;
  FramePacing pacing_;
  std::int64_t clock_ns_ = 1'000'000'000'000;
  int frame_ = 0;
  int done_[2] = {0, 0};
  int waited_[2] = {0, 0};
  std::mt19937 dice_{1409};
  bool failed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: record_sample <report folder>\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path folder = fs::u8path(argv[1]);
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder);
  Player player(folder.u8string() + "/");
  using K = FramePacing::Kind;
  player.Test(kTestLinear, "Иван Петров", {2026, 5, 17, 10, 20, 30, 0}, {K::kVsync, 1, 59.95});
  player.Test(kTestLinear, " Анна ", {2026, 5, 17, 10, 31, 5, 0}, {K::kVsync, 2, 119.9});
  player.Test(kTestFlash, "Сергей", {2026, 5, 17, 11, 2, 44, 0}, {K::kTimer, 1, 143.86});
  if (player.Failed()) return 1;
  std::printf("record_sample: three tests written to %s\n", folder.u8string().c_str());
  return 0;
}
