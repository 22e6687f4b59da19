// How the program is asked to let the process end: message 3 runs to completion before the
// answer is given; a non-zero answer allows the end, a zero answer keeps the program running.
#pragma once

namespace orva {
struct Host;
}

namespace orva::host {

// The window's close button: message 3 for the window, then for the application.
void AskToClose(Host&);

// The quit command: message 3 once.
void AskToQuit(Host&);

// The end that was allowed: the music stops and the process ends with status 0.
[[noreturn]] void EndProgram(Host&);

}  // namespace orva::host
