// The program under test as a child process.
#include "program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "failure.h"

namespace e2e {

Program::Program(const std::string& start_folder, const std::string& executable,
                 const std::string& stderr_path, const std::vector<std::string>& launcher,
                 const std::vector<std::string>& arguments)
    : executable_(executable), stderr_path_(stderr_path) {
  const int err = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (err < 0) throw Failure("cannot create " + stderr_path);
  std::vector<std::string> command = launcher;
  command.push_back(executable);
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : command) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    // Should the driver die (a test runner's timeout kills it outright), the program goes too.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // A shell without job control starts its background jobs with SIGINT ignored; the program
    // gets the ordinary dispositions whatever started the tests.
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, SIG_DFL);
    if (chdir(start_folder.c_str()) != 0) _exit(126);
    dup2(err, 2);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(err);
  if (pid_ < 0) throw Failure("cannot start " + executable);
  Log("started " + executable + " (pid " + std::to_string(pid_) + ") in " + start_folder);
}

Program::~Program() {
  Kill();
}

bool Program::Ended(int* exit_code) {
  if (!ended_ && pid_ > 0) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      ended_ = true;
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
  }
  if (ended_ && exit_code) *exit_code = exit_code_;
  return ended_;
}

bool Program::WaitEnd(double seconds, int* exit_code) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!Ended(exit_code)) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void Program::WaitCleanEnd(double seconds, const std::string& what) {
  int code = -1;
  if (!WaitEnd(seconds, &code)) {
    throw Failure(Name() + " still runs " + std::to_string(static_cast<int>(seconds)) +
                  " s after " + what);
  }
  if (code != 0) {
    throw Failure(Name() + " ended with exit code " + std::to_string(code) + " after " + what +
                  "; its standard error:\n" + StandardError());
  }
}

void Program::Signal(int signal) {
  if (pid_ > 0 && !Ended(nullptr)) kill(pid_, signal);
}

void Program::Kill() {
  if (pid_ <= 0 || Ended(nullptr)) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  ended_ = true;
  exit_code_ = 128 + SIGKILL;
}

void Program::Terminate() {
  if (pid_ > 0 && !Ended(nullptr)) kill(pid_, SIGTERM);
}

void Program::CheckRunning(const std::string& when) {
  int code = 0;
  if (Ended(&code)) {
    throw Failure(executable_ + " ended " + when + " with exit code " + std::to_string(code) +
                  "; its standard error:\n" + StandardError());
  }
}

std::string Program::StandardError() const {
  std::ifstream in(stderr_path_, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace e2e
