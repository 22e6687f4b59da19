// State of the host shell: timers, the pending-size flag and the window records.
#pragma once

namespace orva::host {

struct Shell {};

}  // namespace orva::host
