// Protocol benchmark: what the protocol adds to the end of a test, and what tavrik-protocol takes
// to rebuild a large report folder.
//
//   protocol_step/1000   the end of a test with 1,000 earlier sessions in Сводка.csv (all of the
//                        same subject and test, the fullest page): the summary read, the test's
//                        rows read back, its figures, page, summary row and index made, and the
//                        three files written as the report writer writes them (appended under the
//                        lock, replaced by a rename)
//   rebuild/10000        a folder of 10,000 complete tests (3,333 or so of each kind, 100
//   subjects):
//                        every file read, every protocol, the summary and the index made, every
//                        file written as tavrik-protocol writes them
//
//   protocol_bench [--benchmark_filter=...]
// The folders are made under the system's temporary folder and removed afterwards.
#ifdef TAVRIK_HAVE_GOOGLE_BENCHMARK

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../tests/protocol/sample_folder.h"
#include "protocol/protocol.h"
#include "protocol/summary.h"
#include "report/output.h"
#include "report/report.h"

namespace {

namespace fs = std::filesystem;
using namespace tavrik;
using namespace tavrik::protocol;

fs::path Scratch(const char* name) {
  const fs::path dir = fs::temp_directory_path() / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

bool Write(const ProtocolFile& f, const ReportIo& io) {
  WriteFailure failure;
  std::error_code ec;
  fs::create_directories(fs::u8path(f.path).parent_path(), ec);
  return f.replace ? ReplaceWhole(f.path, f.data, io, &failure)
                   : AppendWhole(f.path, f.header, f.data, io, &failure);
}

void ProtocolStep(benchmark::State& state) {
  const int earlier = static_cast<int>(state.range(0));
  const fs::path dir = Scratch("tavrik_protocol_bench_step");
  const std::string folder = dir.u8string() + "/";
  // The earlier sessions, all of one subject and the linear test.
  std::string summary = kUtf8Bom + SummaryHeaderText();
  for (int i = 0; i < earlier; ++i) {
    sample::Test t;
    t.subject = "Иван Петров";
    t.when = "01.01.2026 " + std::to_string(10 + i / 3600 % 10) + ":" +
             std::to_string(10 + i / 60 % 50) + ":" + std::to_string(10 + i % 50);
    t.seed = static_cast<std::uint64_t>(i + 1);
    const sample::Files f = sample::Make(t);
    std::vector<ReadProblem> problems;
    const Session s = SessionOfTest(2, f.block, f.presses, f.frames, 32, &problems);
    summary += SummaryRowText(MakeSummaryRow(s, ProtocolFileName(s)));
  }
  sample::Test now;
  now.subject = "Иван Петров";
  const sample::Files test = sample::Make(now);
  const ReportIo io = DefaultReportIo();
  const fs::path summary_path = dir / fs::u8path(kSummaryFile);
  for (auto _ : state) {
    state.PauseTiming();
    std::ofstream(summary_path, std::ios::binary | std::ios::trunc) << summary;
    state.ResumeTiming();
    std::string text;
    ReadWholeFile(summary_path.u8string(), &text);
    std::vector<ReadProblem> problems;
    const Session s = SessionOfTest(2, test.block, test.presses, test.frames, 32, &problems);
    for (const ProtocolFile& f : ProtocolFiles(s, folder, text)) {
      if (!Write(f, io)) state.SkipWithError("a protocol file could not be written");
    }
  }
  state.counters["summary_kB"] = static_cast<double>(summary.size()) / 1024;
  fs::remove_all(dir);
}
BENCHMARK(ProtocolStep)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond);

void Rebuild(benchmark::State& state) {
  const int tests = static_cast<int>(state.range(0));
  const fs::path dir = Scratch("tavrik_protocol_bench_rebuild");
  sample::WriteFolder(dir, sample::ManyTests(tests, 100));
  const std::string folder = dir.u8string() + "/";
  for (auto _ : state) {
    std::vector<ReadProblem> problems;
    std::string cause, why;
    // Written as tavrik-protocol writes them.
    const int made = RebuildFolder(
        folder,
        [&](const ProtocolFile& f) {
          if (!RewriteFile(f.path, f.data, &why)) state.SkipWithError("a file was not written");
        },
        nullptr, &problems, &cause);
    if (made < 0 || !problems.empty()) state.SkipWithError("the folder did not read cleanly");
    state.counters["files"] = made;
  }
  fs::remove_all(dir);
}
BENCHMARK(Rebuild)->Arg(10000)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

#else  // Google Benchmark was not found when the build was configured.

#include <cstdio>

int main() {
  std::fprintf(stderr, "protocol_bench: built without Google Benchmark (libbenchmark-dev)\n");
  return 1;
}

#endif
