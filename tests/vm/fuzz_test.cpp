// Random programs, registers and header fields, run from identical images by the reference loop
// and by the pre-decoded loop. Both must stop the same way and leave the same image, alerts,
// files and machine state; neither may touch memory outside the image or trip the sanitizers.
// One of the two images (in turn) ends just before an inaccessible region larger than the
// address space, so that a stray access crashes the test instead of passing unnoticed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "support/encode.h"
#include "support/fuzz.h"
#include "support/temp_dir.h"
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

// How a case's random values are drawn: hostile ones aim at the edges of the image and the
// header; tame ones are mostly plain addresses, so that programs run longer; rewriting ones are
// tame and often point into the program's own code.
enum class Style { kHostile, kTame, kRewriting };

struct Draw {
  Rng rng;
  Style style;
  uint32_t size, code_end;

  // A value that is often an address.
  uint32_t Address() {
    if (style == Style::kRewriting && rng() % 2) return 512 + rng() % (code_end - 512);
    if (style != Style::kHostile && rng() % 4) return 200 + rng() % (size - 216);
    switch (rng() % 6) {
      case 0: return size - rng() % 24;
      case 1: return 120 + rng() % 100;
      case 2: return rng() % size;
      case 3: return size + rng() % 64;
      case 4: return 0xFFFFFFFF - rng() % 64;
      default: return rng();
    }
  }
  // A branch target: in a small image, or, when tame, in the code.
  uint32_t Target() {
    return style == Style::kHostile ? rng() % 0x1000 : (512 + rng() % (code_end - 512)) / 4;
  }
  // A word that is an instruction of some class, with random fields; ext words follow.
  uint32_t Word() {
    uint32_t w = rng();
    switch (rng() % 8) {
      case 0: {  // a two-operand form with a mostly legal operation
        const auto& f = vm::isa::kForms[rng() % std::size(vm::isa::kForms)];
        uint32_t op = rng() % 32;
        if (style != Style::kHostile) {
          if (op >= 24 && op < 30) op = 15;             // mov, not illegal
          if (op <= 4 && op != 2 && rng() % 4) op = 6;  // mostly add, not division by a zero
        }
        uint32_t hi = style == Style::kHostile ? w & ~0xFFFFu : (rng() % 64) << 16;
        return hi | f.form | (rng() % 16) << 5 | (rng() % 4) << 9 | op << 11;
      }
      case 1: {  // a unary form
        static constexpr uint32_t kUnary[] = {108, 172, 212, 236};
        uint32_t slot = rng() % 4 == 0 ? rng() % 40 : rng() % 16;
        return kUnary[rng() % 4] | (rng() % 72) << 8 | slot << 16;
      }
      case 2: return (w & ~0x3FFu) | 276;  // SYS
      case 3: {                            // control
        static constexpr uint32_t kOps[] = {340, 596, 84, 852, 44, 52, 12, 788, 916, 20, 756, 1012};
        return Target() << 10 | kOps[rng() % std::size(kOps)];
      }
      case 4: return (Target() << 10 | (w & 0x3FF & ~7u)) & 0xFFFFF3FF;  // test-and-branch
      default: return style == Style::kHostile ? w : Address();
    }
  }
};

// Every file of a folder and its contents.
std::map<std::string, std::string> Files(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    files[entry.path().string().substr(folder.size())] =
        entry.is_regular_file() ? ReadText(entry.path().string()) : "<folder>";
  return files;
}

struct Outcome {
  vm::Stop stop;
  int status = -1;  // of a fatal host condition reached through a service
};

Outcome Run(TestVm& t, bool predecoded) {
  t.host.machine.predecoded = predecoded;
  vm::SetTransferLimit(t.host, 2000);  // every run ends, at the same point in each loop
  Outcome out;
  try {
    out.stop = vm::Interpret(t.host);
  } catch (const platform::ProcessExit& e) {
    out.status = e.status;
  }
  return out;
}

void RunOneCase(Rng rng, Style style, bool guard_reference) {
  const uint32_t load = 1024 + 4 * (rng() % 256);
  Layout layout{load, rng() % 512, 256 + rng() % 1024, 64 + rng() % 512, false};
  Layout guarded = layout;
  guarded.guarded = true;
  TestVm ref(guard_reference ? guarded : layout), fast(guard_reference ? layout : guarded);
  const uint32_t size = ref.mem().size;
  Draw draw{rng, style, size, load};
  const bool tame = style != Style::kHostile;

  for (uint32_t a = 512; a + 4 <= load; a += 4)
    ref.SetU32(a, rng() % (tame ? 2 : 3) == 0 ? draw.Address() : draw.Word());
  if (tame) ref.SetU32(load - 4, Jump(512));  // code that does not stop runs again
  // Tame registers are addresses or small offsets to add to the addresses in the code.
  for (uint32_t r = 0; r < 16; ++r)
    ref.SetR(r, rng() % 2 ? draw.Address() : tame ? rng() % 64 : (uint64_t{rng()} << 32 | rng()));
  if (!tame && rng() % 4 == 0) ref.host.mem.SetSP(draw.Address());
  if (rng() % 2) ref.host.mem.SetFP(rng() % 2 ? ref.mem().SP() - 64 : draw.Address());
  if (!tame && rng() % 4 == 0) ref.SetU32(vm::kOffSTKLIM, draw.Address());
  ref.host.mem.SetMODALCHAIN(draw.Address());
  ref.SetU32(vm::kOffMCOUNT, rng() % 4 == 0 ? rng() : rng() % 64);
  // Mostly the FLAGS that flag-setting operations leave, sometimes any byte.
  ref.host.mem.SetFLAGS(static_cast<uint8_t>(rng() % 4 ? rng() % 6 : rng()));
  std::memcpy(fast.host.mem.base, ref.host.mem.base, size);
  ref.host.machine.modal_depth = fast.host.machine.modal_depth = static_cast<int32_t>(rng() % 3);

  const TempDir dir;
  ref.host.folders.user_data = ref.host.folders.resource = dir.Sub("ref") + "/";
  fast.host.folders.user_data = fast.host.folders.resource = dir.Sub("fast") + "/";

  const Outcome a = Run(ref, false), b = Run(fast, true);
  ASSERT_EQ(a.status, b.status);
  if (a.status < 0) {
    ASSERT_EQ(a.stop.kind, b.stop.kind);
    ASSERT_EQ(a.stop.pc, b.stop.pc);
    ASSERT_EQ(a.stop.address, b.stop.address);
  }
  ASSERT_EQ(std::memcmp(ref.host.mem.base, fast.host.mem.base, size), 0) << "images differ";
  ASSERT_EQ(ref.alerts(), fast.alerts());
  ASSERT_EQ(Files(ref.host.folders.user_data), Files(fast.host.folders.user_data));
  const vm::Machine &x = ref.host.machine, &y = fast.host.machine;
  ASSERT_EQ(x.modal_depth, y.modal_depth);
  ASSERT_EQ(x.pc_pre_jsr, y.pc_pre_jsr);
  ASSERT_EQ(x.limit.transfers_left, y.limit.transfers_left);
  ASSERT_EQ(x.limit.countdown, y.limit.countdown);
  ASSERT_EQ(x.ring.pending(), y.ring.pending());
}

TEST(InterpreterFuzz, BothLoopsRunRandomProgramsAlikeInsideTheImage) {
  int i = 0;
  FuzzFor(1, [&](std::mt19937_64& gen) {
    ++i;
    RunOneCase(Rng{gen}, i % 3 ? Style::kHostile : Style::kTame, i % 2 == 0);
  });
}

// Programs whose stores, service calls and block moves land in their own code.
TEST(InterpreterFuzz, ProgramsThatRewriteTheirCodeRunAsWritten) {
  int i = 0;
  FuzzFor(2, [&](std::mt19937_64& gen) { RunOneCase(Rng{gen}, Style::kRewriting, ++i % 2); });
}

}  // namespace
}  // namespace orva::test
