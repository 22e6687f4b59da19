// Event scripts: the text format of --events (input replayed into a run) and --record (the
// input a run received), one event per line:
//
//     T KIND ARGS...        # a comment
//
// T is milliseconds since the program started, never decreasing. docs/cli.md describes the
// kinds; strings are in double quotes with the escapes \" \\ \n \r \t and \xHH.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orva::host {

enum class ScriptKind : uint8_t {
  kKeyDown,
  kKeyUp,
  kText,
  kMouseMove,
  kMouseDown,
  kMouseUp,
  kWheel,
  kResize,
  kMove,
  kMinimize,
  kRestore,
  kFullScreenOn,
  kFullScreenOff,
  kFocusLost,
  kFocusGained,
  kClose,
  kQuit,
  kClipboard,
};

struct ScriptLine {
  uint64_t ms = 0;
  ScriptKind kind = ScriptKind::kQuit;
  uint16_t scancode = 0;  // key-down, key-up
  int button = 0;         // mouse-down, mouse-up: 1 left, 2 middle, 3 right, 4 x1, 5 x2
  double x = 0, y = 0;    // mouse position, wheel deltas, resize width and height, move x and y
  std::string text;       // text, clipboard; key-down when has_text
  bool has_text = false;  // key-down: a text line gave the press's text
  int line = 0;           // where it stood in its file
  friend bool operator==(const ScriptLine&, const ScriptLine&) = default;
};

// The lines of the script `text`, or one error "NAME:LINE: what is wrong" (NAME is how the
// file is called in the message).
std::variant<std::vector<ScriptLine>, std::string> ParseEventScript(std::string_view text,
                                                                    std::string_view name);

// The text of one event, with its line end: two lines for a key-down with its text.
std::string FormatScriptLine(const ScriptLine&);

}  // namespace orva::host
