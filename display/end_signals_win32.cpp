// Windows raises only SIGINT (Ctrl+C in a console) and SIGBREAK (Ctrl+Break, the console closed);
// a process ended from outside (the Task Manager) gets no signal at all.
#include <csignal>
#include <initializer_list>

#include "display/end_signals.h"

namespace tavrik {

void CatchEndSignals(void (*handler)(int)) {
  for (const int sig : {SIGINT, SIGBREAK}) std::signal(sig, handler);
}

}  // namespace tavrik
