#include "host/event_script.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "host/keys.h"
#include "platform/text_encoding.h"

namespace orva::host {

namespace {

constexpr uint64_t kMaxMs = 1'000'000'000'000;  // about 31 years
constexpr double kMaxCoordinate = 1e6;
constexpr int64_t kMaxSide = 65535;

struct Kind {
  ScriptKind kind;
  std::string_view name;
};

constexpr Kind kKinds[] = {
    {ScriptKind::kKeyDown, "key-down"},
    {ScriptKind::kKeyUp, "key-up"},
    {ScriptKind::kText, "text"},
    {ScriptKind::kMouseMove, "mouse-move"},
    {ScriptKind::kMouseDown, "mouse-down"},
    {ScriptKind::kMouseUp, "mouse-up"},
    {ScriptKind::kWheel, "wheel"},
    {ScriptKind::kResize, "resize"},
    {ScriptKind::kMove, "move"},
    {ScriptKind::kMinimize, "minimize"},
    {ScriptKind::kRestore, "restore"},
    {ScriptKind::kFullScreenOn, "fullscreen"},
    {ScriptKind::kFullScreenOff, "fullscreen"},
    {ScriptKind::kFocusLost, "focus-lost"},
    {ScriptKind::kFocusGained, "focus-gained"},
    {ScriptKind::kClose, "close"},
    {ScriptKind::kQuit, "quit"},
    {ScriptKind::kClipboard, "clipboard"},
};

constexpr std::string_view kButtons[] = {"left", "middle", "right", "x1", "x2"};

std::string_view KindName(ScriptKind kind) {
  for (const auto& k : kKinds)
    if (k.kind == kind) return k.name;
  return "?";
}

struct Token {
  std::string text;
  bool quoted = false;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Splits one line into words and quoted strings, up to a comment. Returns an error text.
std::optional<std::string> Tokenize(std::string_view line, std::vector<Token>& out) {
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      Token t{{}, true};
      for (++i;; ++i) {
        if (i >= line.size()) return "a string has no closing quote";
        if (line[i] == '"') break;
        if (line[i] != '\\') {
          t.text += line[i];
          continue;
        }
        if (++i >= line.size()) return "a string has no closing quote";
        switch (line[i]) {
          case '"': t.text += '"'; break;
          case '\\': t.text += '\\'; break;
          case 'n': t.text += '\n'; break;
          case 'r': t.text += '\r'; break;
          case 't': t.text += '\t'; break;
          case 'x': {
            int hi = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
            int lo = i + 2 < line.size() ? HexDigit(line[i + 2]) : -1;
            if (hi < 0 || lo < 0) return "\\x needs two hexadecimal digits";
            t.text += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
          }
          default: return std::string("unknown escape \\") + line[i];
        }
      }
      ++i;
      if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#')
        return "a string must be followed by a space";
      out.push_back(std::move(t));
    } else {
      size_t start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
      out.push_back({std::string(line.substr(start, i - start)), false});
    }
  }
  return std::nullopt;
}

std::optional<double> Number(const Token& t) {
  double v = 0;
  const char* end = t.text.data() + t.text.size();
  auto [p, ec] = std::from_chars(t.text.data(), end, v);
  if (t.quoted || ec != std::errc{} || p != end || !std::isfinite(v) ||
      std::fabs(v) > kMaxCoordinate)
    return std::nullopt;
  return v;
}

std::optional<int64_t> Integer(const Token& t) {
  int64_t v = 0;
  const char* end = t.text.data() + t.text.size();
  auto [p, ec] = std::from_chars(t.text.data(), end, v);
  if (t.quoted || ec != std::errc{} || p != end) return std::nullopt;
  return v;
}

// Reads the arguments of `out.kind` from `args`; returns an error text.
std::optional<std::string> ReadArguments(const std::vector<Token>& args, std::string_view kind,
                                         ScriptLine& out) {
  auto count = [&](size_t n, const char* form) -> std::optional<std::string> {
    if (args.size() == n) return std::nullopt;
    return std::string(kind) + " takes " + form;
  };
  switch (out.kind) {
    case ScriptKind::kKeyDown:
    case ScriptKind::kKeyUp: {
      if (auto e = count(1, "a key name")) return e;
      auto scancode = ScancodeFromName(args[0].text);
      if (!scancode) return "unknown key '" + args[0].text + "'";
      out.scancode = *scancode;
      return std::nullopt;
    }
    case ScriptKind::kText:
    case ScriptKind::kClipboard:
      if (auto e = count(1, "one string")) return e;
      if (!platform::IsUtf8(args[0].text)) return std::string(kind) + " is not UTF-8";
      out.text = args[0].text;
      return std::nullopt;
    case ScriptKind::kMouseDown:
    case ScriptKind::kMouseUp: {
      if (auto e = count(3, "a button (left, middle, right, x1, x2) and X Y")) return e;
      for (int b = 0; b < 5; ++b)
        if (args[0].text == kButtons[b] && !args[0].quoted) out.button = b + 1;
      if (out.button == 0) return "unknown button '" + args[0].text + "'";
      auto x = Number(args[1]), y = Number(args[2]);
      if (!x || !y) return std::string(kind) + " needs numbers X Y";
      out.x = *x;
      out.y = *y;
      return std::nullopt;
    }
    case ScriptKind::kMouseMove:
    case ScriptKind::kWheel: {
      if (auto e = count(2, "two numbers")) return e;
      auto x = Number(args[0]), y = Number(args[1]);
      if (!x || !y) return std::string(kind) + " needs two numbers";
      out.x = *x;
      out.y = *y;
      return std::nullopt;
    }
    case ScriptKind::kResize: {
      if (auto e = count(2, "WIDTH HEIGHT")) return e;
      auto w = Integer(args[0]), h = Integer(args[1]);
      if (!w || !h || *w < 1 || *h < 1 || *w > kMaxSide || *h > kMaxSide)
        return "resize needs WIDTH HEIGHT, whole numbers from 1 to 65535";
      out.x = static_cast<double>(*w);
      out.y = static_cast<double>(*h);
      return std::nullopt;
    }
    case ScriptKind::kMove: {
      if (auto e = count(2, "X Y")) return e;
      auto x = Integer(args[0]), y = Integer(args[1]);
      constexpr int64_t kLimit = static_cast<int64_t>(kMaxCoordinate);
      if (!x || !y || *x < -kLimit || *x > kLimit || *y < -kLimit || *y > kLimit)
        return "move needs X Y, whole numbers";
      out.x = static_cast<double>(*x);
      out.y = static_cast<double>(*y);
      return std::nullopt;
    }
    case ScriptKind::kFullScreenOn:
    case ScriptKind::kFullScreenOff:
      if (args.size() != 1 || args[0].quoted || (args[0].text != "on" && args[0].text != "off"))
        return "fullscreen takes on or off";
      out.kind = args[0].text == "on" ? ScriptKind::kFullScreenOn : ScriptKind::kFullScreenOff;
      return std::nullopt;
    default: return count(0, "no arguments");
  }
}

std::string Quoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    uint8_t b = static_cast<uint8_t>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (b < 0x20 || b == 0x7F) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", b);
          out += hex;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string KeyName(uint16_t scancode) {
  std::string_view name = ScancodeName(scancode);
  if (name.empty()) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", scancode);
    return hex;
  }
  if (name.find_first_of(" #\"") != std::string_view::npos) return Quoted(name);
  return std::string(name);
}

// The shortest text that reads back as the same number. Whole numbers are written without an
// exponent: the shortest form of 1000000 is "1e+06", which the whole-number arguments of move
// and resize do not read.
std::string Num(double v) {
  if (v == std::trunc(v) && std::fabs(v) <= kMaxCoordinate)
    return std::to_string(static_cast<int64_t>(v));
  char text[32];
  auto [end, ec] = std::to_chars(text, text + sizeof text, v);
  return ec == std::errc{} ? std::string(text, end) : "0";
}

}  // namespace

std::variant<std::vector<ScriptLine>, std::string> ParseEventScript(std::string_view text,
                                                                    std::string_view name) {
  std::vector<ScriptLine> lines;
  int number = 0;
  // Directly after a key-down without its text, at the same time, a text line is its text.
  bool text_may_follow = false;
  while (!text.empty()) {
    ++number;
    size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);

    auto fail = [&](const std::string& what) {
      return std::string(name) + ":" + std::to_string(number) + ": " + what;
    };
    std::vector<Token> tokens;
    if (auto error = Tokenize(line, tokens)) return fail(*error);
    if (tokens.empty()) continue;
    if (tokens.size() < 2) return fail("an event needs a time and a kind");

    ScriptLine out;
    out.line = number;
    auto ms = Integer(tokens[0]);
    if (!ms || *ms < 0 || static_cast<uint64_t>(*ms) > kMaxMs)
      return fail("the time must be whole milliseconds, not '" + tokens[0].text + "'");
    out.ms = static_cast<uint64_t>(*ms);
    if (!lines.empty() && out.ms < lines.back().ms)
      return fail("the time goes back (" + std::to_string(out.ms) + " after " +
                  std::to_string(lines.back().ms) + ")");

    std::string_view kind = tokens[1].text;
    bool known = false;
    for (const auto& k : kKinds) {
      if (k.name == kind && !tokens[1].quoted) {
        out.kind = k.kind;
        known = true;
        break;
      }
    }
    if (!known) return fail("unknown event '" + tokens[1].text + "'");
    std::vector<Token> args(tokens.begin() + 2, tokens.end());
    if (auto error = ReadArguments(args, kind, out)) return fail(*error);

    if (out.kind == ScriptKind::kText && text_may_follow && lines.back().ms == out.ms) {
      lines.back().text = std::move(out.text);
      lines.back().has_text = true;
      text_may_follow = false;
      continue;
    }
    text_may_follow = out.kind == ScriptKind::kKeyDown;
    lines.push_back(std::move(out));
  }
  return lines;
}

std::string FormatScriptLine(const ScriptLine& l) {
  std::string head = std::to_string(l.ms) + " ";
  std::string out = head + std::string(KindName(l.kind));
  switch (l.kind) {
    case ScriptKind::kKeyDown:
      out += " " + KeyName(l.scancode);
      if (l.has_text) out += "\n" + head + "text " + Quoted(l.text);
      break;
    case ScriptKind::kKeyUp: out += " " + KeyName(l.scancode); break;
    case ScriptKind::kText:
    case ScriptKind::kClipboard: out += " " + Quoted(l.text); break;
    case ScriptKind::kMouseDown:
    case ScriptKind::kMouseUp:
      out += " " + std::string(kButtons[std::clamp(l.button, 1, 5) - 1]);
      [[fallthrough]];
    case ScriptKind::kMouseMove:
    case ScriptKind::kWheel:
    case ScriptKind::kResize:
    case ScriptKind::kMove: out += " " + Num(l.x) + " " + Num(l.y); break;
    case ScriptKind::kFullScreenOn: out += " on"; break;
    case ScriptKind::kFullScreenOff: out += " off"; break;
    default: break;
  }
  return out + "\n";
}

}  // namespace orva::host
