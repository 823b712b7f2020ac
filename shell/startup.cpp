// Start-up: the two folders, the session reset, the display, the sprite catalogue and the
// geometry that stays fixed for the life of the program.

#include <utility>

#include "engine/geometry.h"
#include "filenames/path_lookup.h"
#include "report/report.h"
#include "shell/form.h"

namespace tavrik {
namespace {

// One bitmap of the catalogue: its file, where it goes, its transparent colour, and how its
// measured height and width become the sizes the frames are cut by.
struct CatalogueRow {
  const char* file;
  SpriteSurface Form1::*sprite;
  std::uint32_t key;
  void (*store)(SessionState& s, Single height, Single width);
};

const CatalogueRow kCatalogue[] = {
    {"Курсор.bmp", &Form1::CursorSprite, kKeyBlack,
     [](SessionState& s, Single h, Single w) {
       s.CursorHeight = h;
       s.CursorWidth = w;
     }},
    {"Полоска.bmp", &Form1::StripSprite, kKeyWhite,
     [](SessionState& s, Single h, Single w) {
       s.StripHeight = h;
       s.StripWidth = w;
     }},
    {"Индикатор.bmp", &Form1::IndicatorSprite, kKeyBlack,
     [](SessionState& s, Single h, Single w) {
       s.IndicatorHeight = h;
       s.IndicatorCellWidth = w / 4;
     }},
    {"Шарик.bmp", &Form1::BallSprite, kKeyBlack,
     [](SessionState& s, Single h, Single w) {
       s.BallHeight = h;
       s.BallWidth = w;
     }},
    {"Кнопки.bmp", &Form1::ButtonsSprite, kKeyWhite,
     [](SessionState& s, Single h, Single w) {
       s.ButtonCellHeight = h / 3;
       s.ButtonCellWidth = w / 2;
     }},
    {"Рамка.bmp", &Form1::FrameSprite, kKeyBlack,
     [](SessionState& s, Single h, Single w) {
       s.FrameHeight = h;
       s.FrameCellWidth = w / 2;
     }},
    {"Текст.bmp", &Form1::TextSprite, kKeyBlack,
     [](SessionState& s, Single h, Single w) {
       s.TextHeight = h;
       s.TextWidth = w;
       s.TextCellHeight = s.TextHeight / 8;
       s.TextCellWidth = s.TextWidth / 6;
     }},
};

}  // namespace

void StartUp(Form1& f, const std::string& base_dir, int bits_per_pixel, DisplayTarget target) {
  SessionState& s = f.s;
  // A start at the root gives "/" already, and "//" between folder names is harmless.
  const std::string base = base_dir + "/";
  s.ReportDir = ResolveCaseInsensitive(base, "Отчет") + "/";
  s.GraphicsDir = ResolveCaseInsensitive(base, "Графика") + "/";
  s.services.WriteReport = [](SessionState& session) { WriteReport(session); };
  ResetSession(s);
  s.Running = -1;
  if (target == DisplayTarget::kScreen) {
    f.display.InitDisplay(800, 600, bits_per_pixel);
  } else {
    f.display.InitOffscreen(800, 600, bits_per_pixel);
  }
  for (const CatalogueRow& row : kCatalogue) {
    SpriteSurface sprite =
        f.display.LoadSurface(ResolveCaseInsensitive(s.GraphicsDir, row.file), row.key);
    row.store(s, static_cast<Single>(sprite.Height()), static_cast<Single>(sprite.Width()));
    f.*row.sprite = std::move(sprite);
  }
  s.services.ShowCursor(false);

  // Geometry fixed before the first frame.
  s.CenterX = static_cast<Single>(f.display.Width()) / 2;
  s.CenterY = static_cast<Single>(f.display.Height()) / 2;
  s.TrackRadius = s.CenterY / 1.5 - s.BallWidth / 2.0;
  // The desktop may report where the pointer rests before the first frame is drawn.
  PlaceMenuButtons(s);
}

}  // namespace tavrik
