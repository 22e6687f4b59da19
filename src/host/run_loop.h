// Bringing a loaded program up and running it: the start-up messages, then the timers until the
// program ends.
#pragma once

namespace orva {
struct Host;
}

namespace orva::host {

// The end when the window cannot be opened: the same as having no display at all.
inline constexpr int kNoWindowStatus = 2;

// The start-up order after "MAIN.QX" has been loaded (and the loaded count raised): the window
// is made (not yet shown), the host timer starts, the screen is set up, the window is shown and
// the program marked started, messages 1 and 2 run at once, and messages 9 and 8 are posted with
// the window geometry the program asked for. Without a window the process ends with
// kNoWindowStatus.
void StartProgram(Host&);

// Runs the events, the host timer and the program timer on the platform's clock until the
// program ends or, with --ticks N, until N host ticks have run and the quit request has been
// made. Ends the process (platform::ProcessExit); never returns.
[[noreturn]] void RunEventLoop(Host&);

// StartProgram, then RunEventLoop.
[[noreturn]] void RunLoadedProgram(Host&);

// The end of --ticks: message 3 runs at once; the process then ends with status 0 whatever the
// program answered (a refusal is logged).
[[noreturn]] void QuitProgram(Host&);

}  // namespace orva::host
