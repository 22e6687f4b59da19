// Any text as assembly source: the assembler gives an image or reports errors, never both and
// never neither, within its limits. An image it gives comes back the same through qxdis and a
// second assembly, which holds the assembler and the disassembler to each other.
#include <string>

#include "assembler.h"
#include "harness.h"
#include "image_disasm.h"
#include "vm/image.h"

namespace orva::fuzz {
namespace {

qxasm::Options FuzzOptions() {
  qxasm::Options o;
  o.include_dirs = {ORVA_SOURCE_DIR "/tests/programs"};  // check.inc, for the seeds
  o.std_include_dirs = {ORVA_SOURCE_DIR "/tools/asm/include"};
  o.max_image_bytes = 256 << 10;
  o.max_lines = 20000;
  o.max_errors = 10;
  return o;
}

}  // namespace
}  // namespace orva::fuzz

ORVA_FUZZ_TARGET(qxasm_source) {
  using namespace orva;
  static const qxasm::Options options = fuzz::FuzzOptions();
  // A name in a folder that does not exist: includes resolve in the folders above only.
  const qxasm::Result r =
      qxasm::AssembleText(fuzz::Text(input), "/nonexistent/fuzz/input.qxs", options);
  if (!r.ok) {
    FUZZ_CHECK(!r.errors.empty() && r.image.empty());
    return;
  }
  FUZZ_CHECK(r.errors.empty());
  FUZZ_CHECK(r.image.size() >= vm::kHeaderSize && r.image.size() <= options.max_image_bytes);
  FUZZ_CHECK(vm::Ld32(&r.image[vm::kOffLOADSIZE]) == r.image.size());

  std::string text, error;
  FUZZ_CHECK(qxdis::DisassembleImage(r.image, {}, text, error));
  const qxasm::Result again = qxasm::AssembleText(text, "/nonexistent/fuzz/again.qxs", options);
  FUZZ_CHECK(again.ok);
  FUZZ_CHECK(again.image == r.image);
}
