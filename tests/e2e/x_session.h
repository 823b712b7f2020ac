// The tests' own connection to the X server that the program runs on: reading pixels of the
// screen, and real input through the XTest extension, as a keyboard and a mouse would give it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

typedef struct _XDisplay Display;

namespace e2e {

class XSession {
 public:
  // Connects to $DISPLAY. Throws Failure when there is no server or it lacks XTest.
  XSession();
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  int ScreenWidth() const { return width_; }
  int ScreenHeight() const { return height_; }

  // The pixels of `box` of the root window as they are now. Shared memory when the server
  // offers it (the watcher reads many times a second), the ordinary request otherwise.
  Image Grab(const Box& box);
  Image GrabScreen() { return Grab(Box{0, 0, width_, height_}); }

  // One key, by X keysym name ("space", "Return", "Escape", "Shift_L"), through XTest. Only
  // for keys that every layout has in the same place.
  void KeyDown(const std::string& keysym);
  void KeyUp(const std::string& keysym);
  void Tap(const std::string& keysym);  // down and up at once

  // Asks every top-level window titled `title` to close, as a window manager's close button
  // does (WM_DELETE_WINDOW). Returns how many windows were asked.
  int CloseWindows(const std::string& title);

  // Whether a top-level window titled `title` is mapped and viewable now.
  bool WindowShown(const std::string& title);

  // Where the dialog boxes titled `title` are shown: viewable top-level windows of that title
  // without a window class (SDL gives its own windows one, its message boxes none), or, for a
  // Windows program under Wine, those of them smaller than the screen.
  std::vector<Box> DialogBoxes(const std::string& title);

  // The keycode of the physical key at an ISO 9995 grid position ("D01": the key right of Tab),
  // found by the X keyboard extension's names of the keys (<AD01>), whatever the layout.
  int PhysicalKey(const std::string& iso_position);
  // One key by its keycode. KeyDown and Tap return when the press went to the server, read on
  // the program's clock (CLOCK_MONOTONIC) just before it was sent.
  std::int64_t KeyDown(int keycode);
  void KeyUp(int keycode);
  std::int64_t Tap(int keycode);

  // Sets the keyboard layouts of the server (`setxkbmap -layout`, for example "us,ru") and locks
  // the group `group` (0 for the first layout). Throws Failure if the server does not take it.
  void SetLayout(const std::string& layouts, int group);
  // The keysym name the key `keycode` types in the locked group at shift level `level`.
  std::string KeysymName(int keycode, int level = 0);
  // Whether Caps Lock is locked now.
  bool CapsLocked();

  void MoveMouse(int x, int y);  // screen pixels
  void Click(int button = 1);

  // Types UTF-8 text with `xdotool type`, which maps a spare key to each character the keyboard
  // lacks (the Cyrillic letters here), presses it, releases it after half of `delay_ms` and
  // takes the mapping back after the other half. The program looks the character up when it
  // handles the key, up to a frame later or more when the machine is busy, so the delay must
  // leave it ample time or it would read the mapping already taken back and type nothing.
  void TypeText(const std::string& utf8, int delay_ms = 300);

 private:
  void Flush();
  int Keycode(const std::string& keysym);

  Display* display_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  struct Shm;
  Shm* shm_ = nullptr;
  struct ShmSegment;
  bool AttachSegment(ShmSegment& segment, int width, int height);
};

}  // namespace e2e
