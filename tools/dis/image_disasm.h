// Disassembles a whole program image into source that qxasm assembles back to the same code,
// data and header fields.
//
// The header does not say where code ends and data begins, so the code is found by following
// control flow from the entry point (and from subroutine entries and jump tables found on the
// way). Everything else prints as data. Words that are not canonical encodings (see
// vm/disasm.h) always print as data, with a comment saying what the machine would do with them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace orva::qxdis {

struct Options {
  uint32_t from = 0;  // print only lines at addresses in [from, to)
  uint32_t to = UINT32_MAX;
  std::string name = "MAIN.QX";  // shown in the heading comment
};

// Returns false with `error` set when the bytes are not a program image at all.
bool DisassembleImage(std::span<const uint8_t> file, const Options& options, std::string& out,
                      std::string& error);

}  // namespace orva::qxdis
