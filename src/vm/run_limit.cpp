#include "vm/run_limit.h"

#include <time.h>

#include <algorithm>
#include <cstdio>

#include "core/host.h"

namespace orva::vm {

namespace {

uint64_t NowNanos() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

}  // namespace

StopKind CheckRunLimit(Host& host) {
  RunLimit& l = host.machine.limit;
  l.transfers_left -= std::min<uint64_t>(l.transfers_left, l.armed);
  StopKind stop = StopKind::kReturned;
  if (l.transfers_left == 0) {
    stop = StopKind::kLimit;
    l.transfers_left = UINT64_MAX;  // a limit stops one run, not every run after it
  } else if (l.deadline_ns != 0 && NowNanos() >= l.deadline_ns) {
    stop = StopKind::kTimeLimit;
  }
  l.armed = static_cast<uint32_t>(std::min<uint64_t>(kCheckInterval, l.transfers_left));
  l.countdown = l.armed;
  return stop;
}

void SetTimeLimit(Host& host, double seconds) {
  host.machine.limit.deadline_ns =
      seconds > 0 ? NowNanos() + static_cast<uint64_t>(seconds * 1e9) : 0;
}

void SetTransferLimit(Host& host, uint64_t transfers) {
  RunLimit& l = host.machine.limit;
  l.transfers_left = transfers;
  l.armed = static_cast<uint32_t>(std::min<uint64_t>(kCheckInterval, transfers));
  l.countdown = l.armed;
}

bool TimeLimitPassed(const Host& host) {
  uint64_t deadline = host.machine.limit.deadline_ns;
  return deadline != 0 && NowNanos() >= deadline;
}

void EndOnTimeLimit(Host& host, const uint32_t* pc) {
  if (pc) {
    ShowMessageBox(host, StopText({StopKind::kTimeLimit, *pc, 0}));
  } else {
    ShowMessageBox(host, "Time limit reached. Terminating. So sorry.");
  }
  ExitProcess(host, kTimeLimitStatus);
}

}  // namespace orva::vm
