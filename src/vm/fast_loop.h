// The pre-decoded loop, the machine's default way to run (vm/fast_loop.cpp).
#pragma once

#include "vm/fault.h"

namespace orva {
struct Host;
}

namespace orva::vm::fast {

struct DecodeCache;

// Runs from the header's PC, as vm::Interpret does, through the entries of `dc`.
Stop FastLoop(Host&, DecodeCache& dc);

}  // namespace orva::vm::fast
