// Start-up: the two folders, the session reset, the display, the sprite catalogue and the
// geometry that stays fixed for the life of the program.
#pragma once

#include <string>

#include "shell/form.h"

namespace tavrik {

enum class DisplayTarget {
  kScreen,     // take the whole screen
  kOffscreen,  // back buffer only (tests, benchmarks)
};

// Start-up: folders under `base_dir` (the start folder, without a trailing separator), the
// session reset, the display at `bits_per_pixel`, the seven sprites measured and loaded, the
// system pointer hidden, and the geometry fixed before the first frame. Throws DisplayError
// naming the file and the cause when a bitmap is missing or broken.
void StartUp(Form1& f, const std::string& base_dir, int bits_per_pixel, DisplayTarget target);

}  // namespace tavrik
