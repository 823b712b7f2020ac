// The report files: the block byte for byte, appending, case-insensitive folder and file, the
// missing folder, and failures that must neither tear the file nor lose the results.
#include "report/report.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "codepage/cp1251.h"
#include "engine/level.h"
#include "report/report_file.h"
#include "testkit/fake_services.h"
#include "testkit/folders.h"

namespace tavrik {
namespace {

namespace fs = std::filesystem;
using testkit::InstallFakes;
using testkit::ScratchDir;

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// The names in a folder, sorted, joined by blanks.
std::string Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().u8string());
  }
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const std::string& n : names) joined += (joined.empty() ? "" : " ") + n;
  return joined;
}

// Fills a result table from ten-character rows of '1' and '0', one per level.
void Fill(ResultTable& t, const char* const rows[4]) {
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= 10; ++j) t[i][j] = rows[i - 1][j - 1] == '1' ? "1 " : "0 ";
  }
}

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession(s);
    fakes = InstallFakes(s);
    fakes->now = LocalTime{2024, 3, 5, 9, 7, 2, 0};
    s.SubjectName = Utf8ToCp1251("Тест");
    s.TestKind = kTestLinear;
    // Files that the report folder cannot take go to the test's own folder, never the home of
    // whoever runs the tests.
    io_.fallback_folder = [this] { return dir.str() + "home/"; };
    s.services.WriteReport = [this](SessionState& session) { WriteReport(session, io_); };
    s.ReportDir = dir.str() + "Отчет/";
    fs::create_directories(dir.path() / fs::u8path("Отчет"));
  }
  fs::path File(const char* utf8) const { return dir.path() / fs::u8path(utf8); }
  // A fallback folder that cannot be made either: what fails goes nowhere but standard error.
  void NoFallback() {
    WriteBytes(File("plain"), "x");
    io_.fallback_folder = [this] { return dir.str() + "plain/home/"; };
  }

  ScratchDir dir;
  SessionState s;
  std::shared_ptr<testkit::FakeServices> fakes;
  ReportIo io_ = DefaultReportIo();
};

const char* const kExampleLeft[4] = {"1101111011", "1011111111", "0111011111", "1111110111"};
const char* const kExampleRight[4] = {"1111011111", "1110111111", "1111111101", "1011111111"};

const char kExampleBlock[] =
    "Испытуемый: Тест\r\n"
    "Дата и время: 05.03.2024 09:07:02\r\n"
    "\r\n"
    "Левая рука:\r\n"
    "Испытание № 1    ,1 ,1 ,0 ,1 ,1 ,1 ,1 ,0 ,1 ,1 \r\n"
    "Испытание № 2    ,1 ,0 ,1 ,1 ,1 ,1 ,1 ,1 ,1 ,1 \r\n"
    "Испытание № 3    ,0 ,1 ,1 ,1 ,0 ,1 ,1 ,1 ,1 ,1 \r\n"
    "Испытание № 4    ,1 ,1 ,1 ,1 ,1 ,1 ,0 ,1 ,1 ,1 \r\n"
    "\r\n"
    "Правая рука:\r\n"
    "Испытание № 1    ,1 ,1 ,1 ,1 ,0 ,1 ,1 ,1 ,1 ,1 \r\n"
    "Испытание № 2    ,1 ,1 ,1 ,0 ,1 ,1 ,1 ,1 ,1 ,1 \r\n"
    "Испытание № 3    ,1 ,1 ,1 ,1 ,1 ,1 ,1 ,1 ,0 ,1 \r\n"
    "Испытание № 4    ,1 ,0 ,1 ,1 ,1 ,1 ,1 ,1 ,1 ,1 \r\n"
    "\r\n"
    "\r\n";

TEST_F(ReportTest, TheExampleBlockByteForByte) {
  Fill(s.LeftResults, kExampleLeft);
  Fill(s.RightResults, kExampleRight);
  const std::string block = BuildReportBlock(s, fakes->now);

  EXPECT_EQ(Cp1251ToUtf8(block), kExampleBlock);
  // Independent of the converter: the first bytes, the number sign, line ends, no BOM.
  ASSERT_GE(block.size(), 4u);
  EXPECT_EQ(block.substr(0, 4), "\xC8\xF1\xEF\xFB");  // "Испы"
  const std::string row_start = "\xC8\xF1\xEF\xFB\xF2\xE0\xED\xE8\xE5 \xB9 1    ,";
  EXPECT_NE(block.find(row_start), std::string::npos) << "'Испытание № 1    ,' with № as 185";
  int crlf = 0;
  for (std::size_t i = 0; i + 1 < block.size(); ++i)
    crlf += block[i] == '\r' && block[i + 1] == '\n';
  EXPECT_EQ(crlf, 16);
  EXPECT_EQ(block.substr(block.size() - 4), "\r\n\r\n");
  EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), 16) << "no bare LF";
  EXPECT_EQ(std::count(block.begin(), block.end(), '\r'), 16) << "no bare CR";
}

TEST_F(ReportTest, NoHitsGiveRowsOfZeros) {
  const std::string text = Cp1251ToUtf8(BuildReportBlock(s, fakes->now));
  for (int level = 1; level <= 4; ++level) {
    const std::string row =
        "Испытание № " + std::to_string(level) + "    ,0 ,0 ,0 ,0 ,0 ,0 ,0 ,0 ,0 ,0 \r\n";
    std::size_t first = text.find(row);
    ASSERT_NE(first, std::string::npos) << row;
    EXPECT_NE(text.find(row, first + 1), std::string::npos) << "both hands: " << row;
  }
}

TEST_F(ReportTest, TheNameKeepsItsOuterBlanks) {
  s.SubjectName = Utf8ToCp1251("  Иван Петров ");
  const std::string text = Cp1251ToUtf8(BuildReportBlock(s, fakes->now));
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "Испытуемый:   Иван Петров ");
}

TEST_F(ReportTest, DateAndTimeText) {
  struct Case {
    LocalTime t;
    const char* text;
  };
  const Case cases[] = {
      {{2024, 3, 5, 9, 7, 2, 999}, "05.03.2024 09:07:02"},
      {{1999, 12, 31, 23, 59, 59, 0}, "31.12.1999 23:59:59"},
      {{2025, 1, 1, 0, 0, 0, 0}, "01.01.2025 00:00:00"},
      {{2024, 7, 14, 13, 5, 0, 0}, "14.07.2024 13:05:00"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatReportDateTime(c.t), c.text);
}

TEST_F(ReportTest, FileNamesByTestKind) {
  EXPECT_EQ(ReportFileName(kTestCircular), "Круговая.txt");
  EXPECT_EQ(ReportFileName(kTestLinear), "Линейная.txt");
  EXPECT_EQ(ReportFileName(kTestFlash), "Вспышка.txt");
  EXPECT_EQ(ReportFileName(0), "");
}

TEST_F(ReportTest, TwoTestsAppendTwoBlocksAndOtherKindsGoToTheirOwnFiles) {
  WriteBytes(File("Отчет/Линейная.txt"), "earlier\r\n");
  const std::string first = BuildReportBlock(s, fakes->now);
  WriteReport(s, io_);
  s.SubjectName = Utf8ToCp1251("Второй");
  s.LeftResults[1][1] = "1 ";
  fakes->now.second = 30;
  const std::string second = BuildReportBlock(s, fakes->now);
  WriteReport(s, io_);

  EXPECT_TRUE(fakes->errors.empty()) << (fakes->errors.empty() ? "" : fakes->errors[0]);
  EXPECT_EQ(ReadBytes(File("Отчет/Линейная.txt")), "earlier\r\n" + first + second);
  EXPECT_FALSE(fs::exists(File("Отчет/Круговая.txt")));
  EXPECT_FALSE(fs::exists(File("Отчет/Вспышка.txt")));

  s.TestKind = kTestFlash;
  const std::string flash = BuildReportBlock(s, fakes->now);
#ifdef _WIN32
  WriteReport(s, io_);
#else
  const mode_t old_mask = ::umask(022);
  WriteReport(s, io_);
  ::umask(old_mask);
#endif
  s.TestKind = kTestCircular;
  const std::string circular = BuildReportBlock(s, fakes->now);
  WriteReport(s, io_);
  EXPECT_EQ(ReadBytes(File("Отчет/Вспышка.txt")), flash);
  EXPECT_EQ(ReadBytes(File("Отчет/Круговая.txt")), circular);
  EXPECT_EQ(ReadBytes(File("Отчет/Линейная.txt")), "earlier\r\n" + first + second);
#ifndef _WIN32  // Windows files have no mode bits
  EXPECT_EQ(fs::status(File("Отчет/Вспышка.txt")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read)
      << "created 0644";
#endif
}

TEST_F(ReportTest, UsesAFolderAndFileThatDifferOnlyInCase) {
  fs::remove(File("Отчет"));
  fs::create_directories(File("отчет"));
  WriteBytes(File("отчет/ЛИНЕЙНАЯ.TXT"), "old\r\n");
  WriteReport(s, io_);
  EXPECT_TRUE(fakes->errors.empty()) << (fakes->errors.empty() ? "" : fakes->errors[0]);
  // Listed, not asked for by name: a file system that ignores case (Windows) finds "Отчет" in
  // "отчет" either way.
  EXPECT_EQ(Names(dir.path()), "отчет") << "no second report folder";
  // The timing record's files and the protocol's go beside it, in the same folder.
  EXPECT_EQ(Names(File("отчет")),
            "ЛИНЕЙНАЯ.TXT Линейная-кадры.csv Линейная.csv Протоколы Протоколы.html Сводка.csv")
      << "no second report file";
  EXPECT_EQ(ReadBytes(File("отчет/ЛИНЕЙНАЯ.TXT")), "old\r\n" + BuildReportBlock(s, fakes->now));
}

TEST_F(ReportTest, CreatesAMissingReportFolder) {
  fs::remove(File("Отчет"));
  s.ReportDir = dir.str() + "deeper/Отчет/";
  WriteReport(s, io_);
  EXPECT_TRUE(fakes->errors.empty()) << (fakes->errors.empty() ? "" : fakes->errors[0]);
  EXPECT_EQ(ReadBytes(File("deeper/Отчет/Линейная.txt")), BuildReportBlock(s, fakes->now));
}

TEST_F(ReportTest, AFolderThatCannotBeMadeSendsTheBlockToStandardError) {
  // A regular file where the program's folder should be: nothing can be created below it,
  // whoever runs the test.
  NoFallback();
  s.ReportDir = dir.str() + "plain/Отчет/";
  s.SubjectName = Utf8ToCp1251(" Тест ");
  ::testing::internal::CaptureStderr();
  WriteReport(s, io_);
  const std::string err = ::testing::internal::GetCapturedStderr();

  ASSERT_EQ(fakes->errors.size(), 1u);
  EXPECT_NE(fakes->errors[0].find(dir.str() + "plain/Отчет/Линейная.txt"), std::string::npos)
      << fakes->errors[0];
  EXPECT_NE(fakes->errors[0].find(std::strerror(ENOTDIR)), std::string::npos) << fakes->errors[0];
  EXPECT_NE(err.find("« Тест »"), std::string::npos) << err;
  EXPECT_NE(err.find(Cp1251ToUtf8(BuildReportBlock(s, fakes->now))), std::string::npos) << err;
  EXPECT_TRUE(fs::is_regular_file(File("plain")));
}

// A writer that puts `limit` bytes into the file and then fails with `error`.
ReportIo FailingAfter(std::size_t limit, int error, std::string* diverted) {
  ReportIo io = DefaultReportIo();
  auto written = std::make_shared<std::size_t>(0);
  io.write = [written, limit, error](int fd, const void* data, std::size_t size) -> ssize_t {
    if (*written >= limit) {
      errno = error;
      return -1;
    }
    const std::size_t n = std::min(size, limit - *written);
    const ssize_t r = report_file::Write(fd, data, n);
    if (r > 0) *written += static_cast<std::size_t>(r);
    return r;
  };
  io.error_stream = [diverted](const std::string& text) { *diverted += text; };
  io.fallback_folder = [] { return std::string(); };
  return io;
}

TEST_F(ReportTest, AWriteFailingHalfwayLeavesTheFileAsItWas) {
  const std::string before = "earlier block\r\n";
  WriteBytes(File("Отчет/Линейная.txt"), before);
  std::string diverted;
  const std::string block = BuildReportBlock(s, fakes->now);

  WriteReport(s, FailingAfter(block.size() / 2, ENOSPC, &diverted));

  EXPECT_EQ(ReadBytes(File("Отчет/Линейная.txt")), before);
  ASSERT_EQ(fakes->errors.size(), 1u);
  EXPECT_NE(fakes->errors[0].find("Линейная.txt"), std::string::npos) << fakes->errors[0];
  EXPECT_NE(fakes->errors[0].find(std::strerror(ENOSPC)), std::string::npos) << fakes->errors[0];
  EXPECT_NE(diverted.find("«Тест»"), std::string::npos) << diverted;
  EXPECT_NE(diverted.find(Cp1251ToUtf8(block)), std::string::npos) << diverted;
  EXPECT_NE(fakes->errors[0].find(Cp1251ToUtf8(block)), std::string::npos)
      << "the message shows the results too";
}

TEST_F(ReportTest, AFailedWriteTakesAwayAFileItCreated) {
  std::string diverted;
  WriteReport(s, FailingAfter(100, EIO, &diverted));
  EXPECT_FALSE(fs::exists(File("Отчет/Линейная.txt")));
  EXPECT_EQ(fakes->errors.size(), 1u);
  EXPECT_FALSE(diverted.empty());
}

TEST_F(ReportTest, InterruptedAndShortWritesStillWriteTheWholeBlock) {
  ReportIo io = DefaultReportIo();
  auto calls = std::make_shared<int>(0);
  io.write = [calls](int fd, const void* data, std::size_t size) -> ssize_t {
    if ((*calls)++ % 3 == 0) {
      errno = EINTR;
      return -1;
    }
    return report_file::Write(fd, data, std::min<std::size_t>(size, 7));
  };
  WriteReport(s, io);
  EXPECT_TRUE(fakes->errors.empty()) << (fakes->errors.empty() ? "" : fakes->errors[0]);
  EXPECT_EQ(ReadBytes(File("Отчет/Линейная.txt")), BuildReportBlock(s, fakes->now));
  EXPECT_GT(*calls, 10);
}

TEST_F(ReportTest, FailuresAfterTheWriteAlsoRestoreTheFile) {
  struct Case {
    const char* what;
    bool fail_fsync;
    bool fail_close;
  };
  const Case cases[] = {{"fsync", true, false}, {"close", false, true}};
  for (const Case& c : cases) {
    const std::string before = "kept\r\n";
    WriteBytes(File("Отчет/Линейная.txt"), before);
    fakes->errors.clear();
    std::string diverted;
    ReportIo io = DefaultReportIo();
    io.fallback_folder = [] { return std::string(); };
    if (c.fail_fsync) {
      io.fsync = [](int) {
        errno = EIO;
        return -1;
      };
    }
    if (c.fail_close) {
      io.close = [](int fd) {
        report_file::Close(fd);
        errno = EIO;
        return -1;
      };
    }
    io.error_stream = [&diverted](const std::string& text) { diverted += text; };
    WriteReport(s, io);
    EXPECT_EQ(ReadBytes(File("Отчет/Линейная.txt")), before) << c.what;
    EXPECT_EQ(fakes->errors.size(), 1u) << c.what;
    EXPECT_FALSE(diverted.empty()) << c.what;
  }
}

TEST_F(ReportTest, TheEndOfATestGoesOnToTheMenuWhenTheReportCannotBeWritten) {
  NoFallback();
  s.ReportDir = dir.str() + "plain/Отчет/";
  s.Level = 4;
  s.Cycle = 11;
  s.MenuLevel = kMenuLevelTest;
  s.ScreenState = kScreenWaiting;
  s.LeftResults[2][2] = "1 ";
  ::testing::internal::CaptureStderr();
  StartLevel(s);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(fakes->errors.size(), 1u);
  EXPECT_NE(err.find("Испытание № 2    ,0 ,1 ,0 "), std::string::npos) << err;
  EXPECT_EQ(s.Level, 0);
  EXPECT_EQ(s.ScreenState, kScreenMenu);
  EXPECT_EQ(s.LeftResults[2][2], "0 ");
}

}  // namespace
}  // namespace tavrik
