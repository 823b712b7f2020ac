// The protocol's files of a finished test, and of a whole report folder rebuilt.
#include "protocol/protocol.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "protocol/csv.h"
#include "protocol/page.h"
#include "protocol/summary.h"

namespace tavrik::protocol {

const char kSummaryFile[] = "Сводка.csv";
const char kIndexFile[] = "Протоколы.html";
const char kProtocolDir[] = "Протоколы";

namespace {

// The frame rows of a test, one per level in level order: a level written twice keeps its last.
std::vector<FrameRow> ByLevel(std::vector<FrameRow> rows) {
  std::stable_sort(rows.begin(), rows.end(),
                   [](const FrameRow& a, const FrameRow& b) { return a.level < b.level; });
  std::vector<FrameRow> out;
  for (FrameRow& r : rows) {
    if (!out.empty() && out.back().level == r.level) {
      out.back() = std::move(r);
    } else {
      out.push_back(std::move(r));
    }
  }
  return out;
}

std::string SessionKey(const std::string& subject, const std::string& when) {
  return subject + '\n' + when;
}

}  // namespace

Session SessionOfTest(int test_kind, std::string_view block_cp1251, std::string_view press_rows,
                      std::string_view frame_rows, int bits_per_pixel,
                      std::vector<ReadProblem>* problems) {
  Session s;
  s.test_kind = test_kind;
  s.bits_per_pixel = bits_per_pixel;
  const std::string name = TestName(test_kind);
  std::vector<ReportBlock> blocks = ReadReportBlocks(block_cp1251, name + ".txt", problems);
  s.presses = ReadPressRows(press_rows, name + ".csv", false, problems);
  s.frames = ByLevel(ReadFrameRows(frame_rows, name + "-кадры.csv", false, problems));
  if (!blocks.empty()) {
    s.has_block = true;
    s.block = blocks.front();
    s.subject = s.block.subject;
    s.when = s.block.when;
  } else if (!s.presses.empty()) {
    s.subject = s.presses.front().subject;
    s.when = s.presses.front().when;
  } else if (!s.frames.empty()) {
    s.subject = s.frames.front().subject;
    s.when = s.frames.front().when;
  }
  return s;
}

std::vector<ProtocolFile> ProtocolFiles(const Session& s, const std::string& report_dir,
                                        std::string_view summary_text) {
  std::vector<ReadProblem> ignored;  // a summary row that cannot be read is left out of the index
  std::vector<SummaryRow> rows = ReadSummary(summary_text, kSummaryFile, &ignored);
  const std::string file = ProtocolFileName(s);
  const std::vector<const SummaryRow*> earlier = EarlierSessions(rows, s);
  std::vector<ProtocolFile> out;
  ProtocolFile protocol{report_dir + kProtocolDir + "/" + file, "", RenderProtocol(s, earlier),
                        true};
  SummaryRow row = MakeSummaryRow(s, file);
  ProtocolFile summary{report_dir + kSummaryFile, kUtf8Bom + SummaryHeaderText(),
                       SummaryRowText(row), false};
  rows.push_back(std::move(row));
  ProtocolFile index{report_dir + kIndexFile, "", RenderIndex(rows), true};
  out.push_back(std::move(summary));
  out.push_back(std::move(protocol));
  out.push_back(std::move(index));
  return out;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  text->clear();
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::u8path(path);
  if (!std::filesystem::exists(p, ec)) return !ec;
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool RewriteFile(const std::string& path, const std::string& data, std::string* cause) {
  const std::filesystem::path target = std::filesystem::u8path(path);
  std::error_code ec;
  std::filesystem::create_directories(target.parent_path(), ec);
  std::filesystem::path temporary = target;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) {
      *cause = "не удалось записать временный файл";
      std::filesystem::remove(temporary, ec);
      return false;
    }
  }
  std::filesystem::rename(temporary, target, ec);
#ifdef _WIN32
  if (ec && MoveFileExW(temporary.wstring().c_str(), target.wstring().c_str(),
                        MOVEFILE_REPLACE_EXISTING)) {
    ec.clear();
  }
#endif
  if (ec) {
    *cause = ec.message();
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

int RebuildFolder(const std::string& report_dir,
                  const std::function<void(const ProtocolFile&)>& write,
                  const std::function<void(int, int)>& progress, std::vector<ReadProblem>* problems,
                  std::string* cause) {
  std::error_code ec;
  if (!std::filesystem::is_directory(std::filesystem::u8path(report_dir), ec)) {
    *cause = "папки отчетов " + report_dir + " нет";
    return -1;
  }
  // Programs of the tests already summed up: the record files do not say which one ran.
  std::map<std::string, std::string> programs;
  std::string text;
  if (ReadWholeFile(report_dir + kSummaryFile, &text)) {
    for (const SummaryRow& r : ReadSummary(text, kSummaryFile, problems)) {
      programs[r.fields[0] + '\n' + SessionKey(r.fields[1], r.fields[2])] = r.Get("Программа");
    }
  } else {
    problems->push_back({kSummaryFile, 0, "не читается: программы прежних испытаний не известны"});
  }

  std::vector<Session> sessions;
  for (int kind = 1; kind <= 3; ++kind) {
    const std::string name = TestName(kind);
    auto read = [&](const std::string& file) {
      if (!ReadWholeFile(report_dir + file, &text)) {
        problems->push_back({file, 0, "не читается: пропущен"});
        text.clear();
      }
      return text;
    };
    const std::vector<ReportBlock> blocks =
        ReadReportBlocks(read(name + ".txt"), name + ".txt", problems);
    std::vector<PressRow> presses =
        ReadPressRows(read(name + ".csv"), name + ".csv", true, problems);
    std::vector<FrameRow> frames =
        ReadFrameRows(read(name + "-кадры.csv"), name + "-кадры.csv", true, problems);
    // Each key to its session, in the order they first appear: blocks first, then records of
    // tests whose block is not there.
    std::map<std::string, std::size_t> at;
    const std::size_t first = sessions.size();
    auto session_of = [&](const std::string& subject, const std::string& when) -> Session& {
      const auto [it, added] = at.emplace(SessionKey(subject, when), sessions.size());
      if (added) {
        Session s;
        s.test_kind = kind;
        s.subject = subject;
        s.when = when;
        const auto p = programs.find(name + '\n' + it->first);
        if (p != programs.end())
          s.bits_per_pixel = p->second == "Tavrik1" ? 16 : p->second == "Tavrik2" ? 32 : 0;
        sessions.push_back(std::move(s));
      }
      return sessions[it->second];
    };
    for (const ReportBlock& b : blocks) {
      Session& s = session_of(b.subject, b.when);
      if (s.has_block) {
        problems->push_back({name + ".txt", b.first_line,
                             "второй блок того же испытуемого с тем же временем: пропущен"});
        continue;
      }
      s.has_block = true;
      s.block = b;
    }
    for (PressRow& p : presses) {
      auto& into = session_of(p.subject, p.when).presses;
      into.push_back(std::move(p));
      // Its session says whose it is: a large folder need not hold the names once a row.
      into.back().subject = std::string();
      into.back().when = std::string();
    }
    presses = {};
    for (FrameRow& f : frames) session_of(f.subject, f.when).frames.push_back(std::move(f));
    for (std::size_t i = first; i < sessions.size(); ++i) {
      sessions[i].frames = ByLevel(std::move(sessions[i].frames));
    }
  }
  std::stable_sort(sessions.begin(), sessions.end(), [](const Session& a, const Session& b) {
    return WhenKey(a.when) < WhenKey(b.when);
  });

  const int total = static_cast<int>(sessions.size());
  std::vector<SummaryRow> rows;
  rows.reserve(sessions.size());
  std::vector<std::string> files;
  std::string summary = kUtf8Bom + SummaryHeaderText();
  for (const Session& s : sessions) {
    files.push_back(ProtocolFileName(s));
    rows.push_back(MakeSummaryRow(s, files.back()));
    summary += SummaryRowText(rows.back());
  }
  // Earlier sessions through the rows of each subject and test.
  std::map<std::string, std::vector<const SummaryRow*>> by_subject;
  for (const SummaryRow& r : rows) by_subject[r.fields[0] + '\n' + r.fields[1]].push_back(&r);

  write({report_dir + kSummaryFile, "", std::move(summary), true});
  for (int i = 0; i < total; ++i) {
    Session& s = sessions[static_cast<std::size_t>(i)];
    const auto& mine = by_subject[TestName(s.test_kind) + '\n' + s.subject];
    write({report_dir + kProtocolDir + "/" + files[static_cast<std::size_t>(i)], "",
           RenderProtocol(s, EarlierSessions(mine, s)), true});
    // Its rows are not needed again.
    s.presses = {};
    s.frames = {};
    if (progress && ((i + 1) % 500 == 0 || i + 1 == total)) progress(i + 1, total);
  }
  write({report_dir + kIndexFile, "", RenderIndex(rows), true});
  return total + 2;
}

}  // namespace tavrik::protocol
