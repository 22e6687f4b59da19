// The image loader on any file as "MAIN.QX": it refuses what it must, and an image it accepts is
// laid out as its header says, with the file's bytes in place and everything after them zero.
#include <algorithm>

#include "core/host.h"
#include "harness.h"
#include "platform/headless/headless_platform.h"
#include "vm/loader.h"

namespace orva::fuzz {
namespace {

bool AllZero(const vm::Memory& mem, uint64_t from, uint64_t to) {
  for (uint64_t a = from; a < to; ++a)
    if (mem.base[a] != 0) return false;
  return true;
}

}  // namespace
}  // namespace orva::fuzz

ORVA_FUZZ_TARGET(image_loader) {
  using namespace orva;
  static const fuzz::Scratch scratch("image_loader");
  scratch.Write(scratch.res() + "MAIN.QX", fuzz::Text(input));
  platform::HeadlessPlatform platform(nullptr);
  Host host(platform);
  host.folders.resource = scratch.res();
  host.folders.user_data = scratch.data();

  bool loaded = false, fatal = false;
  try {
    loaded = vm::LoadImage(host);
  } catch (const platform::ProcessExit& e) {
    fatal = true;  // the heap could not hand out the host's first block
    FUZZ_CHECK(e.status == 1);
  }

  // What the file says, read independently of the loader.
  std::optional<vm::Layout> layout;
  bool well_formed = false;
  if (input.size() >= vm::kHeaderSize) {
    const uint8_t* h = input.data();
    bool magic = std::equal(h + vm::kOffMagic, h + vm::kOffMagic + 6, "ORVA6");
    bool version =
        h[vm::kOffReqMajor] < 6 || (h[vm::kOffReqMajor] == 6 && h[vm::kOffReqMinor] == 0);
    layout = vm::ComputeLayout(vm::Ld32(h + vm::kOffLOADSIZE), vm::Ld32(h + vm::kOffZEROSIZE),
                               vm::Ld32(h + vm::kOffSTACKSIZE), vm::Ld32(h + vm::kOffHEAPSIZE));
    well_formed = magic && version && layout && layout->load_size <= input.size();
  }
  if (!loaded) {
    FUZZ_CHECK(!well_formed || fatal || layout->total > (1u << 31));  // a huge map may fail
    FUZZ_CHECK(fatal || !host.mem.loaded());
    FUZZ_CHECK(!platform.shown_alerts().empty());
    return;
  }
  FUZZ_CHECK(well_formed);
  const vm::Memory& mem = host.mem;
  FUZZ_CHECK(mem.size == layout->total);
  FUZZ_CHECK(mem.STKLIM() == layout->stklim && mem.STKTOP() == layout->stktop);
  FUZZ_CHECK(mem.SP() == layout->stktop);
  FUZZ_CHECK(std::equal(input.begin() + vm::kHeaderSize, input.begin() + layout->load_size,
                        mem.base + vm::kHeaderSize));
  // The zero-filled data and the stack, at both ends (all of them could be gigabytes).
  uint64_t zero_end = layout->stktop;
  FUZZ_CHECK(fuzz::AllZero(mem, layout->load_size,
                           std::min<uint64_t>(zero_end, layout->load_size + 4096)));
  FUZZ_CHECK(fuzz::AllZero(
      mem, std::max<uint64_t>(layout->load_size, zero_end - std::min<uint64_t>(zero_end, 4096)),
      zero_end));
  FUZZ_CHECK(host.heap.start == layout->stktop && host.heap.size == layout->heap_size);
}
