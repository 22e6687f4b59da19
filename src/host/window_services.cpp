#include "host/window_services.h"

#include <cstring>
#include <string>
#include <string_view>

#include "core/host.h"
#include "host/event_recorder.h"
#include "host/url_policy.h"
#include "host/version_text.h"
#include "host/window_geometry.h"
#include "platform/text_encoding.h"
#include "services/syscall.h"
#include "vm/messages.h"

namespace orva::host {

namespace {

constexpr size_t kTitleBytes = 512;
constexpr size_t kUrlLogBytes = 200;
// The name of the key that plays the program's Command key. Programs size its buffer for "Cmd"
// and its NUL, so the name fits in three letters.
constexpr std::string_view kControlKeyName = "Ctl";

uint64_t Pair(uint32_t first, uint32_t second) { return uint64_t{second} << 32 | first; }

// `text` and its NUL at `address`.
void CopyOut(services::SysCall& call, uint32_t address, std::string_view text) {
  uint8_t* out = call.Bytes(address, text.size() + 1);
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = 0;
}

// Command 1: CR LF and a NUL into the buffer of the block (buffer address, size). A buffer of 2
// bytes or less is reported and left as it was.
void GetEol(Host& host, services::SysCall& call, uint32_t block) {
  uint32_t buffer = call.Load32(block);
  int32_t size = static_cast<int32_t>(call.Load32(block + 4));
  if (size <= 2)
    ShowMessageBox(host, "GetEOL: buffer too small");
  else
    CopyOut(call, buffer, "\r\n");
  call.Result(2);
}

// Commands 3 and 4: a look into the ring, answered in the block of four words (code, p1, p2, p3);
// only the code is written when nothing was found. The block is checked before the ring is
// touched, so that a bad address discards nothing.
void LookAhead(Host& host, services::SysCall& call, uint32_t block, bool key) {
  call.Bytes(block, 16);
  vm::Message msg;
  bool found =
      key ? vm::NextKeyMsg(host, call.Load32(block) != 0, msg) : vm::LatestMouseMoveMsg(host, msg);
  call.Store32(block, msg.code);
  if (found) {
    call.Store32(block + 4, msg.p1);
    call.Store32(block + 8, msg.p2);
    call.Store32(block + 12, msg.p3);
  }
  call.Result(found ? 1 : 0);
}

// Command 5: the clipboard's text into the block's buffer (address, size), as UTF-8 of at most
// size - 1 bytes with its NUL (a buffer of 1 byte gets the NUL alone). A longer text is cut
// after its last whole character that fits; a size of 0 or less writes nothing.
void GetClipboard(Host& host, services::SysCall& call, uint32_t block) {
  uint32_t buffer = call.Load32(block);
  int32_t size = static_cast<int32_t>(call.Load32(block + 4));
  std::string text = host.platform.desktop().ClipboardText().value_or("");
  if (EventRecorder* recorder = host.shell.recorder.get())
    recorder->ClipboardRead(ScriptTime(host), text);
  if (size <= 0) return;
  std::string_view fit = text;
  fit = fit.substr(0, fit.find('\0'));
  size_t room = size > 1 ? static_cast<size_t>(size) - 2 : 0;
  if (fit.size() > room) {
    size_t n = room;
    while (n > 0 && (static_cast<uint8_t>(fit[n]) & 0xC0) == 0x80) --n;
    fit = fit.substr(0, n);
  }
  CopyOut(call, buffer, fit);
}

void SetClipboard(Host& host, services::SysCall& call, uint32_t address) {
  std::string text = platform::ValidUtf8(call.String(address));
  host.platform.desktop().SetClipboardText(text);
  if (EventRecorder* recorder = host.shell.recorder.get()) recorder->ClipboardWritten(text);
}

void GetFrame(Host& host, services::SysCall& call, uint32_t block) {
  call.Bytes(block, 20);
  WindowRequest frame;
  if (!GetWindowFrame(host, frame)) return;
  uint32_t words[5] = {static_cast<uint32_t>(frame.x), static_cast<uint32_t>(frame.y), frame.width,
                       frame.height, frame.full_screen};
  for (uint32_t i = 0; i < 5; ++i) call.Store32(block + 4 * i, words[i]);
}

void SetFrame(Host& host, services::SysCall& call, uint32_t block) {
  call.Bytes(block, 20);
  WindowRequest& req = host.shell.requested;
  req.x = static_cast<int32_t>(call.Load32(block));
  req.y = static_cast<int32_t>(call.Load32(block + 4));
  req.width = call.Load32(block + 8);
  req.height = call.Load32(block + 12);
  req.full_screen = call.Load32(block + 16);
  ApplyWindowGeometry(host);
}

void SetTitle(Host& host, services::SysCall& call, uint32_t address) {
  std::string_view text = call.String(address);
  WindowState& w = host.shell.window;
  w.title = text.size() >= kTitleBytes ? "Title too long" : std::string(text);
  w.title_pending = true;
}

// The URL is read as Mac OS Roman. Anything but a web page or a mail address is refused with one
// line in the system log; the program is told nothing either way.
void OpenUrl(Host& host, services::SysCall& call, uint32_t address) {
  std::string url = platform::MacRomanToUtf8(call.String(address));
  std::string shown = url.substr(0, kUrlLogBytes);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  if (auto refusal = UrlRefusal(url)) {
    host.platform.alerts().SystemLog("URL not opened (" + *refusal + "): " + shown);
    return;
  }
  if (!host.platform.desktop().OpenUrl(url))
    host.platform.alerts().SystemLog("URL could not be opened: " + shown);
}

}  // namespace

void WindowService(Host& host, services::SysCall& call, uint32_t command) {
  const graphics::GraphicsState& g = host.gfx;
  const WindowState& w = host.shell.window;
  switch (command) {
    case 0: ShowMessageBox(host, call.String(call.Arg(0))); break;
    case 1: GetEol(host, call, call.Arg(0)); break;
    case 2:
    case 18:
      call.Result64(
          Pair(static_cast<uint32_t>(g.desktop_width), static_cast<uint32_t>(g.desktop_height)));
      break;
    case 3: LookAhead(host, call, call.Arg(0), true); break;
    case 4: LookAhead(host, call, call.Arg(0), false); break;
    case 5: GetClipboard(host, call, call.Arg(0)); break;
    case 6: SetClipboard(host, call, call.Arg(0)); break;
    case 7: break;
    case 8: GetFrame(host, call, call.Arg(0)); break;
    case 9: SetFrame(host, call, call.Arg(0)); break;
    case 10: call.Result64(Pair(w.client_width, w.client_height)); break;
    case 11: SetTitle(host, call, call.Arg(0)); break;
    case 12: CopyOut(call, call.Arg(0), host.folders.user_data); break;
    case 13: CopyOut(call, call.Arg(0), host.folders.bundle); break;
    case 14: {
      KernelVersion kernel = RunningKernel();
      CopyOut(call, call.Arg(0), VersionText(kernel));
      call.Result(PackedVersion(kernel));
      break;
    }
    case 15: CopyOut(call, call.Arg(0), kControlKeyName); break;
    case 16:
      host.platform.desktop().SetCursor(
          (call.Arg(0) & 0xFFFF) == 2 ? platform::Cursor::kPointingHand : platform::Cursor::kArrow);
      break;
    case 17: OpenUrl(host, call, call.Arg(0)); break;
    case 19: call.Result(call.Arg(0) & host.shell.input.buttons); break;
    default: services::UnknownCommand(host); break;
  }
}

void ApplyPendingTitle(Host& host) {
  WindowState& w = host.shell.window;
  if (!w.title_pending) return;
  w.title_pending = false;
  host.platform.display().SetTitle(platform::ValidUtf8(w.title));
}

}  // namespace orva::host
