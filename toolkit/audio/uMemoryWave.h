// The WAVE loader component: a sound file read whole into memory and held as PCM.
// Compressed files (IMA ADPCM, Microsoft ADPCM, mu-law, A-law) are converted to PCM
// through the platform's Audio Compression Manager when they are loaded, so playing
// them later costs no decoding.
#pragma once

#include <windows.h>

#include <mmreg.h>

#include <string>

#include "wave_file.h"

// One sound in memory, as PCM.
class TWaveData {
 public:
  // Reads the whole file (GBK path) and replaces what was held; the old sound stays
  // when the file cannot be read. Throws audio::WaveError with a text naming the file.
  void SetFileName(const std::string& path);
  const std::string& FileName() const { return fileName_; }

  bool Empty() const { return pcm_.empty(); }
  // The PCM format of Data(): tag 1, 8 or 16 bits, 1 or 2 channels.
  const WAVEFORMATEX& Format() const { return format_; }
  const std::string& Data() const { return pcm_; }
  // Length in milliseconds.
  uint32_t DurationMs() const;

 private:
  std::string fileName_;
  WAVEFORMATEX format_{};
  std::string pcm_;
};

class TMemoryWave {
 public:
  TWaveData Wave;
};

namespace audio {

// Converts a compressed sound to PCM with the Audio Compression Manager. Throws
// WaveError (naming `fileName`) when the platform has no converter for it.
std::string ConvertToPcm(const WaveFile& file, WAVEFORMATEX& pcmFormat, const std::string& fileName);

}  // namespace audio
