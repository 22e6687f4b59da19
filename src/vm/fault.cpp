#include "vm/fault.h"

#include <cstdio>

#include "core/host.h"

namespace orva::vm {

namespace {

std::string Format(const char* format, uint32_t a, uint32_t b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

std::string StopText(const Stop& stop) {
  switch (stop.kind) {
    case StopKind::kReturned:
    case StopKind::kModal:
    case StopKind::kHalt:
    case StopKind::kLimit:
    case StopKind::kStepped: return {};
    case StopKind::kIllegalEmod: return Format("Illegal EMOD at 0x%8.8X", stop.pc);
    case StopKind::kIllegalOpcode:
      return Format("Illegal opcode at 0x%8.8X\nTerminating program. So terribly sorry.", stop.pc);
    case StopKind::kStackOverflow:
      return Format("Stack overflow at 0x%8.8X. Terminating. So sorry.", stop.pc);
    case StopKind::kBadAddress:
      return Format("Bad address 0x%8.8X at 0x%8.8X. Terminating. So sorry.", stop.address,
                    stop.pc);
    case StopKind::kDivideByZero:
      return Format("Division by zero at 0x%8.8X. Terminating. So sorry.", stop.pc);
    case StopKind::kTimeLimit:
      return Format("Time limit reached at 0x%8.8X. Terminating. So sorry.", stop.pc);
  }
  return {};
}

void ReportStop(Host& host, const Stop& stop) {
  std::string text = StopText(stop);
  if (!text.empty()) ShowMessageBox(host, text);
  if (IsFatal(stop.kind)) host.machine.exit_state |= kExitFault;
}

void AlertFloatSize(Host& host, uint32_t pc) {
  ShowMessageBox(host, Format("BYTE/WORD size illegal for FLOAT/DOUBLE at 0x%8.8X", pc));
}

}  // namespace orva::vm
