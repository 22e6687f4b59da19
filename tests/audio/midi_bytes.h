// Standard MIDI files built byte by byte for the tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace orva::test {

using Bytes = std::vector<uint8_t>;

inline Bytes Vlq(uint32_t n) {
  Bytes out{static_cast<uint8_t>(n & 0x7F)};
  while (n >>= 7) out.insert(out.begin(), static_cast<uint8_t>(0x80 | (n & 0x7F)));
  return out;
}

inline Bytes Chunk(std::string_view id, const Bytes& body) {
  Bytes out(id.begin(), id.end());
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<uint8_t>(body.size() >> shift));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// An MThd chunk.
inline Bytes Header(uint16_t format, uint16_t tracks, uint16_t division) {
  return Chunk("MThd", {static_cast<uint8_t>(format >> 8), static_cast<uint8_t>(format),
                        static_cast<uint8_t>(tracks >> 8), static_cast<uint8_t>(tracks),
                        static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)});
}

struct Ev {
  uint32_t delta;
  Bytes bytes;  // status (or a running-status data byte) and data
};

// An MTrk chunk of `events`, closed by an end-of-track event `end_delta` ticks after the last.
inline Bytes Track(std::initializer_list<Ev> events, uint32_t end_delta = 0) {
  Bytes body;
  for (const Ev& e : events) {
    Bytes d = Vlq(e.delta);
    body.insert(body.end(), d.begin(), d.end());
    body.insert(body.end(), e.bytes.begin(), e.bytes.end());
  }
  Bytes d = Vlq(end_delta);
  body.insert(body.end(), d.begin(), d.end());
  body.insert(body.end(), {0xFF, 0x2F, 0x00});
  return Chunk("MTrk", body);
}

inline Bytes Tempo(uint32_t micros) {
  return {0xFF,
          0x51,
          0x03,
          static_cast<uint8_t>(micros >> 16),
          static_cast<uint8_t>(micros >> 8),
          static_cast<uint8_t>(micros)};
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace orva::test
