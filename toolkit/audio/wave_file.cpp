#include "wave_file.h"

#include <cstdio>
#include <cstring>

namespace audio {

namespace {

// How far the RIFF chunk reaches. A RIFF size larger than the file is taken: some
// writers fill it in before they know the length, or never at all. The walk then ends
// at the end of the file and every chunk must still fit in what is there. Bytes after
// a RIFF size smaller than the file belong to no chunk and are not looked at.
//
// A data chunk is the last thing read: what follows it (often a "LIST" of tags) has
// nothing the sound needs.

constexpr uint32_t kMinRate = 1000;
constexpr uint32_t kMaxRate = 192000;

// KSDATAFORMAT_SUBTYPE_PCM: the format tag in the first two bytes, then this tail,
// which every sub-format derived from a plain format tag shares.
constexpr unsigned char kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Le16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

std::string Hex16(uint16_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%04X", static_cast<unsigned>(v));
  return buf;
}

// A chunk as the texts name it; ids that are not plain ASCII show '?' for the bytes
// that would garble a message box.
std::string ChunkName(const unsigned char* id) {
  if (std::memcmp(id, "fmt ", 4) == 0) return "the fmt chunk";
  if (std::memcmp(id, "data", 4) == 0) return "the data chunk";
  std::string name = "the \"";
  for (int i = 0; i < 4; ++i) name += (id[i] >= 0x20 && id[i] < 0x7F) ? static_cast<char>(id[i]) : '?';
  return name + "\" chunk";
}

class Reader {
 public:
  explicit Reader(const std::string& fileName) : fileName_(fileName) {}

  [[noreturn]] void Fail(const std::string& why) const { throw WaveError(fileName_ + ": " + why); }

  // The common sixteen bytes and, where the format uses them, cbSize and its bytes.
  WaveFormat ReadFormat(const unsigned char* f, uint32_t n) const {
    if (n < 16) Fail("the fmt chunk is too short (" + std::to_string(n) + " bytes, at least 16 needed)");
    WaveFormat fmt;
    fmt.formatTag = Le16(f);
    fmt.channels = Le16(f + 2);
    fmt.samplesPerSec = Le32(f + 4);
    fmt.avgBytesPerSec = Le32(f + 8);
    fmt.blockAlign = Le16(f + 12);
    fmt.bitsPerSample = Le16(f + 14);

    // cbSize and the bytes it counts, checked against the chunk; plain PCM ignores them.
    const bool hasCb = n >= 18;
    const uint16_t cb = hasCb ? Le16(f + 16) : 0;
    auto checkExtra = [&](uint16_t need, const char* what) {
      if (!hasCb || cb < need) Fail(std::string("the fmt chunk lacks the ") + what);
      if (cb > n - 18) {
        Fail("the fmt chunk's extra size " + std::to_string(cb) + " is more than its " + std::to_string(n) +
             " bytes hold");
      }
    };

    if (fmt.formatTag == kExtensible) {
      checkExtra(22, "details of the extensible format");
      const uint16_t validBits = Le16(f + 18);
      const unsigned char* sub = f + 24;
      if (std::memcmp(sub + 2, kSubFormatTail, sizeof kSubFormatTail) != 0) {
        Fail("the extensible format's sub-format is not one this reader knows");
      }
      const uint16_t subTag = Le16(sub);
      if (subTag != kPcm) Fail("the extensible format's sub-format " + Hex16(subTag) + " is not supported");
      if (validBits > fmt.bitsPerSample) {
        Fail("the extensible format claims " + std::to_string(validBits) + " valid bits in samples of " +
             std::to_string(fmt.bitsPerSample));
      }
      fmt.formatTag = kPcm;
    }

    if (fmt.channels == 0) Fail("the format has 0 channels");
    if (fmt.channels > 2) {
      Fail("the format has " + std::to_string(fmt.channels) +
           " channels; only mono and stereo are supported");
    }
    if (fmt.samplesPerSec < kMinRate || fmt.samplesPerSec > kMaxRate) {
      Fail("the sample rate " + std::to_string(fmt.samplesPerSec) + " Hz is outside " +
           std::to_string(kMinRate) + ".." + std::to_string(kMaxRate));
    }
    if (fmt.blockAlign == 0) Fail("the block align is 0");

    auto requireBits = [&](uint16_t bits, const char* name) {
      if (fmt.bitsPerSample != bits) {
        Fail(std::string(name) + " of " + std::to_string(fmt.bitsPerSample) +
             " bits per sample is not supported");
      }
    };

    switch (fmt.formatTag) {
      case kPcm: {
        if (fmt.bitsPerSample != 8 && fmt.bitsPerSample != 16) {
          Fail("PCM of " + std::to_string(fmt.bitsPerSample) + " bits per sample is not supported (8 or 16)");
        }
        const unsigned frame = fmt.channels * fmt.bitsPerSample / 8u;
        if (fmt.blockAlign != frame) {
          Fail("the block align " + std::to_string(fmt.blockAlign) + " does not match " +
               std::to_string(fmt.channels) + " channels of " + std::to_string(fmt.bitsPerSample) + " bits");
        }
        // Derived, so a wrong figure in the file does not reach the device.
        fmt.avgBytesPerSec = fmt.samplesPerSec * fmt.blockAlign;
        return fmt;
      }
      case kMuLaw:
      case kALaw:
        requireBits(8, fmt.formatTag == kMuLaw ? "mu-law" : "A-law");
        if (fmt.blockAlign != fmt.channels) {
          Fail("the block align " + std::to_string(fmt.blockAlign) + " does not match " +
               std::to_string(fmt.channels) + " channels of 8 bits");
        }
        // G.711 has no details of its own: whatever cbSize says is not passed on.
        fmt.avgBytesPerSec = fmt.samplesPerSec * fmt.blockAlign;
        return fmt;
      case kImaAdpcm: {
        requireBits(4, "IMA ADPCM");
        if (fmt.blockAlign <= 4u * fmt.channels) {
          Fail("the IMA ADPCM block align " + std::to_string(fmt.blockAlign) + " is too small");
        }
        checkExtra(2, "IMA ADPCM samples per block");
        if (Le16(f + 18) == 0) Fail("the IMA ADPCM block holds 0 samples");
        fmt.extra.assign(reinterpret_cast<const char*>(f + 16), 2u + cb);
        return fmt;
      }
      case kMsAdpcm: {
        requireBits(4, "Microsoft ADPCM");
        if (fmt.blockAlign <= 7u * fmt.channels) {
          Fail("the Microsoft ADPCM block align " + std::to_string(fmt.blockAlign) + " is too small");
        }
        checkExtra(4, "Microsoft ADPCM block details");
        const uint16_t coefficients = Le16(f + 20);
        if (Le16(f + 18) == 0 || coefficients == 0 || cb < 4u + 4u * coefficients) {
          Fail("the Microsoft ADPCM block details are inconsistent");
        }
        fmt.extra.assign(reinterpret_cast<const char*>(f + 16), 2u + cb);
        return fmt;
      }
      default: Fail("the format tag " + Hex16(fmt.formatTag) + " is not supported");
    }
  }

  // "RIFF" <size> "WAVE" then chunks, each "<id>" <size> <bytes> [pad].
  WaveFile Read(std::string_view bytes) const {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t size = bytes.size();
    if (size < 12) Fail("too short for a WAVE file (" + std::to_string(size) + " bytes)");
    if (std::memcmp(p, "RIFF", 4) != 0) Fail("not a RIFF file");
    if (std::memcmp(p + 8, "WAVE", 4) != 0) Fail("a RIFF file, but not a WAVE file");
    const uint64_t riffEnd = 8ull + Le32(p + 4);
    if (riffEnd < 12) Fail("the RIFF chunk claims only " + std::to_string(riffEnd - 8) + " bytes");
    const size_t end = riffEnd < size ? static_cast<size_t>(riffEnd) : size;

    WaveFile out;
    bool haveFormat = false;
    size_t pos = 12;
    while (end - pos >= 8) {
      const unsigned char* id = p + pos;
      const uint32_t chunkSize = Le32(p + pos + 4);
      pos += 8;
      const size_t left = end - pos;
      const bool isData = std::memcmp(id, "data", 4) == 0;
      if (isData) {
        if (!haveFormat) Fail("the data chunk comes before the fmt chunk");
        if (chunkSize > kMaxSoundBytes) {
          Fail("the data chunk claims " + std::to_string(chunkSize) + " bytes, more than the " +
               std::to_string(kMaxSoundBytes) + " a sound may have");
        }
      }
      if (chunkSize > left) {
        Fail(ChunkName(id) + " claims " + std::to_string(chunkSize) + " bytes, but only " +
             std::to_string(left) + " are left");
      }
      if (isData) {
        const uint32_t whole = chunkSize - chunkSize % out.format.blockAlign;
        if (whole == 0) Fail("the data chunk holds no whole block of sound");
        out.data.assign(bytes.data() + pos, whole);
        return out;
      }
      if (std::memcmp(id, "fmt ", 4) == 0) {
        if (haveFormat) Fail("a second fmt chunk");
        out.format = ReadFormat(p + pos, chunkSize);
        haveFormat = true;
      }
      pos += chunkSize;
      // The pad byte after an odd size; one missing at the very end changes nothing.
      if ((chunkSize & 1u) != 0 && pos < end) ++pos;
    }
    Fail(haveFormat ? "no data chunk" : "no fmt chunk and no data chunk");
  }

 private:
  const std::string& fileName_;
};

}  // namespace

WaveFile ParseWave(std::string_view bytes, const std::string& fileName) {
  return Reader(fileName).Read(bytes);
}

}  // namespace audio
