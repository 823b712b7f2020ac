// One frame of the program: the whole screen composed afresh from the session record, in a fixed
// order (later items cover earlier ones), then one step of a running level. Where the stimulus and
// the frames stand is the engine's to say (engine/geometry.h); the composition asks just before it
// draws them, and only draws. The menu buttons' places are left behind for the mouse.
#include "shell/frame.h"

#include <cmath>
#include <string>

#include "codepage/cp1251.h"
#include "engine/geometry.h"
#include "engine/stimulus.h"
#include "engine/timing_record.h"
#include "shell/text.h"

namespace tavrik {
namespace {

// The screen's texts in the font's code page, converted once.
struct ScreenTexts {
  std::string done = Utf8ToCp1251("Готово!");
  std::string cycle = Utf8ToCp1251("Цикл:");
  std::string level = Utf8ToCp1251("Уровень ");
  std::string passed = Utf8ToCp1251(" пройден");
  std::string finished = Utf8ToCp1251("Проверка завершена");
  std::string press_to_start = Utf8ToCp1251("Для старта нажмите ПРОБЕЛ");
  std::string press = Utf8ToCp1251("Нажмите ПРОБЕЛ");
  std::string keys_hint = Utf8ToCp1251("Слева-Й         Справа-Ъ");
  std::string your_name = Utf8ToCp1251("Ваше имя?");
  std::string choose = Utf8ToCp1251("Выберите проверку");
  std::string quit_hint = Utf8ToCp1251("Выход из программы - Эскейп");
};

const ScreenTexts& Texts() {
  static const ScreenTexts texts;
  return texts;
}

void SetRect(Rect& r, double left, double top, double width, double height) {
  // Right and bottom are measured from the edges already rounded.
  r.Left = RoundToInt32(left);
  r.Top = RoundToInt32(top);
  r.Right = RoundToInt32(r.Left + width);
  r.Bottom = RoundToInt32(r.Top + height);
}

void Blit(Form1& f, double x, double y, const SpriteSurface& sprite) {
  f.display.BltFast(RoundToInt32(x), RoundToInt32(y), sprite);
}

// One hand's indicator at `x`, with its percentage at `text_x`: the hits as a share of all the
// trials of the test.
void DrawIndicator(Form1& f, Integer cell, Integer hits, double x, int text_x) {
  SessionState& s = f.s;
  Rect& r = f.display.SpriteRect;
  s.IndicatorCell = cell;
  const int total = s.CyclesPerLevel * s.LevelCount;
  const double fill_top = (total - hits) * (static_cast<double>(s.IndicatorHeight) / total);
  // The lower part of the fill cell, in proportion to the hits; the cover goes over it.
  r.Left = RoundToInt32((s.IndicatorCell + 1) * static_cast<double>(s.IndicatorCellWidth));
  r.Top = RoundToInt32(fill_top);
  r.Right = RoundToInt32(r.Left + static_cast<double>(s.IndicatorCellWidth));
  r.Bottom = RoundToInt32(s.IndicatorHeight);
  const bool shown = s.MenuLevel == kMenuLevelTest;
  if (shown) Blit(f, x, fill_top + 40, f.IndicatorSprite);
  SetRect(r, s.IndicatorCell * static_cast<double>(s.IndicatorCellWidth), 0, s.IndicatorCellWidth,
          s.IndicatorHeight);
  if (!shown) return;
  Blit(f, x, 40, f.IndicatorSprite);
  DrawText(f, SignPlace(static_cast<long>(std::floor(100 * (double(hits) / total)))), text_x, 50,
           0);
}

// Mouse positions arrive as reported, however far off the screen; this keeps the conversion to
// a whole number defined.
int FloorToInt(double value) {
  if (!(value > -1e9)) return -1000000000;
  if (value > 1e9) return 1000000000;
  return static_cast<int>(std::floor(value));
}

}  // namespace

void ComposeFrame(Form1& f) {
  SessionState& s = f.s;
  Rect& r = f.display.SpriteRect;
  const ScreenTexts& t = Texts();
  const bool test_shown = s.MenuLevel == kMenuLevelTest;

  f.display.ClearSurface();

  // Ball, at the stimulus of this frame.
  PlaceStimulus(s);
  SetRect(r, 0, 0, s.BallWidth, s.BallHeight);
  if (test_shown) {
    Blit(f, s.BallX, s.BallY, f.BallSprite);
    s.LevelFrameShown = 1;
  }

  if (s.ScreenState == kScreenWaiting && s.Cycle > s.CyclesPerLevel) {
    DrawText(f, t.done, 1, -280, 1);
  }
  if (s.ScreenState == kScreenRunning) DrawText(f, t.cycle + SignPlace(s.Cycle), 1, -280, 1);

  // Target frames, each in its pressed form while its hand's key is held.
  PlaceFrames(s);
  const double frame_top = FrameTop(s);
  SetRect(r, s.LeftKeyHeld * static_cast<double>(s.FrameCellWidth), 0, s.FrameCellWidth,
          s.FrameHeight);
  if (test_shown) Blit(f, s.LeftFrameX, frame_top, f.FrameSprite);
  SetRect(r, s.RightKeyHeld * static_cast<double>(s.FrameCellWidth), 0, s.FrameCellWidth,
          s.FrameHeight);
  if (test_shown) Blit(f, s.RightFrameX, frame_top, f.FrameSprite);

  // Strips, on every screen: four across the screen, two in the gap between the frames.
  SetRect(r, 0, 0, s.StripWidth, s.StripHeight);
  Blit(f, 0, frame_top - s.StripHeight, f.StripSprite);
  Blit(f, 0, frame_top - 2.0 * s.StripHeight, f.StripSprite);
  Blit(f, 0, frame_top + s.StripHeight, f.StripSprite);
  Blit(f, 0, frame_top + 2.0 * s.StripHeight, f.StripSprite);
  SetRect(r, 0, 0, s.RightFrameX - s.LeftFrameX - s.FrameCellWidth - 1, s.StripHeight);
  Blit(f, s.LeftFrameX + s.FrameCellWidth, frame_top, f.StripSprite);
  Blit(f, s.LeftFrameX + s.FrameCellWidth, s.CenterY + s.StripHeight, f.StripSprite);

  DrawIndicator(f, 0, s.LeftHitsTotal, 10, 25);
  DrawIndicator(f, 2, s.RightHitsTotal, 790 - static_cast<double>(s.IndicatorCellWidth), 695);

  // Hits of the level, per hand.
  if (s.ScreenState >= 0) {
    const std::string of = "-" + std::to_string(s.CyclesPerLevel);
    DrawText(f, SignPlace(s.LeftHitsLevel) + of, 10, RoundToInt32(2.0 * s.CenterY - 40), 0);
    DrawText(f, SignPlace(s.RightHitsLevel) + of, RoundToInt32(2.0 * s.CenterX - 140),
             RoundToInt32(2.0 * s.CenterY - 40), 0);
  }

  if (s.ScreenState == kScreenWaiting) {
    if (s.Cycle <= s.CyclesPerLevel) {
      DrawText(f, t.level + SignPlace(s.Level), 0, -150, 1);
    } else if (s.Level < s.LevelCount) {
      DrawText(f, t.level + SignPlace(s.Level) + t.passed, 0, -150, 1);
    } else {
      DrawText(f, t.finished, 0, -150, 1);
    }
    DrawText(f, s.Level < s.LevelCount ? t.press_to_start : t.press, 0, -100, 1);
    DrawText(f, t.keys_hint, 0, 120, 1);
  }
  if (s.ScreenState == kScreenRunning) DrawText(f, t.level + SignPlace(s.Level), 0, -150, 1);

  if (s.MenuLevel == kMenuLevelName) {
    DrawText(f, t.your_name, 0, -20, 1);
    DrawText(f, "(" + s.SubjectName + ")", 0, 20, 1);
  }

  if (s.MenuLevel == kMenuLevelMenu) {
    DrawText(f, t.choose, 0, -200, 1);
    PlaceMenuButtons(s);
    for (s.RowIndex = 0; s.RowIndex <= 2; ++s.RowIndex) {
      const int i = s.RowIndex;
      SetRect(r, s.ButtonLit[i + 1] * static_cast<double>(s.ButtonCellWidth),
              i * static_cast<double>(s.ButtonCellHeight), s.ButtonCellWidth, s.ButtonCellHeight);
      Blit(f, s.ButtonX[i + 1], s.ButtonY[i + 1], f.ButtonsSprite);
    }
    DrawText(f, t.quit_hint, 0, 220, 1);

    // The pointer: its top-left corner at the mouse, kept wholly on the screen.
    SetRect(r, 0, 0, s.CursorWidth, s.CursorHeight);
    s.PointerX = FloorToInt(s.MouseX);
    s.PointerY = FloorToInt(s.MouseY);
    if (s.PointerX < 0) s.PointerX = 0;
    if (s.PointerX > 800 - r.Right) s.PointerX = 800 - r.Right;
    if (s.PointerY < 0) s.PointerY = 0;
    if (s.PointerY > 600 - r.Bottom) s.PointerY = 600 - r.Bottom;
    Blit(f, s.PointerX, s.PointerY, f.CursorSprite);
  }

  AdvanceLevel(s);
}

static_assert(FramePacer::kFramePeriodNs == kNominalFramePeriodNs,
              "the timing record measures frames against the pacer's period");

FramePacing PacingOf(const FramePacer& pacer) {
  FramePacing p;
  switch (pacer.mode()) {
    case FramePacer::Mode::kProbing:
      p.kind = FramePacing::Kind::kMeasuring;
      break;
    case FramePacer::Mode::kVsync:
      p.kind = FramePacing::Kind::kVsync;
      break;
    case FramePacer::Mode::kTimer:
      p.kind = FramePacing::Kind::kTimer;
      break;
  }
  p.refreshes_per_frame = static_cast<std::int8_t>(pacer.presents_per_frame());
  p.display_hz = pacer.display_hz();
  return p;
}

void ShowFrame(Form1& f) {
  f.display.Flip();
  FrameShown(f.s, f.display.Pacer().released_ns(), PacingOf(f.display.Pacer()));
}

}  // namespace tavrik
