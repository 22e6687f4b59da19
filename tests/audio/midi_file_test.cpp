// The MIDI file reader and the tempo map, on files built byte by byte.
#include "audio/midi_file.h"

#include <gtest/gtest.h>

#include <tuple>

#include "audio/midi_bytes.h"
#include "audio/sequence.h"
#include "support/fuzz.h"

namespace orva::audio {
namespace {

using test::Bytes;
using test::Chunk;
using test::Ev;
using test::Header;
using test::Join;
using test::Tempo;
using test::Track;

MidiFile Read(const Bytes& bytes) {
  auto result = ReadMidiFile(bytes);
  if (auto* why = std::get_if<std::string>(&result)) ADD_FAILURE() << *why;
  return std::holds_alternative<MidiFile>(result) ? std::get<MidiFile>(result) : MidiFile{};
}

using Row = std::tuple<uint64_t, int, int, int>;  // tick, status, data1, data2
std::vector<Row> Rows(const MidiFile& f) {
  std::vector<Row> rows;
  for (const MidiEvent& e : f.events) rows.emplace_back(e.tick, e.status, e.data1, e.data2);
  return rows;
}

TEST(MidiFile, ChannelsAreTracksAndTheConductorDoesNotCount) {
  const Bytes file = Join({
      Header(1, 3, 480),
      // The conductor: two tempos, a marker, and an end of track far beyond the music.
      Track({{0, Tempo(500000)}, {960, Tempo(250000)}, {0, {0xFF, 0x06, 0x01, 'A'}}}, 99999),
      Track({{0, {0x90, 60, 100}},
             {480, {60, 0}},                // running status
             {0, {0xFF, 0x01, 0x01, 'x'}},  // a text event in between keeps it
             {0, {61, 0}},
             {0, {0xC1, 5}},
             {480, {0x91, 62, 90}},
             {960, {0x81, 62, 0}},
             {2880, {0xFF, 0x01, 0x01, 'y'}}}),  // a late text event lengthens nothing
      // Channel 0 again on another track: it is the same channel track, now ending at 2880.
      Track({{0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
             {2400, {0x90, 64, 80}},
             {480, {0x80, 64, 0}}}),
  });
  const MidiFile f = Read(file);
  EXPECT_EQ(f.ticks_per_beat, 480u);
  EXPECT_EQ(Rows(f), (std::vector<Row>{{0, 0x90, 60, 100},
                                       {0, 0xF0, 0, 0},
                                       {480, 0x90, 60, 0},
                                       {480, 0x90, 61, 0},
                                       {480, 0xC1, 5, 0},
                                       {960, 0x91, 62, 90},
                                       {1920, 0x81, 62, 0},
                                       {2400, 0x90, 64, 80},
                                       {2880, 0x80, 64, 0}}));
  EXPECT_EQ(f.sysex_bytes, (Bytes{0x7E, 0x7F, 0x09, 0x01}));
  EXPECT_EQ(f.channel_end[0], 2880);
  EXPECT_EQ(f.channel_end[1], 1920);
  EXPECT_EQ(f.channel_end[2], -1);
  EXPECT_EQ(f.LengthInBeats(), 6.0);
  ASSERT_EQ(f.tempo.size(), 2u);
  EXPECT_EQ(f.tempo[1].tick, 960u);
  EXPECT_EQ(f.tempo[1].beat_micros, 250000u);

  // At 48 kHz: 2 beats at 120 a minute (1 s), then 240 a minute; the music ends one beat after
  // tick 2880 (6 beats), at 7 beats: 1 s + 5 * 0.25 s = 2.25 s.
  const Sequence s(MidiFile(f), 48000);
  EXPECT_EQ(s.length_beats, 7.0);
  EXPECT_EQ(s.end_frame, 108000u);
  EXPECT_EQ(s.events.back().tick, 96000u);  // tick 2880: 1 s + 4 * 0.25 s
  EXPECT_EQ(s.BeatsAt(s.end_frame), 7.0);
  EXPECT_EQ(s.BeatsAt(60000), 3.0);
  EXPECT_EQ(s.BeatsAt(24000), 1.0);
}

TEST(MidiFile, TimeRoundsUpToWholeFrames) {
  // A tick at 120 beats a minute and 480 ticks a beat lasts 1041.67 us: 45.94 frames at 44.1 kHz.
  const TempoMap map(480, {{0, 500000}});
  EXPECT_EQ(map.FrameAtTick(1, 44100), 46u);
  EXPECT_EQ(map.FrameAtTick(7, 44100), 322u);  // 321.56
  EXPECT_EQ(map.FrameAtTick(480, 44100), 22050u);
  EXPECT_NEAR(map.BeatsAtFrame(46, 44100), 1.0 / 480 * (46 / 45.9375), 1e-12);
  const Sequence empty(44100);  // a file that did not load: one beat at 120 a minute
  EXPECT_EQ(empty.end_frame, 22050u);
  EXPECT_EQ(empty.length_beats, 1.0);
}

TEST(MidiFile, SmpteDivisionsBecomeOneBeatPerSecond) {
  // 25 frames of 40 ticks: 1000 ticks a second. 29.97 frames of 80 ticks: a beat of 2400 ticks
  // lasts 1.001 s. Tempo events mean nothing in SMPTE time.
  const Bytes track = Track({{0, Tempo(100000)}, {0, {0x90, 60, 1}}, {1000, {0x80, 60, 0}}});
  const MidiFile f25 = Read(Join({Header(0, 1, 0xE728), track}));
  EXPECT_EQ(f25.ticks_per_beat, 1000u);
  EXPECT_EQ(Sequence(MidiFile(f25), 48000).events.back().tick, 48000u);
  const MidiFile f2997 = Read(Join({Header(0, 1, 0xE350), track}));
  EXPECT_EQ(f2997.ticks_per_beat, 2400u);
  const Sequence s(MidiFile(f2997), 48000);
  EXPECT_EQ(s.events.back().tick, 20020u);  // 1000 ticks: 1000 / 2400 * 1.001 s
  EXPECT_EQ(s.end_frame, 68068u);           // 1 beat past the end: 3400 ticks
}

TEST(MidiFile, SysexInPacketsAndEscapes) {
  const MidiFile f = Read(Join({Header(0, 1, 96), Track({{0, {0xF0, 0x03, 0x43, 0x12, 0x00}},
                                                         {5, {0xF7, 0x02, 0x07, 0xF7}},
                                                         {0, {0xF7, 0x01, 0xF8}}})}));
  EXPECT_EQ(Rows(f), (std::vector<Row>{{5, 0xF0, 0, 0}}));
  EXPECT_EQ(f.sysex_bytes, (Bytes{0x43, 0x12, 0x00, 0x07}));
  EXPECT_EQ(f.LengthInBeats(), 0.0);  // no channel message: no track
}

TEST(MidiFile, MalformedFilesAreRefusedWhole) {
  const Bytes note = Track({{0, {0x90, 60, 100}}});
  const Bytes ok = Join({Header(1, 1, 96), note});
  ASSERT_TRUE(std::holds_alternative<MidiFile>(ReadMidiFile(ok)));
  Bytes past_end = ok;
  past_end[past_end.size() - 9] = 0x7F;  // the track's length, past the file's end
  const Bytes cases[] = {
      {},
      Bytes(ok.begin(), ok.end() - 1),  // truncated
      Join({Chunk("MTHD", {0, 0, 0, 1, 0, 96}), note}),
      Join({Chunk("MThd", {0, 0, 0, 1, 0}), note}),               // short header
      Join({Header(2, 1, 96), note}),                             // format 2
      Join({Header(0, 1, 0), note}),                              // no ticks per beat
      Join({Header(0, 1, 0xE628), note}),                         // 26 frames a second
      Join({Header(0, 1, 0xE700), note}),                         // 0 ticks a frame
      Join({Header(1, 2, 96), note}),                             // a track missing
      Join({Header(1, 1, 96), Bytes{'M', 'T', 'r', 'k', 0, 0}}),  // a chunk header cut short
      past_end,
      Join({Header(0, 1, 96), Chunk("MTrk", {0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1})}),
      Join({Header(0, 1, 96), Chunk("MTrk", {0x00, 60, 100})}),         // no running status yet
      Join({Header(0, 1, 96), Chunk("MTrk", {0x00, 0x90, 60})}),        // ends inside an event
      Join({Header(0, 1, 96), Chunk("MTrk", {0x00, 0x90, 60, 0x80})}),  // a status as data
      Join({Header(0, 1, 96), Chunk("MTrk", {0x00, 0xFF, 0x01, 0x05, 'a'})}),
      Join({Header(0, 1, 96), Chunk("MTrk", {0x00, 0xF0, 0x05, 0x01})}),
      Join({Header(0, 1, 96), Chunk("MTrk", {0x00, 0xF2, 0x01, 0x02})}),
      Join({Header(0, 1, 96), Chunk("MTrk", {0x00})}),
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_TRUE(std::holds_alternative<std::string>(ReadMidiFile(cases[i]))) << "case " << i;
}

TEST(MidiFile, FuzzedFilesAreReadWholeOrRefused) {
  const Bytes seed = Join({Header(1, 2, 480), Track({{0, Tempo(400000)}, {100, Tempo(300000)}}),
                           Track({{0, {0x90, 60, 100}},
                                  {10, {62, 90}},
                                  {20, {0xF0, 0x02, 0x01, 0xF7}},
                                  {30, {0xB3, 7, 100}},
                                  {40, {0xE2, 0x00, 0x40}},
                                  {50, {0x80, 60, 0}}})});
  test::FuzzFor(14, [&](std::mt19937_64& rng) {
    Bytes b = seed;
    for (int edits = 1 + rng() % 4; edits > 0; --edits) {
      size_t at = rng() % b.size();
      switch (rng() % 4) {
        case 0: b[at] = static_cast<uint8_t>(rng()); break;
        case 1: b[at] ^= static_cast<uint8_t>(1 << rng() % 8); break;
        case 2: b.resize(at + 1); break;
        default: b.insert(b.begin() + at, static_cast<uint8_t>(rng())); break;
      }
    }
    auto result = ReadMidiFile(b);
    auto* f = std::get_if<MidiFile>(&result);
    if (!f) return;
    const Sequence s(std::move(*f), 44100);
    for (size_t i = 0; i < s.events.size(); ++i) {
      const MidiEvent& e = s.events[i];
      ASSERT_TRUE(i == 0 || s.events[i - 1].tick <= e.tick);
      ASSERT_TRUE(e.status >= 0x80 && (e.data1 | e.data2) < 0x80);
      if (e.status != 0xF0) {
        ASSERT_LE(e.tick, s.end_frame);
      } else {
        ASSERT_LT(e.sysex, s.sysex.size());
        ASSERT_LE(uint64_t{s.sysex[e.sysex].offset} + s.sysex[e.sysex].size, s.sysex_bytes.size());
      }
    }
  });
}

}  // namespace
}  // namespace orva::audio
