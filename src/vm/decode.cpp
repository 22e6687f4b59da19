#include "vm/decode.h"

#include "vm/image.h"
#include "vm/isa.h"

namespace orva::vm::fast {

namespace {

using isa::Operand;

struct Decoder {
  DecodeCache& dc;
  Page& page;
  Entry& e;
  const uint8_t* m;

  uint32_t Word(uint32_t k) const { return Ld32(m + e.pc + 4 * k); }

  // Whether `words` words from e.pc lie in the page and where Lookup() serves code.
  bool Fits(uint32_t words) const {
    return e.pc - kFirstCode < dc.code_limit && (e.pc - page.base) + 4 * words <= kPageBytes;
  }
  // An address the loop may use without a check, known when decoding.
  bool Plain(uint32_t a) const { return a - kPlainStart <= dc.size - kPlainStart - kWidest; }

  void Set(uint16_t handler, uint32_t words) {
    e.h = dc.Ref(handler);
    e.len = static_cast<uint8_t>(words);
  }
  void Step(uint32_t words) { Set(kHStep, words); }

  // The entry a branch to `target` continues at: on this page directly, elsewhere through a
  // far entry (whose Lookup() compares that page with memory when it must).
  Entry* Target(uint32_t target) const {
    if (target - kFirstCode < dc.code_limit && (target & 3) == 0 &&
        (target & ~(kPageBytes - 1)) == page.base)
      return &page.entries[(target - page.base) / 4];
    return dc.Far(target);
  }

  void TwoOp(uint32_t w);
  void Unary(uint32_t w);
  void TestBranch(uint32_t w);
  void Run();
};

// Resolves one operand of a two-operand form into (kind, base register slot, value). False when
// it is an absolute address the loop may not use unchecked.
struct Resolved {
  uint8_t reg = 0;  // slot offset of the base register
  uint32_t value = 0;
  uint64_t imm = 0;  // a size-3 immediate
};

void Decoder::TwoOp(uint32_t w) {
  const uint32_t words = isa::TwoOpWords(w);
  if (!Fits(words)) return Step(1);
  const isa::FormInfo& f = *isa::kFormByNumber[isa::FormOf(w)];
  const uint32_t op = isa::OperationOf(w), size = isa::SizeOf(w);
  const isa::OperationInfo& info = isa::kOperations[op];
  if (info.kind == isa::OpKind::kIllegal || op >= 30) return Step(words);  // faults, block stack
  if (info.kind == isa::OpKind::kFloat && size < 2) return Step(words);    // the size alert

  bool plain = true;
  auto resolve = [&](Operand o) {
    Resolved r;
    switch (o) {
      case Operand::kReg1: r.value = RegOffset(isa::R1Of(w)); break;
      case Operand::kReg2: r.value = RegOffset(isa::R2Of(w)); break;
      case Operand::kFpD16: r.value = static_cast<uint32_t>(isa::D16Of(w)); break;
      case Operand::kFpX1: r.value = Word(1); break;
      case Operand::kAbsX1:
      case Operand::kAbsX2:
        r.value = Word(o == Operand::kAbsX1 ? 1 : 2);
        plain &= Plain(r.value);
        break;
      case Operand::kR1X1:
      case Operand::kR1X2:
        r.reg = static_cast<uint8_t>(RegOffset(isa::R1Of(w)));
        r.value = Word(o == Operand::kR1X1 ? 1 : 2);
        break;
      case Operand::kR2X1:
      case Operand::kR2X2:
        r.reg = static_cast<uint8_t>(RegOffset(isa::R2Of(w)));
        r.value = Word(o == Operand::kR2X1 ? 1 : 2);
        break;
      case Operand::kImmX1:
      case Operand::kImmX2: {
        uint32_t k = o == Operand::kImmX1 ? 1 : 2;
        r.value = Word(k);
        r.imm = size == 3 ? Ld64(m + e.pc + 4 * k) : r.value;
        break;
      }
      case Operand::kShort16:
      case Operand::kShort5: {
        // Sign-extended to 32 bits; a size-3 operation sees the upper half of IMMSLOT zero.
        int32_t v = o == Operand::kShort16 ? isa::Short16Of(w) : isa::Short5Of(w);
        r.value = static_cast<uint32_t>(v);
        r.imm = r.value;
        break;
      }
    }
    return r;
  };
  const Resolved d = resolve(f.dst), s = resolve(f.src);
  if (!plain) return Step(words);  // an absolute operand the careful handler must check
  const DKind dk = DKindOf(f.dst);
  const SKind sk = SKindOf(f.src);
  e.a = d.value;
  e.dreg = d.reg;
  e.b = s.value;
  e.sreg = s.reg;
  e.imm = s.imm;

  const int fast = FastOpIndex(op);
  if (fast < 0 || !HasOwnHandlers(dk, sk)) {
    e.cond = static_cast<uint8_t>(isa::OpSizeOf(w));
    return Set(static_cast<uint16_t>(kHGenericTwoOp + KindPair(dk, sk)), words);
  }
  // A flag-setting operation and the branch on flags right after it run as one entry, unless
  // the pair would reach past the page or the entry has no room for a 64-bit immediate.
  const int fused = FusedOpIndex(op);
  if (fused >= 0 && !(sk == SKind::kImm && size == 3) && Fits(words + 1)) {
    uint32_t branch = Word(words);
    if ((isa::Opcode(branch) & 0x7F) == 52) {
      e.cond = isa::kCondMask[isa::CondOf(branch)];
      e.target = Target(isa::TargetOf(branch));
      return Set(FusedHandler(dk, sk, static_cast<uint32_t>(fused), size), words + 1);
    }
  }
  Set(TwoOpHandler(dk, sk, static_cast<uint32_t>(fast), size), words);
}

void Decoder::Unary(uint32_t w) {
  const uint32_t words = isa::UnaryWords(w);
  if (!Fits(words)) return Step(1);
  const uint32_t code = isa::UnaryCodeOf(w);
  switch (isa::UnaryKindOf(code)) {
    case isa::UnaryKind::kIllegal: return Step(words);
    case isa::UnaryKind::kNop: return Set(kHNop, words);  // steps over its word, touches nothing
    case isa::UnaryKind::kValid: break;
  }
  if (code < 2) return Step(words);  // the size alert of fneg.b and fneg.w
  DKind kind = DKind::kAbs;
  e.dreg = 0;
  switch (isa::UnaryFormOf(w)) {
    case isa::kUnaryRegDisp:
      kind = DKind::kInd;
      e.dreg = static_cast<uint8_t>(RegOffset(isa::R2Of(w)));
      e.a = Word(1);
      break;
    case isa::kUnaryFp:
      kind = DKind::kFp;
      e.a = static_cast<uint32_t>(isa::D16Of(w));
      break;
    case isa::kUnarySlot: {
      // Slots 0-15 are the registers; past them lie the header fields and then the image.
      uint32_t slot = isa::SlotOf(w);
      e.a = RegOffset(slot);
      if (slot <= 15) {
        kind = DKind::kReg;
      } else if (!Plain(e.a)) {
        return Step(words);
      }
      break;
    }
    default:
      e.a = Word(1);
      if (!Plain(e.a)) return Step(words);
      break;
  }
  const int fast = FastUnaryIndex(code / 4);
  if (fast < 0) {
    e.cond = static_cast<uint8_t>(code);
    return Set(static_cast<uint16_t>(kHGenericUnary + static_cast<uint32_t>(kind)), words);
  }
  Set(UnaryHandler(kind, static_cast<uint32_t>(fast), code & 3), words);
}

void Decoder::TestBranch(uint32_t w) {
  if (!Fits(2)) return Step(1);
  const uint32_t x = Word(1);
  TestKind kind = TestKind::kFixed;
  switch (isa::TbModeOf(w)) {
    case 0:  // register slot x1: any slot number
      e.a = RegOffset(x);
      if (x > 15 && !Plain(e.a)) return Step(2);
      break;
    case 1:  // [x1]; the registers need no check
      e.a = x;
      if (x > RegOffset(15) && !Plain(x)) return Step(2);
      break;
    case 2:  // [R(x1)]
      if (x > 15) return Step(2);
      kind = TestKind::kInd;
      e.dreg = static_cast<uint8_t>(RegOffset(x));
      break;
    default:  // [FP + x1]
      kind = TestKind::kFp;
      e.a = x;
      break;
  }
  e.cond = isa::kCondMask[isa::CondOf(w)];
  e.target = Target(isa::TargetOf(w));
  Set(static_cast<uint16_t>(kHTestBranch + static_cast<uint32_t>(kind) * 4 + isa::TbSizeOf(w)), 2);
}

void Decoder::Run() {
  e.dreg = e.sreg = e.cond = 0;
  e.a = e.b = 0;
  e.imm = 0;
  if (!Fits(1)) return Step(1);
  const uint32_t w = Word(0);
  switch (isa::kOpcodeClass[isa::Opcode(w)]) {
    case isa::OpClass::kTwoOp: return TwoOp(w);
    case isa::OpClass::kUnary: return Unary(w);
    case isa::OpClass::kTestBranch: return TestBranch(w);
    case isa::OpClass::kBranchFlags:
      e.cond = isa::kCondMask[isa::CondOf(w)];
      e.target = Target(isa::TargetOf(w));
      return Set(kHBranch, 1);
    case isa::OpClass::kJump: e.target = Target(isa::TargetOf(w)); return Set(kHJump, 1);
    case isa::OpClass::kJumpTable:
      e.dreg = static_cast<uint8_t>(RegOffset(isa::JumpTableRegOf(w)));
      e.a = isa::TargetOf(w);
      return Set(kHJumpTable, 1);
    case isa::OpClass::kJsr:
      if (!Fits(2)) return Step(1);
      e.b = isa::ArgBytesOf(w);
      e.target = Target(Word(1));
      return Set(kHJsr, 2);
    case isa::OpClass::kJsrReg:
      e.b = isa::ArgBytesOf(w);
      e.dreg = static_cast<uint8_t>(RegOffset(isa::JsrRegOf(w)));
      return Set(kHJsrReg, 1);
    case isa::OpClass::kEnter:
      e.a = isa::FrameLocalsOf(w);
      e.b = isa::FrameRegsOf(w);
      return Set(kHEnter, 1);
    case isa::OpClass::kReturn: e.b = isa::FrameRegsOf(w); return Set(kHReturn, 1);
    case isa::OpClass::kPush16X:
      if (!Fits(2)) return Step(1);
      e.imm = Word(1) & 0xFFFF;
      return Set(kHPush16, 2);
    case isa::OpClass::kPush16W: e.imm = isa::Imm16WordOf(w); return Set(kHPush16, 1);
    case isa::OpClass::kPush32X:
      if (!Fits(2)) return Step(1);
      e.imm = Word(1);
      return Set(kHPush32, 2);
    case isa::OpClass::kPush32W:
      e.imm = static_cast<uint32_t>(isa::Imm22Of(w));
      return Set(kHPush32, 1);
    case isa::OpClass::kPush64X:
      if (!Fits(3)) return Step(1);
      e.imm = Ld64(m + e.pc + 4);
      return Set(kHPush64, 3);
    case isa::OpClass::kPush64W:
      e.imm = static_cast<uint64_t>(static_cast<int64_t>(isa::Imm22Of(w)));
      return Set(kHPush64, 1);
    case isa::OpClass::kSys: return Set(kHSys, 1);
    case isa::OpClass::kNop: return Set(kHNop, 1);
    case isa::OpClass::kDebugPrint:
    case isa::OpClass::kHalt:
    case isa::OpClass::kModal:
    case isa::OpClass::kEmod:
    case isa::OpClass::kIllegal: return Step(1);
  }
  Step(1);
}

}  // namespace

void Decode(DecodeCache& dc, Entry& e) {
  Page& page = PageOf(dc, e);
  Decoder{dc, page, e, dc.base}.Run();
  dc.NoteDecoded(page, e);
}

}  // namespace orva::vm::fast
