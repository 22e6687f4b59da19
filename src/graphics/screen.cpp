#include "graphics/screen.h"

namespace orva::graphics {

// Not built yet.
void SetupScreen(Host&, int32_t, int32_t) {}

}  // namespace orva::graphics
