// Run state of the machine that lives outside the image: the flags and counters of message
// delivery, the pending-message ring, the modal depth and the exit state. The register file
// itself is the image header (vm/image.h).
#pragma once

#include <cstdint>
#include <memory>

#include "vm/ring.h"
#include "vm/run_limit.h"

namespace orva {
struct Host;
}

namespace orva::vm {

inline constexpr uint32_t kExitFault = 1;    // set by a fatal machine fault or halt
inline constexpr uint32_t kExitStarted = 2;  // set when the exit sequence starts

class Tracer;
namespace fast {
struct DecodeCache;
}

// What the layers above hand the machine. Null members do nothing, so a bare Host runs messages
// without a window.
struct RunHooks {
  // Called after every run that ended without a fault: shows what the run drew on the screen.
  void (*after_run)(Host&) = nullptr;
};

struct Machine {
  uint32_t exit_state = 0;
  bool in_qx = false;    // the machine is running a message
  bool started = false;  // the window has been shown; never cleared
  // The program runs a timer of its own: once started, posted messages wait in the ring for the
  // host tick instead of running at once. Kept by the program timer's start and stop.
  bool paced = false;
  uint32_t loaded_count = 0;  // 1 after loading, 2 after the screen is set up
  int32_t modal_depth = 0;    // saved MODAL contexts
  uint32_t pc_pre_jsr = 0;    // address just past the last JSR's instruction word
  MessageRing ring;
  RunHooks hooks;
  RunLimit limit;

  // Set for --trace and --stats: the interpreter then runs its instrumented loop.
  std::shared_ptr<Tracer> tracer;
  // Runs go through the pre-decoded loop (vm/fast_loop.h) unless this is cleared; the
  // reference loop then runs every instruction.
  bool predecoded = true;
  std::shared_ptr<fast::DecodeCache> decoded;  // made at the first pre-decoded run
};

}  // namespace orva::vm
