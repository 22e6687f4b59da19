// Instrumentation of the interpreter: counts executed instructions and, for --trace, prints each
// instruction executed in an address range with the registers and header fields it changed.
// The interpreter runs a second instantiation of its loop when a Tracer is installed, so the
// ordinary loop carries no trace code at all.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

#include "vm/image.h"

namespace orva::vm {

class Tracer {
 public:
  // Traces instructions whose address lies in [from, to] to `out`; with `out` null it only
  // counts.
  Tracer(std::FILE* out, uint32_t from, uint32_t to) : out_(out), from_(from), to_(to) {}

  // Stops a run after this many instructions (fuzzing, watchdogs); a limited run ends with
  // StopKind::kLimit.
  void set_limit(uint64_t limit) { limit_ = limit; }

  // Called before each instruction, with the header holding the state before it. False when
  // the instruction limit has been reached and the instruction must not run.
  bool Step(const Memory& mem, uint32_t pc);
  // Called when the loop returns to the host, with the header holding the final state.
  void Finish(const Memory& mem);

  uint64_t executed() const { return executed_; }

  // Single steps for the pre-decoded loop: the next run stops after one instruction with
  // StopKind::kStepped, and the tracer records the range of image bytes it may have written.
  void BeginStep() {
    executed_ = 0;
    limit_ = 1;
    stepping_ = true;
    wrote_lo_ = UINT32_MAX;
    wrote_hi_ = 0;
    wrote_anything_ = false;
  }
  bool stepping() const { return stepping_; }
  void Wrote(uint32_t address, uint64_t n) {
    if (address < wrote_lo_) wrote_lo_ = address;
    if (address + n > wrote_hi_) wrote_hi_ = address + n;
  }
  // A service ran: it may have written anywhere.
  void WroteAnything() { wrote_anything_ = true; }
  uint32_t wrote_lo() const { return wrote_lo_; }
  uint64_t wrote_hi() const { return wrote_hi_; }
  bool wrote_anything() const { return wrote_anything_; }

 private:
  void PrintPending(const Memory& mem);

  std::FILE* out_;
  uint32_t from_, to_;
  uint64_t executed_ = 0;
  uint64_t limit_ = UINT64_MAX;
  bool stepping_ = false;
  uint32_t wrote_lo_ = UINT32_MAX;
  uint64_t wrote_hi_ = 0;
  bool wrote_anything_ = false;
  bool pending_ = false;  // an instruction has been snapshotted and awaits its changes
  uint32_t pending_pc_ = 0;
  std::array<uint8_t, kHeaderSize> before_{};
};

}  // namespace orva::vm
