// The report files as the examiner gets them: what a completed test must have appended, byte for
// byte, written out here independently of the program's own writer.
#pragma once

#include <array>
#include <ctime>
#include <map>
#include <string>

namespace e2e {

// Windows-1251 bytes of UTF-8 text made of ASCII, the Russian letters and "№". Throws Failure on
// any other character.
std::string ToCp1251(const std::string& utf8);

// Hit (true) or not, by level 1..4 and cycle 1..10.
using Results = std::array<std::array<bool, 11>, 5>;

// The block for `name` (UTF-8) with `date_time` standing on line 2.
std::string ExpectedBlock(const std::string& name, const std::string& date_time,
                          const Results& left, const Results& right);

// The contents of the three report files (empty when absent) and the names of every file in
// the report folder.
struct ReportFolder {
  std::map<std::string, std::string> files;  // file name (UTF-8) -> bytes (none for a folder)
  static ReportFolder Read(const std::string& report_dir);
  std::string Listing() const;
};

// Checks that `after` is `before` with exactly one block appended to the file of `test_kind`,
// the others unchanged (but the test's own record files, which record_check.h checks, and the
// protocol's files), and that the block is `name`'s with these results, dated at a local time from
// `from` to `to` (whole seconds, one second of slack each way). Throws Failure showing both blocks
// otherwise. Returns the appended block.
std::string CheckAppendedBlock(const ReportFolder& before, const ReportFolder& after, int test_kind,
                               const std::string& name, const Results& left, const Results& right,
                               std::time_t from, std::time_t to);

// The report file of a test kind (UTF-8 name).
std::string ReportFileName(int test_kind);

// The timing record files beside it: one row per press, one row per level (UTF-8 names).
std::string PressRecordFileName(int test_kind);
std::string FrameRecordFileName(int test_kind);

}  // namespace e2e
