// Small helpers for the assembler and disassembler tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "assembler.h"
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
