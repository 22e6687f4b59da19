#include "audio/libraries.h"

#include <dlfcn.h>

namespace orva::audio {

namespace {

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

// The table of one library, filled at the first call; null afterwards too when that failed, with
// why in `why`.
template <class Table, bool (*LookUp)(void*, Table&, std::string&)>
const Table* OpenOnce(const char* soname, const char* what, std::string& why) {
  static Table table;
  static std::string error;
  static const bool opened = [soname] {
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      error = dlerror();
      return false;
    }
    return LookUp(library, table, error);
  }();
  if (!opened) why = std::string(what) + " could not be loaded (" + soname + ": " + error + ")";
  return opened ? &table : nullptr;
}

}  // namespace

const FluidSynth* OpenFluidSynth(std::string& why) {
  return OpenOnce<FluidSynth, LookUpFluidSynth>(ORVA_FLUIDSYNTH_SONAME, "the synthesizer", why);
}

const Sndfile* OpenSndfile(std::string& why) {
  return OpenOnce<Sndfile, LookUpSndfile>(ORVA_SNDFILE_SONAME, "the sound file library", why);
}

}  // namespace orva::audio
