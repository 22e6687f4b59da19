// One-instruction decoder and printer, in the assembler's syntax. The disassembler prints whole
// images with it and the interpreter's trace prints the instruction it is about to run.
//
// An instruction is canonical when its text, assembled again, gives exactly the same words: no
// unused bit set, no alternative opcode, no immediate the assembler would encode differently.
// Other words are still described (what the machine would do with them), so a trace stays
// readable, but a disassembly listing has to keep them as data.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace orva::vm {

// How control leaves an instruction, for tracing the code of an image. Words that are not
// canonical still say what the machine does after them (an illegal one stops it).
enum class Flow : uint8_t {
  kNext,    // continues with the following instruction
  kBranch,  // may go to `target` or continue
  kCall,    // goes to `target` and later returns to the following instruction
  kJump,    // goes to `target` only
  kStop,    // does not continue here (return, halt, jump through a register or table)
};

struct DecodedInstruction {
  std::string text;        // assembler syntax when canonical, else a description
  uint32_t words = 1;      // words the instruction occupies (no more than were given)
  bool canonical = false;  // text assembles back to exactly these words
  Flow flow = Flow::kNext;
  uint32_t target = 0;      // for kBranch, kCall and kJump
  uint32_t data_refs[2]{};  // absolute memory operands, in operand order
  uint32_t data_ref_count = 0;
};

// Names an address used as a branch target or absolute operand; an empty result prints the number.
using AddressNamer = std::function<std::string(uint32_t address)>;

// Decodes the instruction whose first word is words[0], located at image address `address`.
// `words` may be cut short (the end of an image): the result is then not canonical.
DecodedInstruction Disassemble(std::span<const uint32_t> words, uint32_t address,
                               const AddressNamer& namer = {});

// Formatting shared with the image disassembler.
std::string FormatHex(uint64_t v);         // 0x1F
std::string FormatSigned(int64_t v);       // decimal when small, else hexadecimal
std::string FormatAddress(uint32_t addr);  // 0x00000200

}  // namespace orva::vm
