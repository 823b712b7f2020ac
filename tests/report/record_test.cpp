// The timing record files: their names, header rows and number format, the rows of a small
// recorded level byte for byte, appending, and record files that cannot be written, which must
// cost neither the report block nor a torn row.
#include "report/record.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "codepage/cp1251.h"
#include "report/report.h"
#include "report/report_file.h"
#include "testkit/fake_services.h"
#include "testkit/folders.h"

namespace tavrik {
namespace {

namespace fs = std::filesystem;

// The writer may spell a path with either separator where Windows takes both.
bool SamePath(const std::string& a, const std::string& b) {
  return fs::u8path(a).lexically_normal() == fs::u8path(b).lexically_normal();
}

constexpr std::int64_t kP = kNominalFramePeriodNs;
constexpr std::int64_t kT0 = 7'000'000'000;

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

const char kPressHeader[] =
    "Испытуемый;Дата и время;Уровень;Цикл;Рука;Итог;Кадр;Время, мс;Отклонение, мс;Отклонение, "
    "кадров;Фаза\r\n";
const char kFrameHeader[] =
    "Испытуемый;Дата и время;Уровень;Кадров;Частота экрана, Гц;Темп;Средний интервал, мс;"
    "Стандартное отклонение, мс;Наибольший интервал, мс;Пропущено кадров\r\n";

// Level 1 of a linear test cut short: 60 frames of 3 degrees, one period apart, the right frame's
// centre at frame 30; three presses.
const char kRows[] =
    "Тест;05.03.2024 09:07:02;1;1;правая;попадание;31;508,3;8,3;0,50;90\r\n"
    "Тест;05.03.2024 09:07:02;1;1;правая;не учтено;36;596,7;96,7;5,80;105\r\n"
    "Тест;05.03.2024 09:07:02;1;1;левая;промах;11;;;;30\r\n";
const char kLevelRows[] =
    "Тест;05.03.2024 09:07:02;1;60;144,00;таймер 60 Гц;16,7;0,0;16,7;0\r\n"
    "Тест;05.03.2024 09:07:02;2;0;;;;;;\r\n"
    "Тест;05.03.2024 09:07:02;3;0;;;;;;\r\n"
    "Тест;05.03.2024 09:07:02;4;0;;;;;;\r\n";

class RecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession(s);
    fakes = testkit::InstallFakes(s);
    fakes->now = LocalTime{2024, 3, 5, 9, 7, 2, 0};
    s.SubjectName = Utf8ToCp1251("Тест");
    s.TestKind = kTestLinear;
    s.ReportDir = dir.str() + "Отчет/";
    fs::create_directories(File(""));

    LevelTiming& level = s.Timing.levels[0];
    level.frames_composed = 60;
    for (int i = 0; i < 60; ++i) {
      level.frames[static_cast<std::size_t>(i)] = FrameMark{kT0 + i * kP, 3.0 * i, 1, 0, 1};
    }
    level.first_pacing = level.last_pacing = FramePacing{FramePacing::Kind::kTimer, 1, 144};
    AddPress(kHandRight, kT0 + 30 * kP + kP / 2, 31, Answer::kHit);
    AddPress(kHandRight, kT0 + 35 * kP + 8 * kP / 10, 36, Answer::kLatched);
    AddPress(kHandLeft, -1, 11, Answer::kMiss);
  }
  void AddPress(std::int8_t hand, std::int64_t down, int composed, Answer answer) {
    s.Timing.presses[static_cast<std::size_t>(s.Timing.press_count++)] =
        PressMark{down, composed, 1, hand, answer};
  }
  fs::path File(const char* utf8) const {
    return dir.path() / fs::u8path("Отчет") / fs::u8path(utf8);
  }

  testkit::ScratchDir dir;
  SessionState s;
  std::shared_ptr<testkit::FakeServices> fakes;
};

TEST_F(RecordTest, FileNamesBesideTheReportFiles) {
  EXPECT_EQ(PressRecordFileName(kTestCircular), "Круговая.csv");
  EXPECT_EQ(PressRecordFileName(kTestLinear), "Линейная.csv");
  EXPECT_EQ(PressRecordFileName(kTestFlash), "Вспышка.csv");
  EXPECT_EQ(FrameRecordFileName(kTestCircular), "Круговая-кадры.csv");
  EXPECT_EQ(FrameRecordFileName(kTestFlash), "Вспышка-кадры.csv");
  EXPECT_EQ(PressRecordFileName(0), "");
  EXPECT_EQ(FrameRecordFileName(0), "");
}

TEST_F(RecordTest, HeadersAndRowsByteForByte) {
  EXPECT_EQ(PressRecordHeader(), kPressHeader);
  EXPECT_EQ(FrameRecordHeader(), kFrameHeader);
  EXPECT_EQ(BuildPressRows(s, fakes->now), kRows);
  EXPECT_EQ(BuildFrameRows(s, fakes->now), kLevelRows);
}

TEST_F(RecordTest, NumbersHaveADecimalCommaAndNoThousandsSeparator) {
  struct Case {
    double value;
    int decimals;
    const char* text;
  };
  const Case cases[] = {
      {16.6666667, 1, "16,7"}, {-55, 1, "-55,0"}, {1234567.25, 1, "1234567,2"},
      {-0.04, 1, "0,0"},       {0.05, 1, "0,1"},  {-3.3, 2, "-3,30"},
      {143.856, 2, "143,86"},  {7, 0, "7"},       {0.25, 1, "0,2"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RecordNumber(c.value, c.decimals), c.text) << c.value << " to " << c.decimals;
  }
}

TEST_F(RecordTest, HowTheFramesWerePaced) {
  using K = FramePacing::Kind;
  struct Case {
    FramePacing first, last;
    const char* text;
  };
  const Case cases[] = {
      {{K::kVsync, 1, 60}, {K::kVsync, 1, 60}, "вертикальная синхронизация"},
      {{K::kVsync, 2, 120},
       {K::kVsync, 2, 120},
       "вертикальная синхронизация, кадр на 2 обновления экрана"},
      {{K::kVsync, 5, 300},
       {K::kVsync, 5, 300},
       "вертикальная синхронизация, кадр на 5 обновлений экрана"},
      {{K::kTimer, 1, 75}, {K::kTimer, 1, 75}, "таймер 60 Гц"},
      {{K::kVsync, 1, 60}, {K::kTimer, 1, 60}, "вертикальная синхронизация, затем таймер 60 Гц"},
      {{K::kMeasuring, 1, 0},
       {K::kVsync, 1, 60},
       "измерение частоты, затем вертикальная синхронизация"},
      {{}, {}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(PacingText(c.first, c.last), c.text);
}

TEST_F(RecordTest, ANameWithOuterBlanksIsQuoted) {
  s.SubjectName = Utf8ToCp1251("  Иван Петров ");
  const std::string rows = BuildFrameRows(s, fakes->now);
  EXPECT_EQ(rows.substr(0, rows.find(';')), "\"  Иван Петров \"");
}

TEST_F(RecordTest, TheFirstTestCreatesEachFileWithItsHeaderAndLaterOnesAppendRows) {
  WriteReport(s);
  ASSERT_TRUE(fakes->errors.empty()) << fakes->errors[0];
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(ReadBytes(File("Линейная.csv")), bom + kPressHeader + kRows);
  EXPECT_EQ(ReadBytes(File("Линейная-кадры.csv")), bom + kFrameHeader + kLevelRows);
  EXPECT_EQ(ReadBytes(File("Линейная.txt")), BuildReportBlock(s, fakes->now));

  WriteReport(s);
  EXPECT_EQ(ReadBytes(File("Линейная.csv")), bom + kPressHeader + kRows + kRows);
  EXPECT_EQ(ReadBytes(File("Линейная-кадры.csv")), bom + kFrameHeader + kLevelRows + kLevelRows);
  EXPECT_FALSE(fs::exists(File("Круговая.csv")));
}

// The record's files: the press file, the level file. `io` fails one of them; the report and
// the other must be written whole, the failed one must be as it was, and the examiner must be
// told which file and why, and where its rows went instead.
struct FailingFile {
  const char* what;
  bool press_file;    // which file fails
  int error;          // errno of the failure
  std::size_t after;  // bytes of that file written before it fails (SIZE_MAX: opening fails)
  const char* cause;  // as the examiner is told it
};

TEST_F(RecordTest, ARecordFileThatCannotBeWrittenCostsNeitherTheReportNorTheOtherFile) {
  const FailingFile cases[] = {
      {"press file read-only", true, EACCES, SIZE_MAX, "нет прав на запись"},
      {"level file read-only", false, EACCES, SIZE_MAX, "нет прав на запись"},
      {"held by a spreadsheet", true, EBUSY, SIZE_MAX,
       "файл открыт в другой программе, например в Excel: закройте его"},
      {"disk full halfway through the press rows", true, ENOSPC, 150, "диск заполнен"},
      {"disk full halfway through the level rows", false, ENOSPC, 100, "диск заполнен"},
  };
  for (const FailingFile& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(File(""));
    fs::create_directories(File(""));
    // The record files hold an earlier test's rows; the failing one must keep exactly those.
    const std::string earlier =
        "\xEF\xBB\xBF"
        "earlier rows\r\n";
    WriteBytes(File("Линейная.csv"), earlier);
    WriteBytes(File("Линейная-кадры.csv"), earlier);
    fakes->errors.clear();

    const std::string failing =
        File(c.press_file ? "Линейная.csv" : "Линейная-кадры.csv").u8string();
    auto fds = std::make_shared<std::map<int, std::string>>();
    auto written = std::make_shared<std::size_t>(0);
    std::string diverted;
    ReportIo io = DefaultReportIo();
    const auto open = io.open_for_append;
    io.open_for_append = [=](const std::string& path, bool* existed, std::int64_t* size) {
      if (SamePath(path, failing) && c.after == SIZE_MAX) {
        errno = c.error;
        return -1;
      }
      const int fd = open(path, existed, size);
      (*fds)[fd] = SamePath(path, failing) ? failing : path;
      return fd;
    };
    io.write = [=](int fd, const void* data, std::size_t size) -> ssize_t {
      if ((*fds)[fd] != failing) return report_file::Write(fd, data, size);
      if (*written >= c.after) {
        errno = c.error;
        return -1;
      }
      const ssize_t n = report_file::Write(fd, data, std::min(size, c.after - *written));
      if (n > 0) *written += static_cast<std::size_t>(n);
      return n;
    };
    // A descriptor's number comes back for the next file opened.
    io.create_new = [=](const std::string& path) {
      const int fd = report_file::CreateNew(path);
      (*fds)[fd] = path;
      return fd;
    };
    io.error_stream = [&diverted](const std::string& text) { diverted += text; };
    io.fallback_folder = [] { return std::string(); };
    WriteReport(s, io);

    EXPECT_EQ(ReadBytes(File("Линейная.txt")), BuildReportBlock(s, fakes->now));
    const std::string press = ReadBytes(File("Линейная.csv"));
    const std::string level = ReadBytes(File("Линейная-кадры.csv"));
    EXPECT_EQ(c.press_file ? press : level, earlier) << "no partial rows";
    EXPECT_EQ(c.press_file ? level : press, earlier + (c.press_file ? kLevelRows : kRows));
    // The examiner is asked about that file alone, with its cause; by default the rows then go
    // whole to a file of their own beside it, header included, and that file is named.
    ASSERT_EQ(fakes->asked.size(), 1u);
    const std::string name = fs::u8path(failing).filename().u8string();
    EXPECT_NE(fakes->asked[0].find(name + ": " + c.cause), std::string::npos) << fakes->asked[0];
    EXPECT_EQ(fakes->asked[0].find(".txt"), std::string::npos) << "the report was written";
    const char* separate = c.press_file ? "Линейная 2024-03-05 09-07-02.csv"
                                        : "Линейная-кадры 2024-03-05 09-07-02.csv";
    EXPECT_EQ(ReadBytes(File(separate)), std::string("\xEF\xBB\xBF") +
                                             (c.press_file ? kPressHeader : kFrameHeader) +
                                             (c.press_file ? kRows : kLevelRows));
    ASSERT_EQ(fakes->errors.size(), 1u);
    EXPECT_NE(fakes->errors[0].find("Отчет/" + std::string(separate)), std::string::npos)
        << fakes->errors[0];
    EXPECT_TRUE(diverted.empty()) << "a file took the rows: " << diverted;
    fakes->asked.clear();
  }
}

TEST_F(RecordTest, AFolderInPlaceOfARecordFile) {
  fs::create_directories(File("Линейная-кадры.csv"));
  WriteReport(s);
  EXPECT_EQ(ReadBytes(File("Линейная.txt")), BuildReportBlock(s, fakes->now));
  EXPECT_EQ(ReadBytes(File("Линейная.csv")), std::string("\xEF\xBB\xBF") + kPressHeader + kRows);
  ASSERT_EQ(fakes->asked.size(), 1u);
#ifdef _WIN32
  const char* cause = "нет прав на запись";  // Windows refuses to open a folder as a file
#else
  const char* cause = "на месте файла стоит папка";
#endif
  EXPECT_NE(fakes->asked[0].find("Линейная-кадры.csv: " + std::string(cause)), std::string::npos)
      << fakes->asked[0];
  EXPECT_EQ(ReadBytes(File("Линейная-кадры 2024-03-05 09-07-02.csv")),
            std::string("\xEF\xBB\xBF") + kFrameHeader + kLevelRows);
}

TEST_F(RecordTest, AReadOnlyRecordFile) {
#ifdef _WIN32
  GTEST_SKIP() << "a read-only attribute would keep the test's folder from being removed; the "
                  "seam's case covers the refused open";
#endif
  WriteBytes(File("Линейная.csv"), "kept\r\n");
  fs::permissions(File("Линейная.csv"),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
#ifndef _WIN32
  if (::access(File("Линейная.csv").c_str(), W_OK) == 0) {
    GTEST_SKIP() << "this user may write a read-only file (root); the seam's case covers it";
  }
#endif
  WriteReport(s);
  EXPECT_EQ(ReadBytes(File("Линейная.csv")), "kept\r\n");
  EXPECT_EQ(ReadBytes(File("Линейная.txt")), BuildReportBlock(s, fakes->now));
  ASSERT_EQ(fakes->asked.size(), 1u);
  EXPECT_NE(fakes->asked[0].find("Линейная.csv: нет прав на запись"), std::string::npos)
      << fakes->asked[0];
}

TEST_F(RecordTest, WhenTheReportCannotBeWrittenOneMessageNamesEveryFile) {
  WriteBytes(dir.path() / "plain", "x");
  s.ReportDir = dir.str() + "plain/Отчет/";
  // Nor can anything be made in the fallback folder: standard error is the last place.
  ReportIo io = DefaultReportIo();
  io.fallback_folder = [this] { return dir.str() + "plain/home/"; };
  ::testing::internal::CaptureStderr();
  WriteReport(s, io);
  const std::string err = ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(fakes->asked.size(), 1u);
  ASSERT_EQ(fakes->errors.size(), 1u);
  for (const std::string& message : {fakes->asked[0], fakes->errors[0]}) {
    for (const char* name : {"Линейная.txt", "Линейная.csv", "Линейная-кадры.csv"}) {
      EXPECT_NE(message.find(dir.str() + "plain/Отчет/" + name), std::string::npos)
          << name << " in: " << message;
    }
    EXPECT_LT(message.find("Линейная.txt"), message.find("Линейная.csv")) << "the report first";
  }
  EXPECT_NE(err.find(Cp1251ToUtf8(BuildReportBlock(s, fakes->now))), std::string::npos);
  EXPECT_LT(err.find(Cp1251ToUtf8(BuildReportBlock(s, fakes->now))), err.find(kRows));
}

TEST_F(RecordTest, PressesPastTheRecordAreToldToTheExaminer) {
  s.Timing.presses_lost = 12;
  WriteReport(s);
  ASSERT_EQ(fakes->errors.size(), 1u);
  EXPECT_NE(fakes->errors[0].find("не вошли 12 нажатий"), std::string::npos) << fakes->errors[0];
  EXPECT_EQ(ReadBytes(File("Линейная.csv")), std::string("\xEF\xBB\xBF") + kPressHeader + kRows);
}

}  // namespace
}  // namespace tavrik
