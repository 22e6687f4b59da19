#include "vm/trace.h"

#include <string>

#include "vm/disasm.h"

namespace orva::vm {

namespace {

struct Field {
  const char* name;
  uint32_t offset, width;
};

// The header fields worth reporting; PC is left out since the next line shows it.
constexpr Field kFields[] = {
    {"sp", kOffSP, 4},
    {"fp", kOffFP, 4},
    {"flags", kOffFLAGS, 1},
    {"msgresult", kOffMSGRESULT, 1},
    {"modalchain", kOffMODALCHAIN, 4},
    {"mcount", kOffMCOUNT, 4},
};

uint64_t Load(const uint8_t* p, uint32_t width) {
  uint64_t v = 0;
  std::memcpy(&v, p, width);
  return v;
}

}  // namespace

bool Tracer::Step(const Memory& mem, uint32_t pc) {
  if (executed_ >= limit_) return false;
  ++executed_;
  if (!out_) return true;
  if (pending_) PrintPending(mem);
  if (pc >= from_ && pc <= to_) {
    std::memcpy(before_.data(), mem.base, kHeaderSize);
    pending_pc_ = pc;
    pending_ = true;
  }
  return true;
}

void Tracer::Finish(const Memory& mem) {
  if (out_ && pending_) PrintPending(mem);
}

// One line per instruction: its address, its text, and what it changed among the registers and
// the header fields, e.g. "00000204  add.l r1, r2                     r1=0x2A flags=0x0".
void Tracer::PrintPending(const Memory& mem) {
  pending_ = false;
  uint32_t words[4];
  size_t count = 0;
  while (count < 4) {
    auto word = mem.Read32(pending_pc_ + 4 * static_cast<uint32_t>(count));
    if (!word) break;
    words[count++] = *word;
  }
  std::string text =
      count ? Disassemble(std::span<const uint32_t>(words, count), pending_pc_).text : "?";
  std::string line;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%08X  %-32s", pending_pc_, text.c_str());
  line += buf;
  for (uint32_t r = 0; r < 16; ++r) {
    uint32_t off = RegOffset(r);
    uint64_t now = mem.U64At(off), was = Load(&before_[off], 8);
    if (now == was) continue;
    std::snprintf(buf, sizeof buf, " r%u=0x%llX", r, static_cast<unsigned long long>(now));
    line += buf;
  }
  for (const Field& f : kFields) {
    uint64_t now = Load(mem.base + f.offset, f.width), was = Load(&before_[f.offset], f.width);
    if (now == was) continue;
    std::snprintf(buf, sizeof buf, " %s=0x%llX", f.name, static_cast<unsigned long long>(now));
    line += buf;
  }
  line.erase(line.find_last_not_of(' ') + 1);
  std::fprintf(out_, "%s\n", line.c_str());
}

}  // namespace orva::vm
