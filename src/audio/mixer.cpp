#include "audio/mixer.h"

#include <algorithm>
#include <cmath>

namespace orva::audio {

Mixer::Mixer() : mix_(kBlockFrames * 2) {}

void Mixer::Configure(uint32_t rate, Synth* synth, WavWriter* recorder) {
  rate_ = rate;
  synth_ = synth;
  recorder_ = recorder;
}

void Mixer::SetMusic(const Sequence* music) {
  if (synth_) {
    if (music)
      synth_->Reset();
    else
      synth_->ReleaseAll();
  }
  music_ = music;
  next_event_ = 0;
  music_frames_.store(0, std::memory_order_release);
}

void Mixer::SetSound(const Sound* sound) {
  sound_ = sound;
  sound_at_ = 0;
}

void Mixer::Render(int16_t* samples, size_t frames) {
  if (rate_ == 0) {
    std::fill_n(samples, frames * 2, int16_t{0});
    return;
  }
  while (frames > 0) {
    size_t n = std::min(frames, kBlockFrames);
    float* mix = mix_.data();
    RenderMusic(mix, n);
    if (sound_ && sound_at_ < sound_->frames()) {
      size_t take = std::min(n, sound_->frames() - sound_at_);
      const float* from = sound_->samples.data() + sound_at_ * 2;
      for (size_t i = 0; i < take * 2; ++i) mix[i] += from[i];
      sound_at_ += take;
    }
    for (size_t i = 0; i < n * 2; ++i)
      samples[i] = static_cast<int16_t>(std::lrint(std::clamp(mix[i], -1.0f, 1.0f) * 32767.0f));
    if (recorder_) recorder_->Write(samples, n);
    samples += n * 2;
    frames -= n;
  }
}

// The synth's next `frames` frames, with the music's events sent at their frames. Events apply
// from the synth's next internal block (64 frames), as they would from any MIDI source.
void Mixer::RenderMusic(float* mix, size_t frames) {
  if (!music_) {
    if (synth_)
      synth_->Render(mix, frames);
    else
      std::fill_n(mix, frames * 2, 0.0f);
    return;
  }
  uint64_t at = music_frames_.load(std::memory_order_relaxed);
  const std::vector<MidiEvent>& events = music_->events;
  size_t done = 0;
  while (done < frames) {
    for (; next_event_ < events.size() && events[next_event_].tick <= at; ++next_event_) {
      if (!synth_) continue;
      const MidiEvent& e = events[next_event_];
      std::span<const uint8_t> sysex;
      if (e.status == 0xF0) {
        const SysexSpan& s = music_->sysex[e.sysex];
        sysex = std::span(music_->sysex_bytes).subspan(s.offset, s.size);
      }
      synth_->Send(e, sysex);
    }
    uint64_t until = next_event_ < events.size() ? events[next_event_].tick : UINT64_MAX;
    size_t span = static_cast<size_t>(std::min<uint64_t>(frames - done, until - at));
    if (synth_)
      synth_->Render(mix + done * 2, span);
    else
      std::fill_n(mix + done * 2, span * 2, 0.0f);
    done += span;
    at += span;
  }
  music_frames_.store(at, std::memory_order_release);
}

}  // namespace orva::audio
