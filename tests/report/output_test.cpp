// Saving a finished test's files: every failure of the append, its rollback and its lock with
// what the examiner is told, another try and a file of its own, the last resorts, and many
// writers appending to the same files at once.
#include "report/output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "report/report_file.h"
#include "testkit/fake_services.h"
#include "testkit/folders.h"

namespace tavrik {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

const char kHeader[] = "\xEF\xBB\xBFИспытуемый;Уровень\r\n";
const char kRows[] = "Тест;1\r\nТест;2\r\nТест;3\r\n";
const char kEarlier[] = "\xEF\xBB\xBFИспытуемый;Уровень\r\nРанее;1\r\n";
const LocalTime kWhen{2026, 12, 11, 12, 16, 8, 0};
const char kSeparate[] = "Линейная 2026-12-11 12-16-08.csv";

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes = testkit::InstallFakes(s);
    io.fallback_folder = [this] { return dir.str() + "home/"; };
    io.error_stream = [this](const std::string& text) { streamed += text; };
    io.error_stream_reaches = [] { return true; };
  }
  std::string Path(const char* name = "Линейная.csv") const { return dir.str() + name; }
  std::string Save(const std::string& path = "") {
    part.path = path.empty() ? Path() : path;
    part.header = kHeader;
    part.data = kRows;
    part.label = "Запись времени:";
    return SaveOutputs({part}, "Тест", kWhen, s.services, io);
  }

  testkit::ScratchDir dir;
  SessionState s;
  std::shared_ptr<testkit::FakeServices> fakes;
  ReportIo io = DefaultReportIo();
  OutputPart part;
  std::string streamed;
};

TEST(SeparateFileName, TheTestsDateAndTimeBeforeTheExtension) {
  struct Case {
    const char* name;
    int attempt;
    const char* separate;
  } cases[] = {
      {"Линейная.csv", 1, "Линейная 2026-12-11 12-16-08.csv"},
      {"Линейная-кадры.csv", 1, "Линейная-кадры 2026-12-11 12-16-08.csv"},
      {"ВСПЫШКА.TXT", 3, "ВСПЫШКА 2026-12-11 12-16-08 (3).TXT"},
      {"без расширения", 1, "без расширения 2026-12-11 12-16-08"},
  };
  for (const Case& c : cases) EXPECT_EQ(SeparateFileName(c.name, kWhen, c.attempt), c.separate);
}

// Each way the append, its rollback or its lock can fail: what the file holds afterwards, whether
// the examiner is asked to try again, and what the messages say. The examiner's answer is always
// "save separately", so every case ends with the rows whole in a file of their own.
TEST_F(OutputTest, EachFailureOfTheAppendTheRollbackAndTheLock) {
  // The failures are made in the calls on the file itself; the file of its own beside it is
  // written by the real calls.
  using Own = std::function<bool(int fd)>;
  struct Case {
    const char* what;
    bool file_there;
    std::function<void(ReportIo&, const std::string& path, const Own& own)> fail;
    const char* file_after;  // nullptr: no file
    bool asked;              // may be tried again in its file
    const char* told;        // in the question, or else in the last message
  };
  const auto fail_with = [](int error) {
    return [error](auto...) {
      errno = error;
      return -1;
    };
  };
  // Writes half of what it is given, then fails.
  const auto half_then_eio = [](ReportIo& x, const std::string&, const Own& own) {
    x.write = [own](int fd, const void* data, std::size_t size) -> ssize_t {
      if (!own(fd)) return report_file::Write(fd, data, size);
      report_file::Write(fd, data, size / 2);
      errno = EIO;
      return -1;
    };
  };
  const std::string earlier = kEarlier;
  const std::string whole = earlier + kRows;
  const Case cases[] = {
      {"the lock not had within the wait", true,
       [&](ReportIo& x, const std::string&, const Own&) { x.lock = fail_with(ETIMEDOUT); },
       kEarlier, true, "Линейная.csv: файл занят другой станцией дольше 10 с"},
      {"the lock refused", true,
       [&](ReportIo& x, const std::string&, const Own&) { x.lock = fail_with(ENOLCK); }, kEarlier,
       true, std::strerror(ENOLCK)},
      {"a write fails and the cut back fails too", true,
       [&](ReportIo& x, const std::string& p, const Own& own) {
         half_then_eio(x, p, own);
         x.truncate_open = fail_with(EROFS);
       },
       nullptr, false, "файл не удалось вернуть к прежнему виду"},
      {"the sync fails, the cut back works", true,
       [&](ReportIo& x, const std::string&, const Own& own) {
         x.fsync = [own](int fd) {
           if (!own(fd)) return report_file::Sync(fd);
           errno = EIO;
           return -1;
         };
       },
       kEarlier, true, std::strerror(EIO)},
      {"a file this call made cannot be removed again", false,
       [&](ReportIo& x, const std::string& p, const Own& own) {
         half_then_eio(x, p, own);
         x.remove = fail_with(EBUSY);
       },
       "", true, std::strerror(EIO)},
      {"the close fails, the bytes are cut off again", true,
       [&](ReportIo& x, const std::string&, const Own& own) {
         x.close = [own, closes = std::make_shared<int>(0)](int fd) {
           const bool mine = own(fd);
           report_file::Close(fd);
           if (!mine || (*closes)++ > 0) return 0;
           errno = EIO;
           return -1;
         };
       },
       kEarlier, true, std::strerror(EIO)},
      {"the close fails and another station appended since", true,
       [&](ReportIo& x, const std::string& p, const Own& own) {
         x.close = [p, own, closes = std::make_shared<int>(0)](int fd) {
           const bool mine = own(fd);
           report_file::Close(fd);
           if (!mine || (*closes)++ > 0) return 0;
           std::ofstream(fs::u8path(p), std::ios::binary | std::ios::app) << "Другая;1\r\n";
           errno = EIO;
           return -1;
         };
       },
       nullptr, false, "после этой записи в него уже писала другая станция"},
      {"the unlock fails: the close lets go all the same", true,
       [&](ReportIo& x, const std::string&, const Own&) { x.unlock = fail_with(EBADF); }, nullptr,
       false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir.path());
    fs::create_directories(dir.path());
    if (c.file_there) WriteBytes(fs::u8path(Path()), earlier);
    fakes->asked.clear();
    fakes->errors.clear();
    ReportIo saved = io;
    // The descriptors open on the file itself.
    auto own_fds = std::make_shared<std::set<int>>();
    c.fail(io, Path(), [own_fds](int fd) { return own_fds->count(fd) > 0; });
    io.open_for_append = [own_fds, open = io.open_for_append](const std::string& path,
                                                              bool* existed, std::int64_t* size) {
      const int fd = open(path, existed, size);
      if (fd >= 0) own_fds->insert(fd);
      return fd;
    };
    io.close = [own_fds, close = io.close](int fd) {
      const int result = close(fd);
      own_fds->erase(fd);
      return result;
    };
    const std::string message = Save();
    io = saved;

    const std::string after = ReadBytes(fs::u8path(Path()));
    if (!c.told) {
      EXPECT_EQ(after, whole);
      EXPECT_TRUE(message.empty()) << message;
      EXPECT_TRUE(fakes->asked.empty());
      continue;
    }
    if (c.file_after) {
      EXPECT_EQ(after, c.file_after) << "the file as it was";
    } else {
      EXPECT_NE(after, earlier) << "left with bytes that could not be cut off";
    }
    EXPECT_EQ(fakes->asked.size(), c.asked ? 1u : 0u);
    const std::string told = c.asked ? fakes->asked[0] : message;
    EXPECT_TRUE(Has(told, c.told)) << told;
    EXPECT_TRUE(Has(message, "Сохранено отдельно:\n- " + Path(kSeparate))) << message;
    EXPECT_EQ(ReadBytes(fs::u8path(Path(kSeparate))), std::string(kHeader) + kRows);
    EXPECT_TRUE(streamed.empty()) << streamed;
  }
}

TEST_F(OutputTest, RetryWritesExactlyWhatFailedOnce) {
  WriteBytes(fs::u8path(Path()), kEarlier);
  // The record file is held by a spreadsheet for its first two opens: the examiner closes it and
  // tries again twice.
  auto opens = std::make_shared<int>(0);
  const std::string held = Path();
  io.open_for_append = [opens, held](const std::string& path, bool* existed, std::int64_t* size) {
    if (path == held && (*opens)++ < 2) {
      errno = EBUSY;
      return -1;
    }
    return report_file::OpenForAppend(path, existed, size);
  };
  fakes->choices = {SaveChoice::kRetry, SaveChoice::kRetry};
  OutputPart other{Path("Линейная.txt"), "", "блок\r\n", false, "Результаты:", "блок"};
  part = {Path(), kHeader, kRows, false, "Запись:", ""};
  const std::string message = SaveOutputs({other, part}, "Тест", kWhen, s.services, io);

  EXPECT_TRUE(message.empty()) << message;
  ASSERT_EQ(fakes->asked.size(), 2u);
  EXPECT_TRUE(Has(fakes->asked[0],
                  "Не удалось записать результаты испытуемого «Тест» "
                  "(11.12.2026 12:16:08):\n- " +
                      Path() + ": файл открыт в другой программе"))
      << fakes->asked[0];
  EXPECT_FALSE(Has(fakes->asked[0], "Линейная.txt")) << "only what failed";
  EXPECT_EQ(ReadBytes(fs::u8path(Path("Линейная.txt"))), "блок\r\n");
  EXPECT_EQ(ReadBytes(fs::u8path(Path())), std::string(kEarlier) + kRows);
  EXPECT_FALSE(fs::exists(fs::u8path(Path(kSeparate))));
}

TEST_F(OutputTest, SavedSeparatelyUnderTheNextFreeName) {
  WriteBytes(fs::u8path(Path(kSeparate)), "an earlier test of the same second");
  io.open_for_append = [](auto...) {
    errno = EBUSY;
    return -1;
  };
  fakes->choices = {SaveChoice::kRetry};  // still held: asked again, then saved apart
  const std::string message = Save();
  EXPECT_EQ(fakes->asked.size(), 2u);
  const std::string second = Path("Линейная 2026-12-11 12-16-08 (2).csv");
  EXPECT_EQ(ReadBytes(fs::u8path(second)), std::string(kHeader) + kRows);
  EXPECT_EQ(ReadBytes(fs::u8path(Path(kSeparate))), "an earlier test of the same second");
  EXPECT_TRUE(Has(message, "- " + second + " (вместо " + Path() + ": файл открыт")) << message;
}

TEST_F(OutputTest, AFolderThatCannotBeWrittenSendsThePartsToTheFallbackFolder) {
  WriteBytes(dir.path() / "plain", "x");
  const std::string message = Save(dir.str() + "plain/Отчет/Линейная.csv");
  ASSERT_EQ(fakes->asked.size(), 1u);
  EXPECT_TRUE(Has(fakes->asked[0], "не удалось создать папку " + dir.str() + "plain/Отчет/"))
      << fakes->asked[0];
  const std::string saved = dir.str() + "home/" + kSeparate;
  EXPECT_EQ(ReadBytes(fs::u8path(saved)), std::string(kHeader) + kRows);
  EXPECT_TRUE(Has(message, "Сохранено отдельно:\n- " + saved)) << message;
}

TEST_F(OutputTest, WhatNoPlaceTakesIsShownAndGoesToStandardErrorOnlyWhereItReaches) {
  for (const bool reaches : {true, false}) {
    SCOPED_TRACE(reaches ? "standard error reaches somebody" : "standard error goes nowhere");
    streamed.clear();
    io.write = [](auto...) -> ssize_t {
      errno = ENOSPC;
      return -1;
    };
    io.error_stream_reaches = [reaches] { return reaches; };
    OutputPart block{
        Path("Линейная.txt"), "", "cp1251 bytes", false, "Результаты:", "Испытуемый: Тест\r\n"};
    const std::string message = SaveOutputs({block}, "Тест", kWhen, s.services, io);
    EXPECT_TRUE(Has(message, "Не удалось записать нигде")) << message;
    EXPECT_TRUE(Has(message, "диск заполнен")) << message;
    EXPECT_TRUE(Has(message, "Перепишите их отсюда:\n\nИспытуемый: Тест\r\n")) << message;
    EXPECT_EQ(Has(message, "стандартный поток ошибок"), reaches) << message;
    EXPECT_EQ(streamed, reaches ? "Результаты:\nИспытуемый: Тест\r\n" : "");
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
      EXPECT_FALSE(entry.is_regular_file()) << "left behind: " << entry.path();
    }
  }
}

TEST_F(OutputTest, AReplacedFileIsWholeOldOrWholeNew) {
  const fs::path file = fs::u8path(Path("Протоколы.html"));
  WriteBytes(file, "old");
  WriteFailure failure;
  ASSERT_TRUE(ReplaceWhole(Path("Протоколы.html"), "new page", io, &failure));
  EXPECT_EQ(ReadBytes(file), "new page");

  io.fsync = [](auto...) {
    errno = EIO;
    return -1;
  };
  EXPECT_FALSE(ReplaceWhole(Path("Протоколы.html"), "newer", io, &failure));
  EXPECT_EQ(failure.error, EIO);
  EXPECT_EQ(ReadBytes(file), "new page");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "no temporary file left";
}

#ifndef _WIN32
// The text of block `j` of writer `i`: several rows of a length of its own, each naming the block,
// so that a torn, doubled or interleaved block shows.
std::string StressBlock(int i, int j) {
  std::string block;
  const int rows = 1 + (i * 7 + j * 3) % 12;
  for (int r = 0; r < rows; ++r) {
    block += "P" + std::to_string(i) + "-" + std::to_string(j) + ";" + std::to_string(r) + ";" +
             std::string(static_cast<std::size_t>((i + j + r) % 40), 'x') + "\r\n";
  }
  return block;
}

// The blocks of a file after its header, each as "i-j", in order; fails on any row that does not
// continue the block it is in or start a new one at row 0.
std::vector<std::string> BlocksOf(const std::string& rows, const char* what) {
  std::vector<std::string> blocks;
  std::size_t at = 0;
  while (at < rows.size()) {
    const std::size_t semi = rows.find(';', at);
    const std::size_t dash = rows.find('-', at);
    EXPECT_EQ(rows.compare(at, 1, "P"), 0) << what << ": a row that is no row at " << at;
    if (semi == std::string::npos || dash == std::string::npos) break;
    const std::string id = rows.substr(at + 1, semi - at - 1);
    const int i = std::stoi(id.substr(0, id.find('-'))), j = std::stoi(id.substr(id.find('-') + 1));
    const std::string expected = StressBlock(i, j);
    EXPECT_EQ(rows.compare(at, expected.size(), expected), 0)
        << what << ": block " << id << " not whole at " << at;
    blocks.push_back(id);
    at += expected.size();
  }
  return blocks;
}

// Eight processes append fifty blocks each to the same report and record files, with one write
// in eight failing halfway and one sync in eight failing: every block that was said to be written
// is there whole and once, no other is, and the record file has its header once, at the top.
TEST_F(OutputTest, EightWritersAtOnceLeaveOnlyWholeBlocks) {
  constexpr int kWriters = 8, kBlocks = 50;
  const std::string report = Path("Линейная.txt"), record = Path();
  std::vector<pid_t> children;
  for (int i = 0; i < kWriters; ++i) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0) << std::strerror(errno);
    if (pid > 0) {
      children.push_back(pid);
      continue;
    }
    std::mt19937 random(static_cast<unsigned>(1000 + i));
    ReportIo x = DefaultReportIo();
    x.write = [&random](int fd, const void* data, std::size_t size) -> ssize_t {
      if (random() % 8 == 0) {
        report_file::Write(fd, data, size / 2);
        errno = EIO;
        return -1;
      }
      return report_file::Write(fd, data, size);
    };
    x.fsync = [&random](int fd) {
      if (random() % 8 == 0) {
        errno = EIO;
        return -1;
      }
      return report_file::Sync(fd);
    };
    std::string written;
    for (int j = 0; j < kBlocks; ++j) {
      WriteFailure failure;
      const std::string block = StressBlock(i, j);
      const bool in_report = AppendWhole(report, "", block, x, &failure);
      const bool in_record = AppendWhole(record, kHeader, block, x, &failure);
      written += std::to_string(in_report) + std::to_string(in_record);
    }
    WriteBytes(dir.path() / ("writer" + std::to_string(i)), written);
    ::_exit(0);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer ended with " << status;
  }

  std::set<std::string> in_report, in_record;
  for (int i = 0; i < kWriters; ++i) {
    const std::string written = ReadBytes(dir.path() / ("writer" + std::to_string(i)));
    ASSERT_EQ(written.size(), 2u * kBlocks);
    for (int j = 0; j < kBlocks; ++j) {
      const std::string id = std::to_string(i) + "-" + std::to_string(j);
      if (written[2 * j] == '1') in_report.insert(id);
      if (written[2 * j + 1] == '1') in_record.insert(id);
    }
  }
  EXPECT_GT(in_report.size(), kWriters * kBlocks / 2u);
  EXPECT_LT(in_report.size(), kWriters * kBlocks * 1u) << "the failures were injected";

  const std::vector<std::string> report_blocks = BlocksOf(ReadBytes(fs::u8path(report)), "report");
  const std::string record_bytes = ReadBytes(fs::u8path(record));
  ASSERT_EQ(record_bytes.compare(0, std::strlen(kHeader), kHeader), 0) << "the header first";
  const std::vector<std::string> record_blocks =
      BlocksOf(record_bytes.substr(std::strlen(kHeader)), "record");
  for (const auto& [blocks, said] :
       {std::pair{&report_blocks, &in_report}, std::pair{&record_blocks, &in_record}}) {
    EXPECT_EQ(std::set<std::string>(blocks->begin(), blocks->end()), *said);
    EXPECT_EQ(blocks->size(), said->size()) << "a block written twice";
  }
}
#endif

}  // namespace
}  // namespace tavrik
