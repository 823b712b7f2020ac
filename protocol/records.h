// A finished test as the report folder keeps it, read back: the rows of its press record and of
// its frame record (UTF-8 CSV, see csv.h) and its report block (Windows-1251 text). The record
// files are the source of truth for every figure; the block gives the hits table, and the
// subject and time exactly as the examiner saw them.
//
// What cannot be read is named, file and line, and skipped: one malformed row costs that row,
// a file whose header is not the program's costs that file, and the rest is read on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/test_constants.h"

namespace tavrik::protocol {

// Something that could not be read: the file (as the caller named it), its line (0: the whole
// file) and what is wrong, in the examiner's words.
struct ReadProblem {
  std::string file;
  int line = 0;
  std::string what;
};
std::string ProblemText(const ReadProblem& p);  // "<file>, строка <line>: <what>"

enum class Outcome { kHit, kMiss, kLatched };
enum Hand : int { kLeft = 0, kRight = 1 };

// One row of "<Test>.csv".
struct PressRow {
  std::string subject;  // UTF-8
  std::string when;     // "dd.mm.yyyy HH:MM:SS", as line 2 of the block
  int level = 0;        // 1..kLevelCount
  int cycle = 0;
  Hand hand = kLeft;
  Outcome outcome = Outcome::kMiss;
  int frame = 0;
  bool timed = false;  // "Время, мс" is given
  double time_ms = 0;
  bool deviates = false;  // "Отклонение, мс" is given
  double deviation_ms = 0;
};

// One row of "<Test>-кадры.csv".
struct FrameRow {
  std::string subject, when;
  int level = 0;
  int frames = 0;
  double display_hz = 0;  // 0: not known
  std::string pacing;     // "Темп" as written
  bool measured = false;  // the interval columns are given
  double mean_ms = 0, sd_ms = 0, max_ms = 0;
  int dropped = 0;
};

// One block of "<Test>.txt".
struct ReportBlock {
  std::string subject;  // UTF-8, with its outer blanks
  std::string when;
  // hits[hand][level - 1][cycle - 1]: the "1 " cells.
  bool hits[2][kLevelCount][kCyclesPerLevel] = {};
  int first_line = 0;  // line of "Испытуемый:" in its file
};

// The header rows the record files begin with, as field lists.
const std::vector<std::string>& PressHeader();
const std::vector<std::string>& FrameHeader();

// The rows of a press record text. `file` names it in problems. With `has_header`, the first row
// must be the program's header; without it the text is rows only (a finished test's own rows).
std::vector<PressRow> ReadPressRows(std::string_view text, const std::string& file, bool has_header,
                                    std::vector<ReadProblem>* problems);
std::vector<FrameRow> ReadFrameRows(std::string_view text, const std::string& file, bool has_header,
                                    std::vector<ReadProblem>* problems);

// The blocks of a report file's Windows-1251 text, in file order.
std::vector<ReportBlock> ReadReportBlocks(std::string_view cp1251, const std::string& file,
                                          std::vector<ReadProblem>* problems);

// "dd.mm.yyyy HH:MM:SS" as "yyyy-mm-dd HH-MM-SS" (sortable, a file name's part) and as a sort key
// "yyyymmddHHMMSS"; empty when `when` is not in that form.
std::string SortableWhen(const std::string& when);
std::string WhenKey(const std::string& when);

}  // namespace tavrik::protocol
