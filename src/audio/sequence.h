// A piece of music laid out for playing: the file's events at the frames where they sound, and
// the frame where the music is over. Built on the host's thread; the mixer then plays it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/midi_file.h"
#include "audio/tempo_map.h"

namespace orva::audio {

struct Sequence {
  // An empty sequence (no file, or a file refused): silence for one beat at 120 beats a minute.
  explicit Sequence(uint32_t rate);
  Sequence(MidiFile&& file, uint32_t rate);

  uint32_t rate;
  TempoMap tempo;
  std::vector<MidiEvent> events;  // `tick` holds the frame at which each sounds
  std::vector<SysexSpan> sysex;
  std::vector<uint8_t> sysex_bytes;
  double length_beats;  // the longest channel track plus one beat
  uint64_t end_frame;   // the first frame at which the position reaches length_beats

  // The position after `frames` frames of the music have been rendered, in beats.
  double BeatsAt(uint64_t frames) const { return tempo.BeatsAtFrame(frames, rate); }
};

}  // namespace orva::audio
