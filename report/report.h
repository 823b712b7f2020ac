// The result report files: one 16-line block per completed test, appended to the file of that
// test in the report folder, as Windows-1251 text with CR LF line ends. A block is written
// whole or not at all; when it cannot be written it goes to standard error instead, so a
// finished test is never lost.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/session_state.h"

namespace tavrik {

// The report file of a test kind ("Круговая.txt", "Линейная.txt", "Вспышка.txt"; UTF-8), or
// an empty string for a kind that has none.
std::string ReportFileName(Integer test_kind);

// Line 2's date and time: dd.mm.yyyy HH:MM:SS, 24-hour clock, leading zeros.
std::string FormatReportDateTime(const LocalTime& t);

// The whole block for the session's subject and results, in Windows-1251 bytes, every line
// ended by CR LF.
std::string BuildReportBlock(const SessionState& s, const LocalTime& now);

// The low-level calls behind an append, replaceable so that tests can make a write fail
// halfway. Each call behaves like its POSIX namesake, errno included.
struct ReportIo {
  // report_file::OpenForAppend's meaning.
  std::function<int(const std::string& path, bool* existed, std::int64_t* size)> open_for_append;
  std::function<ssize_t(int fd, const void* data, std::size_t size)> write;
  std::function<int(int fd)> fsync;
  std::function<int(int fd)> close;
  // Where a block that could not be written goes, as UTF-8 text (standard error by default).
  std::function<void(const std::string& text)> error_stream;
};

// The real calls and standard error.
ReportIo DefaultReportIo();

// The existing report folder whatever the case of its last component (an "отчет" already on
// disk is used for "Отчет/"), else `report_dir` as given. Ends in '/'.
std::string ResolveReportDir(const std::string& report_dir);

// Appends `data` to the file at `path` (created with mode 0644 when absent) as a whole, with
// `header` in front when the file is new or empty: on any failure the file is brought back to its
// size before, or removed again when this call created it. Returns true on success; otherwise
// `cause` gets the reason.
bool AppendWhole(const std::string& path, const std::string& data, const ReportIo& io,
                 std::string* cause, const std::string& header = "");

// Appends the session's block to the report file of s.TestKind, creating the report folder
// when it is missing, and then the test's timing record to its two files (report/record.h). On
// failure the block, or the rows of a record file, go to io.error_stream, and the examiner is told
// of every file that was not written in one message through s.services.ShowError; the session
// itself is not changed.
void WriteReport(SessionState& s, const ReportIo& io);
void WriteReport(SessionState& s);

}  // namespace tavrik
