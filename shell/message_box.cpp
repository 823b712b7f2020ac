// The examiner's message box.
#include "shell/message_box.h"

#include <SDL.h>

#include "display/window_manager.h"

namespace tavrik {
namespace {

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// One line (no '\n') broken into pieces of at most `columns` characters; a line that fits is
// appended as it is.
void WrapLine(const std::string& line, std::size_t columns, std::string& out) {
  std::size_t start = 0;  // byte where the current piece begins
  while (true) {
    // Walk `columns` characters on; remember the last place a break may follow.
    std::size_t pos = start, chars = 0, last_break = std::string::npos;
    while (pos < line.size() && chars < columns) {
      const char c = line[pos];
      ++pos;
      while (pos < line.size() && IsContinuationByte(line[pos])) ++pos;
      ++chars;
      if (c == ' ' || c == '/') last_break = pos;
    }
    if (pos >= line.size()) {
      out.append(line, start, std::string::npos);
      return;
    }
    // A blank right after the piece is a break too.
    if (line[pos] == ' ') last_break = pos + 1;
    const std::size_t end =
        last_break != std::string::npos && last_break > start ? last_break : pos;
    std::size_t piece_end = end;
    while (piece_end > start && line[piece_end - 1] == ' ') --piece_end;  // no trailing blanks
    out.append(line, start, piece_end - start);
    out += '\n';
    start = end;
    while (start < line.size() && line[start] == ' ') ++start;  // nor leading ones
    if (start >= line.size()) return;
  }
}

}  // namespace

std::string WrapLines(const std::string& utf8, std::size_t columns) {
  if (columns == 0) return utf8;
  std::string out;
  std::size_t start = 0;
  while (true) {
    const std::size_t newline = utf8.find('\n', start);
    WrapLine(utf8.substr(start, newline - start), columns, out);
    if (newline == std::string::npos) return out;
    out += '\n';
    start = newline + 1;
  }
}

void ShowMessageBox(SDL_Window* parent, const std::string& message) {
  const std::string text = WrapLines(message);
  SDL_MessageBoxButtonData ok{};
  ok.flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  ok.buttonid = 0;
  ok.text = "OK";
  SDL_MessageBoxData box{};
  box.flags = SDL_MESSAGEBOX_ERROR;
  box.window = parent;
  box.title = "Tavrik";
  box.message = text.c_str();
  box.numbuttons = 1;
  box.buttons = &ok;
  // Without a window manager nobody hands the new box the keyboard.
  PrepareForDialog(parent);
  int pressed = -1;
  SDL_ShowMessageBox(&box, &pressed);
}

}  // namespace tavrik
