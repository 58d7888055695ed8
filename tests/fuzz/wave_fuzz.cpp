// Fuzz target of the WAVE reader: any bytes go in; the reader either returns a sound of
// a format it promises to take or throws audio::WaveError naming the file. Anything
// else (another exception, a sanitizer report, a result outside that promise) is a
// finding. Built and run by run_fuzz.sh.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "wave_file.h"

namespace {

const std::string kFileName = "fuzz.wav";

[[noreturn]] void Finding(const char* what) {
  std::fprintf(stderr, "wave_fuzz: %s\n", what);
  std::abort();
}

// What a caller may rely on when the reader accepts a file.
void CheckAccepted(const audio::WaveFile& wave, size_t inputSize) {
  const audio::WaveFormat& f = wave.format;
  switch (f.formatTag) {
    case audio::kPcm:
      if (f.bitsPerSample != 8 && f.bitsPerSample != 16)
        Finding("PCM accepted with a bit depth other than 8 or 16");
      if (f.channels != 1 && f.channels != 2) Finding("PCM accepted with other than 1 or 2 channels");
      break;
    case audio::kMsAdpcm:
    case audio::kALaw:
    case audio::kMuLaw:
    case audio::kImaAdpcm: break;
    default: Finding("a format tag outside the supported ones was accepted (the extensible tag included)");
  }
  // The sound and the format's extra bytes are copies of parts of the input.
  if (wave.data.size() > inputSize) Finding("more sound than input bytes");
  if (wave.data.size() > audio::kMaxSoundBytes) Finding("more sound than kMaxSoundBytes");
  if (f.extra.size() > inputSize) Finding("more format bytes than input bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    CheckAccepted(audio::ParseWave(bytes, kFileName), size);
  } catch (const audio::WaveError& e) {
    // Callers show this text; it must say which file was refused.
    if (std::string_view(e.what()).substr(0, kFileName.size()) != kFileName) {
      Finding("a WaveError text that does not begin with the file name");
    }
  }
  return 0;
}
