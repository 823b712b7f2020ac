// Writes a report folder whose newest protocols are the fullest pages the program makes: one
// subject with ten earlier sessions of each test, and last a test of each kind with a long name
// full of characters that HTML and Windows file names must take care of, a dropped frame on
// every level and the first level paced by measuring. For the print check.
//
//   protocol_sample <report folder>
//   protocol_sample --many N <report folder>   N tests of every kind in turn, a minute apart, by
//                                              5 subjects (100 from 500 tests on), for the
//                                              README's pictures and timing tavrik-protocol
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sample_folder.h"

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--many") {
    const int count = std::atoi(argv[2]);
    tavrik::protocol::sample::WriteFolder(
        std::filesystem::u8path(argv[3]),
        tavrik::protocol::sample::ManyTests(count, count < 500 ? 5 : 100));
    std::printf("protocol_sample: %d tests written to %s\n", count, argv[3]);
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: protocol_sample <report folder>\n");
    return 2;
  }
  using tavrik::protocol::sample::Test;
  const std::string subject = "Анна-Мария <Ёлкина> & «Ко»; \"тест\" / Константинопольская";
  std::vector<Test> tests;
  for (int i = 0; i < 30; ++i) {
    Test t;
    t.kind = 1 + i % 3;
    t.subject = subject;
    char when[32];
    std::snprintf(when, sizeof when, "%02d.11.2026 10:%02d:00", 1 + i / 3, i);
    t.when = when;
    t.seed = static_cast<std::uint64_t>(100 + i);
    tests.push_back(t);
  }
  for (int kind = 1; kind <= 3; ++kind) {
    Test t;
    t.kind = kind;
    t.subject = subject;
    t.when = "11.12.2026 12:16:0" + std::to_string(kind);
    t.seed = static_cast<std::uint64_t>(kind);
    t.dropped_per_level = 2;
    t.measuring_first_level = true;
    tests.push_back(t);
  }
  tavrik::protocol::sample::WriteFolder(std::filesystem::u8path(argv[1]), tests);
  std::printf("protocol_sample: %zu tests written to %s\n", tests.size(), argv[1]);
  return 0;
}
