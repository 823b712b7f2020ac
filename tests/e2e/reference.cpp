// Expected screens from the program's own composition code.
#include "reference.h"

#include "codepage/cp1251.h"
#include "failure.h"
#include "shell/frame.h"
#include "shell/startup.h"

namespace e2e {

ScreenSetup ScreenSetup::Menu(float mouse_x, float mouse_y, int lit_button) {
  ScreenSetup s;
  s.mouse_x = mouse_x;
  s.mouse_y = mouse_y;
  if (lit_button >= 1 && lit_button <= 3) s.lit[lit_button] = 1;
  return s;
}

ScreenSetup ScreenSetup::NameEntry(int test_kind, const std::string& name) {
  ScreenSetup s;
  s.menu_level = 0;
  s.screen_state = -1;
  s.test_kind = test_kind;
  s.name = name;
  return s;
}

ScreenSetup ScreenSetup::Ready(int test_kind, int level, int left_total, int right_total) {
  ScreenSetup s;
  s.menu_level = 1;
  s.screen_state = 0;
  s.test_kind = test_kind;
  s.level = level;
  s.cycle = 1;
  s.left_hits_total = left_total;
  s.right_hits_total = right_total;
  return s;
}

ScreenSetup ScreenSetup::LevelDone(int test_kind, int level, int left_level, int right_level,
                                   int left_total, int right_total) {
  ScreenSetup s = Ready(test_kind, level, left_total, right_total);
  s.cycle = 11;
  s.left_hits_level = left_level;
  s.right_hits_level = right_level;
  return s;
}

Reference::Reference(const std::string& start_folder, int bits_per_pixel)
    : form_(std::make_unique<tavrik::Form1>()), bits_per_pixel_(bits_per_pixel) {
  try {
    tavrik::StartUp(*form_, start_folder, bits_per_pixel, tavrik::DisplayTarget::kOffscreen);
  } catch (const std::exception& e) {
    throw Failure(std::string("cannot start the reference form: ") + e.what());
  }
}

Reference::~Reference() = default;

Image Reference::Compose(const ScreenSetup& setup) {
  tavrik::SessionState& s = form_->s;
  tavrik::ResetSession(s);
  s.MenuLevel = static_cast<tavrik::Integer>(setup.menu_level);
  s.ScreenState = static_cast<tavrik::Integer>(setup.screen_state);
  s.TestKind = static_cast<tavrik::Integer>(setup.test_kind);
  s.Level = static_cast<tavrik::Integer>(setup.level);
  s.Cycle = static_cast<tavrik::Integer>(setup.cycle);
  s.LeftHitsLevel = static_cast<tavrik::Integer>(setup.left_hits_level);
  s.RightHitsLevel = static_cast<tavrik::Integer>(setup.right_hits_level);
  s.LeftHitsTotal = static_cast<tavrik::Integer>(setup.left_hits_total);
  s.RightHitsTotal = static_cast<tavrik::Integer>(setup.right_hits_total);
  s.Angle = setup.angle;
  s.FlashOn = static_cast<tavrik::Integer>(setup.flash_on);
  s.Direction = static_cast<tavrik::Integer>(setup.direction);
  s.LeftKeyHeld = static_cast<tavrik::Integer>(setup.left_held);
  s.RightKeyHeld = static_cast<tavrik::Integer>(setup.right_held);
  s.SubjectName = tavrik::Utf8ToCp1251(setup.name);
  s.MouseX = setup.mouse_x;
  s.MouseY = setup.mouse_y;
  for (int k = 0; k < 4; ++k) s.ButtonLit[k] = static_cast<tavrik::Integer>(setup.lit[k]);
  tavrik::ComposeFrame(*form_);

  const tavrik::DisplayDevice& d = form_->display;
  Image out(d.Width(), d.Height());
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) out.At(x, y) = d.PixelRgb(x, y);
  }
  return out;
}

}  // namespace e2e
