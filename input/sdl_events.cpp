// Translation of SDL's keyboard, text and mouse events into the form's handlers.
#include "input/sdl_events.h"

#include <SDL.h>

#include "codepage/cp1251.h"
#include "input/handlers.h"

namespace tavrik {
namespace {

int ShiftState(Uint16 mod) {
  return ((mod & KMOD_SHIFT) ? 1 : 0) | ((mod & KMOD_CTRL) ? 2 : 0) | ((mod & KMOD_ALT) ? 4 : 0);
}

int MouseButtonBit(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return 1;
    case SDL_BUTTON_RIGHT:
      return 2;
    case SDL_BUTTON_MIDDLE:
      return 4;
    default:
      return 0;
  }
}

}  // namespace

void DispatchEvent(SessionState& s, const SDL_Event& event) {
  switch (event.type) {
    case SDL_TEXTINPUT: {
      // One KeyPress per character, in the code page of the font and the reports; a character
      // the code page lacks arrives as "?", which no rule accepts.
      for (const char c : Utf8ToCp1251(event.text.text)) KeyPress(s, static_cast<unsigned char>(c));
      break;
    }
    case SDL_KEYDOWN: {
      KeyDown(s, static_cast<int>(event.key.keysym.sym), ShiftState(event.key.keysym.mod));
      switch (event.key.keysym.sym) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
          KeyPress(s, kCodeEnter);
          break;
        case SDLK_ESCAPE:
          KeyPress(s, kCodeEsc);
          break;
        case SDLK_BACKSPACE:
          KeyPress(s, kCodeBackspace);
          break;
        default:
          break;
      }
      break;
    }
    case SDL_KEYUP: {
      // A key without a symbol still went up; its scan code keeps the code non-zero.
      int code = static_cast<int>(event.key.keysym.sym);
      if (code == 0) code = static_cast<int>(event.key.keysym.scancode) | 0x40000000;
      KeyUp(s, code, ShiftState(event.key.keysym.mod));
      break;
    }
    case SDL_MOUSEMOTION:
      MouseMove(s, static_cast<int>(event.motion.state & 7), ShiftState(SDL_GetModState()),
                static_cast<Single>(event.motion.x), static_cast<Single>(event.motion.y));
      break;
    case SDL_MOUSEBUTTONDOWN:
      MouseDown(s, MouseButtonBit(event.button.button), ShiftState(SDL_GetModState()),
                static_cast<Single>(event.button.x), static_cast<Single>(event.button.y));
      break;
    case SDL_QUIT:
      CloseRequested(s);
      break;
    default:
      break;
  }
}

void DoEvents(SessionState& s) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) DispatchEvent(s, event);
}

}  // namespace tavrik
