// The decoder of the pre-decoded loop: one instruction (or a flag-setting operation and the
// branch on flags after it) into one entry of the decode cache.
#pragma once

#include "vm/decode_cache.h"

namespace orva::vm::fast {

// Decodes the instruction at e.pc into `e` from the image's current words, and records the
// words it read. Instructions the pre-decoded loop does not run (traps, faults, run control,
// careful operands known ahead, code that reaches past its page) become kHStep entries, which
// hand the instruction to the reference loop.
void Decode(DecodeCache& dc, Entry& e);

}  // namespace orva::vm::fast
