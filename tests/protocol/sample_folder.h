// Report folders made up for the protocol's tests and benchmarks: the report block and the two
// record files of any number of complete tests, written in the program's formats with numbers
// from a fixed seed, so that every run has the same bytes. The answers scatter around the
// moment (more early than late), a few presses fall on a closed latch, and a level can be given
// dropped frames or the measuring pace.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codepage/cp1251.h"
#include "protocol/csv.h"
#include "protocol/records.h"

namespace tavrik::protocol::sample {

struct Test {
  int kind = 2;  // 1 circular, 2 linear, 3 flash
  std::string subject = "Тест";
  std::string when = "11.12.2026 12:16:08";
  std::uint64_t seed = 1;
  int dropped_per_level = 0;
  bool measuring_first_level = false;
};

// A small deterministic generator (a 64-bit LCG), the same on every system.
class Numbers {
 public:
  explicit Numbers(std::uint64_t seed) : state_(seed * 2862933555777941757ULL + 3037000493ULL) {}
  double Next() {  // [0, 1)
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state_ >> 11) * 0x1.0p-53;
  }

 private:
  std::uint64_t state_;
};

struct Files {
  std::string block;            // Windows-1251
  std::string presses, frames;  // rows only, UTF-8
};

inline Files Make(const Test& t) {
  Numbers n(t.seed);
  Files f;
  const std::string base = CsvField(t.subject) + ";" + t.when + ";";
  bool hits[2][4][10] = {};
  for (int level = 1; level <= 4; ++level) {
    for (int cycle = 1; cycle <= 10; ++cycle) {
      for (int hand = 0; hand < 2; ++hand) {
        double e;
        if (t.kind == 3) {
          e = 150 + 300 * n.Next() - (n.Next() < 0.05 ? 200 : 0);
        } else {
          e = (n.Next() + n.Next() + n.Next() - 1.8) * 60 - 5 * level;
        }
        const bool hit = t.kind == 3 ? e > 0 && e < 450 : e > -45 && e < 45;
        hits[hand][level - 1][cycle - 1] = hit;
        const int frame = (cycle - 1) * 60 + 30 + static_cast<int>(e / 16.667);
        const std::string hand_text = hand == 0 ? "левая" : "правая";
        f.presses += base + CsvRowText({std::to_string(level), std::to_string(cycle), hand_text,
                                        hit ? "попадание" : "промах", std::to_string(frame),
                                        DecimalText(frame * 16.667 + 3, 1), DecimalText(e, 1),
                                        DecimalText(e / 16.667, 2), "90"});
        if (n.Next() < 0.1) {
          f.presses +=
              base +
              CsvRowText({std::to_string(level), std::to_string(cycle), hand_text, "не учтено",
                          std::to_string(frame + 4), DecimalText(frame * 16.667 + 70, 1),
                          DecimalText(e + 67, 1), DecimalText((e + 67) / 16.667, 2), "102"});
        }
      }
    }
    const std::string pacing = t.measuring_first_level && level == 1
                                   ? "измерение частоты, затем вертикальная синхронизация"
                                   : "вертикальная синхронизация";
    f.frames +=
        base + CsvRowText({std::to_string(level), std::to_string(1500 - 200 * level), "59,95",
                           CsvField(pacing), "16,7", "0,4", t.dropped_per_level ? "50,1" : "17,9",
                           std::to_string(t.dropped_per_level)});
  }
  f.block = Utf8ToCp1251("Испытуемый: " + t.subject + "\r\nДата и время: " + t.when +
                         "\r\n\r\nЛевая рука:\r\n");
  for (int hand = 0; hand < 2; ++hand) {
    if (hand == 1) f.block += Utf8ToCp1251("\r\nПравая рука:\r\n");
    for (int level = 1; level <= 4; ++level) {
      f.block += Utf8ToCp1251("Испытание № ") + std::to_string(level) + "    ";
      for (int cycle = 0; cycle < 10; ++cycle)
        f.block += hits[hand][level - 1][cycle] ? ",1 " : ",0 ";
      f.block += "\r\n";
    }
  }
  f.block += "\r\n\r\n";
  return f;
}

inline const char* KindName(int kind) {
  return kind == 1 ? "Круговая" : kind == 2 ? "Линейная" : "Вспышка";
}

// Writes the tests into `dir` (made when missing): blocks, press rows and frame rows appended to
// each kind's three files, headers once.
inline void WriteFolder(const std::filesystem::path& dir, const std::vector<Test>& tests) {
  std::filesystem::create_directories(dir);
  std::string text[4][3];
  for (const Test& t : tests) {
    const Files f = Make(t);
    text[t.kind][0] += f.block;
    text[t.kind][1] += f.presses;
    text[t.kind][2] += f.frames;
  }
  for (int kind = 1; kind <= 3; ++kind) {
    if (text[kind][0].empty()) continue;
    const std::string name = KindName(kind);
    std::vector<std::string> press(PressHeader()), frame(FrameHeader());
    for (auto& h : press) h = CsvField(h);
    for (auto& h : frame) h = CsvField(h);
    std::ofstream(dir / std::filesystem::u8path(name + ".txt"), std::ios::binary) << text[kind][0];
    std::ofstream(dir / std::filesystem::u8path(name + ".csv"), std::ios::binary)
        << kUtf8Bom << CsvRowText(press) << text[kind][1];
    std::ofstream(dir / std::filesystem::u8path(name + "-кадры.csv"), std::ios::binary)
        << kUtf8Bom << CsvRowText(frame) << text[kind][2];
  }
}

// `count` tests of every kind in turn by `subjects` people, a minute apart from 1 January 2026.
inline std::vector<Test> ManyTests(int count, int subjects) {
  std::vector<Test> tests;
  for (int i = 0; i < count; ++i) {
    Test t;
    t.kind = 1 + i % 3;
    static const char* const kNames[] = {"Иван Петров", "Анна Смирнова", "Олег Кузнецов",
                                         "Мария Волкова", "Дмитрий Соколов"};
    const int who = i % subjects;
    t.subject = std::string(kNames[who % 5]) + (who >= 5 ? " " + std::to_string(who / 5) : "");
    const int minutes = i;
    const int day = 1 + minutes / (24 * 60) % 28, month = 1 + minutes / (24 * 60 * 28) % 12;
    char when[32];
    std::snprintf(when, sizeof when, "%02d.%02d.%04d %02d:%02d:00", day, month,
                  2026 + minutes / (24 * 60 * 28 * 12), minutes / 60 % 24, minutes % 60);
    t.when = when;
    t.seed = static_cast<std::uint64_t>(i) + 1;
    t.dropped_per_level = i % 7 == 0 ? 1 : 0;
    tests.push_back(t);
  }
  return tests;
}

}  // namespace tavrik::protocol::sample
