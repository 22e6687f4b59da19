// What the command line asks of a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace orva::host {

struct Options {
  std::string game;               // the game folder; empty runs the bundled default program
  std::string data_dir;           // --data-dir; empty for the default folder
  std::string game_name;          // --game-name
  bool headless = false;          // --headless
  std::optional<uint64_t> ticks;  // --ticks N
  std::optional<double> timeout;  // --timeout SECONDS: 0 for none
  std::string dump_image;         // --dump-image FILE
  // --desktop WxH[,WxH...]: the displays a headless run pretends to have, side by side.
  std::vector<platform::Size> desktop{{1920, 1080}};
  int32_t scale = 1;       // --scale N: each screen pixel shown as N x N points
  std::string screenshot;  // --screenshot FILE: the view as a PNG when the program ends
  // --trace[=FROM:TO]: the addresses whose instructions are traced on stderr (both included).
  std::optional<std::pair<uint32_t, uint32_t>> trace;
  bool stats = false;  // --stats: the count of instructions executed, on stderr at the end
  std::string events;  // --events FILE: an event script to replay
  std::string record;  // --record FILE: where to write the events the run receives
  // --soundfont FILE: the General MIDI SoundFont for the music; --audio-out FILE: the sound as
  // played, written to a WAV file.
  std::string soundfont, audio_out;
  // --reference-loop: every instruction in the plain loop, without pre-decoding.
  bool reference_loop = false;
};

}  // namespace orva::host
