// Test doubles for the session's services (a scripted random sequence that logs every draw and
// reseed in order, a fixed clock, collected error messages) and a scratch folder per test.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/session_state.h"

namespace tavrik::testkit {

struct FakeServices {
  std::vector<double> script;      // values Rnd returns first, in order
  std::size_t next = 0;            // index of the next scripted value
  std::vector<std::string> calls;  // "Rnd" or "Randomize" in call order
  std::vector<double> seeds;       // arguments of Randomize
  std::vector<std::string> errors;
  std::vector<std::string> asked;   // messages of AskSaveChoice, in order
  std::vector<SaveChoice> choices;  // its answers in order; then "save separately"
  LocalTime now;
  std::mt19937 fallback{12345};  // after the script: deterministic, never stuck on one value
};

// Installs the fakes into `s`; the returned record stays shared with the lambdas.
inline std::shared_ptr<FakeServices> InstallFakes(SessionState& s,
                                                  std::vector<double> script = {}) {
  auto f = std::make_shared<FakeServices>();
  f->script = std::move(script);
  s.services.Rnd = [f]() {
    f->calls.push_back("Rnd");
    if (f->next < f->script.size()) return f->script[f->next++];
    return std::uniform_real_distribution<double>(0.0, 1.0)(f->fallback);
  };
  s.services.Randomize = [f](double seconds) {
    f->calls.push_back("Randomize");
    f->seeds.push_back(seconds);
  };
  s.services.Now = [f]() { return f->now; };
  s.services.ShowCursor = [](bool) {};
  s.services.ShowError = [f](const std::string& message) { f->errors.push_back(message); };
  s.services.AskSaveChoice = [f](const std::string& message) {
    const std::size_t i = f->asked.size();
    f->asked.push_back(message);
    return i < f->choices.size() ? f->choices[i] : SaveChoice::kSaveSeparately;
  };
  return f;
}

// A fresh, empty folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("tavrik_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
             std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder as the program writes folders: UTF-8, ending in '/'.
  std::string str() const { return path_.u8string() + "/"; }

 private:
  std::filesystem::path path_;
};

}  // namespace tavrik::testkit
