#include "parser.h"

#include "mnemonics.h"
#include "vm/encode.h"
#include "vm/isa.h"

namespace orva::qxasm {

namespace isa = vm::isa;

namespace {

// rN with N decimal; case does not matter. A number too large for any use gives UINT64_MAX,
// which every operand check then refuses.
bool ParseRegister(std::string_view name, uint64_t* n) {
  if (name.size() < 2 || (name[0] != 'r' && name[0] != 'R')) return false;
  uint64_t v = 0;
  for (char c : name.substr(1)) {
    if (c < '0' || c > '9') return false;
    v = v > UINT32_MAX ? UINT64_MAX : v * 10 + static_cast<uint64_t>(c - '0');
  }
  *n = v;
  return true;
}

bool IsFp(std::string_view name) { return ToLower(name) == "fp"; }

bool IsEnd(const Token& t) { return t.kind == Tok::kEnd; }
bool EndsOperand(const Token& t) { return IsEnd(t) || t.Is(','); }

// A bare operand: an expression written without '#', such as a branch target or a count.
bool IsBare(const Opnd& o) { return o.kind == OpndKind::kImm && !o.hash && !o.is_float; }

bool Matches(isa::Operand slot, const Opnd& o, bool want_short) {
  using isa::Operand;
  switch (slot) {
    case Operand::kReg1:
    case Operand::kReg2: return o.kind == OpndKind::kReg;
    case Operand::kFpD16:
    case Operand::kFpX1: return o.kind == OpndKind::kFp;
    case Operand::kAbsX1:
    case Operand::kAbsX2: return o.kind == OpndKind::kAbs;
    case Operand::kR1X1:
    case Operand::kR1X2:
    case Operand::kR2X1:
    case Operand::kR2X2: return o.kind == OpndKind::kRegDisp;
    case Operand::kImmX1:
    case Operand::kImmX2: return o.kind == OpndKind::kImm && !want_short;
    case Operand::kShort16:
    case Operand::kShort5: return o.kind == OpndKind::kImm && want_short;
  }
  return false;
}

}  // namespace

bool Parser::IsReserved(std::string_view name) {
  uint64_t n;
  return IsFp(name) || ParseRegister(name, &n);
}

std::string Parser::FullName(std::string_view name) const {
  if (!name.empty() && name[0] == '.') return scope_ + std::string(name);
  return std::string(name);
}

uint32_t Parser::Resolve(const Token& name, std::string* error) {
  if (IsReserved(name.text)) {
    *error = "register name '" + std::string(name.text) + "' in an expression";
    return UINT32_MAX;
  }
  return p_.Intern(FullName(name.text));
}

bool Parser::IsDefined(const Token& name) const {
  auto it = p_.symbol_index.find(FullName(name.text));
  return it != p_.symbol_index.end() && p_.symbols[it->second].kind != SymKind::kUndefined;
}

Value Parser::Early(ExprId id) const {
  if (id == kNoExpr) return {};
  return Evaluate(
      p_.exprs, id, [this](uint32_t s) { return p_.symbols[s].early; }, 0, nullptr);
}

Stmt& Parser::Add(StmtKind kind, uint32_t line_id, uint32_t column) {
  Stmt s{};
  s.kind = kind;
  s.section = section_;
  s.line_id = line_id;
  s.column = column;
  p_.stmts.push_back(s);
  return p_.stmts.back();
}

ExprId Parser::Expression(const std::vector<Token>& t, size_t& pos, uint32_t line_id) {
  SymbolResolver resolve = [this](const Token& name, std::string* error) {
    return Resolve(name, error);
  };
  ExprParser parser(p_.exprs, t, pos, resolve);
  ExprId id = parser.Parse();
  if (id == kNoExpr) Error(line_id, parser.error_column, parser.error);
  return id;
}

bool Parser::ExpectEnd(const std::vector<Token>& t, size_t pos, uint32_t line_id) {
  if (IsEnd(t[pos])) return true;
  Error(line_id, t[pos].column,
        "unexpected '" + std::string(t[pos].text) + "' at end of statement");
  return false;
}

bool Parser::ExpectComma(const std::vector<Token>& t, size_t& pos, uint32_t line_id) {
  if (t[pos].Is(',')) {
    ++pos;
    return true;
  }
  Error(line_id, t[pos].column,
        IsEnd(t[pos]) ? "',' expected" : "',' expected, found '" + std::string(t[pos].text) + "'");
  return false;
}

std::optional<int64_t> Parser::EarlyValue(const std::vector<Token>& t, size_t& pos,
                                          uint32_t line_id) {
  const uint32_t column = t[pos].column;
  ExprId id = Expression(t, pos, line_id);
  if (id == kNoExpr) return std::nullopt;
  Value v = Early(id);
  if (!v.known) {
    Error(line_id, column, "value must be known here: use numbers and constants defined above");
    return std::nullopt;
  }
  return v.v;
}

void Parser::Predefine(const std::string& name, int64_t value) {
  uint32_t s = p_.Intern(name);
  Symbol& sym = p_.symbols[s];
  sym.kind = SymKind::kConstant;
  sym.def = {UINT32_MAX, 0};
  sym.early = sym.value = {value, true};
  ExprId e = p_.exprs.Add({ExprOp::kConst, 0, 0, 0, value});
  Stmt& st = Add(StmtKind::kAssign, UINT32_MAX, 0);
  st.sym = s;
  st.a = e;
}

void Parser::Define(const Token& name, SymKind kind, uint32_t line_id, ExprId value) {
  if (IsReserved(name.text)) {
    Error(line_id, name.column, "'" + std::string(name.text) + "' is a register name");
    return;
  }
  const std::string full = FullName(name.text);
  if (kind == SymKind::kLabel && name.text[0] != '.') scope_ = full;
  const uint32_t s = p_.Intern(full);
  Symbol& sym = p_.symbols[s];
  const bool redefinable = kind == SymKind::kVariable && sym.kind == SymKind::kVariable;
  if (sym.kind != SymKind::kUndefined && !redefinable) {
    std::string where;
    if (sym.def.line_id < p_.files.lines.size()) {
      const LineInfo& li = p_.files.lines[sym.def.line_id];
      where = " (first defined at " + p_.files.names[li.file] + ":" + std::to_string(li.line) + ")";
    } else {
      where = " (defined on the command line)";
    }
    Error(line_id, name.column, "'" + full + "' is already defined" + where);
    return;
  }
  sym.kind = kind;
  sym.def = {line_id, name.column};
  Stmt& st =
      Add(kind == SymKind::kLabel ? StmtKind::kLabel : StmtKind::kAssign, line_id, name.column);
  st.sym = s;
  st.a = value;
  if (kind != SymKind::kLabel) p_.symbols[s].early = Early(value);
}

size_t Parser::Labels(const std::vector<Token>& t, uint32_t line_id) {
  size_t pos = 0;
  while (t[pos].kind == Tok::kIdent && t[pos + 1].Is(':')) {
    Define(t[pos], SymKind::kLabel, line_id, kNoExpr);
    pos += 2;
  }
  return pos;
}

void Parser::Statement(const std::vector<Token>& t, size_t pos, uint32_t line_id) {
  const Token& head = t[pos];
  if (IsEnd(head)) return;
  if (head.kind == Tok::kIdent && t[pos + 1].Is('=')) {
    pos += 2;
    ExprId value = Expression(t, pos, line_id);
    if (value == kNoExpr || !ExpectEnd(t, pos, line_id)) return;
    Define(head, SymKind::kConstant, line_id, value);
    return;
  }
  if (head.kind != Tok::kIdent) {
    Error(line_id, head.column, "instruction, directive or label expected");
    return;
  }
  if (head.text[0] == '.') return Directive(t, pos, line_id);
  Instruction(t, pos, line_id);
}

// ---------------------------------------------------------------------------------------------
// Directives

void Parser::Directive(const std::vector<Token>& t, size_t pos, uint32_t line_id) {
  const Token& head = t[pos];
  const std::string name = ToLower(head.text);
  ++pos;
  auto initialised = [&] {
    if (section_ != Section::kBss) return true;
    Error(line_id, head.column, "initialised data in .bss (only labels, .space and .align)");
    return false;
  };
  auto section = [&](Section s) {
    if (!ExpectEnd(t, pos, line_id)) return;
    previous_ = section_;
    section_ = s;
    Add(StmtKind::kSection, line_id, head.column);
  };

  if (name == ".code") return section(Section::kCode);
  if (name == ".data") return section(Section::kData);
  if (name == ".bss") return section(Section::kBss);
  if (name == ".previous") return section(previous_);
  if (name == ".byte") return initialised() ? DataDirective(t, pos, line_id, 1, false) : void();
  if (name == ".word") return initialised() ? DataDirective(t, pos, line_id, 2, false) : void();
  if (name == ".long") return initialised() ? DataDirective(t, pos, line_id, 4, false) : void();
  if (name == ".quad") return initialised() ? DataDirective(t, pos, line_id, 8, false) : void();
  if (name == ".float") return initialised() ? DataDirective(t, pos, line_id, 4, true) : void();
  if (name == ".double") return initialised() ? DataDirective(t, pos, line_id, 8, true) : void();
  if (name == ".ascii" || name == ".asciz") {
    if (!initialised()) return;
    std::string bytes;
    while (true) {
      if (t[pos].kind != Tok::kString) {
        Error(line_id, t[pos].column, "string expected");
        return;
      }
      bytes += t[pos].str;
      if (name == ".asciz") bytes += '\0';
      ++pos;
      if (IsEnd(t[pos])) break;
      if (!ExpectComma(t, pos, line_id)) return;
    }
    p_.strings.push_back(std::move(bytes));
    Stmt& st = Add(StmtKind::kBytes, line_id, head.column);
    st.first = static_cast<uint32_t>(p_.strings.size() - 1);
    return;
  }
  if (name == ".space" || name == ".align") {
    ExprId a = Expression(t, pos, line_id), b = kNoExpr;
    if (a == kNoExpr) return;
    if (t[pos].Is(',')) {
      ++pos;
      b = Expression(t, pos, line_id);
      if (b == kNoExpr) return;
    }
    if (!ExpectEnd(t, pos, line_id)) return;
    Stmt& st = Add(name == ".space" ? StmtKind::kSpace : StmtKind::kAlign, line_id, head.column);
    st.a = a;
    st.b = b;
    return;
  }
  if (name == ".equ" || name == ".set") {
    const Token& sym = t[pos];
    if (sym.kind != Tok::kIdent) {
      Error(line_id, sym.column, "symbol name expected");
      return;
    }
    ++pos;
    if (!ExpectComma(t, pos, line_id)) return;
    ExprId value = Expression(t, pos, line_id);
    if (value == kNoExpr || !ExpectEnd(t, pos, line_id)) return;
    Define(sym, name == ".set" ? SymKind::kVariable : SymKind::kConstant, line_id, value);
    return;
  }
  if (name == ".stack" || name == ".heap" || name == ".version") {
    bool& seen = name == ".stack" ? seen_stack_ : name == ".heap" ? seen_heap_ : seen_version_;
    ExprId a = Expression(t, pos, line_id), b = kNoExpr;
    if (a == kNoExpr) return;
    if (name == ".version") {
      if (!ExpectComma(t, pos, line_id)) return;
      b = Expression(t, pos, line_id);
      if (b == kNoExpr) return;
    }
    if (!ExpectEnd(t, pos, line_id)) return;
    if (seen) {
      Error(line_id, head.column, name + " given twice");
      return;
    }
    seen = true;
    Stmt& st = Add(name == ".stack"  ? StmtKind::kStack
                   : name == ".heap" ? StmtKind::kHeap
                                     : StmtKind::kVersion,
                   line_id, head.column);
    st.a = a;
    st.b = b;
    return;
  }
  Error(line_id, head.column, "unknown directive '" + std::string(head.text) + "'");
}

void Parser::DataDirective(const std::vector<Token>& t, size_t pos, uint32_t line_id, uint8_t width,
                           bool floating) {
  const uint32_t first = static_cast<uint32_t>(p_.items.size());
  const uint32_t column = t[pos - 1].column;
  while (true) {
    DataItem item;
    item.column = t[pos].column;
    const bool negative_float = t[pos].Is('-') && t[pos + 1].kind == Tok::kFloat;
    if (t[pos].kind == Tok::kString && width == 1) {
      p_.strings.push_back(t[pos].str);
      item.string = static_cast<uint32_t>(p_.strings.size() - 1);
      ++pos;
    } else if (t[pos].kind == Tok::kFloat || negative_float) {
      if (!floating) {
        Error(line_id, t[pos].column, "floating literal in integer data (use .float or .double)");
        return;
      }
      item.is_float = true;
      item.fvalue = negative_float ? -t[pos + 1].fvalue : t[pos].fvalue;
      pos += negative_float ? 2 : 1;
      if (!EndsOperand(t[pos])) {
        Error(line_id, t[pos].column, "floating literals take no arithmetic");
        return;
      }
    } else {
      item.expr = Expression(t, pos, line_id);
      if (item.expr == kNoExpr) return;
    }
    p_.items.push_back(item);
    if (IsEnd(t[pos])) break;
    if (!ExpectComma(t, pos, line_id)) return;
  }
  Stmt& st = Add(floating ? StmtKind::kFloat : StmtKind::kData, line_id, column);
  st.width = width;
  st.first = first;
  st.count = static_cast<uint32_t>(p_.items.size()) - first;
}

// ---------------------------------------------------------------------------------------------
// Instructions

bool Parser::Operand(const std::vector<Token>& t, size_t& pos, uint32_t line_id, Opnd& out) {
  out.column = t[pos].column;
  if (t[pos].Is('[')) {
    ++pos;
    const Token& base = t[pos];
    uint64_t n = 0;
    if (base.kind == Tok::kIdent && (IsFp(base.text) || ParseRegister(base.text, &n))) {
      out.kind = IsFp(base.text) ? OpndKind::kFp : OpndKind::kRegDisp;
      out.reg = n;
      ++pos;
      if (t[pos].Is('+') || t[pos].Is('-')) {
        // The sign belongs to the displacement: [fp-4+x] is fp + (-4 + x).
        out.expr = Expression(t, pos, line_id);
        if (out.expr == kNoExpr) return false;
      } else if (!t[pos].Is(']')) {
        Error(line_id, t[pos].column, "'+', '-' or ']' expected after the base register");
        return false;
      }
    } else {
      out.kind = OpndKind::kAbs;
      out.expr = Expression(t, pos, line_id);
      if (out.expr == kNoExpr) return false;
    }
    if (!t[pos].Is(']')) {
      Error(line_id, t[pos].column, "']' expected");
      return false;
    }
    ++pos;
  } else {
    uint64_t n;
    if (t[pos].kind == Tok::kIdent && ParseRegister(t[pos].text, &n)) {
      out.kind = OpndKind::kReg;
      out.reg = n;
      ++pos;
    } else {
      out.kind = OpndKind::kImm;
      if (t[pos].Is('#')) {
        out.hash = true;
        ++pos;
        if (t[pos].Is('!')) {
          out.force_long = true;
          ++pos;
        }
      }
      const bool negative_float = t[pos].Is('-') && t[pos + 1].kind == Tok::kFloat;
      if (t[pos].kind == Tok::kFloat || negative_float) {
        out.is_float = true;
        out.fvalue = negative_float ? -t[pos + 1].fvalue : t[pos].fvalue;
        pos += negative_float ? 2 : 1;
      } else {
        out.expr = Expression(t, pos, line_id);
        if (out.expr == kNoExpr) return false;
      }
    }
  }
  if (!EndsOperand(t[pos])) {
    Error(line_id, t[pos].column, "',' or end of line expected after the operand");
    return false;
  }
  return true;
}

void Parser::Instruction(const std::vector<Token>& t, size_t pos, uint32_t line_id) {
  const Token& head = t[pos];
  const std::string mnemonic = ToLower(head.text);
  const size_t dot = mnemonic.find('.');
  const std::string base = mnemonic.substr(0, dot);
  const std::optional<Mnemonic> mn = LookupMnemonic(base);
  if (!mn) {
    Error(line_id, head.column, "unknown instruction '" + std::string(head.text) + "'");
    return;
  }
  if (section_ == Section::kBss) {
    Error(line_id, head.column, "instruction in .bss");
    return;
  }
  Instr in{};
  in.operation = mn->index;

  // The size suffix.
  std::optional<SizeSuffix> suffix;
  if (dot != std::string::npos) {
    suffix = ParseSizeSuffix(std::string_view(mnemonic).substr(dot + 1));
    if (!suffix) {
      Error(line_id, head.column + static_cast<uint32_t>(dot),
            "unknown size suffix '" + mnemonic.substr(dot) + "'");
      return;
    }
  }
  const bool sized =
      mn->kind == MnKind::kTwoOp || mn->kind == MnKind::kUnary || mn->kind == MnKind::kTestBranch;
  if (!sized && suffix) {
    Error(line_id, head.column, "'" + base + "' takes no size suffix");
    return;
  }
  if (sized) {
    bool floating_op = false, optional = false;
    if (mn->kind == MnKind::kTwoOp) {
      floating_op = isa::kOperations[mn->index].kind == isa::OpKind::kFloat;
      optional = isa::SizeIsOptionalTwoOp(mn->index);
    } else if (mn->kind == MnKind::kUnary) {
      floating_op = mn->index == isa::kUnaryFneg;
      optional = isa::SizeIsOptionalUnary(mn->index);
    }
    if (!suffix && !optional) {
      Error(line_id, head.column + static_cast<uint32_t>(base.size()),
            "'" + base + "' needs a size suffix (" +
                (floating_op ? ".f .d, or .b .w" : ".b .w .l .q") + ")");
      return;
    }
    if (suffix) {
      const bool float_letter = suffix->floating;
      const bool wide = suffix->size >= 2;
      if (float_letter && !floating_op) {
        Error(line_id, head.column, "'" + base + "' is not a floating operation: use .b .w .l .q");
        return;
      }
      if (floating_op && wide && !float_letter) {
        Error(line_id, head.column, "'" + base + "' takes .f or .d (or .b .w)");
        return;
      }
      in.size = suffix->size;
    } else {
      in.size = 2;
    }
  }

  // Operands.
  int nops = 0;
  ++pos;
  while (!IsEnd(t[pos])) {
    if (nops == 2) {
      Error(line_id, t[pos].column, "too many operands");
      return;
    }
    if (!Operand(t, pos, line_id, in.ops[nops])) return;
    ++nops;
    if (t[pos].Is(',')) {
      ++pos;
      if (IsEnd(t[pos])) {
        Error(line_id, t[pos].column, "operand expected after ','");
        return;
      }
    }
  }
  if (!PlanInstruction(in, mn->kind, nops, base, head.column, line_id)) return;
  p_.instrs.push_back(in);
  Stmt& st = Add(StmtKind::kInstr, line_id, head.column);
  st.first = static_cast<uint32_t>(p_.instrs.size() - 1);
}

// Chooses the encoding from the operand kinds, or reports why none fits.
bool Parser::PlanInstruction(Instr& in, MnKind kind, int nops, const std::string& name,
                             uint32_t column, uint32_t line_id) {
  auto count = [&](int lo, int hi, const char* what) {
    if (nops >= lo && nops <= hi) return true;
    Error(line_id, column, "'" + name + "' takes " + what);
    return false;
  };
  auto bad = [&](const Opnd& o, std::string message) {
    Error(line_id, o.column, std::move(message));
    return false;
  };
  auto low_register = [&](const Opnd& o) {
    if ((o.kind != OpndKind::kReg && o.kind != OpndKind::kRegDisp) || o.reg <= 15) return true;
    return bad(o, "only r0-r15 can be used here");
  };
  auto bare = [&](const Opnd& o, const char* what) {
    if (o.kind == OpndKind::kNone || IsBare(o)) return true;
    return bad(o, std::string(what) + " expected (a plain expression, without '#' or brackets)");
  };

  Opnd& a = in.ops[0];
  Opnd& b = in.ops[1];
  switch (kind) {
    case MnKind::kTwoOp: {
      if (!count(2, 2, "two operands: destination, source")) return false;
      if (a.kind == OpndKind::kImm) return bad(a, "an immediate cannot be a destination");
      if (!low_register(a) || !low_register(b)) return false;
      if (b.is_float && in.size < 2) return bad(b, "a floating literal needs a .l/.q/.f/.d size");
      in.plan = Plan::kTwoOp;
      for (const isa::FormInfo& f : isa::kForms) {
        if (!Matches(f.dst, a, false)) continue;
        if (Matches(f.src, b, false)) in.form = f.form;
        if (Matches(f.src, b, true)) in.short_form = f.form;
      }
      if (in.form == 0) return bad(b, "no addressing form takes these operands");
      return true;
    }
    case MnKind::kUnary: {
      if (!count(1, 1, "one operand")) return false;
      if (a.kind == OpndKind::kImm) {
        if (in.operation != isa::kUnaryPush) return bad(a, "'" + name + "' takes no immediate");
        in.plan = Plan::kPushImm;
        switch (in.size) {
          case 0: return bad(a, "no byte push of an immediate: use push.w");
          case 1:
            if (a.is_float) return bad(a, "a floating literal needs push.l or push.q");
            break;
          default: break;
        }
        return true;
      }
      in.plan = Plan::kUnary;
      switch (a.kind) {
        case OpndKind::kReg:
          if (a.reg > 0xFFFF) return bad(a, "register slots end at r65535");
          in.form = isa::kUnarySlot;
          break;
        case OpndKind::kFp: in.form = isa::kUnaryFp; break;
        case OpndKind::kRegDisp:
          if (!low_register(a)) return false;
          in.form = isa::kUnaryRegDisp;
          break;
        default: in.form = isa::kUnaryAbs; break;
      }
      return true;
    }
    case MnKind::kTestBranch: {
      if (!count(2, 2, "two operands: the value tested and the branch target")) return false;
      in.plan = Plan::kTestBranch;
      if ((a.kind == OpndKind::kReg || a.kind == OpndKind::kRegDisp) && a.reg > UINT32_MAX)
        return bad(a, "register slots end at r4294967295");
      switch (a.kind) {
        case OpndKind::kReg: in.form = isa::kTbSlot; break;
        case OpndKind::kAbs: in.form = isa::kTbAbs; break;
        case OpndKind::kRegDisp:
          if (a.expr != kNoExpr) return bad(a, "test-and-branch takes [rN] without displacement");
          in.form = isa::kTbIndirect;
          break;
        case OpndKind::kFp: in.form = isa::kTbFp; break;
        default: return bad(a, "test-and-branch tests rN, [rN], [fp+d] or [address]");
      }
      return bare(b, "branch target");
    }
    case MnKind::kBranchFlags:
      if (!count(1, 1, "one operand: the branch target")) return false;
      in.plan = Plan::kBranchFlags;
      return bare(a, "branch target");
    case MnKind::kJump:
      if (!count(1, 1, "one operand: a target or [rN+table]")) return false;
      if (a.kind == OpndKind::kRegDisp) {
        in.plan = Plan::kJumpTable;
        return low_register(a);
      }
      in.plan = Plan::kJump;
      return bare(a, "jump target or [rN+table]");
    case MnKind::kJsr:
      if (!count(1, 2, "a target or register, and the argument byte count")) return false;
      if (a.kind == OpndKind::kReg) {
        in.plan = Plan::kJsrReg;
        if (!low_register(a)) return false;
      } else {
        in.plan = Plan::kJsr;
        if (!bare(a, "subroutine address or register")) return false;
      }
      return bare(b, "argument byte count");
    case MnKind::kEnter:
      if (!count(1, 2, "the number of saved registers and the bytes of locals")) return false;
      in.plan = Plan::kEnter;
      return bare(a, "register count") && bare(b, "byte count of locals");
    case MnKind::kReturn:
      if (!count(0, 1, "at most one operand: the number of saved registers")) return false;
      in.plan = Plan::kReturn;
      return bare(a, "register count");
    case MnKind::kFixed:
      if (!count(0, 0, "no operands")) return false;
      in.plan = Plan::kFixed;
      in.fixed = isa::kFixedInstructions[in.operation].word;
      return true;
  }
  return false;
}

}  // namespace orva::qxasm
