// Disassembly is the inverse of assembly: random instructions over every form, size and
// operation, and random whole images (code, noise, text, odd header fields), come back byte for
// byte after a trip through text.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "asm_helpers.h"
#include "asm_random.h"
#include "image_disasm.h"
#include "vm/disasm.h"

namespace orva::test {
namespace {

// Disassembles the code words one instruction after the other; every one must be canonical.
std::vector<std::string> DisassembleAll(const std::vector<uint32_t>& words) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < words.size();) {
    const vm::DecodedInstruction d = vm::Disassemble(
        std::span(words).subspan(i), vm::kEntryPoint + 4 * static_cast<uint32_t>(i));
    EXPECT_TRUE(d.canonical) << d.text;
    if (d.words == 0) break;
    lines.push_back(d.text);
    i += d.words;
  }
  return lines;
}

TEST(RoundTrip, RandomInstructionsOfEveryFormAssembleDisassembleAndAssembleAgain) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    RandomInstructions gen(seed);
    std::string source;
    const int kLines = 250;
    for (int i = 0; i < kLines; ++i) source += gen.Next() + "\n";
    const std::vector<uint32_t> words = Words(source);
    const std::vector<std::string> lines = DisassembleAll(words);
    ASSERT_EQ(lines.size(), static_cast<size_t>(kLines)) << "seed " << seed;
    std::string again;
    for (const std::string& l : lines) again += l + "\n";
    ASSERT_EQ(Words(again), words) << "seed " << seed << "\n" << again;
  }
}

// An image of random content: real instructions, noise, zero runs and text, with an unaligned
// end, zero-filled data and arbitrary header fields.
std::vector<uint8_t> RandomImage(uint32_t seed) {
  std::mt19937 rng(seed);
  RandomInstructions gen(seed);
  std::string source = "start:\n";
  for (int i = 0; i < 60; ++i) source += gen.Next() + "\n";
  std::vector<uint8_t> body = Asm(source).image;
  body.erase(body.begin(), body.begin() + vm::kHeaderSize);
  for (int chunk = 0; chunk < 8; ++chunk) {
    switch (rng() % 4) {
      case 0:
        for (int i = 0; i < 16; ++i) body.push_back(static_cast<uint8_t>(rng()));
        break;
      case 1: body.insert(body.end(), 4 * (rng() % 6), 0); break;
      case 2: {
        const std::string text = "Hello, \"world\"\\\n\tline\0";
        body.insert(body.end(), text.begin(), text.end());
        body.resize((body.size() + 3) & ~size_t{3}, 0);
        break;
      }
      default: {
        // Code that jumps into the middle of itself and to data, to exercise labels.
        const uint32_t here = vm::kEntryPoint + static_cast<uint32_t>(body.size());
        const uint32_t jump = 44 | ((here + 4 + 4 * (rng() % 8)) >> 2) << 10;
        for (int b = 0; b < 4; ++b) body.push_back(static_cast<uint8_t>(jump >> (8 * b)));
        break;
      }
    }
  }
  for (uint32_t tail = rng() % 4; tail > 0; --tail) body.push_back(static_cast<uint8_t>(rng()));

  std::vector<uint8_t> image(vm::kHeaderSize, 0);
  const char magic[6] = {'O', 'R', 'V', 'A', '6', 0};
  std::copy(magic, magic + 6, image.begin() + vm::kOffMagic);
  image[vm::kOffReqMajor] = static_cast<uint8_t>(rng());
  image[vm::kOffReqMinor] = static_cast<uint8_t>(rng());
  vm::St32(&image[vm::kOffLOADSIZE], static_cast<uint32_t>(vm::kHeaderSize + body.size()));
  vm::St32(&image[vm::kOffZEROSIZE], rng() % 3 == 0 ? 0 : rng() % 5000);
  vm::St32(&image[vm::kOffSTACKSIZE], rng() % 100000);
  vm::St32(&image[vm::kOffHEAPSIZE], rng() % 10000000);
  image.resize(vm::kHeaderSize + body.size());
  std::memcpy(image.data() + vm::kHeaderSize, body.data(), body.size());
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
