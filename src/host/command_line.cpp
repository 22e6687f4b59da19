#include "host/command_line.h"

#include <charconv>
#include <optional>
#include <string_view>
#include <vector>

#include "vm/image.h"

#ifndef ORVA_VERSION
#define ORVA_VERSION "unknown"
#endif

namespace orva::host {
namespace {

constexpr int32_t kMaxDesktopSide = 16384;
constexpr double kMaxTimeout = 1e9;
constexpr int64_t kMaxDesktopWidth = 32767;
constexpr size_t kMaxDisplays = 16;
constexpr int32_t kMaxScale = 16;

template <typename T>
std::optional<T> ParseNumber(std::string_view text) {
  T value{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// "WxH[,WxH...]": displays side by side, each side from 1 to kMaxDesktopSide, together at most
// kMaxDesktopWidth wide (pointer positions travel as 16-bit values).
bool ParseDesktop(std::string_view text, Options& options) {
  std::vector<platform::Size> displays;
  int64_t total_width = 0;
  for (;;) {
    size_t comma = text.find(',');
    std::string_view one = text.substr(0, comma);
    size_t x = one.find('x');
    if (x == std::string_view::npos) return false;
    auto w = ParseNumber<int32_t>(one.substr(0, x));
    auto h = ParseNumber<int32_t>(one.substr(x + 1));
    if (!w || !h || *w < 1 || *h < 1 || *w > kMaxDesktopSide || *h > kMaxDesktopSide) return false;
    displays.push_back({*w, *h});
    total_width += *w;
    if (total_width > kMaxDesktopWidth || displays.size() > kMaxDisplays) return false;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  options.desktop = std::move(displays);
  return true;
}

// "FROM:TO", each decimal or 0x hexadecimal, FROM not above TO.
std::optional<std::pair<uint32_t, uint32_t>> ParseRange(std::string_view text) {
  auto number = [](std::string_view t) -> std::optional<uint32_t> {
    if (t.starts_with("0x") || t.starts_with("0X")) {
      uint32_t v{};
      t.remove_prefix(2);
      auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v, 16);
      if (ec != std::errc{} || end != t.data() + t.size() || t.empty()) return std::nullopt;
      return v;
    }
    return ParseNumber<uint32_t>(t);
  };
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  auto from = number(text.substr(0, colon)), to = number(text.substr(colon + 1));
  if (!from || !to || *from > *to) return std::nullopt;
  return std::pair{*from, *to};
}

CommandLine UsageError(std::string text) {
  CommandLine result;
  result.action = CommandLine::Action::kUsageError;
  result.error = std::move(text) + " (try 'orva --help')";
  return result;
}

}  // namespace

CommandLine ParseCommandLine(std::span<const char* const> args) {
  CommandLine result;
  Options& o = result.options;
  bool game_seen = false, options_done = false;

  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (options_done || !arg.starts_with("-") || arg == "-") {
      if (game_seen) return UsageError("more than one GAME: '" + std::string(arg) + "'");
      if (arg.empty()) return UsageError("GAME is empty");
      o.game = arg;
      game_seen = true;
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }

    std::string_view name = arg;
    std::optional<std::string_view> inline_value;
    if (size_t eq = arg.find('='); eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      inline_value = arg.substr(eq + 1);
    }
    bool takes_value = name == "--data-dir" || name == "--game-name" || name == "--ticks" ||
                       name == "--dump-image" || name == "--desktop" || name == "--events" ||
                       name == "--record" || name == "--soundfont" || name == "--audio-out" ||
                       name == "--scale" || name == "--screenshot" || name == "--timeout";
    bool is_flag = name == "--help" || name == "-h" || name == "--version" ||
                   name == "--headless" || name == "--stats" || name == "--reference-loop";
    if (name == "--trace") {  // the range only joined to it, so that "--trace GAME" works
      if (!inline_value) {
        o.trace = std::pair<uint32_t, uint32_t>{0, UINT32_MAX};
      } else if (!(o.trace = ParseRange(*inline_value))) {
        return UsageError("--trace needs FROM:TO (decimal or 0x hexadecimal), not '" +
                          std::string(*inline_value) + "'");
      }
      continue;
    }
    if (!takes_value && !is_flag) return UsageError("unknown option '" + std::string(arg) + "'");
    if (is_flag && inline_value)
      return UsageError("option " + std::string(name) + " takes no value");

    if (name == "--help" || name == "-h") {
      result.action = CommandLine::Action::kHelp;
      return result;
    }
    if (name == "--version") {
      result.action = CommandLine::Action::kVersion;
      return result;
    }
    if (name == "--headless") {
      o.headless = true;
      continue;
    }
    if (name == "--stats") {
      o.stats = true;
      continue;
    }
    if (name == "--reference-loop") {
      o.reference_loop = true;
      continue;
    }

    std::string_view value;
    if (inline_value) {
      value = *inline_value;
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return UsageError("option " + std::string(name) + " needs a value");
    }
    if (value.empty()) return UsageError("option " + std::string(name) + " needs a value");

    if (name == "--data-dir") {
      o.data_dir = value;
    } else if (name == "--game-name") {
      o.game_name = value;
    } else if (name == "--dump-image") {
      o.dump_image = value;
    } else if (name == "--events") {
      o.events = value;
    } else if (name == "--record") {
      o.record = value;
    } else if (name == "--soundfont") {
      o.soundfont = value;
    } else if (name == "--audio-out") {
      o.audio_out = value;
    } else if (name == "--ticks") {
      auto ticks = ParseNumber<uint64_t>(value);
      if (!ticks)
        return UsageError("--ticks needs a whole number, not '" + std::string(value) + "'");
      o.ticks = *ticks;
    } else if (name == "--timeout") {
      auto seconds = ParseNumber<double>(value);
      if (!seconds || !(*seconds >= 0 && *seconds <= kMaxTimeout))
        return UsageError("--timeout needs seconds from 0 to 1e9, not '" + std::string(value) +
                          "'");
      o.timeout = *seconds;
    } else if (name == "--screenshot") {
      o.screenshot = value;
    } else if (name == "--scale") {
      auto scale = ParseNumber<int32_t>(value);
      if (!scale || *scale < 1 || *scale > kMaxScale)
        return UsageError("--scale needs a whole number from 1 to 16, not '" + std::string(value) +
                          "'");
      o.scale = *scale;
    } else if (!ParseDesktop(value, o)) {
      return UsageError(
          "--desktop needs WIDTHxHEIGHT (1 to 16384 each), or several joined by commas for "
          "displays side by side, not '" +
          std::string(value) + "'");
    }
  }
  return result;
}

std::string UsageText() {
  return "Usage: orva [options] [GAME]\n"
         "Runs a QX program. GAME is a folder holding MAIN.QX and the program's resources, or a\n"
         "bundle folder with Contents/Info.plist and Contents/Resources/. Without GAME, the\n"
         "bundled default program runs.\n"
         "\n"
         "Options:\n"
         "  --data-dir DIR     the user data folder (saves, settings, debug.log); default:\n"
         "                     $XDG_DATA_HOME or ~/.local/share, then \"Quillmoor Software\",\n"
         "                     then the game name\n"
         "  --game-name NAME   the game name when the bundle's Info.plist has none\n"
         "  --headless         no window and no sound device; time runs on a virtual clock\n"
         "  --scale N          show each screen pixel as N x N points (1 to 16; default 1)\n"
         "  --screenshot FILE  when the program ends, write what the window shows as a PNG\n"
         "  --ticks N          end the program after N host timer ticks (5 ms each)\n"
         "  --timeout SECONDS  end the process after SECONDS of wall-clock time, even in the\n"
         "                     middle of a message (default with --ticks: 60; 0: none)\n"
         "  --dump-image FILE  when the program ends, write the image's memory to FILE\n"
         "  --desktop WxH[,WxH...]  the displays a headless run pretends to have, side by\n"
         "                     side (default 1920x1080)\n"
         "  --trace[=FROM:TO]  print each instruction run (in the address range) on stderr,\n"
         "                     with the registers and header fields it changed\n"
         "  --stats            print the number of instructions run on stderr at the end\n"
         "  --reference-loop   run every instruction in the plain interpreter loop, without\n"
         "                     the decode cache (slower; for comparison)\n"
         "  --events FILE      replay the keys, mouse and window actions of an event script\n"
         "  --record FILE      write the keys, mouse and window actions of the run to FILE\n"
         "  --soundfont FILE   the General MIDI SoundFont for the music (default:\n"
         "                     $ORVA_SOUNDFONT, then the system's usual places)\n"
         "  --audio-out FILE   write the sound as played to FILE, a 16-bit stereo WAV file\n"
         "  --help             show this text\n"
         "  --version          show the version\n"
         "\n"
         "Keys the host keeps for itself: Alt+Enter full screen, Ctrl+Alt+P screenshot,\n"
         "Ctrl+Q quit.\n"
         "\n"
         "Exit status: 0 when the program ends, 1 after a fatal host error, 2 for a usage error\n"
         "or when there is no display, 124 when the time limit ended it, 130 after a second\n"
         "Ctrl+C while the program is stuck.\n";
}

std::string VersionText() {
  char text[64];
  std::snprintf(text, sizeof text, "orva %s (QX host version %d.%d)\n", ORVA_VERSION,
                vm::kHostVersion >> 8, vm::kHostVersion & 0xFF);
  return text;
}

}  // namespace orva::host
