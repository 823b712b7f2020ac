// The protocol's files of a finished test, as data for the report writer to save, and the
// rebuilding of every protocol of a report folder from its record files.
//
//   Отчет/Сводка.csv                    one row per completed test, appended (header once)
//   Отчет/Протоколы/<Test> <when> <name>.html   the test's protocol, replaced whole
//   Отчет/Протоколы.html                the index, made again from the summary, replaced whole
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/records.h"
#include "protocol/session.h"

namespace tavrik::protocol {

// Names in the report folder (UTF-8).
extern const char kSummaryFile[];  // "Сводка.csv"
extern const char kIndexFile[];    // "Протоколы.html"
extern const char kProtocolDir[];  // "Протоколы"

// A file to write: `data` appended whole, with `header` in front when the file is new or empty,
// or, with `replace`, the whole file replaced by `data`.
struct ProtocolFile {
  std::string path;
  std::string header;
  std::string data;
  bool replace = false;
};

// A finished test from what the report writer has built for it: the block (Windows-1251), the
// press and frame rows (without headers), and the program's colour depth.
Session SessionOfTest(int test_kind, std::string_view block_cp1251, std::string_view press_rows,
                      std::string_view frame_rows, int bits_per_pixel,
                      std::vector<ReadProblem>* problems);

// The three files of a finished test. `report_dir` ends in '/'; `summary_text` is Сводка.csv as
// it is now (empty when there is none), which the index is made from together with this test.
std::vector<ProtocolFile> ProtocolFiles(const Session& s, const std::string& report_dir,
                                        std::string_view summary_text);

// The whole of a file, or false when it cannot be read (a missing file reads as empty, true).
bool ReadWholeFile(const std::string& path, std::string* text);

// Replaces the file at `path` (its folder made when missing) by `data` through a temporary file
// beside it and a rename, so that a reader never sees half of it. Without the report writer's
// lock and sync: tavrik-protocol's writes, which it can always make again.
bool RewriteFile(const std::string& path, const std::string& data, std::string* cause);

// Rebuilds Сводка.csv, every protocol and the index of `report_dir` (ending in '/') from its
// report and record files; programs of earlier rows are kept from the old summary. Each file goes
// to `write` as soon as it is made (the summary first, then the protocols, the index last), so
// that the pages of a large folder are never all in memory at once. `progress` (may be empty) is
// told (done, total) now and then; what cannot be read goes to `problems` and is skipped.
// Returns the number of files made, or -1 with `cause` set when the folder cannot be read.
int RebuildFolder(const std::string& report_dir,
                  const std::function<void(const ProtocolFile&)>& write,
                  const std::function<void(int, int)>& progress, std::vector<ReadProblem>* problems,
                  std::string* cause);

}  // namespace tavrik::protocol
