// The session record's reset and the default services behind its seams.
#include "engine/session_state.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <stdexcept>

#include "engine/test_constants.h"

namespace tavrik {

double SecondsSinceMidnight(const LocalTime& t) {
  return t.hour * 3600.0 + t.minute * 60.0 + t.second + t.millisecond / 1000.0;
}

SessionServices DefaultServices() {
  SessionServices sv;
  auto gen = std::make_shared<std::mt19937_64>(std::random_device{}());
  // 53 random bits scaled into [0, 1): never 1.0, unlike generate_canonical on some libraries.
  sv.Rnd = [gen]() { return static_cast<double>((*gen)() >> 11) * 0x1.0p-53; };
  sv.Randomize = [gen](double seconds) {
    // The whole time of day, fraction included, goes into the seed, so two levels set up
    // within the same second still draw differently.
    gen->seed(static_cast<std::uint64_t>(seconds * 1000.0) ^ 0x9E3779B97F4A7C15ULL);
  };
  sv.Now = []() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t tt = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &tt);
#else
    localtime_r(&tt, &tm);
#endif
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = static_cast<int>(ms);
    return t;
  };
  sv.ShowCursor = [](bool) {};
  sv.ShowError = [](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); };
  sv.AskSaveChoice = [](const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return SaveChoice::kSaveSeparately;
  };
  sv.WriteReport = [](SessionState&) {
    throw std::logic_error("StartLevel: no report writer wired into the session's services");
  };
  return sv;
}

SessionState::SessionState() : services(DefaultServices()) {}

void ResetSession(SessionState& s) {
  s.MenuLevel = kMenuLevelMenu;
  s.FlashDelayMin = kFlashDelayMin;
  s.FlashDelaySpread = kFlashDelaySpread;
  s.FlashLengthMin = kFlashLengthMin;
  s.FlashLengthSpread = kFlashLengthSpread;
  s.LeftKeyHeld = 0;
  s.RightKeyHeld = 0;
  s.LeftHitsLevel = 0;
  s.RightHitsLevel = 0;
  s.LeftHitsTotal = 0;
  s.RightHitsTotal = 0;
  s.LeftLatch = 0;
  s.RightLatch = 0;
  s.ScreenState = kScreenMenu;
  s.Cycle = 0;
  s.FlashNumber = 0;
  s.LevelCount = kLevelCount;
  s.CyclesPerLevel = kCyclesPerLevel;
  s.FlashesPerLevel = kFlashesPerLevel;
  s.Level = 0;
  ClearTimingRecord(s.Timing);
  for (s.RowIndex = 1; s.RowIndex <= kLevelCount; ++s.RowIndex) {
    for (s.ColIndex = 1; s.ColIndex <= kCyclesPerLevel; ++s.ColIndex) {
      s.LeftResults[s.RowIndex][s.ColIndex] = "0 ";
      s.RightResults[s.RowIndex][s.ColIndex] = "0 ";
    }
  }
}

Screen ShownScreen(const SessionState& s) {
  if (s.MenuLevel == kMenuLevelMenu) return Screen::kMenu;
  if (s.MenuLevel == kMenuLevelName) return Screen::kName;
  if (s.ScreenState == kScreenRunning) return Screen::kRunning;
  if (s.Cycle <= s.CyclesPerLevel) return Screen::kReady;
  return s.Level < s.LevelCount ? Screen::kLevelDone : Screen::kTestDone;
}

}  // namespace tavrik
