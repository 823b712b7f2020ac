// Writing the per-test report files.
#include "report/report.h"

#include <cstdio>
#include <vector>

#include "codepage/cp1251.h"
#include "filenames/path_lookup.h"
#include "protocol/protocol.h"
#include "report/output.h"
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
  io.lock = report_file::Lock;
  io.unlock = report_file::Unlock;
  io.write = report_file::Write;
  io.fsync = report_file::Sync;
  io.close = report_file::Close;
  io.truncate_open = report_file::TruncateOpen;
  io.remove = report_file::Remove;
  io.create_new = report_file::CreateNew;
  io.rename = report_file::Rename;
  io.fallback_folder = report_file::FallbackFolder;
  io.error_stream = [](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  };
  io.error_stream_reaches = report_file::ErrorStreamReaches;
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

namespace {

// The protocol's three files (protocol/protocol.h), made from the block and the record rows of
// the first three parts, appended after them.
void AddProtocolParts(const SessionState& s, const std::string& dir, const std::string& name,
                      std::vector<OutputPart>& parts) {
  std::vector<protocol::ReadProblem> problems;
  const protocol::Session session =
      protocol::SessionOfTest(s.TestKind, parts[0].data, parts[1].data, parts[2].data,
                              s.BitsPerPixel, &problems);
  std::string summary;
  // A summary that cannot be read leaves the earlier sessions out of the page and the index;
  // the new row is still appended to it.
  protocol::ReadWholeFile(ResolveCaseInsensitive(dir, protocol::kSummaryFile), &summary);
  for (protocol::ProtocolFile& f : protocol::ProtocolFiles(session, dir, summary)) {
    const std::string label = "Протокол испытуемого «" + name + "», файл " + f.path + ":";
    parts.push_back({f.path, std::move(f.header), std::move(f.data), f.replace, label, ""});
  }
}

}  // namespace

void WriteReport(SessionState& s, const ReportIo& io) {
  const LocalTime now = s.services.Now();
  const std::string block = BuildReportBlock(s, now);
  const std::string file_name = ReportFileName(s.TestKind);
  const std::string name = Cp1251ToUtf8(s.SubjectName);
  if (file_name.empty()) {
    io.error_stream("Результаты испытуемого «" + name + "»:\n" + Cp1251ToUtf8(block));
    s.services.ShowError("Нет файла отчета для вида испытания " + std::to_string(s.TestKind) +
                         ". Результаты испытуемого «" + name + "»:\n\n" + Cp1251ToUtf8(block));
    return;
  }

  // The block first, then the record: nothing that goes wrong with the record can cost the
  // block its place.
  const std::string dir = ResolveReportDir(s.ReportDir);
  std::vector<OutputPart> parts;
  const std::string report_path = ResolveCaseInsensitive(dir, file_name);
  parts.push_back({report_path, "", block, false,
                   "Результаты испытуемого «" + name + "» для файла " + report_path + ":",
                   Cp1251ToUtf8(block)});
  std::string told;
  try {
    const std::string press_path = ResolveCaseInsensitive(dir, PressRecordFileName(s.TestKind));
    const std::string frame_path = ResolveCaseInsensitive(dir, FrameRecordFileName(s.TestKind));
    const std::string label = "Запись времени испытуемого «" + name + "» для файла ";
    parts.push_back({press_path, kUtf8Bom + PressRecordHeader(), BuildPressRows(s, now), false,
                     label + press_path + ":", ""});
    parts.push_back({frame_path, kUtf8Bom + FrameRecordHeader(), BuildFrameRows(s, now), false,
                     label + frame_path + ":", ""});
  } catch (const std::exception& e) {
    told = std::string("Запись времени не составлена: ") + e.what() + ".";
  }
  // The protocol's files last, made from the parts above: a protocol that cannot be made or
  // written never costs the block or the record.
  if (parts.size() == 3) {
    try {
      AddProtocolParts(s, dir, name, parts);
    } catch (const std::exception& e) {
      told += (told.empty() ? "" : "\n") + std::string("Протокол не составлен: ") + e.what() + ".";
    }
  }

  std::string message = SaveOutputs(parts, name, now, s.services, io);
  if (s.Timing.presses_lost > 0) {
    told += (told.empty() ? "" : "\n") + std::string("В запись времени не вошли ") +
            std::to_string(s.Timing.presses_lost) + " нажатий: она вмещает " +
            std::to_string(TimingRecord::kMaxPresses) + ".";
  }
  if (!told.empty()) message += (message.empty() ? "" : "\n") + told;
  if (!message.empty()) s.services.ShowError(message);
}

void WriteReport(SessionState& s) {
  WriteReport(s, DefaultReportIo());
}

}  // namespace tavrik
