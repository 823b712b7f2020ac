// Waiting for the program to show a screen, and checking it against the expected screen drawn by
// the program's own composition code. On a screen of 800 by 600 the comparison is pixel for
// pixel; on a larger screen the expected image is scaled the way the program's display scales
// it and compared approximately.
#pragma once

#include <string>
#include <vector>

#include "image.h"
#include "program.h"
#include "reference.h"
#include "x_session.h"

namespace e2e {

// Where the 800 by 600 image lands on the screen: scaled with its aspect kept and centred, as
// the program's display lays it out.
struct Placement {
  double scale = 1;
  int x = 0, y = 0, w = 800, h = 600;

  static Placement ForScreen(int screen_width, int screen_height);
  bool OneToOne() const { return w == 800 && h == 600 && x == 0 && y == 0; }
  // Screen pixel of a point of the image, and back.
  int ScreenX(double image_x) const;
  int ScreenY(double image_y) const;
  double ImageX(double screen_x) const { return (screen_x + 0.5 - x) / scale - 0.5; }
  double ImageY(double screen_y) const { return (screen_y + 0.5 - y) / scale - 0.5; }
  Box ScreenBox(const Box& image_box) const;
};

// The expected 800 by 600 image as it appears on the whole screen: bilinear scaling into the
// placement, black outside it.
Image PlaceOnScreen(const Image& image, const Placement& placement, int screen_width,
                    int screen_height);

// The same through SDL's own linear stretch, as its software renderer scales.
Image PlaceOnScreenSdl(const Image& image, const Placement& placement, int screen_width,
                       int screen_height);

class Screens {
 public:
  Screens(XSession& x, Reference& reference, Program& program, std::string artifacts_dir);

  XSession& X() { return x_; }
  Reference& Ref() { return reference_; }
  Program& Prog() { return program_; }
  const Placement& Place() const { return placement_; }
  const std::string& ArtifactsDir() const { return artifacts_; }

  // Channel tolerance of exact comparisons: none at 32 bits per pixel; at 16 bits the screen's
  // widening of 5- and 6-bit channels may differ from the reference's by a unit or two.
  int Tolerance() const { return reference_.BitsPerPixel() == 16 ? 4 : 0; }

  // The channel tolerance and the verdict of the comparisons, one to one or scaled.
  int ComparisonTolerance() const;
  bool Acceptable(const Difference& d) const;

  // Does `box` (image pixels) of the screen image `screen` match the same box of `expected`?
  bool Matches(const Image& screen, const Image& expected, const Box& box) const;

  // Polls the screen until `box` of it matches `expected`, for up to `timeout` seconds. Returns
  // the matching screen. On timeout saves the last screen, the expected one and their
  // difference, and throws Failure naming `what` and where they differ.
  Image WaitFor(const Image& expected, const std::string& what, double timeout,
                const Box& box = Box{0, 0, 800, 600}) {
    return WaitForAny({expected}, what, timeout, box);
  }
  // The same where any of several screens will do (the failure shows the first of them).
  Image WaitForAny(const std::vector<Image>& expected, const std::string& what, double timeout,
                   const Box& box = Box{0, 0, 800, 600});
  Image WaitFor(const ScreenSetup& setup, const std::string& what, double timeout,
                const Box& box = Box{0, 0, 800, 600}) {
    return WaitFor(reference_.Compose(setup), what, timeout, box);
  }

  // The screen as a whole now (screen pixels).
  Image Grab() { return x_.GrabScreen(); }
  // Only `box` of the screen, read now, in an otherwise black screen-sized image: cheaper when
  // the watcher needs a small part only.
  Image GrabBox(const Box& box);

  // The expected image as the screen may show it: as it is on an 800 by 600 screen, else
  // scaled by each filter the display may use.
  std::vector<Image> Placed(const Image& expected) const;

  // Saves the screen under the screenshot folder given by TAVRIK_SCREENSHOTS, when set.
  void Screenshot(const Image& screen, const std::string& name) const;

 private:
  XSession& x_;
  Reference& reference_;
  Program& program_;
  std::string artifacts_;
  Placement placement_;
  int mismatch_count_ = 0;
};

// Sleeps for `seconds`.
void Pause(double seconds);

}  // namespace e2e
