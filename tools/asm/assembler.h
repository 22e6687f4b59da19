// The QX assembler as a library: qxasm's main and the tests call it; it never touches the
// output files itself. The language is described in docs/assembly.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orva::qxasm {

struct Options {
  std::vector<std::string> include_dirs;      // -I, searched after the including file's folder
  std::vector<std::string> std_include_dirs;  // searched last (the folder of qx.inc)
  std::vector<std::pair<std::string, int64_t>> defines;  // -D NAME=VALUE constants
  bool listing = false;

  // Limits that keep hostile sources from exhausting the machine.
  uint64_t max_image_bytes = 64u << 20;  // header, code and data
  uint64_t max_lines = 4'000'000;        // lines processed, expansions included
  int max_include_depth = 32;
  int max_macro_depth = 64;
  size_t max_errors = 50;
};

struct Result {
  bool ok = false;
  std::vector<uint8_t> image;             // the MAIN.QX bytes when ok
  std::string listing;                    // when Options::listing and ok
  std::string errors;                     // rendered reports, empty when ok
  std::vector<std::string> dependencies;  // every file read, the main source first
};

// Assembles the file at `path`.
Result AssembleFile(const std::string& path, const Options& options);

// Assembles `text` as if it were the file `name` (includes are looked up next to `name`).
Result AssembleText(std::string_view text, const std::string& name, const Options& options);

// Source files (the main one and includes) are refused above this size.
inline constexpr uint64_t kMaxSourceBytes = 64u << 20;

// Default header values.
inline constexpr uint32_t kDefaultStack = 64u << 10;
inline constexpr uint32_t kDefaultHeap = 1u << 20;
inline constexpr uint8_t kDefaultMajor = 6, kDefaultMinor = 0;

}  // namespace orva::qxasm
