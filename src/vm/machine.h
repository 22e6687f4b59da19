// Run state of the machine that lives outside the image: the flags and counters of message
// delivery, the pending-message ring, the modal depth and the exit state. The register file
// itself is the image header (vm/image.h).
#pragma once

#include <cstdint>
#include <memory>

#include "vm/ring.h"

namespace orva::vm {

inline constexpr uint32_t kExitFault = 1;    // set by a fatal machine fault or halt
inline constexpr uint32_t kExitStarted = 2;  // set when the exit sequence starts

inline constexpr uint32_t kMsgExit = 4;  // the exit message, the last one a program receives

class Tracer;

struct Machine {
  uint32_t exit_state = 0;
  bool in_qx = false;         // the machine is running a message
  bool started = false;       // the window has been shown; never cleared
  uint32_t loaded_count = 0;  // 1 after loading, 2 after the screen is set up
  int32_t modal_depth = 0;    // saved MODAL contexts
  uint32_t pc_pre_jsr = 0;    // address just past the last JSR's instruction word
  MessageRing ring;

  // Set for --trace and --stats: the interpreter then runs its instrumented loop.
  std::shared_ptr<Tracer> tracer;
};

}  // namespace orva::vm
