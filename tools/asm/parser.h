// Turns the tokens of one line into statements: labels, constants, data and section directives,
// and instructions with their encoding plan. The reader (frontend.h) handles the directives that
// steer reading (.include, .macro, .rept, .if...) before a line gets here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lexer.h"
#include "mnemonics.h"
#include "program.h"
#include "source.h"

namespace orva::qxasm {

class Parser {
 public:
  Parser(Program& program, Diagnostics& diag) : p_(program), diag_(diag) {}

  // Defines the labels at the head of the line (name ':' ...) and returns the position of the
  // first token after them.
  size_t Labels(const std::vector<Token>& t, uint32_t line_id);

  // Parses the statement that starts at t[pos] (after the labels).
  void Statement(const std::vector<Token>& t, size_t pos, uint32_t line_id);

  // Defines a constant from the command line (-D).
  void Predefine(const std::string& name, int64_t value);

  // Parses an expression at t[pos] for the reader (.if, .rept) and evaluates it with what is
  // known while reading. Reports and returns nullopt when it cannot.
  std::optional<int64_t> EarlyValue(const std::vector<Token>& t, size_t& pos, uint32_t line_id);

  // Whether a symbol of that name has been defined by now (.ifdef).
  bool IsDefined(const Token& name) const;

  // True when the name is reserved (a register name or fp).
  static bool IsReserved(std::string_view name);

 private:
  uint32_t Resolve(const Token& name, std::string* error);
  std::string FullName(std::string_view name) const;
  void Error(uint32_t line_id, uint32_t column, std::string message) {
    diag_.Error({line_id, column}, std::move(message));
  }
  ExprId Expression(const std::vector<Token>& t, size_t& pos, uint32_t line_id);
  bool ExpectEnd(const std::vector<Token>& t, size_t pos, uint32_t line_id);
  bool ExpectComma(const std::vector<Token>& t, size_t& pos, uint32_t line_id);
  void Define(const Token& name, SymKind kind, uint32_t line_id, ExprId value);
  Value Early(ExprId id) const;

  void Directive(const std::vector<Token>& t, size_t pos, uint32_t line_id);
  void DataDirective(const std::vector<Token>& t, size_t pos, uint32_t line_id, uint8_t width,
                     bool floating);
  void Instruction(const std::vector<Token>& t, size_t pos, uint32_t line_id);
  bool Operand(const std::vector<Token>& t, size_t& pos, uint32_t line_id, Opnd& out);
  bool PlanInstruction(Instr& in, MnKind kind, int nops, const std::string& mnemonic,
                       uint32_t column, uint32_t line_id);

  Stmt& Add(StmtKind kind, uint32_t line_id, uint32_t column);

  Program& p_;
  Diagnostics& diag_;
  Section section_ = Section::kCode;
  Section previous_ = Section::kCode;  // .previous goes back there
  std::string scope_;                  // the latest global label; local labels (.name) belong to it
  bool seen_stack_ = false, seen_heap_ = false, seen_version_ = false;
};

}  // namespace orva::qxasm
