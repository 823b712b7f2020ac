// Translation of SDL's keyboard, text and mouse events into the form's handlers.
#include "input_sdl/sdl_events.h"

#include <SDL.h>

#include <utility>

#include "codepage/cp1251.h"
#include "input/hand_keys.h"
#include "input/handlers.h"

namespace tavrik {
namespace {

static_assert(kLeftHandKey.scancode == SDL_SCANCODE_Q, "the left-hand key is the Q key");
static_assert(kRightHandKey.scancode == SDL_SCANCODE_RIGHTBRACKET, "the right-hand key is ]");

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

// The code a key going down hands to KeyPress, 0 for a key without one. The hand keys go by
// their place on the keyboard; the command keys by what they are, so that a key the desktop
// turned into Esc (Caps Lock, for some) acts as Esc.
int CodeOfKey(const SDL_Keysym& key) {
  if (key.scancode == kLeftHandKey.scancode) return kLeftHandKey.code;
  if (key.scancode == kRightHandKey.scancode) return kRightHandKey.code;
  switch (key.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return kCodeEnter;
    case SDLK_ESCAPE:
      return kCodeEsc;
    case SDLK_BACKSPACE:
      return kCodeBackspace;
    case SDLK_SPACE:
      return kCodeSpace;
    default:
      return 0;
  }
}

}  // namespace

EventPump::EventPump(PressStamps::Clock clock) : stamps_(std::move(clock)) {
  SDL_AddEventWatch(&EventPump::Watch, this);
}

EventPump::~EventPump() {
  SDL_DelEventWatch(&EventPump::Watch, this);
}

int EventPump::Watch(void* self, SDL_Event* event) {
  if (event->type == SDL_KEYDOWN) {
    static_cast<EventPump*>(self)->stamps_.Record(event->key.timestamp,
                                                  static_cast<int>(event->key.keysym.scancode));
  }
  return 0;
}

void EventPump::Dispatch(SessionState& s, const SDL_Event& event) {
  switch (event.type) {
    case SDL_TEXTINPUT: {
      if (s.ScreenState != kScreenNameEntry) break;
      s.KeyDownNs = -1;
      s.KeyRepeat = 0;
      // One KeyPress per character, in the code page of the font and the reports; a character
      // the code page lacks arrives as "?", which no rule accepts.
      for (const char c : Utf8ToCp1251(event.text.text)) KeyPress(s, static_cast<unsigned char>(c));
      break;
    }
    case SDL_KEYDOWN: {
      const SDL_Keysym& key = event.key.keysym;
      s.KeyDownNs = stamps_.Take(event.key.timestamp, static_cast<int>(key.scancode));
      s.KeyRepeat = event.key.repeat ? 1 : 0;
      KeyDown(s, static_cast<int>(key.sym), ShiftState(key.mod));
      const int code = CodeOfKey(key);
      if (code == 0) break;
      const bool hand = code == kLeftHandKey.code || code == kRightHandKey.code;
      // These keys type a character, which the name screen takes from the text that follows.
      if ((hand || code == kCodeSpace) && s.ScreenState == kScreenNameEntry &&
          SDL_IsTextInputActive()) {
        break;
      }
      if (hand && trace_) {
        std::fprintf(trace_,
                     "press: %s hand, scan code %d, repeat %d, down at %lld ns, frame shown at "
                     "%lld ns\n",
                     code == kLeftHandKey.code ? "left" : "right", static_cast<int>(key.scancode),
                     static_cast<int>(event.key.repeat), static_cast<long long>(s.KeyDownNs),
                     static_cast<long long>(s.FrameShownNs));
        std::fflush(trace_);
      }
      KeyPress(s, code);
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

void EventPump::DoEvents(SessionState& s) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) Dispatch(s, event);
  const bool wanted = s.ScreenState == kScreenNameEntry;
  if (wanted != (SDL_IsTextInputActive() == SDL_TRUE)) {
    if (wanted) {
      SDL_StartTextInput();
    } else {
      SDL_StopTextInput();
    }
  }
}

}  // namespace tavrik
