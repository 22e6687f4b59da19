// The instrumented loop: counts what it runs, traces a range, and stops at a limit.
#include "vm/trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "support/encode.h"
#include "support/test_vm.h"
#include "vm/interpreter.h"

namespace orva::test {
namespace {

std::string Slurp(std::FILE* f) {
  std::rewind(f);
  std::string out;
  char buf[256];
  while (size_t n = std::fread(buf, 1, sizeof buf, f)) out.append(buf, n);
  return out;
}

TEST(Trace, PrintsEachInstructionInRangeWithWhatItChanged) {
  TestVm t;
  std::FILE* out = std::tmpfile();
  t.host.machine.tracer = std::make_shared<vm::Tracer>(out, 0x204, 0x20C);
  t.SetR(2, 2);
  t.Emit({TwoOp(30, "mov", kL, 1, Short(5)),  // 200: outside the range
          TwoOp(28, "add", kL, 1, 2),         // 204
          TwoOp(30, "sub", kL, 1, Short(7)),  // 208
          kHalt});                            // 20C
  EXPECT_EQ(t.Run().kind, vm::StopKind::kHalt);
  EXPECT_EQ(t.host.machine.tracer->executed(), 4u);
  std::string text = Slurp(out);
  std::fclose(out);
  EXPECT_EQ(text,
            "00000204  add.l r1, r2                     r1=0x7\n"
            "00000208  sub.l r1, #7                     r1=0x0 flags=0x2\n"
            "0000020C  halt\n");
}

TEST(Trace, ALimitStopsTheRunBeforeTheNextInstruction) {
  TestVm t;
  t.host.machine.tracer = std::make_shared<vm::Tracer>(nullptr, 0, 0);
  t.host.machine.tracer->set_limit(1000);
  t.Emit({Jump(512)});  // forever
  vm::Stop stop = t.Run();
  EXPECT_EQ(stop.kind, vm::StopKind::kLimit);
  EXPECT_EQ(t.host.machine.tracer->executed(), 1000u);
  EXPECT_EQ(t.mem().PC(), 512u);
}

}  // namespace
}  // namespace orva::test
