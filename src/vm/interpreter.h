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

// The loop itself, without the report: what RunMachine runs. Exposed for tests.
Stop Interpret(Host&);

}  // namespace orva::vm
