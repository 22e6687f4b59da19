#include "audio/synth.h"

#include "audio/libraries.h"

namespace orva::audio {

namespace {

// The library's functions, once the first synthesizer has opened it.
const FluidSynth* fluid = nullptr;

}  // namespace

std::variant<std::unique_ptr<Synth>, std::string> Synth::Create(const std::string& soundfont,
                                                                uint32_t rate) {
  std::string why;
  fluid = OpenFluidSynth(why);
  if (!fluid) return why;
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
