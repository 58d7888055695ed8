// WAVE file images made byte by byte, for the reader's tests and for the sound files
// the Windows tests write.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

namespace waveimg {

inline std::string Le16(uint16_t v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

inline std::string Le32(uint32_t v) {
  return Le16(static_cast<uint16_t>(v & 0xFFFF)) + Le16(static_cast<uint16_t>(v >> 16));
}

// One chunk whose size field tells the truth, with the pad byte after an odd body.
inline std::string Chunk(const std::string& id, const std::string& body, bool pad = true) {
  std::string c = id + Le32(static_cast<uint32_t>(body.size())) + body;
  if (pad && body.size() % 2 == 1) c += '\0';
  return c;
}

// A chunk header claiming `claim` bytes, followed by `body` (which may be shorter).
inline std::string ChunkClaiming(const std::string& id, uint32_t claim, const std::string& body) {
  return id + Le32(claim) + body;
}

// "RIFF" <size> <form> chunks; the size is the true one unless `claim` is given.
inline std::string Riff(const std::string& chunks, std::optional<uint32_t> claim = std::nullopt,
                        const std::string& form = "WAVE") {
  return "RIFF" + Le32(claim ? *claim : static_cast<uint32_t>(4 + chunks.size())) + form + chunks;
}

// The fmt chunk's body: the sixteen common bytes, then `extra` (cbSize and what follows).
inline std::string FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t align,
                           const std::string& extra = std::string(),
                           std::optional<uint32_t> avg = std::nullopt) {
  return Le16(tag) + Le16(channels) + Le32(rate) + Le32(avg ? *avg : rate * align) + Le16(align) +
         Le16(bits) + extra;
}

inline std::string PcmFmt(uint16_t channels, uint32_t rate, uint16_t bits) {
  return FmtBody(1, channels, rate, bits, static_cast<uint16_t>(channels * bits / 8));
}

// WAVE_FORMAT_EXTENSIBLE whose sub-format is the plain format `subTag`.
inline std::string ExtensibleFmt(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t subTag = 1) {
  const std::string guidTail("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
  const std::string extra = Le16(22) + Le16(bits) + Le32(channels == 2 ? 3 : 4) + Le16(subTag) + guidTail;
  return FmtBody(0xFFFE, channels, rate, bits, static_cast<uint16_t>(channels * bits / 8), extra);
}

// IMA ADPCM with 256-byte blocks per channel (505 samples a block).
inline std::string ImaFmt(uint16_t channels, uint32_t rate) {
  const uint16_t align = static_cast<uint16_t>(256 * channels);
  return FmtBody(0x11, channels, rate, 4, align, Le16(2) + Le16(505), rate * align / 505);
}

inline std::string G711Fmt(uint16_t tag, uint16_t channels, uint32_t rate) {
  return FmtBody(tag, channels, rate, 8, channels, Le16(0));
}

// Microsoft ADPCM with its seven standard coefficient pairs.
inline std::string MsAdpcmFmt(uint16_t channels, uint32_t rate) {
  const int16_t coef[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
  std::string extra = Le16(32) + Le16(500) + Le16(7);
  for (const auto& c : coef) extra += Le16(static_cast<uint16_t>(c[0])) + Le16(static_cast<uint16_t>(c[1]));
  const uint16_t align = static_cast<uint16_t>(256 * channels);
  return FmtBody(0x2, channels, rate, 4, align, extra, rate * align / 500);
}

// `n` bytes of a pattern that differs from byte to byte.
inline std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  return s;
}

// A plain PCM WAVE file of `ms` milliseconds of a sine tone.
inline std::string ToneWave(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t ms, double hz = 440) {
  const uint32_t frames = static_cast<uint32_t>(static_cast<uint64_t>(rate) * ms / 1000);
  std::string data;
  for (uint32_t i = 0; i < frames; ++i) {
    const double v = 0.3 * std::sin(2 * 3.14159265358979 * hz * i / rate);
    for (uint16_t c = 0; c < channels; ++c) {
      if (bits == 8) {
        data += static_cast<char>(static_cast<uint8_t>(128 + static_cast<int>(v * 127)));
      } else {
        data += Le16(static_cast<uint16_t>(static_cast<int16_t>(v * 32767)));
      }
    }
  }
  return Riff(Chunk("fmt ", PcmFmt(channels, rate, bits)) + Chunk("data", data));
}

}  // namespace waveimg
