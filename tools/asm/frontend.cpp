#include "frontend.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace orva::qxasm {

namespace fs = std::filesystem;

namespace {

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The first word of a line in lower case (for scanning lines that are not assembled).
std::string FirstWord(std::string_view text) {
  size_t i = text.find_first_not_of(" \t");
  if (i == std::string_view::npos) return {};
  size_t j = i;
  while (j < text.size() && text[j] != ' ' && text[j] != '\t' && text[j] != ';') ++j;
  return ToLower(text.substr(i, j - i));
}

bool IsCondWord(const std::string& w) {
  return w == ".if" || w == ".ifdef" || w == ".ifndef" || w == ".ifb" || w == ".ifnb" ||
         w == ".else" || w == ".endif";
}

std::string Trim(std::string_view s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string_view::npos) return {};
  size_t b = s.find_last_not_of(" \t");
  return std::string(s.substr(a, b - a + 1));
}

// Splits macro arguments at the commas that lie outside brackets, parentheses, strings and
// character constants; a ';' outside them ends the list.
std::vector<std::string> SplitArgs(std::string_view s) {
  std::vector<std::string> out;
  int nest = 0;
  size_t start = 0, i = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"' || c == '\'') {
      for (++i; i < s.size() && s[i] != c; ++i)
        if (s[i] == '\\') ++i;
      continue;
    }
    if (c == ';') break;
    if (c == '(' || c == '[') ++nest;
    if ((c == ')' || c == ']') && nest > 0) --nest;
    if (c == ',' && nest == 0) {
      out.push_back(Trim(s.substr(start, i - start)));
      start = i + 1;
    }
  }
  std::string last = Trim(s.substr(start, std::min(i, s.size()) - start));
  if (!last.empty() || !out.empty()) out.push_back(last);
  return out;
}

}  // namespace

Frontend::Frontend(Program& program, Diagnostics& diag, const Options& options)
    : p_(program), diag_(diag), options_(options), parser_(program, diag) {}

void Frontend::Run(std::string_view text, const std::string& name) {
  // Rough sizes from the main text: growing these vectors a step at a time costs more than the
  // assembly itself on large sources.
  const size_t estimate = text.size() / 16;
  p_.stmts.reserve(estimate);
  p_.instrs.reserve(estimate);
  p_.exprs.Reserve(estimate * 2);
  for (const auto& [sym, value] : options_.defines) parser_.Predefine(sym, value);
  texts_.emplace_back(text);
  ReadFile(name, texts_.back(), 0);
}

void Frontend::ReadFile(const std::string& path, std::string_view text, int depth) {
  const uint32_t file = static_cast<uint32_t>(p_.files.names.size());
  p_.files.names.push_back(path);
  p_.dependencies.push_back(path);
  std::vector<RawLine> lines;
  uint32_t number = 1;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back({line, file, number++});
    start = end + 1;
  }
  ProcessLines(lines, kNoLine, depth, nullptr, nullptr);
}

void Frontend::ProcessLines(const std::vector<RawLine>& lines, int32_t parent, int depth,
                            const Macro* macro, const std::vector<std::string>* args) {
  Context ctx;
  const uint64_t serial = macro ? serial_++ : 0;
  for (const RawLine& raw : lines) {
    if (out_of_lines_ || diag_.full()) return;
    if (p_.files.lines.size() >= options_.max_lines) {
      out_of_lines_ = true;
      diag_.Error({static_cast<uint32_t>(p_.files.lines.size() - 1), 0},
                  "more than " + std::to_string(options_.max_lines) +
                      " lines after expansion; is a macro or .rept running away?");
      return;
    }
    std::string text = macro ? Substitute(raw.text, *macro, *args, serial) : std::string(raw.text);
    const uint32_t id = p_.files.AddLine(raw.file, raw.line, parent, std::move(text));
    ProcessLine(ctx, id, depth);
  }
  if (out_of_lines_) return;
  if (ctx.collect.kind == Collect::kMacro) diag_.Error(ctx.collect.loc, ".macro without .endm");
  if (ctx.collect.kind == Collect::kRept) diag_.Error(ctx.collect.loc, ".rept without .endr");
  for (const Cond& c : ctx.conds) diag_.Error(c.loc, ".if without .endif");
}

bool Frontend::CollectLine(Context& ctx, uint32_t line_id, int depth) {
  Collect& c = ctx.collect;
  const LineInfo& li = p_.files.lines[line_id];
  const std::string word = FirstWord(li.text);
  const bool is_macro = c.kind == Collect::kMacro;
  if (word == (is_macro ? ".macro" : ".rept")) ++c.depth;
  if (word == (is_macro ? ".endm" : ".endr") && --c.depth == 0) {
    if (is_macro) {
      // A macro is never redefined: an expansion may be running its body right now.
      std::string name = c.macro->name;
      if (!macros_.try_emplace(name, std::move(c.macro)).second && name[0] != '\x01')
        diag_.Error(c.loc, "macro '" + name + "' is already defined");
    } else {
      // Repeat the block; each copy's lines point back at the .rept line.
      std::vector<BodyLine> body = std::move(c.body);
      const int64_t count = c.count;
      const uint32_t rept_line = c.loc.line_id;
      c = Collect{};
      std::vector<RawLine> lines;
      for (const BodyLine& b : body) lines.push_back({b.text, b.file, b.line});
      if (depth >= options_.max_macro_depth) {
        diag_.Error({rept_line, 0}, "repeat blocks and macros nested too deeply");
        lines.clear();
      }
      if (!lines.empty())
        for (int64_t i = 0; i < count && !out_of_lines_ && !diag_.full(); ++i)
          ProcessLines(lines, static_cast<int32_t>(rept_line), depth + 1, nullptr, nullptr);
    }
    c = Collect{};
    return true;
  }
  BodyLine b{li.text, li.file, li.line};
  if (is_macro)
    c.macro->body.push_back(std::move(b));
  else
    c.body.push_back(std::move(b));
  return true;
}

void Frontend::ProcessLine(Context& ctx, uint32_t line_id, int depth) {
  if (ctx.collect.kind != Collect::kNone) {
    CollectLine(ctx, line_id, depth);
    return;
  }
  const std::string& text = p_.files.lines[line_id].text;
  if (!ctx.Active()) {
    const std::string word = FirstWord(text);
    if (!IsCondWord(word)) return;
  }
  LexError lex;
  const std::vector<Token> t = Tokenize(text, &lex);
  size_t pos = 0;
  while (t[pos].kind == Tok::kIdent && t[pos + 1].Is(':')) pos += 2;
  const Token& head = t[pos];
  if (head.kind == Tok::kIdent && IsCondWord(ToLower(head.text))) {
    // Conditionals are counted even in skipped blocks, whatever else the line holds.
    if (ctx.Active()) {
      if (!lex.message.empty()) diag_.Error({line_id, lex.column}, lex.message);
      parser_.Labels(t, line_id);
    }
    Conditional(ctx, ToLower(head.text), t, pos, line_id);
    return;
  }
  if (!lex.message.empty()) {
    // A macro's arguments are only text until they are substituted: report there, not here.
    if (head.kind == Tok::kIdent && macros_.count(std::string(head.text)) && ctx.Active() &&
        lex.column > head.column + head.length) {
      parser_.Labels(t, line_id);
      Expand(*macros_[std::string(head.text)], t, pos, line_id, depth);
    } else if (ctx.Active()) {
      diag_.Error({line_id, lex.column}, lex.message);
    }
    return;
  }
  if (head.kind == Tok::kIdent) {
    const std::string word = ToLower(head.text);
    if (word == ".macro") {
      if (pos != 0) diag_.Error({line_id, t[0].column}, "a label cannot stand before .macro");
      BeginMacro(ctx, t, pos, line_id);
      return;
    }
    if (word == ".endm" || word == ".endr") {
      diag_.Error({line_id, head.column},
                  word + " without " + (word == ".endm" ? ".macro" : ".rept"));
      return;
    }
    if (word == ".include") {
      parser_.Labels(t, line_id);
      Include(t, pos, line_id, depth);
      return;
    }
    if (word == ".rept") {
      parser_.Labels(t, line_id);
      size_t p = pos + 1;
      std::optional<int64_t> count = parser_.EarlyValue(t, p, line_id);
      if (count && t[p].kind != Tok::kEnd) {
        diag_.Error({line_id, t[p].column}, "unexpected text after the repeat count");
        count.reset();
      }
      if (count && (*count < 0 || static_cast<uint64_t>(*count) > options_.max_lines)) {
        diag_.Error({line_id, t[pos + 1].column}, "repeat count out of range");
        count.reset();
      }
      ctx.collect.kind = Collect::kRept;
      ctx.collect.depth = 1;
      ctx.collect.loc = {line_id, head.column};
      ctx.collect.count = count.value_or(0);
      return;
    }
    if (word == ".error") {
      parser_.Labels(t, line_id);
      const Token& m = t[pos + 1];
      diag_.Error({line_id, head.column}, m.kind == Tok::kString ? m.str : std::string(".error"));
      return;
    }
    auto macro = macros_.find(std::string(head.text));
    if (macro != macros_.end()) {
      parser_.Labels(t, line_id);
      Expand(*macro->second, t, pos, line_id, depth);
      return;
    }
  }
  pos = parser_.Labels(t, line_id);
  parser_.Statement(t, pos, line_id);
}

bool Frontend::Conditional(Context& ctx, const std::string& word, const std::vector<Token>& t,
                           size_t pos, uint32_t line_id) {
  const Token& head = t[pos];
  const Loc loc{line_id, head.column};
  if (word == ".else" || word == ".endif") {
    if (ctx.conds.empty()) {
      diag_.Error(loc, word + " without .if");
      return false;
    }
    Cond& c = ctx.conds.back();
    if (word == ".endif") {
      ctx.conds.pop_back();
      return true;
    }
    if (c.seen_else) {
      diag_.Error(loc, "second .else for one .if");
      return false;
    }
    c.seen_else = true;
    c.active = c.parent_active && !c.taken;
    c.taken = c.taken || c.active;
    return true;
  }
  // A new .if: inside a skipped block it is only counted.
  Cond c{false, ctx.Active(), false, false, loc};
  if (c.parent_active) {
    bool value = false;
    size_t p = pos + 1;
    if (word == ".if") {
      std::optional<int64_t> v = parser_.EarlyValue(t, p, line_id);
      value = v.value_or(0) != 0;
      if (v && t[p].kind != Tok::kEnd)
        diag_.Error({line_id, t[p].column}, "unexpected text after the condition");
    } else if (word == ".ifdef" || word == ".ifndef") {
      if (t[p].kind != Tok::kIdent) {
        diag_.Error({line_id, t[p].column}, "symbol name expected");
      } else {
        value = parser_.IsDefined(t[p]) == (word == ".ifdef");
      }
    } else {  // .ifb / .ifnb: is anything left on the line?
      value = (t[p].kind == Tok::kEnd) == (word == ".ifb");
    }
    c.active = value;
    c.taken = value;
  }
  ctx.conds.push_back(c);
  return true;
}

std::string Frontend::FindInclude(const std::string& name, uint32_t from_file) const {
  std::error_code ec;
  auto usable = [&](const fs::path& p) { return fs::is_regular_file(p, ec); };
  const fs::path given(name);
  if (given.is_absolute()) return usable(given) ? name : std::string();
  const fs::path here = fs::path(p_.files.names[from_file]).parent_path() / given;
  if (usable(here)) return here.lexically_normal().string();
  for (const auto* dirs : {&options_.include_dirs, &options_.std_include_dirs})
    for (const std::string& dir : *dirs) {
      const fs::path p = fs::path(dir) / given;
      if (usable(p)) return p.lexically_normal().string();
    }
  return {};
}

void Frontend::Include(const std::vector<Token>& t, size_t pos, uint32_t line_id, int depth) {
  const Token& arg = t[pos + 1];
  if (arg.kind != Tok::kString || t[pos + 2].kind != Tok::kEnd) {
    diag_.Error({line_id, arg.column}, ".include takes one file name in quotes");
    return;
  }
  if (include_depth_ >= options_.max_include_depth) {
    diag_.Error({line_id, t[pos].column}, "includes nested too deeply (an include cycle?)");
    return;
  }
  const std::string path = FindInclude(arg.str, p_.files.lines[line_id].file);
  if (path.empty()) {
    diag_.Error({line_id, arg.column}, "include file '" + arg.str + "' not found");
    return;
  }
  std::error_code ec;
  if (const auto size = fs::file_size(path, ec); !ec && size > kMaxSourceBytes) {
    diag_.Error({line_id, arg.column}, "include file '" + path + "' is larger than 64 MiB");
    return;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  if (!in) {
    diag_.Error({line_id, arg.column}, "cannot read include file '" + path + "'");
    return;
  }
  texts_.push_back(std::move(content).str());
  ++include_depth_;
  ReadFile(path, texts_.back(), depth);
  --include_depth_;
}

void Frontend::BeginMacro(Context& ctx, const std::vector<Token>& t, size_t pos, uint32_t line_id) {
  Collect& c = ctx.collect;
  c.kind = Collect::kMacro;
  c.depth = 1;
  c.loc = {line_id, t[pos].column};
  c.macro = std::make_unique<Macro>();
  Macro& m = *c.macro;
  m.def = c.loc;
  const Token& name = t[pos + 1];
  if (name.kind != Tok::kIdent || name.text[0] == '.') {
    diag_.Error({line_id, name.column}, "macro name expected");
    m.name = "\x01invalid";  // collected and dropped
    return;
  }
  m.name = std::string(name.text);
  if (LookupMnemonic(ToLower(name.text)) || Parser::IsReserved(name.text))
    diag_.Error({line_id, name.column}, "'" + m.name + "' is an instruction or register name");
  const std::string& text = p_.files.lines[line_id].text;
  // Parameters: names separated by commas or blanks, each with an optional =default.
  size_t p = pos + 2;
  while (t[p].kind != Tok::kEnd) {
    if (t[p].Is(',')) {
      ++p;
      continue;
    }
    if (t[p].kind != Tok::kIdent || t[p].text[0] == '.') {
      diag_.Error({line_id, t[p].column}, "parameter name expected");
      return;
    }
    m.params.emplace_back(t[p].text);
    m.defaults.emplace_back();
    ++p;
    if (t[p].Is('=')) {
      // The default is the raw text up to the next top-level comma.
      const size_t from = t[p].column;  // just after '=' (columns are 1-based)
      std::vector<std::string> rest = SplitArgs(std::string_view(text).substr(from));
      m.defaults.back() = rest.empty() ? std::string() : rest[0];
      ++p;
      int nest = 0;
      while (t[p].kind != Tok::kEnd && !(nest == 0 && t[p].Is(','))) {
        if (t[p].Is('(') || t[p].Is('[')) ++nest;
        if (t[p].Is(')') || t[p].Is(']')) --nest;
        ++p;
      }
    }
  }
}

void Frontend::Expand(const Macro& m, const std::vector<Token>& t, size_t pos, uint32_t line_id,
                      int depth) {
  const Token& head = t[pos];
  if (depth >= options_.max_macro_depth) {
    diag_.Error({line_id, head.column}, "macros nested too deeply (a macro that uses itself?)");
    return;
  }
  const std::string& text = p_.files.lines[line_id].text;
  std::vector<std::string> args =
      SplitArgs(std::string_view(text).substr(head.column - 1 + head.length));
  if (args.size() > m.params.size()) {
    diag_.Error({line_id, head.column}, "macro '" + m.name + "' takes " +
                                            std::to_string(m.params.size()) + " arguments, " +
                                            std::to_string(args.size()) + " given");
    return;
  }
  args.resize(m.params.size());
  for (size_t i = 0; i < args.size(); ++i)
    if (args[i].empty()) args[i] = m.defaults[i];
  std::vector<RawLine> lines;
  lines.reserve(m.body.size());
  for (const BodyLine& b : m.body) lines.push_back({b.text, b.file, b.line});
  ProcessLines(lines, static_cast<int32_t>(line_id), depth + 1, &m, &args);
}

std::string Frontend::Substitute(std::string_view text, const Macro& m,
                                 const std::vector<std::string>& args, uint64_t serial) const {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\' || i + 1 >= text.size()) {
      out += c;
      continue;
    }
    const char n = text[i + 1];
    if (n == '\\') {  // an escaped backslash stays as it is
      out += "\\\\";
      ++i;
    } else if (n == '@') {
      out += std::to_string(serial);
      ++i;
    } else if (n == '(' && i + 2 < text.size() && text[i + 2] == ')') {
      i += 2;  // \() separates a parameter from the text after it
    } else if (IsNameChar(n)) {
      size_t j = i + 1;
      while (j < text.size() && IsNameChar(text[j])) ++j;
      const std::string_view name = text.substr(i + 1, j - i - 1);
      size_t k = 0;
      while (k < m.params.size() && m.params[k] != name) ++k;
      if (k < m.params.size()) {
        out += args[k];
        i = j - 1;
      } else {
        out += c;  // not a parameter: an escape such as \n in a string
      }
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace orva::qxasm
