// Runs single operations on register operands, for tests of what an operation computes.
#pragma once

#include <cstdint>
#include <string_view>

#include "support/encode.h"
#include "support/test_vm.h"

namespace orva::test {

struct OpResult {
  uint64_t value;  // the destination register afterwards (all 8 bytes)
  uint8_t flags;   // FLAGS afterwards
  vm::StopKind stop;
  std::vector<std::string> alerts;
};

// `op.size r1, r2` with R1 = d and R2 = s; FLAGS starts as `flags_before`.
inline OpResult RunBinary(std::string_view op, uint32_t size, uint64_t d, uint64_t s,
                          uint8_t flags_before = 0xA8) {
  TestVm t;
  t.SetR(1, d);
  t.SetR(2, s);
  t.host.mem.SetFLAGS(flags_before);
  t.Emit({TwoOp(28, op, size, 1, 2), kHalt});
  vm::Stop stop = t.Run();
  return {t.R(1), t.mem().FLAGS(), stop.kind, t.alerts()};
}

// A unary operation by code on R1 = x.
inline OpResult RunUnary(uint32_t code, uint64_t x, uint8_t flags_before = 0xA8) {
  TestVm t;
  t.SetR(1, x);
  t.host.mem.SetFLAGS(flags_before);
  t.Emit({Unary(kUSlot, code, 1), kHalt});
  vm::Stop stop = t.Run();
  return {t.R(1), t.mem().FLAGS(), stop.kind, t.alerts()};
}

inline uint32_t UCode(std::string_view op, uint32_t size) { return UnaryNumber(op) * 4 + size; }

}  // namespace orva::test
