// --audio-out: the mixed output, written as it is rendered to a 16-bit stereo WAV file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

struct sf_private_tag;

namespace orva::audio {

struct Sndfile;

class WavWriter {
 public:
  // A new file at `path` (replacing one that is there), or why it cannot be written.
  static std::variant<std::unique_ptr<WavWriter>, std::string> Create(const std::string& path,
                                                                      uint32_t rate);
  ~WavWriter() { Close(); }
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Appends `frames` frames of interleaved stereo. Called on the output's thread.
  void Write(const int16_t* samples, size_t frames);
  // Completes the file's header. Empty when every frame was written, else why not.
  std::string Close();

 private:
  WavWriter(const Sndfile* sf, sf_private_tag* file) : sf_(sf), file_(file) {}
  const Sndfile* sf_;  // the library's functions
  sf_private_tag* file_;
  std::string error_;  // the first failure to write
};

}  // namespace orva::audio
