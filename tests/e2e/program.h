// The program under test as a child process: started in its start folder with its standard error
// kept in a file, watched for its exit, and killed when a scenario fails.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace e2e {

class Program {
 public:
  // Starts `executable` (a path relative to `start_folder`, like "./Tavrik2") with
  // `start_folder` as its working directory; standard error goes to `stderr_path`. A
  // `launcher` runs it instead when given (the Wine runner and its prefix for "./Tavrik2.exe"):
  // the executable is then its last argument, and the launcher's process is the program's.
  // `arguments` follow the executable.
  Program(const std::string& start_folder, const std::string& executable,
          const std::string& stderr_path, const std::vector<std::string>& launcher = {},
          const std::vector<std::string>& arguments = {});
  ~Program();  // kills the program if it still runs
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // True once the program has ended; `exit_code` is its exit status, or 128 + signal.
  bool Ended(int* exit_code);
  // Waits up to `seconds` for the program to end; false if it still runs.
  bool WaitEnd(double seconds, int* exit_code);
  // Waits up to `seconds` for the program to end with exit code 0 after `what` (for example
  // "Esc on the menu"); throws Failure, with its standard error, otherwise.
  void WaitCleanEnd(double seconds, const std::string& what);
  void Kill();
  // Asks the program to end, as a desktop's session manager would (SIGTERM).
  void Terminate();
  // Sends `signal` to the program if it still runs.
  void Signal(int signal);
  // Throws Failure, quoting its standard error, if the program has ended.
  void CheckRunning(const std::string& when);

  std::string StandardError() const;
  const std::string& Name() const { return executable_; }

 private:
  std::string executable_;
  std::string stderr_path_;
  pid_t pid_ = -1;
  bool ended_ = false;
  int exit_code_ = 0;
};

}  // namespace e2e
