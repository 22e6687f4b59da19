// The table of SYS service groups. It names a handler from every family (files, strings,
// graphics, audio, the window), so it lives here at the top, where all of them are visible; the
// dispatcher below reaches it through its declaration in services/dispatch.h.
#include "audio/audio.h"
#include "graphics/graphics_service.h"
#include "host/timers.h"
#include "host/window_services.h"
#include "services/dispatch.h"

namespace orva::services {

//  group  service                          handler
const ServiceGroup kServiceGroups[10] = {
    {0, "files", FileService},
    {1, "none", NoService},
    {2, "clock, date and program timer", host::ClockService},
    {3, "strings, memory and formatting", StringService},
    {4, "none", NoService},
    {5, "graphics", graphics::GraphicsService},
    {6, "music and sound effects", audio::AudioService},
    {7, "window and system", host::WindowService},
    {8, "profile file", ProfileService},
    {9, "heap", HeapService},
};

}  // namespace orva::services
