// The program's one form: the session record, the display and the seven sprites of the catalogue.
// Start-up (startup.h), the frame composition (frame.h) and the bitmap text (text.h) work on it.
#pragma once

#include "display/display.h"
#include "engine/session_state.h"

namespace tavrik {

struct Form1 {
  SessionState s;
  DisplayDevice display;
  SpriteSurface CursorSprite;
  SpriteSurface StripSprite;
  SpriteSurface IndicatorSprite;
  SpriteSurface BallSprite;
  SpriteSurface ButtonsSprite;
  SpriteSurface FrameSprite;
  SpriteSurface TextSprite;
};

}  // namespace tavrik
