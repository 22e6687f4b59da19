// State of the file services and the profile file services.
#pragma once

namespace orva::services {

struct ServiceState {};

}  // namespace orva::services
