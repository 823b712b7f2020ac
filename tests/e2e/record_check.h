// The timing record files as a complete test must leave them, checked against what the scripted
// subject did and saw: a row for each of its presses with the outcome the plan gives it, signed
// errors that agree with the subject's own press times and its own sight of the moments, and a
// row for each level with its exact number of frames at 60 a second. The layout is written out
// here independently of the program's writer.
#pragma once

#include <string>

#include "report_check.h"
#include "subject.h"

namespace e2e {

// The header rows, CR LF included.
extern const char kPressRecordHeader[];
extern const char kFrameRecordHeader[];

// The rows appended to record file `file` between `before` and `after`: when the file is new, it
// must start with the byte-order mark and `header`, once. Throws Failure when old bytes changed.
std::string AppendedRecordRows(const ReportFolder& before, const ReportFolder& after,
                               const std::string& file, const std::string& header);

// The press rows of one test by `name` (UTF-8), dated `date_time` as line 2 of its report block:
// one row per press of `subject`, in order, with its hand and planned outcome; a hit in the cycle
// the subject answered; the signed error within 2 ms and a frame of the subject's own (its press
// time against the moment it saw), with what the subject could not see allowed on top: sampling
// gaps beyond half a frame, and half of any time the ball took longer past the frame than its
// speed gives (the program held up by the machine there).
void CheckPressRows(const std::string& rows, int test_kind, const std::string& name,
                    const std::string& date_time, const Subject& subject);

// The level rows of the same test: levels 1 to 4, each with its exact number of frames (10 cycles
// of 360 / speed for the moving tests; within what 20 flashes can take for the flash test), a
// pacing said, and a mean interval within 1 % of 16.667 ms, or above it by no more than the frames
// the level dropped can explain (a machine that stalls the program, as a missed refresh would).
void CheckLevelRows(const std::string& rows, int test_kind, const std::string& name,
                    const std::string& date_time);

}  // namespace e2e
