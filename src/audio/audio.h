// Music and sound effects, as the program reaches them through service group 6.
//
// One piece of music plays at a time, from a standard MIDI file among the program's resources;
// the host tick polls it and posts message 10 one beat after its longest track has ended. One
// sound effect plays at a time, over the music; the next PlaySound replaces it.
#pragma once

#include <cstdint>
#include <string_view>

#include "audio/state.h"

namespace orva {
struct Host;
namespace services {
class SysCall;
}
}  // namespace orva

namespace orva::audio {

inline constexpr uint32_t kOutputRate = 48000;  // asked of the device; it may choose another
inline constexpr size_t kMaxSoundNameBytes = 1023;

// Opens the audio output, finds the SoundFont and starts --audio-out, once (every procedure
// below does it when first needed). Without a device the program runs on, the music keeping
// time by the clock, after one line on the notices stream.
void StartAudio(Host&);
// Stops the output and completes an --audio-out file; false, after a line on the notices
// stream, when the file could not be written whole. (A Host that goes without it stops all the
// same, silently.)
bool StopAudio(Host&);

void PlaySound(Host&, std::string_view name);
void PlayMusic(Host&, std::string_view name);
void StopMusic(Host&);
// Called on every host tick: posts message 10 once the music has reached its end; returns the
// music-playing flag.
bool PollMusic(Host&);
// Where the music stands, in beats (0 without music).
double MusicPosition(const Host&);

// Service group 6: music and sound effects.
void AudioService(Host&, services::SysCall&, uint32_t command);

}  // namespace orva::audio
