// RunMachine: executes the program from the header's PC until it returns to the host.
#pragma once

#include "vm/fault.h"

namespace orva {
struct Host;
}

namespace orva::vm {

// Runs from the header's PC with the header's SP, FP and FLAGS until the entry routine returns
// to address 0, MODAL hands control back, EMOD finds nothing to resume, or a fault stops the
// program. The stop's alert has been shown and the exit state set when this returns; the
// record tells the caller why the run ended.
Stop RunMachine(Host&);

// The loop itself, without the report: what RunMachine runs. Exposed for tests. The
// pre-decoded loop (vm/fast_loop.h) unless Machine::predecoded is cleared or a tracer is set.
Stop Interpret(Host&);

// The reference loop: decodes every instruction as it runs it. What the pre-decoded loop must
// match, observably, and what runs --trace and --stats.
Stop InterpretReference(Host&);

namespace fast {
struct DecodeCache;
}

// Runs the one instruction at the header's PC in the reference loop, for the pre-decoded loop,
// and resets the entries of `dc` that its writes may have changed. Stops with kStepped after
// the instruction, or as the instruction stopped the run.
Stop StepOne(Host&, fast::DecodeCache& dc);

}  // namespace orva::vm
