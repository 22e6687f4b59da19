#include "host/timers.h"

#include "audio/audio.h"
#include "core/host.h"
#include "core/message_codes.h"
#include "host/window_geometry.h"
#include "vm/messages.h"

namespace orva::host {

namespace {
constexpr uint32_t kTicksPerTickMessage = 16;
constexpr int32_t kCollapsedWidth = 10;
}  // namespace

void StartProgramTimer(Host& host, uint32_t interval_ms) {
  ProgramTimer& timer = host.shell.program_timer;
  if (timer.running) return;
  timer.running = true;
  timer.interval_ms = interval_ms;
  timer.next_ns = host.platform.clock().MonotonicNanos() + uint64_t{interval_ms} * 1000000;
  host.machine.paced = true;
}

void StopProgramTimer(Host& host) {
  host.shell.program_timer = {};
  host.machine.paced = false;
}

void HostTick(Host& host) {
  Shell& shell = host.shell;
  vm::Machine& vm = host.machine;
  if (!vm.in_qx && !shell.live_resize) {
    if (shell.pending_size) {
      shell.pending_size = false;
      vm::PostMsg(host, {kMsgSize, shell.view_width, shell.view_height, 0});
    }
    if (vm.ring.empty() && ++shell.tick_count % kTicksPerTickMessage == 0)
      vm::PostMsg(host, {kMsgTick, 0, 0, 0});
    vm::DeliverNextMsg(host);
  }
  audio::PollMusic(host);  // also on ticks that deliver nothing
}

void ProgramTick(Host& host) {
  Shell& shell = host.shell;
  // A window collapsed below 10 points wide (which some desktops allow) is given back the
  // minimum window, so that the program is never left without one.
  if (host.machine.started && shell.initialised && host.machine.ring.empty() &&
      host.platform.display().WindowFrame().width < kCollapsedWidth) {
    WindowRequest& req = shell.requested;
    req = {static_cast<int32_t>(kMinWindowX), static_cast<int32_t>(kMinWindowY), kMinWindowWidth,
           kMinWindowHeight, req.full_screen};
    ApplyWindowGeometry(host);
  }
  if (!host.machine.in_qx) vm::PostMsg(host, {kMsgTick, 0, 0, 0});
}

}  // namespace orva::host
