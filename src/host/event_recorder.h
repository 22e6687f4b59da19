// --record: the events a run receives, written as an event script that --events replays.
//
// What is written is what the user did: keys, text, the mouse, focus, close and quit as they
// reach the host, and the window changes the user made (the window's answers to the program's
// own requests are left out, since the program makes them again on replay). The clipboard is
// written when the program reads it and finds text that neither it nor the script put there:
// another application's copy, ahead of the event whose handling read it, so that a replay has
// the same text in place before the program looks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host/event_script.h"

namespace orva {
struct Host;
}
namespace orva::platform {
struct Event;
}

namespace orva::host {

class EventRecorder {
 public:
  // Takes `file` (open for writing); `path` names it in error messages.
  EventRecorder(std::FILE* file, std::string path);
  ~EventRecorder();
  EventRecorder(const EventRecorder&) = delete;
  EventRecorder& operator=(const EventRecorder&) = delete;

  // While held, lines wait, so that a clipboard line found during an event's handling is
  // written ahead of the event.
  void Hold() { ++hold_; }
  void Release();

  void Write(const ScriptLine&);
  // The program read `text` from the clipboard at `ms`.
  void ClipboardRead(uint64_t ms, std::string_view text);
  // The program put `text` on the clipboard.
  void ClipboardWritten(std::string_view text) { known_clipboard_ = std::string(text); }

 private:
  void Put(const std::string& text);

  std::FILE* file_;
  std::string path_;
  int hold_ = 0;
  std::vector<std::string> held_;
  uint64_t held_ms_ = 0;  // the time of the first line held
  std::string known_clipboard_;
  bool failed_ = false;
};

// Opens `path` for --record; the error text for the command line when it cannot.
std::variant<std::shared_ptr<EventRecorder>, std::string> OpenRecording(const std::string& path);

// The script line of an input, focus, close or quit event; nullopt for other events. The
// event's pointer position is in view pixels; the line's is in points, `scale` to a pixel.
std::optional<ScriptLine> ScriptLineOf(const platform::Event&, int32_t scale = 1);

// Records `line` at the run's current time when the run is being recorded.
void Record(Host&, ScriptLine line);

// Milliseconds since the program's start-up messages ran: the time of event scripts (0 while
// they run).
uint64_t ScriptTime(Host&);

}  // namespace orva::host
