// Start-up: the folders, the measured sizes with their fractions, file names in any case, and the
// clear end of start-up when a bitmap is missing or broken.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "input/handlers.h"
#include "shell/frame.h"
#include "shell_fixture.h"

namespace tavrik {
namespace {

namespace fs = std::filesystem;
using namespace testing;

TEST_F(FormTest, StartUpMeasuresEverySpriteAndResetsTheSession) {
  FixtureSizes sizes;
  sizes.indicator_w = 45;  // not a multiple of four: 11.25
  sizes.buttons_w = 41;
  sizes.buttons_h = 31;
  sizes.text_w = 61;
  sizes.text_h = 65;
  StartForm(16, sizes);
  const SessionState& s = form.s;
  EXPECT_EQ(s.GraphicsDir, folder.path().u8string() + "/Графика/");
  EXPECT_EQ(s.ReportDir, folder.path().u8string() + "/Отчет/");
  EXPECT_EQ(s.Running, -1);
  EXPECT_EQ(s.MenuLevel, kMenuLevelMenu);
  EXPECT_EQ(s.ScreenState, kScreenMenu);
  EXPECT_EQ(s.LevelCount, 4);
  EXPECT_EQ(s.CyclesPerLevel, 10);
  EXPECT_EQ(s.FlashesPerLevel, 20);
  EXPECT_EQ(s.LeftResults[4][10], "0 ");
  EXPECT_EQ(s.LeftResults[0][0], "") << "row 0 and column 0 are never written";
  EXPECT_FLOAT_EQ(s.IndicatorCellWidth, 11.25f);
  EXPECT_FLOAT_EQ(s.IndicatorHeight, 40);
  EXPECT_FLOAT_EQ(s.ButtonCellWidth, 20.5f);
  EXPECT_FLOAT_EQ(s.ButtonCellHeight, 31.0f / 3.0f);
  EXPECT_FLOAT_EQ(s.TextCellWidth, 61.0f / 6.0f);
  EXPECT_FLOAT_EQ(s.TextCellHeight, 65.0f / 8.0f);
  EXPECT_FLOAT_EQ(s.FrameCellWidth, 12);
  EXPECT_FLOAT_EQ(s.CenterX, 400);
  EXPECT_FLOAT_EQ(s.CenterY, 300);
  EXPECT_DOUBLE_EQ(s.TrackRadius, 195);
  EXPECT_EQ(form.display.BitsPerPixel(), 16);
}

// The desktop reports where the pointer rests before the first menu frame is drawn: the buttons
// must stand where that frame will show them already, or a corner lights all three and a click
// there chooses a test.
TEST_F(FormTest, APointerBeforeTheFirstFrameMeetsTheButtonsOfThatFrame) {
  StartForm(32, FixtureSizes{});
  SessionState& s = form.s;
  const Single over_second_x = 400, over_second_y = 200 + 1.5f * s.ButtonCellHeight + 10;
  struct Case {
    const char* what;
    Single x, y;
    std::array<Integer, 4> lit;
  } cases[] = {
      {"the top-left corner", 5, 5, {0, 0, 0, 0}},
      {"over the second button", over_second_x, over_second_y, {0, 0, 1, 0}},
  };
  for (const Case& c : cases) {
    MouseMove(s, 0, 0, c.x, c.y);
    EXPECT_EQ(s.ButtonLit, c.lit) << c.what << ", before the first frame";
    ComposeFrame(form);
    EXPECT_EQ(s.ButtonLit, c.lit) << c.what << ", in the first frame";
  }
  MouseDown(s, 1, 0, 5, 5);
  EXPECT_EQ(s.MenuLevel, kMenuLevelMenu) << "a click in the corner chooses nothing";
  EXPECT_EQ(s.TestKind, 0);
}

TEST(StartUp, FindsFoldersAndFilesWhateverTheirCase) {
  StartFolder folder;
  const fs::path graphics = folder.path() / fs::u8path("ГРАФИКА");
  WriteFixtureGraphics(graphics);
  fs::rename(graphics / fs::u8path("Шарик.bmp"), graphics / fs::u8path("шАРИК.BMP"));
  Form1 form;
  StartUp(form, folder.path().u8string(), 32, DisplayTarget::kOffscreen);
  const std::string on_disk = folder.path().u8string() + "/ГРАФИКА/";
  if (fs::exists(folder.path() / fs::u8path("графика"))) {
    // The file system ignores case (Windows): the name as asked names the same folder.
    const std::string as_asked = folder.path().u8string() + "/Графика/";
    EXPECT_TRUE(form.s.GraphicsDir == on_disk || form.s.GraphicsDir == as_asked)
        << form.s.GraphicsDir;
  } else {
    EXPECT_EQ(form.s.GraphicsDir, on_disk);
  }
  EXPECT_FLOAT_EQ(form.s.BallWidth, 10);
}

TEST(StartUp, AMissingOrBrokenBitmapEndsStartUpNamingTheFile) {
  struct Case {
    const char* what;
    std::function<void(const fs::path& graphics)> damage;
    const char* file;
  } cases[] = {
      {"no graphics folder", [](const fs::path& g) { fs::remove_all(g); }, "Курсор.bmp"},
      {"missing ball", [](const fs::path& g) { fs::remove(g / fs::u8path("Шарик.bmp")); },
       "Шарик.bmp"},
      {"text file as the font",
       [](const fs::path& g) { std::ofstream(g / fs::u8path("Текст.bmp")) << "hello"; },
       "Текст.bmp"},
      {"frame cut short",
       [](const fs::path& g) { fs::resize_file(g / fs::u8path("Рамка.bmp"), 80); }, "Рамка.bmp"},
      {"zero by zero strip",
       [](const fs::path& g) {
         WriteBmp24(g / fs::u8path("Полоска.bmp"), 0, 0, [](int, int) { return 0u; });
       },
       "Полоска.bmp"},
  };
  for (const Case& c : cases) {
    StartFolder folder;
    WriteFixtureGraphics(folder.graphics());
    c.damage(folder.graphics());
    Form1 form;
    try {
      StartUp(form, folder.path().u8string(), 32, DisplayTarget::kOffscreen);
      ADD_FAILURE() << c.what << ": start-up went on";
    } catch (const DisplayError& e) {
      EXPECT_NE(std::string(e.what()).find(c.file), std::string::npos)
          << c.what << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace tavrik
