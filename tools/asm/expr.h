// Expressions: parsed once into a shared arena, evaluated in every layout pass.
//
// Values are 64-bit two's complement; arithmetic wraps. A value is "unknown" while it depends on
// a symbol that has no value yet (a forward reference in the first pass); layout then makes an
// optimistic guess and a later pass corrects it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lexer.h"
#include "source.h"

namespace orva::qxasm {

using ExprId = uint32_t;
inline constexpr ExprId kNoExpr = UINT32_MAX;

enum class ExprOp : uint8_t {
  kConst,   // value
  kSymbol,  // symbol index in `a`
  kHere,    // $: the address of the current statement
  kNeg,
  kNot,
  kLogicalNot,
  kMul,
  kDiv,
  kMod,
  kAdd,
  kSub,
  kShl,
  kShr,
  kLt,
  kLe,
  kGt,
  kGe,
  kEq,
  kNe,
  kAnd,
  kXor,
  kOr,
  kLogicalAnd,
  kLogicalOr,
};

struct ExprNode {
  ExprOp op;
  uint32_t column;  // where the operator or operand starts, for reports
  uint32_t a = 0, b = 0;
  int64_t value = 0;
};

class ExprArena {
 public:
  ExprId Add(ExprNode n) {
    nodes_.push_back(n);
    return static_cast<ExprId>(nodes_.size() - 1);
  }
  const ExprNode& operator[](ExprId id) const { return nodes_[id]; }
  void Reserve(size_t n) { nodes_.reserve(n); }

 private:
  std::vector<ExprNode> nodes_;
};

// Turns a name into a symbol index (creating an undefined symbol on first sight), or reports
// that the name cannot stand in an expression (a register name) by returning UINT32_MAX.
using SymbolResolver = std::function<uint32_t(const Token& name, std::string* error)>;

inline constexpr int kMaxExprDepth = 200;
inline constexpr int kMaxExprOperators = 1000;

// Recursive-descent parser over a token vector; C precedence.
class ExprParser {
 public:
  ExprParser(ExprArena& arena, const std::vector<Token>& tokens, size_t& pos,
             const SymbolResolver& resolve)
      : arena_(arena), t_(tokens), pos_(pos), resolve_(resolve) {}

  // Parses one expression; kNoExpr with `error` set when the tokens do not form one.
  ExprId Parse();

  std::string error;
  uint32_t error_column = 0;

 private:
  ExprId Binary(int level);
  ExprId Unary();
  ExprId Primary();
  ExprId Fail(uint32_t column, std::string message);
  const Token& Peek() const { return t_[pos_]; }

  ExprArena& arena_;
  const std::vector<Token>& t_;
  size_t& pos_;
  const SymbolResolver& resolve_;
  int depth_ = 0;
  int operators_ = 0;
};

struct Value {
  int64_t v = 0;
  bool known = false;
};

// Looks a symbol up during evaluation.
using SymbolValue = std::function<Value(uint32_t symbol)>;

struct EvalError {
  uint32_t column = 0;
  std::string message;                   // a fault, or empty
  uint32_t unknown_symbol = UINT32_MAX;  // the first symbol without a value, if any
};

// Evaluates `id`. An unknown symbol gives an unknown value; a fault (division by zero, shift
// out of range) gives an unknown value and fills `error` when it is not null.
Value Evaluate(const ExprArena& arena, ExprId id, const SymbolValue& symbol, uint32_t here,
               EvalError* error);

}  // namespace orva::qxasm
