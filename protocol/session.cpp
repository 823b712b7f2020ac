// A test's verdict on its own timing, its hits and its protocol's file name.
#include "protocol/session.h"

#include "protocol/csv.h"

namespace tavrik::protocol {

std::string TestName(int test_kind) {
  switch (test_kind) {
    case 1:
      return "Круговая";
    case 2:
      return "Линейная";
    case 3:
      return "Вспышка";
    default:
      return "";
  }
}

int TestKindOfName(const std::string& name) {
  for (int kind = 1; kind <= 3; ++kind) {
    if (TestName(kind) == name) return kind;
  }
  return 0;
}

TimingVerdict JudgeTiming(const Session& s) {
  TimingVerdict v;
  v.recorded = !s.frames.empty();
  if (!v.recorded) {
    v.summary = "нет записи кадров";
    return v;
  }
  std::vector<int> doubtful;
  bool one_pacing = true;
  for (const FrameRow& f : s.frames) {
    v.dropped += f.dropped;
    if (f.display_hz > 0) v.display_hz = f.display_hz;
    if (f.pacing != s.frames.front().pacing) one_pacing = false;
    const bool measuring = f.pacing.find("измерение частоты") != std::string::npos;
    if (f.dropped == 0 && !measuring) continue;
    doubtful.push_back(f.level);
    std::string why;
    if (f.dropped > 0) why = "пропущено кадров: " + std::to_string(f.dropped);
    if (measuring) {
      why += (why.empty() ? "" : "; ") + std::string("темп задавало измерение частоты экрана");
    }
    v.warnings.push_back("Уровень " + std::to_string(f.level) + ": " + why);
  }
  if (one_pacing) v.pacing = s.frames.front().pacing;
  v.clean = doubtful.empty();
  if (v.clean) {
    v.summary = "в порядке";
  } else {
    v.summary = doubtful.size() == 1 ? "уровень" : "уровни";
    for (std::size_t i = 0; i < doubtful.size(); ++i) {
      v.summary += (i ? ", " : " ") + std::to_string(doubtful[i]);
    }
    v.summary += ": возможны неточности";
  }
  return v;
}

std::string ProtocolFileName(const Session& s) {
  std::string name;
  for (const char c : s.subject) {
    const unsigned char u = static_cast<unsigned char>(c);
    const bool forbidden = u < 32 || std::string("<>:\"/\\|?*").find(c) != std::string::npos;
    name += forbidden ? '_' : c;
  }
  if (name.size() > 150) {
    // Not inside a UTF-8 sequence.
    std::size_t cut = 150;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  std::string stem = TestName(s.test_kind) + " " + SortableWhen(s.when) + " " + name;
  // Windows drops trailing dots and blanks from a name, so two names could meet as one.
  while (!stem.empty() && (stem.back() == '.' || stem.back() == ' ')) stem.pop_back();
  return stem + ".html";
}

void CountHits(const Session& s, int hits[2][kLevelCount + 1]) {
  for (int hand = 0; hand < 2; ++hand) {
    for (int level = 0; level <= kLevelCount; ++level) hits[hand][level] = 0;
    if (!s.has_block) continue;
    for (int level = 1; level <= kLevelCount; ++level) {
      for (int cycle = 0; cycle < kCyclesPerLevel; ++cycle) {
        const int hit = s.block.hits[hand][level - 1][cycle];
        hits[hand][level] += hit;
        hits[hand][0] += hit;
      }
    }
  }
}

}  // namespace tavrik::protocol
