// Every way the interpreter hands control back to the host, declared once with its alert text.
// The loop itself never shows an alert for a stop: it returns a `Stop` record, and ReportStop()
// turns that into the alert and the exit state.
#pragma once

#include <cstdint>
#include <string>

namespace orva {
struct Host;
}

namespace orva::vm {

enum class StopKind : uint8_t {
  kReturned,       // the entry routine returned to address 0
  kModal,          // MODAL saved a context and handed control back
  kIllegalEmod,    // EMOD without a saved context: the run ends, the program goes on
  kHalt,           // the halt instruction
  kIllegalOpcode,  // an encoding that means nothing
  kStackOverflow,  // the stack pointer would fall below the stack's limit
  kBadAddress,     // an access outside the image
  kDivideByZero,   // integer division or remainder by zero
  kLimit,          // a run reached its instruction limit (vm/trace.h) or loop limit (run_limit.h)
  kTimeLimit,      // the time limit passed (vm/run_limit.h); the process ends
  kStepped,        // the reference loop ran the one instruction it was asked to (vm/fast_loop.h)
};

struct Stop {
  StopKind kind = StopKind::kReturned;
  uint32_t pc = 0;       // address of the instruction that stopped
  uint32_t address = 0;  // kBadAddress: the first address that was out of reach
};

// Whether a stop ends the program (exit-state bit 0, then the exit message).
constexpr bool IsFatal(StopKind k) {
  return k == StopKind::kHalt || k == StopKind::kIllegalOpcode || k == StopKind::kStackOverflow ||
         k == StopKind::kBadAddress || k == StopKind::kDivideByZero;
}

// The alert shown for a stop; empty for the stops that show none.
std::string StopText(const Stop&);

// Shows the stop's alert, if it has one, and sets exit-state bit 0 for a fatal stop.
void ReportStop(Host&, const Stop&);

// The alert of a floating operation with a BYTE or WORD size; the program then goes on.
void AlertFloatSize(Host&, uint32_t pc);

}  // namespace orva::vm
