// State of the graphics subsystem: host bitmaps, bindings, clip and dirty rectangles, line pattern.
#pragma once

namespace orva::graphics {

struct GraphicsState {};

}  // namespace orva::graphics
