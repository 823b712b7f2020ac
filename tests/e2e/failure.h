// How an end-to-end check fails: an exception with a message for the person reading the test's
// output, and the progress log that gives it context.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

namespace e2e {

class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Seconds since the driver started, for the progress log.
double Elapsed();

// One progress line on standard output, with the time since the start.
void Log(const std::string& line);

}  // namespace e2e
