// A program that does what the test asks through service group 6 and records the music-playing
// flag and the clock after each request and at the end of the music; the host's timers run
// step by step on the virtual clock, and what the headless sink plays is kept.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "audio/midi_bytes.h"
#include "core/host.h"
#include "platform/headless/headless_platform.h"
#include "support/temp_dir.h"

namespace orva::test {

inline constexpr uint32_t kPlaySound = 0x600, kMusic = 0x601, kStopMusic = 0x602,
                          kMusicPlaying = 0x603, kMusicStop = 0xFFFFFFFF, kMusicAgain = 0xFFFFFFFE;

// The headless back end with no audio device: its output never starts.
class NoAudioDevice final : public platform::Platform, platform::AudioOutput {
 public:
  explicit NoAudioDevice(platform::HeadlessPlatform& p) : p_(p) {}
  platform::Alerts& alerts() override { return p_.alerts(); }
  platform::Clock& clock() override { return p_.clock(); }
  platform::Display& display() override { return p_.display(); }
  platform::Events& events() override { return p_.events(); }
  platform::Desktop& desktop() override { return p_.desktop(); }
  platform::AudioOutput& audio() override { return *this; }

 private:
  int Start(platform::AudioSource*, int) override { return 0; }
  void Stop() override {}
  void Lock() override {}
  void Unlock() override {}
  platform::HeadlessPlatform& p_;
};

class AudioRun {
 public:
  // `synth`: a synth renders the music (given a SoundFont); otherwise it keeps time silently.
  explicit AudioRun(bool synth, bool device = true);

  std::string Res(const std::string& name) const { return host.folders.resource + name; }
  // Loads the program and starts it (messages 1 and 2 at time 0) with the audio.
  void Start();
  // The program calls `service` with `arg`; a name argument is a label of the program: "song"
  // ("../MUSIC/song.mid"), "plain" ("MUSIC/song.mid"), "missing" ("MUSIC/none.mid"), "tone"
  // ("tone.wav"), "click" ("click.wav"), "nosound" ("none.wav").
  void Do(uint32_t service, uint32_t arg = 0);
  void Do(uint32_t service, const char* label) { Do(service, symbols_.at(label)); }
  // Runs host ticks until the clock reaches `ms`.
  void RunUntil(uint32_t ms);

  struct Entry {
    uint32_t code, flag, ms;
    friend bool operator==(const Entry&, const Entry&) = default;
  };
  std::vector<Entry> Log() const;
  // The sound between two times, as interleaved stereo samples at 48 kHz.
  std::vector<int16_t> Heard(uint32_t from_ms, uint32_t to_ms) const;
  const std::vector<std::string>& log_lines() const { return headless.log_lines(); }

  TempDir dir;
  platform::HeadlessPlatform headless{nullptr};
  NoAudioDevice mute{headless};
  Host host;
  std::vector<int16_t> heard;

 private:
  std::map<std::string, uint32_t> symbols_;
};

// 0.0 for silence, 1.0 for a full-scale square wave.
double Rms(const std::vector<int16_t>& samples);

// A mono 16-bit WAV file of a sine wave at half of full scale.
void WriteTone(const std::string& path, double hz, double seconds, int rate = 44100);

}  // namespace orva::test
