// Expected screens, drawn by the program's own frame composition without a window from the same
// bitmaps, so that a screenshot can be compared with what the session state should show.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "image.h"

namespace tavrik {
struct Form1;
}

namespace e2e {

// The session values a screen is drawn from. Everything else the frame reads is fixed by the
// bitmaps.
struct ScreenSetup {
  int menu_level = -1;    // -1 menu, 0 name entry, 1 test
  int screen_state = -2;  // -2 menu, -1 name entry, 0 waiting for Space, 1 running
  int test_kind = 0;      // 1 circular, 2 linear, 3 flash
  int level = 0;
  int cycle = 0;
  int left_hits_level = 0, right_hits_level = 0;
  int left_hits_total = 0, right_hits_total = 0;
  double angle = 0;
  int flash_on = 0;
  int direction = 1;
  int left_held = 0, right_held = 0;
  std::string name;  // UTF-8
  float mouse_x = 0, mouse_y = 0;
  std::array<int, 4> lit{};  // menu buttons 1..3

  static ScreenSetup Menu(float mouse_x, float mouse_y, int lit_button);
  static ScreenSetup NameEntry(int test_kind, const std::string& name);
  // Waiting for Space before `level` (cycle 1) with the totals of the levels before it.
  static ScreenSetup Ready(int test_kind, int level, int left_total, int right_total);
  // The level's cycles are done: "Готово!", the level's hits and the totals.
  static ScreenSetup LevelDone(int test_kind, int level, int left_level, int right_level,
                               int left_total, int right_total);
};

class Reference {
 public:
  // Starts the program's form without a window on the "Графика" of `start_folder`.
  Reference(const std::string& start_folder, int bits_per_pixel);
  ~Reference();

  Image Compose(const ScreenSetup& setup);
  int BitsPerPixel() const { return bits_per_pixel_; }

 private:
  std::unique_ptr<tavrik::Form1> form_;
  int bits_per_pixel_;
};

}  // namespace e2e
