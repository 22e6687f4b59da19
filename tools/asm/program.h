// The assembler's intermediate form: the source read once (includes, macros, conditionals and
// repeats resolved) into a list of statements over a shared expression arena. Layout passes
// then only evaluate expressions; nothing is parsed twice.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "expr.h"
#include "source.h"

namespace orva::qxasm {

enum class SymKind : uint8_t {
  kUndefined,  // referenced, not (yet) defined
  kLabel,      // name: an address
  kConstant,   // NAME = expr or .equ: defined once
  kVariable,   // .set: redefinable; a use sees the latest .set before it
};

struct Symbol {
  std::string name;
  SymKind kind = SymKind::kUndefined;
  Loc def;
  Value value;  // in the pass under way (or the previous one, for forward references)
  Value early;  // known while reading: constants made of numbers and earlier such constants
};

enum class Section : uint8_t { kCode, kData, kBss };
inline constexpr int kSections = 3;

// Operand kinds as written.
enum class OpndKind : uint8_t {
  kNone,
  kReg,      // rN
  kFp,       // [fp], [fp+expr], [fp-expr]
  kAbs,      // [expr]
  kRegDisp,  // [rN], [rN+expr], [rN-expr]
  kImm,      // #expr, #!expr, or a bare expression
};

struct Opnd {
  OpndKind kind = OpndKind::kNone;
  bool hash = false;        // written with '#'
  bool force_long = false;  // written with '#!'
  bool is_float = false;    // a floating literal; its value in fvalue
  uint64_t reg = 0;         // kReg, kRegDisp
  ExprId expr = kNoExpr;    // displacement, address, immediate; kNoExpr means 0
  double fvalue = 0;
  uint32_t column = 0;
};

// What an instruction statement encodes to, decided while parsing from the operand kinds alone;
// only the choice between a short and a long immediate waits for values.
enum class Plan : uint8_t {
  kTwoOp,       // form (long form) / short_form (0: none)
  kUnary,       // form: 108, 172, 212 or 236
  kPushImm,     // form: the one-word opcode, short_form: the extension-word opcode
  kTestBranch,  // form: mode
  kBranchFlags,
  kJump,
  kJumpTable,
  kJsr,
  kJsrReg,
  kEnter,
  kReturn,
  kFixed,  // form unused; word in `fixed`
};

struct Instr {
  Plan plan;
  uint8_t operation = 0;  // two-operand operation, unary operation, or condition
  uint8_t size = 0;
  uint8_t form = 0;
  uint8_t short_form = 0;
  bool grown = false;  // a value did not fit the short form once; it stays long from then on
  uint32_t fixed = 0;
  Opnd ops[2];
};

// One item of .byte/.word/.long/.quad/.float/.double: an expression, a floating literal, or
// (for .byte) a string.
struct DataItem {
  ExprId expr = kNoExpr;
  double fvalue = 0;
  bool is_float = false;
  uint32_t string = UINT32_MAX;  // index into Program::strings
  uint32_t column = 0;
};

enum class StmtKind : uint8_t {
  kLabel,    // sym
  kAssign,   // sym = a
  kSection,  // section
  kData,     // width (1, 2, 4, 8); items [first, first + count)
  kFloat,    // width 4 or 8; items
  kBytes,    // the bytes of string `first` (.ascii/.asciz)
  kSpace,    // a bytes of fill b
  kAlign,    // to a multiple of a, fill b
  kInstr,    // instrs[first]
  kStack,    // a
  kHeap,     // a
  kVersion,  // a, b
};

struct Stmt {
  StmtKind kind;
  Section section;  // the section the statement lies in
  uint8_t width = 0;
  uint32_t line_id;
  uint32_t column = 0;
  uint32_t sym = 0;
  ExprId a = kNoExpr, b = kNoExpr;
  uint32_t first = 0, count = 0;
};

struct Program {
  SourceFiles files;
  ExprArena exprs;
  std::vector<Symbol> symbols;
  std::unordered_map<std::string, uint32_t> symbol_index;
  std::vector<Stmt> stmts;
  std::vector<Instr> instrs;
  std::vector<DataItem> items;
  std::vector<std::string> strings;
  std::vector<std::string> dependencies;  // files read, the main source first

  uint32_t Intern(const std::string& name) {
    auto [it, fresh] = symbol_index.try_emplace(name, static_cast<uint32_t>(symbols.size()));
    if (fresh) symbols.push_back({name, SymKind::kUndefined, {}, {}, {}});
    return it->second;
  }
};

}  // namespace orva::qxasm
