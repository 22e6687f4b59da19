#include "host/window_events.h"

#include "core/host.h"

namespace orva::host {

// The window notifications reach the program once the window services keep their records.
void HandleWindowEvent(Host&, const platform::Event&) {}

}  // namespace orva::host
