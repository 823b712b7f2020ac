// The session's services replaced by the fakes of fake_services.h.
#include "testkit/fake_services.h"

#include <utility>

namespace tavrik::testkit {

std::shared_ptr<FakeServices> InstallFakes(SessionState& s, std::vector<double> script) {
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

}  // namespace tavrik::testkit
