// tavrik-protocol [report folder]: makes Сводка.csv, every protocol and the index of a report
// folder again from its report and record files ("Отчет" beside the program when no folder is
// given), so that tests recorded before the protocol existed get one too. Says on standard error
// how far it is and, file by file and line by line, what it could not read; it goes on past
// each such row. Exit status 0 when everything was written (rows it could not read included),
// 1 when a file could not be written, 2 when the folder cannot be read.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "protocol/protocol.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;
using tavrik::protocol::ProtocolFile;

void Say(const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

std::string ArgumentUtf8(int argc, char** argv) {
#ifdef _WIN32
  // The command line in the system's code page cannot hold every name: take it as UTF-16.
  int n = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
  if (wide && n >= 2) {
    const std::string utf8 = fs::path(wide[1]).u8string();
    LocalFree(wide);
    return utf8;
  }
  if (wide) LocalFree(wide);
#endif
  return argc >= 2 ? argv[1] : "Отчет";
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
#endif
  if (argc > 2 ||
      (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
    Say("Использование: tavrik-protocol [папка отчетов]\n"
        "Составляет заново Сводка.csv, протоколы и указатель Протоколы.html по файлам отчетов и "
        "записи времени (по умолчанию папка «Отчет»).\n");
    return argc > 2 ? 2 : 0;
  }
  std::string dir = ArgumentUtf8(argc, argv);
  while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  dir += "/";

  std::vector<tavrik::protocol::ReadProblem> problems;
  std::string cause;
  int failed = 0;
  std::size_t told = 0;
  // What could not be read is known once the files are read, before the first is written.
  auto tell = [&] {
    for (; told < problems.size(); ++told) {
      Say("tavrik-protocol: " + tavrik::protocol::ProblemText(problems[told]) + "\n");
    }
  };
  const int made = tavrik::protocol::RebuildFolder(
      dir,
      [&](const ProtocolFile& f) {
        tell();
        std::string why;
        if (!tavrik::protocol::RewriteFile(f.path, f.data, &why)) {
          Say("tavrik-protocol: не удалось записать " + f.path + ": " + why + "\n");
          ++failed;
        }
      },
      [](int done, int total) {
        if (total >= 500) {
          Say("tavrik-protocol: протоколов " + std::to_string(done) + " из " +
              std::to_string(total) + "\n");
        }
      },
      &problems, &cause);
  tell();
  if (made < 0) {
    Say("tavrik-protocol: " + cause + "\n");
    return 2;
  }
  Say("tavrik-protocol: протоколов " + std::to_string(made - 2) + ", сводка и указатель в " + dir +
      (failed ? "; не записано файлов: " + std::to_string(failed) : "") + "\n");
  return failed ? 1 : 0;
}
