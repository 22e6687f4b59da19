// The scheduler. Both timers are deadlines on the platform's monotonic clock; the loop waits for
// the earlier one or the next event, takes every event that is ready, then runs whatever timer
// is due. Headless, the clock is virtual and jumps straight to
// each deadline, so ticks run back to back and two runs with the same input are identical.
//
// When both timers fall due at the same instant, the program timer's tick runs first: the tick
// message it queues is then delivered by the host tick of that same instant.
#include "host/run_loop.h"

#include <algorithm>

#include "audio/audio.h"
#include "core/host.h"
#include "core/message_codes.h"
#include "graphics/screen.h"
#include "host/event_pump.h"
#include "host/timers.h"
#include "host/window_services.h"
#include "vm/messages.h"
#include "vm/run_limit.h"

namespace orva::host {

namespace {

// The deadline after `due` for a timer of `period` that fired at `now`; firings missed while the
// host was busy are skipped, as run-loop timers do.
uint64_t NextDeadline(uint64_t due, uint64_t period, uint64_t now) {
  due += period;
  if (due <= now) due += (now - due) / period * period + period;
  return due;
}

// After every run that ended without a fault: what it drew is shown, then the title it set.
void FinishRun(Host& host) {
  graphics::RedrawDirtyRect(host);
  ApplyPendingTitle(host);
}

}  // namespace

void StartProgram(Host& host) {
  Shell& shell = host.shell;
  vm::Machine& vm = host.machine;
  platform::Display& display = host.platform.display();
  platform::WindowSpec spec;
  spec.title = host.folders.game_name;
  spec.scale = host.options.scale;
  if (!display.OpenWindow(spec)) ExitProcess(host, kNoWindowStatus);  // the back end said why
  shell.next_host_tick_ns = host.platform.clock().MonotonicNanos() + kHostTickNanos;
  platform::Size desktop = display.DesktopSize();
  graphics::SetupScreen(host, desktop.width, desktop.height);
  vm.hooks.after_run = FinishRun;
  audio::StartAudio(host);
  ++vm.loaded_count;
  display.ShowWindow();
  vm.started = true;
  vm::ForceMsg(host, {kMsgStart, 0, 0, 0});
  vm::ForceMsg(host, {kMsgStarted, 0, 0, 0});
  // Event scripts count from here: a window and a program that take long to start must not
  // make the first lines late.
  shell.start_ns = host.platform.clock().MonotonicNanos();
  shell.initialised = true;
  const WindowRequest& req = shell.requested;
  vm::PostMsg(host, {kMsgSize, req.width, req.height, 0});
  vm::PostMsg(host, {kMsgMove, static_cast<uint32_t>(req.x), static_cast<uint32_t>(req.y), 0});
  shell.pending_size = true;
  shell.view_width = req.width;
  shell.view_height = req.height;
}

void RunEventLoop(Host& host) {
  Shell& shell = host.shell;
  platform::Platform& platform = host.platform;
  for (;;) {
    ProgramTimer& timer = shell.program_timer;
    uint64_t deadline = shell.next_host_tick_ns;
    if (timer.running && timer.next_ns < deadline) deadline = timer.next_ns;
    deadline = std::min(deadline, NextScriptDeadline(host));
    platform.clock().WaitUntil(deadline);
    if (vm::TimeLimitPassed(host)) vm::EndOnTimeLimit(host, nullptr);
    uint64_t now = platform.clock().MonotonicNanos();
    PumpEvents(host);

    if (timer.running && timer.next_ns <= now) {
      uint64_t period = uint64_t{timer.interval_ms} * 1000000;
      timer.next_ns = NextDeadline(timer.next_ns, period, now);
      ProgramTick(host);
    }
    if (shell.next_host_tick_ns <= now) {
      shell.next_host_tick_ns = NextDeadline(shell.next_host_tick_ns, kHostTickNanos, now);
      HostTick(host);
      ++shell.host_ticks;
      if (host.options.ticks && shell.host_ticks >= *host.options.ticks) QuitProgram(host);
    }
  }
}

void RunLoadedProgram(Host& host) {
  StartProgram(host);
  RunEventLoop(host);
}

void QuitProgram(Host& host) {
  if (vm::ForceMsg(host, {kMsgQuit, 0, 0, 0}) == 0)
    host.platform.alerts().SystemLog(
        "the program declined to quit (message 3 answered 0); ending anyway");
  audio::StopMusic(host);
  ExitProcess(host, 0);
}

}  // namespace orva::host
