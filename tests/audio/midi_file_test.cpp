// The MIDI file reader and the time of its events, on files built byte by byte.
#include "audio/midi_file.h"

#include <gtest/gtest.h>

#include <tuple>

#include "audio/midi_bytes.h"
#include "audio/sequence.h"

namespace orva::audio {
namespace {

using test::Bytes, test::Chunk, test::Header, test::Join, test::Tempo, test::Track;

MidiFile Read(const Bytes& bytes) {
  auto result = ReadMidiFile(bytes);
  if (auto* why = std::get_if<std::string>(&result)) ADD_FAILURE() << *why;
  return std::holds_alternative<MidiFile>(result) ? std::get<MidiFile>(result) : MidiFile{};
}

TEST(MidiFile, ChannelsAreTracksAndTheConductorDoesNotCount) {
  const MidiFile f = Read(Join({
      Header(1, 3, 480),
      // The conductor: two tempos, and an end of track far beyond the music.
      Track({{0, Tempo(500000)}, {960, Tempo(250000)}}, 99999),
      Track({{0, {0x90, 60, 100}},
             {480, {60, 0}},                // running status ...
             {0, {0xFF, 0x01, 0x01, 'x'}},  // ... kept across a meta event
             {0, {61, 0}},
             {0, {0xC1, 5}},
             {480, {0x91, 62, 90}},
             {960, {0x81, 62, 0}},
             {2880, {0xFF, 0x06, 0x01, 'y'}}}),  // a late marker lengthens nothing
      // Channel 0 again, on another track: the same channel track, now ending at 2880. A system-
      // exclusive message in two packets, and an escape that is dropped.
      Track({{0, {0xF0, 0x03, 0x7E, 0x7F, 0x09}},
             {0, {0xF7, 0x02, 0x01, 0xF7}},
             {0, {0xF7, 0x01, 0xF8}},
             {2400, {0x90, 64, 80}},
             {480, {0x80, 64, 0}}}),
  }));
  std::vector<std::tuple<uint64_t, int, int, int>> rows;
  for (const MidiEvent& e : f.events) rows.emplace_back(e.tick, e.status, e.data1, e.data2);
  EXPECT_EQ(rows, (decltype(rows){{0, 0x90, 60, 100},
                                  {0, 0xF0, 0, 0},
                                  {480, 0x90, 60, 0},
                                  {480, 0x90, 61, 0},
                                  {480, 0xC1, 5, 0},
                                  {960, 0x91, 62, 90},
                                  {1920, 0x81, 62, 0},
                                  {2400, 0x90, 64, 80},
                                  {2880, 0x80, 64, 0}}));
  EXPECT_EQ(f.sysex_bytes, (Bytes{0x7E, 0x7F, 0x09, 0x01}));
  EXPECT_EQ(f.channel_end[0] * 100 + f.channel_end[1], 2880 * 100 + 1920);
  EXPECT_EQ(f.channel_end[2], -1);
  EXPECT_EQ(f.LengthInBeats(), 6.0);

  // At 48 kHz: 2 beats at 120 a minute (1 s), then 240 a minute. The music ends one beat after
  // the last note-off (beat 6), at 7 beats: 1 s + 5 * 0.25 s.
  const Sequence s(MidiFile(f), 48000);
  EXPECT_EQ(s.events.back().tick, 96000u);
  EXPECT_EQ(s.end_frame, 108000u);
  EXPECT_EQ(s.length_beats, 7.0);
  EXPECT_EQ(s.BeatsAt(24000) + s.BeatsAt(60000), 1.0 + 3.0);
}

TEST(MidiFile, SmpteTimeAndFramesBetweenTicks) {
  // 25 frames of 40 ticks: 1000 ticks a second. 29.97 frames of 80 ticks: a beat of 2400 ticks
  // lasts 1.001 s. Tempo events mean nothing in SMPTE time.
  const Bytes track = Track({{0, Tempo(100000)}, {0, {0x90, 60, 1}}, {1000, {0x80, 60, 0}}});
  const Sequence s25(Read(Join({Header(0, 1, 0xE728), track})), 48000);
  EXPECT_EQ(s25.events.back().tick, 48000u);
  const Sequence s2997(Read(Join({Header(0, 1, 0xE350), track})), 48000);
  EXPECT_EQ(s2997.events.back().tick, 20020u);  // 1000 / 2400 * 1.001 s
  EXPECT_EQ(s2997.end_frame, 68068u);           // 3400 ticks

  // An event between two frames sounds at the later one: at 120 beats a minute and 480 ticks
  // a beat, a tick lasts 45.94 frames of 44.1 kHz.
  const TempoMap map(480, {{0, 500000}});
  EXPECT_EQ(map.FrameAtTick(1, 44100) * 1000 + map.FrameAtTick(7, 44100), 46u * 1000 + 322);
  EXPECT_EQ(Sequence(44100).end_frame, 22050u);  // no file: one beat at 120 a minute
}

TEST(MidiFile, MalformedFilesAreRefusedWhole) {
  const Bytes note = Track({{0, {0x90, 60, 100}}});
  const Bytes ok = Join({Header(1, 1, 96), note});
  ASSERT_TRUE(std::holds_alternative<MidiFile>(ReadMidiFile(ok)));
  Bytes past_end = ok;
  past_end[21] = 0x7F;  // the track's length
  auto track = [](Bytes body) { return Join({Header(0, 1, 96), Chunk("MTrk", body)}); };
  const Bytes cases[] = {
      {},
      {'M', 'T', 'h', 'd', 0, 0},  // a header's length cut short
      Bytes(ok.begin(), ok.end() - 1),
      past_end,
      Join({Chunk("MTHD", {0, 0, 0, 1, 0, 96}), note}),
      Join({Chunk("MThd", {0, 0, 0, 1, 0}), note}),  // short header
      Join({Header(2, 1, 96), note}),                // format 2
      Join({Header(0, 1, 0), note}),                 // 0 ticks a beat
      Join({Header(0, 1, 0xE628), note}),            // 26 frames a second
      Join({Header(0, 1, 0xE700), note}),            // 0 ticks a frame
      Join({Header(1, 2, 96), note}),                // a track missing
      Join({Header(1, 1, 96), {'M', 'T', 'r', 'k', 0, 0}}),
      track({0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1}),  // a delta of five bytes
      track({0x00, 60, 100}),                              // no status yet
      track({0x00, 0x90, 60}),                             // ends inside an event
      track({0x00, 0x90, 60, 0x80}),                       // a status as data
      track({0x00, 0xFF, 0x01, 0x05, 'a'}),
      track({0x00, 0xF0, 0x05, 0x01}),
      track({0x00, 0xF2, 0x01, 0x02}),
      track({0x00}),
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_TRUE(std::holds_alternative<std::string>(ReadMidiFile(cases[i]))) << "case " << i;
}

}  // namespace
}  // namespace orva::audio
