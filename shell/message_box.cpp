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

const char kRetryButton[] = "Повторить";
const char kSeparateButton[] = "Сохранить отдельно";

namespace {

// Shows the box with its buttons; the id of the one chosen, or -1.
int ShowBox(SDL_Window* parent, const std::string& message, const SDL_MessageBoxButtonData* buttons,
            int count) {
  const std::string text = WrapLines(message);
  SDL_MessageBoxData box{};
  box.flags = SDL_MESSAGEBOX_ERROR | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  box.window = parent;
  box.title = "Tavrik";
  box.message = text.c_str();
  box.numbuttons = count;
  box.buttons = buttons;
  // Without a window manager nobody hands the new box the keyboard.
  PrepareForDialog(parent);
  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) != 0) return -1;
  return pressed;
}

}  // namespace

void ShowMessageBox(SDL_Window* parent, const std::string& message) {
  SDL_MessageBoxButtonData ok{};
  ok.flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  ok.buttonid = 0;
  ok.text = "OK";
  ShowBox(parent, message, &ok, 1);
}

bool AskRetry(SDL_Window* parent, const std::string& message) {
  SDL_MessageBoxButtonData buttons[2]{};
  buttons[0].flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
  buttons[0].buttonid = 1;
  buttons[0].text = kRetryButton;
  buttons[1].flags = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  buttons[1].buttonid = 0;
  buttons[1].text = kSeparateButton;
  return ShowBox(parent, message, buttons, 2) == 1;
}

}  // namespace tavrik
