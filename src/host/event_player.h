// --events: an event script played into the run, the same way on every back end. Input, focus,
// close and quit lines become the platform's events and go to the host as if the desktop had
// sent them; window lines are done to the window through the platform's display, as the user's
// window controls would, and the notifications the desktop answers with come back through the
// platform's events; clipboard lines put text on the desktop's clipboard.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "host/event_script.h"

namespace orva {
struct Host;
}

namespace orva::host {

class EventPlayer {
 public:
  explicit EventPlayer(std::vector<ScriptLine> lines) : lines_(std::move(lines)) {}

  // When the next line falls due, in script time; nullopt when every line has been played.
  std::optional<uint64_t> next_ms() const {
    if (next_ >= lines_.size()) return std::nullopt;
    return lines_[next_].ms;
  }
  // Plays the next line.
  void PlayNext(Host&);

 private:
  void KeyChanged(uint16_t scancode, bool down);

  std::vector<ScriptLine> lines_;
  size_t next_ = 0;
  uint16_t held_modifier_keys_ = 0;  // bit n: modifier key 224 + n is down
  bool caps_lock_ = false;
};

// The lines of the event script at `path`, or the error text for the command line.
std::variant<std::vector<ScriptLine>, std::string> ReadEventScript(const std::string& path);

}  // namespace orva::host
