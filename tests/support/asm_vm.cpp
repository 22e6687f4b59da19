#include "support/asm_vm.h"

#include <gtest/gtest.h>

#include <sstream>

#include "assembler.h"
#include "vm/loader.h"

namespace orva::test {

std::vector<uint8_t> Assemble(std::string_view source, const Defines& defines,
                              std::map<std::string, uint32_t>* symbols) {
  qxasm::Options options;
  options.std_include_dirs.push_back(ORVA_SOURCE_DIR "/tools/asm/include");
  options.defines = defines;
  options.listing = symbols != nullptr;
  qxasm::Result result = qxasm::AssembleText(source, "test.qxs", options);
  EXPECT_TRUE(result.ok) << result.errors;
  if (symbols) *symbols = ListingSymbols(result.listing);
  return result.image;
}

std::map<std::string, uint32_t> ListingSymbols(const std::string& listing) {
  // Rows of the symbol table read "XXXXXXXX  label     name".
  std::map<std::string, uint32_t> symbols;
  std::istringstream in(listing);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream row(line);
    std::string value, kind, name;
    if (row >> value >> kind >> name && (kind == "label" || kind == "constant") &&
        value.size() == 8)
      symbols[name] = static_cast<uint32_t>(std::stoul(value, nullptr, 16));
  }
  return symbols;
}

AsmVm::AsmVm(std::string_view source, const Defines& defines) {
  host.folders.user_data = dir.Sub("data") + "/";
  host.folders.resource = dir.Sub("res") + "/";
  WriteBytes(host.folders.resource + "MAIN.QX", Assemble(source, defines, &symbols_));
  EXPECT_TRUE(vm::LoadImage(host)) << (alerts().empty() ? "" : alerts().back());
  host.machine.loaded_count = 1;
}

uint32_t AsmVm::Sym(const std::string& name) const {
  auto it = symbols_.find(name);
  EXPECT_NE(it, symbols_.end()) << name;
  return it == symbols_.end() ? 0 : it->second;
}

const std::string_view kRecorderSource = R"(
        .include "qx.inc"
  .ifndef ANSWER
ANSWER = 1
  .endif
  .ifndef TIMER_MS
TIMER_MS = 0
  .endif
  .ifndef FAULT_ON
FAULT_ON = 0
  .endif
SLOTS = 1100

        .bss
count:  .space 4
quits:  .space 4
log:    .space 20 * SLOTS

        .code
main:   enter 0, 0
        mov.l r0, [count]
        cmp.l r0, #SLOTS
        bge .recorded
        mul.l r0, #20
        mov.l [r0+log], [fp+MSG_CODE]
        mov.l [r0+log+4], [fp+MSG_P1]
        mov.l [r0+log+8], [fp+MSG_P2]
        mov.l [r0+log+12], [fp+MSG_P3]
        syscall CLOCK_MS
        mov.l [r0+log+16], r14
        add.l [count], #1
.recorded:
  .if TIMER_MS
        cmp.l [fp+MSG_CODE], #MSG_STARTUP
        bne .timer_done
        syscall CLOCK_TIMER, #TIMER_MS
.timer_done:
  .endif
  .if FAULT_ON
        cmp.l [fp+MSG_CODE], #FAULT_ON
        bne .fault_done
        .long 4                          ; an illegal instruction
.fault_done:
  .endif
  .ifdef QUIT_ANSWERS
        cmp.l [fp+MSG_CODE], #MSG_CLOSE
        bne .answer
        mov.l r1, #QUIT_ANSWERS
        lsr.l r1, [quits]
        and.l r1, #1
        add.l [quits], #1
        mov.b [MSGRESULT], r1
        ret 0
  .endif
.answer:
        mov.b [MSGRESULT], #ANSWER
        ret 0
)";

std::vector<Recorded> RecordedMessages(const AsmVm& vm) {
  std::vector<Recorded> out;
  uint32_t count = vm.U32(vm.Sym("count")), log = vm.Sym("log");
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t at = log + 20 * i;
    out.push_back({{vm.U32(at), vm.U32(at + 4), vm.U32(at + 8), vm.U32(at + 12)}, vm.U32(at + 16)});
  }
  return out;
}

}  // namespace orva::test
