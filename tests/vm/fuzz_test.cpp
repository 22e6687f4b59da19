// Random programs, registers and header fields never make the interpreter touch memory outside
// the image or trip the sanitizers. The image ends just before an inaccessible region larger
// than the address space, so a stray access crashes the test instead of passing unnoticed.
#include <gtest/gtest.h>

#include <random>

#include "support/encode.h"
#include "support/fuzz.h"
#include "support/test_vm.h"
#include "vm/interpreter.h"
#include "vm/isa.h"
#include "vm/run_limit.h"

namespace orva::test {
namespace {

// 32-bit draws from the fuzzing generator.
struct Rng {
  uint32_t operator()() { return static_cast<uint32_t>(gen()); }
  std::mt19937_64& gen;
};

// A word that is an instruction of some class, with random fields; ext words follow.
uint32_t PlausibleWord(Rng& rng) {
  uint32_t w = rng();
  switch (rng() % 8) {
    case 0: {  // a two-operand form with a mostly legal operation
      const auto& f = vm::isa::kForms[rng() % std::size(vm::isa::kForms)];
      uint32_t op = rng() % 32;
      return (w & ~0xFFFFu) | f.form | (rng() % 16) << 5 | (rng() % 4) << 9 | op << 11;
    }
    case 1: {  // a unary form
      static constexpr uint32_t kUnary[] = {108, 172, 212, 236};
      uint32_t slot = rng() % 4 == 0 ? rng() % 40 : rng() % 16;
      return kUnary[rng() % 4] | (rng() % 72) << 8 | slot << 16;
    }
    case 2: return (w & ~0x3FFu) | 276;  // SYS
    case 3: {                            // control with a target inside a small image
      static constexpr uint32_t kOps[] = {340, 596, 84, 852, 44, 52, 12, 788, 916, 20, 756, 1012};
      return ((rng() % 0x1000) << 10) | kOps[rng() % std::size(kOps)];
    }
    case 4: return (w & ~7u) & 0xFFFFF3FF;  // test-and-branch
    default: return w;
  }
}

// A value that is often an address near an edge of the image or of the header.
uint32_t EdgyAddress(Rng& rng, uint32_t size) {
  switch (rng() % 6) {
    case 0: return size - rng() % 24;
    case 1: return 120 + rng() % 100;
    case 2: return rng() % size;
    case 3: return size + rng() % 64;
    case 4: return 0xFFFFFFFF - rng() % 64;
    default: return rng();
  }
}

void RunOneCase(Rng rng) {
  Layout layout{1024 + 4 * (rng() % 256), rng() % 512, 256 + rng() % 1024, 64 + rng() % 512, true};
  TestVm t(layout);
  const uint32_t size = t.mem().size;
  for (uint32_t a = 512; a + 4 <= layout.load_size; a += 4)
    t.SetU32(a, rng() % 3 == 0 ? EdgyAddress(rng, size) : PlausibleWord(rng));
  for (uint32_t r = 0; r < 16; ++r)
    t.SetR(r, rng() % 2 ? EdgyAddress(rng, size) : (uint64_t{rng()} << 32 | rng()));
  if (rng() % 4 == 0) t.host.mem.SetSP(EdgyAddress(rng, size));
  if (rng() % 2) t.host.mem.SetFP(rng() % 2 ? t.mem().SP() : EdgyAddress(rng, size));
  if (rng() % 4 == 0) t.SetU32(vm::kOffSTKLIM, EdgyAddress(rng, size));
  t.host.mem.SetMODALCHAIN(EdgyAddress(rng, size));
  t.SetU32(vm::kOffMCOUNT, rng() % 4 == 0 ? rng() : rng() % 64);
  t.host.mem.SetFLAGS(static_cast<uint8_t>(rng()));
  t.host.machine.modal_depth = static_cast<int32_t>(rng() % 3);

  vm::SetTransferLimit(t.host, 2000);  // every run ends, at the same point in each loop
  try {
    vm::Stop stop = vm::Interpret(t.host);
    ASSERT_LE(static_cast<int>(stop.kind), static_cast<int>(vm::StopKind::kLimit));
  } catch (const platform::ProcessExit&) {
    // a fatal host condition reached through a service
  }
}

TEST(InterpreterFuzz, RandomProgramsStayInsideTheImage) {
  FuzzFor(1, [&](std::mt19937_64& gen) { RunOneCase(Rng{gen}); });
}

}  // namespace
}  // namespace orva::test
