#include "uMemoryWave.h"

#include <mmsystem.h>
// clang-format off
#include <msacm.h>
// clang-format on

#include <cstring>
#include <vector>

#include "io/input_file.h"

namespace {

const char* FormatName(uint16_t tag) {
  switch (tag) {
    case audio::kImaAdpcm: return "IMA ADPCM";
    case audio::kMsAdpcm: return "Microsoft ADPCM";
    case audio::kMuLaw: return "mu-law";
    case audio::kALaw: return "A-law";
    default: return "this format";
  }
}

// An open conversion stream, closed on every path.
class AcmStream {
 public:
  ~AcmStream() {
    if (handle_) acmStreamClose(handle_, 0);
  }
  HACMSTREAM* Out() { return &handle_; }
  HACMSTREAM get() const { return handle_; }

 private:
  HACMSTREAM handle_ = nullptr;
};

// A header prepared on a stream, unprepared on every path.
class PreparedHeader {
 public:
  PreparedHeader(HACMSTREAM stream, ACMSTREAMHEADER& header) : stream_(stream), header_(header) {}
  ~PreparedHeader() {
    if (prepared_) {
      // The lengths must be the prepared ones again for the unprepare to be taken.
      header_.cbSrcLength = srcLength_;
      header_.cbDstLength = dstLength_;
      acmStreamUnprepareHeader(stream_, &header_, 0);
    }
  }
  MMRESULT Prepare() {
    srcLength_ = header_.cbSrcLength;
    dstLength_ = header_.cbDstLength;
    const MMRESULT r = acmStreamPrepareHeader(stream_, &header_, 0);
    prepared_ = r == MMSYSERR_NOERROR;
    return r;
  }

 private:
  HACMSTREAM stream_;
  ACMSTREAMHEADER& header_;
  bool prepared_ = false;
  DWORD srcLength_ = 0;
  DWORD dstLength_ = 0;
};

}  // namespace

namespace audio {

std::string ConvertToPcm(const WaveFile& file, WAVEFORMATEX& pcmFormat, const std::string& fileName) {
  const WaveFormat& f = file.format;
  auto fail = [&](const std::string& why, MMRESULT r) {
    return WaveError(fileName + ": " + why + " (ACM error " + std::to_string(r) + ")");
  };

  // WAVEFORMATEX followed by the bytes cbSize counts, as the converters take it.
  std::vector<unsigned char> srcBytes(sizeof(WAVEFORMATEX) + (f.extra.size() > 2 ? f.extra.size() - 2 : 0));
  auto* src = reinterpret_cast<WAVEFORMATEX*>(srcBytes.data());
  src->wFormatTag = f.formatTag;
  src->nChannels = f.channels;
  src->nSamplesPerSec = f.samplesPerSec;
  src->nAvgBytesPerSec = f.avgBytesPerSec;
  src->nBlockAlign = f.blockAlign;
  src->wBitsPerSample = f.bitsPerSample;
  src->cbSize = 0;
  if (f.extra.size() >= 2) {
    src->cbSize = static_cast<WORD>(f.extra.size() - 2);
    std::memcpy(srcBytes.data() + sizeof(WAVEFORMATEX), f.extra.data() + 2, f.extra.size() - 2);
  }

  WAVEFORMATEX dst{};
  dst.wFormatTag = WAVE_FORMAT_PCM;
  MMRESULT r = acmFormatSuggest(nullptr, src, &dst, sizeof dst, ACM_FORMATSUGGESTF_WFORMATTAG);
  if (r != MMSYSERR_NOERROR) {
    throw fail(std::string("the platform has no converter from ") + FormatName(f.formatTag) + " to PCM", r);
  }
  if (dst.wFormatTag != WAVE_FORMAT_PCM || (dst.wBitsPerSample != 8 && dst.wBitsPerSample != 16) ||
      dst.nChannels < 1 || dst.nChannels > 2 || dst.nBlockAlign != dst.nChannels * dst.wBitsPerSample / 8) {
    throw fail(std::string("the platform converts ") + FormatName(f.formatTag) + " to a PCM it cannot play",
               0);
  }
  dst.cbSize = 0;

  AcmStream stream;
  r = acmStreamOpen(stream.Out(), nullptr, src, &dst, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
  if (r != MMSYSERR_NOERROR) {
    throw fail(std::string("the platform cannot convert this ") + FormatName(f.formatTag), r);
  }

  const DWORD srcLength = static_cast<DWORD>(file.data.size());
  DWORD dstLength = 0;
  r = acmStreamSize(stream.get(), srcLength, &dstLength, ACM_STREAMSIZEF_SOURCE);
  if (r != MMSYSERR_NOERROR || dstLength == 0) throw fail("the converted size is unknown", r);
  if (dstLength > kMaxSoundBytes) {
    throw WaveError(fileName + ": the sound is " + std::to_string(dstLength) +
                    " bytes as PCM, more than the " + std::to_string(kMaxSoundBytes) + " a sound may have");
  }

  // The converters read the source through a non-const pointer; they do not write it.
  std::string source = file.data;
  std::string pcm(dstLength, '\0');
  ACMSTREAMHEADER header{};
  header.cbStruct = sizeof header;
  header.pbSrc = reinterpret_cast<LPBYTE>(source.data());
  header.cbSrcLength = srcLength;
  header.pbDst = reinterpret_cast<LPBYTE>(pcm.data());
  header.cbDstLength = dstLength;
  PreparedHeader prepared(stream.get(), header);
  r = prepared.Prepare();
  if (r != MMSYSERR_NOERROR) throw fail("the conversion cannot start", r);
  r = acmStreamConvert(stream.get(), &header,
                       ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END);
  if (r != MMSYSERR_NOERROR) throw fail("the conversion failed", r);
  const DWORD used = header.cbDstLengthUsed - header.cbDstLengthUsed % dst.nBlockAlign;
  if (used == 0) throw fail("the conversion gave no sound", 0);
  pcm.resize(used);
  pcmFormat = dst;
  return pcm;
}

}  // namespace audio

void TWaveData::SetFileName(const std::string& path) {
  io::InputFile in = io::InputFile::Open(path);
  if (!in.IsOpen()) throw audio::WaveError(path + ": cannot open the file: " + in.LastError());
  const int64_t size = in.Size();
  if (size < 0) throw audio::WaveError(path + ": cannot read the file's size");
  // Checked before anything is read or allocated: the file may be huge.
  if (static_cast<uint64_t>(size) > audio::kMaxWaveFileBytes) {
    throw audio::WaveError(path + ": the file has " + std::to_string(size) + " bytes, more than the " +
                           std::to_string(audio::kMaxWaveFileBytes) + " a sound file may have");
  }
  std::string bytes(static_cast<size_t>(size), '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    const int64_t n = in.Read(bytes.data() + got, bytes.size() - got);
    if (n < 0) throw audio::WaveError(path + ": cannot read the file: " + in.LastError());
    if (n == 0) break;  // shorter than it was a moment ago: read what is there
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  in.Close();

  const audio::WaveFile file = audio::ParseWave(bytes, path);
  WAVEFORMATEX format{};
  std::string pcm;
  if (file.IsPcm()) {
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = file.format.channels;
    format.nSamplesPerSec = file.format.samplesPerSec;
    format.nAvgBytesPerSec = file.format.avgBytesPerSec;
    format.nBlockAlign = file.format.blockAlign;
    format.wBitsPerSample = file.format.bitsPerSample;
    pcm = file.data;
  } else {
    pcm = audio::ConvertToPcm(file, format, path);
  }
  // Only now, with everything read: a failure above keeps the sound held before.
  fileName_ = path;
  format_ = format;
  pcm_ = std::move(pcm);
}

uint32_t TWaveData::DurationMs() const {
  if (pcm_.empty() || format_.nAvgBytesPerSec == 0) return 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(pcm_.size()) * 1000 / format_.nAvgBytesPerSec);
}
