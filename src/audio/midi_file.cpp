#include "audio/midi_file.h"

#include <algorithm>
#include <optional>

namespace orva::audio {

namespace {

// A bounded reader over one chunk: every read checks the bytes left, so a length or number
// running past the end fails the read instead of touching what follows.
class Cursor {
 public:
  explicit Cursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool empty() const { return at_ == bytes_.size(); }
  size_t left() const { return bytes_.size() - at_; }

  std::optional<uint8_t> Byte() {
    if (empty()) return std::nullopt;
    return bytes_[at_++];
  }
  std::optional<uint8_t> Peek() const {
    if (empty()) return std::nullopt;
    return bytes_[at_];
  }
  std::optional<std::span<const uint8_t>> Take(size_t n) {
    if (n > left()) return std::nullopt;
    auto part = bytes_.subspan(at_, n);
    at_ += n;
    return part;
  }
  // A variable-length number: at most four bytes of seven bits each.
  std::optional<uint32_t> Number() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      auto b = Byte();
      if (!b) return std::nullopt;
      value = value << 7 | (*b & 0x7F);
      if (!(*b & 0x80)) return value;
    }
    return std::nullopt;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

uint32_t Be32(std::span<const uint8_t> b) {
  return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
}
uint16_t Be16(std::span<const uint8_t> b) { return static_cast<uint16_t>(b[0] << 8 | b[1]); }

// Data bytes that follow each channel status (0x80-0xEF), by its high nibble.
int DataBytes(uint8_t status) { return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2; }

// Everything that one track adds to the file, kept apart so that tracks can be merged by tick.
struct TrackReader {
  MidiFile& file;
  std::vector<MidiEvent>& events;
  std::vector<TempoChange>& tempo;
  bool smpte;

  // Reads one MTrk chunk's body; nullopt when it is whole, else why it is not.
  std::optional<std::string> Read(std::span<const uint8_t> body) {
    Cursor in(body);
    uint64_t tick = 0;
    uint8_t running = 0;           // the running status, 0 before the first channel message
    std::vector<uint8_t> partial;  // a system-exclusive message sent in several packets
    bool in_sysex = false;
    while (!in.empty()) {
      auto delta = in.Number();
      if (!delta) return "a bad delta time";
      tick += *delta;
      auto status = in.Byte();
      if (!status) return "a track ends inside an event";
      if (*status < 0x80) {  // running status: this byte is the first data byte
        if (!running) return "a data byte without a status";
        if (auto why = Channel(in, tick, running, *status)) return why;
      } else if (*status < 0xF0) {
        running = *status;
        auto first = in.Byte();
        if (!first) return "a track ends inside an event";
        if (auto why = Channel(in, tick, running, *first)) return why;
      } else if (*status == 0xFF) {
        auto type = in.Byte();
        auto length = type ? in.Number() : std::nullopt;
        auto data = length ? in.Take(*length) : std::nullopt;
        if (!data) return "a meta event runs past its track";
        if (*type == 0x2F) break;  // end of track: whatever follows is not music
        if (*type == 0x51 && data->size() == 3 && !smpte) {
          uint32_t micros = uint32_t{(*data)[0]} << 16 | (*data)[1] << 8 | (*data)[2];
          if (micros) tempo.push_back({tick, micros});
        }
      } else if (*status == 0xF0 || *status == 0xF7) {
        auto length = in.Number();
        auto data = length ? in.Take(*length) : std::nullopt;
        if (!data) return "a system-exclusive message runs past its track";
        // F0 starts a message; F7 continues one that a packet left open, and is otherwise an
        // escape for bytes the synthesizer has no use for.
        if (*status == 0xF0) {
          partial.clear();
          in_sysex = true;
        }
        if (!in_sysex) continue;
        partial.insert(partial.end(), data->begin(), data->end());
        if (!partial.empty() && partial.back() == 0xF7) {
          partial.pop_back();
          AddSysex(tick, partial);
          in_sysex = false;
        }
      } else {
        return "a status byte that has no place in a file";
      }
    }
    return std::nullopt;
  }

  std::optional<std::string> Channel(Cursor& in, uint64_t tick, uint8_t status, uint8_t first) {
    MidiEvent e{tick, status, first, 0, 0};
    if (DataBytes(status) == 2) {
      auto second = in.Byte();
      if (!second) return "a track ends inside an event";
      e.data2 = *second;
    }
    if ((e.data1 | e.data2) & 0x80) return "a status byte where a data byte belongs";
    events.push_back(e);
    int64_t& end = file.channel_end[status & 0x0F];
    end = std::max(end, static_cast<int64_t>(tick));
    return std::nullopt;
  }

  void AddSysex(uint64_t tick, const std::vector<uint8_t>& bytes) {
    file.sysex.push_back(
        {static_cast<uint32_t>(file.sysex_bytes.size()), static_cast<uint32_t>(bytes.size())});
    file.sysex_bytes.insert(file.sysex_bytes.end(), bytes.begin(), bytes.end());
    events.push_back({tick, 0xF0, 0, 0, static_cast<uint32_t>(file.sysex.size() - 1)});
  }
};

}  // namespace

double MidiFile::LengthInBeats() const {
  return ticks_per_beat ? static_cast<double>(LastTick()) / ticks_per_beat : 0.0;
}

uint64_t MidiFile::LastTick() const {
  int64_t last = *std::max_element(channel_end.begin(), channel_end.end());
  return last < 0 ? 0 : static_cast<uint64_t>(last);
}

std::variant<MidiFile, std::string> ReadMidiFile(std::span<const uint8_t> bytes) {
  if (bytes.size() > kMaxMidiFileBytes) return "the file is too large";
  Cursor in(bytes);
  auto id = in.Take(4), size = in.Take(4);
  if (!size || !std::equal(id->begin(), id->end(), "MThd")) return "not a MIDI file";
  auto header = in.Take(Be32(*size));
  if (!header || header->size() < 6) return "a short header";
  MidiFile file;
  file.channel_end.fill(-1);
  file.format = Be16(header->subspan(0, 2));
  uint16_t tracks = Be16(header->subspan(2, 2));
  uint16_t division = Be16(header->subspan(4, 2));
  if (file.format > 1) return "format " + std::to_string(file.format) + " is not supported";

  uint32_t beat_micros = kDefaultBeatMicros;
  bool smpte = division & 0x8000;
  if (smpte) {
    int fps = -static_cast<int8_t>(division >> 8);
    uint32_t ticks_per_frame = division & 0xFF;
    if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || ticks_per_frame == 0)
      return "a bad SMPTE division";
    file.ticks_per_beat = (fps == 29 ? 30 : fps) * ticks_per_frame;
    beat_micros = fps == 29 ? 1'001'000 : 1'000'000;
  } else {
    if (division == 0) return "a division of 0 ticks per beat";
    file.ticks_per_beat = division;
  }

  // Each track's events and tempo changes are in tick order already; gathering them track by
  // track and sorting stably merges them with ties in track order.
  std::vector<TempoChange> tempo{{0, beat_micros}};
  TrackReader reader{file, file.events, tempo, smpte};
  for (uint16_t read = 0; read < tracks;) {
    auto chunk_id = in.Take(4), chunk_size = in.Take(4);
    if (!chunk_size) return "fewer tracks than the header says";
    auto body = in.Take(Be32(*chunk_size));
    if (!body) return "a chunk runs past the end of the file";
    if (!std::equal(chunk_id->begin(), chunk_id->end(), "MTrk")) continue;  // others are skipped
    if (auto why = reader.Read(*body)) return *why;
    ++read;
  }
  auto by_tick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
  std::stable_sort(file.events.begin(), file.events.end(), by_tick);
  std::stable_sort(tempo.begin(), tempo.end(), by_tick);
  // One tempo per tick: the last change at a tick wins.
  for (const TempoChange& t : tempo) {
    if (!file.tempo.empty() && file.tempo.back().tick == t.tick)
      file.tempo.back() = t;
    else
      file.tempo.push_back(t);
  }
  return file;
}

}  // namespace orva::audio
