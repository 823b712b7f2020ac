// The translation of SDL events into the form's handlers, fed hand-built events as other
// keyboard layouts would produce them: the hand keys are known by their scan code whatever
// character they carry, one physical press is one KeyPress, typed text serves the name screen
// only, text input is on exactly while that screen is shown, Enter, Esc, Backspace and Space come
// from key-down events, every key release clears the held hand keys, key presses carry the stamp
// the event watch took when SDL received them, and mouse coordinates pass through unchanged.
// The effects are read back from the session record.
#include "input_sdl/sdl_events.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codepage/cp1251.h"
#include "input/hand_keys.h"
#include "input/handlers.h"
#include "report/report.h"
#include "testkit/fake_services.h"
#include "testkit/folders.h"

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
                   SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN, Uint16 mod = KMOD_NONE) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.repeat = repeat;
  e.key.keysym.sym = sym;
  e.key.keysym.scancode = scancode;
  e.key.keysym.mod = mod;
  return e;
}

SDL_Event Down(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
  return KeyEvent(SDL_KEYDOWN, sym, repeat, scancode, mod);
}

// The two hand keys as the US layout reports them.
SDL_Event LeftDown(Uint8 repeat = 0) {
  return Down(SDL_SCANCODE_Q, SDLK_q, KMOD_NONE, repeat);
}
SDL_Event RightDown(Uint8 repeat = 0) {
  return Down(SDL_SCANCODE_RIGHTBRACKET, SDLK_RIGHTBRACKET, KMOD_NONE, repeat);
}
SDL_Event SpaceDown() {
  return Down(SDL_SCANCODE_SPACE, SDLK_SPACE);
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

void SetTextInput(bool on) {
  if (on) {
    SDL_StartTextInput();
  } else {
    SDL_StopTextInput();
  }
}

enum class Hand { kNone, kLeft, kRight };

class SdlEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_EVENTS)) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    pump = std::make_unique<EventPump>([this]() { return clock_ns; });
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
    // Frames at x 100..150 and 650..700 about the centre line y = 300.
    s.CenterX = 400;
    s.CenterY = 300;
    s.FrameCellWidth = 50;
    s.FrameHeight = 50;
    s.BallHeight = s.BallWidth = 20;
    s.LeftFrameX = 100;
    s.RightFrameX = 700;
    BallAway();
  }
  void TearDown() override {
    pump.reset();
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
  }

  void Send(const SDL_Event& e) { pump->Dispatch(s, e); }
  // Through SDL's queue and its event watch, as the platform delivers events.
  void Push(SDL_Event e) { ASSERT_EQ(1, SDL_PushEvent(&e)) << SDL_GetError(); }

  // The name screen of the linear test with `name` (Windows-1251) typed, text input on.
  void ToNameScreen(const std::string& name = "") {
    ResetSession(s);
    Send(ButtonEvent(SDL_BUTTON_LEFT, 400, 220));
    s.SubjectName = name;
    SetTextInput(true);
  }
  // Level 1 set up and waiting for Space, text input off.
  void ToReady() {
    ToNameScreen(Utf8ToCp1251("Иван"));
    KeyPress(s, kCodeEnter);
    s.LevelFrameShown = 1;  // the frame loop draws the ready screen
    SetTextInput(false);
  }
  void ToRunning() {
    ToReady();
    KeyPress(s, kCodeSpace);
  }

  void BallIn(Hand hand) {
    s.BallX = hand == Hand::kLeft ? s.LeftFrameX : s.RightFrameX;
    s.BallY = s.CenterY;
  }
  void BallAway() {
    s.BallX = s.CenterX;
    s.BallY = s.CenterY;
  }

  testkit::ScratchDir scratch;
  SessionState s;
  std::int64_t clock_ns = 0;
  std::unique_ptr<EventPump> pump;
};

// --- Hand keys ----------------------------------------------------------------------------

TEST_F(SdlEventsTest, HandKeysAreTheKeysInTheirPlaceWhateverTheyType) {
  struct Case {
    const char* layout;
    SDL_Scancode scancode;
    SDL_Keycode sym;  // what the layout makes of the key
    Uint16 mod;
    Hand hand;
  };
  const Case cases[] = {
      {"US", SDL_SCANCODE_Q, SDLK_q, KMOD_NONE, Hand::kLeft},
      {"US, Shift", SDL_SCANCODE_Q, SDLK_q, KMOD_LSHIFT, Hand::kLeft},
      {"US, Caps Lock", SDL_SCANCODE_Q, SDLK_q, KMOD_CAPS, Hand::kLeft},
      {"Russian", SDL_SCANCODE_Q, 0x439 /* й */, KMOD_NONE, Hand::kLeft},
      {"Russian, Caps Lock and Shift", SDL_SCANCODE_Q, 0x439, KMOD_CAPS | KMOD_RSHIFT, Hand::kLeft},
      {"French", SDL_SCANCODE_Q, SDLK_a, KMOD_NONE, Hand::kLeft},
      {"French, Shift", SDL_SCANCODE_Q, SDLK_a, KMOD_LSHIFT, Hand::kLeft},
      {"with Ctrl", SDL_SCANCODE_Q, SDLK_q, KMOD_LCTRL, Hand::kLeft},
      {"US", SDL_SCANCODE_RIGHTBRACKET, SDLK_RIGHTBRACKET, KMOD_NONE, Hand::kRight},
      {"US, Shift", SDL_SCANCODE_RIGHTBRACKET, SDLK_RIGHTBRACKET, KMOD_LSHIFT, Hand::kRight},
      {"Russian", SDL_SCANCODE_RIGHTBRACKET, 0x44A /* ъ */, KMOD_NONE, Hand::kRight},
      {"Russian, Caps Lock", SDL_SCANCODE_RIGHTBRACKET, 0x44A, KMOD_CAPS, Hand::kRight},
      {"Ukrainian", SDL_SCANCODE_RIGHTBRACKET, 0x457 /* ї */, KMOD_NONE, Hand::kRight},
      {"Ukrainian, Shift", SDL_SCANCODE_RIGHTBRACKET, 0x457, KMOD_LSHIFT, Hand::kRight},
      {"Belarusian", SDL_SCANCODE_RIGHTBRACKET, SDLK_QUOTE, KMOD_NONE, Hand::kRight},
      {"German", SDL_SCANCODE_RIGHTBRACKET, SDLK_PLUS, KMOD_NONE, Hand::kRight},
      {"German, Caps Lock", SDL_SCANCODE_RIGHTBRACKET, SDLK_PLUS, KMOD_CAPS, Hand::kRight},
      {"French", SDL_SCANCODE_RIGHTBRACKET, SDLK_DOLLAR, KMOD_NONE, Hand::kRight},
      // Keys that carry a hand key's character elsewhere answer nothing.
      {"French A key", SDL_SCANCODE_A, SDLK_q, KMOD_NONE, Hand::kNone},
      {"Russian [ key", SDL_SCANCODE_LEFTBRACKET, 0x445 /* х */, KMOD_NONE, Hand::kNone},
      {"German \\ key", SDL_SCANCODE_BACKSLASH, SDLK_RIGHTBRACKET, KMOD_NONE, Hand::kNone},
      {"a spare key typing й", SDL_SCANCODE_UNKNOWN, 0x439, KMOD_NONE, Hand::kNone},
      {"W", SDL_SCANCODE_W, SDLK_w, KMOD_NONE, Hand::kNone},
      {"P", SDL_SCANCODE_P, SDLK_p, KMOD_NONE, Hand::kNone},
  };
  for (const Case& c : cases) {
    for (const Hand ball : {Hand::kLeft, Hand::kRight}) {
      SCOPED_TRACE(std::string(c.layout) + ", scan code " + std::to_string(c.scancode) +
                   ", ball in the " + (ball == Hand::kLeft ? "left" : "right") + " frame");
      ToRunning();
      BallIn(ball);
      Send(Down(c.scancode, c.sym, c.mod));
      const bool left = c.hand == Hand::kLeft, right = c.hand == Hand::kRight;
      EXPECT_EQ(left ? 1 : 0, s.LeftKeyHeld);
      EXPECT_EQ(right ? 1 : 0, s.RightKeyHeld);
      EXPECT_EQ(left ? 1 : 0, s.LeftLatch);
      EXPECT_EQ(right ? 1 : 0, s.RightLatch);
      EXPECT_EQ(left && ball == Hand::kLeft ? 1 : 0, s.LeftHitsTotal);
      EXPECT_EQ(right && ball == Hand::kRight ? 1 : 0, s.RightHitsTotal);
      EXPECT_EQ(kScreenRunning, s.ScreenState);
    }
  }
}

TEST_F(SdlEventsTest, OnePressOfAHandKeyIsOneAnswer) {
  // With text input on (the first pump after the name screen) SDL sends the key's text too.
  // The second answer would score: the latch is opened again between the two events, as a new
  // pass would.
  struct Case {
    SDL_Event down;
    const char* text;
    Hand hand;
  };
  const Case cases[] = {{LeftDown(), "q", Hand::kLeft},
                        {Down(SDL_SCANCODE_Q, 0x439, KMOD_LSHIFT), "Й", Hand::kLeft},
                        {RightDown(), "]", Hand::kRight},
                        {Down(SDL_SCANCODE_RIGHTBRACKET, 0x44A), "ъ", Hand::kRight}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ToRunning();
    SetTextInput(true);
    BallIn(c.hand);
    Send(c.down);
    s.LeftLatch = s.RightLatch = 0;
    Send(TextEvent(c.text));
    EXPECT_EQ(c.hand == Hand::kLeft ? 1 : 0, s.LeftHitsTotal);
    EXPECT_EQ(c.hand == Hand::kRight ? 1 : 0, s.RightHitsTotal);
    EXPECT_EQ(0, s.LeftLatch + s.RightLatch) << "the text answered";
  }
}

TEST_F(SdlEventsTest, AutoRepeatOfAHandKeyAnswersAgain) {
  for (const Hand hand : {Hand::kLeft, Hand::kRight}) {
    ToRunning();
    BallIn(hand);
    const Integer& hits = hand == Hand::kLeft ? s.LeftHitsTotal : s.RightHitsTotal;
    Integer& latch = hand == Hand::kLeft ? s.LeftLatch : s.RightLatch;
    const SDL_Event first = hand == Hand::kLeft ? LeftDown() : RightDown();
    const SDL_Event repeat = hand == Hand::kLeft ? LeftDown(1) : RightDown(1);
    Send(first);
    Send(repeat);  // the same pass: the latch holds it off
    EXPECT_EQ(1, hits);
    latch = 0;  // the next pass; the key is still down
    Send(repeat);
    EXPECT_EQ(2, hits) << "the repeated key-down must reach the scoring";
    // The timing record lists presses, not the repeats of a held key.
    ASSERT_EQ(1, s.Timing.press_count);
    EXPECT_EQ(hand == Hand::kLeft ? kHandLeft : kHandRight, s.Timing.presses[0].hand);
    EXPECT_EQ(1, s.KeyRepeat);
    Send(first);
    EXPECT_EQ(2, s.Timing.press_count) << "a new press after the key went up";
  }
}

// --- Text and the name screen -------------------------------------------------------------

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
      {"ї", ""},
  };
  for (const Case& c : cases) {
    ToNameScreen(Utf8ToCp1251("я"));
    Send(TextEvent(c.text));
    EXPECT_EQ(Utf8ToCp1251("я") + c.added, s.SubjectName) << "text \"" << c.text << "\"";
    EXPECT_EQ(kScreenNameEntry, s.ScreenState) << "text \"" << c.text << "\"";
    EXPECT_EQ(-1, s.KeyDownNs) << "text is no key press";
  }
}

TEST_F(SdlEventsTest, TextOffTheNameScreenDoesNothing) {
  // Text that arrives after the name screen was left, before text input went off.
  for (const char* text : {"q", "Q", "й", "Ъ", "]", " ", "qъ  ]"}) {
    ToReady();
    Send(TextEvent(text));
    EXPECT_EQ(kScreenWaiting, s.ScreenState) << "text \"" << text << "\"";
    EXPECT_EQ(0, s.LeftKeyHeld) << "text \"" << text << "\"";
    EXPECT_EQ(0, s.RightKeyHeld) << "text \"" << text << "\"";
    EXPECT_EQ(Utf8ToCp1251("Иван"), s.SubjectName) << "text \"" << text << "\"";
  }
}

TEST_F(SdlEventsTest, EachKeyTypesOnceOnTheNameScreen) {
  // While text input is on, SDL sends a key-down and then the text of the same key; when it is
  // off (the first pump after the name screen appeared) only the key-down.
  struct Case {
    const char* what;
    bool text_input;
    std::vector<SDL_Event> events;
    const char* added;  // UTF-8
  };
  const Case cases[] = {
      {"Space, text on", true, {SpaceDown(), TextEvent(" ")}, " "},
      {"Space, text off", false, {SpaceDown()}, " "},
      {"held Space, text on",
       true,
       {SpaceDown(), TextEvent(" "), Down(SDL_SCANCODE_SPACE, SDLK_SPACE, KMOD_NONE, 1),
        TextEvent(" ")},
       "  "},
      {"Q key, Russian, text on", true, {Down(SDL_SCANCODE_Q, 0x439), TextEvent("й")}, "й"},
      {"Q key, Russian, Shift, text on",
       true,
       {Down(SDL_SCANCODE_Q, 0x439, KMOD_LSHIFT), TextEvent("Й")},
       "Й"},
      {"] key, Russian, text on",
       true,
       {Down(SDL_SCANCODE_RIGHTBRACKET, 0x44A), TextEvent("ъ")},
       "ъ"},
      {"Q key, US, text on", true, {LeftDown(), TextEvent("q")}, ""},
      {"Q key, text off", false, {LeftDown()}, ""},
      {"] key, text off", false, {RightDown()}, ""},
      {"another letter, text on", true, {Down(SDL_SCANCODE_F, 0x430), TextEvent("а")}, "а"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ToNameScreen(Utf8ToCp1251("я"));
    SetTextInput(c.text_input);
    for (const SDL_Event& e : c.events) Send(e);
    EXPECT_EQ(Utf8ToCp1251(std::string("я") + c.added), s.SubjectName);
    EXPECT_EQ(kScreenNameEntry, s.ScreenState);
    EXPECT_EQ(0, s.LeftKeyHeld);
    EXPECT_EQ(0, s.RightKeyHeld);
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

  // Space starts the level from its key-down, text input on or off; its text does not start
  // the cycles a second time or join the name.
  for (const bool text_input : {false, true}) {
    ToReady();
    SetTextInput(text_input);
    Send(SpaceDown());
    EXPECT_EQ(kScreenRunning, s.ScreenState) << "text input " << text_input;
    if (text_input) Send(TextEvent(" "));
    EXPECT_EQ(kScreenRunning, s.ScreenState) << "text input " << text_input;
    EXPECT_EQ(Utf8ToCp1251("Иван"), s.SubjectName) << "text input " << text_input;
  }

  // Esc leaves the test, then ends the program from the menu.
  ToReady();
  Send(KeyEvent(SDL_KEYDOWN, SDLK_ESCAPE));
  EXPECT_EQ(kScreenMenu, s.ScreenState);
  EXPECT_EQ(-1, s.Running);
  Send(KeyEvent(SDL_KEYDOWN, SDLK_ESCAPE));
  EXPECT_EQ(0, s.Running);
}

TEST_F(SdlEventsTest, OtherKeyDownsDoNothing) {
  const SDL_Keycode keys[] = {SDLK_a, SDLK_LSHIFT, SDLK_CAPSLOCK, SDLK_TAB, SDLK_F1, SDLK_KP_0};
  for (const SDL_Keycode key : keys) {
    ToNameScreen(Utf8ToCp1251("я"));
    Send(KeyEvent(SDL_KEYDOWN, key, 0, SDL_GetScancodeFromKey(key)));
    EXPECT_EQ(Utf8ToCp1251("я"), s.SubjectName) << SDL_GetKeyName(key);

    ToReady();
    Send(KeyEvent(SDL_KEYDOWN, key, 0, SDL_GetScancodeFromKey(key)));
    EXPECT_EQ(kScreenWaiting, s.ScreenState) << SDL_GetKeyName(key);
    EXPECT_EQ(0, s.LeftKeyHeld) << SDL_GetKeyName(key);
    EXPECT_EQ(0, s.RightKeyHeld) << SDL_GetKeyName(key);
  }
}

TEST_F(SdlEventsTest, TextInputIsOnExactlyWhileTheNameScreenIsShown) {
  SetTextInput(true);  // as SDL starts
  pump->DoEvents(s);
  EXPECT_FALSE(SDL_IsTextInputActive()) << "menu";

  Push(ButtonEvent(SDL_BUTTON_LEFT, 400, 220));
  pump->DoEvents(s);
  ASSERT_EQ(kScreenNameEntry, s.ScreenState);
  EXPECT_TRUE(SDL_IsTextInputActive()) << "name screen";

  // One pump: the name, Enter, and at once Space with its text, all made while text input was
  // on. Space starts the level once, and the switch waits for the queue to empty.
  Push(Down(SDL_SCANCODE_B, 0x438));
  Push(TextEvent("и"));
  Push(Down(SDL_SCANCODE_RETURN, SDLK_RETURN));
  Push(SpaceDown());
  Push(TextEvent(" "));
  Push(LeftDown());
  Push(TextEvent("q"));
  pump->DoEvents(s);
  EXPECT_EQ(Utf8ToCp1251("и"), s.SubjectName);
  EXPECT_EQ(kScreenRunning, s.ScreenState);
  EXPECT_EQ(1, s.LeftKeyHeld);
  EXPECT_FALSE(SDL_IsTextInputActive()) << "running";

  Push(Down(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE));
  pump->DoEvents(s);
  ASSERT_EQ(kScreenMenu, s.ScreenState);
  EXPECT_FALSE(SDL_IsTextInputActive()) << "menu after Esc";

  // The name screen again; a Space typed in the same pump as the click still joins the name.
  Push(ButtonEvent(SDL_BUTTON_LEFT, 400, 270));
  Push(SpaceDown());
  pump->DoEvents(s);
  EXPECT_EQ(Utf8ToCp1251("и "), s.SubjectName);
  EXPECT_TRUE(SDL_IsTextInputActive()) << "name screen again";

  Push(Down(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE));
  pump->DoEvents(s);
  EXPECT_FALSE(SDL_IsTextInputActive()) << "menu after Esc on the name screen";
}

// --- Key releases -------------------------------------------------------------------------

TEST_F(SdlEventsTest, AnyKeyReleaseClearsBothHeldFlags) {
  struct Case {
    SDL_Keycode sym;
    SDL_Scancode scancode;
  };
  // A key without a symbol, even without a known scan code, still went up.
  const Case cases[] = {
      {SDLK_LSHIFT, SDL_SCANCODE_LSHIFT},          {SDLK_q, SDL_SCANCODE_Q},
      {0x44A, SDL_SCANCODE_RIGHTBRACKET},          {SDLK_a, SDL_SCANCODE_A},
      {SDLK_UNKNOWN, SDL_SCANCODE_INTERNATIONAL1}, {SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN}};
  for (const Case& c : cases) {
    ToReady();
    Send(LeftDown());
    Send(RightDown());
    ASSERT_EQ(1, s.LeftKeyHeld);
    ASSERT_EQ(1, s.RightKeyHeld);
    Send(KeyEvent(SDL_KEYUP, c.sym, 0, c.scancode));
    EXPECT_EQ(0, s.LeftKeyHeld) << "sym " << c.sym << ", scancode " << c.scancode;
    EXPECT_EQ(0, s.RightKeyHeld) << "sym " << c.sym << ", scancode " << c.scancode;
  }
}

// --- Press stamps -------------------------------------------------------------------------

// The stamps as the trace shows them, one line per hand key press.
class Trace {
 public:
  Trace() : out_(std::tmpfile()) {}
  ~Trace() {
    if (out_) std::fclose(out_);
  }
  std::FILE* file() { return out_; }
  // Everything written so far; later lines go on after it.
  std::string text() {
    if (!out_) return "(no temporary file for the trace)";
    std::fflush(out_);
    std::rewind(out_);
    std::string all;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, out_)) > 0;) all.append(chunk, n);
    std::fseek(out_, 0, SEEK_END);
    return all;
  }

 private:
  std::FILE* out_;
};

TEST_F(SdlEventsTest, KeyPressesCarryTheStampTakenWhenSdlReceivedThem) {
  Trace trace;
  pump->TracePresses(trace.file());
  ToRunning();
  s.FrameShownNs = 777;

  // The clock moves on between receiving and handling; the stamps stay those of receiving.
  clock_ns = 1'000;
  Push(LeftDown());
  clock_ns = 2'500;
  Push(RightDown());
  clock_ns = 4'000;
  Push(LeftDown(1));
  clock_ns = 9'000;
  pump->DoEvents(s);
  EXPECT_EQ(4'000, s.KeyDownNs);
  EXPECT_EQ(
      "press: left hand, scan code 20, repeat 0, down at 1000 ns, frame shown at 777 ns\n"
      "press: right hand, scan code 48, repeat 0, down at 2500 ns, frame shown at 777 ns\n"
      "press: left hand, scan code 20, repeat 1, down at 4000 ns, frame shown at 777 ns\n",
      trace.text());

  // Every key going down is stamped, not only the hand keys.
  clock_ns = 12'000;
  Push(Down(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE));
  pump->DoEvents(s);
  EXPECT_EQ(12'000, s.KeyDownNs);
  ASSERT_EQ(kScreenMenu, s.ScreenState);

  // An event put into the queue past the watch has no stamp; the next one has its own again.
  ToRunning();
  SDL_Event unseen = RightDown();
  unseen.key.timestamp = SDL_GetTicks();
  ASSERT_EQ(1, SDL_PeepEvents(&unseen, 1, SDL_ADDEVENT, 0, 0)) << SDL_GetError();
  pump->DoEvents(s);
  EXPECT_EQ(-1, s.KeyDownNs);
  EXPECT_EQ(1, s.RightLatch) << "a press without a stamp still answers";
  clock_ns = 15'000;
  Push(LeftDown());
  pump->DoEvents(s);
  EXPECT_EQ(15'000, s.KeyDownNs);
}

// --- Mouse and the rest -------------------------------------------------------------------

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
  ToNameScreen();
  Push(TextEvent("Ив"));
  Push(TextEvent("ан"));
  Push(KeyEvent(SDL_KEYDOWN, SDLK_RETURN));

  pump->DoEvents(s);

  EXPECT_EQ(Utf8ToCp1251("Иван"), s.SubjectName);
  EXPECT_EQ(kScreenWaiting, s.ScreenState);
  SDL_Event left;
  EXPECT_EQ(0, SDL_PollEvent(&left)) << "an event was left in the queue";
}

}  // namespace
}  // namespace tavrik
