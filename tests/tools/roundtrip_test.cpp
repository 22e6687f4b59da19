// qxdis prints the source of its image: random whole images (canonical instructions, then noise,
// text, zero runs and jumps, an unaligned end, arbitrary header fields) come back byte for byte
// after a trip through qxasm.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "asm_helpers.h"
#include "image_disasm.h"

namespace orva::test {
namespace {

std::vector<uint8_t> RandomImage(uint32_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<uint8_t> image(vm::kHeaderSize, 0);
  auto put = [&](uint32_t word) {
    for (int b = 0; b < 4; ++b) image.push_back(static_cast<uint8_t>(word >> (8 * b)));
  };
  for (int i = 0; i < 60; ++i)
    for (uint32_t w : RandomCanonical(rng).words) put(w);
  for (int chunk = 0; chunk < 8; ++chunk) {
    switch (rng() % 4) {
      case 0:
        for (int i = 0; i < 4; ++i) put(static_cast<uint32_t>(rng()));
        break;
      case 1: image.insert(image.end(), 4 * (rng() % 6), 0); break;
      case 2: {
        const std::string text = "Hello, \"world\"\\\n\tline\0";
        image.insert(image.end(), text.begin(), text.end());
        image.resize((image.size() + 3) & ~size_t{3}, 0);
        break;
      }
      default:  // a jump a little way ahead, to exercise labels
        put(44 | static_cast<uint32_t>((image.size() + 4 + 4 * (rng() % 8)) >> 2) << 10);
    }
  }
  for (uint32_t tail = rng() % 4; tail > 0; --tail) image.push_back(static_cast<uint8_t>(rng()));

  std::copy_n("ORVA6", 6, image.begin() + vm::kOffMagic);
  image[vm::kOffReqMajor] = static_cast<uint8_t>(rng());
  image[vm::kOffReqMinor] = static_cast<uint8_t>(rng());
  vm::St32(&image[vm::kOffLOADSIZE], static_cast<uint32_t>(image.size()));
  vm::St32(&image[vm::kOffZEROSIZE], rng() % 3 == 0 ? 0 : rng() % 5000);
  vm::St32(&image[vm::kOffSTACKSIZE], rng() % 100000);
  vm::St32(&image[vm::kOffHEAPSIZE], rng() % 10000000);
  return image;
}

TEST(RoundTrip, QxdisOutputReassemblesToTheSameImage) {
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    const std::vector<uint8_t> image = RandomImage(seed);
    std::string text, error;
    ASSERT_TRUE(qxdis::DisassembleImage(image, {}, text, error)) << error;
    const qxasm::Result r = Asm(text);
    ASSERT_TRUE(r.ok) << "seed " << seed << "\n" << r.errors << "\n" << text;
    ASSERT_EQ(r.image, image) << "seed " << seed << "\n" << text;
  }
}

}  // namespace
}  // namespace orva::test
