// X11: a window manager announces itself on the root window (_NET_SUPPORTING_WM_CHECK). Other
// video drivers are taken to have one.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "display/window_manager.h"

namespace tavrik {
namespace {

bool WindowManagerAnnounced(Display* x) {
  const Atom check = XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(x, DefaultRootWindow(x), check, 0, 1, False, XA_WINDOW,
                                        &type, &format, &count, &after, &data);
  const bool announced = status == Success && type == XA_WINDOW && count == 1;
  if (data) XFree(data);
  return announced;
}

bool NamesUtf8(const char* value) {
  if (!value) return false;
  std::string name(value);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name.find("utf-8") != std::string::npos || name.find("utf8") != std::string::npos;
}

// The locale setlocale(LC_ALL, "") would choose is a UTF-8 one.
bool UsesUtf8Locale() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return NamesUtf8(value);
  }
  return false;
}

}  // namespace

bool HasWindowManager(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
  return WindowManagerAnnounced(info.info.x11.display);
}

void PrepareForDialog(SDL_Window* parent) {
  // A connection of our own: the window may be gone already, and SDL's message box opens its own.
  Display* x = XOpenDisplay(nullptr);
  if (!x) return;
  if (!WindowManagerAnnounced(x)) {
    int left = 0, top = 0;
    int width = DisplayWidth(x, DefaultScreen(x));
    int height = DisplayHeight(x, DefaultScreen(x));
    if (parent) {
      SDL_GetWindowPosition(parent, &left, &top);
      SDL_GetWindowSize(parent, &width, &height);
    }
    XWarpPointer(x, None, DefaultRootWindow(x), 0, 0, 0, 0, left + width / 2, top + height / 3);
    XSetInputFocus(x, PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(x, False);
  }
  XCloseDisplay(x);
}

void UseUtf8LocaleForDialogs() {
  // SDL draws a box's text in the fonts of the locale setlocale(LC_ALL, "") chooses.
  if (!UsesUtf8Locale()) setenv("LC_ALL", "C.UTF-8", 1);
}

}  // namespace tavrik
