// The pre-decoded loop: runs the entries of the decode cache (vm/decode_cache.h).
//
// Each entry names its handler and carries its operands resolved ahead, so a handler does
// nothing but the work and ends with one indirect jump to the next entry's handler (computed
// goto; a switch with ORVA_FORCE_SWITCH, as in the reference loop). The handlers are generated
// from the lists of vm/handlers.h: one per operand kind pair, operation and size for the
// frequent integer operations, fused with the branch on flags that follows for cmp, sub, test and
// and.
//
// Whatever a handler does not do plainly it hands to the reference loop (vm/interpreter.cpp),
// which then runs that one instruction from the header: operands outside the plain part of the
// image, stack limits, division by zero, traps and run control. A handler bails before it has
// changed anything but IMMSLOT (which the reference loop writes again, with the same value), so
// the reference loop sees the instruction as if nothing had happened. Faults, alerts and stop
// records are therefore the reference loop's own.
//
// Held state is as in the reference loop: PC, SP, FP and FLAGS live in locals and are written
// into the header before the reference loop, a service or the host looks.
#include "vm/fast_loop.h"

#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "core/host.h"
#include "heap/heap.h"
#include "services/dispatch.h"
#include "vm/decode.h"
#include "vm/interpreter.h"
#include "vm/operations.h"
#include "vm/run_limit.h"

#if defined(__GNUC__) && !defined(ORVA_FORCE_SWITCH)
#define ORVA_THREADED 1
#else
#define ORVA_THREADED 0
#endif

namespace orva::vm::fast {

namespace {

template <uint32_t Z>
using SizeType = std::conditional_t<
    Z == 0, uint8_t,
    std::conditional_t<Z == 1, uint16_t, std::conditional_t<Z == 2, uint32_t, uint64_t>>>;

enum Status : uint8_t { kOk, kReset, kBail };

// FLAGS, held lazily: the last flag-setting result, sign-extended to 64 bits. FLAGS is its
// lowest bit, whether it is zero, and its sign (bits 0, 1 and 2), whatever the size, so setting
// flags costs a move and only their readers (branches, the header) compute the byte.
using LazyFlags = int64_t;
template <class T>
ORVA_ALWAYS_INLINE LazyFlags Lazy(T r) {
  return static_cast<int64_t>(static_cast<ops::Signed<T>>(r));
}
ORVA_ALWAYS_INLINE uint8_t Materialize(LazyFlags f) {
  return ops::FlagsOf(static_cast<uint64_t>(f));
}
// The FLAGS bytes flag-setting operations leave (0, 1, 2, 4, 5) as lazy values; other bytes
// (only a header can hold them) have none, and the reference loop runs until one is set.
inline constexpr int64_t kLazyOf[8] = {2, 1, 0, 0, -2, -1, 0, 0};
constexpr bool Holdable(uint8_t flags) { return flags < 8 && flags != 3 && flags < 6; }
static_assert(Holdable(0) && Holdable(1) && Holdable(2) && Holdable(4) && Holdable(5) &&
              !Holdable(3) && !Holdable(6) && !Holdable(7) && !Holdable(8));
constexpr bool LazyRoundTrips() {
  for (uint8_t f = 0; f < 8; ++f)
    if (Holdable(f) && ops::FlagsOf(static_cast<uint64_t>(kLazyOf[f])) != f) return false;
  return true;
}
static_assert(LazyRoundTrips());

// What the out-of-line handlers give back: their status and the new FLAGS. Returned by value:
// a local the loop passed by reference would have to live in memory for the whole loop.
struct Outcome {
  Status status;
  uint8_t flags;
};

// The context every handler works in. Members are the loop's locals, by reference, so that they
// stay in registers once the handlers are inlined into the loop.
struct Ctx {
  uint8_t* const m;
  const uint32_t plain_limit;  // size - kPlainStart - kWidest: [a, a + 8) is plain when
                               // a - kPlainStart <= plain_limit
  DecodeCache& dc;

  bool Plain(uint32_t a) const { return a - kPlainStart <= plain_limit; }
  // Whether [a, a + n) is plain, for n up to the size of the image.
  bool PlainRange(uint32_t a, uint64_t n) const {
    return n <= plain_limit + kWidest && a - kPlainStart <= plain_limit + kWidest - n;
  }
  // The same for a constant n that every image has room for: its plain part is at least
  // kHeaderSize - kPlainStart bytes long.
  template <uint32_t n>
  bool PlainN(uint32_t a) const {
    static_assert(n <= kHeaderSize - kPlainStart);
    return a - kPlainStart <= plain_limit + kWidest - n;
  }
  // After a store of up to 8 bytes at a: kReset when it changed decoded code.
  Status Stored(uint32_t a) const {
    if (a - dc.watch_lo < dc.watch_span) [[unlikely]]
      return dc.CodeWritten(a, uint64_t{a} + kWidest) ? kReset : kOk;
    return kOk;
  }
  Status StoredRange(uint32_t a, uint64_t n) const {
    if (a < uint64_t{dc.watch_lo} + dc.watch_span && a + n > dc.watch_lo) [[unlikely]]
      return dc.CodeWritten(a, a + n) ? kReset : kOk;
    return kOk;
  }
};

// The address of a memory operand, or the slot of a register.
template <DKind K>
ORVA_ALWAYS_INLINE uint32_t Address(const Ctx& c, uint32_t fp, uint32_t value, uint8_t reg) {
  if constexpr (K == DKind::kReg || K == DKind::kAbs) {
    return value;  // a register slot, or an address checked when decoded
  } else if constexpr (K == DKind::kFp) {
    return fp + value;
  } else {
    return Ld32(c.m + reg) + value;
  }
}
// Whether an operand's address is known only at run time, so that it may not be plain.
constexpr bool Strays(DKind k) { return k == DKind::kFp || k == DKind::kInd; }
constexpr DKind AsDKind(SKind k) {
  return k == SKind::kFp ? DKind::kFp : k == SKind::kInd ? DKind::kInd : DKind::kAbs;
}

// The result of fast operation `kOp` (an index of kFastOps) on a and b.
template <uint32_t kOp, class T>
ORVA_ALWAYS_INLINE T Compute(T a, T b) {
  constexpr std::string_view name = kFastOps[kOp];
  if constexpr (name == "add")
    return static_cast<T>(a + b);
  else if constexpr (name == "sub" || name == "cmp")
    return static_cast<T>(a - b);
  else if constexpr (name == "and" || name == "test")
    return static_cast<T>(a & b);
  else if constexpr (name == "or")
    return static_cast<T>(a | b);
  else if constexpr (name == "xor")
    return static_cast<T>(a ^ b);
  else if constexpr (name == "mov" || name == "movz")
    return b;
  else if constexpr (name == "lsl")
    return ops::ShiftLeft(a, static_cast<uint8_t>(b));
  else if constexpr (name == "lsr")
    return ops::ShiftRightLogical(a, static_cast<uint8_t>(b));
  else if constexpr (name == "asr")
    return ops::ShiftRightArith(a, static_cast<uint8_t>(b));
  else {
    static_assert(name == "mul", "every fast operation has its computation");
    return Mul(a, b);
  }
}

// A two-operand instruction with a fast operation. What it writes and whether it sets flags
// come from isa.h's table of operations.
template <DKind DK, SKind SK, uint32_t kOp, class T>
ORVA_ALWAYS_INLINE Status TwoOp(const Ctx& c, const Entry* e, uint32_t fp, LazyFlags& flags) {
  constexpr isa::OperationInfo info = isa::kOperations[OperationNumber(kFastOps[kOp])];
  constexpr bool kMovz = kFastOps[kOp] == "movz";
  constexpr bool kShift =
      kFastOps[kOp] == "lsl" || kFastOps[kOp] == "lsr" || kFastOps[kOp] == "asr";
  uint8_t* const m = c.m;
  const uint32_t d = Address<DK>(c, fp, e->a, e->dreg);
  if constexpr (Strays(DK)) {
    if (!c.Plain(d)) return kBail;
  }
  T b;
  if constexpr (SK == SKind::kImm) {
    // The immediate is parked in IMMSLOT first, as the machine does; D may lie there.
    if constexpr (sizeof(T) == 8) {
      St64(m + kOffIMMSLOT, e->imm);
      b = static_cast<T>(e->imm);
    } else {
      St32(m + kOffIMMSLOT, e->b);
      b = static_cast<T>(e->b);
    }
  } else {
    const uint32_t s = Address<AsDKind(SK)>(c, fp, e->b, e->sreg);
    if constexpr (Strays(AsDKind(SK))) {
      if (!c.Plain(s)) return kBail;
    }
    // A shift count is the first byte of S, whatever the size.
    if constexpr (kShift) {
      b = m[s];
    } else {
      b = Ld<T>(m + s);
    }
  }
  const T a = Ld<T>(m + d);
  const T r = Compute<kOp, T>(a, b);
  if constexpr (info.sets_flags) flags = Lazy(r);
  if constexpr (info.writes_dst) {
    if constexpr (kMovz) {
      St<uint64_t>(m + d, r);
    } else {
      St<T>(m + d, r);
    }
    if constexpr (DK != DKind::kReg) return c.Stored(d);
  }
  return kOk;
}

// Room for k more bytes on the stack below sp, plainly: the limit and the range.
ORVA_ALWAYS_INLINE bool PushRoom(const Ctx& c, uint32_t sp, uint64_t k) {
  return static_cast<int64_t>(sp) - static_cast<int64_t>(k) >=
             static_cast<int64_t>(Ld32(c.m + kOffSTKLIM)) &&
         c.PlainRange(static_cast<uint32_t>(sp - k), k);
}
template <uint32_t k>
ORVA_ALWAYS_INLINE bool PushRoomN(const Ctx& c, uint32_t sp) {
  return static_cast<int64_t>(sp) - k >= static_cast<int64_t>(Ld32(c.m + kOffSTKLIM)) &&
         c.PlainN<k>(sp - k);
}

// A unary instruction with a fast operation on X at d.
template <DKind K, uint32_t kOp, class T>
ORVA_ALWAYS_INLINE Status UnaryOp(const Ctx& c, const Entry* e, uint32_t fp, uint32_t& sp,
                                  LazyFlags& flags) {
  constexpr std::string_view name = kFastUnary[kOp];
  uint8_t* const m = c.m;
  const uint32_t d = Address<K>(c, fp, e->a, e->dreg);
  if constexpr (name == "pusha") {  // uses X's address only
    if (!PushRoomN<4>(c, sp)) return kBail;
    sp -= 4;
    St32(m + sp, d);
    return c.Stored(sp);
  } else {
    if constexpr (Strays(K)) {
      if (!c.Plain(d)) return kBail;
    }
    // A BYTE is pushed and popped as 16 bits, so the stack stays even.
    using Slot = std::conditional_t<sizeof(T) == 1, uint16_t, T>;
    if constexpr (name == "push") {
      if (!PushRoomN<sizeof(Slot)>(c, sp)) return kBail;
      Slot v = Ld<T>(m + d);
      sp -= sizeof(Slot);
      St<Slot>(m + sp, v);
      return c.Stored(sp);
    } else if constexpr (name == "pop") {
      if (!c.PlainN<sizeof(T)>(sp)) return kBail;
      St<T>(m + d, Ld<T>(m + sp));
      sp += sizeof(Slot);
    } else if constexpr (name == "tst") {
      flags = Lazy(Ld<T>(m + d));
      return kOk;
    } else if constexpr (name == "neg") {
      St<T>(m + d, static_cast<T>(T{0} - Ld<T>(m + d)));
    } else if constexpr (name == "not") {
      T r = static_cast<T>(~Ld<T>(m + d));
      St<T>(m + d, r);
      flags = Lazy(r);
    } else if constexpr (name == "zext") {
      St<uint64_t>(m + d, Ld<T>(m + d));
    } else {
      static_assert(name == "sext", "every fast unary operation has its handler");
      St<uint64_t>(m + d, ops::SignExtend(Ld<T>(m + d)));
    }
    if constexpr (K != DKind::kReg) return c.Stored(d);
    return kOk;
  }
}

// A fast operation between two plain addresses, for the kind pairs without handlers of their
// own: what TwoOp does, with the operands resolved.
template <uint32_t kOp, class T>
Outcome FastAt(const Ctx& c, uint32_t d, uint32_t s, uint8_t flags) {
  constexpr isa::OperationInfo info = isa::kOperations[OperationNumber(kFastOps[kOp])];
  constexpr bool kShift =
      kFastOps[kOp] == "lsl" || kFastOps[kOp] == "lsr" || kFastOps[kOp] == "asr";
  const T b = kShift ? static_cast<T>(c.m[s]) : Ld<T>(c.m + s);
  const T r = Compute<kOp, T>(Ld<T>(c.m + d), b);
  if constexpr (info.sets_flags) flags = Materialize(Lazy(r));
  if constexpr (info.writes_dst) {
    if constexpr (kFastOps[kOp] == "movz") {
      St<uint64_t>(c.m + d, r);
    } else {
      St<T>(c.m + d, r);
    }
    return {c.Stored(d), flags};
  }
  return {kOk, flags};
}
using FastAtFn = Outcome (*)(const Ctx&, uint32_t, uint32_t, uint8_t);
template <size_t... I>
constexpr std::array<FastAtFn, sizeof...(I)> FastAtTable(std::index_sequence<I...>) {
  return {&FastAt<I / 4, SizeType<I % 4>>...};
}
// By fast operation * 4 + size.
constexpr auto kFastAt = FastAtTable(std::make_index_sequence<kFastOpCount * 4>{});
// The fast operation of each operation number, or -1.
constexpr auto kFastOfOperation = [] {
  std::array<int8_t, 32> t{};
  for (uint32_t op = 0; op < 32; ++op) t[op] = static_cast<int8_t>(FastOpIndex(op));
  return t;
}();

// The operations without a handler of their own, on resolved addresses: the fast operations
// between two operands in memory, division, floating point, lea and bmov. Kept out of line; the
// reference loop's rules, case by case.
[[gnu::noinline]] Outcome GenericTwoOp(const Ctx c, uint32_t d, uint32_t s, uint32_t code,
                                       uint8_t flags) {
  uint8_t* const m = c.m;
  const uint32_t op = code / 4, size = code & 3;
  if (const int fast = kFastOfOperation[op]; fast >= 0)
    return kFastAt[static_cast<uint32_t>(fast) * 4 + size](c, d, s, flags);
  auto divide = [&]<class T>(T) -> Outcome {
    T a = Ld<T>(m + d), b = Ld<T>(m + s);
    if (b == 0) return {kBail, flags};  // the reference loop stops the program
    T r;
    switch (op) {
      case 0: r = ops::DivSigned(a, b); break;
      case 1: r = ops::RemSigned(a, b); break;
      case 3: r = static_cast<T>(a / b); break;
      default: r = static_cast<T>(a % b); break;
    }
    St<T>(m + d, r);
    return {c.Stored(d), flags};
  };
  auto floating = [&]<class F, class U>(F, U) -> Outcome {
    F a = std::bit_cast<F>(Ld<U>(m + d)), b = std::bit_cast<F>(Ld<U>(m + s));
    F r;
    switch (op) {
      case 17: r = a + b; break;
      case 18: r = a - b; break;
      case 19: r = a * b; break;
      case 20: r = a / b; break;
      default: return {kOk, ops::FloatFlagsOf(static_cast<F>(a - b))};
    }
    St<U>(m + d, std::bit_cast<U>(r));
    if (op == 18) flags = ops::FloatFlagsOf(r);
    return {c.Stored(d), flags};
  };
  switch (op) {
    case 0:
    case 1:
    case 3:
    case 4:
      switch (size) {
        case 0: return divide(uint8_t{});
        case 1: return divide(uint16_t{});
        case 2: return divide(uint32_t{});
        default: return divide(uint64_t{});
      }
    case 22:  // lea: the first 4 bytes of D = the address of S
      St32(m + d, s);
      return {c.Stored(d), flags};
    case 23: {  // bmov: MCOUNT elements, copied as through a temporary buffer
      uint64_t bytes = static_cast<uint64_t>(Ld32(m + kOffMCOUNT)) << size;
      if (!c.PlainRange(d, bytes) || !c.PlainRange(s, bytes)) return {kBail, flags};
      std::memmove(m + d, m + s, bytes);
      return {c.StoredRange(d, bytes), flags};
    }
    default:
      if (size == 2) return floating(float{}, uint32_t{});
      return floating(double{}, uint64_t{});
  }
}

// The unary operations without a handler of their own: fneg and the conversions.
[[gnu::noinline]] Status GenericUnary(const Ctx c, uint32_t d, uint32_t code) {
  uint8_t* const m = c.m;
  const uint32_t size = code & 3;
  auto to_float = [&]<class T>(T, bool is_signed, bool is_double) {
    T v = Ld<T>(m + d);
    uint64_t out;
    if (is_double) {
      double r =
          is_signed ? static_cast<double>(static_cast<ops::Signed<T>>(v)) : static_cast<double>(v);
      out = std::bit_cast<uint64_t>(r);
    } else {
      float r =
          is_signed ? static_cast<float>(static_cast<ops::Signed<T>>(v)) : static_cast<float>(v);
      out = std::bit_cast<uint32_t>(r);
    }
    St64(m + d, out);
  };
  switch (code / 4) {
    case 0:  // fneg .f and .d
      if (size == 2) {
        St32(m + d, Ld32(m + d) ^ 0x80000000u);
      } else {
        St64(m + d, Ld64(m + d) ^ (uint64_t{1} << 63));
      }
      break;
    case 10:
    case 11:
    case 12:
    case 13: {
      bool is_signed = (code / 4) % 2 == 1, is_double = code / 4 >= 12;
      switch (size) {
        case 0: to_float(uint8_t{}, is_signed, is_double); break;
        case 1: to_float(uint16_t{}, is_signed, is_double); break;
        case 2: to_float(uint32_t{}, is_signed, is_double); break;
        default: to_float(uint64_t{}, is_signed, is_double); break;
      }
      break;
    }
    case 14: St64(m + d, ops::FloatToInt64(std::bit_cast<float>(Ld32(m + d)))); break;
    case 15: St64(m + d, ops::FloatToInt64(std::bit_cast<double>(Ld64(m + d)))); break;
    case 16:
      St64(m + d, std::bit_cast<uint64_t>(static_cast<double>(std::bit_cast<float>(Ld32(m + d)))));
      break;
    default: St32(m + d, ops::DoubleThroughFloatToInt32(std::bit_cast<double>(Ld64(m + d)))); break;
  }
  return c.Stored(d);
}

}  // namespace

// The handler lists, expanded once into labels (or cases) and once into the table of label
// addresses; the handler numbers come from vm/handlers.h. The lists and the loop are written in
// macros, which the formatter cannot read; they are laid out by hand.
// clang-format off
#define FL_KIND_PAIRS(X)                                                                        \
  X(Reg, Fixed) X(Reg, Imm) X(Reg, Fp) X(Reg, Ind) X(Fp, Fixed) X(Fp, Imm) X(Fp, Fp) X(Fp, Ind) \
  X(Abs, Fixed) X(Abs, Imm) X(Abs, Fp) X(Abs, Ind) X(Ind, Fixed) X(Ind, Imm) X(Ind, Fp)         \
  X(Ind, Ind)
// The pairs with handlers of their own (HasOwnHandlers).
#define FL_OWN_PAIRS(X)                                                                         \
  X(Reg, Fixed) X(Reg, Imm) X(Reg, Fp) X(Reg, Ind) X(Fp, Fixed) X(Fp, Imm) X(Abs, Fixed)        \
  X(Abs, Imm) X(Ind, Fixed) X(Ind, Imm)
#define FL_OWN(D, S) static_assert(HasOwnHandlers(DKind::k##D, SKind::k##S));
#define FL_COUNT(D, S) +1
FL_OWN_PAIRS(FL_OWN)
static_assert(0 FL_OWN_PAIRS(FL_COUNT) == kOwnPairCount && 0 FL_KIND_PAIRS(FL_COUNT) == kDKinds * kSKinds);
#undef FL_OWN
#undef FL_COUNT
#define FL_FAST_OPS(X, D, S)                                                                    \
  X(D, S, 0) X(D, S, 1) X(D, S, 2) X(D, S, 3) X(D, S, 4) X(D, S, 5) X(D, S, 6) X(D, S, 7)      \
  X(D, S, 8) X(D, S, 9) X(D, S, 10) X(D, S, 11) X(D, S, 12)
#define FL_FUSED_OPS(X, D, S) X(D, S, 0) X(D, S, 1) X(D, S, 2) X(D, S, 3)
#define FL_UNARY_KINDS(X) X(Reg) X(Fp) X(Abs) X(Ind)
#define FL_UNARY_OPS(X, K) X(K, 0) X(K, 1) X(K, 2) X(K, 3) X(K, 4) X(K, 5) X(K, 6) X(K, 7)
#define FL_SIZES(X, ...) X(__VA_ARGS__, 0) X(__VA_ARGS__, 1) X(__VA_ARGS__, 2) X(__VA_ARGS__, 3)
#define FL_TEST_KINDS(X) X(Fixed) X(Ind) X(Fp)

// Expansions per list: two-operand handlers, fused handlers, unary handlers.
#define FL_TWO_SIZES(D, S, O) FL_SIZES(FL_TWO, D, S, O)
#define FL_TWO_PAIR(D, S) FL_FAST_OPS(FL_TWO_SIZES, D, S)
#define FL_FUSED_SIZES(D, S, O) FL_SIZES(FL_FUSED, D, S, O)
#define FL_FUSED_PAIR(D, S) FL_FUSED_OPS(FL_FUSED_SIZES, D, S)
#define FL_UNARY_SIZES(K, O) FL_SIZES(FL_UNARY, K, O)
#define FL_UNARY_KIND(K) FL_UNARY_OPS(FL_UNARY_SIZES, K)
#define FL_TEST_SIZES(K) FL_SIZES(FL_TEST, K)

Stop FastLoop(Host& host, DecodeCache& dc) {
  uint8_t* const m = host.mem.base;
  const uint32_t size = host.mem.size;
  if (size < kHeaderSize) __builtin_unreachable();  // RunFast() has made sure of it
  const Ctx c{m, size - kPlainStart - kWidest, dc};

  uint32_t sp = Ld32(m + kOffSP);
  uint32_t fp = Ld32(m + kOffFP);
  LazyFlags flags = 0;
  uint32_t countdown = host.machine.limit.countdown;  // transfers until the next limit check
  uint32_t at = Ld32(m + kOffPC);  // where to go on through Lookup() or the reference loop
  Entry* e = nullptr;              // the entry being run
  Stop stop;

  // Writes the held state into the header with `pc` as PC.
#define FL_SYNC(pc)          \
  do {                       \
    St32(m + kOffPC, (pc));  \
    St32(m + kOffSP, sp);    \
    St32(m + kOffFP, fp);    \
    m[kOffFLAGS] = Materialize(flags); \
  } while (0)

#if ORVA_THREADED
#define FL_DISPATCH() goto* e->h
#define FL_HANDLER(label, number) label:
  static const void* labels[kHandlerCount];
  if (!labels[kHDecode]) {
#define FL_ADDRESS(label, number) labels[number] = &&label;
#define FL_TWO(D, S, O, Z) FL_ADDRESS(two_##D##_##S##_##O##_##Z, TwoOpHandler(DKind::k##D, SKind::k##S, O, Z))
#define FL_FUSED(D, S, O, Z) FL_ADDRESS(fused_##D##_##S##_##O##_##Z, FusedHandler(DKind::k##D, SKind::k##S, O, Z))
#define FL_UNARY(K, O, Z) FL_ADDRESS(unary_##K##_##O##_##Z, UnaryHandler(DKind::k##K, O, Z))
#define FL_TEST(K, Z) FL_ADDRESS(test_##K##_##Z, kHTestBranch + static_cast<uint32_t>(TestKind::k##K) * 4 + Z)
#define FL_GENERIC(D, S) FL_ADDRESS(generic_##D##_##S, kHGenericTwoOp + KindPair(DKind::k##D, SKind::k##S))
#define FL_GENERIC_UNARY(K) FL_ADDRESS(generic_unary_##K, kHGenericUnary + static_cast<uint32_t>(DKind::k##K))
    FL_OWN_PAIRS(FL_TWO_PAIR)
    FL_OWN_PAIRS(FL_FUSED_PAIR)
    FL_UNARY_KINDS(FL_UNARY_KIND)
    FL_TEST_KINDS(FL_TEST_SIZES)
    FL_KIND_PAIRS(FL_GENERIC)
    FL_UNARY_KINDS(FL_GENERIC_UNARY)
    FL_ADDRESS(h_far, kHFar) FL_ADDRESS(h_step, kHStep) FL_ADDRESS(h_nop, kHNop)
    FL_ADDRESS(h_jump, kHJump) FL_ADDRESS(h_branch, kHBranch) FL_ADDRESS(h_jsr, kHJsr)
    FL_ADDRESS(h_jsr_reg, kHJsrReg) FL_ADDRESS(h_jump_table, kHJumpTable)
    FL_ADDRESS(h_enter, kHEnter) FL_ADDRESS(h_return, kHReturn) FL_ADDRESS(h_push16, kHPush16)
    FL_ADDRESS(h_push32, kHPush32) FL_ADDRESS(h_push64, kHPush64) FL_ADDRESS(h_sys, kHSys)
    FL_ADDRESS(h_decode, kHDecode)  // last: it marks the table as filled
#undef FL_TWO
#undef FL_FUSED
#undef FL_UNARY
#undef FL_TEST
#undef FL_GENERIC
#undef FL_GENERIC_UNARY
#undef FL_ADDRESS
    for (const void* label : labels)
      if (!label) __builtin_trap();  // a handler number without a handler
  }
  dc.handlers = labels;
#else
// A jump, not `continue`: the macros below wrap it in do-while statements of their own.
#define FL_DISPATCH() goto dispatch
#define FL_HANDLER(label, number) case number:
#endif

  // Continues at the entry t of a taken transfer of control, which counts towards the run limit.
#define FL_TAKE(t)                         \
  do {                                     \
    e = (t);                               \
    if (--countdown == 0) [[unlikely]] {   \
      at = e->pc;                          \
      goto limit_check;                    \
    }                                      \
    FL_DISPATCH();                         \
  } while (0)
  // The same for a target known only by its address.
#define FL_TAKE_AT(pc)                     \
  do {                                     \
    at = (pc);                             \
    if (--countdown == 0) [[unlikely]]     \
      goto limit_check;                    \
    goto lookup;                           \
  } while (0)
  // Hands this instruction to the reference loop; nothing has changed yet.
#define FL_BAIL()   \
  do {              \
    at = e->pc;     \
    goto step;      \
  } while (0)
  // After a handler that may have stored into decoded code: on to `next`, or, when the store
  // reset entries, through Lookup() to the address `resume`.
#define FL_AFTER(status, next, resume) \
  {                                    \
    Status s_ = (status);              \
    if (s_ == kOk) [[likely]] {        \
      e = (next);                      \
      FL_DISPATCH();                   \
    }                                  \
    if (s_ == kBail) FL_BAIL();        \
    at = (resume);                     \
    goto lookup;                       \
  }

  ++dc.epoch;  // the host may have written anything since the last run
  goto reload;

#if !ORVA_THREADED
  for (;;) {
  dispatch:
    switch (e->h) {
#endif

  // --- Two-operand handlers --------------------------------------------------------------
#define FL_TWO(D, S, O, Z)                                                                     \
  FL_HANDLER(two_##D##_##S##_##O##_##Z, TwoOpHandler(DKind::k##D, SKind::k##S, O, Z)) {        \
    const uint32_t len = e->len;                                                               \
    FL_AFTER((TwoOp<DKind::k##D, SKind::k##S, O, SizeType<Z>>(c, e, fp, flags)), e + len,      \
             e->pc + 4 * len);                                                                 \
  }
  FL_OWN_PAIRS(FL_TWO_PAIR)
#undef FL_TWO

  // --- Fused: a flag-setting operation and the branch on flags after it -----------------
  // When the operation's store resets entries, the branch runs on its own, decoded afresh.
#define FL_FUSED(D, S, O, Z)                                                                   \
  FL_HANDLER(fused_##D##_##S##_##O##_##Z, FusedHandler(DKind::k##D, SKind::k##S, O, Z)) {      \
    const uint32_t len = e->len;                                                               \
    constexpr uint32_t kOp = static_cast<uint32_t>(FastOpIndex(OperationNumber(kFusedOps[O])));\
    Status s_ = TwoOp<DKind::k##D, SKind::k##S, kOp, SizeType<Z>>(c, e, fp, flags);            \
    if (s_ == kOk) [[likely]] {                                                                \
      if ((e->cond >> Materialize(flags)) & 1) FL_TAKE(e->target);                             \
      e += len;                                                                                \
      FL_DISPATCH();                                                                           \
    }                                                                                          \
    if (s_ == kBail) FL_BAIL();                                                                \
    at = e->pc + 4 * (len - 1);                                                                \
    goto lookup;                                                                               \
  }
  FL_OWN_PAIRS(FL_FUSED_PAIR)
#undef FL_FUSED

  // --- Unary handlers ----------------------------------------------------------------------
#define FL_UNARY(K, O, Z)                                                                      \
  FL_HANDLER(unary_##K##_##O##_##Z, UnaryHandler(DKind::k##K, O, Z)) {                         \
    const uint32_t len = e->len;                                                               \
    FL_AFTER((UnaryOp<DKind::k##K, O, SizeType<Z>>(c, e, fp, sp, flags)), e + len,             \
             e->pc + 4 * len);                                                                 \
  }
  FL_UNARY_KINDS(FL_UNARY_KIND)
#undef FL_UNARY

  // --- Generic handlers: the operand kinds from the handler, the operation from the entry --
#define FL_GENERIC(D, S)                                                                       \
  FL_HANDLER(generic_##D##_##S, kHGenericTwoOp + KindPair(DKind::k##D, SKind::k##S)) {         \
    const uint32_t len = e->len;                                                               \
    const uint32_t d = Address<DKind::k##D>(c, fp, e->a, e->dreg);                             \
    uint32_t s;                                                                                \
    if constexpr (SKind::k##S == SKind::kImm) {                                                \
      if ((e->cond & 3) == 3) {                                                                \
        St64(m + kOffIMMSLOT, e->imm);                                                         \
      } else {                                                                                 \
        St32(m + kOffIMMSLOT, e->b);                                                           \
      }                                                                                        \
      s = kOffIMMSLOT;                                                                         \
    } else {                                                                                   \
      s = Address<AsDKind(SKind::k##S)>(c, fp, e->b, e->sreg);                                 \
      if (Strays(AsDKind(SKind::k##S)) && !c.Plain(s)) FL_BAIL();                              \
    }                                                                                          \
    if (Strays(DKind::k##D) && !c.Plain(d)) FL_BAIL();                                         \
    const Outcome o_ = GenericTwoOp(c, d, s, e->cond, Materialize(flags));                     \
    flags = kLazyOf[o_.flags];                                                                 \
    FL_AFTER(o_.status, e + len, e->pc + 4 * len);                                             \
  }
  FL_KIND_PAIRS(FL_GENERIC)
#undef FL_GENERIC
#define FL_GENERIC_UNARY(K)                                                                    \
  FL_HANDLER(generic_unary_##K, kHGenericUnary + static_cast<uint32_t>(DKind::k##K)) {         \
    const uint32_t len = e->len;                                                               \
    const uint32_t d = Address<DKind::k##K>(c, fp, e->a, e->dreg);                             \
    if (Strays(DKind::k##K) && !c.Plain(d)) FL_BAIL();                                         \
    FL_AFTER(GenericUnary(c, d, e->cond), e + len, e->pc + 4 * len);                           \
  }
  FL_UNARY_KINDS(FL_GENERIC_UNARY)
#undef FL_GENERIC_UNARY

  // --- Test-and-branch: FLAGS from the operand, then the branch ----------------------------
  // The registers (addresses up to the last register slot) need no check.
#define FL_TEST(K, Z)                                                                          \
  FL_HANDLER(test_##K##_##Z, kHTestBranch + static_cast<uint32_t>(TestKind::k##K) * 4 + Z) {   \
    uint32_t d;                                                                                \
    if constexpr (TestKind::k##K == TestKind::kFixed) {                                        \
      d = e->a;                                                                                \
    } else {                                                                                   \
      d = TestKind::k##K == TestKind::kFp ? fp + e->a : Ld32(m + e->dreg);                     \
      if (d > RegOffset(15) && !c.Plain(d)) FL_BAIL();                                         \
    }                                                                                          \
    flags = Lazy(Ld<SizeType<Z>>(m + d));                                                      \
    if ((e->cond >> Materialize(flags)) & 1) FL_TAKE(e->target);                               \
    e += 2;                                                                                    \
    FL_DISPATCH();                                                                             \
  }
  FL_TEST_KINDS(FL_TEST_SIZES)
#undef FL_TEST

  // --- Branches and calls --------------------------------------------------------------------
  FL_HANDLER(h_branch, kHBranch) {
    if ((e->cond >> Materialize(flags)) & 1) FL_TAKE(e->target);
    e += 1;
    FL_DISPATCH();
  }
  FL_HANDLER(h_jump, kHJump) { FL_TAKE(e->target); }
  FL_HANDLER(h_jump_table, kHJumpTable) {
    uint32_t entry = Ld32(m + e->dreg) + e->a;
    if (!c.PlainN<4>(entry)) FL_BAIL();
    FL_TAKE_AT(Ld32(m + entry));
  }
  FL_HANDLER(h_jsr, kHJsr) {
    if (!PushRoomN<8>(c, sp)) FL_BAIL();
    host.machine.pc_pre_jsr = e->pc + 4;
    St32(m + sp - 4, e->b);
    St32(m + sp - 8, e->pc + 8);
    sp -= 8;
    if (c.Stored(sp) == kReset) [[unlikely]]
      FL_TAKE_AT(e->target->pc);
    FL_TAKE(e->target);
  }
  FL_HANDLER(h_jsr_reg, kHJsrReg) {
    if (!PushRoomN<8>(c, sp)) FL_BAIL();
    host.machine.pc_pre_jsr = e->pc + 4;
    const uint32_t target = Ld32(m + e->dreg);
    St32(m + sp - 4, e->b);
    St32(m + sp - 8, e->pc + 4);
    sp -= 8;
    c.Stored(sp);  // the target is looked up anyway
    FL_TAKE_AT(target);
  }
  FL_HANDLER(h_enter, kHEnter) {
    // Push FP, make room for the locals, save the n registers just below R14.
    const uint32_t n = e->b;
    const uint64_t room = 4 + uint64_t{e->a} + 8 * n;
    if (!PushRoom(c, sp, room)) FL_BAIL();
    St32(m + sp - 4, fp);
    fp = sp - 4;
    sp = static_cast<uint32_t>(sp - room);
    for (uint32_t i = 0; i < n; ++i) St64(m + sp + 8 * i, Ld64(m + kOffR14 - 8 * n + 8 * i));
    FL_AFTER(c.StoredRange(sp, room), e + 1, e->pc + 4);
  }
  FL_HANDLER(h_return, kHReturn) {
    const uint32_t n = e->b;
    if (!c.PlainRange(sp, 8 * n) || !c.PlainN<12>(fp)) [[unlikely]]
      FL_BAIL();
    for (uint32_t i = 0; i < n; ++i) St64(m + kOffR14 - 8 * n + 8 * i, Ld64(m + sp + 8 * i));
    const uint32_t caller_fp = Ld32(m + fp), ret = Ld32(m + fp + 4);
    sp = fp + 12 + Ld32(m + fp + 8);
    heap::ReleaseFrameLocks(host, sp);  // inline: decides at once when nothing is locked
    fp = caller_fp;
    if (ret == 0) {
      stop = {StopKind::kReturned, e->pc, 0};
      at = 0;
      goto leave;
    }
    FL_TAKE_AT(ret);
  }

  // --- Pushes of immediates, no-operations, the service trap -------------------------------
#define FL_PUSH(label, number, T)                 \
  FL_HANDLER(label, number) {                     \
    if (!PushRoomN<sizeof(T)>(c, sp)) FL_BAIL();  \
    sp -= sizeof(T);                              \
    St<T>(m + sp, static_cast<T>(e->imm));        \
    const uint32_t len = e->len;                  \
    FL_AFTER(c.Stored(sp), e + len, e->pc + 4 * len); \
  }
  FL_PUSH(h_push16, kHPush16, uint16_t)
  FL_PUSH(h_push32, kHPush32, uint32_t)
  FL_PUSH(h_push64, kHPush64, uint64_t)
#undef FL_PUSH
  FL_HANDLER(h_nop, kHNop) {
    e += e->len;
    FL_DISPATCH();
  }
  FL_HANDLER(h_sys, kHSys) {
    // The header holds this instruction's PC and the current SP, FP and FLAGS while the
    // service runs, and again afterwards: a service cannot change them. What the service
    // wrote into the image is found by comparing pages in the next epoch.
    FL_SYNC(e->pc);
    auto fault = services::SysDispatch(host);
    FL_SYNC(e->pc);
    ++dc.epoch;
    if (fault) [[unlikely]] {
      stop = {StopKind::kBadAddress, e->pc, fault->address};
      at = e->pc + 4;
      goto leave;
    }
    at = e->pc + 4;
    goto lookup;
  }

  // --- Entries that are not instructions ---------------------------------------------------
  FL_HANDLER(h_decode, kHDecode) {
    Decode(dc, *e);
    FL_DISPATCH();
  }
  FL_HANDLER(h_far, kHFar) {
    at = e->pc;
    goto lookup;
  }
  FL_HANDLER(h_step, kHStep) {
    at = e->pc;
    goto step;
  }

#if !ORVA_THREADED
      default: __builtin_trap();
    }  // switch
  }    // for
#endif

  // Continues at `at` through the page directory.
lookup:
  e = Lookup(dc, at);
  if (!e) [[unlikely]]
    goto step;
#if ORVA_THREADED
  FL_DISPATCH();
#else
  goto dispatch;
#endif

  // Runs the instruction at `at` in the reference loop, then goes on from where it left the
  // machine. What it wrote is known exactly, and resets what it must.
step:
  FL_SYNC(at);
step_synced:
  host.machine.limit.countdown = countdown;
  stop = StepOne(host, dc);
  countdown = host.machine.limit.countdown;
  if (stop.kind != StopKind::kStepped) return stop;
  // The header holds the machine's state: take it up again. A FLAGS byte the loop cannot hold
  // leaves the next instruction to the reference loop too.
reload:
  sp = Ld32(m + kOffSP);
  fp = Ld32(m + kOffFP);
  at = Ld32(m + kOffPC);
  if (!Holdable(m[kOffFLAGS])) [[unlikely]]
    goto step_synced;
  flags = kLazyOf[m[kOffFLAGS]];
  goto lookup;

  // A transfer used up the countdown; the machine stands at `at`, its target.
limit_check: {
  FL_SYNC(at);
  StopKind limit = CheckRunLimit(host);
  countdown = host.machine.limit.countdown;
  if (limit != StopKind::kReturned) {
    stop = {limit, at, 0};
    goto leave;
  }
  goto lookup;
}

leave:
  FL_SYNC(at);
  host.machine.limit.countdown = countdown;
  return stop;
}
// clang-format on

}  // namespace orva::vm::fast
