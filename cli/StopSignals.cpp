// Stop requests from signals.

#include "cli/StopSignals.h"

#include <signal.h>

namespace {

volatile sig_atomic_t requests = 0;

void onSignal(int signal) {
  if (requests < 1000) requests = requests + 1;
  if (requests >= 3) {
    ::signal(signal, SIG_DFL);
    raise(signal);
  }
}

}  // namespace

void StopSignals::install() {
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int StopSignals::count() { return requests; }
