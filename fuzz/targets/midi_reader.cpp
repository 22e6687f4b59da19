// Any file as a standard MIDI file: refused with a reason, or read into what the reader's
// header promises (events in time order, a tempo map starting at tick 0, each channel's length
// that of its last message), which the sequencer then lays out at an output rate without time
// running backwards and with the end of the music after every note.
#include <algorithm>
#include <cmath>

#include "audio/midi_file.h"
#include "audio/sequence.h"
#include "harness.h"

ORVA_FUZZ_TARGET(midi_reader) {
  using namespace orva::audio;
  auto read = ReadMidiFile(input);
  if (auto* why = std::get_if<std::string>(&read)) {
    FUZZ_CHECK(!why->empty());
    return;
  }
  MidiFile& file = std::get<MidiFile>(read);
  FUZZ_CHECK(file.format == 0 || file.format == 1);
  FUZZ_CHECK(file.ticks_per_beat > 0);
  FUZZ_CHECK(!file.tempo.empty() && file.tempo.front().tick == 0);
  for (size_t i = 0; i < file.tempo.size(); ++i) {
    FUZZ_CHECK(file.tempo[i].beat_micros > 0 && file.tempo[i].beat_micros <= 0xFFFFFF);
    if (i > 0) FUZZ_CHECK(file.tempo[i - 1].tick < file.tempo[i].tick);
  }

  std::array<int64_t, 16> channel_end;
  channel_end.fill(-1);
  std::vector<size_t> channel_events;  // indexes of the channel messages
  for (size_t i = 0; i < file.events.size(); ++i) {
    const MidiEvent& e = file.events[i];
    if (i > 0) FUZZ_CHECK(file.events[i - 1].tick <= e.tick);
    if (e.status == 0xF0) {
      FUZZ_CHECK(e.sysex < file.sysex.size());
      const SysexSpan& s = file.sysex[e.sysex];
      FUZZ_CHECK(uint64_t{s.offset} + s.size <= file.sysex_bytes.size());
      continue;
    }
    FUZZ_CHECK(e.status >= 0x80 && e.status < 0xF0);
    FUZZ_CHECK(e.data1 < 0x80 && e.data2 < 0x80);
    int64_t& end = channel_end[e.status & 0x0F];
    end = std::max(end, static_cast<int64_t>(e.tick));
    channel_events.push_back(i);
  }
  FUZZ_CHECK(channel_end == file.channel_end);

  const uint64_t last_tick = file.LastTick();
  const double length = file.LengthInBeats() + 1.0;
  Sequence music(std::move(file), 48000);
  FUZZ_CHECK(music.length_beats == length);
  for (size_t i = 1; i < music.events.size(); ++i)
    FUZZ_CHECK(music.events[i - 1].tick <= music.events[i].tick);
  for (size_t i : channel_events) FUZZ_CHECK(music.events[i].tick <= music.end_frame);
  // The end frame is the first at which the position reaches the length (to within rounding).
  const double slack = 1e-9 * length;
  FUZZ_CHECK(music.BeatsAt(music.end_frame) >= length - slack);
  if (music.end_frame > 0) FUZZ_CHECK(music.BeatsAt(music.end_frame - 1) < length + slack);
  FUZZ_CHECK(music.tempo.FrameAtTick(last_tick, 48000) <= music.end_frame);
  FUZZ_CHECK(std::isfinite(music.BeatsAt(UINT64_MAX / 2)));
}
