// The interpreter loop.
//
// One function holds the whole loop, so that PC, SP, FP and FLAGS stay in host registers for a
// run. Instructions are dispatched twice at most: once on the 10-bit opcode (which selects an
// addressing form or a control instruction), and once more on the 7-bit operation-and-size code
// of two-operand and unary instructions. Addressing forms only resolve their operands to image
// addresses (an immediate by way of IMMSLOT); the operation handlers then serve every form.
//
// The loop is written once. On GCC each handler ends by fetching and jumping straight to the
// next handler through a table of label addresses (computed goto); with ORVA_FORCE_SWITCH the
// same text compiles to a loop around switch statements. The VM_* macros below are the only
// difference between the two.
//
// Safety: no access leaves the image. A memory operand is either plain (between kPlainStart and
// the end of the image, decided by one compare in the form) and its operation handler checks
// nothing, or it is not, and the careful variant of the same handler checks exactly what it
// touches. Registers and IMMSLOT lie in the header, which every image holds. Instruction words
// are checked once per fetch: an instruction that starts at least 16 bytes before the end of the
// image fits, whatever its length; only near the ends is its length decoded first.
//
// The held fields (PC, SP, FP, FLAGS) are written into the header wherever someone can look at
// them (VM_SYNC): careful accesses, host calls, and every way out of the loop.
#include "vm/interpreter.h"

#include <array>
#include <bit>
#include <cstring>

#include "core/file_layer.h"
#include "core/host.h"
#include "heap/heap.h"
#include "services/dispatch.h"
#include "vm/decode_cache.h"
#include "vm/fast_loop.h"
#include "vm/isa.h"
#include "vm/operations.h"
#include "vm/run_limit.h"
#include "vm/trace.h"

#if defined(__GNUC__) && !defined(ORVA_FORCE_SWITCH)
#define ORVA_THREADED 1
#else
#define ORVA_THREADED 0
#endif

namespace orva::vm {

namespace {

using isa::Operand;

// ---------------------------------------------------------------------------------------------
// First-level dispatch: what each 10-bit opcode runs

// Handlers 0-31 are the two-operand forms of that number (only those of isa::kForms occur).
enum Handler : uint8_t {
  kHUnaryRegDisp = 32,  // [R(r2) + x1]
  kHUnaryFp,            // [FP + d16]
  kHUnarySlot,          // register slot n
  kHUnaryAbs,           // [x1]
  kHTestReg,            // test-and-branch, one handler per operand mode
  kHTestAbs,
  kHTestInd,
  kHTestFp,
  kHBranchFlags,
  kHJump,
  kHJumpTable,
  kHJsr,
  kHJsrReg,
  kHPush16X,
  kHPush16W,
  kHPush32X,
  kHPush32W,
  kHPush64X,
  kHPush64W,
  kHDebugPrint,
  kHSys,
  kHEnter,
  kHReturn,
  kHHalt,
  kHModal,
  kHEmod,
  kHNop,
  kHIllegal,
  kHandlerCount
};

constexpr uint8_t HandlerOf(uint32_t op) {
  using isa::OpClass;
  switch (isa::kOpcodeClass[op]) {
    case OpClass::kTwoOp: return static_cast<uint8_t>(isa::FormOf(op));
    case OpClass::kUnary:
      switch (isa::UnaryFormOf(op)) {
        case isa::kUnaryRegDisp: return kHUnaryRegDisp;
        case isa::kUnaryFp: return kHUnaryFp;
        case isa::kUnarySlot: return kHUnarySlot;
        default: return kHUnaryAbs;
      }
    case OpClass::kTestBranch: return static_cast<uint8_t>(kHTestReg + isa::TbModeOf(op));
    case OpClass::kBranchFlags: return kHBranchFlags;
    case OpClass::kJump: return kHJump;
    case OpClass::kJumpTable: return kHJumpTable;
    case OpClass::kJsr: return kHJsr;
    case OpClass::kJsrReg: return kHJsrReg;
    case OpClass::kPush16X: return kHPush16X;
    case OpClass::kPush16W: return kHPush16W;
    case OpClass::kPush32X: return kHPush32X;
    case OpClass::kPush32W: return kHPush32W;
    case OpClass::kPush64X: return kHPush64X;
    case OpClass::kPush64W: return kHPush64W;
    case OpClass::kDebugPrint: return kHDebugPrint;
    case OpClass::kSys: return kHSys;
    case OpClass::kEnter: return kHEnter;
    case OpClass::kReturn: return kHReturn;
    case OpClass::kHalt: return kHHalt;
    case OpClass::kModal: return kHModal;
    case OpClass::kEmod: return kHEmod;
    case OpClass::kNop: return kHNop;
    case OpClass::kIllegal: return kHIllegal;
  }
  return kHIllegal;
}

constexpr auto kHandlerOf = [] {
  std::array<uint8_t, 1024> t{};
  for (uint32_t op = 0; op < 1024; ++op) t[op] = HandlerOf(op);
  return t;
}();

// The operation handlers of the loop are written in this order of codes; isa.h is the authority
// and these asserts keep the two in step.
constexpr std::string_view kOperationOrder[32] = {
    "divs", "rems", "asr", "divu", "remu", "lsr",  "add",  "sub",  "cmp",   "mul",  "test",
    "lsl",  "and",  "or",  "xor",  "mov",  "movz", "fadd", "fsub", "fmul",  "fdiv", "fcmp",
    "lea",  "bmov", "",    "",     "",     "",     "",     "",     "bpush", "bpeek"};
constexpr std::string_view kUnaryOrder[18] = {"fneg",  "neg",   "not",   "tst",   "push",  "pop",
                                              "pusha", "",      "zext",  "sext",  "cvtuf", "cvtsf",
                                              "cvtud", "cvtsd", "cvtfi", "cvtdi", "cvtfd", "cvtdf"};
constexpr bool HandlersFollowIsa() {
  for (size_t i = 0; i < std::size(kOperationOrder); ++i)
    if (isa::kOperations[i].name != kOperationOrder[i]) return false;
  for (size_t i = 0; i < std::size(kUnaryOrder); ++i)
    if (isa::kUnaryOps[i].name != kUnaryOrder[i]) return false;
  return true;
}
static_assert(HandlersFollowIsa());

ORVA_ALWAYS_INLINE bool Taken(uint32_t w, uint8_t flags) {
  return (isa::kCondMask[isa::CondOf(w)] >> (flags & 7)) & 1;
}

// ---------------------------------------------------------------------------------------------
// Plain and careful accesses

// The loop writes the held fields' header copies only when someone may look (see VM_SYNC).

// Whether [a, a + n) lies in the plain part of the image: one unsigned compare, since an address
// below kPlainStart wraps around to a huge value. Lengths that may exceed the plain part are
// refused first (for the constant widths of operands this folds away: every image holds a
// header, see the assumption at the top of the loop).
ORVA_ALWAYS_INLINE bool Plain(uint32_t a, uint64_t n, uint32_t size) {
  return n <= size - kPlainStart && a - kPlainStart <= size - kPlainStart - n;
}

// ---------------------------------------------------------------------------------------------
// Operand resolution of the two-operand forms

constexpr bool IsMemory(Operand k) {
  return k != Operand::kReg1 && k != Operand::kReg2 && !isa::IsImmediate(k) && !isa::IsShort(k);
}

// The image address of one operand. `x` points at the first extension word. An immediate is
// parked in IMMSLOT: 32 bits for sizes 0-2, all 64 for size 3. A short immediate is
// sign-extended to 32 bits; for size 3 the upper four bytes are zero, so a short -1 supplies
// 4294967295 to a 64-bit operation (programs may rely on this).
template <Operand K>
ORVA_ALWAYS_INLINE uint32_t OperandAddress(uint8_t* m, uint32_t w, const uint8_t* x, uint32_t fp) {
  if constexpr (K == Operand::kReg1) {
    return RegOffset(isa::R1Of(w));
  } else if constexpr (K == Operand::kReg2) {
    return RegOffset(isa::R2Of(w));
  } else if constexpr (K == Operand::kFpD16) {
    return fp + static_cast<uint32_t>(isa::D16Of(w));
  } else if constexpr (K == Operand::kFpX1) {
    return fp + Ld32(x);
  } else if constexpr (K == Operand::kAbsX1) {
    return Ld32(x);
  } else if constexpr (K == Operand::kAbsX2) {
    return Ld32(x + 4);
  } else if constexpr (K == Operand::kR1X1) {
    return Ld32(m + RegOffset(isa::R1Of(w))) + Ld32(x);
  } else if constexpr (K == Operand::kR1X2) {
    return Ld32(m + RegOffset(isa::R1Of(w))) + Ld32(x + 4);
  } else if constexpr (K == Operand::kR2X1) {
    return Ld32(m + RegOffset(isa::R2Of(w))) + Ld32(x);
  } else if constexpr (K == Operand::kR2X2) {
    return Ld32(m + RegOffset(isa::R2Of(w))) + Ld32(x + 4);
  } else if constexpr (isa::IsImmediate(K)) {
    const uint8_t* imm = K == Operand::kImmX1 ? x : x + 4;
    if (isa::SizeOf(w) == 3) {
      St64(m + kOffIMMSLOT, Ld64(imm));
    } else {
      St32(m + kOffIMMSLOT, Ld32(imm));
    }
    return kOffIMMSLOT;
  } else {
    static_assert(isa::IsShort(K));
    int32_t v = K == Operand::kShort16 ? isa::Short16Of(w) : isa::Short5Of(w);
    if (isa::SizeOf(w) == 3) {
      St64(m + kOffIMMSLOT, static_cast<uint32_t>(v));
    } else {
      St32(m + kOffIMMSLOT, static_cast<uint32_t>(v));
    }
    return kOffIMMSLOT;
  }
}

// Resolves both operands of the two-operand instruction at `pc` and sets `next` past it. Returns
// the key of its operation handler: the operation-and-size code, plus 128 when a memory operand
// is not plain and the careful variant of the handler must run.
template <uint32_t kForm>
ORVA_ALWAYS_INLINE uint32_t ResolveTwoOp(uint8_t* m, uint32_t w, uint64_t pc, uint32_t fp,
                                         uint32_t size, uint64_t& d, uint64_t& s, uint64_t& next) {
  constexpr isa::FormInfo f = *isa::kFormByNumber[kForm];
  const uint8_t* x = m + pc + 4;
  d = OperandAddress<f.dst>(m, w, x, fp);
  s = OperandAddress<f.src>(m, w, x, fp);
  // The length decides where the next fetch goes: a branch on the size, which the predictor
  // runs ahead of, keeps the fetch from waiting for this word's decoding.
  next = pc + 4 * (1 + f.ext_words);
  if constexpr (isa::IsImmediate(f.src)) {
    if (isa::SizeOf(w) == 3) [[unlikely]] {
      next += 4;
      asm("" : "+r"(next));  // keep the branch
    }
  }
  bool careful = false;
  if constexpr (IsMemory(f.dst)) careful |= !Plain(d, kWidest, size);
  if constexpr (IsMemory(f.src)) careful |= !Plain(s, kWidest, size);
  return isa::OpSizeOf(w) | static_cast<uint32_t>(careful) << 7;
}

// Copies n 8-byte register slots between the header and the stack; the frame instructions save
// and restore up to 15 of them. The two can overlap only when the stack is not plain.
ORVA_ALWAYS_INLINE void CopySlots(uint8_t* dst, const uint8_t* src, uint32_t n, bool plain) {
  if (plain) [[likely]] {
    for (uint32_t i = 0; i < n; ++i) St64(dst + 8 * i, Ld64(src + 8 * i));
  } else {
    std::memmove(dst, src, 8 * n);
  }
}

// FLAGS of the value of size code `size` (0-3) at p.
ORVA_ALWAYS_INLINE uint8_t FlagsAt(const uint8_t* p, uint32_t size) {
  switch (size) {
    case 0: return ops::FlagsOf(Ld<uint8_t>(p));
    case 1: return ops::FlagsOf(Ld<uint16_t>(p));
    case 2: return ops::FlagsOf(Ld<uint32_t>(p));
    default: return ops::FlagsOf(Ld<uint64_t>(p));
  }
}

// Whether the instruction at pc lies inside the image; `bad` receives the first word that does
// not. Called only near the ends of the image, where the longest instruction might not fit.
[[gnu::noinline]] bool InstructionFits(const uint8_t* m, uint32_t size, uint32_t pc,
                                       uint32_t& bad) {
  if (pc > size - 4) {
    bad = pc;
    return false;
  }
  uint32_t words = isa::InstructionWords(Ld32(m + pc));
  for (uint32_t k = 1; k < words; ++k) {
    if (pc + 4 * k > size - 4) {
      bad = pc + 4 * k;
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// The loop

// The loop is written in the VM_* macros below, which the formatter cannot read; it is laid
// out by hand.
// clang-format off
template <bool kTraced>
Stop Loop(Host& host, Tracer* tracer) {
  uint8_t* const m = host.mem.base;
  const uint32_t size = host.mem.size;
  if (size < kHeaderSize) __builtin_unreachable();  // Interpret() has made sure of it

  // Addresses are 32-bit; they are held in 64-bit locals so that indexing needs no extension.
  uint64_t next = Ld32(m + kOffPC);  // address of the instruction to run next
  uint32_t sp = Ld32(m + kOffSP);
  uint32_t fp = Ld32(m + kOffFP);
  uint8_t flags = m[kOffFLAGS];
  uint64_t pc = next;     // address of the instruction being run
  uint32_t w = 0;         // its first word
  uint64_t d = 0, s = 0;  // resolved operand addresses (unary instructions use d)
  uint32_t key = 0;       // operation handler to run: the code, plus 128 for the careful one
  uint32_t bad = 0;       // the address a failed check was about
  uint32_t countdown = host.machine.limit.countdown;  // transfers until the next limit check
  Stop stop;

  // Writes the held state into the header, as it stands at the start of the instruction. The
  // header copies are kept current for everyone who can look at them: before a careful access
  // (the only way the program reaches header bytes below kPlainStart) and after it (undoing a
  // store into a held field), around host calls, and when the loop returns.
#define VM_SYNC()         \
  do {                    \
    St32(m + kOffPC, pc); \
    St32(m + kOffSP, sp); \
    St32(m + kOffFP, fp); \
    m[kOffFLAGS] = flags; \
  } while (0)

  // Starts the instruction at pc: instrumentation, then the first word, checked near the ends
  // of the image (and in the header, whose held fields are written first).
#define VM_STEP()                                                \
  if constexpr (kTraced) {                                       \
    VM_SYNC();                                                   \
    if (!tracer->Step(host.mem, pc)) goto limit_reached;         \
  }                                                              \
  if (pc - kPlainStart > size - kPlainStart - 16) [[unlikely]] { \
    VM_SYNC();                                                   \
    if (!InstructionFits(m, size, pc, bad)) goto fetch_fault;    \
  }                                                              \
  w = Ld32(m + pc)

  // Records that [a, a + n) of the image may have been written, for single steps of the
  // pre-decoded loop, which must reset the entries decoded from those bytes.
#define VM_WROTE(a, n) \
  if constexpr (kTraced) tracer->Wrote((a), (n))

  // A taken transfer of control counts towards the run limit (vm/run_limit.h); `next` already
  // holds its target.
#define VM_TRANSFER() \
  if (--countdown == 0) [[unlikely]] goto limit_check

  // Precise checks of image accesses: [a, a + n) must lie inside the image.
#define VM_CHECK(a, n)                 \
  if ((a) > size - (n)) [[unlikely]] { \
    bad = (a);                         \
    goto bad_address;                  \
  }
#define VM_CHECK2(a, na, b, nb)                                 \
  if (((a) > size - (na)) | ((b) > size - (nb))) [[unlikely]] { \
    bad = (a) > size - (na) ? (a) : (b);                        \
    goto bad_address;                                           \
  }
  // The same for lengths not known at compile time (they may exceed the image).
#define VM_CHECK_RANGE(a, n)                                                   \
  if (!((a) <= size && static_cast<uint64_t>(n) <= size - (a))) [[unlikely]] { \
    bad = (a);                                                                 \
    goto bad_address;                                                          \
  }
  // Reading [a, a + n) outside the plain part: the header written first, the range checked.
#define VM_READABLE(a, n)                \
  if (!Plain(a, n, size)) [[unlikely]] { \
    VM_SYNC();                           \
    VM_CHECK_RANGE(a, n);                \
  }
  // Room for k more bytes on the stack: SP may not fall below STKLIM.
#define VM_STACK_ROOM(k)                                       \
  if (static_cast<int64_t>(sp) - static_cast<int64_t>(k) <     \
      static_cast<int64_t>(Ld32(m + kOffSTKLIM))) [[unlikely]] \
    goto stack_overflow;

#if ORVA_THREADED
#define VM_CASE(label, value) \
  label:
#define VM_NEXT()                   \
  do {                              \
    pc = next;                      \
    VM_STEP();                      \
    goto* dispatch[isa::Opcode(w)]; \
  } while (0)
#define VM_OP_DISPATCH() goto* op_labels[key]
#define VM_UNARY_DISPATCH() goto* unary_labels[key]

  // Label tables, in the order of Handler, of operation keys and of unary keys. The first 128
  // keys are the handlers for plain operands, the second 128 their careful variants.
#define VM_FORM_LABEL(n) &&form_##n
  static const void* const handler_labels[] = {
      &&h_illegal,       VM_FORM_LABEL(1),  VM_FORM_LABEL(2),  VM_FORM_LABEL(3),  &&h_illegal,
      VM_FORM_LABEL(5),  VM_FORM_LABEL(6),  VM_FORM_LABEL(7),  &&h_illegal,       VM_FORM_LABEL(9),
      VM_FORM_LABEL(10), VM_FORM_LABEL(11), &&h_illegal,       VM_FORM_LABEL(13), VM_FORM_LABEL(14),
      VM_FORM_LABEL(15), &&h_illegal,       VM_FORM_LABEL(17), VM_FORM_LABEL(18), VM_FORM_LABEL(19),
      &&h_illegal,       VM_FORM_LABEL(21), VM_FORM_LABEL(22), VM_FORM_LABEL(23), &&h_illegal,
      VM_FORM_LABEL(25), VM_FORM_LABEL(26), VM_FORM_LABEL(27), VM_FORM_LABEL(28), VM_FORM_LABEL(29),
      VM_FORM_LABEL(30), &&h_illegal,       &&h_unary_regdisp, &&h_unary_fp,      &&h_unary_slot,
      &&h_unary_abs,     &&h_test_reg,      &&h_test_abs,      &&h_test_ind,      &&h_test_fp,
      &&h_branch_flags,  &&h_jump,          &&h_jump_table,    &&h_jsr,           &&h_jsr_reg,
      &&h_push16x,       &&h_push16w,       &&h_push32x,       &&h_push32w,       &&h_push64x,
      &&h_push64w,       &&h_debug_print,   &&h_sys,           &&h_enter,         &&h_return,
      &&h_halt,          &&h_modal,         &&h_emod,          &&h_nop,           &&h_illegal,
  };
#undef VM_FORM_LABEL
  static const std::array<const void*, 1024> dispatch = [] {
    std::array<const void*, 1024> t{};
    for (uint32_t op = 0; op < 1024; ++op) t[op] = handler_labels[kHandlerOf[op]];
    return t;
  }();

#define VM_L4(name, v) &&name##_##v##0, &&name##_##v##1, &&name##_##v##2, &&name##_##v##3
#define VM_OP_LABELS(v)                                                                          \
  VM_L4(divs, v), VM_L4(rems, v), VM_L4(asr, v), VM_L4(divu, v), VM_L4(remu, v), VM_L4(lsr, v),  \
      VM_L4(add, v), VM_L4(sub, v), VM_L4(cmp, v), VM_L4(mul, v), VM_L4(test, v), VM_L4(lsl, v), \
      VM_L4(and, v), VM_L4(or, v), VM_L4(xor, v), VM_L4(mov, v), VM_L4(movz, v), VM_L4(fadd, v), \
      VM_L4(fsub, v), VM_L4(fmul, v), VM_L4(fdiv, v), VM_L4(fcmp, v), VM_L4(lea, v),             \
      VM_L4(bmov, v), VM_ILL24, VM_L4(bpush, v), VM_L4(bpeek, v)
#define VM_ILL4 &&illegal_op, &&illegal_op, &&illegal_op, &&illegal_op
#define VM_ILL24 VM_ILL4, VM_ILL4, VM_ILL4, VM_ILL4, VM_ILL4, VM_ILL4
  static const void* const op_labels[] = {VM_OP_LABELS(p), VM_OP_LABELS(c)};
#define VM_UNARY_LABELS(v)                                                                         \
  &&u_fsize_##v##0, &&u_fsize_##v##1, &&u_fneg_##v##2, &&u_fneg_##v##3, VM_L4(u_neg, v),           \
      VM_L4(u_not, v), VM_L4(u_tst, v), VM_L4(u_push, v), VM_L4(u_pop, v), VM_L4(u_pusha, v),      \
      VM_ILL4, &&u_zext_##v##0, &&u_zext_##v##1, &&u_zext_##v##2, &&u_nop_##v##3, &&u_sext_##v##0, \
      &&u_sext_##v##1, &&u_sext_##v##2, &&u_nop_##v##7, VM_L4(u_cvtuf, v), VM_L4(u_cvtsf, v),      \
      VM_L4(u_cvtud, v), VM_L4(u_cvtsd, v), VM_L4(u_cvtfi, v), VM_L4(u_cvtdi, v),                  \
      VM_L4(u_cvtfd, v), VM_L4(u_cvtdf, v), VM_ILL24, VM_ILL24, VM_ILL4, VM_ILL4
  static const void* const unary_labels[] = {VM_UNARY_LABELS(p), VM_UNARY_LABELS(c)};
#undef VM_L4
#undef VM_ILL4
#undef VM_ILL24
#undef VM_OP_LABELS
#undef VM_UNARY_LABELS
  static_assert(std::size(handler_labels) == kHandlerCount);
  static_assert(std::size(op_labels) == 256 && std::size(unary_labels) == 256);

  VM_NEXT();  // the first instruction
  {
#else
#define VM_CASE(label, value) case value:
#define VM_NEXT() continue
#define VM_OP_DISPATCH() goto two_op
#define VM_UNARY_DISPATCH() goto unary

  for (;;) {
    pc = next;
    VM_STEP();
    switch (kHandlerOf[isa::Opcode(w)]) {
      default: goto illegal;
#endif

    // --- Two-operand forms: resolve, then dispatch on the operation key -------------------
#define VM_FORM(n)                                         \
  VM_CASE(form_##n, n) {                                   \
    key = ResolveTwoOp<n>(m, w, pc, fp, size, d, s, next); \
    VM_WROTE(d, kWidest);                                  \
    VM_OP_DISPATCH();                                      \
  }
    VM_FORM(1)
    VM_FORM(2)
    VM_FORM(3)
    VM_FORM(5)
    VM_FORM(6) VM_FORM(7) VM_FORM(9) VM_FORM(10) VM_FORM(11) VM_FORM(13) VM_FORM(14) VM_FORM(15)
        VM_FORM(17) VM_FORM(18) VM_FORM(19) VM_FORM(21) VM_FORM(22) VM_FORM(23) VM_FORM(25)
            VM_FORM(26) VM_FORM(27) VM_FORM(28) VM_FORM(29) VM_FORM(30)
#undef VM_FORM

        // --- Unary forms: resolve X into d, then dispatch on the unary key -------------------
        VM_CASE(h_unary_regdisp, kHUnaryRegDisp) {
      d = Ld32(m + RegOffset(isa::R2Of(w))) + Ld32(m + pc + 4);
      next = pc + 8;
      key = isa::UnaryCodeOf(w) | static_cast<uint32_t>(!Plain(d, kWidest, size)) << 7;
      VM_WROTE(d, kWidest);
      VM_UNARY_DISPATCH();
    }
    VM_CASE(h_unary_fp, kHUnaryFp) {
      d = fp + static_cast<uint32_t>(isa::D16Of(w));
      next = pc + 4;
      key = isa::UnaryCodeOf(w) | static_cast<uint32_t>(!Plain(d, kWidest, size)) << 7;
      VM_WROTE(d, kWidest);
      VM_UNARY_DISPATCH();
    }
    VM_CASE(h_unary_slot, kHUnarySlot) {
      // Slots 0-15 are the registers; past them lie the header fields and then the image.
      uint32_t slot = isa::SlotOf(w);
      d = RegOffset(slot);
      next = pc + 4;
      bool careful = slot > 15 && !Plain(d, kWidest, size);
      key = isa::UnaryCodeOf(w) | static_cast<uint32_t>(careful) << 7;
      VM_WROTE(d, kWidest);
      VM_UNARY_DISPATCH();
    }
    VM_CASE(h_unary_abs, kHUnaryAbs) {
      d = Ld32(m + pc + 4);
      next = pc + 8;
      key = isa::UnaryCodeOf(w) | static_cast<uint32_t>(!Plain(d, kWidest, size)) << 7;
      VM_WROTE(d, kWidest);
      VM_UNARY_DISPATCH();
    }

    // --- Test-and-branch: FLAGS from the operand, then branch on the condition ------------
#define VM_TEST_AND_BRANCH()                                          \
  {                                                                   \
    uint32_t tsize = isa::TbSizeOf(w);                                \
    if (d > RegOffset(15) && !Plain(d, kWidest, size)) [[unlikely]] { \
      VM_SYNC();                                                      \
      VM_CHECK(d, 1u << tsize);                                       \
    }                                                                 \
    flags = FlagsAt(m + d, tsize);                                    \
    if (Taken(w, flags)) {                                            \
      next = isa::TargetOf(w);                                        \
      VM_TRANSFER();                                                  \
      VM_NEXT();                                                      \
    }                                                                 \
    next = pc + 8;                                                    \
    VM_NEXT();                                                        \
  }
    VM_CASE(h_test_reg, kHTestReg) {
      next = pc + 8;
      d = RegOffset(Ld32(m + pc + 4));  // any slot number
      VM_TEST_AND_BRANCH();
    }
    VM_CASE(h_test_abs, kHTestAbs) {
      next = pc + 8;
      d = Ld32(m + pc + 4);
      VM_TEST_AND_BRANCH();
    }
    VM_CASE(h_test_ind, kHTestInd) {
      next = pc + 8;
      uint32_t slot = RegOffset(Ld32(m + pc + 4));
      if (slot > RegOffset(15)) {
        VM_READABLE(slot, 4);
      }
      d = Ld32(m + slot);
      VM_TEST_AND_BRANCH();
    }
    VM_CASE(h_test_fp, kHTestFp) {
      next = pc + 8;
      d = fp + Ld32(m + pc + 4);
      VM_TEST_AND_BRANCH();
    }
#undef VM_TEST_AND_BRANCH

    // --- Branches and calls ----------------------------------------------------------------
    VM_CASE(h_branch_flags, kHBranchFlags) {
      // Two ways on: a conditional branch here lets the next fetch run ahead of the flags.
      if (Taken(w, flags)) {
        next = isa::TargetOf(w);
        VM_TRANSFER();
        VM_NEXT();
      }
      next = pc + 4;
      VM_NEXT();
    }
    VM_CASE(h_jump, kHJump) {
      next = isa::TargetOf(w);
      VM_TRANSFER();
      VM_NEXT();
    }
    VM_CASE(h_jump_table, kHJumpTable) {
      next = pc + 4;
      uint32_t entry = Ld32(m + RegOffset(isa::JumpTableRegOf(w))) + isa::TargetOf(w);
      VM_READABLE(entry, 4);
      next = Ld32(m + entry);
      VM_TRANSFER();
      VM_NEXT();
    }

    // Pushes write [sp - k, sp). Outside the plain part they are checked, and a push into the
    // header is followed by a sync, undoing what it did to a held field.
#define VM_PUSH_BEGIN(k)                                           \
  VM_STACK_ROOM(k);                                                \
  VM_WROTE(sp - static_cast<uint32_t>(k), k);                      \
  bool plain_push = Plain(sp - static_cast<uint32_t>(k), k, size); \
  if (!plain_push) [[unlikely]] {                                  \
    VM_CHECK_RANGE(sp - static_cast<uint32_t>(k), k);              \
  }
#define VM_PUSH_END()           \
  if (!plain_push) [[unlikely]] \
    VM_SYNC();                  \
  VM_NEXT()

    VM_CASE(h_jsr, kHJsr) {
      next = pc + 8;
      host.machine.pc_pre_jsr = pc + 4;
      VM_PUSH_BEGIN(8);
      St32(m + sp - 4, isa::ArgBytesOf(w));
      St32(m + sp - 8, pc + 8);
      sp -= 8;
      next = Ld32(m + pc + 4);
      VM_TRANSFER();
      VM_PUSH_END();
    }
    VM_CASE(h_jsr_reg, kHJsrReg) {
      next = pc + 4;
      host.machine.pc_pre_jsr = pc + 4;
      VM_PUSH_BEGIN(8);
      St32(m + sp - 4, isa::ArgBytesOf(w));
      St32(m + sp - 8, pc + 4);
      sp -= 8;
      next = Ld32(m + RegOffset(isa::JsrRegOf(w)));
      VM_TRANSFER();
      VM_PUSH_END();
    }
    VM_CASE(h_enter, kHEnter) {
      // Push FP, make room for the locals, save the n registers just below R14.
      next = pc + 4;
      uint32_t n = isa::FrameRegsOf(w);
      uint64_t room = 4 + static_cast<uint64_t>(isa::FrameLocalsOf(w)) + 8 * n;
      VM_PUSH_BEGIN(room);
      St32(m + sp - 4, fp);
      fp = sp - 4;
      sp = static_cast<uint32_t>(sp - room);
      if (n != 0) CopySlots(m + sp, m + kOffR14 - 8 * n, n, plain_push);
      VM_PUSH_END();
    }
    VM_CASE(h_return, kHReturn) {
      next = pc + 4;
      uint32_t n = isa::FrameRegsOf(w);
      if (n != 0) {
        bool plain_stack = Plain(sp, 8 * n, size);
        VM_READABLE(sp, 8 * n);
        CopySlots(m + kOffR14 - 8 * n, m + sp, n, plain_stack);
      }
      VM_READABLE(fp, 12);
      uint32_t caller_fp = Ld32(m + fp), ret = Ld32(m + fp + 4), arg_bytes = Ld32(m + fp + 8);
      sp = fp + 12 + arg_bytes;
      heap::ReleaseFrameLocks(host, sp);  // inline: decides at once when nothing is locked
      fp = caller_fp;
      next = ret;
      if (ret == 0) {
        stop.kind = StopKind::kReturned;
        goto leave;
      }
      VM_TRANSFER();
      VM_NEXT();
    }

    // --- Pushes of immediates --------------------------------------------------------------
#define VM_PUSH_VALUE(T, v)   \
  {                           \
    T value = (v);            \
    VM_PUSH_BEGIN(sizeof(T)); \
    sp -= sizeof(T);          \
    St<T>(m + sp, value);     \
    VM_PUSH_END();            \
  }
    VM_CASE(h_push16x, kHPush16X) {
      next = pc + 8;
      VM_PUSH_VALUE(uint16_t, Ld16(m + pc + 4));
    }
    VM_CASE(h_push16w, kHPush16W) {
      next = pc + 4;
      VM_PUSH_VALUE(uint16_t, static_cast<uint16_t>(isa::Imm16WordOf(w)));
    }
    VM_CASE(h_push32x, kHPush32X) {
      next = pc + 8;
      VM_PUSH_VALUE(uint32_t, Ld32(m + pc + 4));
    }
    VM_CASE(h_push32w, kHPush32W) {
      next = pc + 4;
      VM_PUSH_VALUE(uint32_t, static_cast<uint32_t>(isa::Imm22Of(w)));
    }
    VM_CASE(h_push64x, kHPush64X) {
      next = pc + 12;
      VM_PUSH_VALUE(uint64_t, Ld64(m + pc + 4));
    }
    VM_CASE(h_push64w, kHPush64W) {
      next = pc + 4;
      VM_PUSH_VALUE(uint64_t, static_cast<uint64_t>(static_cast<int64_t>(isa::Imm22Of(w))));
    }

    // --- Traps and run control -------------------------------------------------------------
    VM_CASE(h_debug_print, kHDebugPrint) {
      next = pc + 4;
      VM_SYNC();  // the string may lie in the header
      uint32_t text = Ld32(m + kOffR15);
      auto str = host.mem.CString(text);
      if (!str) [[unlikely]] {
        bad = text;
        goto bad_address;
      }
      AppendDebugLog(host, *str);
      VM_NEXT();
    }
    VM_CASE(h_sys, kHSys) {
      // The header holds this instruction's PC and the current SP, FP and FLAGS while the
      // service runs; afterwards they are written again, since a service cannot change them.
      next = pc + 4;
      VM_SYNC();
      if constexpr (kTraced) tracer->WroteAnything();
      if (auto fault = services::SysDispatch(host)) [[unlikely]] {
        bad = fault->address;
        goto bad_address;
      }
      VM_SYNC();
      VM_NEXT();
    }
    VM_CASE(h_halt, kHHalt) {
      next = pc;
      stop.kind = StopKind::kHalt;
      goto leave;
    }
    VM_CASE(h_modal, kHModal) {
      // Save R0-R15, the resume address and FP below SP, chain the context, hand control back.
      next = pc + 4;
      VM_STACK_ROOM(140);
      VM_CHECK_RANGE(sp - 140, 140);
      VM_WROTE(sp - 140, 140);
      std::memmove(m + sp - 128, m + RegOffset(0), 128);
      St32(m + sp - 132, pc + 4);
      St32(m + sp - 136, fp);
      sp -= 140;
      St32(m + sp, Ld32(m + kOffMODALCHAIN));
      St32(m + kOffMODALCHAIN, sp);
      ++host.machine.modal_depth;
      stop.kind = StopKind::kModal;
      goto leave;
    }
    VM_CASE(h_emod, kHEmod) {
      next = pc + 4;
      if (host.machine.modal_depth < 1) {
        stop.kind = StopKind::kIllegalEmod;
        goto leave;
      }
      uint32_t c = Ld32(m + kOffMODALCHAIN);
      VM_READABLE(c, 140);
      --host.machine.modal_depth;
      uint32_t chain = Ld32(m + c), saved_fp = Ld32(m + c + 4), resume = Ld32(m + c + 8);
      St32(m + kOffMODALCHAIN, chain);
      fp = saved_fp;
      next = resume;
      std::memmove(m + RegOffset(0), m + c + 12, 128);
      sp = c + 140;
      VM_TRANSFER();
      VM_NEXT();
    }
    VM_CASE(h_nop, kHNop) {
      next = pc + 4;
      VM_NEXT();
    }
    VM_CASE(h_illegal, kHIllegal) {
      next = pc + 4;
      goto illegal;
    }
  limit_check: {  // a transfer used up the countdown; `next` holds its target
    VM_SYNC();
    StopKind limit = CheckRunLimit(host);
    countdown = host.machine.limit.countdown;
    if (limit != StopKind::kReturned) {
      stop.kind = limit;
      goto stop_before_next;
    }
    VM_NEXT();
  }

#if ORVA_THREADED
  }
  {
#define VM_OPCASE(label, value) \
  label:
#else
    }  // switch on the handler
  two_op:
    switch (key) {
      default: goto illegal;
#define VM_OPCASE(label, value) case value:
#endif

  // --- Two-operand operations, by key = operation * 4 + size (+ 128 when careful) -------
  // D and S are the operands' addresses. Plain handlers (C = 0) know them to lie in the
  // plain part of the image or in the header's registers; careful handlers (C = 1) write the
  // held state into the header, check exactly what they touch, and write it again after.
#define VM_SIZES(name, op, BODY)                                                                  \
  VM_OPCASE(name##_p0, (op)*4 + 0)                                                                \
  BODY(uint8_t, 0)                                                                                \
  VM_OPCASE(name##_p1, (op)*4 + 1)                                                                \
  BODY(uint16_t, 0)                                                                               \
  VM_OPCASE(name##_p2, (op)*4 + 2) BODY(uint32_t, 0) VM_OPCASE(name##_p3, (op)*4 + 3)             \
      BODY(uint64_t, 0) VM_OPCASE(name##_c0, (op)*4 + 128) BODY(uint8_t, 1)                       \
          VM_OPCASE(name##_c1, (op)*4 + 129) BODY(uint16_t, 1) VM_OPCASE(name##_c2, (op)*4 + 130) \
              BODY(uint32_t, 1) VM_OPCASE(name##_c3, (op)*4 + 131) BODY(uint64_t, 1)
#define VM_BEFORE(C, na, nb) \
  if constexpr (C) {         \
    VM_SYNC();               \
    VM_CHECK2(d, na, s, nb); \
  }
#define VM_AFTER(C)           \
  if constexpr (C) VM_SYNC(); \
  VM_NEXT()

  // D = EXPR(a, b), with FLAGS from the result when FL is true.
#define VM_ARITH(T, C, EXPR, FL)               \
  {                                            \
    VM_BEFORE(C, sizeof(T), sizeof(T));        \
    T a = Ld<T>(m + d), b = Ld<T>(m + s);      \
    T r = static_cast<T>(EXPR);                \
    St<T>(m + d, r);                           \
    if constexpr (FL) flags = ops::FlagsOf(r); \
    VM_AFTER(C);                               \
  }
  // FLAGS of EXPR(a, b); D is not written.
#define VM_FLAGS_ONLY(T, C, EXPR)               \
  {                                             \
    VM_BEFORE(C, sizeof(T), sizeof(T));         \
    T a = Ld<T>(m + d), b = Ld<T>(m + s);       \
    flags = ops::FlagsOf(static_cast<T>(EXPR)); \
    VM_NEXT();                                  \
  }
  // D = EXPR(a, b) where b may not be zero.
#define VM_DIVIDE(T, C, EXPR)             \
  {                                       \
    VM_BEFORE(C, sizeof(T), sizeof(T));   \
    T a = Ld<T>(m + d), b = Ld<T>(m + s); \
    if (b == 0) [[unlikely]]              \
      goto divide_by_zero;                \
    St<T>(m + d, static_cast<T>(EXPR));   \
    VM_AFTER(C);                          \
  }
  // D shifted by the first byte of S; flags.
#define VM_SHIFT(T, C, FN)             \
  {                                    \
    VM_BEFORE(C, sizeof(T), 1);        \
    T r = ops::FN(Ld<T>(m + d), m[s]); \
    St<T>(m + d, r);                   \
    flags = ops::FlagsOf(r);           \
    VM_AFTER(C);                       \
  }

#define VM_DIVS(T, C) VM_DIVIDE(T, C, ops::DivSigned(a, b))
#define VM_REMS(T, C) VM_DIVIDE(T, C, ops::RemSigned(a, b))
#define VM_DIVU(T, C) VM_DIVIDE(T, C, a / b)
#define VM_REMU(T, C) VM_DIVIDE(T, C, a % b)
#define VM_ASR(T, C) VM_SHIFT(T, C, ShiftRightArith)
#define VM_LSR(T, C) VM_SHIFT(T, C, ShiftRightLogical)
#define VM_LSL(T, C) VM_SHIFT(T, C, ShiftLeft)
#define VM_ADD(T, C) VM_ARITH(T, C, a + b, false)
#define VM_SUB(T, C) VM_ARITH(T, C, a - b, true)
#define VM_CMP(T, C) VM_FLAGS_ONLY(T, C, a - b)
#define VM_MUL(T, C) VM_ARITH(T, C, Mul(a, b), false)
#define VM_TEST(T, C) VM_FLAGS_ONLY(T, C, a& b)
#define VM_AND(T, C) VM_ARITH(T, C, a& b, true)
#define VM_OR(T, C) VM_ARITH(T, C, a | b, false)
#define VM_XOR(T, C) VM_ARITH(T, C, a ^ b, true)
#define VM_MOV(T, C)                    \
  {                                     \
    VM_BEFORE(C, sizeof(T), sizeof(T)); \
    St<T>(m + d, Ld<T>(m + s));         \
    VM_AFTER(C);                        \
  }
#define VM_MOVZ(T, C)                  \
  {                                    \
    VM_BEFORE(C, 8, sizeof(T));        \
    St<uint64_t>(m + d, Ld<T>(m + s)); \
    VM_AFTER(C);                       \
  }

      VM_SIZES(divs, 0, VM_DIVS) VM_SIZES(rems, 1, VM_REMS) VM_SIZES(asr, 2, VM_ASR) VM_SIZES(
          divu, 3, VM_DIVU) VM_SIZES(remu, 4, VM_REMU) VM_SIZES(lsr, 5, VM_LSR)
          VM_SIZES(add, 6, VM_ADD) VM_SIZES(sub, 7, VM_SUB) VM_SIZES(cmp, 8, VM_CMP) VM_SIZES(
              mul, 9, VM_MUL) VM_SIZES(test, 10, VM_TEST) VM_SIZES(lsl, 11, VM_LSL)
              VM_SIZES(and, 12, VM_AND) VM_SIZES(or, 13, VM_OR) VM_SIZES(xor, 14, VM_XOR)
                  VM_SIZES(mov, 15, VM_MOV) VM_SIZES(movz, 16, VM_MOVZ)

  // Floating operations: sizes 2 (FLOAT) and 3 (DOUBLE); BYTE and WORD alert and do nothing.
#define VM_FLOAT_SIZES(name, op, BODY)                                                           \
  VM_OPCASE(name##_p0, (op)*4 + 0)                                                               \
  VM_OPCASE(name##_p1, (op)*4 + 1)                                                               \
  VM_OPCASE(name##_c0, (op)*4 + 128)                                                             \
  VM_OPCASE(name##_c1, (op)*4 + 129) {                                                           \
    VM_SYNC();                                                                                   \
    AlertFloatSize(host, pc);                                                                    \
    VM_NEXT();                                                                                   \
  }                                                                                              \
  VM_OPCASE(name##_p2, (op)*4 + 2)                                                               \
  BODY(float, uint32_t, 0)                                                                       \
  VM_OPCASE(name##_p3, (op)*4 + 3)                                                               \
  BODY(double, uint64_t, 0)                                                                      \
  VM_OPCASE(name##_c2, (op)*4 + 130) BODY(float, uint32_t, 1) VM_OPCASE(name##_c3, (op)*4 + 131) \
      BODY(double, uint64_t, 1)
#define VM_FLOAT_ARITH(F, U, C, EXPR, FL)                                     \
  {                                                                           \
    VM_BEFORE(C, sizeof(F), sizeof(F));                                       \
    F a = std::bit_cast<F>(Ld<U>(m + d)), b = std::bit_cast<F>(Ld<U>(m + s)); \
    F r = EXPR;                                                               \
    St<U>(m + d, std::bit_cast<U>(r));                                        \
    if constexpr (FL) flags = ops::FloatFlagsOf(r);                           \
    VM_AFTER(C);                                                              \
  }
#define VM_FADD(F, U, C) VM_FLOAT_ARITH(F, U, C, a + b, false)
#define VM_FSUB(F, U, C) VM_FLOAT_ARITH(F, U, C, a - b, true)
#define VM_FMUL(F, U, C) VM_FLOAT_ARITH(F, U, C, a* b, false)
#define VM_FDIV(F, U, C) VM_FLOAT_ARITH(F, U, C, a / b, false)
#define VM_FCMP(F, U, C)                                                      \
  {                                                                           \
    VM_BEFORE(C, sizeof(F), sizeof(F));                                       \
    F a = std::bit_cast<F>(Ld<U>(m + d)), b = std::bit_cast<F>(Ld<U>(m + s)); \
    flags = ops::FloatFlagsOf(static_cast<F>(a - b));                         \
    VM_NEXT();                                                                \
  }
                      VM_FLOAT_SIZES(fadd, 17, VM_FADD) VM_FLOAT_SIZES(fsub, 18, VM_FSUB)
                          VM_FLOAT_SIZES(fmul, 19, VM_FMUL) VM_FLOAT_SIZES(fdiv, 20, VM_FDIV)
                              VM_FLOAT_SIZES(fcmp, 21, VM_FCMP)

  // Operations on the source's address rather than its value. lea touches only D. The block
  // operations reach lengths known only at run time: they always check their ranges, with
  // the held state written into the header before and after, as careful handlers do.
#define VM_LEA(T, C)   \
  {                    \
    if constexpr (C) { \
      VM_SYNC();       \
      VM_CHECK(d, 4);  \
    }                  \
    St32(m + d, s);    \
    VM_AFTER(C);       \
  }
  // MCOUNT elements of the size, copied as through a temporary buffer.
#define VM_BMOV(T, C)                                                         \
  {                                                                           \
    VM_SYNC();                                                                \
    uint64_t bytes = static_cast<uint64_t>(Ld32(m + kOffMCOUNT)) * sizeof(T); \
    VM_CHECK_RANGE(d, bytes);                                                 \
    VM_CHECK_RANGE(s, bytes);                                                 \
    VM_WROTE(d, bytes);                                                       \
    std::memmove(m + d, m + s, bytes);                                        \
    VM_SYNC();                                                                \
    VM_NEXT();                                                                \
  }
  // The length is the byte at D for BYTE, the 16-bit value at D otherwise.
#define VM_BLOCK_LENGTH(T, n)     \
  VM_SYNC();                      \
  uint32_t n;                     \
  if constexpr (sizeof(T) == 1) { \
    VM_CHECK(d, 1);               \
    n = m[d];                     \
  } else {                        \
    VM_CHECK(d, 2);               \
    n = Ld16(m + d);              \
  }
  // Push n bytes from S; the new SP must stay 100 bytes above STKLIM.
#define VM_BPUSH(T, C)                                                                   \
  {                                                                                      \
    VM_BLOCK_LENGTH(T, n);                                                               \
    if (static_cast<int64_t>(sp) - n < static_cast<int64_t>(Ld32(m + kOffSTKLIM)) + 100) \
      goto stack_overflow;                                                               \
    VM_CHECK_RANGE(s, n);                                                                \
    VM_CHECK_RANGE(sp - n, n);                                                           \
    VM_WROTE(sp - n, n);                                                                 \
    std::memmove(m + sp - n, m + s, n);                                                  \
    sp -= n;                                                                             \
    VM_SYNC();                                                                           \
    VM_NEXT();                                                                           \
  }
  // Copy n bytes from the stack top to S; they must all lie below STKTOP.
#define VM_BPEEK(T, C)                                                               \
  {                                                                                  \
    VM_BLOCK_LENGTH(T, n);                                                           \
    if (static_cast<uint64_t>(Ld32(m + kOffSTKTOP)) < static_cast<uint64_t>(sp) + n) \
      goto stack_overflow;                                                           \
    VM_CHECK_RANGE(sp, n);                                                           \
    VM_CHECK_RANGE(s, n);                                                            \
    VM_WROTE(s, n);                                                                  \
    std::memmove(m + s, m + sp, n);                                                  \
    VM_SYNC();                                                                       \
    VM_NEXT();                                                                       \
  }
                                  VM_SIZES(lea, 22, VM_LEA) VM_SIZES(bmov, 23, VM_BMOV)
                                      VM_SIZES(bpush, 30, VM_BPUSH) VM_SIZES(bpeek, 31, VM_BPEEK)

#if ORVA_THREADED
  } {
#define VM_UCASE(label, value) \
  label:
#else
    }  // switch on the operation
  unary:
    switch (key) {
      default: goto illegal;
#define VM_UCASE(label, value) case value:
#endif

  // --- Unary operations on X (address in d), by key = unary code (+ 128 when careful) ----
#define VM_USIZES(name, base, BODY)                                                             \
  VM_UCASE(name##_p0, (base) + 0)                                                               \
  BODY(uint8_t, 0)                                                                              \
  VM_UCASE(name##_p1, (base) + 1)                                                               \
  BODY(uint16_t, 0)                                                                             \
  VM_UCASE(name##_p2, (base) + 2) BODY(uint32_t, 0) VM_UCASE(name##_p3, (base) + 3)             \
      BODY(uint64_t, 0) VM_UCASE(name##_c0, (base) + 128) BODY(uint8_t, 1)                      \
          VM_UCASE(name##_c1, (base) + 129) BODY(uint16_t, 1) VM_UCASE(name##_c2, (base) + 130) \
              BODY(uint32_t, 1) VM_UCASE(name##_c3, (base) + 131) BODY(uint64_t, 1)
  // One code, both variants.
#define VM_UBOTH(name, v, code, BODY) \
  VM_UCASE(name##_p##v, (code)) BODY(0) VM_UCASE(name##_c##v, (code) + 128) BODY(1)
#define VM_UBEFORE(C, n) \
  if constexpr (C) {     \
    VM_SYNC();           \
    VM_CHECK(d, n);      \
  }

#define VM_FSIZE(C)           \
  {                           \
    VM_SYNC();                \
    AlertFloatSize(host, pc); \
    VM_NEXT();                \
  }
#define VM_FNEG_F(C)                        \
  {                                         \
    VM_UBEFORE(C, 4);                       \
    St32(m + d, Ld32(m + d) ^ 0x80000000u); \
    VM_AFTER(C);                            \
  }
#define VM_FNEG_D(C)                                \
  {                                                 \
    VM_UBEFORE(C, 8);                               \
    St64(m + d, Ld64(m + d) ^ (uint64_t{1} << 63)); \
    VM_AFTER(C);                                    \
  }
#define VM_NEG(T, C)                                   \
  {                                                    \
    VM_UBEFORE(C, sizeof(T));                          \
    St<T>(m + d, static_cast<T>(T{0} - Ld<T>(m + d))); \
    VM_AFTER(C);                                       \
  }
#define VM_NOT(T, C)                     \
  {                                      \
    VM_UBEFORE(C, sizeof(T));            \
    T r = static_cast<T>(~Ld<T>(m + d)); \
    St<T>(m + d, r);                     \
    flags = ops::FlagsOf(r);             \
    VM_AFTER(C);                         \
  }
#define VM_TST(T, C)                    \
  {                                     \
    VM_UBEFORE(C, sizeof(T));           \
    flags = ops::FlagsOf(Ld<T>(m + d)); \
    VM_NEXT();                          \
  }
  // A BYTE is pushed and popped as 16 bits, so the stack stays even.
#define VM_PUSH(T, C)                                             \
  {                                                               \
    VM_UBEFORE(C, sizeof(T));                                     \
    using Slot = std::conditional_t<sizeof(T) == 1, uint16_t, T>; \
    VM_PUSH_VALUE(Slot, Ld<T>(m + d));                            \
  }
#define VM_POP(T, C)                                              \
  {                                                               \
    using Slot = std::conditional_t<sizeof(T) == 1, uint16_t, T>; \
    VM_READABLE(sp, sizeof(T));                                   \
    T value = Ld<T>(m + sp);                                      \
    VM_UBEFORE(C, sizeof(T));                                     \
    St<T>(m + d, value);                                          \
    sp += sizeof(Slot);                                           \
    VM_AFTER(C);                                                  \
  }
#define VM_PUSHA(T, C) VM_PUSH_VALUE(uint32_t, d)
#define VM_ZEXT(T, C)                  \
  {                                    \
    VM_UBEFORE(C, 8);                  \
    St<uint64_t>(m + d, Ld<T>(m + d)); \
    VM_AFTER(C);                       \
  }
#define VM_SEXT(T, C)                                   \
  {                                                     \
    VM_UBEFORE(C, 8);                                   \
    St<uint64_t>(m + d, ops::SignExtend(Ld<T>(m + d))); \
    VM_AFTER(C);                                        \
  }
#define VM_UNOP(C) VM_NEXT();
  // Integer to floating: the 8 bytes at X receive the result (a FLOAT in the first 4).
#define VM_TO_FLOAT(T, C, F, U, FROM)                      \
  {                                                        \
    VM_UBEFORE(C, 8);                                      \
    F r = static_cast<F>(static_cast<FROM>(Ld<T>(m + d))); \
    St<uint64_t>(m + d, std::bit_cast<U>(r));              \
    VM_AFTER(C);                                           \
  }
#define VM_CVTUF(T, C) VM_TO_FLOAT(T, C, float, uint32_t, T)
#define VM_CVTSF(T, C) VM_TO_FLOAT(T, C, float, uint32_t, ops::Signed<T>)
#define VM_CVTUD(T, C) VM_TO_FLOAT(T, C, double, uint64_t, T)
#define VM_CVTSD(T, C) VM_TO_FLOAT(T, C, double, uint64_t, ops::Signed<T>)
  // Floating to integer and between the floating sizes; the size bits are ignored.
#define VM_CVTFI(T, C)                                                 \
  {                                                                    \
    VM_UBEFORE(C, 8);                                                  \
    St64(m + d, ops::FloatToInt64(std::bit_cast<float>(Ld32(m + d)))); \
    VM_AFTER(C);                                                       \
  }
#define VM_CVTDI(T, C)                                                  \
  {                                                                     \
    VM_UBEFORE(C, 8);                                                   \
    St64(m + d, ops::FloatToInt64(std::bit_cast<double>(Ld64(m + d)))); \
    VM_AFTER(C);                                                        \
  }
#define VM_CVTFD(T, C)                            \
  {                                               \
    VM_UBEFORE(C, 8);                             \
    double r = std::bit_cast<float>(Ld32(m + d)); \
    St64(m + d, std::bit_cast<uint64_t>(r));      \
    VM_AFTER(C);                                  \
  }
#define VM_CVTDF(T, C)                                                               \
  {                                                                                  \
    VM_UBEFORE(C, 8);                                                                \
    St32(m + d, ops::DoubleThroughFloatToInt32(std::bit_cast<double>(Ld64(m + d)))); \
    VM_AFTER(C);                                                                     \
  }
#define VM_ZEXT_B(C) VM_ZEXT(uint8_t, C)
#define VM_ZEXT_W(C) VM_ZEXT(uint16_t, C)
#define VM_ZEXT_L(C) VM_ZEXT(uint32_t, C)
#define VM_SEXT_B(C) VM_SEXT(uint8_t, C)
#define VM_SEXT_W(C) VM_SEXT(uint16_t, C)
#define VM_SEXT_L(C) VM_SEXT(uint32_t, C)

      VM_UBOTH(u_fsize, 0, 0, VM_FSIZE) VM_UBOTH(u_fsize, 1, 1, VM_FSIZE) VM_UBOTH(
          u_fneg, 2, 2, VM_FNEG_F) VM_UBOTH(u_fneg, 3, 3, VM_FNEG_D) VM_USIZES(u_neg, 4, VM_NEG)
          VM_USIZES(u_not, 8, VM_NOT) VM_USIZES(u_tst, 12, VM_TST) VM_USIZES(u_push, 16, VM_PUSH)
              VM_USIZES(u_pop, 20, VM_POP) VM_USIZES(u_pusha, 24, VM_PUSHA) VM_UBOTH(
                  u_zext, 0, 32, VM_ZEXT_B) VM_UBOTH(u_zext, 1, 33, VM_ZEXT_W)
                  VM_UBOTH(u_zext, 2, 34, VM_ZEXT_L) VM_UBOTH(u_nop, 3, 35, VM_UNOP) VM_UBOTH(
                      u_sext, 0, 36, VM_SEXT_B) VM_UBOTH(u_sext, 1, 37, VM_SEXT_W)
                      VM_UBOTH(u_sext, 2, 38, VM_SEXT_L) VM_UBOTH(u_nop, 7, 39, VM_UNOP) VM_USIZES(
                          u_cvtuf, 40, VM_CVTUF) VM_USIZES(u_cvtsf, 44, VM_CVTSF)
                          VM_USIZES(u_cvtud, 48, VM_CVTUD) VM_USIZES(u_cvtsd, 52, VM_CVTSD)
                              VM_USIZES(u_cvtfi, 56, VM_CVTFI) VM_USIZES(u_cvtdi, 60, VM_CVTDI)
                                  VM_USIZES(u_cvtfd, 64, VM_CVTFD) VM_USIZES(u_cvtdf, 68, VM_CVTDF)

#if ORVA_THREADED
  }
#else
    }  // switch on the unary code
  }    // for
#endif

  // --- Ways out ----------------------------------------------------------------------------
  // `next` holds the PC the header is left with: past the instruction for faults.
  illegal_op :  // the two-operand operations 24-29 and the illegal unary codes
                __attribute__((unused));
illegal:
  stop.kind = StopKind::kIllegalOpcode;
  goto leave;
stack_overflow:
  stop.kind = StopKind::kStackOverflow;
  goto leave;
divide_by_zero:
  stop.kind = StopKind::kDivideByZero;
  goto leave;
limit_reached:  // only the instrumented loop stops here
  __attribute__((unused));
  next = pc;
  stop.kind = tracer->stepping() ? StopKind::kStepped : StopKind::kLimit;
  goto leave;
stop_before_next:  // a run limit: the machine stands at the transfer's target, not yet run
  pc = next;
  goto leave;
fetch_fault:
  next = pc;
bad_address:
  stop.kind = StopKind::kBadAddress;
  stop.address = bad;
leave:
  stop.pc = pc;
  pc = next;
  VM_SYNC();
  host.machine.limit.countdown = countdown;
  if constexpr (kTraced) tracer->Finish(host.mem);
  return stop;
}
// clang-format on

}  // namespace

Stop Interpret(Host& host) {
  const Memory& mem = host.mem;
  if (!mem.loaded() || mem.size < kHeaderSize) return {StopKind::kBadAddress, 0, 0};
  Machine& vm = host.machine;
  if (Tracer* tracer = vm.tracer.get()) return Loop<true>(host, tracer);
  if (!vm.predecoded) return Loop<false>(host, nullptr);
  if (!vm.decoded || vm.decoded->base != mem.base || vm.decoded->size != mem.size)
    vm.decoded = std::make_shared<fast::DecodeCache>(mem.base, mem.size);
  return fast::FastLoop(host, *vm.decoded);
}

Stop InterpretReference(Host& host) {
  const Memory& mem = host.mem;
  if (!mem.loaded() || mem.size < kHeaderSize) return {StopKind::kBadAddress, 0, 0};
  if (Tracer* tracer = host.machine.tracer.get()) return Loop<true>(host, tracer);
  return Loop<false>(host, nullptr);
}

Stop StepOne(Host& host, fast::DecodeCache& dc) {
  Tracer& stepper = dc.stepper;
  stepper.BeginStep();
  Stop stop = Loop<true>(host, &stepper);
  if (stepper.wrote_anything()) {
    ++dc.epoch;
  } else if (stepper.wrote_hi() > stepper.wrote_lo()) {
    dc.CodeWritten(stepper.wrote_lo(), stepper.wrote_hi());
  }
  return stop;
}

Stop RunMachine(Host& host) {
  Stop stop = Interpret(host);
  if (stop.kind == StopKind::kTimeLimit) EndOnTimeLimit(host, &stop.pc);
  ReportStop(host, stop);
  return stop;
}

}  // namespace orva::vm
