// Writes the bundled default program, examples/hello/MAIN.QX: on the start-up message it appends
// one line to "debug.log" and halts; the exit message that follows the halt just returns.
//
//   512  enter   0, 0                 frame with no locals and no saved registers
//   516  cmp.l   [fp+12], #1          the message code is the first argument
//   524  bne     done
//   528  mov.l   r15, #greeting
//   536  dbg                          append the string at R15 to debug.log
//   540  halt                         end the program (the exit message follows)
//   544  done: ret 0
//   548  greeting: "Hello from Orva.\n"
//
// Each word is encoded with the field layout of vm/isa.h and checked against its getters.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "vm/image.h"
#include "vm/isa.h"

namespace {

namespace isa = orva::vm::isa;
namespace vm = orva::vm;

constexpr uint32_t kOpCmp = 8, kOpMov = 15;
constexpr uint32_t kSizeLong = 2;
constexpr uint32_t kCondNe = 1;
constexpr uint32_t kOpDebugPrint = 20, kOpHalt = 532, kOpEnter = 340, kOpReturn = 596;
constexpr uint32_t kOpBranchFlags = 52;

constexpr uint32_t TwoOp(uint32_t form, uint32_t r1, uint32_t size, uint32_t op, uint32_t hi16) {
  return form | r1 << 5 | size << 9 | op << 11 | hi16 << 16;
}
constexpr uint32_t Enter(uint32_t regs, uint32_t locals) {
  return kOpEnter | regs << 10 | locals << 14;
}
constexpr uint32_t Return(uint32_t regs) { return kOpReturn | regs << 10; }
constexpr uint32_t BranchFlags(uint32_t cond, uint32_t target) {
  return kOpBranchFlags | cond << 7 | (target >> 2) << 10;
}

constexpr uint32_t kCmpCode = TwoOp(7, 0, kSizeLong, kOpCmp, 12);  // [fp+d16], #x1
constexpr uint32_t kMovR15 = TwoOp(22, 15, kSizeLong, kOpMov, 0);  // r1, #x1
constexpr uint32_t kDone = 544, kGreeting = 548;
constexpr uint32_t kBne = BranchFlags(kCondNe, kDone);

static_assert(isa::kOpcodeClass[isa::Opcode(Enter(0, 0))] == isa::OpClass::kEnter);
static_assert(isa::FormOf(kCmpCode) == 7 && isa::OperationOf(kCmpCode) == kOpCmp &&
              isa::SizeOf(kCmpCode) == kSizeLong && isa::D16Of(kCmpCode) == 12 &&
              isa::InstructionWords(kCmpCode) == 2);
static_assert(isa::kOpcodeClass[isa::Opcode(kBne)] == isa::OpClass::kBranchFlags &&
              isa::CondOf(kBne) == kCondNe && isa::TargetOf(kBne) == kDone);
static_assert(isa::FormOf(kMovR15) == 22 && isa::R1Of(kMovR15) == 15 &&
              isa::OperationOf(kMovR15) == kOpMov && isa::InstructionWords(kMovR15) == 2);
static_assert(isa::kOpcodeClass[kOpDebugPrint] == isa::OpClass::kDebugPrint &&
              isa::kOpcodeClass[kOpHalt] == isa::OpClass::kHalt &&
              isa::kOpcodeClass[isa::Opcode(Return(0))] == isa::OpClass::kReturn);

void Put32(std::vector<uint8_t>& image, uint32_t value) {
  uint8_t bytes[4];
  vm::St32(bytes, value);
  image.insert(image.end(), bytes, bytes + 4);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_hello OUTPUT\n");
    return 2;
  }
  std::vector<uint8_t> image(vm::kHeaderSize, 0);
  for (uint32_t word :
       {Enter(0, 0), kCmpCode, 1u, kBne, kMovR15, kGreeting, kOpDebugPrint, kOpHalt, Return(0)})
    Put32(image, word);
  if (image.size() != kGreeting) return 1;
  const char greeting[] = "Hello from Orva.\n";
  image.insert(image.end(), greeting, greeting + sizeof greeting);  // with its NUL
  image.resize((image.size() + 3) & ~size_t{3}, 0);

  std::memcpy(&image[vm::kOffMagic], "ORVA6", 6);
  image[vm::kOffReqMajor] = 6;
  image[vm::kOffReqMinor] = 0;
  vm::St32(&image[vm::kOffLOADSIZE], static_cast<uint32_t>(image.size()));
  vm::St32(&image[vm::kOffZEROSIZE], 0);
  vm::St32(&image[vm::kOffSTACKSIZE], 4096);
  vm::St32(&image[vm::kOffHEAPSIZE], 4096);

  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size() || std::fclose(f) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
