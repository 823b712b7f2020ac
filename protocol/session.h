// One finished test gathered for its protocol: its report block, its press and frame rows, and
// what the figures and the timing verdict make of them; and the name its protocol file gets.
#pragma once

#include <string>
#include <vector>

#include "protocol/figures.h"
#include "protocol/records.h"

namespace tavrik::protocol {

struct Session {
  int test_kind = 0;  // 1 circular, 2 linear, 3 flash
  std::string subject, when;
  bool has_block = false;
  ReportBlock block;
  std::vector<PressRow> presses;
  std::vector<FrameRow> frames;  // one per level, in level order
  int bits_per_pixel = 0;        // 16 or 32 (Tavrik1, Tavrik2); 0: not known
};

// "Круговая", "Линейная", "Вспышка"; empty for another kind.
std::string TestName(int test_kind);
int TestKindOfName(const std::string& name);  // 0 for none

// The timing of a test as its frame record shows it.
struct TimingVerdict {
  bool recorded = false;  // the test has frame rows
  bool clean = false;     // recorded, and no level dropped a frame or was paced by measuring
  std::vector<std::string> warnings;  // one per level that is not clean, saying why
  std::string summary;                // the short form for the summary and the index
  int dropped = 0;                    // dropped frames of the whole test
  double display_hz = 0;              // as the last level found it; 0: not known
  std::string pacing;                 // the pacing of all levels when one, else ""
};
TimingVerdict JudgeTiming(const Session& s);

// "Линейная 2026-12-11 12-16-08 Иван Петров.html": safe on Windows (the characters it forbids
// become "_", trailing dots and blanks go), at most 150 bytes of name.
std::string ProtocolFileName(const Session& s);

// Hits from the block's cells: [hand][level] with level 0 for the whole test.
void CountHits(const Session& s, int hits[2][kLevelCount + 1]);

}  // namespace tavrik::protocol
