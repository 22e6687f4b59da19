// The audio libraries, opened at their first use instead of when the process starts: FluidSynth,
// libsndfile and what they bring (sound servers, GLib, the FLAC, Ogg, Vorbis, Opus and MPEG
// codecs) were most of the libraries a run loaded, and most of its start-up, while most runs
// play no music, load no sound effect and write no --audio-out.
//
// Each table holds the functions of one library, looked up once per process; the open calls
// give it, or null with why not.
#pragma once

#include <fluidsynth.h>
#include <sndfile.h>

#include <string>

namespace orva::audio {

// clang-format off
#define ORVA_FLUIDSYNTH_FUNCTIONS(X)                                                              \
  X(fluid_is_soundfont) X(new_fluid_settings) X(delete_fluid_settings) X(fluid_settings_setnum)  \
  X(fluid_settings_setint) X(new_fluid_synth) X(delete_fluid_synth) X(fluid_synth_sfload)        \
  X(fluid_synth_write_float) X(fluid_synth_noteoff) X(fluid_synth_noteon)                        \
  X(fluid_synth_key_pressure) X(fluid_synth_cc) X(fluid_synth_program_change)                    \
  X(fluid_synth_channel_pressure) X(fluid_synth_pitch_bend) X(fluid_synth_sysex)                 \
  X(fluid_synth_system_reset) X(fluid_synth_all_notes_off)
#define ORVA_SNDFILE_FUNCTIONS(X) \
  X(sf_open) X(sf_open_fd) X(sf_close) X(sf_readf_float) X(sf_writef_short) X(sf_strerror)
// clang-format on

#define ORVA_LIBRARY_MEMBER(name) decltype(&::name) name;
struct FluidSynth {
  ORVA_FLUIDSYNTH_FUNCTIONS(ORVA_LIBRARY_MEMBER)
};
struct Sndfile {
  ORVA_SNDFILE_FUNCTIONS(ORVA_LIBRARY_MEMBER)
};
#undef ORVA_LIBRARY_MEMBER

const FluidSynth* OpenFluidSynth(std::string& why);
const Sndfile* OpenSndfile(std::string& why);

}  // namespace orva::audio
