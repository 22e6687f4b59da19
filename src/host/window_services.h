// Service group 7: window and system. The argument is one word, a value or the address of a
// block; texts are NUL-terminated. Pair results fill all of R14, the first value in its low half.
//
//   0 alert          1 line end       2 desktop size   3 next key message
//   4 latest pointer move             5 clipboard text 6 set clipboard text
//   7 nothing        8 window frame   9 set window frame                10 client size
//  11 title          12 user data folder                13 bundle folder  14 version text
//  15 Control key's name             16 cursor        17 open a URL    18 desktop size
//  19 button state
#pragma once

#include <cstdint>

namespace orva {
struct Host;
namespace services {
class SysCall;
}
}  // namespace orva

namespace orva::host {

void WindowService(Host&, services::SysCall&, uint32_t command);

// Shows the title the program set during the run that just ended, if it set one.
void ApplyPendingTitle(Host&);

}  // namespace orva::host
