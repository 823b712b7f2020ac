// Where things stand on the screen of the frame about to be drawn: the stimulus (its centre and
// the ball's top-left corner) and the two target frames. The frame composition calls these just
// before it draws them and leaves the results in the record, so that a key or a click between two
// frames is judged against the frame on the screen. Positions are pixels of the 800 by 600 image,
// y growing downwards.
#pragma once

#include "engine/session_state.h"

namespace tavrik {

// TrackRadius: the distance of the track's ends (and of the circle) from the centre, two thirds
// of the distance from the centre to the top, less half the ball, so that the whole path stays
// on the screen. Start-up sets it once from CenterY and BallWidth.
void PlaceTrack(SessionState& s);

// TargetX, TargetY: the centre of the stimulus from Angle (circular and linear tests) or from
// Direction and FlashOn (flash test: the centre between flashes, TrackRadius to the side of
// Direction during one). Then BallX, BallY: the ball sprite's top-left corner about that centre.
// With no test chosen yet the centre keeps what the record held.
void PlaceStimulus(SessionState& s);

// LeftFrameX, RightFrameX: the left edges of the two frames, centred on the ends of the track.
void PlaceFrames(SessionState& s);

// ButtonX, ButtonY of the three menu buttons (1 to 3, top to bottom): one column centred on the
// screen, from y 200 down, 10 pixels apart. Start-up places them as soon as the buttons' size is
// known, so that a pointer event before the first menu frame is hit-tested against the buttons
// that frame shows.
void PlaceMenuButtons(SessionState& s);

// The top edge of both frames; the strips are laid out from it.
double FrameTop(const SessionState& s);

}  // namespace tavrik
