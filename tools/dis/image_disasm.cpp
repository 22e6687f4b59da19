#include "image_disasm.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "vm/disasm.h"
#include "vm/encode.h"
#include "vm/image.h"
#include "vm/isa.h"

namespace orva::qxdis {

namespace {

using vm::DecodedInstruction;
using vm::Flow;

constexpr uint32_t kBase = vm::kEntryPoint;
constexpr size_t kMaxTableEntries = 1024;
constexpr size_t kCommentColumn = 48;

// kOdd starts words that control flow reaches but that are not canonical: they print as data
// with a comment, and tracing goes on after them where the machine would.
enum Mark : uint8_t { kData, kStart, kOdd, kInside };

bool IsTextByte(uint8_t b) {
  return (b >= 0x20 && b < 0x7F) || b == '\n' || b == '\t' || b == '\r' || b == 0;
}
bool IsPrintable(uint8_t b) { return b >= 0x20 && b < 0x7F; }

class ImageDisassembler {
 public:
  ImageDisassembler(std::span<const uint8_t> file, const Options& options)
      : file_(file), options_(options) {}

  bool Run(std::string& out, std::string& error);

 private:
  uint32_t Addr(size_t index) const { return kBase + 4 * static_cast<uint32_t>(index); }
  bool InWords(uint32_t addr) const {
    return addr >= kBase && addr % 4 == 0 && (addr - kBase) / 4 < words_.size();
  }
  size_t Index(uint32_t addr) const { return (addr - kBase) / 4; }
  DecodedInstruction Decode(size_t index, const vm::AddressNamer& namer = {}) const {
    return vm::Disassemble(std::span(words_).subspan(index), Addr(index), namer);
  }

  void Trace(uint32_t root);
  void FindCode();
  void CollectLabels();
  bool Labelable(uint32_t addr) const;
  std::string Name(uint32_t addr) const;

  void Line(uint32_t addr, const std::string& text, const std::string& comment);
  void Label(uint32_t addr);
  void Header();
  void Code();
  void DataRun(size_t begin, size_t end);
  void Tail();
  void Bss();

  std::span<const uint8_t> file_;
  const Options& options_;
  std::string out_;
  uint32_t load_ = 0, zero_ = 0;
  std::vector<uint32_t> words_;
  std::vector<uint8_t> mark_;
  std::set<uint32_t> code_refs_;  // branch and call targets
  std::set<uint32_t> data_refs_;  // absolute operands and tables
  std::map<uint32_t, std::string> labels_;
};

// Follows control flow from `root`, marking the words of every canonical instruction reached.
void ImageDisassembler::Trace(uint32_t root) {
  std::vector<uint32_t> work{root};
  while (!work.empty()) {
    const uint32_t addr = work.back();
    work.pop_back();
    if (!InWords(addr) || mark_[Index(addr)] != kData) continue;
    const size_t i = Index(addr);
    const DecodedInstruction d = Decode(i);
    bool free = true;
    for (size_t k = i; k < i + d.words; ++k) free = free && mark_[k] == kData;
    if (!free) continue;  // overlaps an instruction found earlier
    mark_[i] = d.canonical ? kStart : kOdd;
    for (size_t k = i + 1; k < i + d.words; ++k) mark_[k] = kInside;
    const uint32_t next = addr + 4 * d.words;
    switch (d.flow) {
      case Flow::kNext: work.push_back(next); break;
      case Flow::kBranch:
      case Flow::kCall:
        work.push_back(next);
        work.push_back(d.target);
        break;
      case Flow::kJump: work.push_back(d.target); break;
      case Flow::kStop: break;
    }
    // A jump through a table: take the code addresses stored at the table as roots.
    if (vm::isa::kOpcodeClass[vm::isa::Opcode(words_[i])] == vm::isa::OpClass::kJumpTable &&
        d.data_ref_count > 0) {
      uint32_t t = d.data_refs[0];
      for (size_t n = 0; n < kMaxTableEntries && InWords(t) && mark_[Index(t)] == kData;
           ++n, t += 4) {
        const uint32_t entry = words_[Index(t)];
        if (!InWords(entry)) break;
        work.push_back(entry);
      }
    }
  }
}

void ImageDisassembler::FindCode() {
  Trace(kBase);
  // Routines reached only through registers or tables begin with a frame set-up: take every
  // canonical enter that no traced code covers as a root. Tracing only ever adds code, so one
  // sweep finds them all.
  for (size_t i = 0; i < words_.size(); ++i)
    if (mark_[i] == kData &&
        vm::isa::kOpcodeClass[vm::isa::Opcode(words_[i])] == vm::isa::OpClass::kEnter)
      Trace(Addr(i));
}

bool ImageDisassembler::Labelable(uint32_t addr) const {
  if (InWords(addr)) return mark_[Index(addr)] != kInside;
  // The trailing bytes and the zero-filled data are printed byte-exact, so any address works.
  return addr >= kBase + 4 * words_.size() && addr <= load_ + zero_;
}

void ImageDisassembler::CollectLabels() {
  for (size_t i = 0; i < words_.size(); ++i) {
    if (mark_[i] != kStart) continue;
    const DecodedInstruction d = Decode(i);
    if (d.flow == Flow::kBranch || d.flow == Flow::kCall || d.flow == Flow::kJump)
      code_refs_.insert(d.target);
    for (uint32_t k = 0; k < d.data_ref_count; ++k) data_refs_.insert(d.data_refs[k]);
  }
  char buf[16];
  for (uint32_t a : data_refs_)
    if (Labelable(a)) {
      std::snprintf(buf, sizeof buf, "D_%08X", a);
      labels_[a] = buf;
    }
  for (uint32_t a : code_refs_)
    if (Labelable(a)) {
      std::snprintf(buf, sizeof buf, "L_%08X", a);
      labels_[a] = buf;
    }
}

std::string ImageDisassembler::Name(uint32_t addr) const {
  auto it = labels_.find(addr);
  return it == labels_.end() ? std::string() : it->second;
}

void ImageDisassembler::Line(uint32_t addr, const std::string& text, const std::string& comment) {
  if (addr < options_.from || addr >= options_.to) return;
  std::string line = "        " + text;
  if (!comment.empty()) {
    if (line.size() < kCommentColumn)
      line.resize(kCommentColumn, ' ');
    else
      line += ' ';
    line += "; " + comment;
  }
  out_ += line + "\n";
}

void ImageDisassembler::Label(uint32_t addr) {
  auto it = labels_.find(addr);
  if (it == labels_.end() || addr < options_.from || addr >= options_.to) return;
  out_ += it->second + ":\n";
}

void ImageDisassembler::Header() {
  char buf[160];
  const uint8_t* h = file_.data();
  out_ += "; qxdis " + options_.name + "\n";
  std::snprintf(buf, sizeof buf,
                "; LOADSIZE 0x%X (code and data 0x%X-0x%X), ZEROSIZE 0x%X, STACKSIZE 0x%X, "
                "HEAPSIZE 0x%X\n",
                vm::Ld32(h + vm::kOffLOADSIZE), kBase, load_, zero_,
                vm::Ld32(h + vm::kOffSTACKSIZE), vm::Ld32(h + vm::kOffHEAPSIZE));
  out_ += buf;
  // Bytes the assembler always writes as zero: say so when an image holds something else there.
  auto field = [](uint32_t off) {
    return (off >= vm::kOffMagic && off < vm::kOffMagic + 6) || off == vm::kOffReqMajor ||
           off == vm::kOffReqMinor || (off >= vm::kOffLOADSIZE && off < vm::kOffLOADSIZE + 4) ||
           (off >= vm::kOffZEROSIZE && off < vm::kOffZEROSIZE + 4) ||
           (off >= vm::kOffSTACKSIZE && off < vm::kOffSTACKSIZE + 4) ||
           (off >= vm::kOffHEAPSIZE && off < vm::kOffHEAPSIZE + 4);
  };
  int stray = 0;
  for (uint32_t off = 0; off < vm::kHeaderSize; ++off)
    if (h[off] != 0 && !field(off)) ++stray;
  if (stray) {
    std::snprintf(buf, sizeof buf,
                  "; %d header bytes outside the fields below are not zero (not reproduced)\n",
                  stray);
    out_ += buf;
  }
  const uint32_t declared = vm::Ld32(h + vm::kOffLOADSIZE);
  if (declared > file_.size()) {
    std::snprintf(buf, sizeof buf, "; the file ends at 0x%zX, before LOADSIZE\n", file_.size());
    out_ += buf;
  } else if (file_.size() > declared) {
    std::snprintf(buf, sizeof buf, "; %zu bytes after LOADSIZE are not loaded (not shown)\n",
                  file_.size() - declared);
    out_ += buf;
  }
  const uint64_t total = uint64_t{declared} + vm::Ld32(h + vm::kOffZEROSIZE) +
                         vm::Ld32(h + vm::kOffSTACKSIZE) + vm::Ld32(h + vm::kOffHEAPSIZE);
  if (total > UINT32_MAX) out_ += "; these sizes together pass 4 GiB: no loader takes this image\n";
  out_ += "\n";
  std::snprintf(buf, sizeof buf, "        .version %u, %u\n", h[vm::kOffReqMajor],
                h[vm::kOffReqMinor]);
  out_ += buf;
  std::snprintf(buf, sizeof buf, "        .stack 0x%X\n        .heap 0x%X\n\n        .code\n",
                vm::Ld32(h + vm::kOffSTACKSIZE), vm::Ld32(h + vm::kOffHEAPSIZE));
  out_ += buf;
}

void ImageDisassembler::Code() {
  const vm::AddressNamer namer = [this](uint32_t a) { return Name(a); };
  size_t i = 0;
  while (i < words_.size()) {
    const uint32_t addr = Addr(i);
    if (mark_[i] == kOdd) {
      // Reached by control flow, but nothing the assembler would write: show what it does.
      Label(addr);
      const DecodedInstruction d = Decode(i);
      std::string s = ".long ";
      char buf[16];
      for (uint32_t k = 0; k < d.words; ++k) {
        std::snprintf(buf, sizeof buf, "%s0x%08X", k ? ", " : "", words_[i + k]);
        s += buf;
      }
      Line(addr, s, vm::FormatAddress(addr) + "  " + d.text);
      i += d.words;
      continue;
    }
    if (mark_[i] != kStart) {
      size_t j = i + 1;
      while (j < words_.size() && mark_[j] == kData) ++j;
      DataRun(i, j);
      i = j;
      continue;
    }
    Label(addr);
    const DecodedInstruction d = Decode(i, namer);
    std::string comment = vm::FormatAddress(addr) + " ";
    char buf[12];
    for (uint32_t k = 0; k < d.words; ++k) {
      std::snprintf(buf, sizeof buf, " %08X", words_[i + k]);
      comment += buf;
    }
    Line(addr, d.text, comment);
    i += d.words;
  }
}

// Prints the data words [begin, end): zero runs as .space, text as .ascii, the rest as .long;
// a run breaks at every label so that each label lands on its address.
void ImageDisassembler::DataRun(size_t begin, size_t end) {
  size_t i = begin;
  char buf[64];
  while (i < end) {
    const uint32_t addr = Addr(i);
    Label(addr);
    auto run_end = [&](auto&& fits) {
      size_t j = i;
      while (j < end && fits(j) && (j == i || !labels_.count(Addr(j)))) ++j;
      return j;
    };
    const size_t zeros = run_end([&](size_t k) { return words_[k] == 0; });
    if (zeros - i >= 2) {
      Line(addr, ".space " + std::to_string(4 * (zeros - i)), vm::FormatAddress(addr));
      i = zeros;
      continue;
    }
    auto text_word = [&](size_t k) {
      for (int b = 0; b < 4; ++b)
        if (!IsTextByte(static_cast<uint8_t>(words_[k] >> (8 * b)))) return false;
      return true;
    };
    // Whole zero words end a text run: they read better as .space or .long.
    size_t text = run_end([&](size_t k) { return text_word(k) && (k == i || words_[k] != 0); });
    int printable = 0;
    for (size_t k = i; k < text; ++k)
      for (int b = 0; b < 4; ++b)
        printable += IsPrintable(static_cast<uint8_t>(words_[k] >> (8 * b)));
    if (text > i && printable >= 4 && IsPrintable(static_cast<uint8_t>(words_[i]))) {
      // At most 16 words a line, so that the address comments stay useful.
      for (size_t k = i; k < text; k += 16) {
        std::string s = ".ascii \"";
        for (size_t w = k; w < text && w < k + 16; ++w)
          for (int b = 0; b < 4; ++b) {
            const uint8_t c = static_cast<uint8_t>(words_[w] >> (8 * b));
            switch (c) {
              case 0: s += "\\0"; break;
              case '\n': s += "\\n"; break;
              case '\t': s += "\\t"; break;
              case '\r': s += "\\r"; break;
              case '"': s += "\\\""; break;
              case '\\': s += "\\\\"; break;
              default: s += static_cast<char>(c);
            }
          }
        Line(Addr(k), s + "\"", vm::FormatAddress(Addr(k)));
      }
      i = text;
      continue;
    }
    const size_t group = std::min(run_end([](size_t) { return true; }), i + 4);
    std::string s = ".long ";
    for (size_t k = i; k < group; ++k) {
      std::snprintf(buf, sizeof buf, "%s0x%08X", k == i ? "" : ", ", words_[k]);
      s += buf;
    }
    Line(addr, s, vm::FormatAddress(addr));
    i = group;
  }
}

void ImageDisassembler::Tail() {
  const uint32_t start = kBase + 4 * static_cast<uint32_t>(words_.size());
  char buf[16];
  std::string s;
  uint32_t line_addr = start;
  for (uint32_t a = start; a < load_; ++a) {
    if (labels_.count(a)) {
      if (!s.empty()) Line(line_addr, s, vm::FormatAddress(line_addr));
      s.clear();
      Label(a);
    }
    if (s.empty()) {
      s = ".byte ";
      line_addr = a;
    } else {
      s += ", ";
    }
    std::snprintf(buf, sizeof buf, "0x%02X", file_[a]);
    s += buf;
  }
  if (!s.empty()) Line(line_addr, s, vm::FormatAddress(line_addr));
}

void ImageDisassembler::Bss() {
  auto first = labels_.lower_bound(load_);
  if (zero_ == 0 && first == labels_.end()) return;
  out_ += "\n        .bss\n";
  uint64_t at = load_;
  for (auto it = first; it != labels_.end() && it->first <= load_ + zero_; ++it) {
    if (it->first > at)
      Line(static_cast<uint32_t>(at), ".space " + std::to_string(it->first - at),
           vm::FormatAddress(static_cast<uint32_t>(at)));
    at = it->first;
    Label(it->first);
  }
  if (load_ + static_cast<uint64_t>(zero_) > at)
    Line(static_cast<uint32_t>(at), ".space " + std::to_string(load_ + zero_ - at),
         vm::FormatAddress(static_cast<uint32_t>(at)));
}

bool ImageDisassembler::Run(std::string& out, std::string& error) {
  if (file_.size() < vm::kHeaderSize) {
    error = "shorter than the 512-byte header: not a program image";
    return false;
  }
  static constexpr uint8_t kMagic[6] = {'O', 'R', 'V', 'A', '6', 0};
  if (!std::equal(std::begin(kMagic), std::end(kMagic), file_.begin() + vm::kOffMagic)) {
    error = "no \"ORVA6\" magic at offset 208: not a program image";
    return false;
  }
  const uint32_t declared = vm::Ld32(file_.data() + vm::kOffLOADSIZE);
  if (declared < kBase) {
    error = "LOADSIZE " + std::to_string(declared) + " is smaller than the header";
    return false;
  }
  load_ = static_cast<uint32_t>(std::min<uint64_t>(declared, file_.size()));
  zero_ = vm::Ld32(file_.data() + vm::kOffZEROSIZE);
  if (static_cast<uint64_t>(load_) + zero_ > UINT32_MAX) zero_ = UINT32_MAX - load_;
  words_.resize((load_ - kBase) / 4);
  for (size_t i = 0; i < words_.size(); ++i) words_[i] = vm::Ld32(file_.data() + kBase + 4 * i);
  mark_.assign(words_.size(), kData);

  FindCode();
  CollectLabels();
  Header();
  Code();
  Tail();
  Bss();
  out = std::move(out_);
  return true;
}

}  // namespace

bool DisassembleImage(std::span<const uint8_t> file, const Options& options, std::string& out,
                      std::string& error) {
  return ImageDisassembler(file, options).Run(out, error);
}

}  // namespace orva::qxdis
