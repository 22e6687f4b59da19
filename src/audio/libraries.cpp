#include "audio/libraries.h"

#include <dlfcn.h>

namespace orva::audio {

namespace {

// Fills `table` from the library `soname`; false, with why not in `error`.
template <class Table>
bool Open(const char* soname, Table& table, std::string& error,
          bool (*look_up)(void* library, Table& table, std::string& error)) {
  void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    error = dlerror();
    return false;
  }
  return look_up(library, table, error);
}

#define ORVA_LOOK_UP(name)                                                 \
  table.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name)); \
  if (!table.name) {                                                       \
    error = std::string("no ") + #name + " in it";                         \
    return false;                                                          \
  }

bool LookUpFluidSynth(void* library, FluidSynth& table, std::string& error) {
  ORVA_FLUIDSYNTH_FUNCTIONS(ORVA_LOOK_UP)
  return true;
}

bool LookUpSndfile(void* library, Sndfile& table, std::string& error) {
  ORVA_SNDFILE_FUNCTIONS(ORVA_LOOK_UP)
  return true;
}

#undef ORVA_LOOK_UP

}  // namespace

const FluidSynth* OpenFluidSynth(std::string& why) {
  static FluidSynth table;
  static std::string error;
  static const bool opened = Open(ORVA_FLUIDSYNTH_SONAME, table, error, LookUpFluidSynth);
  if (!opened)
    why = "the synthesizer could not be loaded (" ORVA_FLUIDSYNTH_SONAME ": " + error + ")";
  return opened ? &table : nullptr;
}

const Sndfile* OpenSndfile(std::string& why) {
  static Sndfile table;
  static std::string error;
  static const bool opened = Open(ORVA_SNDFILE_SONAME, table, error, LookUpSndfile);
  if (!opened)
    why = "the sound file library could not be loaded (" ORVA_SNDFILE_SONAME ": " + error + ")";
  return opened ? &table : nullptr;
}

}  // namespace orva::audio
