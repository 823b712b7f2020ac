// Start-up: the two folders, the session reset, the display, the sprite catalogue and the
// geometry that stays fixed for the life of the program.

#include <utility>

#include "engine/geometry.h"
#include "filenames/path_lookup.h"
#include "report/report.h"
#include "shell/sprite_catalogue.h"
#include "shell/startup.h"

namespace tavrik {

void StartUp(Form1& f, const std::string& base_dir, int bits_per_pixel, DisplayTarget target) {
  SessionState& s = f.s;
  // A start at the root gives "/" already, and "//" between folder names is harmless.
  const std::string base = base_dir + "/";
  s.ReportDir = ResolveCaseInsensitive(base, "Отчет") + "/";
  s.GraphicsDir = ResolveCaseInsensitive(base, "Графика") + "/";
  s.services.WriteReport = [](SessionState& session) { WriteReport(session); };
  ResetSession(s);
  s.Running = -1;
  s.BitsPerPixel = static_cast<Integer>(bits_per_pixel);
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
  PlaceTrack(s);
  // The desktop may report where the pointer rests before the first frame is drawn.
  PlaceMenuButtons(s);
}

}  // namespace tavrik
