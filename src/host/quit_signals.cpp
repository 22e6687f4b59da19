#include "host/quit_signals.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

namespace orva::host {

namespace {

enum State : int { kNone, kRequested, kAsking };

// The one process-wide variable of the host: a signal handler has nowhere else to write.
std::atomic<int> g_state{kNone};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnQuitSignal(int signal) {
  if (signal == SIGINT && g_state.load() != kNone) {
    static const char kText[] = "orva: interrupted again while the program was busy; ending now\n";
    [[maybe_unused]] ssize_t n = write(STDERR_FILENO, kText, sizeof kText - 1);
    _exit(kInterruptedStatus);
  }
  int none = kNone;
  g_state.compare_exchange_strong(none, kRequested);
}

}  // namespace

void InstallQuitSignals() {
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool TakeQuitSignal() {
  int requested = kRequested;
  return g_state.compare_exchange_strong(requested, kAsking);
}

void QuitSignalAnswered() { g_state.store(kNone); }

}  // namespace orva::host
