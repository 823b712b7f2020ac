// The result report files: one 16-line block per completed test, appended to the file of that
// test in the report folder, as Windows-1251 text with CR LF line ends. A block is written
// whole or not at all, and a finished test is never lost while any place can take it (see
// report/output.h for what the examiner is offered when a file cannot be written).
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

// The low-level calls behind the writer, replaceable so that tests can make any of them fail,
// the rollback and the lock included. Each call behaves like its report_file namesake
// (report/report_file.h), errno included.
struct ReportIo {
  std::function<int(const std::string& path, bool* existed, std::int64_t* size)> open_for_append;
  std::function<int(int fd, int timeout_ms, std::int64_t* end)> lock;
  std::function<int(int fd)> unlock;
  std::function<ssize_t(int fd, const void* data, std::size_t size)> write;
  std::function<int(int fd)> fsync;
  std::function<int(int fd)> close;
  std::function<int(int fd, std::int64_t size)> truncate_open;
  std::function<int(const std::string& path)> remove;
  std::function<int(const std::string& path)> create_new;
  std::function<int(const std::string& from, const std::string& to)> rename;
  // Where files go that the report folder cannot take (the home or documents folder).
  std::function<std::string()> fallback_folder;
  // Where text goes that can be written nowhere else, as UTF-8 (standard error by default), and
  // whether anybody can read it there.
  std::function<void(const std::string& text)> error_stream;
  std::function<bool()> error_stream_reaches;
  // How long an append waits for another writer of the same file (another station).
  int lock_timeout_ms = 10000;
};

// The real calls and standard error.
ReportIo DefaultReportIo();

// The existing report folder whatever the case of its last component (an "отчет" already on
// disk is used for "Отчет/"), else `report_dir` as given. Ends in '/'.
std::string ResolveReportDir(const std::string& report_dir);

// Appends the session's block to the report file of s.TestKind, creating the report folder
// when it is missing, and then the test's timing record to its two files (report/record.h), by
// the rules of SaveOutputs (report/output.h): what cannot be written is offered again or saved
// apart, and never lost while any place can take it. The session itself is not changed.
void WriteReport(SessionState& s, const ReportIo& io);
void WriteReport(SessionState& s);

}  // namespace tavrik
