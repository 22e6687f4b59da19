// SIGINT and SIGTERM as the quit command. The handler only records the request; the event loop
// takes it and asks the program (message 3) as it would for Ctrl+Q. A program stuck in a run
// never lets the loop take it, so a second SIGINT while a request is still unanswered ends the
// process at once, with status 130.
#pragma once

namespace orva::host {

inline constexpr int kInterruptedStatus = 130;  // 128 + SIGINT, as shells report it

// Installs the handlers for the process; the process entry calls it once.
void InstallQuitSignals();

// True once for each request a signal made; the request counts as unanswered until
// QuitSignalAnswered.
bool TakeQuitSignal();
void QuitSignalAnswered();

}  // namespace orva::host
