// Small helpers for the assembler and disassembler tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "assembler.h"
#include "vm/disasm.h"
#include "vm/image.h"

namespace orva::test {

inline qxasm::Options AsmOptions() {
  qxasm::Options o;
  o.std_include_dirs = {ORVA_SOURCE_DIR "/tools/asm/include"};
  return o;
}

inline qxasm::Result Asm(std::string_view source, const qxasm::Options& options = AsmOptions()) {
  return qxasm::AssembleText(source, "test.qxs", options);
}

// The words from the entry point up to LOADSIZE of an image that must assemble.
inline std::vector<uint32_t> CodeWords(const std::vector<uint8_t>& image) {
  std::vector<uint32_t> words;
  if (image.size() < vm::kHeaderSize) return words;
  const uint32_t load = vm::Ld32(&image[vm::kOffLOADSIZE]);
  for (uint32_t a = vm::kEntryPoint; a + 4 <= load && a + 4 <= image.size(); a += 4)
    words.push_back(vm::Ld32(&image[a]));
  return words;
}

inline std::vector<uint32_t> Words(std::string_view source) {
  qxasm::Result r = Asm(source);
  EXPECT_TRUE(r.ok) << source << "\n" << r.errors;
  return CodeWords(r.image);
}

// A random instruction the decoder calls canonical, with its words and text. Half the first words
// are masked to plausible ones so that every form turns up often, and a third of the other words
// take an extreme value, so that both ends of every field get exercised.
struct RandomInstruction {
  std::vector<uint32_t> words;
  std::string text;
};
inline RandomInstruction RandomCanonical(std::mt19937_64& rng) {
  static constexpr uint32_t kEdges[] = {0, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
  for (;;) {
    uint32_t w[4];
    for (uint32_t& x : w) x = rng() % 3 ? static_cast<uint32_t>(rng()) : kEdges[rng() % 4];
    w[0] = static_cast<uint32_t>(rng()) & (rng() % 2 ? ~0u : rng() % 2 ? 0x0000FFFF : 0x000F7FFF);
    const vm::DecodedInstruction d = vm::Disassemble(w, vm::kEntryPoint);
    if (d.canonical) return {{w, w + d.words}, d.text};
  }
}

inline std::string Repeat(std::string_view text, int times) {
  std::string out;
  while (times-- > 0) out += text;
  return out;
}

// Fails the calling test for each part that `text` lacks.
inline void ExpectHas(const std::string& text, std::initializer_list<std::string_view> parts) {
  for (std::string_view part : parts)
    EXPECT_NE(text.find(part), std::string::npos) << "wanted: " << part << "\nin:\n" << text;
}

}  // namespace orva::test
