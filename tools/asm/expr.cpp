#include "expr.h"

namespace orva::qxasm {

namespace {

// Binary operators by precedence level, loosest first (C's order).
struct BinaryOp {
  uint16_t punct;
  ExprOp op;
};
constexpr int kLevels = 10;
constexpr BinaryOp kLevel0[] = {{kOrOr, ExprOp::kLogicalOr}};
constexpr BinaryOp kLevel1[] = {{kAndAnd, ExprOp::kLogicalAnd}};
constexpr BinaryOp kLevel2[] = {{'|', ExprOp::kOr}};
constexpr BinaryOp kLevel3[] = {{'^', ExprOp::kXor}};
constexpr BinaryOp kLevel4[] = {{'&', ExprOp::kAnd}};
constexpr BinaryOp kLevel5[] = {{kEq, ExprOp::kEq}, {kNe, ExprOp::kNe}};
constexpr BinaryOp kLevel6[] = {
    {'<', ExprOp::kLt}, {kLe, ExprOp::kLe}, {'>', ExprOp::kGt}, {kGe, ExprOp::kGe}};
constexpr BinaryOp kLevel7[] = {{kShl, ExprOp::kShl}, {kShr, ExprOp::kShr}};
constexpr BinaryOp kLevel8[] = {{'+', ExprOp::kAdd}, {'-', ExprOp::kSub}};
constexpr BinaryOp kLevel9[] = {{'*', ExprOp::kMul}, {'/', ExprOp::kDiv}, {'%', ExprOp::kMod}};

struct Level {
  const BinaryOp* ops;
  size_t count;
};
constexpr Level kTable[kLevels] = {
    {kLevel0, std::size(kLevel0)}, {kLevel1, std::size(kLevel1)}, {kLevel2, std::size(kLevel2)},
    {kLevel3, std::size(kLevel3)}, {kLevel4, std::size(kLevel4)}, {kLevel5, std::size(kLevel5)},
    {kLevel6, std::size(kLevel6)}, {kLevel7, std::size(kLevel7)}, {kLevel8, std::size(kLevel8)},
    {kLevel9, std::size(kLevel9)},
};

}  // namespace

ExprId ExprParser::Fail(uint32_t column, std::string message) {
  if (error.empty()) {
    error = std::move(message);
    error_column = column;
  }
  return kNoExpr;
}

ExprId ExprParser::Parse() { return Binary(0); }

ExprId ExprParser::Binary(int level) {
  if (level == kLevels) return Unary();
  ExprId left = Binary(level + 1);
  while (left != kNoExpr) {
    const Token& t = Peek();
    const BinaryOp* found = nullptr;
    for (size_t i = 0; i < kTable[level].count; ++i)
      if (t.Is(kTable[level].ops[i].punct)) found = &kTable[level].ops[i];
    if (!found) break;
    // Operator chains build left-leaning trees that evaluation walks recursively: bound them.
    if (++operators_ > kMaxExprOperators) return Fail(t.column, "expression too long");
    ++pos_;
    ExprId right = Binary(level + 1);
    if (right == kNoExpr) return kNoExpr;
    left = arena_.Add({found->op, t.column, left, right, 0});
  }
  return left;
}

ExprId ExprParser::Unary() {
  const Token& t = Peek();
  ExprOp op;
  if (t.Is('-'))
    op = ExprOp::kNeg;
  else if (t.Is('~'))
    op = ExprOp::kNot;
  else if (t.Is('!'))
    op = ExprOp::kLogicalNot;
  else if (t.Is('+'))
    op = ExprOp::kAdd;  // unary plus: nothing to build
  else
    return Primary();
  if (++depth_ > kMaxExprDepth) return Fail(t.column, "expression nested too deeply");
  ++pos_;
  ExprId operand = Unary();
  --depth_;
  if (operand == kNoExpr || op == ExprOp::kAdd) return operand;
  return arena_.Add({op, t.column, operand, 0, 0});
}

ExprId ExprParser::Primary() {
  const Token& t = Peek();
  switch (t.kind) {
    case Tok::kInt:
      ++pos_;
      return arena_.Add({ExprOp::kConst, t.column, 0, 0, static_cast<int64_t>(t.value)});
    case Tok::kIdent: {
      std::string message;
      uint32_t sym = resolve_(t, &message);
      if (sym == UINT32_MAX) return Fail(t.column, message);
      ++pos_;
      return arena_.Add({ExprOp::kSymbol, t.column, sym, 0, 0});
    }
    case Tok::kFloat:
      return Fail(t.column, "floating literal where an integer expression is needed");
    case Tok::kString: return Fail(t.column, "string where an expression is needed");
    case Tok::kEnd: return Fail(t.column, "expression expected");
    case Tok::kPunct:
      if (t.Is('$')) {
        ++pos_;
        return arena_.Add({ExprOp::kHere, t.column, 0, 0, 0});
      }
      if (t.Is('(')) {
        if (++depth_ > kMaxExprDepth) return Fail(t.column, "expression nested too deeply");
        ++pos_;
        ExprId inner = Binary(0);
        --depth_;
        if (inner == kNoExpr) return kNoExpr;
        if (!Peek().Is(')')) return Fail(Peek().column, "')' expected");
        ++pos_;
        return inner;
      }
      return Fail(t.column, "expression expected, found '" + std::string(t.text) + "'");
  }
  return kNoExpr;
}

namespace {

struct Evaluator {
  const ExprArena& arena;
  const SymbolValue& symbol;
  uint32_t here;
  EvalError* error;

  Value Fault(const ExprNode& n, const char* message) {
    if (error && error->message.empty()) {
      error->message = message;
      error->column = n.column;
    }
    return {};
  }

  Value Eval(ExprId id) {
    const ExprNode& n = arena[id];
    switch (n.op) {
      case ExprOp::kConst: return {n.value, true};
      case ExprOp::kHere: return {here, true};
      case ExprOp::kSymbol: {
        Value v = symbol(n.a);
        if (!v.known && error && error->unknown_symbol == UINT32_MAX) {
          error->unknown_symbol = n.a;
          if (error->message.empty()) error->column = n.column;
        }
        return v;
      }
      case ExprOp::kNeg:
      case ExprOp::kNot:
      case ExprOp::kLogicalNot: {
        Value a = Eval(n.a);
        if (!a.known) return a;
        uint64_t u = static_cast<uint64_t>(a.v);
        if (n.op == ExprOp::kNeg) return {static_cast<int64_t>(0 - u), true};
        if (n.op == ExprOp::kNot) return {static_cast<int64_t>(~u), true};
        return {a.v == 0, true};
      }
      default: break;
    }
    Value a = Eval(n.a);
    Value b = Eval(n.b);
    if (!a.known || !b.known) return {};
    const uint64_t ua = static_cast<uint64_t>(a.v), ub = static_cast<uint64_t>(b.v);
    auto wrap = [](uint64_t u) { return Value{static_cast<int64_t>(u), true}; };
    switch (n.op) {
      case ExprOp::kMul: return wrap(ua * ub);
      case ExprOp::kDiv:
      case ExprOp::kMod:
        if (b.v == 0) return Fault(n, "division by zero");
        if (b.v == -1) return wrap(n.op == ExprOp::kDiv ? 0 - ua : 0);  // no INT64_MIN trap
        return {n.op == ExprOp::kDiv ? a.v / b.v : a.v % b.v, true};
      case ExprOp::kAdd: return wrap(ua + ub);
      case ExprOp::kSub: return wrap(ua - ub);
      case ExprOp::kShl:
      case ExprOp::kShr:
        if (b.v < 0 || b.v > 63) return Fault(n, "shift count outside 0..63");
        // >> is arithmetic, as in C on our compilers; write a mask for a logical shift.
        return n.op == ExprOp::kShl ? wrap(ua << b.v) : Value{a.v >> b.v, true};
      case ExprOp::kLt: return {a.v < b.v, true};
      case ExprOp::kLe: return {a.v <= b.v, true};
      case ExprOp::kGt: return {a.v > b.v, true};
      case ExprOp::kGe: return {a.v >= b.v, true};
      case ExprOp::kEq: return {a.v == b.v, true};
      case ExprOp::kNe: return {a.v != b.v, true};
      case ExprOp::kAnd: return wrap(ua & ub);
      case ExprOp::kXor: return wrap(ua ^ ub);
      case ExprOp::kOr: return wrap(ua | ub);
      case ExprOp::kLogicalAnd: return {a.v != 0 && b.v != 0, true};
      case ExprOp::kLogicalOr: return {a.v != 0 || b.v != 0, true};
      default: return {};
    }
  }
};

}  // namespace

Value Evaluate(const ExprArena& arena, ExprId id, const SymbolValue& symbol, uint32_t here,
               EvalError* error) {
  return Evaluator{arena, symbol, here, error}.Eval(id);
}

}  // namespace orva::qxasm
