// Our reader of standard MIDI files (formats 0 and 1). It reads the whole file or refuses it:
// a music file comes from a stranger, and half a piece is no better than none.
//
// What a file becomes:
//   - every channel message and every complete system-exclusive message of every track, merged
//     into one list in time order (events at the same tick keep the order of their tracks, then
//     of the file);
//   - the tempo map: the tempo changes of all tracks, by tick;
//   - each MIDI channel's length: the tick of its last channel message. Each channel counts as a
//     track of its own, wherever its messages stand in the file. Meta events (tempo, markers,
//     end of track) and system-exclusive messages make no sound and lengthen nothing, so a
//     conductor track never counts, however far its end-of-track lies.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace orva::audio {

inline constexpr size_t kMaxMidiFileBytes = 8 << 20;     // far beyond any real piece of music
inline constexpr uint32_t kDefaultBeatMicros = 500'000;  // 120 beats a minute until told otherwise

struct MidiEvent {
  uint64_t tick = 0;
  uint8_t status = 0;  // 0x80-0xEF: a channel message; 0xF0: system exclusive
  uint8_t data1 = 0, data2 = 0;
  uint32_t sysex = 0;  // system exclusive: index into MidiFile::sysex
};

struct TempoChange {
  uint64_t tick = 0;
  uint32_t beat_micros = kDefaultBeatMicros;  // microseconds per beat, never 0
};

// A system-exclusive message without its framing F0 and F7 bytes.
struct SysexSpan {
  uint32_t offset = 0, size = 0;
};

struct MidiFile {
  int format = 0;
  // Ticks per beat. An SMPTE division (frames per second times ticks per frame) becomes the
  // equivalent with one beat per second of SMPTE time: ticks per beat = ticks per second, tempo
  // 1,000,000 microseconds (1,001,000 at 29.97 frames per second); tempo events are then ignored.
  uint32_t ticks_per_beat = 0;
  std::vector<TempoChange> tempo;  // sorted by tick; the first at tick 0
  std::vector<MidiEvent> events;   // in time order
  std::vector<SysexSpan> sysex;
  std::vector<uint8_t> sysex_bytes;
  std::array<int64_t, 16> channel_end;  // tick of each channel's last message; -1 when silent

  // The longest channel track, in beats: 0 when no channel has a message.
  double LengthInBeats() const;
  // The tick at which the longest channel track ends (0 when none has a message).
  uint64_t LastTick() const;
};

// The file in `bytes`, or the reason it was refused (a short English phrase).
std::variant<MidiFile, std::string> ReadMidiFile(std::span<const uint8_t> bytes);

}  // namespace orva::audio
