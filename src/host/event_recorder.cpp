#include "host/event_recorder.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "core/host.h"

namespace orva::host {

EventRecorder::EventRecorder(std::FILE* file, std::string path)
    : file_(file), path_(std::move(path)) {}

EventRecorder::~EventRecorder() {
  if (std::fclose(file_) != 0 && !failed_)
    std::fprintf(stderr, "orva: cannot write %s: %s\n", path_.c_str(), std::strerror(errno));
}

// Each line goes out at once, so that a run that ends abruptly keeps what it recorded.
void EventRecorder::Put(const std::string& text) {
  if (failed_) return;
  if (std::fputs(text.c_str(), file_) < 0 || std::fflush(file_) != 0) {
    failed_ = true;
    std::fprintf(stderr, "orva: cannot write %s: %s\n", path_.c_str(), std::strerror(errno));
  }
}

void EventRecorder::Release() {
  if (hold_ > 0 && --hold_ == 0) {
    for (const std::string& line : held_) Put(line);
    held_.clear();
  }
}

void EventRecorder::Write(const ScriptLine& line) {
  if (line.kind == ScriptKind::kClipboard) known_clipboard_ = line.text;
  std::string text = FormatScriptLine(line);
  if (hold_ == 0) return Put(text);
  if (held_.empty()) held_ms_ = line.ms;
  held_.push_back(std::move(text));
}

void EventRecorder::ClipboardRead(uint64_t ms, std::string_view text) {
  if (text == known_clipboard_) return;
  known_clipboard_ = std::string(text);
  ScriptLine line;
  line.ms = hold_ > 0 && !held_.empty() ? held_ms_ : ms;  // time never goes back in the file
  line.kind = ScriptKind::kClipboard;
  line.text = known_clipboard_;
  Put(FormatScriptLine(line));  // ahead of whatever is held
}

std::variant<std::shared_ptr<EventRecorder>, std::string> OpenRecording(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return "cannot write " + path + ": " + std::strerror(errno);
  return std::make_shared<EventRecorder>(file, path);
}

std::optional<ScriptLine> ScriptLineOf(const platform::Event& e, int32_t scale) {
  using platform::EventType;
  // Whole points come back whole although a pixel may be a third of one (100 / 3 * 3 is not
  // always 100 in doubles).
  auto points = [scale](double pixels) { return std::round(pixels * scale * 1e6) / 1e6; };
  ScriptLine line;
  switch (e.type) {
    case EventType::kKeyDown:
      line.kind = ScriptKind::kKeyDown;
      line.scancode = e.scancode;
      line.text = e.text;
      line.has_text = true;
      break;
    case EventType::kKeyUp:
      line.kind = ScriptKind::kKeyUp;
      line.scancode = e.scancode;
      break;
    case EventType::kText:
      line.kind = ScriptKind::kText;
      line.text = e.text;
      break;
    case EventType::kButtonDown:
    case EventType::kButtonUp:
      if (e.button < 1) return std::nullopt;
      line.kind = e.type == EventType::kButtonDown ? ScriptKind::kMouseDown : ScriptKind::kMouseUp;
      line.button = std::min(e.button, 5);  // every higher button is the same to the program
      line.x = points(e.x);
      line.y = points(e.y);
      break;
    case EventType::kMotion:
      line.kind = ScriptKind::kMouseMove;
      line.x = points(e.x);
      line.y = points(e.y);
      break;
    case EventType::kWheel:  // as the wheel turned: a replay's deltas are never flipped
      line.kind = ScriptKind::kWheel;
      line.x = e.flipped ? -e.dx : e.dx;
      line.y = e.flipped ? -e.dy : e.dy;
      break;
    case EventType::kFocusLost: line.kind = ScriptKind::kFocusLost; break;
    case EventType::kFocusGained: line.kind = ScriptKind::kFocusGained; break;
    case EventType::kCloseRequested: line.kind = ScriptKind::kClose; break;
    case EventType::kQuitRequested: line.kind = ScriptKind::kQuit; break;
    default: return std::nullopt;
  }
  return line;
}

uint64_t ScriptTime(Host& host) {
  if (!host.shell.initialised) return 0;
  uint64_t now = host.platform.clock().MonotonicNanos();
  return now > host.shell.start_ns ? (now - host.shell.start_ns) / 1'000'000 : 0;
}

void Record(Host& host, ScriptLine line) {
  EventRecorder* recorder = host.shell.recorder.get();
  if (!recorder) return;
  line.ms = ScriptTime(host);
  recorder->Write(line);
}

}  // namespace orva::host
