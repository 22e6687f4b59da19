#include "platform/headless/headless_platform.h"

#include <algorithm>

namespace orva::platform {

namespace {
constexpr uint64_t kNanosPerSecond = 1'000'000'000;
constexpr size_t kAudioBlockFrames = 1024;
}  // namespace

HeadlessPlatform::HeadlessPlatform(std::FILE* err, std::vector<Size> displays)
    : err_(err), displays_(std::move(displays)) {
  if (displays_.empty()) displays_.push_back({1920, 1080});
}

// --- Alerts ----------------------------------------------------------------------------------

void HeadlessPlatform::Print(const char* kind, std::string_view text) {
  if (!err_) return;
  std::fprintf(err_, "%s: %.*s\n", kind, static_cast<int>(text.size()), text.data());
  std::fflush(err_);
}

void HeadlessPlatform::Alert(std::string_view utf8) {
  alerts_.emplace_back(utf8);
  Print("alert", utf8);
}

void HeadlessPlatform::SystemLog(std::string_view text) {
  log_.emplace_back(text);
  Print("log", text);
}

// --- Clock -----------------------------------------------------------------------------------

void HeadlessPlatform::WaitUntil(uint64_t deadline) {
  if (!queue_.empty() && queue_.front().time_ns < deadline) deadline = queue_.front().time_ns;
  if (deadline > now_) {
    RenderAudioUntil(deadline);
    now_ = deadline;
  }
}

// --- Display ---------------------------------------------------------------------------------

Size HeadlessPlatform::DesktopSize() {
  Size desktop;
  for (const Size& d : displays_) {
    desktop.width += d.width;
    desktop.height = std::max(desktop.height, d.height);
  }
  return desktop;
}

bool HeadlessPlatform::OpenWindow(const WindowSpec& spec) {
  spec_ = spec;
  if (spec_.scale < 1) spec_.scale = 1;
  frame_ = {100, 100, spec.width, spec.height};
  title_ = spec.title;
  open_ = true;
  return true;
}

Rect HeadlessPlatform::WindowFrame() {
  if (full_screen_) return {0, 0, displays_.front().width, displays_.front().height};
  return frame_;
}

void HeadlessPlatform::SetWindowFrame(const Rect& frame) {
  Rect old = frame_;
  frame_ = frame;
  if (!open_ || full_screen_) return;
  if (frame.x != old.x || frame.y != old.y) {
    Event moved;
    moved.type = EventType::kMoved;
    moved.x = frame.x;
    moved.y = frame.y;
    Inject(moved, now_);
  }
  if (frame.width != old.width || frame.height != old.height) {
    Size view = ViewSize();
    Notify(EventType::kResized, view.width, view.height);
  }
}

Size HeadlessPlatform::ViewSize() {
  if (!open_) return {};
  Size points = full_screen_ ? displays_.front() : Size{frame_.width, frame_.height};
  return {points.width / spec_.scale, points.height / spec_.scale};
}

void HeadlessPlatform::SetFullScreen(bool on) {
  if (!open_ || on == full_screen_) return;
  full_screen_ = on;
  Notify(on ? EventType::kFullScreenEntered : EventType::kFullScreenLeft);
  Size view = ViewSize();
  Notify(EventType::kResized, view.width, view.height);
}

void HeadlessPlatform::SetMinimized(bool minimized) {
  if (!open_ || minimized == minimized_) return;
  minimized_ = minimized;
  Notify(minimized ? EventType::kMinimized : EventType::kRestored);
}

void HeadlessPlatform::Present(const Frame& screen, const Rect& area) {
  Size view = ViewSize();
  Rect r = area;
  int32_t right = std::min({r.x + r.width, screen.width, view.width});
  int32_t bottom = std::min({r.y + r.height, screen.height, view.height});
  r.x = std::max(r.x, 0);
  r.y = std::max(r.y, 0);
  r.width = std::max(right - r.x, 0);
  r.height = std::max(bottom - r.y, 0);
  presented_.push_back(r);
}

void HeadlessPlatform::Notify(EventType type, int32_t width, int32_t height) {
  Event e;
  e.type = type;
  e.width = width;
  e.height = height;
  Inject(e, now_);
}

// --- Events ----------------------------------------------------------------------------------

void HeadlessPlatform::Inject(const Event& event, uint64_t time_ns) {
  time_ns = std::max(time_ns, now_);
  auto after = std::upper_bound(queue_.begin(), queue_.end(), time_ns,
                                [](uint64_t t, const Timed& q) { return t < q.time_ns; });
  queue_.insert(after, Timed{time_ns, event});
}

bool HeadlessPlatform::Poll(Event& out) {
  if (queue_.empty() || queue_.front().time_ns > now_) return false;
  out = std::move(queue_.front().event);
  queue_.pop_front();
  return true;
}

// --- Desktop ---------------------------------------------------------------------------------

bool HeadlessPlatform::OpenUrl(std::string_view url) {
  urls_.emplace_back(url);
  Print("url (not opened)", url);
  return true;
}

// --- Audio output ----------------------------------------------------------------------------

int HeadlessPlatform::Start(AudioSource* source, int rate) {
  source_ = source;
  rate_ = rate > 0 ? rate : 48000;
  audio_start_ns_ = now_;
  frames_rendered_ = 0;
  return rate_;
}

void HeadlessPlatform::RenderAudioUntil(uint64_t time_ns) {
  if (!source_) return;
  // Frames due by `time_ns`, counted from the start so that rounding never accumulates.
  uint64_t elapsed = time_ns - audio_start_ns_;
  uint64_t due = elapsed / kNanosPerSecond * rate_ +
                 elapsed % kNanosPerSecond * static_cast<uint64_t>(rate_) / kNanosPerSecond;
  while (frames_rendered_ < due) {
    size_t frames =
        static_cast<size_t>(std::min<uint64_t>(due - frames_rendered_, kAudioBlockFrames));
    audio_block_.assign(frames * 2, 0);
    source_->Render(audio_block_.data(), frames);
    if (audio_tap_) audio_tap_(audio_block_.data(), frames);
    frames_rendered_ += frames;
  }
}

}  // namespace orva::platform
