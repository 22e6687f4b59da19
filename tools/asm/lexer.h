// Splits one source line into tokens. A ';' outside a string or character constant ends the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orva::qxasm {

enum class Tok : uint8_t {
  kEnd,     // end of the line (always the last token)
  kIdent,   // [A-Za-z_.][A-Za-z0-9_.]*  (names, mnemonics, directives, registers)
  kInt,     // integer literal or character constant; value in `value`
  kFloat,   // decimal literal with a '.' or an exponent; value in `fvalue`
  kString,  // "..." with escapes decoded into `str`
  kPunct,   // operator or separator; code in `punct`
};

// Two-character operators get codes above the byte range.
enum Punct : uint16_t {
  kShl = 256,  // <<
  kShr,        // >>
  kEq,         // ==
  kNe,         // !=
  kLe,         // <=
  kGe,         // >=
  kAndAnd,     // &&
  kOrOr,       // ||
};

struct Token {
  Tok kind = Tok::kEnd;
  uint16_t punct = 0;
  uint32_t column = 0;  // 1-based
  uint32_t length = 0;  // bytes of source text
  uint64_t value = 0;
  double fvalue = 0;
  std::string_view text;  // the source text (valid while the line is)
  std::string str;        // kString: the decoded bytes; kFloat: the literal as written

  bool Is(uint16_t p) const { return kind == Tok::kPunct && punct == p; }
};

struct LexError {
  uint32_t column;
  std::string message;
};

// Tokenizes `line`. On a malformed token the tokens before it are returned with `error` set.
// The last token is always kEnd.
std::vector<Token> Tokenize(std::string_view line, LexError* error);

// Decodes one escape after a backslash at s[i] (i at the character after '\'); advances i.
// Returns false for an unknown escape.
bool DecodeEscape(std::string_view s, size_t& i, std::string& out);

std::string ToLower(std::string_view s);

}  // namespace orva::qxasm
