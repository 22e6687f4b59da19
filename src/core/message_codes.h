// The codes of every message the host sends the program, in one list. A message is four u32
// values (code, p1, p2, p3); codes 1 to 4 run at once (ForceMsg), every other code is posted and
// may wait in the pending-message ring.
#pragma once

#include <cstdint>

namespace orva {

//                                            p1                  p2            p3
inline constexpr uint32_t kMsgStart = 1;       // 0                  0             0
inline constexpr uint32_t kMsgStarted = 2;     // 0                  0             0
inline constexpr uint32_t kMsgQuit = 3;        // 0; MSGRESULT != 0 allows the close or quit
inline constexpr uint32_t kMsgExit = 4;        // 0: the last message, after a fatal fault
inline constexpr uint32_t kMsgMinimized = 7;   // 1 minimised, 0 restored
inline constexpr uint32_t kMsgMove = 8;        // window x           window y
inline constexpr uint32_t kMsgSize = 9;        // width              height        0, 2 or 3
inline constexpr uint32_t kMsgMusicEnd = 10;   // 0                  0             0
inline constexpr uint32_t kMsgTick = 11;       // 0                  0             0
inline constexpr uint32_t kMsgKeyDown = 12;    // key, button or wheel code, with state/position
inline constexpr uint32_t kMsgKeyUp = 13;      // key or button code, with state/position
inline constexpr uint32_t kMsgKeyText = 14;    // text bytes 0-3     text bytes 4-7  0
inline constexpr uint32_t kMsgMouseMove = 15;  // x                 y             button state

// p3 of kMsgSize.
inline constexpr uint32_t kSizeNormal = 0;
inline constexpr uint32_t kSizeFullScreen = 2;  // entering full screen, or resized in it
inline constexpr uint32_t kSizeLeftFullScreen = 3;

}  // namespace orva
