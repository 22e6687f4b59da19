// The QX instruction set, described once. The interpreter's dispatch tables, the assembler's
// mnemonics and the disassembler's printer are all built from the tables in this file.
//
// Every instruction is one little-endian u32 word at a multiple of 4, followed by 0-3 extension
// words x1, x2, x3. The low ten bits are the opcode.
//
//  Two-operand (opcode bits 0-4 = one of the 24 forms of kForms):
//    31              16 15    11 10  9 8     5 4       0
//   +------------------+--------+-----+-------+---------+
//   | r2 / imm4 / d16  |   op   | size|r1/imm4|  form   |      op*4+size = 7-bit op-size code
//   +------------------+--------+-----+-------+---------+
//
//  Unary (opcode bits 0-7 = 108, 172, 212 or 236):
//    31              16 15 14          8 7              0
//   +------------------+--+-------------+----------------+
//   | r2 / d16 / slot  |- | unary code  |     form       |  unary code = op*4+size
//   +------------------+--+-------------+----------------+
//
//  Test-and-branch (bits 0-2 = 0):  target/4 [10-31] | cond [7-9] | size [5-6] | mode [3-4] | 000
//                                   x1 = register slot, address, or FP offset by mode
//  Branch on flags (bits 0-6 = 52): target/4 [10-31] | cond [7-9] | 0110100
//  Jump (opcode 44):                target/4 [10-31] | 00 | 00101100
//  Jump through table (bits 0-5 = 12): t/4 [10-31] | r [6-9] | 001100      goto [R(r) + t]
//  JSR (84) x1:        argbytes [16-31] | - | 84        JSR register (852): argbytes [16-31] |
//                                                                           reg [12-15] | 852
//  Enter (340):        L [14-31] | n [10-13] | 340      Return (596): n [10-13] | 596
//  Push immediates:    116/372 x1 (16 bit), 244/500 bits 10-25 (16 bit), 628 x1 (32 bit),
//                      756 bits 10-31 sign-extended (32 bit), 884 x1 x2 (64 bit),
//                      1012 bits 10-31 sign-extended (64 bit)
//  One-word traps:     20 debug print, 276 SYS, 532 halt, 788 MODAL, 916 EMOD
//
// Naming: mnemonics are lower case; the size suffix is .b .w .l .q (bytes 1, 2, 4, 8), and .f/.d
// stand for sizes 2/3 of the floating operations.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace orva::vm::isa {

// ---------------------------------------------------------------------------------------------
// Opcode classes and the 10-bit opcode map

enum class OpClass : uint8_t {
  kTwoOp,        // bits 0-4 are an addressing form
  kUnary,        // bits 0-7 are a unary form
  kTestBranch,   // 2 words
  kBranchFlags,  // 1 word
  kJump,         // 1 word
  kJumpTable,    // 1 word
  kJsr,          // 2 words
  kJsrReg,       // 1 word
  kPush16X,      // 2 words
  kPush16W,      // 1 word
  kPush32X,      // 2 words
  kPush32W,      // 1 word
  kPush64X,      // 3 words
  kPush64W,      // 1 word
  kDebugPrint,
  kSys,
  kEnter,
  kReturn,
  kHalt,
  kModal,
  kEmod,
  kNop,
  kIllegal,
};

inline constexpr uint32_t kOpcodeMask = 0x3FF;
constexpr uint32_t Opcode(uint32_t word) { return word & kOpcodeMask; }

constexpr bool IsTwoOpForm(uint32_t form5) {
  // Forms 1-30 except 4, 8, 12, 16, 20, 24 (the multiples of 4 other than 28 are not forms).
  return form5 != 0 && form5 != 31 && (form5 % 4 != 0 || form5 == 28);
}

// The opcode map as a list of rows, each fixing some low bits. Every opcode must match exactly
// one row; MatchCount() proves that at compile time.
struct OpcodeRow {
  uint32_t mask;   // which low bits the row fixes
  uint32_t value;  // their value
  OpClass cls;
};

constexpr bool RowMatches(const OpcodeRow& row, uint32_t op, bool two_op_row) {
  if (two_op_row) return IsTwoOpForm(op & 31);
  return (op & row.mask) == row.value;
}

// Row 0 stands for the 24 two-operand forms (tested with IsTwoOpForm).
// clang-format off
inline constexpr OpcodeRow kOpcodeRows[] = {
    {0x1F, 0, OpClass::kTwoOp},
    {0x1F, 4, OpClass::kIllegal},
    {0x1F, 31, OpClass::kNop},
    {0x07, 0, OpClass::kTestBranch},
    {0x7F, 52, OpClass::kBranchFlags},
    {0x3F, 12, OpClass::kJumpTable},
    {0x3FF, 44, OpClass::kJump},
    {0x3FF, 300, OpClass::kNop},
    {0x3FF, 556, OpClass::kNop},
    {0x3FF, 812, OpClass::kNop},
    {0xFF, 108, OpClass::kUnary},
    {0xFF, 172, OpClass::kUnary},
    {0xFF, 212, OpClass::kUnary},
    {0xFF, 236, OpClass::kUnary},
    {0x3FF, 20, OpClass::kDebugPrint},
    {0x3FF, 84, OpClass::kJsr},
    {0x3FF, 852, OpClass::kJsrReg},
    {0x3FF, 116, OpClass::kPush16X},
    {0x3FF, 372, OpClass::kPush16X},
    {0x3FF, 244, OpClass::kPush16W},
    {0x3FF, 500, OpClass::kPush16W},
    {0x3FF, 628, OpClass::kPush32X},
    {0x3FF, 756, OpClass::kPush32W},
    {0x3FF, 884, OpClass::kPush64X},
    {0x3FF, 1012, OpClass::kPush64W},
    {0x3FF, 276, OpClass::kSys},
    {0x3FF, 340, OpClass::kEnter},
    {0x3FF, 596, OpClass::kReturn},
    {0x3FF, 532, OpClass::kHalt},
    {0x3FF, 788, OpClass::kModal},
    {0x3FF, 916, OpClass::kEmod},
    {0x3FF, 148, OpClass::kIllegal},
    {0x3FF, 404, OpClass::kNop},
    {0x3FF, 660, OpClass::kNop},
};
// clang-format on

constexpr int MatchCount(uint32_t op) {
  int n = 0;
  for (size_t i = 0; i < std::size(kOpcodeRows); ++i)
    if (RowMatches(kOpcodeRows[i], op, i == 0)) ++n;
  return n;
}

constexpr bool OpcodeMapIsExact() {
  for (uint32_t op = 0; op < 1024; ++op)
    if (MatchCount(op) != 1) return false;
  return true;
}
static_assert(OpcodeMapIsExact(), "every opcode falls in exactly one row of the map");

constexpr OpClass ClassOf(uint32_t op) {
  op &= kOpcodeMask;
  for (size_t i = 0; i < std::size(kOpcodeRows); ++i)
    if (RowMatches(kOpcodeRows[i], op, i == 0)) return kOpcodeRows[i].cls;
  return OpClass::kIllegal;
}

inline constexpr auto kOpcodeClass = [] {
  std::array<OpClass, 1024> t{};
  for (uint32_t op = 0; op < 1024; ++op) t[op] = ClassOf(op);
  return t;
}();

// ---------------------------------------------------------------------------------------------
// Fields

constexpr uint32_t Bits(uint32_t w, int lo, int n) { return (w >> lo) & ((1u << n) - 1); }
constexpr int32_t SignedBits(uint32_t w, int lo, int n) {
  uint32_t v = Bits(w, lo, n);
  uint32_t sign = 1u << (n - 1);
  return static_cast<int32_t>((v ^ sign) - sign);
}

constexpr uint32_t FormOf(uint32_t w) { return w & 31; }
constexpr uint32_t R1Of(uint32_t w) { return Bits(w, 5, 4); }
constexpr uint32_t SizeOf(uint32_t w) { return Bits(w, 9, 2); }
constexpr uint32_t OperationOf(uint32_t w) { return Bits(w, 11, 5); }
constexpr uint32_t OpSizeOf(uint32_t w) { return Bits(w, 9, 7); }  // operation * 4 + size
constexpr uint32_t R2Of(uint32_t w) { return Bits(w, 16, 4); }
constexpr int32_t D16Of(uint32_t w) { return SignedBits(w, 16, 16); }
constexpr int32_t Short16Of(uint32_t w) { return SignedBits(w, 16, 4); }  // bits 16-19
constexpr int32_t Short5Of(uint32_t w) { return SignedBits(w, 5, 4); }    // bits 5-8

constexpr uint32_t UnaryFormOf(uint32_t w) { return w & 0xFF; }
constexpr uint32_t UnaryCodeOf(uint32_t w) { return Bits(w, 8, 7); }
constexpr uint32_t SlotOf(uint32_t w) { return Bits(w, 16, 16); }  // form 212

constexpr uint32_t CondOf(uint32_t w) { return Bits(w, 7, 3); }
constexpr uint32_t TargetOf(uint32_t w) { return (w >> 10) << 2; }  // below 2^24
constexpr uint32_t TbModeOf(uint32_t w) { return Bits(w, 3, 2); }
constexpr uint32_t TbSizeOf(uint32_t w) { return Bits(w, 5, 2); }
constexpr uint32_t JumpTableRegOf(uint32_t w) { return Bits(w, 6, 4); }
constexpr uint32_t ArgBytesOf(uint32_t w) { return Bits(w, 16, 16); }
constexpr uint32_t JsrRegOf(uint32_t w) { return Bits(w, 12, 4); }
constexpr uint32_t FrameRegsOf(uint32_t w) { return Bits(w, 10, 4); }
constexpr uint32_t FrameLocalsOf(uint32_t w) { return w >> 14; }
constexpr uint32_t Imm16WordOf(uint32_t w) { return Bits(w, 10, 16); }
constexpr int32_t Imm22Of(uint32_t w) { return SignedBits(w, 10, 22); }

inline constexpr uint32_t kMaxTarget = 1u << 24;  // branch targets are below 2^24

// ---------------------------------------------------------------------------------------------
// Two-operand addressing forms

enum class Operand : uint8_t {
  kReg1,     // register slot r1 (bits 5-8)
  kReg2,     // register slot r2 (bits 16-19)
  kFpD16,    // [FP + d16]
  kFpX1,     // [FP + x1]
  kAbsX1,    // [x1]
  kAbsX2,    // [x2]
  kR1X1,     // [R(r1) + x1]
  kR1X2,     // [R(r1) + x2]
  kR2X1,     // [R(r2) + x1]
  kR2X2,     // [R(r2) + x2]
  kImmX1,    // immediate x1 (x1, x2 for size 3)
  kImmX2,    // immediate x2 (x2, x3 for size 3)
  kShort16,  // short immediate, bits 16-19
  kShort5,   // short immediate, bits 5-8
};

struct FormInfo {
  uint8_t form;
  Operand dst, src;
  uint8_t ext_words;  // extension words for sizes 0-2; an immediate source adds one for size 3
};

// clang-format off
inline constexpr FormInfo kForms[] = {
    {1, Operand::kR1X1, Operand::kShort16, 1},  {2, Operand::kR1X1, Operand::kReg2, 1},
    {3, Operand::kAbsX1, Operand::kFpD16, 1},   {5, Operand::kAbsX1, Operand::kR1X2, 2},
    {6, Operand::kR1X1, Operand::kAbsX2, 2},    {7, Operand::kFpD16, Operand::kImmX1, 1},
    {9, Operand::kR1X1, Operand::kFpD16, 1},    {10, Operand::kR1X1, Operand::kR2X2, 2},
    {11, Operand::kFpD16, Operand::kR1X1, 1},   {13, Operand::kAbsX1, Operand::kImmX2, 2},
    {14, Operand::kR1X1, Operand::kImmX2, 2},   {15, Operand::kFpD16, Operand::kFpX1, 1},
    {17, Operand::kReg1, Operand::kFpD16, 0},   {18, Operand::kReg1, Operand::kR2X1, 1},
    {19, Operand::kFpD16, Operand::kReg1, 0},   {21, Operand::kAbsX1, Operand::kAbsX2, 2},
    {22, Operand::kReg1, Operand::kImmX1, 1},   {23, Operand::kFpD16, Operand::kShort5, 0},
    {25, Operand::kAbsX1, Operand::kReg1, 1},   {26, Operand::kReg1, Operand::kAbsX1, 1},
    {27, Operand::kFpD16, Operand::kAbsX1, 1},  {28, Operand::kReg1, Operand::kReg2, 0},
    {29, Operand::kAbsX1, Operand::kShort5, 1}, {30, Operand::kReg1, Operand::kShort16, 0},
};
// clang-format on
static_assert(std::size(kForms) == 24);

constexpr bool IsImmediate(Operand o) { return o == Operand::kImmX1 || o == Operand::kImmX2; }
constexpr bool IsShort(Operand o) { return o == Operand::kShort16 || o == Operand::kShort5; }

// kForms indexed by form number; null for numbers that are not forms.
inline constexpr auto kFormByNumber = [] {
  std::array<const FormInfo*, 32> t{};
  for (const FormInfo& f : kForms) t[f.form] = &f;
  return t;
}();

// Written without comparing pointers: GCC's sanitizer build cannot evaluate those constantly.
constexpr bool FormTableIsDense() {
  for (uint32_t f = 0; f < 32; ++f) {
    int listed = 0;
    for (const FormInfo& info : kForms) listed += info.form == f;
    if (listed != (IsTwoOpForm(f) ? 1 : 0)) return false;
  }
  return true;
}
static_assert(FormTableIsDense(), "kForms holds exactly the two-operand forms of the opcode map");

// Number of words (instruction word included) of a two-operand instruction.
constexpr uint32_t TwoOpWords(uint32_t w) {
  const FormInfo* f = kFormByNumber[FormOf(w)];
  uint32_t n = 1 + f->ext_words;
  if (IsImmediate(f->src) && SizeOf(w) == 3) ++n;
  return n;
}

// ---------------------------------------------------------------------------------------------
// Two-operand operations (bits 11-15); the 7-bit code is operation * 4 + size

enum class OpKind : uint8_t {
  kInteger,  // integer arithmetic on the operand size
  kFloat,    // sizes 2 (FLOAT) and 3 (DOUBLE); sizes 0 and 1 alert and do nothing
  kAddress,  // uses the source's address, not its value
  kIllegal,
};

struct OperationInfo {
  std::string_view name;
  OpKind kind;
  bool sets_flags;
  bool writes_dst;
};

// clang-format off
inline constexpr OperationInfo kOperations[32] = {
    {"divs", OpKind::kInteger, false, true},   // 0  D = D / S, signed, toward zero
    {"rems", OpKind::kInteger, false, true},   // 1  D = D rem S, sign of the dividend
    {"asr", OpKind::kInteger, true, true},     // 2  D >>= first byte of S, sign bits in
    {"divu", OpKind::kInteger, false, true},   // 3  D = D / S, unsigned
    {"remu", OpKind::kInteger, false, true},   // 4  D = D rem S, unsigned
    {"lsr", OpKind::kInteger, true, true},     // 5  D >>= first byte of S, zeros in
    {"add", OpKind::kInteger, false, true},    // 6  D += S
    {"sub", OpKind::kInteger, true, true},     // 7  D -= S
    {"cmp", OpKind::kInteger, true, false},    // 8  flags of D - S
    {"mul", OpKind::kInteger, false, true},    // 9  D = low bits of D * S
    {"test", OpKind::kInteger, true, false},   // 10 flags of D & S
    {"lsl", OpKind::kInteger, true, true},     // 11 D <<= first byte of S
    {"and", OpKind::kInteger, true, true},     // 12 D &= S
    {"or", OpKind::kInteger, false, true},     // 13 D |= S
    {"xor", OpKind::kInteger, true, true},     // 14 D ^= S
    {"mov", OpKind::kInteger, false, true},    // 15 D = S
    {"movz", OpKind::kInteger, false, true},   // 16 the 8 bytes at D = S zero-extended
    {"fadd", OpKind::kFloat, false, true},     // 17 D += S
    {"fsub", OpKind::kFloat, true, true},      // 18 D -= S
    {"fmul", OpKind::kFloat, false, true},     // 19 D *= S
    {"fdiv", OpKind::kFloat, false, true},     // 20 D /= S
    {"fcmp", OpKind::kFloat, true, false},     // 21 flags of D - S
    {"lea", OpKind::kAddress, false, true},    // 22 first 4 bytes of D = address of S
    {"bmov", OpKind::kAddress, false, true},   // 23 copy MCOUNT elements from S to D
    {"", OpKind::kIllegal, false, false},      // 24-29 illegal
    {"", OpKind::kIllegal, false, false},
    {"", OpKind::kIllegal, false, false},
    {"", OpKind::kIllegal, false, false},
    {"", OpKind::kIllegal, false, false},
    {"", OpKind::kIllegal, false, false},
    {"bpush", OpKind::kAddress, false, false},  // 30 push the bytes at S; length at D
    {"bpeek", OpKind::kAddress, false, false},  // 31 copy the stack top to S; length at D
};
// clang-format on

// ---------------------------------------------------------------------------------------------
// Unary forms and operations

struct UnaryFormInfo {
  uint8_t form;
  uint8_t ext_words;
};
inline constexpr uint32_t kUnaryRegDisp = 108;  // [R(r2) + x1]
inline constexpr uint32_t kUnaryFp = 172;       // [FP + d16]
inline constexpr uint32_t kUnarySlot = 212;     // register slot n = bits 16-31
inline constexpr uint32_t kUnaryAbs = 236;      // [x1]

constexpr uint32_t UnaryWords(uint32_t w) {
  uint32_t f = UnaryFormOf(w);
  return (f == kUnaryRegDisp || f == kUnaryAbs) ? 2 : 1;
}

enum class UnaryKind : uint8_t { kValid, kNop, kIllegal };

struct UnaryInfo {
  std::string_view name;  // the mnemonic of the four codes op*4 .. op*4+3
};

// Unary operations by code / 4. Codes 35 and 39 (zext.q, sext.q) are no-operations and codes
// 28-31 and 72-127 are illegal; UnaryKindOf() says which.
// clang-format off
inline constexpr UnaryInfo kUnaryOps[32] = {
    {"fneg"},   // 0-3   sizes 0/1 alert; .f inverts bit 31, .d bit 63
    {"neg"},    // 4-7   X = 0 - X
    {"not"},    // 8-11  X = ~X; flags
    {"tst"},    // 12-15 flags of X
    {"push"},   // 16-19 push X (a byte is pushed as 16 bits)
    {"pop"},    // 20-23 pop into X
    {"pusha"},  // 24-27 push the address of X
    {""},       // 28-31 illegal
    {"zext"},   // 32-34 the 8 bytes at X = X zero-extended; 35 no-operation
    {"sext"},   // 36-38 sign-extended; 39 no-operation
    {"cvtuf"},  // 40-43 unsigned integer to FLOAT
    {"cvtsf"},  // 44-47 signed integer to FLOAT
    {"cvtud"},  // 48-51 unsigned integer to DOUBLE
    {"cvtsd"},  // 52-55 signed integer to DOUBLE
    {"cvtfi"},  // 56-59 FLOAT to signed 64-bit integer, toward zero (size ignored)
    {"cvtdi"},  // 60-63 DOUBLE to signed 64-bit integer, toward zero (size ignored)
    {"cvtfd"},  // 64-67 FLOAT to DOUBLE (size ignored)
    {"cvtdf"},  // 68-71 DOUBLE through FLOAT to a truncated 32-bit integer (size ignored)
    {""}, {""}, {""}, {""}, {""}, {""}, {""}, {""}, {""}, {""}, {""}, {""}, {""}, {""},
};
// clang-format on

constexpr UnaryKind UnaryKindOf(uint32_t code) {
  if (code == 35 || code == 39) return UnaryKind::kNop;
  if ((code >= 28 && code <= 31) || code >= 72) return UnaryKind::kIllegal;
  return UnaryKind::kValid;
}

// ---------------------------------------------------------------------------------------------
// Conditions (test-and-branch and branch on flags)

inline constexpr uint8_t kFlagOdd = 1, kFlagZero = 2, kFlagNeg = 4;

inline constexpr std::string_view kCondNames[8] = {"eq", "ne", "ge", "gt", "le", "lt", "ev", "od"};

constexpr bool CondHolds(uint32_t cond, uint8_t flags) {
  switch (cond & 7) {
    case 0: return flags & kFlagZero;
    case 1: return !(flags & kFlagZero);
    case 2: return !(flags & kFlagNeg);
    case 3: return !(flags & (kFlagZero | kFlagNeg));
    case 4: return flags & (kFlagZero | kFlagNeg);
    case 5: return flags & kFlagNeg;
    case 6: return !(flags & kFlagOdd);
    default: return flags & kFlagOdd;
  }
}

// Bit f of kCondMask[c] says whether condition c holds for FLAGS bits 0-2 equal to f: both loops
// decide a branch with one shift of this mask.
inline constexpr auto kCondMask = [] {
  std::array<uint8_t, 8> t{};
  for (uint32_t c = 0; c < 8; ++c)
    for (uint32_t f = 0; f < 8; ++f)
      if (CondHolds(c, static_cast<uint8_t>(f))) t[c] |= static_cast<uint8_t>(1u << f);
  return t;
}();

inline constexpr std::string_view kSizeSuffix[4] = {"b", "w", "l", "q"};
inline constexpr std::string_view kFloatSizeSuffix[4] = {"b", "w", "f", "d"};

// ---------------------------------------------------------------------------------------------
// Instruction length

// Words (1-4) occupied by the instruction whose first word is w.
constexpr uint32_t InstructionWords(uint32_t w) {
  switch (kOpcodeClass[Opcode(w)]) {
    case OpClass::kTwoOp: return TwoOpWords(w);
    case OpClass::kUnary: return UnaryWords(w);
    case OpClass::kTestBranch:
    case OpClass::kJsr:
    case OpClass::kPush16X:
    case OpClass::kPush32X: return 2;
    case OpClass::kPush64X: return 3;
    default: return 1;
  }
}

static_assert(InstructionWords(0x0002343C) == 1);  // add.l r1, r2
static_assert(InstructionWords(0x00080054) == 2);  // jsr with 8 argument bytes
static_assert(kOpcodeClass[0x154] == OpClass::kEnter && kOpcodeClass[0x254] == OpClass::kReturn);

}  // namespace orva::vm::isa
