#include "audio/tempo_map.h"

#include <algorithm>

namespace orva::audio {

TempoMap::TempoMap(uint32_t ticks_per_beat, std::vector<TempoChange> changes)
    : ticks_per_beat_(ticks_per_beat ? ticks_per_beat : 1) {
  if (changes.empty() || changes.front().tick != 0) changes.insert(changes.begin(), TempoChange{});
  Wide at = 0;
  for (size_t i = 0; i < changes.size(); ++i) {
    if (i > 0) {
      const Segment& prev = segments_.back();
      at += Wide{changes[i].tick - prev.tick} * prev.beat_micros;
    }
    segments_.push_back({changes[i].tick, at, changes[i].beat_micros});
  }
}

const TempoMap::Segment& TempoMap::SegmentAtTick(uint64_t tick) const {
  auto after = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                [](uint64_t t, const Segment& s) { return t < s.tick; });
  return *(after - 1);
}

uint64_t TempoMap::FrameAtTick(uint64_t tick, uint32_t rate) const {
  const Segment& s = SegmentAtTick(tick);
  Wide micro_ticks = s.micro_ticks + Wide{tick - s.tick} * s.beat_micros;
  Wide per_second = Wide{ticks_per_beat_} * 1'000'000;
  Wide scaled = micro_ticks * rate;
  return static_cast<uint64_t>((scaled + per_second - 1) / per_second);
}

double TempoMap::BeatsAtFrame(uint64_t frames, uint32_t rate) const {
  if (rate == 0) return 0;
  // In micro-ticks times the rate, to stay in whole numbers: frames * ticks_per_beat * 10^6.
  Wide scaled = Wide{frames} * ticks_per_beat_ * 1'000'000;
  auto after =
      std::upper_bound(segments_.begin(), segments_.end(), scaled,
                       [rate](Wide t, const Segment& s) { return t < s.micro_ticks * rate; });
  const Segment& s = *(after - 1);
  Wide into = scaled - s.micro_ticks * rate;  // micro-ticks into the segment, times the rate
  Wide per_tick = Wide{s.beat_micros} * rate;
  Wide whole = into / per_tick;
  double ticks = static_cast<double>(s.tick + static_cast<uint64_t>(whole)) +
                 static_cast<double>(into % per_tick) / static_cast<double>(per_tick);
  return ticks / ticks_per_beat_;
}

}  // namespace orva::audio
