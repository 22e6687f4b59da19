// How the program is asked to let the process end. Message 3 runs to completion, with the
// window still open, before the answer is given; a non-zero answer allows the end, a zero
// answer keeps the program running.
#pragma once

namespace orva {
struct Host;
}

namespace orva::host {

// The window's close button: message 3 for the window, then once more for the application.
// The window stays open unless both answers allow the end: a program that lets its window go
// but not itself keeps running, and it keeps its window too, since nothing could bring a
// closed window back.
void AskToClose(Host&);

// The quit command (Ctrl+Q, SIGTERM, SIGINT, the desktop's own): message 3 once.
void AskToQuit(Host&);

// The end that was allowed: the music stops and the process ends with status 0.
[[noreturn]] void EndProgram(Host&);

}  // namespace orva::host
