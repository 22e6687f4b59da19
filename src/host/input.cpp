#include "host/input.h"

#include "core/host.h"

namespace orva::host {

// Input reaches the program once the key and button tables are built.
void HandleInputEvent(Host&, const platform::Event&) {}

}  // namespace orva::host
