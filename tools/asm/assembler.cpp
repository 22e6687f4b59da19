// Layout and output. Code starts at the entry point (512), data follows code, and zero-filled
// data (.bss) follows data at LOADSIZE. Passes evaluate every statement until no address and no
// instruction length changes; the last pass emits the bytes.
#include "assembler.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "encoder.h"
#include "frontend.h"
#include "program.h"
#include "vm/image.h"

namespace orva::qxasm {

namespace {

constexpr int kMaxPasses = 64;
constexpr uint32_t kNopWord = 31;

// What one source line produced, for the listing.
struct ListEntry {
  bool has_address = false;
  bool is_code = false;
  bool has_value = false;  // NAME = expr
  Section section = Section::kCode;
  uint32_t address = 0;
  uint64_t begin = 0, end = 0;  // bytes in the section's buffer
  int64_t value = 0;
};

class Layout {
 public:
  Layout(Program& p, Diagnostics& diag, const Options& options)
      : p_(p), diag_(diag), options_(options) {}

  // Runs the passes and emits; false on errors (already reported).
  bool Run(Result& result);

 private:
  bool Pass(bool final);
  Value Eval(ExprId id, const Stmt& s, bool final);
  void Report(const Stmt& s, uint32_t column, std::string message) {
    diag_.Error({s.line_id, column}, std::move(message));
  }
  void Emit(Section sec, const uint8_t* bytes, size_t n) {
    std::vector<uint8_t>& buf = out_[static_cast<int>(sec)];
    buf.insert(buf.end(), bytes, bytes + n);
  }
  void EmitValue(Section sec, uint64_t v, int width) {
    uint8_t b[8];
    for (int i = 0; i < width; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
    Emit(sec, b, static_cast<size_t>(width));
  }
  void EmitFill(Section sec, uint64_t n, uint8_t fill, bool nops);
  void Data(const Stmt& s, bool final);
  void FloatData(const Stmt& s, bool final);
  uint64_t Offset(Section s) const { return offset_[static_cast<int>(s)]; }
  void Advance(Section s, uint64_t n) { offset_[static_cast<int>(s)] += n; }
  bool CheckRoom(const Stmt& s);
  std::string Listing() const;

  Program& p_;
  Diagnostics& diag_;
  const Options& options_;

  uint64_t base_[kSections] = {vm::kEntryPoint, vm::kEntryPoint, vm::kEntryPoint};
  uint64_t size_[kSections] = {};
  uint64_t offset_[kSections] = {};
  bool changed_ = false;
  std::vector<uint8_t> out_[kSections];
  std::vector<ListEntry> list_;
  uint64_t stack_ = kDefaultStack, heap_ = kDefaultHeap;
  uint8_t major_ = kDefaultMajor, minor_ = kDefaultMinor;
};

Value Layout::Eval(ExprId id, const Stmt& s, bool final) {
  if (id == kNoExpr) return {0, true};
  const uint32_t here =
      static_cast<uint32_t>(base_[static_cast<int>(s.section)] + Offset(s.section));
  EvalError error;
  Value v = Evaluate(
      p_.exprs, id, [this](uint32_t sym) { return p_.symbols[sym].value; }, here,
      final ? &error : nullptr);
  if (final && !v.known) {
    if (!error.message.empty()) {
      Report(s, error.column, error.message);
    } else if (error.unknown_symbol != UINT32_MAX) {
      const Symbol& sym = p_.symbols[error.unknown_symbol];
      Report(s, error.column,
             sym.kind == SymKind::kVariable ? "'" + sym.name + "' is used before its .set"
                                            : "undefined symbol '" + sym.name + "'");
    }
  }
  return v;
}

void Layout::EmitFill(Section sec, uint64_t n, uint8_t fill, bool nops) {
  std::vector<uint8_t>& buf = out_[static_cast<int>(sec)];
  if (nops) {
    for (uint64_t i = 0; i < n / 4; ++i) EmitValue(sec, kNopWord, 4);
    n %= 4;
  }
  buf.insert(buf.end(), n, fill);
}

// Keeps the image within bounds: header, code and data within the byte limit, and everything
// the loader lays out (zero-filled data, stack, heap) below 4 GiB.
bool Layout::CheckRoom(const Stmt& s) {
  const uint64_t loaded = vm::kEntryPoint + Offset(Section::kCode) + Offset(Section::kData);
  if (loaded <= options_.max_image_bytes && loaded + Offset(Section::kBss) <= UINT32_MAX)
    return true;
  Report(s, s.column,
         loaded > options_.max_image_bytes
             ? "image larger than " + std::to_string(options_.max_image_bytes) + " bytes"
             : "zero-filled data reaches past 4 GiB");
  return false;
}

void Layout::Data(const Stmt& s, bool final) {
  for (uint32_t i = s.first; i < s.first + s.count; ++i) {
    const DataItem& item = p_.items[i];
    if (item.string != UINT32_MAX) {
      const std::string& str = p_.strings[item.string];
      if (final) Emit(s.section, reinterpret_cast<const uint8_t*>(str.data()), str.size());
      Advance(s.section, str.size());
      continue;
    }
    if (final) {
      Value v = Eval(item.expr, s, true);
      const int bits = s.width * 8;
      if (v.known && bits < 64) {
        const int64_t lo = -(int64_t{1} << (bits - 1)), hi = (int64_t{1} << bits) - 1;
        if (v.v < lo || v.v > hi)
          Report(s, item.column,
                 "value " + std::to_string(v.v) + " does not fit " + std::to_string(s.width) +
                     " byte" + (s.width > 1 ? "s" : ""));
      }
      EmitValue(s.section, static_cast<uint64_t>(v.v), s.width);
    }
    Advance(s.section, s.width);
  }
}

void Layout::FloatData(const Stmt& s, bool final) {
  for (uint32_t i = s.first; i < s.first + s.count; ++i) {
    const DataItem& item = p_.items[i];
    if (final) {
      double d = item.fvalue;
      if (!item.is_float) d = static_cast<double>(Eval(item.expr, s, true).v);
      if (s.width == 8) {
        EmitValue(s.section, std::bit_cast<uint64_t>(d), 8);
      } else {
        if (std::isfinite(d) && std::fabs(d) > FLT_MAX) {
          Report(s, item.column, "value out of FLOAT range");
          d = 0;
        }
        EmitValue(s.section, std::bit_cast<uint32_t>(static_cast<float>(d)), 4);
      }
    }
    Advance(s.section, s.width);
  }
}

bool Layout::Pass(bool final) {
  changed_ = false;
  for (uint64_t& o : offset_) o = 0;
  for (Symbol& sym : p_.symbols)
    if (sym.kind == SymKind::kVariable) sym.value = {};
  if (final) {
    list_.assign(p_.files.lines.size(), ListEntry{});
    // Zero-filled data is never emitted: reserving its size could ask for gigabytes.
    for (Section sec : {Section::kCode, Section::kData}) {
      out_[static_cast<int>(sec)].reserve(size_[static_cast<int>(sec)]);
    }
  }

  for (const Stmt& s : p_.stmts) {
    const int sec = static_cast<int>(s.section);
    const uint64_t here64 = base_[sec] + offset_[sec];
    const uint32_t here = static_cast<uint32_t>(here64);
    ListEntry* le = final && s.line_id < list_.size() ? &list_[s.line_id] : nullptr;
    if (le && !le->has_address && s.kind != StmtKind::kAssign) {
      le->has_address = true;
      le->section = s.section;
      le->address = here;
      le->begin = out_[sec].size();
    }
    switch (s.kind) {
      case StmtKind::kLabel: {
        Symbol& sym = p_.symbols[s.sym];
        const Value v{here, true};
        if (!sym.value.known || sym.value.v != v.v) changed_ = true;
        sym.value = v;
        break;
      }
      case StmtKind::kAssign: {
        Symbol& sym = p_.symbols[s.sym];
        const Value v = Eval(s.a, s, final);
        if (sym.kind != SymKind::kVariable && (v.known != sym.value.known || v.v != sym.value.v))
          changed_ = true;
        sym.value = v;
        if (le && v.known) {
          le->has_value = true;
          le->value = v.v;
        }
        break;
      }
      case StmtKind::kSection: break;
      case StmtKind::kData: Data(s, final); break;
      case StmtKind::kFloat: FloatData(s, final); break;
      case StmtKind::kBytes: {
        const std::string& str = p_.strings[s.first];
        if (final) Emit(s.section, reinterpret_cast<const uint8_t*>(str.data()), str.size());
        Advance(s.section, str.size());
        break;
      }
      case StmtKind::kSpace:
      case StmtKind::kAlign: {
        const bool space = s.kind == StmtKind::kSpace;
        const Value a = Eval(s.a, s, final);
        const Value fill = Eval(s.b, s, final);
        uint64_t n = 0;
        if (a.known) {
          if (space) {
            if (a.v < 0 || a.v > UINT32_MAX) {
              if (final) Report(s, s.column, "byte count " + std::to_string(a.v) + " out of range");
            } else {
              n = static_cast<uint64_t>(a.v);
            }
          } else if (a.v < 1 || a.v > 65536 || !std::has_single_bit(static_cast<uint64_t>(a.v))) {
            if (final) Report(s, s.column, "alignment must be a power of two from 1 to 65536");
          } else {
            n = (0 - here64) & static_cast<uint64_t>(a.v - 1);
          }
        }
        if (final && fill.known && (fill.v < -128 || fill.v > 255))
          Report(s, s.column, "fill value must fit a byte");
        if (final && s.section == Section::kBss && fill.v != 0)
          Report(s, s.column, "zero-filled data cannot take a fill value");
        Advance(s.section, n);
        if (!CheckRoom(s)) return false;
        if (final && s.section != Section::kBss) {
          // Alignment padding in code is made of no-operations, in case control runs into it.
          const bool nops =
              !space && s.section == Section::kCode && s.b == kNoExpr && here % 4 == 0;
          EmitFill(s.section, n, static_cast<uint8_t>(fill.v), nops);
        }
        break;
      }
      case StmtKind::kInstr: {
        Instr& in = p_.instrs[s.first];
        const bool was_grown = in.grown;
        EncodeEnv env{
            here, final, [&](ExprId id) { return Eval(id, s, final); },
            [&](uint32_t column, std::string message) { Report(s, column, std::move(message)); }};
        const Words words = Encode(in, env);
        if (in.grown != was_grown) changed_ = true;
        if (final) {
          if (here % 4 != 0)
            Report(s, s.column,
                   "instruction at an address that is not a multiple of 4 "
                   "(add .align 4 before it)");
          for (uint32_t i = 0; i < words.n; ++i) EmitValue(s.section, words.w[i], 4);
          if (le) le->is_code = true;
        }
        Advance(s.section, 4ull * words.n);
        break;
      }
      case StmtKind::kStack:
      case StmtKind::kHeap:
        if (final) {
          const Value v = Eval(s.a, s, true);
          if (v.known && (v.v < 0 || v.v > UINT32_MAX))
            Report(s, s.column, "size out of range 0..0xFFFFFFFF");
          (s.kind == StmtKind::kStack ? stack_ : heap_) = static_cast<uint32_t>(v.v);
        }
        break;
      case StmtKind::kVersion:
        if (final) {
          const Value a = Eval(s.a, s, true), b = Eval(s.b, s, true);
          if ((a.known && (a.v < 0 || a.v > 255)) || (b.known && (b.v < 0 || b.v > 255)))
            Report(s, s.column, "version numbers must lie in 0..255");
          major_ = static_cast<uint8_t>(a.v);
          minor_ = static_cast<uint8_t>(b.v);
        }
        break;
    }
    if (le) le->end = out_[sec].size();
    if (s.kind != StmtKind::kLabel && s.kind != StmtKind::kAssign && !CheckRoom(s)) return false;
  }

  for (int i = 0; i < kSections; ++i) {
    if (size_[i] != offset_[i]) changed_ = true;
    size_[i] = offset_[i];
  }
  base_[static_cast<int>(Section::kData)] = vm::kEntryPoint + size_[0];
  base_[static_cast<int>(Section::kBss)] = vm::kEntryPoint + size_[0] + size_[1];
  return true;
}

bool Layout::Run(Result& result) {
  int pass = 0;
  for (; pass < kMaxPasses; ++pass) {
    if (!Pass(false)) return false;
    if (!changed_) break;
  }
  if (pass == kMaxPasses) {
    diag_.Error("the layout did not settle after " + std::to_string(kMaxPasses) + " passes");
    return false;
  }
  if (!Pass(true) || diag_.count() != 0) return false;

  const uint64_t code = out_[0].size(), data = out_[1].size();
  const uint64_t load = vm::kEntryPoint + code + data;
  if (load + size_[2] + stack_ + heap_ > UINT32_MAX) {
    diag_.Error("the loaded image (code, data, zero-filled data, stack and heap) exceeds 4 GiB");
    return false;
  }
  std::vector<uint8_t>& image = result.image;
  image.assign(vm::kHeaderSize, 0);
  static constexpr char kMagic[6] = {'O', 'R', 'V', 'A', '6', '\0'};
  std::copy(std::begin(kMagic), std::end(kMagic), image.begin() + vm::kOffMagic);
  image[vm::kOffReqMajor] = major_;
  image[vm::kOffReqMinor] = minor_;
  vm::St32(&image[vm::kOffLOADSIZE], static_cast<uint32_t>(load));
  vm::St32(&image[vm::kOffZEROSIZE], static_cast<uint32_t>(size_[2]));
  vm::St32(&image[vm::kOffSTACKSIZE], static_cast<uint32_t>(stack_));
  vm::St32(&image[vm::kOffHEAPSIZE], static_cast<uint32_t>(heap_));
  image.insert(image.end(), out_[0].begin(), out_[0].end());
  image.insert(image.end(), out_[1].begin(), out_[1].end());
  if (options_.listing) result.listing = Listing();
  return true;
}

std::string Layout::Listing() const {
  std::string out;
  char buf[64];
  const std::string& main = p_.files.names.empty() ? std::string() : p_.files.names[0];
  out += "qxasm listing of " + main + "\n\n";
  for (size_t id = 0; id < p_.files.lines.size(); ++id) {
    const LineInfo& li = p_.files.lines[id];
    const ListEntry& le = list_[id];
    // Expansion lines that produced nothing (skipped conditionals, blank arguments) are noise.
    if (li.parent != kNoLine && !le.has_address && !le.has_value) continue;
    std::vector<std::string> cells;  // the hexadecimal groups of this line
    const std::vector<uint8_t>& buf_bytes = out_[static_cast<int>(le.section)];
    if (le.has_address && le.end > le.begin) {
      if (le.is_code) {
        for (uint64_t i = le.begin; i + 4 <= le.end; i += 4) {
          std::snprintf(buf, sizeof buf, "%08X", vm::Ld32(&buf_bytes[i]));
          cells.push_back(buf);
        }
      } else {
        for (uint64_t i = le.begin; i < le.end && i < le.begin + 32; ++i) {
          std::snprintf(buf, sizeof buf, "%02X", buf_bytes[i]);
          cells.push_back(buf);
        }
        if (le.end - le.begin > 32) cells.push_back("...");
      }
    }
    const size_t per_row = le.is_code ? 4 : 8;
    size_t next = 0;
    std::string head;
    if (le.has_address) {
      std::snprintf(buf, sizeof buf, "%08X  ", le.address);
      head = buf;
    } else if (le.has_value) {
      std::snprintf(buf, sizeof buf, "=%08llX ",
                    static_cast<unsigned long long>(static_cast<uint64_t>(le.value)));
      head = buf;
    } else {
      head = std::string(10, ' ');
    }
    do {
      std::string row = next == 0 ? head : std::string(10, ' ');
      std::string group;
      for (size_t i = next; i < cells.size() && i < next + per_row; ++i) group += cells[i] + " ";
      next += per_row;
      group.resize(std::max<size_t>(group.size(), 36), ' ');
      row += group;
      if (next == per_row) row += (li.parent == kNoLine ? "  " : "+ ") + li.text;
      while (!row.empty() && row.back() == ' ') row.pop_back();
      out += row + "\n";
    } while (next < cells.size());
  }

  out += "\nSymbols\n";
  std::vector<const Symbol*> syms;
  for (const Symbol& s : p_.symbols)
    if (s.kind != SymKind::kUndefined) syms.push_back(&s);
  std::sort(syms.begin(), syms.end(), [](auto* a, auto* b) { return a->name < b->name; });
  for (const Symbol* s : syms) {
    std::snprintf(buf, sizeof buf, "%08llX  %s  ",
                  static_cast<unsigned long long>(static_cast<uint64_t>(s->value.v)),
                  s->kind == SymKind::kLabel ? "label   " : "constant");
    out += buf + s->name + "\n";
  }
  return out;
}

Result Assemble(std::string_view text, const std::string& name, const Options& options,
                const std::string& read_error) {
  Result result;
  Program program;
  Diagnostics diag(program.files, options.max_errors);
  if (!read_error.empty()) {
    result.errors = "qxasm: " + read_error + "\n";
    result.dependencies.push_back(name);
    return result;
  }
  Frontend(program, diag, options).Run(text, name);
  if (diag.count() == 0) {
    Layout layout(program, diag, options);
    result.ok = layout.Run(result) && diag.count() == 0;
  }
  if (!result.ok) {
    result.image.clear();
    result.listing.clear();
    result.errors = diag.text();
  }
  result.dependencies = std::move(program.dependencies);
  return result;
}

}  // namespace

Result AssembleText(std::string_view text, const std::string& name, const Options& options) {
  return Assemble(text, name, options, {});
}

Result AssembleFile(const std::string& path, const Options& options) {
  std::error_code ec;
  if (const auto size = std::filesystem::file_size(path, ec); !ec && size > kMaxSourceBytes)
    return Assemble({}, path, options, "'" + path + "' is larger than 64 MiB");
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  if (in) content << in.rdbuf();
  if (!in) return Assemble({}, path, options, "cannot read '" + path + "'");
  const std::string text = std::move(content).str();
  return Assemble(text, path, options, {});
}

}  // namespace orva::qxasm
