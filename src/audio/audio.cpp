// The music and sound-effect procedures, and the engine they drive: the audio output, the one
// mixer it pulls from, the synth, and what they play.
//
// Anything slow (reading and laying out a MIDI file, decoding a sound, loading the SoundFont) is
// done on the host's thread before the output is locked; under the lock only pointers change
// hands, and what they replace is freed after the lock is released.
#include "audio/audio.h"

#include <cstdlib>
#include <vector>

#include "audio/mixer.h"
#include "audio/plain_file.h"
#include "audio/soundfont.h"
#include "core/host.h"
#include "core/message_codes.h"
#include "vm/messages.h"

namespace orva::audio {

struct Engine {
  Engine() = default;
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
  // The device stops pulling before anything it reads is freed.
  ~Engine() {
    if (output) output->Stop();
  }

  platform::AudioOutput* output = nullptr;  // null without a device: the clock drives the mixer
  uint32_t rate = kOutputRate;
  uint64_t clock_start_ns = 0, clock_frames = 0;  // without a device: where the clock has got to
  std::vector<int16_t> clock_block;

  Mixer mixer;
  std::unique_ptr<Synth> synth;
  std::unique_ptr<WavWriter> recorder;
  std::unique_ptr<Sequence> music;
  std::shared_ptr<const Sound> sound;
  std::unique_ptr<SoundCache> sounds;
};

AudioState::AudioState() = default;
AudioState::~AudioState() = default;

namespace {

// Keeps the output's thread out of the mixer for the length of a scope.
class OutputLock {
 public:
  explicit OutputLock(platform::AudioOutput* output) : output_(output) {
    if (output_) output_->Lock();
  }
  ~OutputLock() {
    if (output_) output_->Unlock();
  }
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;

 private:
  platform::AudioOutput* output_;
};

void Notice(const AudioState& audio, const std::string& text) {
  if (audio.notices) std::fprintf(audio.notices, "orva: %s\n", text.c_str());
}

Engine& TheEngine(Host& host) {
  StartAudio(host);
  return *host.audio.engine;
}

// Without a device, renders what the clock says has been played since the last call (into
// --audio-out, if any), so the music keeps time all the same.
void FollowClock(Host& host, Engine& e) {
  if (e.output) return;
  constexpr uint64_t kNanosPerSecond = 1'000'000'000;
  uint64_t elapsed = host.platform.clock().MonotonicNanos() - e.clock_start_ns;
  uint64_t due =
      elapsed / kNanosPerSecond * e.rate + elapsed % kNanosPerSecond * e.rate / kNanosPerSecond;
  e.clock_block.resize(2 * 1024);
  while (e.clock_frames < due) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(due - e.clock_frames, 1024));
    e.mixer.Render(e.clock_block.data(), n);
    e.clock_frames += n;
  }
}

// The synth, when someone will hear it; otherwise null, and the music keeps time in silence.
std::unique_ptr<Synth> MakeSynth(Host& host, uint32_t rate) {
  const char* env = std::getenv("ORVA_SOUNDFONT");
  SoundFontChoice choice = FindSoundFont(host.options.soundfont, env ? env : "");
  if (choice.path.empty()) {
    Notice(host.audio, choice.why_none + "; music is silent");
    return nullptr;
  }
  auto synth = Synth::Create(choice.path, rate);
  if (auto* why = std::get_if<std::string>(&synth)) {
    Notice(host.audio, *why + "; music is silent");
    return nullptr;
  }
  return std::move(std::get<std::unique_ptr<Synth>>(synth));
}

// The sequence for the music file `name`: empty (one silent beat) when the name does not
// resolve among the resources or the file is refused, which the system log then records.
std::unique_ptr<Sequence> LoadSequence(Host& host, std::string_view name, uint32_t rate) {
  std::optional<std::string> path = RootPath(host, name, Root::kResource);
  std::string why = "no such resource";
  if (path) {
    auto bytes = ReadPlainFile(*path, kMaxMidiFileBytes);
    if (auto* b = std::get_if<std::vector<uint8_t>>(&bytes)) {
      auto file = ReadMidiFile(*b);
      if (auto* f = std::get_if<MidiFile>(&file))
        return std::make_unique<Sequence>(std::move(*f), rate);
      why = std::get<std::string>(file);
    } else {
      why = std::get<std::string>(bytes);
    }
  }
  host.platform.alerts().SystemLog("music " + std::string(name) + ": " + why);
  return std::make_unique<Sequence>(rate);
}

}  // namespace

void StartAudio(Host& host) {
  AudioState& audio = host.audio;
  if (audio.engine) return;
  const host::Options& options = host.options;
  auto engine = std::make_unique<Engine>();
  platform::AudioOutput& output = host.platform.audio();
  if (int rate = output.Start(&engine->mixer, kOutputRate); rate > 0) {
    engine->output = &output;
    engine->rate = static_cast<uint32_t>(rate);
  } else {
    engine->clock_start_ns = host.platform.clock().MonotonicNanos();
    Notice(audio, "no audio device could be opened; running without sound");
  }
  if (!options.audio_out.empty()) {
    auto recorder = WavWriter::Create(options.audio_out, engine->rate);
    if (auto* why = std::get_if<std::string>(&recorder)) {
      Notice(audio, "cannot write " + options.audio_out + ": " + *why);
      ExitProcess(host, 1);
    }
    engine->recorder = std::move(std::get<std::unique_ptr<WavWriter>>(recorder));
  }
  engine->sounds = std::make_unique<SoundCache>(engine->rate);
  // A headless run is heard only through --audio-out; a synth nobody hears is not worth its
  // SoundFont.
  bool heard = (engine->output && !options.headless) || engine->recorder;
  if (heard) engine->synth = MakeSynth(host, engine->rate);
  {
    OutputLock lock(engine->output);
    engine->mixer.Configure(engine->rate, engine->synth.get(), engine->recorder.get());
  }
  audio.engine = std::move(engine);
}

bool StopAudio(Host& host) {
  AudioState& audio = host.audio;
  std::string why;
  if (audio.engine) {
    if (audio.engine->output) audio.engine->output->Stop();
    audio.engine->output = nullptr;
    if (audio.engine->recorder) why = audio.engine->recorder->Close();
  }
  audio.engine.reset();
  audio.music_playing = false;
  if (!why.empty()) Notice(audio, "cannot write " + host.options.audio_out + ": " + why);
  return why.empty();
}

void PlayMusic(Host& host, std::string_view name) {
  if (name.starts_with("../MUSIC")) name.remove_prefix(3);
  StopMusic(host);
  Engine& e = TheEngine(host);
  std::unique_ptr<Sequence> music = LoadSequence(host, name, e.rate);
  {
    OutputLock lock(e.output);
    e.mixer.SetMusic(music.get());
  }
  e.music.swap(music);
  host.audio.music_playing = true;
}

void StopMusic(Host& host) {
  AudioState& audio = host.audio;
  if (audio.music_playing && audio.engine) {
    Engine& e = *audio.engine;
    {
      OutputLock lock(e.output);
      e.mixer.SetMusic(nullptr);
    }
    e.music.reset();
  }
  audio.music_playing = false;
}

bool PollMusic(Host& host) {
  AudioState& audio = host.audio;
  if (!audio.engine) return false;
  Engine& e = *audio.engine;
  FollowClock(host, e);
  if (!audio.music_playing || !e.music) return false;
  if (e.mixer.music_frames() >= e.music->end_frame) {
    StopMusic(host);
    vm::PostMsg(host, {kMsgMusicEnd, 0, 0, 0});
  }
  return audio.music_playing;
}

double MusicPosition(const Host& host) {
  const Engine* e = host.audio.engine.get();
  return e && e->music ? e->music->BeatsAt(e->mixer.music_frames()) : 0.0;
}

void PlaySound(Host& host, std::string_view name) {
  Engine& e = TheEngine(host);
  std::shared_ptr<const Sound> sound;
  std::string why;
  std::optional<std::string> path;
  if (name.size() > kMaxSoundNameBytes)
    why = "the name is too long";
  else if (!(path = RootPath(host, name, Root::kResource)))
    why = "no such resource";
  else if (auto decoded = e.sounds->Get(*path);
           auto* s = std::get_if<std::shared_ptr<const Sound>>(&decoded))
    sound = std::move(*s);
  else
    why = std::get<std::string>(decoded);
  // A failed attempt still replaces the sound that was playing.
  {
    OutputLock lock(e.output);
    e.mixer.SetSound(sound.get());
  }
  e.sound.swap(sound);
  if (!why.empty())
    host.platform.alerts().SystemLog("sound " + std::string(name.substr(0, 200)) + ": " + why);
}

}  // namespace orva::audio
