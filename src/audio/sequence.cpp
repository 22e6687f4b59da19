#include "audio/sequence.h"

namespace orva::audio {

namespace {
constexpr uint32_t kEmptyTicksPerBeat = 1;
}  // namespace

Sequence::Sequence(uint32_t frame_rate)
    : rate(frame_rate),
      tempo(kEmptyTicksPerBeat, {}),
      length_beats(1.0),
      end_frame(tempo.FrameAtTick(kEmptyTicksPerBeat, rate)) {}

Sequence::Sequence(MidiFile&& file, uint32_t frame_rate)
    : rate(frame_rate),
      tempo(file.ticks_per_beat, std::move(file.tempo)),
      events(std::move(file.events)),
      sysex(std::move(file.sysex)),
      sysex_bytes(std::move(file.sysex_bytes)),
      length_beats(file.LengthInBeats() + 1.0),
      end_frame(tempo.FrameAtTick(file.LastTick() + file.ticks_per_beat, rate)) {
  for (MidiEvent& e : events) e.tick = tempo.FrameAtTick(e.tick, rate);
}

}  // namespace orva::audio
