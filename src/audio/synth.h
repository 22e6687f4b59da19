// The General MIDI synthesizer that sounds the music: FluidSynth's synth with one SoundFont,
// fed event by event by our own sequencer (its file player is not used).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <variant>

#include "audio/midi_file.h"

// FluidSynth's own types, kept out of every header but this one.
struct _fluid_hashtable_t;
struct _fluid_synth_t;

namespace orva::audio {

class Synth {
 public:
  // A synth at `rate` frames per second with the SoundFont at `soundfont` loaded, or why not.
  static std::variant<std::unique_ptr<Synth>, std::string> Create(const std::string& soundfont,
                                                                  uint32_t rate);
  ~Synth();
  Synth(const Synth&) = delete;
  Synth& operator=(const Synth&) = delete;

  // Writes the next `frames` frames of interleaved stereo into `out`.
  void Render(float* out, size_t frames);
  // Sends one channel message or system-exclusive message (its bytes without F0 and F7).
  void Send(const MidiEvent& event, std::span<const uint8_t> sysex);
  // Back to the state of a fresh synth: every sound cut, programs and controllers reset.
  void Reset();
  // Every note into its release, as at the end of a piece: tails fade rather than stop.
  void ReleaseAll();

 private:
  Synth(_fluid_hashtable_t* settings, _fluid_synth_t* synth);
  _fluid_hashtable_t* settings_;
  _fluid_synth_t* synth_;
};

}  // namespace orva::audio
