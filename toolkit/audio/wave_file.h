// RIFF WAVE files read from bytes, without the platform. The file is a RIFF chunk of
// form "WAVE" holding sub-chunks, each an id, a 32-bit little-endian size and that
// many bytes (plus one pad byte when the size is odd):
//
//   "RIFF" <size> "WAVE"
//     "fmt " <16..> format tag, channels, sample rate, bytes/s, block align, bits [, extra]
//     "LIST" <n>    ... (any chunk the reader does not know is skipped)
//     "data" <n>    the sound
//
// Every size is checked against the bytes that are really there; "fmt " must come
// before "data". PCM (tag 1, or the extensible tag 0xFFFE with the PCM sub-format) of 8
// or 16 bits, mono or stereo, is taken as it is; IMA ADPCM (0x11), Microsoft ADPCM
// (0x2), mu-law (0x7) and A-law (0x6) are taken as they are for the platform to
// convert; anything else is refused with a text that names the file.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace audio {

// The most sound a file may hold: a longer claim is refused before anything is read
// or allocated for it.
constexpr uint32_t kMaxSoundBytes = 64u * 1024u * 1024u;

class WaveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum FormatTag : uint16_t {
  kPcm = 0x0001,
  kMsAdpcm = 0x0002,
  kALaw = 0x0006,
  kMuLaw = 0x0007,
  kImaAdpcm = 0x0011,
  kExtensible = 0xFFFE,
};

struct WaveFormat {
  uint16_t formatTag = 0;  // after reading, never kExtensible: PCM stands for it
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  // The bytes after the sixteen common ones (cbSize and what follows), which the
  // compressed formats need for their conversion.
  std::string extra;
};

struct WaveFile {
  WaveFormat format;
  std::string data;  // the "data" chunk's bytes
  bool IsPcm() const { return format.formatTag == kPcm; }
};

// Reads a whole file image. Throws WaveError, its text beginning with `fileName`, for
// anything that is not a readable WAVE file of a supported format.
WaveFile ParseWave(std::string_view bytes, const std::string& fileName);

// The largest file worth reading for its sound: a file larger than this cannot hold a
// sound the reader would take, so callers may refuse it before reading it.
constexpr uint64_t kMaxWaveFileBytes = kMaxSoundBytes + 1024u * 1024u;

}  // namespace audio
