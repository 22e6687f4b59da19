#include "host/hotkeys.h"

#include <cstdio>
#include <string>

#include "core/host.h"
#include "host/keys.h"
#include "host/screenshot.h"
#include "host/shutdown.h"

namespace orva::host {

namespace {

using platform::EventType;

// USB HID usage codes (keyboard page).
constexpr uint16_t kKeyReturn = 0x28, kKeyPadEnter = 0x58;

enum class Hotkey { kNone, kFullScreen, kScreenshot, kQuit };

// The letter a key press means to a hotkey: the one the active layout gives it when that is a
// Latin letter (Ctrl+Q is the key marked Q, wherever the layout puts it), otherwise the letter at
// its position on a US keyboard (layouts without Latin letters); 0 for other keys.
char Letter(const platform::Event& e) {
  if (e.text.size() == 1) {
    char c = e.text[0];
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return c;
  }
  const uint32_t code = KeyCode(e.scancode);  // a letter key's code is its capital
  return code >= 'A' && code <= 'Z' ? static_cast<char>(code) : 0;
}

Hotkey Match(const platform::Event& e) {
  using namespace platform;
  uint16_t mods = e.modifiers & (kModShift | kModCtrl | kModAlt | kModGui);
  if ((e.scancode == kKeyReturn || e.scancode == kKeyPadEnter) && mods == kModAlt)
    return Hotkey::kFullScreen;
  char letter = Letter(e);
  if (letter == 'P' && mods == (kModCtrl | kModAlt)) return Hotkey::kScreenshot;
  if (letter == 'Q' && mods == kModCtrl) return Hotkey::kQuit;
  return Hotkey::kNone;
}

void Screenshot(Host& host) {
  std::string error;
  if (std::optional<std::string> path = SaveScreenshotToPictures(host, error))
    std::fprintf(stderr, "orva: screenshot saved to %s\n", path->c_str());
  else
    std::fprintf(stderr, "orva: no screenshot: %s\n", error.c_str());
}

}  // namespace

bool HandleHotkey(Host& host, const platform::Event& e) {
  auto& held = host.shell.hotkeys_held;
  if (e.scancode >= held.size()) return false;
  if (e.type == EventType::kKeyUp) {
    if (!held[e.scancode]) return false;
    held[e.scancode] = false;
    return true;
  }
  if (e.type != EventType::kKeyDown) return false;
  Hotkey hotkey = Match(e);
  if (hotkey == Hotkey::kNone) return false;
  held[e.scancode] = true;
  if (e.repeat) return true;  // a held hotkey acts once
  switch (hotkey) {
    case Hotkey::kFullScreen: {
      platform::Display& display = host.platform.display();
      display.SetFullScreen(!display.FullScreen());
      break;
    }
    case Hotkey::kScreenshot: Screenshot(host); break;
    case Hotkey::kQuit: AskToQuit(host); break;
    case Hotkey::kNone: break;
  }
  return true;
}

}  // namespace orva::host
