// The protocol's files as the end of a test writes them: after the block and the record, which
// stay byte for byte as they were; the summary grows by a row a test with its header once, the
// page shows the earlier session, and a protocol that cannot be written costs neither the block
// nor the record, while the examiner is asked about it by the rules of every other file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "codepage/cp1251.h"
#include "protocol/csv.h"
#include "protocol/summary.h"
#include "report/output.h"
#include "report/record.h"
#include "report/report.h"
#include "testkit/fake_services.h"
#include "testkit/folders.h"

namespace tavrik {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ProtocolWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession(s);
    fakes = testkit::InstallFakes(s);
    fakes->now = LocalTime{2026, 12, 11, 12, 16, 8, 0};
    s.SubjectName = Utf8ToCp1251("Иван Петров");
    s.TestKind = kTestLinear;
    for (int j = 1; j <= 10; j += 2) s.LeftResults[2][j] = "1 ";
    io_.fallback_folder = [this] { return dir.str() + "home/"; };
    s.ReportDir = dir.str() + "Отчет/";
    fs::create_directories(File("Отчет"));
  }
  fs::path File(const char* utf8) const { return dir.path() / fs::u8path(utf8); }

  testkit::ScratchDir dir;
  SessionState s;
  std::shared_ptr<testkit::FakeServices> fakes;
  ReportIo io_ = DefaultReportIo();
};

TEST_F(ProtocolWriteTest, TwoTestsLeaveTheirRecordAsItWasAndTwoSummaryRows) {
  WriteReport(s, io_);
  const std::string block1 = BuildReportBlock(s, fakes->now);
  const std::string rows1 = BuildFrameRows(s, fakes->now);
  fakes->now.minute = 40;
  WriteReport(s, io_);
  EXPECT_TRUE(fakes->errors.empty()) << (fakes->errors.empty() ? "" : fakes->errors[0]);
  EXPECT_TRUE(fakes->asked.empty());
  EXPECT_EQ(ReadBytes(File("Отчет/Линейная.txt")), block1 + BuildReportBlock(s, fakes->now));
  EXPECT_EQ(ReadBytes(File("Отчет/Линейная-кадры.csv")),
            kUtf8Bom + FrameRecordHeader() + rows1 + BuildFrameRows(s, fakes->now));

  const std::string summary = ReadBytes(File("Отчет/Сводка.csv"));
  EXPECT_EQ(summary.rfind(kUtf8Bom + protocol::SummaryHeaderText(), 0), 0u) << "header first";
  std::vector<protocol::ReadProblem> problems;
  const auto rows = protocol::ReadSummary(summary, "Сводка.csv", &problems);
  EXPECT_TRUE(problems.empty());
  ASSERT_EQ(rows.size(), 2u) << "a row a test, the header once";
  EXPECT_EQ(rows[0].Get("Попаданий, левая"), "5");
  EXPECT_EQ(rows[1].Get("Дата и время"), "11.12.2026 12:40:08");

  const std::string page =
      ReadBytes(File("Отчет/Протоколы/Линейная 2026-12-11 12-40-08 Иван Петров.html"));
  EXPECT_NE(page.find("Иван Петров"), std::string::npos);
  EXPECT_NE(page.find("<td class=\"l\">11.12.2026 12:16:08</td>"), std::string::npos)
      << "the earlier session";
  EXPECT_TRUE(fs::exists(File("Отчет/Протоколы/Линейная 2026-12-11 12-16-08 Иван Петров.html")));
  const std::string index = ReadBytes(File("Отчет/Протоколы.html"));
  EXPECT_LT(index.find("11.12.2026 12:40:08"), index.find("11.12.2026 12:16:08")) << "newest first";
}

TEST_F(ProtocolWriteTest, AProtocolThatCannotBeWrittenCostsNeitherBlockNorRecord) {
  // A file where the protocols' folder belongs: no protocol can go there.
  std::ofstream(File("Отчет/Протоколы"), std::ios::binary) << "x";
  WriteReport(s, io_);
  EXPECT_EQ(ReadBytes(File("Отчет/Линейная.txt")), BuildReportBlock(s, fakes->now));
  EXPECT_EQ(ReadBytes(File("Отчет/Линейная.csv")),
            kUtf8Bom + PressRecordHeader() + BuildPressRows(s, fakes->now));
  EXPECT_EQ(ReadBytes(File("Отчет/Линейная-кадры.csv")),
            kUtf8Bom + FrameRecordHeader() + BuildFrameRows(s, fakes->now));
  EXPECT_TRUE(fs::exists(File("Отчет/Сводка.csv")));
  EXPECT_TRUE(fs::exists(File("Отчет/Протоколы.html")));
  ASSERT_EQ(fakes->asked.size(), 1u);
  EXPECT_EQ(fakes->asked[0].rfind("Не удалось записать", 0), 0u) << fakes->asked[0];
  EXPECT_NE(fakes->asked[0].find("Протоколы/Линейная 2026-12-11 12-16-08 Иван Петров.html"),
            std::string::npos)
      << fakes->asked[0];
  EXPECT_EQ(fakes->asked[0].find("Линейная.txt"), std::string::npos) << fakes->asked[0];
}

}  // namespace
}  // namespace tavrik
