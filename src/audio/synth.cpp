#include "audio/synth.h"

#include <dlfcn.h>
#include <fluidsynth.h>

namespace orva::audio {

namespace {

// FluidSynth is opened when the first synthesizer is made, not when the process starts: with the
// libraries it brings (sound servers, GLib and more) it would be most of the time a run takes
// to start, and most runs play no music.
// clang-format off
#define ORVA_FLUID_FUNCTIONS(X)                                                                   \
  X(fluid_is_soundfont) X(new_fluid_settings) X(delete_fluid_settings) X(fluid_settings_setnum)  \
  X(fluid_settings_setint) X(new_fluid_synth) X(delete_fluid_synth) X(fluid_synth_sfload)        \
  X(fluid_synth_write_float) X(fluid_synth_noteoff) X(fluid_synth_noteon)                        \
  X(fluid_synth_key_pressure) X(fluid_synth_cc) X(fluid_synth_program_change)                    \
  X(fluid_synth_channel_pressure) X(fluid_synth_pitch_bend) X(fluid_synth_sysex)                 \
  X(fluid_synth_system_reset) X(fluid_synth_all_notes_off)
// clang-format on

struct Fluid {
#define ORVA_FLUID_MEMBER(name) decltype(&::name) name;
  ORVA_FLUID_FUNCTIONS(ORVA_FLUID_MEMBER)
#undef ORVA_FLUID_MEMBER
};

// The functions, once the library is open; null before.
const Fluid* fluid = nullptr;

// Opens the library (once); false, with why not, when it or one of its functions is missing.
bool OpenFluid(std::string& why) {
  static std::string error;
  static const bool opened = [] {
    void* lib = dlopen(ORVA_FLUIDSYNTH_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
      error = dlerror();
      return false;
    }
    static Fluid table;
#define ORVA_FLUID_LOOK_UP(name)                                       \
  table.name = reinterpret_cast<decltype(&::name)>(dlsym(lib, #name)); \
  if (!table.name) {                                                   \
    error = ORVA_FLUIDSYNTH_SONAME " has no " #name;                   \
    return false;                                                      \
  }
    ORVA_FLUID_FUNCTIONS(ORVA_FLUID_LOOK_UP)
#undef ORVA_FLUID_LOOK_UP
    fluid = &table;
    return true;
  }();
  if (!opened) why = "the synthesizer could not be loaded: " + error;
  return opened;
}

}  // namespace

std::variant<std::unique_ptr<Synth>, std::string> Synth::Create(const std::string& soundfont,
                                                                uint32_t rate) {
  if (std::string why; !OpenFluid(why)) return why;
  if (!fluid->fluid_is_soundfont(soundfont.c_str()))
    return "'" + soundfont + "' is not a SoundFont";
  fluid_settings_t* settings = fluid->new_fluid_settings();
  if (!settings) return std::string("the synthesizer could not be set up");
  fluid->fluid_settings_setnum(settings, "synth.sample-rate", rate);
  // Pinning the samples in memory needs a privilege most users lack, and only warns without it.
  fluid->fluid_settings_setint(settings, "synth.lock-memory", 0);
  fluid_synth_t* synth = fluid->new_fluid_synth(settings);
  if (!synth) {
    fluid->delete_fluid_settings(settings);
    return std::string("the synthesizer could not be set up");
  }
  std::unique_ptr<Synth> result(new Synth(settings, synth));
  if (fluid->fluid_synth_sfload(synth, soundfont.c_str(), 1) == FLUID_FAILED)
    return "the SoundFont '" + soundfont + "' could not be loaded";
  return result;
}

Synth::Synth(fluid_settings_t* settings, fluid_synth_t* synth)
    : settings_(settings), synth_(synth) {}

Synth::~Synth() {
  fluid->delete_fluid_synth(synth_);
  fluid->delete_fluid_settings(settings_);
}

void Synth::Render(float* out, size_t frames) {
  fluid->fluid_synth_write_float(synth_, static_cast<int>(frames), out, 0, 2, out, 1, 2);
}

void Synth::Send(const MidiEvent& e, std::span<const uint8_t> sysex) {
  int channel = e.status & 0x0F;
  switch (e.status & 0xF0) {
    case 0x80: fluid->fluid_synth_noteoff(synth_, channel, e.data1); break;
    case 0x90:
      fluid->fluid_synth_noteon(synth_, channel, e.data1, e.data2);
      break;  // 0: a note-off
    case 0xA0: fluid->fluid_synth_key_pressure(synth_, channel, e.data1, e.data2); break;
    case 0xB0: fluid->fluid_synth_cc(synth_, channel, e.data1, e.data2); break;
    case 0xC0: fluid->fluid_synth_program_change(synth_, channel, e.data1); break;
    case 0xD0: fluid->fluid_synth_channel_pressure(synth_, channel, e.data1); break;
    case 0xE0: fluid->fluid_synth_pitch_bend(synth_, channel, e.data2 << 7 | e.data1); break;
    case 0xF0:
      fluid->fluid_synth_sysex(synth_, reinterpret_cast<const char*>(sysex.data()),
                               static_cast<int>(sysex.size()), nullptr, nullptr, nullptr, 0);
      break;
    default: break;
  }
}

void Synth::Reset() { fluid->fluid_synth_system_reset(synth_); }

void Synth::ReleaseAll() {
  constexpr int kSustainPedal = 64;
  for (int channel = 0; channel < 16; ++channel)
    fluid->fluid_synth_cc(synth_, channel, kSustainPedal, 0);
  fluid->fluid_synth_all_notes_off(synth_, -1);
}

}  // namespace orva::audio
