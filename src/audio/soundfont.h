// Where the General MIDI SoundFont comes from: the user's choice (--soundfont, then
// $ORVA_SOUNDFONT), else the first of the system's usual places that holds one.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace orva::audio {

// The usual places, in order: files, and folders whose SoundFont files (.sf2, .sf3) are tried
// in name order.
inline constexpr std::string_view kSystemSoundFonts[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/soundfonts/",
};

struct SoundFontChoice {
  std::string path;      // empty when there is none
  std::string why_none;  // when `path` is empty: one sentence for the user
};

// `option` is --soundfont's value, `env` $ORVA_SOUNDFONT's (either may be empty). A SoundFont
// the user names is used, or fails, without falling back on the usual places.
SoundFontChoice FindSoundFont(std::string_view option, std::string_view env,
                              std::span<const std::string_view> system = kSystemSoundFonts);

}  // namespace orva::audio
