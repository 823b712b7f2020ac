// A stand-in for a spreadsheet that has a record file open: a Windows console program that
// opens a file as a spreadsheet holds the workbook it shows (reading, others allowed to read
// only), so that any other program's writing to it fails with a sharing violation until it lets
// go. The end-to-end tests run it under Wine beside the program, whose wineserver enforces the
// sharing mode between them.
//
//   hold_file.exe <file> <release file>
//
// The file is opened, and made (empty) when missing; "holding <file>" on standard error says it
// is held. Once <release file> exists the file is closed, "released <file>" follows, and the
// exit code is 0. Exit code 1: the file could not be opened; 2: no release within 10 minutes
// (nothing must be left running by a test that gave up).
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return "";
  std::string text(static_cast<std::size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
  return text;
}

// The driver reads these lines from a file while the program runs: each goes out whole at once.
void Say(const std::string& line) {
  const std::string text = line + "\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

int main() {
  int argc = 0;
  // The names come in UTF-8 from Linux and are Cyrillic: only the wide command line has them
  // whole, whatever the code page Wine gives the program.
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 3) {
    Say("usage: hold_file.exe <file> <release file>");
    return 1;
  }
  const std::string name = Utf8(argv[1]);
  const HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Say("cannot open " + name + ": error " + std::to_string(GetLastError()));
    return 1;
  }
  Say("holding " + name);
  // Seldom: every look is a request to wineserver, which the program under test shares.
  const DWORD kPollMs = 250;
  const DWORD kGiveUpMs = 10 * 60 * 1000;
  for (DWORD waited = 0; GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES;
       waited += kPollMs) {
    if (waited >= kGiveUpMs) {
      CloseHandle(file);
      Say("never told to let go of " + name);
      return 2;
    }
    Sleep(kPollMs);
  }
  CloseHandle(file);
  Say("released " + name);
  LocalFree(argv);
  return 0;
}
