// Random instructions in assembly syntax, over every form, size and operation, for the round-trip
// and fuzz tests. Every line generated is valid and assembles to one instruction.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "vm/encode.h"
#include "vm/isa.h"

namespace orva::test {

class RandomInstructions {
 public:
  explicit RandomInstructions(uint32_t seed) : rng_(seed) {}

  std::string Next() {
    const uint32_t kind = Below(8);  // half of them two-operand instructions
    return kind < 4 ? TwoOp() : kind == 4 ? Unary() : kind == 5 ? Push() : Control();
  }

  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }
  uint32_t U32() { return static_cast<uint32_t>(rng_()); }
  uint64_t U64() { return (static_cast<uint64_t>(U32()) << 32) | U32(); }

 private:
  // Mostly small numbers, sometimes anything: both ends of every field get exercised.
  int64_t Signed32() {
    switch (Below(3)) {
      case 0: return static_cast<int64_t>(Below(33)) - 16;
      case 1: return static_cast<int32_t>(U32());
      default: return Below(2) ? INT32_MIN : INT32_MAX;
    }
  }
  static std::string Disp(int64_t d) { return (d < 0 ? "" : "+") + std::to_string(d); }
  std::string Reg(uint32_t limit = 16) { return "r" + std::to_string(Below(limit)); }
  std::string Hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
  }

  std::string Immediate(uint32_t size, bool floating) {
    if (floating && size >= 2 && Below(3) == 0) {
      static const char* kLiterals[] = {"1.5", "-2.25", "3.0e10", "-0.0", "1e-30", "0.1"};
      return std::string("#") + kLiterals[Below(6)];
    }
    const int64_t v = size == 3 && Below(2) ? static_cast<int64_t>(U64()) : Signed32();
    const bool fits = vm::isa::ShortImmediateFits(static_cast<uint64_t>(v), size);
    return (fits || Below(8) == 0 ? "#!" : "#") + std::to_string(v);
  }

  std::string Operand(vm::isa::Operand o, uint32_t size, bool floating) {
    using vm::isa::Operand;
    switch (o) {
      case Operand::kReg1:
      case Operand::kReg2: return Reg();
      case Operand::kFpD16: return "[fp" + Disp(static_cast<int16_t>(U32())) + "]";
      case Operand::kFpX1: return "[fp" + Disp(Signed32()) + "]";
      case Operand::kAbsX1:
      case Operand::kAbsX2: return "[" + Hex(U32()) + "]";
      case Operand::kR1X1:
      case Operand::kR1X2:
      case Operand::kR2X1:
      case Operand::kR2X2: return "[" + Reg() + Disp(Signed32()) + "]";
      case Operand::kImmX1:
      case Operand::kImmX2: return Immediate(size, floating);
      case Operand::kShort16:
      case Operand::kShort5: {
        int v = size == 3 ? static_cast<int>(Below(8)) : static_cast<int>(Below(16)) - 8;
        return "#" + std::to_string(v);
      }
    }
    return {};
  }

  std::string TwoOp() {
    uint32_t op;
    do op = Below(32);
    while (vm::isa::kOperations[op].kind == vm::isa::OpKind::kIllegal);
    const auto& info = vm::isa::kOperations[op];
    const bool floating = info.kind == vm::isa::OpKind::kFloat;
    const uint32_t size = Below(4);
    std::string name(info.name);
    if (!(vm::isa::SizeIsOptionalTwoOp(op) && size == 2 && Below(2))) {
      name += ".";
      name += floating ? vm::isa::kFloatSizeSuffix[size] : vm::isa::kSizeSuffix[size];
    }
    const vm::isa::FormInfo& f = vm::isa::kForms[Below(std::size(vm::isa::kForms))];
    return name + " " + Operand(f.dst, size, floating) + ", " + Operand(f.src, size, floating);
  }

  std::string Unary() {
    uint32_t op;
    do op = Below(18);
    while (op == 7);
    const uint32_t size = Below(4);
    std::string name(vm::isa::kUnaryOps[op].name);
    if (!(vm::isa::SizeIsOptionalUnary(op) && size == 2 && Below(2))) {
      name += ".";
      name +=
          op == vm::isa::kUnaryFneg ? vm::isa::kFloatSizeSuffix[size] : vm::isa::kSizeSuffix[size];
    }
    switch (Below(4)) {
      case 0: return name + " [" + Reg() + Disp(Signed32()) + "]";
      case 1: return name + " [fp" + Disp(static_cast<int16_t>(U32())) + "]";
      case 2: return name + " " + Reg(65536);
      default: return name + " [" + Hex(U32()) + "]";
    }
  }

  std::string Push() {
    const std::string force = Below(4) == 0 ? "#!" : "#";
    switch (Below(3)) {
      case 0: return "push.w " + force + std::to_string(int64_t{Below(65536 + 32768)} - 32768);
      case 1: return "push.l " + force + std::to_string(Signed32());
      default: return "push.q " + force + std::to_string(Below(2) ? int64_t(U64()) : Signed32());
    }
  }

  std::string Target() { return Hex(Below(1u << 22) * 4); }

  std::string Control() {
    const std::string cond(vm::isa::kCondNames[Below(8)]);
    switch (Below(9)) {
      case 0: {
        std::string operand;
        switch (Below(4)) {
          case 0: operand = "r" + std::to_string(U32()); break;
          case 1: operand = "[" + Hex(U32()) + "]"; break;
          case 2: operand = "[r" + std::to_string(U32()) + "]"; break;
          default: operand = "[fp" + Disp(Signed32()) + "]"; break;
        }
        return "tb" + cond + "." + std::string(vm::isa::kSizeSuffix[Below(4)]) + " " + operand +
               ", " + Target();
      }
      case 1: return "b" + cond + " " + Target();
      case 2: return "jmp " + Target();
      case 3: return "jmp [" + Reg() + "+" + Target() + "]";
      case 4: return "jsr " + Hex(U32()) + ", " + std::to_string(Below(65536));
      case 5: return "jsr " + Reg() + ", " + std::to_string(Below(65536));
      case 6: return "enter " + std::to_string(Below(16)) + ", " + std::to_string(Below(1 << 18));
      case 7: return "ret " + std::to_string(Below(16));
      default: return std::string(vm::isa::kFixedInstructions[Below(6)].name);
    }
  }

  std::mt19937_64 rng_;
};

}  // namespace orva::test
