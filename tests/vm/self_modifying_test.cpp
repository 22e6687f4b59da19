// Code that the program, a service or the host writes runs as written, in the pre-decoded loop
// as in the reference loop, even when the old code has run (and been decoded) before.
#include <gtest/gtest.h>

#include <functional>

#include "support/asm_vm.h"
#include "support/encode.h"
#include "support/test_vm.h"
#include "vm/interpreter.h"
#include "vm/messages.h"
#include "vm/run_limit.h"

namespace orva::test {
namespace {

using vm::StopKind;

// Each part rewrites code that has already run: the immediate of the instruction before the
// store, the instruction right after it, the branch of a fused pair by the pair's own operation,
// and that branch again by an earlier instruction. Each leaves a register saying which code ran.
constexpr std::string_view kRewriting = R"(
        .include "qx.inc"
        .code
main:   enter 0, 0
        mov.l r1, #0                    ; the add runs with 1, then with 10 four times
        mov.l r3, #5
imm1:   add.l r1, #!1
        mov.l [imm1+4], #!10
        sub.l r3, #1
        bne imm1

        mov.l r4, #0                    ; the add runs with 1, then as rewritten, with 4
        mov.l r3, #2
again2: cmp.l r3, #1
        bne next2
        mov.l r2, [repl2]
        mov.l [next2], r2
next2:  add.l r4, #1
        sub.l r3, #1
        bne again2

        mov.l r5, #0                    ; the sub turns "beq" into "bne" (condition 0 into 1)
        mov.l r6, #-128
        sub.l [br3], r6
br3:    beq taken3
        mov.l r5, #1
        jmp done3
taken3: mov.l r5, #2
done3:
        mov.l r7, #0                    ; the fused pair's beq becomes a bne after one pass
        mov.l r3, #2
loop4:  cmp.l r3, #2
br4:    beq t4
        add.l r7, #8
        jmp n4
t4:     add.l r7, #1
        mov.l r2, [repl4]
        mov.l [br4], r2
n4:     sub.l r3, #1
        bne loop4
        ret 0
x4:     add.l r7, #!100
        jmp n4
repl2:  add.l r4, #4
repl4:  bne x4
)";

TEST(SelfModifying, RewrittenImmediatesInstructionsAndFusedBranchesRunAsWritten) {
  std::vector<uint8_t> images[2];
  for (bool predecoded : {false, true}) {
    SCOPED_TRACE(predecoded ? "pre-decoded" : "reference");
    AsmVm t(kRewriting);
    t.host.machine.predecoded = predecoded;
    vm::QXmsg(t.host, {1, 0, 0, 0});
    EXPECT_EQ(t.host.mem.R(1), 41u);
    EXPECT_EQ(t.host.mem.R(4), 5u);
    EXPECT_EQ(t.host.mem.R(5), 2u);
    EXPECT_EQ(t.host.mem.R(7), 101u);
    images[predecoded].assign(t.host.mem.base, t.host.mem.base + t.host.mem.size);
  }
  EXPECT_TRUE(images[0] == images[1]);
}

// Every way the pre-decoded loop writes memory, and the reference loop's single steps and the
// services it calls, aimed at an instruction that has run: the code there must run as written.
// A writer that forgot to reset what it overwrote would run the old instruction.
struct Writer {
  const char* what;
  // The writer's words at 512, given the address T of the instruction it overwrites.
  std::function<std::vector<uint32_t>(uint32_t T)> code;
  // Registers and header fields, given T.
  std::function<void(TestVm&, uint32_t T)> setup;
};

constexpr uint32_t kOld = TwoOp(30, "mov", kL, 8, Short(1));  // mov.l r8, #1
constexpr uint32_t kNew = TwoOp(30, "mov", kL, 8, Short(2));  // mov.l r8, #2
constexpr uint32_t kT = 512 + 32;  // the instruction overwritten, after the writer and nops

TEST(SelfModifying, EveryWriterResetsTheCodeItChanges) {
  auto r = [](uint32_t n, uint64_t v) { return [=](TestVm& t, uint32_t) { t.SetR(n, v); }; };
  // Stack writers need SP just above T, and room down to it.
  auto stack = [](uint32_t above) {
    return [=](TestVm& t, uint32_t T) {
      t.host.mem.SetSP(T + above);
      t.SetU32(vm::kOffSTKLIM, 0);
    };
  };
  using Words = std::vector<uint32_t>;
  const Writer writers[] = {
      {"mov to an absolute address",
       [](uint32_t T) {
         return Words{TwoOp(25, "mov", kL, 1), T};
       },
       r(1, kNew)},
      {"mov through a register",
       [](uint32_t) {
         return Words{TwoOp(2, "mov", kL, 1, 2), 0};
       },
       [](TestVm& t, uint32_t T) { t.SetR(1, T), t.SetR(2, kNew); }},
      {"mov to FP + d16", [](uint32_t) { return Words{TwoOp(19, "mov", kL, 1, D16(8))}; },
       [](TestVm& t, uint32_t T) { t.SetR(1, kNew), t.host.mem.SetFP(T - 8); }},
      {"add of a register",
       [](uint32_t T) {
         return Words{TwoOp(25, "add", kL, 1), T};
       },
       r(1, kNew - kOld)},
      {"xor of an immediate",
       [](uint32_t T) {
         return Words{TwoOp(13, "xor", kL), T, kNew ^ kOld};
       },
       nullptr},
      {"movz of 8 bytes",
       [](uint32_t T) {
         return Words{TwoOp(25, "movz", kQ, 1), T};
       },
       r(1, kNew | uint64_t{kHalt} << 32)},
      {"pop",
       [](uint32_t T) {
         return Words{Unary(kUAbs, UCode("pop", kL)), T};
       },
       [](TestVm& t, uint32_t) {
         t.SetU32(t.mem().SP() - 4, kNew), t.host.mem.SetSP(t.mem().SP() - 4);
       }},
      {"not",
       [](uint32_t T) {
         return Words{Unary(kUAbs, UCode("not", kL)), T};
       },
       nullptr},
      {"push of a register", [](uint32_t) { return Words{Unary(kUSlot, UCode("push", kL), 1)}; },
       stack(4)},
      {"push of an address",
       [](uint32_t) {
         return Words{Unary(kUAbs, UCode("pusha", kL)), 0x300};
       },
       stack(4)},
      {"push of an immediate",
       [](uint32_t) {
         return Words{628, kNew};
       },
       stack(4)},
      {"call",
       [](uint32_t T) {
         return Words{84, T + 4};
       },
       stack(8)},
      {"call through a register", [](uint32_t) { return Words{852 | 2 << 12}; },
       [&](TestVm& t, uint32_t T) { stack(8)(t, T), t.SetR(2, T + 4); }},
      {"frame entry", [](uint32_t) { return Words{Enter(0, 0)}; },
       [&](TestVm& t, uint32_t T) { stack(4)(t, T), t.host.mem.SetFP(kNew); }},
      {"lea",
       [](uint32_t T) {
         return Words{TwoOp(21, "lea", kL), T, 0x300};
       },
       nullptr},
      {"unsigned division",
       [](uint32_t T) {
         return Words{TwoOp(25, "divu", kL, 1), T};
       },
       r(1, 3)},
      {"block move",
       [](uint32_t T) {
         return Words{TwoOp(21, "bmov", kL), T, 0x300};
       },
       [](TestVm& t, uint32_t) { t.SetU32(0x300, kNew), t.SetU32(vm::kOffMCOUNT, 1); }},
      {"float negation",
       [](uint32_t T) {
         return Words{Unary(kUAbs, UCode("fneg", kL)), T};
       },
       nullptr},
      {"block push (reference loop)",
       [](uint32_t) {
         return Words{TwoOp(6, "bpush", kW, 1), 0x310, 0x300};
       },
       [&](TestVm& t, uint32_t T) {
         stack(4)(t, T);
         t.SetR(1, 0), t.SetU32(0x310, 4), t.SetU32(0x300, kNew);
       }},
      {"careful source (reference loop)",
       [](uint32_t T) {
         return Words{TwoOp(21, "mov", kL), T, vm::kOffSP};
       },
       [](TestVm& t, uint32_t) { t.host.mem.SetSP(kNew); }},
      {"service", [](uint32_t) { return Words{kSys}; },
       [](TestVm& t, uint32_t T) {
         t.SetR(15, 0x300);  // the call block: MEM_MOVE of 4 bytes from 0x310 to T
         t.SetU32(0x300, 0x30B), t.SetU32(0x304, T), t.SetU32(0x308, 0x310), t.SetU32(0x30C, 4);
         t.SetU32(0x310, kNew);
       }},
  };
  for (const Writer& w : writers) {
    SCOPED_TRACE(w.what);
    std::vector<uint32_t> words = w.code(kT);
    ASSERT_LE(words.size(), 8u);
    std::vector<uint8_t> images[2];
    vm::Stop stops[2];
    for (bool predecoded : {false, true}) {
      TestVm t;
      t.host.machine.predecoded = predecoded;
      for (uint32_t a = 512; a < kT; a += 4) t.SetU32(a, 31);  // no-operations
      t.At(512);
      for (uint32_t word : words) t.Emit({word});
      t.At(kT);
      t.Emit({kOld, kHalt});
      ASSERT_EQ(t.Run(kT).kind, StopKind::kHalt);  // the old instruction runs once
      t.SetR(8, 0);
      if (w.setup) w.setup(t, kT);
      ASSERT_EQ(t.U32(kT), kOld) << "the setup, not the writer, changed the instruction";
      vm::SetTransferLimit(t.host, 100);  // what the writer leaves may loop
      stops[predecoded] = t.Run(512);
      if (!predecoded) {
        EXPECT_NE(t.U32(kT), kOld) << "the writer did not reach the instruction";
      }
      images[predecoded].assign(t.host.mem.base, t.host.mem.base + t.host.mem.size);
    }
    EXPECT_EQ(stops[0].kind, stops[1].kind);
    EXPECT_EQ(stops[0].pc, stops[1].pc);
    EXPECT_TRUE(images[0] == images[1]) << "the pre-decoded loop ran other code";
  }
}

// The host writes between runs (a loaded file, a compacted heap): the next run sees it.
TEST(SelfModifying, CodeTheHostRewritesBetweenRunsRunsAsWritten) {
  TestVm t;
  t.Emit({kOld, kHalt});
  ASSERT_EQ(t.Run().kind, StopKind::kHalt);
  t.SetU32(512, kNew);
  ASSERT_EQ(t.Run().kind, StopKind::kHalt);
  EXPECT_EQ(t.R(8), 2u);
}

}  // namespace
}  // namespace orva::test
