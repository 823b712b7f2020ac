// Case-insensitive lookup of the program's file and folder names.
#include "filenames/path_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tavrik {
namespace {

namespace fs = std::filesystem;

TEST(PathLookup, FoldsLatinAndCyrillic) {
  EXPECT_EQ(FoldCase("Курсор.Bmp"), FoldCase("курсор.bmp"));
  EXPECT_EQ(FoldCase("ГРАФИКА"), "графика");
  EXPECT_EQ(FoldCase("ЁЖ"), "ёж");
  EXPECT_EQ(FoldCase("日本.BMP"), "日本.bmp");
}

TEST(PathLookup, FindsAFileWhateverItsCase) {
  const fs::path dir = fs::temp_directory_path() / "tavrik_path_lookup";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / fs::u8path("КУРСОР.bmp")) << "x";
  const std::string base = dir.u8string() + "/";
  const std::string found = ResolveCaseInsensitive(base, "Курсор.Bmp");
  EXPECT_TRUE(fs::equivalent(fs::u8path(found), dir / fs::u8path("КУРСОР.bmp"))) << found;
  // Where the file system tells cases apart the name must come back as it is on disk; where it
  // does not (Windows) the name as asked opens the same file.
  if (!fs::exists(dir / fs::u8path("курсор.BMP"))) {
    EXPECT_EQ(found, base + "КУРСОР.bmp");
  }
  EXPECT_EQ(ResolveCaseInsensitive(base, "Шарик.bmp"), base + "Шарик.bmp");  // absent: as asked
  EXPECT_EQ(ResolveCaseInsensitive(base + "nowhere/", "a"), base + "nowhere/a");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tavrik
