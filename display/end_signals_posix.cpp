// POSIX: SIGTERM, SIGINT and SIGHUP, with system calls restarted after the handler.
#include <signal.h>

#include <initializer_list>

#include "display/end_signals.h"

namespace tavrik {

void CatchEndSignals(void (*handler)(int)) {
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction old {};
    sigaction(sig, nullptr, &old);
    if (old.sa_handler == SIG_IGN) continue;  // started with nohup or the like: stays ignored
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(sig, &action, nullptr);
  }
}

}  // namespace tavrik
