// Test doubles for the session's services: a scripted random sequence that logs every draw and
// reseed in order, a fixed clock, collected error messages and scripted answers to the save
// question.
#pragma once

#include <cstddef>
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
std::shared_ptr<FakeServices> InstallFakes(SessionState& s, std::vector<double> script = {});

}  // namespace tavrik::testkit
