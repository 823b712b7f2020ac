// Messages for the examiner in a box on the screen the program took, which may be only 800 pixels
// wide: long lines are wrapped to fit, and Enter or Esc answers the box even on an X server
// without a window manager (the box is given the keyboard).
#pragma once

#include <cstddef>
#include <string>

struct SDL_Window;

namespace tavrik {

// A line of a message box that fits an 800-pixel screen in the system's dialog font.
constexpr std::size_t kMessageColumns = 80;

// `utf8` with every line longer than `columns` characters broken before a word (after a blank or
// a '/', so that paths break between folders); a word longer than a line is cut. Lines that fit,
// and the blank runs inside them, are left exactly as they are, so a report block stays readable.
std::string WrapLines(const std::string& utf8, std::size_t columns = kMessageColumns);

// Shows `message` (UTF-8) in a modal error box over `parent` (may be null) and returns when the
// examiner has closed it (OK, Enter or Esc).
void ShowMessageBox(SDL_Window* parent, const std::string& message);

// The button texts of the question about files that could not be written.
extern const char kRetryButton[];     // "Повторить", on Return
extern const char kSeparateButton[];  // "Сохранить отдельно", on Esc

// Asks the examiner about files that could not be written: true for «Повторить» (Return), false
// for «Сохранить отдельно» (Esc, closing the box, or a box that cannot be shown: saving apart
// always ends, where trying again might not).
bool AskRetry(SDL_Window* parent, const std::string& message);

}  // namespace tavrik
