#include "encoder.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <optional>

#include "vm/encode.h"
#include "vm/isa.h"

namespace orva::qxasm {

namespace isa = vm::isa;

namespace {

class Encoder {
 public:
  Encoder(Instr& in, const EncodeEnv& env) : in_(in), env_(env) {}

  Words Run();

 private:
  void Fail(const Opnd& o, std::string message) {
    if (env_.final) env_.error(o.column, std::move(message));
  }
  Value Of(const Opnd& o) { return o.expr == kNoExpr ? Value{0, true} : env_.value(o.expr); }

  // A value for a 32-bit field (address, displacement, slot number): -2^31 .. 2^32-1.
  uint32_t Field32(const Opnd& o, const char* what) {
    Value v = Of(o);
    if (v.known && !Fits32(v.v)) Fail(o, std::string(what) + " does not fit 32 bits");
    return static_cast<uint32_t>(v.v);
  }
  uint32_t Disp16(const Opnd& o) {
    Value v = Of(o);
    if (v.known && (v.v < INT16_MIN || v.v > INT16_MAX))
      Fail(o, "frame offset " + std::to_string(v.v) + " does not fit 16 bits (-32768..32767)");
    return static_cast<uint32_t>(v.v) & 0xFFFF;
  }
  // A value in lo..hi; reports `what` otherwise.
  uint32_t Ranged(const Opnd& o, int64_t lo, int64_t hi, const char* what) {
    Value v = Of(o);
    if (v.known && (v.v < lo || v.v > hi))
      Fail(o, std::string(what) + " " + std::to_string(v.v) + " outside " + std::to_string(lo) +
                  ".." + std::to_string(hi));
    return static_cast<uint32_t>(v.v);
  }
  // A branch target held in an instruction word: a multiple of 4 below 2^24.
  uint32_t Target(const Opnd& o, const char* what) {
    Value v = Of(o);
    if (v.known && (v.v < 0 || v.v >= isa::kMaxTarget || (v.v & 3) != 0)) {
      char buf[80];
      std::snprintf(buf, sizeof buf, "%s 0x%llX is not a multiple of 4 below 0x1000000", what,
                    static_cast<unsigned long long>(v.v));
      Fail(o, buf);
    }
    return static_cast<uint32_t>(v.v) & (isa::kMaxTarget - 4);
  }
  // The bits of an immediate operand at the instruction's size; nullopt while unknown.
  std::optional<uint64_t> Immediate(const Opnd& o, uint32_t size);

  void TwoOp(Words& out);
  void PushImmediate(Words& out);

  Instr& in_;
  const EncodeEnv& env_;
};

std::optional<uint64_t> Encoder::Immediate(const Opnd& o, uint32_t size) {
  if (o.is_float) {
    if (size == 3) return std::bit_cast<uint64_t>(o.fvalue);
    if (std::isfinite(o.fvalue) && std::fabs(o.fvalue) > FLT_MAX) {
      Fail(o, "floating literal out of FLOAT range");
      return 0;
    }
    return std::bit_cast<uint32_t>(static_cast<float>(o.fvalue));
  }
  Value v = Of(o);
  if (!v.known) return std::nullopt;
  if (size == 3) return static_cast<uint64_t>(v.v);
  if (!Fits32(v.v)) Fail(o, "immediate " + std::to_string(v.v) + " does not fit 32 bits");
  return static_cast<uint32_t>(v.v);
}

void Encoder::TwoOp(Words& out) {
  const Opnd* ops[2] = {&in_.ops[0], &in_.ops[1]};
  const uint32_t size = in_.size;

  // Short or long immediate: once long, always long (so that layout settles).
  uint8_t form = in_.form;
  std::optional<uint64_t> imm;
  if (ops[1]->kind == OpndKind::kImm) {
    imm = Immediate(*ops[1], size);
    if (in_.short_form && !in_.grown && !ops[1]->force_long) {
      if (imm && !isa::ShortImmediateFits(*imm, size))
        in_.grown = true;
      else
        form = in_.short_form;
    }
  }
  const isa::FormInfo& f = *isa::kFormByNumber[form];
  uint32_t r1 = 0, high = 0;
  uint32_t x[4] = {};
  for (int i = 0; i < 2; ++i) {
    const Opnd& o = *ops[i];
    const uint32_t reg = static_cast<uint32_t>(o.reg);
    using isa::Operand;
    const Operand slot = i == 0 ? f.dst : f.src;
    switch (slot) {
      case Operand::kReg1: r1 = reg; break;
      case Operand::kReg2: high = reg; break;
      case Operand::kFpD16: high = Disp16(o); break;
      case Operand::kFpX1: x[1] = Field32(o, "frame offset"); break;
      case Operand::kAbsX1: x[1] = Field32(o, "address"); break;
      case Operand::kAbsX2: x[2] = Field32(o, "address"); break;
      case Operand::kR1X1: r1 = reg, x[1] = Field32(o, "displacement"); break;
      case Operand::kR1X2: r1 = reg, x[2] = Field32(o, "displacement"); break;
      case Operand::kR2X1: high = reg, x[1] = Field32(o, "displacement"); break;
      case Operand::kR2X2: high = reg, x[2] = Field32(o, "displacement"); break;
      case Operand::kImmX1:
      case Operand::kImmX2: {
        const int at = slot == Operand::kImmX1 ? 1 : 2;
        const uint64_t v = imm.value_or(0);
        x[at] = static_cast<uint32_t>(v);
        if (size == 3) x[at + 1] = static_cast<uint32_t>(v >> 32);
        break;
      }
      case Operand::kShort16: high = static_cast<uint32_t>(imm.value_or(0)) & 15; break;
      case Operand::kShort5: r1 = static_cast<uint32_t>(imm.value_or(0)) & 15; break;
    }
  }
  out.w[0] = isa::TwoOpWord(form, in_.operation, size, r1, high);
  out.n = isa::TwoOpWords(out.w[0]);
  for (uint32_t i = 1; i < out.n; ++i) out.w[i] = x[i];
}

void Encoder::PushImmediate(Words& out) {
  const Opnd& o = in_.ops[0];
  const bool forced = o.force_long;
  switch (in_.size) {
    case 1: {
      const uint32_t v = Ranged(o, INT16_MIN, UINT16_MAX, "16-bit push of") & 0xFFFF;
      if (forced) {
        out = {{isa::kOpPush16X, v}, 2};
      } else {
        out = {{isa::Push16Word(v)}, 1};
      }
      return;
    }
    case 2: {
      const std::optional<uint64_t> imm = Immediate(o, 2);
      const int32_t v = static_cast<int32_t>(static_cast<uint32_t>(imm.value_or(0)));
      if (imm && !isa::Imm22Fits(v)) in_.grown = true;
      if (forced || in_.grown) {
        out = {{isa::kOpPush32X, static_cast<uint32_t>(v)}, 2};
      } else {
        out = {{isa::PushImm22Word(isa::kOpPush32W, static_cast<uint32_t>(v))}, 1};
      }
      return;
    }
    default: {
      const std::optional<uint64_t> imm = Immediate(o, 3);
      const uint64_t v = imm.value_or(0);
      if (imm && !isa::Imm22Fits(static_cast<int64_t>(v))) in_.grown = true;
      if (forced || in_.grown) {
        out = {{isa::kOpPush64X, static_cast<uint32_t>(v), static_cast<uint32_t>(v >> 32)}, 3};
      } else {
        out = {{isa::PushImm22Word(isa::kOpPush64W, static_cast<uint32_t>(v))}, 1};
      }
      return;
    }
  }
}

Words Encoder::Run() {
  Words out;
  const Opnd& a = in_.ops[0];
  const Opnd& b = in_.ops[1];
  switch (in_.plan) {
    case Plan::kTwoOp: TwoOp(out); break;
    case Plan::kPushImm: PushImmediate(out); break;
    case Plan::kUnary: {
      const uint32_t code = in_.operation * 4u + in_.size;
      uint32_t high = 0;
      switch (in_.form) {
        case isa::kUnarySlot: high = static_cast<uint32_t>(a.reg); break;
        case isa::kUnaryFp: high = Disp16(a); break;
        case isa::kUnaryRegDisp:
          high = static_cast<uint32_t>(a.reg);
          out.w[1] = Field32(a, "displacement");
          break;
        default: out.w[1] = Field32(a, "address"); break;
      }
      out.w[0] = isa::UnaryWord(in_.form, code, high);
      out.n = isa::UnaryWords(out.w[0]);
      break;
    }
    case Plan::kTestBranch: {
      uint32_t x1;
      switch (in_.form) {
        case isa::kTbSlot:
        case isa::kTbIndirect: x1 = static_cast<uint32_t>(a.reg); break;
        case isa::kTbAbs: x1 = Field32(a, "address"); break;
        default: x1 = Field32(a, "frame offset"); break;
      }
      out = {
          {isa::TestBranchWord(in_.form, in_.size, in_.operation, Target(b, "branch target")), x1},
          2};
      break;
    }
    case Plan::kBranchFlags:
      out = {{isa::BranchFlagsWord(in_.operation, Target(a, "branch target"))}, 1};
      break;
    case Plan::kJump: out = {{isa::JumpWord(Target(a, "jump target"))}, 1}; break;
    case Plan::kJumpTable:
      out = {{isa::JumpTableWord(static_cast<uint32_t>(a.reg), Target(a, "table address"))}, 1};
      break;
    case Plan::kJsr:
      out = {{isa::JsrWord(Ranged(b, 0, UINT16_MAX, "argument byte count")),
              Field32(a, "subroutine address")},
             2};
      break;
    case Plan::kJsrReg:
      out = {{isa::JsrRegWord(static_cast<uint32_t>(a.reg),
                              Ranged(b, 0, UINT16_MAX, "argument byte count"))},
             1};
      break;
    case Plan::kEnter:
      out = {{isa::EnterWord(Ranged(a, 0, isa::kMaxFrameRegs, "register count"),
                             Ranged(b, 0, isa::kMaxFrameLocals, "byte count of locals"))},
             1};
      break;
    case Plan::kReturn:
      out = {{isa::ReturnWord(Ranged(a, 0, isa::kMaxFrameRegs, "register count"))}, 1};
      break;
    case Plan::kFixed: out = {{in_.fixed}, 1}; break;
  }
  return out;
}

}  // namespace

Words Encode(Instr& in, const EncodeEnv& env) { return Encoder(in, env).Run(); }

}  // namespace orva::qxasm
