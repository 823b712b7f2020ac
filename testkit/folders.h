// Temporary folders for tests, benchmarks and the graphics generator: a fresh empty one, and a
// start folder laid out as the program's beside its executable (an empty "Отчет", "Графика" left
// to the caller: filled with bitmaps of its own or linked to the shipped ones). Both are removed
// with everything in them when they go out of scope.
#pragma once

#include <filesystem>
#include <string>

namespace tavrik::testkit {

// A fresh, empty folder under the system's temporary folder, named so that no other test,
// process or earlier run shares it.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder as the program writes folders: UTF-8, ending in '/'.
  std::string str() const { return path_.u8string() + "/"; }

 private:
  std::filesystem::path path_;
};

// A scratch folder with the report folder "Отчет" in it, as the program finds beside itself.
class StartFolder {
 public:
  StartFolder();
  // With "Графика" a link to `shipped_graphics` (the program's own bitmaps), which the folder's
  // removal leaves alone.
  explicit StartFolder(const std::filesystem::path& shipped_graphics);

  const std::filesystem::path& path() const { return dir_.path(); }
  // "Графика": the caller's to make unless it is linked.
  std::filesystem::path graphics() const;

 private:
  ScratchDir dir_;
};

}  // namespace tavrik::testkit
