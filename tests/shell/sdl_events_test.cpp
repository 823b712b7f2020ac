// The translation of SDL events into the form's handlers, fed hand-built events: typed text
// becomes Windows-1251 character codes, Enter, Esc and Backspace come from key-down events,
// every key release clears the held hand keys, and mouse coordinates pass through unchanged.
// The effects are read back from the session record.
#include "input/sdl_events.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "../core/fake_services.h"
#include "codepage/cp1251.h"
#include "input/handlers.h"
#include "report/report.h"

namespace tavrik {
namespace {

SDL_Event TextEvent(const char* utf8) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_TEXTINPUT;
  std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
  return e;
}

SDL_Event KeyEvent(Uint32 type, SDL_Keycode sym, Uint8 repeat = 0,
                   SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.repeat = repeat;
  e.key.keysym.sym = sym;
  e.key.keysym.scancode = scancode;
  return e;
}

SDL_Event MotionEvent(Sint32 x, Sint32 y) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_MOUSEMOTION;
  e.motion.x = x;
  e.motion.y = y;
  return e;
}

SDL_Event ButtonEvent(Uint8 button, Sint32 x, Sint32 y) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = button;
  e.button.state = SDL_PRESSED;
  e.button.clicks = 1;
  e.button.x = x;
  e.button.y = y;
  return e;
}

SDL_Event PlainEvent(Uint32 type) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = type;
  return e;
}

class SdlEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::InstallFakes(s);
    s.services.WriteReport = [](SessionState& session) { WriteReport(session); };
    s.ReportDir = scratch.str();
    s.Running = -1;
    ResetSession(s);
    // Buttons 100 by 40 at x 350..450, y 200..240, 250..290, 300..340.
    s.ButtonCellWidth = 100;
    s.ButtonCellHeight = 40;
    for (int k = 1; k <= 3; ++k) {
      s.ButtonX[k] = 350;
      s.ButtonY[k] = static_cast<Single>(200 + (k - 1) * 50);
    }
  }

  void Send(const SDL_Event& e) { DispatchEvent(s, e); }

  // The name screen of the linear test with `name` (Windows-1251) typed.
  void ToNameScreen(const std::string& name = "") {
    ResetSession(s);
    Send(ButtonEvent(SDL_BUTTON_LEFT, 400, 220));
    s.SubjectName = name;
  }
  // Level 1 set up and waiting for Space.
  void ToReady() {
    ToNameScreen(Utf8ToCp1251("Иван"));
    KeyPress(s, kCodeEnter);
  }

  testkit::ScratchDir scratch;
  SessionState s;
};

TEST_F(SdlEventsTest, TypedTextReachesTheNameAsWindows1251) {
  struct Case {
    const char* text;
    std::string added;  // Windows-1251 bytes that join the name
  };
  const Case cases[] = {
      {"й", "\xE9"},    {"Й", "\xC9"},
      {"ъ", "\xFA"},    {"Ъ", "\xDA"},
      {"А", "\xC0"},    {"я", "\xFF"},
      {" ", " "},       {"Иван", "\xC8\xE2\xE0\xED"},  // one character at a time
      {"a日б", "\xE1"},  // a character the code page lacks matches nothing
      {"日", ""},       {"Ёё", ""},
      {"q]}", ""},      {"Q1.", ""},
  };
  for (const Case& c : cases) {
    ToNameScreen(Utf8ToCp1251("я"));
    Send(TextEvent(c.text));
    EXPECT_EQ(Utf8ToCp1251("я") + c.added, s.SubjectName) << "text \"" << c.text << "\"";
    EXPECT_EQ(kScreenNameEntry, s.ScreenState) << "text \"" << c.text << "\"";
  }
}

TEST_F(SdlEventsTest, TypedHandKeysSetTheirHeldFlags) {
  struct Case {
    const char* text;
    int left, right;
  };
  const Case cases[] = {
      {"q", 1, 0}, {"Q", 1, 0},  {"й", 1, 0},  {"Й", 1, 0}, {"]", 0, 1},        {"}", 0, 1},
      {"ъ", 0, 1}, {"Ъ", 0, 1},  {"qъ", 1, 1}, {"[", 0, 0}, {"w", 0, 0},        {"ц", 0, 0},
      {"х", 0, 0}, {"日", 0, 0}, {"ё", 0, 0},  {"{", 0, 0}, {"\xC3\xA9", 0, 0},
  };
  for (const Case& c : cases) {
    ToReady();
    Send(TextEvent(c.text));
    EXPECT_EQ(c.left, s.LeftKeyHeld) << "text \"" << c.text << "\"";
    EXPECT_EQ(c.right, s.RightKeyHeld) << "text \"" << c.text << "\"";
    EXPECT_EQ(kScreenWaiting, s.ScreenState) << "text \"" << c.text << "\"";
  }
}

TEST_F(SdlEventsTest, CommandKeysComeFromKeyDownEvents) {
  // Enter on either key accepts the name.
  for (const SDL_Keycode enter : {SDLK_RETURN, SDLK_KP_ENTER}) {
    ToNameScreen(Utf8ToCp1251("Иван"));
    Send(KeyEvent(SDL_KEYDOWN, enter));
    EXPECT_EQ(kScreenWaiting, s.ScreenState) << SDL_GetKeyName(enter);
    EXPECT_EQ(1, s.Level) << SDL_GetKeyName(enter);
  }

  // Backspace, held or not.
  ToNameScreen(Utf8ToCp1251("абв"));
  Send(KeyEvent(SDL_KEYDOWN, SDLK_BACKSPACE));
  EXPECT_EQ(Utf8ToCp1251("аб"), s.SubjectName);
  Send(KeyEvent(SDL_KEYDOWN, SDLK_BACKSPACE, 1));
  Send(KeyEvent(SDL_KEYDOWN, SDLK_BACKSPACE, 1));
  Send(KeyEvent(SDL_KEYDOWN, SDLK_BACKSPACE, 1));
  EXPECT_EQ("", s.SubjectName) << "after auto-repeat";

  // Esc leaves the test, then ends the program from the menu.
  ToReady();
  Send(KeyEvent(SDL_KEYDOWN, SDLK_ESCAPE));
  EXPECT_EQ(kScreenMenu, s.ScreenState);
  EXPECT_EQ(-1, s.Running);
  Send(KeyEvent(SDL_KEYDOWN, SDLK_ESCAPE));
  EXPECT_EQ(0, s.Running);
}

TEST_F(SdlEventsTest, OtherKeyDownsTypeNothing) {
  // Their characters come as text only; a key-down that typed too would deliver them twice.
  const SDL_Keycode keys[] = {SDLK_SPACE,  SDLK_q,   SDLK_RIGHTBRACKET, SDLK_a,
                              SDLK_LSHIFT, SDLK_TAB, SDLK_F1,           SDLK_KP_0};
  for (const SDL_Keycode key : keys) {
    ToNameScreen(Utf8ToCp1251("я"));
    Send(KeyEvent(SDL_KEYDOWN, key));
    EXPECT_EQ(Utf8ToCp1251("я"), s.SubjectName) << SDL_GetKeyName(key);

    ToReady();
    Send(KeyEvent(SDL_KEYDOWN, key));
    EXPECT_EQ(kScreenWaiting, s.ScreenState) << SDL_GetKeyName(key);
    EXPECT_EQ(0, s.LeftKeyHeld) << SDL_GetKeyName(key);
    EXPECT_EQ(0, s.RightKeyHeld) << SDL_GetKeyName(key);
  }

  // Space works through its text.
  ToReady();
  Send(TextEvent(" "));
  EXPECT_EQ(kScreenRunning, s.ScreenState) << "Space as text";
}

TEST_F(SdlEventsTest, AnyKeyReleaseClearsBothHeldFlags) {
  struct Case {
    SDL_Keycode sym;
    SDL_Scancode scancode;
  };
  // A key without a symbol, even without a known scan code, still went up.
  const Case cases[] = {{SDLK_LSHIFT, SDL_SCANCODE_LSHIFT},
                        {SDLK_q, SDL_SCANCODE_Q},
                        {SDLK_a, SDL_SCANCODE_A},
                        {SDLK_UNKNOWN, SDL_SCANCODE_INTERNATIONAL1},
                        {SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN}};
  for (const Case& c : cases) {
    ToReady();
    Send(TextEvent("qъ"));
    ASSERT_EQ(1, s.LeftKeyHeld);
    ASSERT_EQ(1, s.RightKeyHeld);
    Send(KeyEvent(SDL_KEYUP, c.sym, 0, c.scancode));
    EXPECT_EQ(0, s.LeftKeyHeld) << "sym " << c.sym << ", scancode " << c.scancode;
    EXPECT_EQ(0, s.RightKeyHeld) << "sym " << c.sym << ", scancode " << c.scancode;
  }
}

TEST_F(SdlEventsTest, MouseCoordinatesReachTheHandlers) {
  Send(MotionEvent(400, 270));
  EXPECT_EQ(400.0f, s.MouseX);
  EXPECT_EQ(270.0f, s.MouseY);
  EXPECT_EQ(0, s.ButtonLit[1]);
  EXPECT_EQ(1, s.ButtonLit[2]);
  EXPECT_EQ(0, s.ButtonLit[3]);

  Send(MotionEvent(-15, 640));
  EXPECT_EQ(-15.0f, s.MouseX);
  EXPECT_EQ(640.0f, s.MouseY);
  EXPECT_EQ(0, s.ButtonLit[2]);

  // Edge and gap, then each button by each mouse button.
  Send(ButtonEvent(SDL_BUTTON_LEFT, 350, 220));
  Send(ButtonEvent(SDL_BUTTON_LEFT, 400, 245));
  EXPECT_EQ(kScreenMenu, s.ScreenState) << "edge and gap choose nothing";
  struct Case {
    Uint8 button;
    Sint32 y;
    Integer kind;
  };
  const Case cases[] = {{SDL_BUTTON_LEFT, 220, kTestLinear},
                        {SDL_BUTTON_RIGHT, 270, kTestCircular},
                        {SDL_BUTTON_MIDDLE, 320, kTestFlash},
                        {SDL_BUTTON_X1, 220, kTestLinear},
                        {SDL_BUTTON_RIGHT, 320, kTestFlash}};
  for (const Case& c : cases) {
    ResetSession(s);
    s.TestKind = 0;
    Send(ButtonEvent(c.button, 400, c.y));
    EXPECT_EQ(c.kind, s.TestKind) << "button " << int{c.button} << " at y " << c.y;
    EXPECT_EQ(kScreenNameEntry, s.ScreenState) << "button " << int{c.button} << " at y " << c.y;
  }
}

TEST_F(SdlEventsTest, QuitRequestEndsTheProgramAndOtherEventsDoNothing) {
  ToNameScreen(Utf8ToCp1251("я"));
  for (const Uint32 type : {SDL_WINDOWEVENT, SDL_MOUSEBUTTONUP, SDL_MOUSEWHEEL, SDL_TEXTEDITING}) {
    Send(PlainEvent(type));
  }
  EXPECT_EQ(-1, s.Running);
  EXPECT_EQ(kScreenNameEntry, s.ScreenState);
  EXPECT_EQ(Utf8ToCp1251("я"), s.SubjectName);

  Send(PlainEvent(SDL_QUIT));
  EXPECT_EQ(0, s.Running);
}

TEST_F(SdlEventsTest, DoEventsRunsEveryPendingEvent) {
  ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_EVENTS)) << SDL_GetError();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  ToNameScreen();
  SDL_Event events[] = {TextEvent("Ив"), TextEvent("ан"), KeyEvent(SDL_KEYDOWN, SDLK_RETURN)};
  for (SDL_Event& e : events) ASSERT_EQ(1, SDL_PushEvent(&e)) << SDL_GetError();

  DoEvents(s);

  EXPECT_EQ(Utf8ToCp1251("Иван"), s.SubjectName);
  EXPECT_EQ(kScreenWaiting, s.ScreenState);
  SDL_Event left;
  EXPECT_EQ(0, SDL_PollEvent(&left)) << "an event was left in the queue";
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

}  // namespace
}  // namespace tavrik
