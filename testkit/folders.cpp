// The temporary folders of folders.h.
#include "testkit/folders.h"

#include <unistd.h>

#include <atomic>
#include <random>
#include <system_error>

namespace tavrik::testkit {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  path_ = fs::temp_directory_path() / ("tavrik_test_" + std::to_string(::getpid()) + "_" +
                                       std::to_string(counter++) + "_" + std::to_string(rd()));
  fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);  // removes a link, never what it points to
}

StartFolder::StartFolder() {
  fs::create_directories(path() / fs::u8path("Отчет"));
}

fs::path StartFolder::graphics() const {
  return path() / fs::u8path("Графика");
}

StartFolder::StartFolder(const fs::path& shipped_graphics) : StartFolder() {
  fs::create_directory_symlink(shipped_graphics, graphics());
}

}  // namespace tavrik::testkit
