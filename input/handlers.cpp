// Keyboard and mouse handlers.
#include "input/handlers.h"

#include "engine/level.h"
#include "engine/response.h"
#include "engine/timing_record.h"
#include "input/hand_keys.h"

namespace tavrik {
namespace {

bool IsBlankName(const std::string& name) {
  return name.find_first_not_of(' ') == std::string::npos;
}

bool InsideButton(const SessionState& s, int k, Single x, Single y) {
  // Strict on all four sides: a point on a button's edge is outside it.
  return s.ButtonX[k] < x && x < s.ButtonX[k] + s.ButtonCellWidth && s.ButtonY[k] < y &&
         y < s.ButtonY[k] + s.ButtonCellHeight;
}

}  // namespace

void KeyDown(SessionState&, int, int) {}

void KeyPress(SessionState& s, int code) {
  // Command keys.
  if (code == kCodeEnter) {
    if (s.ScreenState == kScreenNameEntry && s.Level == 0 && !IsBlankName(s.SubjectName)) {
      s.MenuLevel = kMenuLevelTest;
      s.ScreenState = kScreenWaiting;
      StartLevel(s);
    }
  } else if (code == kCodeEsc) {
    if (s.MenuLevel == kMenuLevelMenu) {
      s.Running = 0;
      s.services.ShowCursor(true);
    }
    if (s.MenuLevel > kMenuLevelMenu) ResetSession(s);
  } else if (code == kCodeSpace) {
    if (s.ScreenState == kScreenWaiting && s.Cycle < s.CyclesPerLevel) {
      s.ScreenState = kScreenRunning;
    }
    if (s.ScreenState == kScreenWaiting && s.Cycle > s.CyclesPerLevel) {
      StartLevel(s);
      // After the last level the report is written and the menu is back: nothing to run.
      if (s.ScreenState != kScreenNameEntry && s.ScreenState != kScreenMenu) {
        s.ScreenState = kScreenRunning;
      }
    }
  }

  // Name editing.
  if (s.ScreenState == kScreenNameEntry && code != kCodeEsc) {
    if (code == kCodeSpace || (code >= 192 && code <= 255)) {
      s.SubjectName += static_cast<char>(code);
    } else if (code == kCodeBackspace && !s.SubjectName.empty()) {
      s.SubjectName.pop_back();
    }
  }

  // Hand keys: the held flag shows the frame pressed whatever the scoring decides.
  if (s.ScreenState >= 0) {
    if (IsHandCode(kLeftHandKey, code)) {
      s.LeftKeyHeld = 1;
      RecordPress(s, kHandLeft, RespondLeft(s));
    } else if (IsHandCode(kRightHandKey, code)) {
      s.RightKeyHeld = 1;
      RecordPress(s, kHandRight, RespondRight(s));
    }
  }
}

void KeyUp(SessionState& s, int key_code, int) {
  if (key_code == 0) return;
  s.LeftKeyHeld = 0;
  s.RightKeyHeld = 0;
}

void CloseRequested(SessionState& s) {
  if (ShownScreen(s) == Screen::kTestDone) KeyPress(s, kCodeSpace);
  s.Running = 0;
  s.services.ShowCursor(true);
}

void MouseDown(SessionState& s, int, int, Single x, Single y) {
  // Only the menu chooses: the buttons' places are remembered after the menu is gone, and a
  // stray click there during a test must not throw the subject out of it.
  if (s.MenuLevel != kMenuLevelMenu) return;
  static constexpr Integer kTestOfButton[4] = {0, kTestLinear, kTestCircular, kTestFlash};
  for (int k = 1; k <= 3; ++k) {
    if (InsideButton(s, k, x, y)) {
      s.TestKind = kTestOfButton[k];
      s.ScreenState = kScreenNameEntry;
      s.MenuLevel = kMenuLevelName;
    }
  }
}

void MouseMove(SessionState& s, int, int, Single x, Single y) {
  s.MouseX = x;
  s.MouseY = y;
  for (int k = 1; k <= 3; ++k) s.ButtonLit[k] = InsideButton(s, k, x, y) ? 1 : 0;
}

}  // namespace tavrik
