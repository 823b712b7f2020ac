// X11: a window manager announces itself on the root window (_NET_SUPPORTING_WM_CHECK). Other
// video drivers are taken to have one.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "display/window_manager.h"

namespace tavrik {

bool HasWindowManager(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
  Display* x = info.info.x11.display;
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

}  // namespace tavrik
