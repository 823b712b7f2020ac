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
  const std::vector<ProtocolFile> files = tavrik::protocol::RebuildFolder(
      dir,
      [](int done, int total) {
        if (total >= 500) {
          Say("tavrik-protocol: составлено протоколов " + std::to_string(done) + " из " +
              std::to_string(total) + "\n");
        }
      },
      &problems, &cause);
  for (const auto& p : problems) Say("tavrik-protocol: " + tavrik::protocol::ProblemText(p) + "\n");
  if (!cause.empty()) {
    Say("tavrik-protocol: " + cause + "\n");
    return 2;
  }
  int failed = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string why;
    if (!tavrik::protocol::RewriteFile(files[i].path, files[i].data, &why)) {
      Say("tavrik-protocol: не удалось записать " + files[i].path + ": " + why + "\n");
      ++failed;
    }
    if (files.size() >= 1000 && (i + 1) % 2000 == 0) {
      Say("tavrik-protocol: записано файлов " + std::to_string(i + 1) + " из " +
          std::to_string(files.size()) + "\n");
    }
  }
  Say("tavrik-protocol: протоколов " + std::to_string(files.size() - 2) +
      ", сводка и указатель в " + dir +
      (failed ? "; не записано файлов: " + std::to_string(failed) : "") + "\n");
  return failed ? 1 : 0;
}
