#include "vm/disasm.h"

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "vm/encode.h"
#include "vm/isa.h"

namespace orva::vm {

std::string FormatHex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%" PRIX64, v);
  return buf;
}

std::string FormatSigned(int64_t v) {
  if (v > -65536 && v < 65536) return std::to_string(v);
  if (v < 0) return "-" + FormatHex(0 - static_cast<uint64_t>(v));
  return FormatHex(static_cast<uint64_t>(v));
}

std::string FormatAddress(uint32_t addr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", addr);
  return buf;
}

namespace {

using namespace isa;

// Shortest decimal text that reads back to the same FLOAT or DOUBLE, always with a "." or an
// exponent so that the assembler takes it as a floating literal. Empty for values that have no
// such text (NaN, infinity).
std::string FloatLiteral(uint64_t bits, uint32_t size) {
  double d = size == 3 ? std::bit_cast<double>(bits)
                       : static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(bits)));
  if (!std::isfinite(d)) return {};
  char buf[40];
  for (int prec = 1; prec <= 17; ++prec) {
    std::snprintf(buf, sizeof buf, "%.*g", prec, d);
    bool same = size == 3 ? std::strtod(buf, nullptr) == d &&
                                std::signbit(std::strtod(buf, nullptr)) == std::signbit(d)
                          : std::bit_cast<uint32_t>(std::strtof(buf, nullptr)) ==
                                static_cast<uint32_t>(bits);
    if (same) break;
  }
  std::string s = buf;
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

class Decoder {
 public:
  Decoder(std::span<const uint32_t> words, uint32_t address, const AddressNamer& namer)
      : w_(words), address_(address), namer_(namer) {}

  DecodedInstruction Run();

 private:
  uint32_t X(uint32_t i) const { return w_[i]; }

  // Claims the instruction's length; false (and a non-canonical result) when the words run out.
  bool Need(uint32_t n) {
    out_.words = n;
    if (w_.size() >= n) return true;
    out_.words = static_cast<uint32_t>(w_.size());
    out_.canonical = false;
    out_.text = "truncated instruction (" + std::to_string(n) + " words)";
    out_.flow = Flow::kStop;
    return false;
  }

  std::string Name(uint32_t addr) const {
    if (namer_) {
      std::string s = namer_(addr);
      if (!s.empty()) return s;
    }
    return FormatHex(addr);
  }
  std::string Abs(uint32_t addr) {
    if (out_.data_ref_count < 2) out_.data_refs[out_.data_ref_count++] = addr;
    return "[" + Name(addr) + "]";
  }
  static std::string Reg(uint32_t n) { return "r" + std::to_string(n); }
  static std::string Based(std::string_view base, int64_t disp) {
    std::string s = "[" + std::string(base);
    if (disp > 0) s += "+" + FormatSigned(disp);
    if (disp < 0) s += "-" + FormatSigned(-disp);
    return s + "]";
  }

  void Finish(std::string text, bool canonical, std::string_view why = {}) {
    out_.text = std::move(text);
    out_.canonical = canonical;
    if (!canonical && !why.empty()) out_.text += " (" + std::string(why) + ")";
  }
  void Fixed(std::string_view name, uint32_t w) {
    Finish(std::string(name), (w >> 10) == 0, "unused bits set");
  }

  void TwoOp(uint32_t w);
  void Unary(uint32_t w);
  void TestBranch(uint32_t w);
  void PushImmediate(uint32_t w, OpClass cls);

  std::span<const uint32_t> w_;
  uint32_t address_;
  const AddressNamer& namer_;
  DecodedInstruction out_;
};

void Decoder::TwoOp(uint32_t w) {
  const FormInfo& f = *kFormByNumber[FormOf(w)];
  if (!Need(TwoOpWords(w))) return;
  const uint32_t operation = OperationOf(w), size = SizeOf(w);
  const OperationInfo& info = kOperations[operation];
  const bool is_float = info.kind == OpKind::kFloat;

  uint32_t used = 0x1F | 0x7F << 9;
  std::string why;
  auto operand = [&](Operand o) -> std::string {
    switch (o) {
      case Operand::kReg1: used |= 0xF << 5; return Reg(R1Of(w));
      case Operand::kReg2: used |= 0xF << 16; return Reg(R2Of(w));
      case Operand::kFpD16: used |= 0xFFFFu << 16; return Based("fp", D16Of(w));
      case Operand::kFpX1: return Based("fp", static_cast<int32_t>(X(1)));
      case Operand::kAbsX1: return Abs(X(1));
      case Operand::kAbsX2: return Abs(X(2));
      case Operand::kR1X1: used |= 0xF << 5; return Based(Reg(R1Of(w)), static_cast<int32_t>(X(1)));
      case Operand::kR1X2: used |= 0xF << 5; return Based(Reg(R1Of(w)), static_cast<int32_t>(X(2)));
      case Operand::kR2X1:
        used |= 0xF << 16;
        return Based(Reg(R2Of(w)), static_cast<int32_t>(X(1)));
      case Operand::kR2X2:
        used |= 0xF << 16;
        return Based(Reg(R2Of(w)), static_cast<int32_t>(X(2)));
      case Operand::kShort16:
      case Operand::kShort5: {
        int32_t v = o == Operand::kShort16 ? Short16Of(w) : Short5Of(w);
        used |= o == Operand::kShort16 ? 0xF << 16 : 0xF << 5;
        if (size == 3 && v < 0) why = "negative short immediate in a 64-bit operation";
        return "#" + std::to_string(v);
      }
      case Operand::kImmX1:
      case Operand::kImmX2: {
        uint32_t i = o == Operand::kImmX1 ? 1 : 2;
        uint64_t v = size == 3 ? X(i) | static_cast<uint64_t>(X(i + 1)) << 32 : X(i);
        const bool fits_short = ShortImmediateFits(v, size);
        if (is_float && size >= 2 && !fits_short) {
          std::string lit = FloatLiteral(v, size);
          if (!lit.empty()) return "#" + lit;
        }
        std::string text = size == 3 ? FormatSigned(static_cast<int64_t>(v))
                                     : FormatSigned(static_cast<int32_t>(static_cast<uint32_t>(v)));
        return (fits_short ? "#!" : "#") + text;
      }
    }
    return {};
  };
  std::string dst = operand(f.dst);
  std::string src = operand(f.src);

  std::string text(info.name);
  if (info.kind == OpKind::kIllegal) text = "op" + std::to_string(operation);
  if (!(SizeIsOptionalTwoOp(operation) && size == 2)) {
    text += ".";
    text += is_float ? kFloatSizeSuffix[size] : kSizeSuffix[size];
  }
  text += " " + dst + ", " + src;

  if (info.kind == OpKind::kIllegal) {
    why = "illegal operation";
    out_.flow = Flow::kStop;
  } else if (w & ~used) {
    why = "unused bits set";
  }
  Finish(std::move(text), why.empty(), why);
}

void Decoder::Unary(uint32_t w) {
  if (!Need(UnaryWords(w))) return;
  const uint32_t form = UnaryFormOf(w), code = UnaryCodeOf(w);
  const uint32_t op = code >> 2, size = code & 3;
  uint32_t used = 0xFF | 0x7F << 8;
  std::string operand;
  switch (form) {
    case kUnaryRegDisp:
      used |= 0xF << 16;
      operand = Based(Reg(R2Of(w)), static_cast<int32_t>(X(1)));
      break;
    case kUnaryFp:
      used |= 0xFFFFu << 16;
      operand = Based("fp", D16Of(w));
      break;
    case kUnarySlot:
      used |= 0xFFFFu << 16;
      operand = Reg(SlotOf(w));
      break;
    default: operand = Abs(X(1)); break;
  }
  const UnaryKind kind = UnaryKindOf(code);
  std::string text = kind == UnaryKind::kIllegal ? "unary" + std::to_string(code)
                                                 : std::string(kUnaryOps[op].name);
  if (kind != UnaryKind::kIllegal && !(SizeIsOptionalUnary(op) && size == 2)) {
    text += ".";
    text += op == kUnaryFneg ? kFloatSizeSuffix[size] : kSizeSuffix[size];
  }
  text += " " + operand;
  if (kind == UnaryKind::kIllegal) {
    out_.flow = Flow::kStop;
    return Finish(std::move(text), false, "illegal operation");
  }
  Finish(std::move(text), (w & ~used) == 0, "unused bits set");
}

void Decoder::TestBranch(uint32_t w) {
  if (!Need(2)) return;
  const uint32_t x1 = X(1);
  std::string operand;
  switch (TbModeOf(w)) {
    case kTbSlot: operand = Reg(x1); break;
    case kTbAbs: operand = Abs(x1); break;
    case kTbIndirect: operand = "[" + Reg(x1) + "]"; break;
    default: operand = Based("fp", static_cast<int32_t>(x1)); break;
  }
  out_.flow = Flow::kBranch;
  out_.target = TargetOf(w);
  Finish(std::string(kTestBranchPrefix) + std::string(kCondNames[CondOf(w)]) + "." +
             std::string(kSizeSuffix[TbSizeOf(w)]) + " " + operand + ", " + Name(out_.target),
         true);
}

void Decoder::PushImmediate(uint32_t w, OpClass cls) {
  std::string text;
  bool canonical = true;
  std::string_view why;
  switch (cls) {
    case OpClass::kPush16X: {
      if (!Need(2)) return;
      text = "push.w #!" + std::to_string(X(1) & 0xFFFF);
      if (Opcode(w) != kOpPush16X)
        why = "alternative opcode";
      else if ((w >> 10) != 0 || (X(1) >> 16) != 0)
        why = "unused bits set";
      break;
    }
    case OpClass::kPush16W:
      text = "push.w #" + std::to_string(Imm16WordOf(w));
      if (Opcode(w) != kOpPush16W)
        why = "alternative opcode";
      else if ((w >> 26) != 0)
        why = "unused bits set";
      break;
    case OpClass::kPush32X: {
      if (!Need(2)) return;
      int32_t v = static_cast<int32_t>(X(1));
      text = std::string("push.l #") + (Imm22Fits(v) ? "!" : "") + FormatSigned(v);
      if ((w >> 10) != 0) why = "unused bits set";
      break;
    }
    case OpClass::kPush32W: text = "push.l #" + FormatSigned(Imm22Of(w)); break;
    case OpClass::kPush64X: {
      if (!Need(3)) return;
      int64_t v = static_cast<int64_t>(X(1) | static_cast<uint64_t>(X(2)) << 32);
      text = std::string("push.q #") + (Imm22Fits(v) ? "!" : "") + FormatSigned(v);
      if ((w >> 10) != 0) why = "unused bits set";
      break;
    }
    default: text = "push.q #" + FormatSigned(Imm22Of(w)); break;
  }
  canonical = why.empty();
  Finish(std::move(text), canonical, why);
}

DecodedInstruction Decoder::Run() {
  if (w_.empty()) {
    out_.words = 0;
    out_.text = "truncated instruction (1 word)";
    out_.flow = Flow::kStop;
    return out_;
  }
  const uint32_t w = w_[0];
  const uint32_t opcode = Opcode(w);
  const OpClass cls = kOpcodeClass[opcode];
  switch (cls) {
    case OpClass::kTwoOp: TwoOp(w); break;
    case OpClass::kUnary: Unary(w); break;
    case OpClass::kTestBranch: TestBranch(w); break;
    case OpClass::kBranchFlags:
      out_.flow = Flow::kBranch;
      out_.target = TargetOf(w);
      Finish(
          std::string(kBranchPrefix) + std::string(kCondNames[CondOf(w)]) + " " + Name(out_.target),
          true);
      break;
    case OpClass::kJump:
      out_.flow = Flow::kJump;
      out_.target = TargetOf(w);
      Finish(std::string(kJumpName) + " " + Name(out_.target), true);
      break;
    case OpClass::kJumpTable: {
      out_.flow = Flow::kStop;
      uint32_t table = TargetOf(w);
      std::string base = Reg(JumpTableRegOf(w));
      if (table != 0) {
        if (out_.data_ref_count < 2) out_.data_refs[out_.data_ref_count++] = table;
        base += "+" + Name(table);
      }
      Finish(std::string(kJumpName) + " [" + base + "]", true);
      break;
    }
    case OpClass::kJsr:
      if (!Need(2)) break;
      out_.flow = Flow::kCall;
      out_.target = X(1);
      Finish(std::string(kJsrName) + " " + Name(X(1)) + ", " + std::to_string(ArgBytesOf(w)),
             Bits(w, 10, 6) == 0, "unused bits set");
      break;
    case OpClass::kJsrReg:
      Finish(std::string(kJsrName) + " " + Reg(JsrRegOf(w)) + ", " + std::to_string(ArgBytesOf(w)),
             Bits(w, 10, 2) == 0, "unused bits set");
      break;
    case OpClass::kPush16X:
    case OpClass::kPush16W:
    case OpClass::kPush32X:
    case OpClass::kPush32W:
    case OpClass::kPush64X:
    case OpClass::kPush64W: PushImmediate(w, cls); break;
    case OpClass::kDebugPrint: Fixed("dbg", w); break;
    case OpClass::kSys: Fixed("sys", w); break;
    case OpClass::kHalt:
      out_.flow = Flow::kStop;
      Fixed("halt", w);
      break;
    case OpClass::kModal: Fixed("modal", w); break;
    case OpClass::kEmod:
      out_.flow = Flow::kStop;
      Fixed("emod", w);
      break;
    case OpClass::kEnter:
      Finish(std::string(kEnterName) + " " + std::to_string(FrameRegsOf(w)) + ", " +
                 std::to_string(FrameLocalsOf(w)),
             true);
      break;
    case OpClass::kReturn:
      out_.flow = Flow::kStop;
      Finish(std::string(kReturnName) + " " + std::to_string(FrameRegsOf(w)), Bits(w, 14, 18) == 0,
             "unused bits set");
      break;
    case OpClass::kNop:
      if (w == kOpNop)
        Finish("nop", true);
      else
        Finish("nop", false,
               "no-operation opcode " + std::to_string(opcode) + ", word " + FormatHex(w));
      break;
    case OpClass::kIllegal:
      out_.flow = Flow::kStop;
      Finish("illegal opcode " + std::to_string(opcode), false);
      break;
  }
  return out_;
}

}  // namespace

DecodedInstruction Disassemble(std::span<const uint32_t> words, uint32_t address,
                               const AddressNamer& namer) {
  return Decoder(words, address, namer).Run();
}

}  // namespace orva::vm
