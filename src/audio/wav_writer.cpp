#include "audio/wav_writer.h"

#include <sndfile.h>

namespace orva::audio {

std::variant<std::unique_ptr<WavWriter>, std::string> WavWriter::Create(const std::string& path,
                                                                        uint32_t rate) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(rate);
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return std::string(sf_strerror(nullptr));
  return std::unique_ptr<WavWriter>(new WavWriter(file));
}

WavWriter::~WavWriter() { sf_close(file_); }

void WavWriter::Write(const int16_t* samples, size_t frames) {
  sf_writef_short(file_, samples, static_cast<sf_count_t>(frames));
}

}  // namespace orva::audio
