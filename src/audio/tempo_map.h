// Time in a piece of music: ticks, beats, and frames of sound at a rate.
//
// Times are kept exact as "micro-ticks": a tick at a tempo of T microseconds per beat lasts T
// micro-ticks, and a second is ticks_per_beat * 1,000,000 of them. Frames are whole numbers, so
// where an event falls between two frames it sounds at the later one; the same rule places the
// end of the music, which is what makes the end message come at exactly the same frame on
// every run.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/midi_file.h"

namespace orva::audio {

class TempoMap {
 public:
  // `changes` sorted by tick, the first at tick 0 (MidiFile::tempo).
  TempoMap(uint32_t ticks_per_beat, std::vector<TempoChange> changes);

  // The first frame at or after the moment of `tick`, at `rate` frames per second. The last
  // tempo holds past the last change.
  uint64_t FrameAtTick(uint64_t tick, uint32_t rate) const;
  // Where the music stands after `frames` frames at `rate`, in beats.
  double BeatsAtFrame(uint64_t frames, uint32_t rate) const;

  uint32_t ticks_per_beat() const { return ticks_per_beat_; }

 private:
  using Wide = unsigned __int128;
  struct Segment {
    uint64_t tick;     // where it starts
    Wide micro_ticks;  // its start, in micro-ticks from tick 0
    uint32_t beat_micros;
  };
  const Segment& SegmentAtTick(uint64_t tick) const;

  uint32_t ticks_per_beat_;
  std::vector<Segment> segments_;
};

}  // namespace orva::audio
