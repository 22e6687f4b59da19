// Any file as an image for qxdis: it refuses what is not an image, and whatever it prints for an
// image a loader would take assembles back to the same bytes. The header bytes that the source
// cannot express (the register file, the loader's fields) are cleared first, and LOADSIZE is the
// file's size.
#include <algorithm>
#include <string>
#include <vector>

#include "assembler.h"
#include "harness.h"
#include "image_disasm.h"
#include "vm/image.h"
#include "vm/loader.h"

ORVA_FUZZ_TARGET(qxdis_image) {
  using namespace orva;
  if (input.size() > (64 << 10)) return;
  std::string text, error;
  bool is_image = qxdis::DisassembleImage(input, {}, text, error);
  FUZZ_CHECK(is_image != text.empty() && is_image == error.empty());
  if (input.size() < vm::kHeaderSize) return;

  std::vector<uint8_t> image(vm::kHeaderSize, 0);
  image.insert(image.end(), input.begin() + vm::kHeaderSize, input.end());
  const uint8_t* h = input.data();
  std::copy_n("ORVA6", 6, image.begin() + vm::kOffMagic);
  image[vm::kOffReqMajor] = h[vm::kOffReqMajor];
  image[vm::kOffReqMinor] = h[vm::kOffReqMinor];
  vm::St32(&image[vm::kOffLOADSIZE], static_cast<uint32_t>(image.size()));
  for (uint32_t field : {vm::kOffZEROSIZE, vm::kOffSTACKSIZE, vm::kOffHEAPSIZE})
    vm::St32(&image[field], vm::Ld32(h + field));
  text.clear();
  FUZZ_CHECK(qxdis::DisassembleImage(image, {}, text, error));
  // Sizes that pass 4 GiB together make an image no loader takes; qxdis says so in a comment,
  // and qxasm refuses to write one.
  if (!vm::ComputeLayout(static_cast<uint32_t>(image.size()), vm::Ld32(h + vm::kOffZEROSIZE),
                         vm::Ld32(h + vm::kOffSTACKSIZE), vm::Ld32(h + vm::kOffHEAPSIZE)))
    return;

  static const qxasm::Options options = [] {
    qxasm::Options o;
    o.max_errors = 5;
    return o;
  }();
  const qxasm::Result r = qxasm::AssembleText(text, "/nonexistent/fuzz/image.qxs", options);
  FUZZ_CHECK(r.ok);
  FUZZ_CHECK(r.image == image);
}
