// Writing the per-test report files.
#include "report/report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "codepage/cp1251.h"
#include "filenames/path_lookup.h"
#include "report/record.h"
#include "report/report_file.h"

namespace tavrik {

namespace {

constexpr char kCrLf[] = "\r\n";

std::string Cp(const char* utf8) {
  return Utf8ToCp1251(utf8);
}

std::string ResultRow(const ResultTable& results, int level) {
  std::string row = Cp("Испытание №") + " " + std::to_string(level) + "    ";
  for (int cycle = 1; cycle <= 10; ++cycle) row += "," + results[level][cycle];
  return row;
}

}  // namespace

std::string ReportFileName(Integer test_kind) {
  switch (test_kind) {
    case kTestCircular:
      return "Круговая.txt";
    case kTestLinear:
      return "Линейная.txt";
    case kTestFlash:
      return "Вспышка.txt";
    default:
      return "";
  }
}

std::string FormatReportDateTime(const LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour,
                t.minute, t.second);
  return text;
}

std::string BuildReportBlock(const SessionState& s, const LocalTime& now) {
  // Rows 1..4 and cycles 1..10 are fixed here: the file layout does not follow the counts.
  std::string block;
  block += Cp("Испытуемый: ") + s.SubjectName + kCrLf;
  block += Cp("Дата и время: ") + FormatReportDateTime(now) + kCrLf;
  block += kCrLf;
  block += Cp("Левая рука:") + kCrLf;
  for (int level = 1; level <= 4; ++level) block += ResultRow(s.LeftResults, level) + kCrLf;
  block += kCrLf;
  block += Cp("Правая рука:") + kCrLf;
  for (int level = 1; level <= 4; ++level) block += ResultRow(s.RightResults, level) + kCrLf;
  block += kCrLf;
  block += kCrLf;
  return block;
}

ReportIo DefaultReportIo() {
  ReportIo io;
  io.open_for_append = report_file::OpenForAppend;
  io.write = report_file::Write;
  io.fsync = report_file::Sync;
  io.close = report_file::Close;
  io.error_stream = [](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  };
  return io;
}

std::string ResolveReportDir(const std::string& report_dir) {
  std::string dir = report_dir;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  const std::size_t slash = dir.rfind('/');
  if (slash == std::string::npos) {
    // A folder relative to the working directory.
    if (dir.empty()) return report_dir;
    const std::string found = ResolveCaseInsensitive("./", dir);
    return found.substr(2) + "/";
  }
  const std::string parent = dir.substr(0, slash + 1);
  const std::string last = dir.substr(slash + 1);
  if (last.empty()) return report_dir;
  return ResolveCaseInsensitive(parent, last) + "/";
}

bool AppendWhole(const std::string& path, const std::string& data, const ReportIo& io,
                 std::string* cause, const std::string& header) {
  bool existed = false;
  std::int64_t size_before = 0;
  const int fd = io.open_for_append(path, &existed, &size_before);
  if (fd < 0) {
    *cause = std::strerror(errno);
    return false;
  }

  // A file that is new, or empty, starts with the header; it goes in the same whole write.
  std::string with_header;
  const std::string* whole = &data;
  if (size_before == 0 && !header.empty()) {
    with_header = header + data;
    whole = &with_header;
  }
  int error = 0;
  std::size_t done = 0;
  while (done < whole->size()) {
    const ssize_t n = io.write(fd, whole->data() + done, whole->size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (n == 0) {
      // A write that moves nothing would loop for ever; treat it as the device giving up.
      error = EIO;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  // EINVAL: the file cannot be synchronised at all (not a regular file); the data is written.
  if (error == 0 && io.fsync(fd) != 0 && errno != EINVAL) error = errno;

  bool closed = false;
  if (error == 0) {
    closed = true;
    if (io.close(fd) != 0) error = errno;
  }
  if (error == 0) return true;

  *cause = std::strerror(error);
  // Part of the block may be in the file: cut it back so that the file never holds a torn
  // block, or take away the file this call created.
  int restore = 0;
  if (!existed) {
    if (!closed) io.close(fd);
    if (report_file::Remove(path) != 0) restore = errno;
  } else if (closed) {
    if (report_file::Truncate(path, size_before) != 0) restore = errno;
  } else {
    if (report_file::TruncateOpen(fd, size_before) != 0) restore = errno;
    io.close(fd);
  }
  if (restore != 0) {
    *cause += "; файл не удалось вернуть к прежнему виду: ";
    *cause += std::strerror(restore);
  }
  return false;
}

namespace {

// Makes sure the report folder exists; `dir` gets it as the program finds it. Returns the reason
// when it cannot be had, else an empty string.
std::string PrepareReportFolder(const std::string& report_dir, std::string* dir) {
  *dir = ResolveReportDir(report_dir);
  std::error_code ec;
  // Without the trailing separator: some libraries report an error for "a/b/" once created.
  std::string folder = *dir;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty()) folder = ".";
  const std::filesystem::path dir_path = std::filesystem::u8path(folder);
  // A missing report folder must not cost the subject a finished test.
  if (!std::filesystem::is_directory(dir_path, ec)) {
    std::filesystem::create_directories(dir_path, ec);
  }
  if (ec) return "не удалось создать папку отчетов: " + ec.message();
  return "";
}

// Appends the test's timing record to its two files in `dir` (or tries to, when `folder_cause`
// says the folder is missing). Returns what the examiner must be told; empty when all is written.
std::string AppendTimingRecord(const SessionState& s, const LocalTime& now, const std::string& dir,
                               const std::string& folder_cause, const ReportIo& io) {
  struct RecordFile {
    std::string name, header, rows;
  };
  std::vector<RecordFile> files;
  try {
    files.push_back({PressRecordFileName(s.TestKind), PressRecordHeader(), BuildPressRows(s, now)});
    files.push_back({FrameRecordFileName(s.TestKind), FrameRecordHeader(), BuildFrameRows(s, now)});
  } catch (const std::exception& e) {
    return std::string("Запись времени не составлена: ") + e.what() + ".";
  }
  std::string told;
  const std::string name = Cp1251ToUtf8(s.SubjectName);
  for (const RecordFile& file : files) {
    std::string path = dir + file.name;
    std::string cause = folder_cause;
    bool written = false;
    if (cause.empty()) {
      path = ResolveCaseInsensitive(dir, file.name);
      written = AppendWhole(path, file.rows, io, &cause, kUtf8Bom + file.header);
    }
    if (written) continue;
    io.error_stream("Запись времени испытуемого «" + name + "» для файла " + path + ":\n" +
                    file.header + file.rows);
    told += (told.empty() ? "" : "\n") + std::string("Не удалось записать файл ") + path + ": " +
            cause + ". Его строки выведены в стандартный поток ошибок.";
  }
  if (s.Timing.presses_lost > 0) {
    told += (told.empty() ? "" : "\n") + std::string("В запись времени не вошли ") +
            std::to_string(s.Timing.presses_lost) + " нажатий: она вмещает " +
            std::to_string(TimingRecord::kMaxPresses) + ".";
  }
  return told;
}

}  // namespace

void WriteReport(SessionState& s, const ReportIo& io) {
  const LocalTime now = s.services.Now();
  const std::string block = BuildReportBlock(s, now);
  const std::string file_name = ReportFileName(s.TestKind);
  const std::string name = Cp1251ToUtf8(s.SubjectName);

  std::string path;
  std::string cause;
  std::string dir;
  std::string folder_cause;
  bool written = false;
  if (file_name.empty()) {
    path = s.ReportDir;
    cause = "нет файла отчета для вида испытания " + std::to_string(s.TestKind);
  } else {
    folder_cause = PrepareReportFolder(s.ReportDir, &dir);
    path = dir + file_name;
    cause = folder_cause;
    if (cause.empty()) {
      path = ResolveCaseInsensitive(dir, file_name);
      written = AppendWhole(path, block, io, &cause);
    }
  }

  std::string message;
  if (!written) {
    // The results go to standard error first, so they survive whatever the message box does.
    io.error_stream("Результаты испытуемого «" + name + "» для файла " + path + ":\n" +
                    Cp1251ToUtf8(block));
    // The message shows the block too: where standard error goes nowhere, the examiner can
    // still copy the results from the screen.
    message = "Не удалось записать отчет в файл " + path + ": " + cause +
              ". Результаты испытуемого «" + name + "» выведены в стандартный поток ошибок:\n\n" +
              Cp1251ToUtf8(block);
  }
  // The record only once the block is in its file or on standard error: nothing that goes wrong
  // with the record can cost the block.
  if (!file_name.empty()) {
    const std::string told = AppendTimingRecord(s, now, dir, folder_cause, io);
    if (!told.empty()) message += (message.empty() ? "" : "\n") + told;
  }
  if (!message.empty()) s.services.ShowError(message);
}

void WriteReport(SessionState& s) {
  WriteReport(s, DefaultReportIo());
}

}  // namespace tavrik
