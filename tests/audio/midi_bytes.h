// Standard MIDI files built byte by byte for the tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace orva::test {

using Bytes = std::vector<uint8_t>;

inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Chunk(std::string_view id, const Bytes& body) {
  uint32_t n = static_cast<uint32_t>(body.size());
  return Join({Bytes(id.begin(), id.end()),
               {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)},
               body});
}

inline Bytes Header(uint16_t format, uint16_t tracks, uint16_t division) {
  return Chunk("MThd",
               {0, uint8_t(format), 0, uint8_t(tracks), uint8_t(division >> 8), uint8_t(division)});
}

inline Bytes Tempo(uint32_t micros) {
  return {0xFF, 0x51, 0x03, uint8_t(micros >> 16), uint8_t(micros >> 8), uint8_t(micros)};
}

struct Ev {
  uint32_t delta;
  Bytes bytes;  // status (or, in running status, the first data byte) and data
};

// An MTrk chunk of `events` and an end of track `end_delta` ticks after the last.
inline Bytes Track(std::initializer_list<Ev> events, uint32_t end_delta = 0) {
  Bytes body;
  auto delta = [&](uint32_t d) {  // a variable-length number
    for (int shift = 21; shift > 0; shift -= 7)
      if (d >> shift) body.push_back(uint8_t(0x80 | (d >> shift & 0x7F)));
    body.push_back(uint8_t(d & 0x7F));
  };
  for (const Ev& e : events) {
    delta(e.delta);
    body.insert(body.end(), e.bytes.begin(), e.bytes.end());
  }
  delta(end_delta);
  return Chunk("MTrk", Join({body, {0xFF, 0x2F, 0x00}}));
}

}  // namespace orva::test
