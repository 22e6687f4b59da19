// A program that does what the test asks through service group 6, recording the music-playing
// flag and the clock after each request and at each end of the music (message 10). The host's
// timers run step by step on the virtual clock; what the headless sink plays is kept.
#pragma once

#include <map>

#include "audio/midi_bytes.h"
#include "core/host.h"
#include "platform/headless/headless_platform.h"
#include "support/temp_dir.h"

namespace orva::test {

inline constexpr uint32_t kPlaySound = 0x600, kMusic = 0x601, kStopMusic = 0x602,
                          kMusicPlaying = 0x603, kMusicStop = 0xFFFFFFFF, kMusicAgain = 0xFFFFFFFE;

// The headless back end without an audio device.
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

struct AudioRun {
  // `synth`: the music is synthesized (given a SoundFont), else it keeps time in silence.
  explicit AudioRun(bool synth, bool device = true);
  std::string Res(const std::string& name) const { return host.folders.resource + name; }
  // Loads the program and starts it, with the audio, at time 0.
  void Start();
  // The program calls `service` with `arg`, or with the address of one of its names: "song"
  // ("../MUSIC/song.mid"), "plain" ("MUSIC/song.mid"), "missing", "tone" ("tone.wav"),
  // "click" ("click.wav"), "nosound".
  void Do(uint32_t service, uint32_t arg = 0);
  void Do(uint32_t service, const char* name) { Do(service, symbols.at(name)); }
  void RunUntil(uint32_t ms);  // host ticks until the clock reaches `ms`

  struct Entry {  // message code (20: a request), the music-playing flag, the clock
    uint32_t code, flag, ms;
    friend bool operator==(const Entry&, const Entry&) = default;
  };
  std::vector<Entry> Log() const;
  // The stereo samples played between two times.
  std::vector<int16_t> Heard(uint32_t from_ms, uint32_t to_ms) const {
    return {heard.begin() + std::min(from_ms * 96ul, heard.size()),
            heard.begin() + std::min(to_ms * 96ul, heard.size())};
  }

  TempDir dir;
  platform::HeadlessPlatform headless{nullptr};
  NoAudioDevice mute{headless};
  Host host;
  std::map<std::string, uint32_t> symbols;
  std::vector<int16_t> heard;
};

// 0 for silence, 1 for a full-scale square wave.
double Rms(const std::vector<int16_t>& samples);
// A mono WAV file of a sine wave at half of full scale.
void WriteTone(const std::string& path, double hz, double seconds);

}  // namespace orva::test
