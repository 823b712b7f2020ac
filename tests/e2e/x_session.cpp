// The X connection of the tests: screen reading and XTest input.
#include "x_session.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "display/frame_pacer.h"
#include "failure.h"

namespace e2e {

namespace {

bool g_x_error = false;

int NoteError(Display*, XErrorEvent*) {
  g_x_error = true;
  return 0;
}

}  // namespace

// One shared-memory image per region size; the watcher reads the same few regions again and
// again.
struct XSession::ShmSegment {
  XImage* image = nullptr;
  XShmSegmentInfo info{};
};

struct XSession::Shm {
  std::map<std::pair<int, int>, std::unique_ptr<ShmSegment>> segments;
  bool usable = true;
};

XSession::XSession() {
  const char* name = std::getenv("DISPLAY");
  display_ = XOpenDisplay(name);
  if (!display_) throw Failure(std::string("cannot open X display ") + (name ? name : "(unset)"));
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display_, &event_base, &error_base, &major, &minor)) {
    throw Failure("the X server has no XTest extension");
  }
  const int screen = DefaultScreen(display_);
  width_ = DisplayWidth(display_, screen);
  height_ = DisplayHeight(display_, screen);
  Visual* visual = DefaultVisual(display_, screen);
  if (DefaultDepth(display_, screen) != 24 || visual->red_mask != 0xFF0000 ||
      visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
    throw Failure("the tests need a 24-bit true-colour X screen (Xvfb -screen 0 WxHx24)");
  }
  shm_ = new Shm;
  shm_->usable = XShmQueryExtension(display_);
}

XSession::~XSession() {
  if (shm_) {
    for (auto& [size, segment] : shm_->segments) {
      XShmDetach(display_, &segment->info);
      XDestroyImage(segment->image);
      shmdt(segment->info.shmaddr);
    }
    delete shm_;
  }
  if (display_) XCloseDisplay(display_);
}

bool XSession::AttachSegment(ShmSegment& segment, int width, int height) {
  const int screen = DefaultScreen(display_);
  segment.image =
      XShmCreateImage(display_, DefaultVisual(display_, screen), 24, ZPixmap, nullptr,
                      &segment.info, static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (!segment.image) return false;
  segment.info.shmid =
      shmget(IPC_PRIVATE, static_cast<std::size_t>(segment.image->bytes_per_line) * height,
             IPC_CREAT | 0600);
  if (segment.info.shmid < 0) {
    XDestroyImage(segment.image);
    return false;
  }
  segment.info.shmaddr = segment.image->data =
      static_cast<char*>(shmat(segment.info.shmid, nullptr, 0));
  segment.info.readOnly = False;
  g_x_error = false;
  auto previous = XSetErrorHandler(NoteError);
  XShmAttach(display_, &segment.info);
  XSync(display_, False);
  XSetErrorHandler(previous);
  // Marked for removal at once: it goes away with the last process that has it attached.
  shmctl(segment.info.shmid, IPC_RMID, nullptr);
  if (g_x_error) {
    shmdt(segment.info.shmaddr);
    segment.image->data = nullptr;
    XDestroyImage(segment.image);
    return false;
  }
  return true;
}

Image XSession::Grab(const Box& box) {
  const Window root = DefaultRootWindow(display_);
  XImage* image = nullptr;
  bool shared = false;
  if (shm_->usable) {
    auto it = shm_->segments.find({box.w, box.h});
    if (it == shm_->segments.end()) {
      // The image keeps a pointer to its segment info, so the info is built where it stays.
      auto segment = std::make_unique<ShmSegment>();
      if (AttachSegment(*segment, box.w, box.h)) {
        it = shm_->segments.emplace(std::make_pair(box.w, box.h), std::move(segment)).first;
      } else {
        // A server in another IPC namespace cannot see our segment: read the plain way.
        shm_->usable = false;
      }
    }
    if (shm_->usable) {
      image = it->second->image;
      shared = XShmGetImage(display_, root, image, box.x, box.y, AllPlanes) != 0;
      if (!shared) image = nullptr;
    }
  }
  if (!image) {
    image = XGetImage(display_, root, box.x, box.y, static_cast<unsigned>(box.w),
                      static_cast<unsigned>(box.h), AllPlanes, ZPixmap);
    if (!image) throw Failure("cannot read the screen at " + box.Str());
  }
  Image out(box.w, box.h);
  for (int y = 0; y < box.h; ++y) {
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(image->data + y * image->bytes_per_line);
    for (int x = 0; x < box.w; ++x) out.At(x, y) = row[x] & 0xFFFFFFu;
  }
  if (!shared) XDestroyImage(image);
  return out;
}

int XSession::Keycode(const std::string& keysym) {
  const KeySym sym = XStringToKeysym(keysym.c_str());
  const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display_, sym);
  if (code == 0) throw Failure("the X keyboard has no key for " + keysym);
  return code;
}

void XSession::Flush() {
  XFlush(display_);
}

void XSession::KeyDown(const std::string& keysym) {
  XTestFakeKeyEvent(display_, static_cast<unsigned>(Keycode(keysym)), True, CurrentTime);
  Flush();
}

void XSession::KeyUp(const std::string& keysym) {
  XTestFakeKeyEvent(display_, static_cast<unsigned>(Keycode(keysym)), False, CurrentTime);
  Flush();
}

void XSession::Tap(const std::string& keysym) {
  const unsigned code = static_cast<unsigned>(Keycode(keysym));
  XTestFakeKeyEvent(display_, code, True, CurrentTime);
  XTestFakeKeyEvent(display_, code, False, CurrentTime);
  Flush();
}

namespace {

// WM_NAME as its bytes, whatever its encoding says (SDL writes UTF8_STRING, which XFetchName
// does not read).
std::string WindowTitle(Display* display, Window window) {
  XTextProperty property{};
  if (!XGetWMName(display, window, &property) || !property.value) return "";
  std::string title(reinterpret_cast<const char*>(property.value), property.nitems);
  XFree(property.value);
  return title;
}

// Windows listed by XQueryTree may be gone by the time they are asked about (a message box
// closing, a program ending): while one of these lives, X errors are noted, not fatal, and the
// window's answers are taken as empty.
class XErrorsTolerated {
 public:
  explicit XErrorsTolerated(Display* display) : display_(display) {
    XSync(display_, False);
    previous_ = XSetErrorHandler(NoteError);
  }
  ~XErrorsTolerated() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
  }
  XErrorsTolerated(const XErrorsTolerated&) = delete;
  XErrorsTolerated& operator=(const XErrorsTolerated&) = delete;

 private:
  Display* display_;
  int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

}  // namespace

int XSession::CloseWindows(const std::string& title) {
  const Atom protocols = XInternAtom(display_, "WM_PROTOCOLS", False);
  const Atom delete_window = XInternAtom(display_, "WM_DELETE_WINDOW", False);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  int asked = 0;
  XErrorsTolerated tolerated(display_);
  if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
    return 0;
  }
  for (unsigned int i = 0; i < count; ++i) {
    if (WindowTitle(display_, children[i]) != title) continue;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = children[i];
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(delete_window);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, children[i], False, NoEventMask, &event);
    ++asked;
  }
  if (children) XFree(children);
  Flush();
  return asked;
}

bool XSession::WindowShown(const std::string& title) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  XErrorsTolerated tolerated(display_);
  if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
    return false;
  }
  bool shown = false;
  for (unsigned int i = 0; i < count && !shown; ++i) {
    XWindowAttributes attributes{};
    shown = WindowTitle(display_, children[i]) == title &&
            XGetWindowAttributes(display_, children[i], &attributes) &&
            attributes.map_state == IsViewable;
  }
  if (children) XFree(children);
  return shown;
}

std::vector<Box> XSession::DialogBoxes(const std::string& title) {
  std::vector<Box> boxes;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  XErrorsTolerated tolerated(display_);
  if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
    return boxes;
  }
  for (unsigned int i = 0; i < count; ++i) {
    XWindowAttributes attributes{};
    if (WindowTitle(display_, children[i]) != title ||
        !XGetWindowAttributes(display_, children[i], &attributes) ||
        attributes.map_state != IsViewable) {
      continue;
    }
    XClassHint hint{};
    if (XGetClassHint(display_, children[i], &hint)) {
      // Under Wine every window of a program has the program's class ("tavrik2.exe"): there
      // the box is the one that does not cover the screen.
      const std::string name = hint.res_name ? hint.res_name : "";
      if (hint.res_name) XFree(hint.res_name);
      if (hint.res_class) XFree(hint.res_class);
      const bool wine = name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0;
      if (!wine || (attributes.width >= width_ && attributes.height >= height_)) continue;
    }
    boxes.push_back(Box{attributes.x, attributes.y, attributes.width, attributes.height});
  }
  if (children) XFree(children);
  return boxes;
}

int XSession::PhysicalKey(const std::string& iso_position) {
  const std::string name = "A" + iso_position;
  XkbDescPtr xkb = XkbGetMap(display_, 0, XkbUseCoreKbd);
  if (!xkb || XkbGetNames(display_, XkbKeyNamesMask, xkb) != Success || !xkb->names) {
    if (xkb) XkbFreeKeyboard(xkb, 0, True);
    throw Failure("cannot read the names of the keys from the X keyboard extension");
  }
  int found = 0;
  for (int code = xkb->min_key_code; code <= xkb->max_key_code && found == 0; ++code) {
    if (std::strncmp(xkb->names->keys[code].name, name.c_str(), XkbKeyNameLength) == 0) {
      found = code;
    }
  }
  XkbFreeKeyboard(xkb, 0, True);
  if (found == 0) throw Failure("the X keyboard has no key <" + name + ">");
  return found;
}

std::int64_t XSession::KeyDown(int keycode) {
  Flush();
  const std::int64_t sent = tavrik::MonotonicNowNs();
  XTestFakeKeyEvent(display_, static_cast<unsigned>(keycode), True, CurrentTime);
  Flush();
  return sent;
}

void XSession::KeyUp(int keycode) {
  XTestFakeKeyEvent(display_, static_cast<unsigned>(keycode), False, CurrentTime);
  Flush();
}

std::int64_t XSession::Tap(int keycode) {
  Flush();
  const std::int64_t sent = tavrik::MonotonicNowNs();
  XTestFakeKeyEvent(display_, static_cast<unsigned>(keycode), True, CurrentTime);
  XTestFakeKeyEvent(display_, static_cast<unsigned>(keycode), False, CurrentTime);
  Flush();
  return sent;
}

void XSession::SetLayout(const std::string& layouts, int group) {
  // The server compiles the keymap when asked. It keeps it only while a client stays connected
  // (a server that resets with its last client goes back to its default), as this one does.
  XSync(display_, False);
  const pid_t pid = fork();
  if (pid == 0) {
    execlp("setxkbmap", "setxkbmap", "-layout", layouts.c_str(), "-option", "",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    throw Failure("setxkbmap -layout " + layouts +
                  " failed (is x11-xkb-utils installed, and the layout known?)");
  }
  XkbLockGroup(display_, XkbUseCoreKbd, static_cast<unsigned>(group));
  XSync(display_, False);
  XkbStateRec state{};
  XkbGetState(display_, XkbUseCoreKbd, &state);
  if (state.locked_group != group) {
    throw Failure("layouts " + layouts + ": group " + std::to_string(group + 1) +
                  " did not lock (group " + std::to_string(state.locked_group + 1) + ")");
  }
}

std::string XSession::KeysymName(int keycode, int level) {
  XkbStateRec state{};
  XkbGetState(display_, XkbUseCoreKbd, &state);
  const KeySym sym =
      XkbKeycodeToKeysym(display_, static_cast<KeyCode>(keycode), state.group, level);
  const char* name = sym == NoSymbol ? nullptr : XKeysymToString(sym);
  return name ? name : "NoSymbol";
}

bool XSession::CapsLocked() {
  XkbStateRec keyboard{};
  XkbGetState(display_, XkbUseCoreKbd, &keyboard);
  return (keyboard.locked_mods & LockMask) != 0;
}

void XSession::MoveMouse(int x, int y) {
  XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
  Flush();
}

void XSession::Click(int button) {
  XTestFakeButtonEvent(display_, static_cast<unsigned>(button), True, CurrentTime);
  XTestFakeButtonEvent(display_, static_cast<unsigned>(button), False, CurrentTime);
  Flush();
}

void XSession::TypeText(const std::string& utf8, int delay_ms) {
  XSync(display_, False);
  const std::string delay = std::to_string(delay_ms);
  const pid_t pid = fork();
  if (pid == 0) {
    execlp("xdotool", "xdotool", "type", "--delay", delay.c_str(), "--", utf8.c_str(),
           static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    throw Failure("xdotool type \"" + utf8 + "\" failed (is xdotool installed?)");
  }
}

}  // namespace e2e
