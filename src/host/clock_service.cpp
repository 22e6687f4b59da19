// Group 2: the monotonic clock, the local date and the program timer.
#include <cstdio>
#include <cstring>

#include "core/host.h"
#include "host/timers.h"
#include "services/syscall.h"

namespace orva::host {

void ClockService(Host& host, services::SysCall& call, uint32_t command) {
  switch (command) {
    case 0: {  // start (interval in ms) or, with 0, stop the program timer
      uint32_t interval = call.Arg(0);
      if (interval == 0)
        StopProgramTimer(host);
      else
        StartProgramTimer(host, interval);
      break;
    }
    case 1:  // milliseconds of the monotonic clock, low 32 bits
      call.Result(static_cast<uint32_t>(host.platform.clock().MonotonicNanos() / 1000000));
      break;
    case 2: {  // "YYYY-MM-DD hh:mm:ss" and its NUL into the program's buffer
      platform::LocalTime t = host.platform.clock().Now();
      char text[64];
      int n = std::snprintf(text, sizeof text, "%4.4u-%2.2u-%2.2u %2.2u:%2.2u:%2.2u",
                            static_cast<unsigned>(t.year), static_cast<unsigned>(t.month),
                            static_cast<unsigned>(t.day), static_cast<unsigned>(t.hour),
                            static_cast<unsigned>(t.minute), static_cast<unsigned>(t.second));
      uint32_t buffer = call.Arg(0);
      std::memcpy(call.Bytes(buffer, n + 1), text, n + 1);
      break;
    }
    default: break;  // commands above 2 do nothing
  }
}

}  // namespace orva::host
