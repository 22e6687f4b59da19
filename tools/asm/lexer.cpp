#include "lexer.h"

#include <cerrno>
#include <cstdlib>

namespace orva::qxasm {

namespace {

bool IsIdentStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '.';
}
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads an integer or floating literal at s[i]. Returns false with a message on a malformed one.
bool LexNumber(std::string_view s, size_t& i, Token& t, std::string& error) {
  const size_t start = i;
  uint64_t v = 0;
  bool overflow = false;
  auto accumulate = [&](unsigned base, int digit) {
    if (v > (UINT64_MAX - static_cast<uint64_t>(digit)) / base) overflow = true;
    v = v * base + static_cast<uint64_t>(digit);
  };
  if (s[i] == '0' && i + 1 < s.size() &&
      (s[i + 1] == 'x' || s[i + 1] == 'X' || s[i + 1] == 'b' || s[i + 1] == 'B')) {
    const unsigned base = (s[i + 1] == 'x' || s[i + 1] == 'X') ? 16 : 2;
    i += 2;
    size_t digits = 0;
    for (; i < s.size(); ++i) {
      int d = HexValue(s[i]);
      if (s[i] == '_') continue;
      if (d < 0 || d >= static_cast<int>(base)) break;
      accumulate(base, d);
      ++digits;
    }
    if (digits == 0) {
      error = base == 16 ? "hexadecimal number without digits" : "binary number without digits";
      return false;
    }
  } else {
    while (i < s.size() && (IsDigit(s[i]) || s[i] == '_')) {
      if (s[i] != '_') accumulate(10, s[i] - '0');
      ++i;
    }
    bool is_float = false;
    if (i + 1 < s.size() && s[i] == '.' && IsDigit(s[i + 1])) {
      is_float = true;
      for (++i; i < s.size() && IsDigit(s[i]); ++i) {
      }
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
      size_t j = i + 1;
      if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
      if (j < s.size() && IsDigit(s[j])) {
        is_float = true;
        for (i = j; i < s.size() && IsDigit(s[i]); ++i) {
        }
      }
    }
    if (is_float) {
      t.kind = Tok::kFloat;
      t.str = std::string(s.substr(start, i - start));
      std::erase(t.str, '_');
      errno = 0;
      t.fvalue = std::strtod(t.str.c_str(), nullptr);
      if (errno == ERANGE && (t.fvalue > 1 || t.fvalue < -1)) {
        error = "floating literal out of range";
        return false;
      }
      if (i < s.size() && IsIdentChar(s[i])) {
        error = "malformed number";
        return false;
      }
      return true;
    }
  }
  if (i < s.size() && IsIdentChar(s[i])) {
    error = "malformed number";
    return false;
  }
  if (overflow) {
    error = "number does not fit 64 bits";
    return false;
  }
  t.kind = Tok::kInt;
  t.value = v;
  return true;
}

}  // namespace

std::string ToLower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool DecodeEscape(std::string_view s, size_t& i, std::string& out) {
  if (i >= s.size()) return false;
  char c = s[i++];
  switch (c) {
    case 'n': out += '\n'; return true;
    case 'r': out += '\r'; return true;
    case 't': out += '\t'; return true;
    case '0': out += '\0'; return true;
    case 'e': out += '\x1B'; return true;
    case '\\': out += '\\'; return true;
    case '"': out += '"'; return true;
    case '\'': out += '\''; return true;
    case 'x': {
      int v = 0, n = 0;
      while (n < 2 && i < s.size() && HexValue(s[i]) >= 0) v = v * 16 + HexValue(s[i++]), ++n;
      if (n == 0) return false;
      out += static_cast<char>(v);
      return true;
    }
    default: return false;
  }
}

std::vector<Token> Tokenize(std::string_view s, LexError* error) {
  std::vector<Token> tokens;
  tokens.reserve(8);
  error->column = 0;
  error->message.clear();
  size_t i = 0;
  auto fail = [&](size_t at, std::string message) {
    error->column = static_cast<uint32_t>(at + 1);
    error->message = std::move(message);
  };
  while (true) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\f')) ++i;
    Token t;
    t.column = static_cast<uint32_t>(i + 1);
    if (i >= s.size() || s[i] == ';') {
      t.kind = Tok::kEnd;
      tokens.push_back(std::move(t));
      return tokens;
    }
    const size_t start = i;
    const char c = s[i];
    if (IsIdentStart(c)) {
      while (i < s.size() && IsIdentChar(s[i])) ++i;
      t.kind = Tok::kIdent;
    } else if (IsDigit(c)) {
      std::string message;
      if (!LexNumber(s, i, t, message)) {
        fail(start, message);
        break;
      }
    } else if (c == '\'') {
      // A character constant: one byte or one escape.
      std::string bytes;
      ++i;
      if (i < s.size() && s[i] == '\\') {
        ++i;
        if (!DecodeEscape(s, i, bytes)) {
          fail(i - 1, "unknown escape in character constant");
          break;
        }
      } else if (i < s.size() && s[i] != '\'') {
        bytes += s[i++];
      }
      if (bytes.size() != 1 || i >= s.size() || s[i] != '\'') {
        fail(start, "character constant must hold one character");
        break;
      }
      ++i;
      t.kind = Tok::kInt;
      t.value = static_cast<uint8_t>(bytes[0]);
    } else if (c == '"') {
      ++i;
      bool closed = false;
      while (i < s.size()) {
        if (s[i] == '"') {
          closed = true;
          ++i;
          break;
        }
        if (s[i] == '\\') {
          ++i;
          if (!DecodeEscape(s, i, t.str)) {
            fail(i - 1, "unknown escape in string");
            break;
          }
          continue;
        }
        t.str += s[i++];
      }
      if (!error->message.empty()) break;
      if (!closed) {
        fail(start, "string without its closing quote mark");
        break;
      }
      t.kind = Tok::kString;
    } else {
      t.kind = Tok::kPunct;
      const char n = i + 1 < s.size() ? s[i + 1] : '\0';
      uint16_t two = 0;
      if (c == '<' && n == '<')
        two = kShl;
      else if (c == '>' && n == '>')
        two = kShr;
      else if (c == '=' && n == '=')
        two = kEq;
      else if (c == '!' && n == '=')
        two = kNe;
      else if (c == '<' && n == '=')
        two = kLe;
      else if (c == '>' && n == '=')
        two = kGe;
      else if (c == '&' && n == '&')
        two = kAndAnd;
      else if (c == '|' && n == '|')
        two = kOrOr;
      if (two) {
        t.punct = two;
        i += 2;
      } else if (std::string_view("+-*/%&|^~!()[],:#=<>$").find(c) != std::string_view::npos) {
        t.punct = static_cast<uint8_t>(c);
        ++i;
      } else {
        fail(start, (c >= 32 && c < 127) ? std::string("unexpected character '") + c + "'"
                                         : "unexpected byte in source");
        break;
      }
    }
    t.length = static_cast<uint32_t>(i - start);
    t.text = s.substr(start, i - start);
    tokens.push_back(std::move(t));
  }
  Token end;
  end.column = static_cast<uint32_t>(i + 1);
  tokens.push_back(std::move(end));
  return tokens;
}

}  // namespace orva::qxasm
