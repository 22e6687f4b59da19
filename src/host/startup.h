// Start-up and the end of the process: load the image, run the program, and finish what the
// command line asked for once the program has ended.
#pragma once

#include <string>

namespace orva {
struct Host;
}

namespace orva::host {

// Loads "MAIN.QX" (the folders and options are already in `host`) and runs the program until it
// ends. Returns the exit status of a normal end; the end of the process (a fatal host condition,
// the exit message) arrives as platform::ProcessExit.
int RunHost(Host&);

// Everything after loading: set up the screen, run messages 1 and 2, post 9 and 8, run the timer
// loop until the program ends.
void RunProgram(Host&);

// RunHost to the end of the process, whichever way it ends, then --screenshot and --dump-image.
// The exit status is the end's (0 when the program ended, 1 after a fatal host condition), or 1
// when a file asked for could not be written.
int RunToExit(Host&);

// Writes all of the image's memory to `path`; false with the reason in `error` on failure.
bool DumpImage(const Host&, const std::string& path, std::string& error);

}  // namespace orva::host
