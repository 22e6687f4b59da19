#include "audio/wav_writer.h"

#include "audio/libraries.h"

namespace orva::audio {

std::variant<std::unique_ptr<WavWriter>, std::string> WavWriter::Create(const std::string& path,
                                                                        uint32_t rate) {
  std::string why;
  const Sndfile* sf = OpenSndfile(why);
  if (!sf) return why;
  SF_INFO info{};
  info.samplerate = static_cast<int>(rate);
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf->sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return std::string(sf->sf_strerror(nullptr));
  return std::unique_ptr<WavWriter>(new WavWriter(sf, file));
}

void WavWriter::Write(const int16_t* samples, size_t frames) {
  if (!file_ || !error_.empty()) return;
  if (sf_->sf_writef_short(file_, samples, static_cast<sf_count_t>(frames)) !=
      static_cast<sf_count_t>(frames))
    error_ = sf_->sf_strerror(file_);
}

std::string WavWriter::Close() {
  if (file_ && sf_->sf_close(file_) != 0 && error_.empty()) error_ = sf_->sf_strerror(nullptr);
  file_ = nullptr;
  return error_;
}

}  // namespace orva::audio
