// Reading the record files and the report block back (rows that cannot be read named by file and
// line, the rest kept), the protocol's file name, the page's escaping, the summary and the index,
// the three files of a finished test, and a folder rebuilt.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codepage/cp1251.h"
#include "protocol/csv.h"
#include "protocol/page.h"
#include "protocol/protocol.h"
#include "protocol/records.h"
#include "protocol/summary.h"
#include "sample_folder.h"

namespace tavrik::protocol {
namespace {

namespace fs = std::filesystem;

const char kPressHeaderText[] =
    "\xEF\xBB\xBFИспытуемый;Дата и время;Уровень;Цикл;Рука;Итог;Кадр;Время, мс;Отклонение, мс;"
    "Отклонение, кадров;Фаза\r\n";

std::vector<std::string> Texts(const std::vector<ReadProblem>& problems) {
  std::vector<std::string> out;
  for (const auto& p : problems) out.push_back(ProblemText(p));
  return out;
}

TEST(ProtocolRecords, PressRowsAsTheWriterSpellsThem) {
  const std::string text = std::string(kPressHeaderText) +
                           "\"Иванов; \"\"Петя\"\"\";05.03.2024 09:07:02;1;1;правая;попадание;31;"
                           "508,3;-8,3;-0,50;90\r\n"
                           "\" Анна \";05.03.2024 09:07:02;4;10;левая;не учтено;0;;;;-3\n";
  std::vector<ReadProblem> problems;
  const std::vector<PressRow> rows = ReadPressRows(text, "Линейная.csv", true, &problems);
  EXPECT_TRUE(problems.empty()) << testing::PrintToString(Texts(problems));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].subject, "Иванов; \"Петя\"");
  EXPECT_EQ(rows[0].when, "05.03.2024 09:07:02");
  EXPECT_EQ(rows[0].hand, kRight);
  EXPECT_EQ(rows[0].outcome, Outcome::kHit);
  EXPECT_TRUE(rows[0].deviates);
  EXPECT_DOUBLE_EQ(rows[0].deviation_ms, -8.3);
  EXPECT_EQ(rows[1].subject, " Анна ") << "outer blanks are the name's own";
  EXPECT_EQ(rows[1].outcome, Outcome::kLatched);
  EXPECT_FALSE(rows[1].timed);
  EXPECT_FALSE(rows[1].deviates);
}

struct BadRowCase {
  const char* row;
  const char* problem;
};

TEST(ProtocolRecords, AMalformedRowIsNamedByFileAndLineAndTheRestRead) {
  const BadRowCase cases[] = {
      {"Тест;05.03.2024 09:07:02;1;1;правая;попадание;31;508,3\r\n",
       "Линейная.csv, строка 3: полей 8 вместо 11: строка пропущена"},
      {"Тест;05.03.2024 09:07:02;5;1;правая;попадание;31;508,3;8,3;0,50;90\r\n",
       "Линейная.csv, строка 3: уровень «5» не от 1 до 4: строка пропущена"},
      {"Тест;05.03.2024 09:07:02;1;1;обе;попадание;31;508,3;8,3;0,50;90\r\n",
       "Линейная.csv, строка 3: рука «обе» не «левая» и не «правая»: строка пропущена"},
      {"Тест;05.03.2024 09:07:02;1;1;правая;попадание;31;508,3;8.3x;0,50;90\r\n",
       "Линейная.csv, строка 3: отклонение «8.3x» не число: строка пропущена"},
      {"Тест;2024-03-05 09:07:02;1;1;правая;попадание;31;508,3;8,3;0,50;90\r\n",
       "Линейная.csv, строка 3: дата и время не в виде дд.мм.гггг чч:мм:сс: строка пропущена"},
      {"Тест;05.03.2024 09:07:02;1;1;правая;хорошо;31;508,3;8,3;0,50;90\r\n",
       "Линейная.csv, строка 3: итог «хорошо» не из тех, что пишет программа: строка пропущена"},
  };
  const std::string good = "Тест;05.03.2024 09:07:02;1;1;левая;промах;3;50,0;-450,0;-27,00;3\r\n";
  for (const BadRowCase& c : cases) {
    SCOPED_TRACE(c.row);
    std::vector<ReadProblem> problems;
    const auto rows = ReadPressRows(std::string(kPressHeaderText) + good + c.row + good,
                                    "Линейная.csv", true, &problems);
    EXPECT_EQ(rows.size(), 2u) << "the rows around it are read";
    EXPECT_EQ(Texts(problems), std::vector<std::string>{c.problem});
  }
}

TEST(ProtocolRecords, AForeignHeaderCostsTheFileAndSaysSo) {
  std::vector<ReadProblem> problems;
  const auto rows = ReadFrameRows("a;b;c\r\n1;2;3\r\n", "Вспышка-кадры.csv", true, &problems);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(
      Texts(problems),
      std::vector<std::string>{
          "Вспышка-кадры.csv, строка 1: заголовок не тот, что пишет программа: файл пропущен"});
}

TEST(ProtocolRecords, ReportBlocksAndABrokenOne) {
  const sample::Files a = sample::Make({});
  sample::Test other;
  other.subject = "Пётр; <b>";
  other.when = "12.12.2026 08:00:01";
  const sample::Files b = sample::Make(other);
  std::string broken = a.block;
  broken.replace(broken.find(Utf8ToCp1251("Испытание № 3")), 1, "?");
  std::vector<ReadProblem> problems;
  const auto blocks = ReadReportBlocks(a.block + broken + b.block, "Линейная.txt", &problems);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].subject, "Тест");
  EXPECT_EQ(blocks[1].subject, "Пётр; <b>");
  EXPECT_EQ(blocks[1].when, "12.12.2026 08:00:01");
  EXPECT_EQ(blocks[1].first_line, 33);
  // Line 16 + 7: the second block's row of level 3 of the left hand; the rest of that block is
  // not named again, and the next block is read.
  EXPECT_EQ(
      Texts(problems),
      std::vector<std::string>{
          "Линейная.txt, строка 23: блок отчета не в том виде, что пишет программа: пропущен"});
}

TEST(ProtocolFiles, FileNamesAreSafeOnWindows) {
  const struct {
    std::string subject, file;
  } cases[] = {
      {"Иван Петров", "Линейная 2026-12-11 12-16-08 Иван Петров.html"},
      {"a<b>c:d\"e/f\\g|h?i*j", "Линейная 2026-12-11 12-16-08 a_b_c_d_e_f_g_h_i_j.html"},
      {"Анна. . ", "Линейная 2026-12-11 12-16-08 Анна.html"},
      {"", "Линейная 2026-12-11 12-16-08.html"},
      {std::string(149, 'x') + "Ж",
       "Линейная 2026-12-11 12-16-08 " + std::string(149, 'x') + ".html"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.subject);
    Session s;
    s.test_kind = 2;
    s.subject = c.subject;
    s.when = "11.12.2026 12:16:08";
    EXPECT_EQ(ProtocolFileName(s), c.file);
  }
}

Session SampleSession(const sample::Test& t) {
  const sample::Files f = sample::Make(t);
  std::vector<ReadProblem> problems;
  Session s = SessionOfTest(t.kind, f.block, f.presses, f.frames, 32, &problems);
  EXPECT_TRUE(problems.empty()) << testing::PrintToString(Texts(problems));
  return s;
}

TEST(ProtocolPage, EveryTextIsEscaped) {
  sample::Test t;
  t.subject = "<script>alert(1)</script> & \"Ко'\"";
  const std::string page = RenderProtocol(SampleSession(t), {});
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;Ко&#39;&quot;"),
            std::string::npos);
  EXPECT_EQ(page.find("http"), std::string::npos) << "nothing is fetched";
}

TEST(ProtocolFiles, AFinishedTestsThreeFiles) {
  sample::Test first, second;
  first.subject = second.subject = "Иван; Петров";
  first.when = "10.12.2026 09:00:00";
  second.seed = 2;
  const Session earlier = SampleSession(first);
  const std::string summary = kUtf8Bom + SummaryHeaderText() +
                              SummaryRowText(MakeSummaryRow(earlier, ProtocolFileName(earlier)));
  const Session s = SampleSession(second);
  const auto files = ProtocolFiles(s, "Отчет/", summary);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].path, "Отчет/Сводка.csv");
  EXPECT_FALSE(files[0].replace);
  EXPECT_EQ(files[0].header, kUtf8Bom + SummaryHeaderText());
  EXPECT_EQ(files[1].path, "Отчет/Протоколы/Линейная 2026-12-11 12-16-08 Иван; Петров.html");
  EXPECT_TRUE(files[1].replace);
  EXPECT_EQ(files[2].path, "Отчет/Протоколы.html");
  EXPECT_TRUE(files[2].replace);

  // The row reads back as written, the name with its ";" one field.
  std::vector<ReadProblem> problems;
  const auto rows = ReadSummary(files[0].header + files[0].data, "Сводка.csv", &problems);
  EXPECT_TRUE(problems.empty());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Get("Испытуемый"), "Иван; Петров");
  EXPECT_EQ(rows[0].Get("Программа"), "Tavrik2");
  EXPECT_EQ(rows[0].Get("Протокол"), "Линейная 2026-12-11 12-16-08 Иван; Петров.html");
  // The protocol shows the earlier session; the index links both, the newer first.
  EXPECT_NE(files[1].data.find("10.12.2026 09:00:00"), std::string::npos);
  const std::size_t newer = files[2].data.find("11.12.2026 12:16:08");
  const std::size_t older = files[2].data.find("10.12.2026 09:00:00");
  EXPECT_LT(newer, older);
  EXPECT_NE(files[2].data.find("href=\"%D0%9F%D1%80%D0%BE%D1%82%D0%BE%D0%BA%D0%BE%D0%BB%D1%8B/"
                               "%D0%9B%D0%B8%D0%BD"),
            std::string::npos);
}

TEST(ProtocolFiles, EarlierSessionsAreTheSameSubjectsSameTestBeforeThis) {
  std::vector<SummaryRow> rows;
  auto add = [&](int kind, const char* subject, const char* when) {
    sample::Test t;
    t.kind = kind;
    t.subject = subject;
    t.when = when;
    const Session s = SampleSession(t);
    rows.push_back(MakeSummaryRow(s, ProtocolFileName(s)));
  };
  add(2, "Анна", "01.02.2026 10:00:00");
  add(2, "Анна", "03.01.2027 10:00:00");  // later than the test itself
  add(2, "анна", "01.03.2026 10:00:00");  // another name
  add(3, "Анна", "01.04.2026 10:00:00");  // another test
  add(2, "Анна", "01.05.2026 10:00:00");
  Session s;
  s.test_kind = 2;
  s.subject = "Анна";
  s.when = "01.01.2027 00:00:00";
  const auto earlier = EarlierSessions(rows, s);
  ASSERT_EQ(earlier.size(), 2u);
  EXPECT_EQ(earlier[0]->Get("Дата и время"), "01.05.2026 10:00:00");
  EXPECT_EQ(earlier[1]->Get("Дата и время"), "01.02.2026 10:00:00");
}

TEST(ProtocolPage, AHandWithoutAJudgedAnswerShowsDashesNotNumbers) {
  sample::Test t;
  const sample::Files f = sample::Make(t);
  std::vector<ReadProblem> problems;
  Session s = SessionOfTest(2, f.block, f.presses, f.frames, 16, &problems);
  s.presses.erase(std::remove_if(s.presses.begin(), s.presses.end(),
                                 [](const PressRow& p) { return p.hand == kRight; }),
                  s.presses.end());
  const std::string page = RenderProtocol(s, {});
  EXPECT_NE(page.find("учтенных ответов нет"), std::string::npos);
  EXPECT_NE(page.find("Правая рука:</b> опережений 0, запаздываний 0 — преобладания нет, p = 1,00"),
            std::string::npos);
  EXPECT_NE(page.find("Tavrik1 (16 бита на пиксель)"), std::string::npos);
  for (const char* bad : {"nan", "inf", "e+", "e-0"}) {
    EXPECT_EQ(page.find(bad), std::string::npos) << bad;
  }
}

TEST(ProtocolRecords, BytesOfAnyKindAreReadWithoutFailing) {
  // What a damaged disk or a foreign program may leave: every reader names what it cannot use.
  sample::Numbers n(7);
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    std::string bytes;
    const int size = static_cast<int>(n.Next() * 400);
    for (int i = 0; i < size; ++i) {
      const char pick[] = ";\"\r\n,0123456789-ab\xD0\x98 ";
      bytes += n.Next() < 0.8 ? pick[static_cast<int>(n.Next() * (sizeof pick - 1))]
                              : static_cast<char>(n.Next() * 256);
    }
    std::vector<ReadProblem> problems;
    ReadPressRows(kPressHeaderText + bytes, "a.csv", true, &problems);
    ReadPressRows(bytes, "a.csv", false, &problems);
    ReadFrameRows(bytes, "a-кадры.csv", false, &problems);
    ReadReportBlocks(Utf8ToCp1251("Испытуемый: x\r\n") + bytes, "a.txt", &problems);
    ReadSummary(bytes, "Сводка.csv", &problems);
    for (const ReadProblem& p : problems) EXPECT_GE(p.line, 1) << ProblemText(p);
  }
}

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ProtocolRebuild, AFolderWithBadRowsIsReadOnAndRebuiltTheSameTwice) {
  const fs::path dir = fs::temp_directory_path() / "tavrik_protocol_rebuild_test";
  fs::remove_all(dir);
  std::vector<sample::Test> tests = sample::ManyTests(9, 2);
  tests[4].subject = "Имя; с точкой с запятой";
  sample::WriteFolder(dir, tests);
  // A malformed row in the middle of the linear record, and a flash frame record from elsewhere.
  {
    std::ofstream(dir / fs::u8path("Линейная.csv"), std::ios::app | std::ios::binary)
        << "Тест;01.01.2026 00:01:00;1;1\r\n";
    std::ofstream(dir / fs::u8path("Вспышка-кадры.csv"), std::ios::binary) << "x;y\r\n";
  }
  const std::string folder = dir.u8string() + "/";
  std::vector<ReadProblem> problems;
  std::string cause;
  std::vector<ProtocolFile> files;
  auto keep = [](std::vector<ProtocolFile>* into) {
    return [into](const ProtocolFile& f) { into->push_back(f); };
  };
  EXPECT_EQ(RebuildFolder(folder, keep(&files), nullptr, &problems, &cause), 9 + 2);
  EXPECT_EQ(cause, "");
  const int linear_lines = [&] {
    const std::string text = Read(dir / fs::u8path("Линейная.csv"));
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }();
  EXPECT_EQ(
      Texts(problems),
      (std::vector<std::string>{
          "Линейная.csv, строка " + std::to_string(linear_lines) +
              ": полей 4 вместо 11: строка пропущена",
          "Вспышка-кадры.csv, строка 1: заголовок не тот, что пишет программа: файл пропущен"}));
  ASSERT_EQ(files.size(), 9u + 2);
  EXPECT_EQ(files.front().path, folder + "Сводка.csv");
  EXPECT_EQ(files.back().path, folder + "Протоколы.html");
  std::vector<ReadProblem> again_problems;
  std::vector<ProtocolFile> again;
  RebuildFolder(folder, keep(&again), nullptr, &again_problems, &cause);
  ASSERT_EQ(again.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(again[i].path, files[i].path);
    EXPECT_TRUE(again[i].data == files[i].data) << files[i].path;
  }
  std::vector<ReadProblem> summary_problems;
  const auto rows = ReadSummary(files.front().data, "Сводка.csv", &summary_problems);
  EXPECT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows[4].Get("Испытуемый"), "Имя; с точкой с запятой");
  // The flash tests lost their frame record: their timing is not known, and the page says so.
  EXPECT_EQ(rows[2].Get("Хронометраж"), "нет записи кадров");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tavrik::protocol
