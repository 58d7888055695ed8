// The RIFF WAVE reader on images made in the test. Every image is read from a heap
// copy of exactly its length, so the address sanitizer catches a read past the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_bytes.h"
#include "wave_file.h"
#include "wave_images.h"

using namespace waveimg;

namespace {

const std::string kFile = "D:\\x\\a.wav";

audio::WaveFile Parse(const std::string& image, size_t len) {
  const std::vector<uint8_t> exact = ExactCopy(StrBytes(image), len);
  return audio::ParseWave(std::string_view(reinterpret_cast<const char*>(exact.data()), exact.size()), kFile);
}

audio::WaveFile Parse(const std::string& image) {
  return Parse(image, image.size());
}

// The text of the error reading `image` raises, or "" when it reads.
std::string ErrorOf(const std::string& image) {
  try {
    Parse(image);
  } catch (const audio::WaveError& e) {
    return e.what();
  }
  return "";
}

std::string Wave(const std::string& fmtBody, const std::string& data) {
  return Riff(Chunk("fmt ", fmtBody) + Chunk("data", data));
}

}  // namespace

TEST(WaveFile, ReadsTheFormatsItSupports) {
  struct Case {
    const char* what;
    std::string image;
    uint16_t tag, channels;
    uint32_t rate;
    uint16_t bits, align;
    size_t dataBytes;   // the first this many bytes of the data pattern are the sound
    size_t extraBytes;  // cbSize and its bytes, kept for the conversion
  } cases[] = {
      {"8-bit mono 11025", Wave(PcmFmt(1, 11025, 8), Pattern(100)), 1, 1, 11025, 8, 1, 100, 0},
      {"8-bit stereo 22050", Wave(PcmFmt(2, 22050, 8), Pattern(64)), 1, 2, 22050, 8, 2, 64, 0},
      {"16-bit mono 48000", Wave(PcmFmt(1, 48000, 16), Pattern(40)), 1, 1, 48000, 16, 2, 40, 0},
      {"16-bit stereo 44100", Wave(PcmFmt(2, 44100, 16), Pattern(40)), 1, 2, 44100, 16, 4, 40, 0},
      {"lowest rate", Wave(PcmFmt(1, 1000, 8), Pattern(8)), 1, 1, 1000, 8, 1, 8, 0},
      {"highest rate", Wave(PcmFmt(1, 192000, 16), Pattern(8)), 1, 1, 192000, 16, 2, 8, 0},
      {"fmt of 18 bytes", Wave(PcmFmt(1, 8000, 16) + Le16(0), Pattern(8)), 1, 1, 8000, 16, 2, 8, 0},
      // Plain PCM ignores cbSize, even one that claims more than the chunk has.
      {"PCM with a stray cbSize", Wave(PcmFmt(1, 8000, 16) + Le16(99), Pattern(8)), 1, 1, 8000, 16, 2, 8, 0},
      {"extensible PCM", Wave(ExtensibleFmt(2, 48000, 16), Pattern(16)), 1, 2, 48000, 16, 4, 16, 0},
      {"odd unknown chunk and its pad before fmt",
       Riff(Chunk("junk", "abc") + Chunk("fmt ", PcmFmt(1, 11025, 8)) + Chunk("data", Pattern(5))), 1, 1,
       11025, 8, 1, 5, 0},
      {"LIST before fmt",
       Riff(Chunk("LIST", "INFOISFT" + Le32(5) + "test" + std::string(1, '\0')) +
            Chunk("fmt ", PcmFmt(1, 22050, 16)) + Chunk("data", Pattern(20))),
       1, 1, 22050, 16, 2, 20, 0},
      {"odd data without its pad at the end of the file",
       Riff(Chunk("fmt ", PcmFmt(1, 11025, 8)) + Chunk("data", Pattern(7), false)), 1, 1, 11025, 8, 1, 7, 0},
      {"data cut to whole blocks", Wave(PcmFmt(2, 44100, 16), Pattern(10)), 1, 2, 44100, 16, 4, 8, 0},
      {"RIFF size larger than the file",
       Riff(Chunk("fmt ", PcmFmt(1, 11025, 8)) + Chunk("data", Pattern(6)), 0xFFFFFFFF), 1, 1, 11025, 8, 1, 6,
       0},
      {"bytes after the RIFF chunk", Wave(PcmFmt(1, 11025, 8), Pattern(6)) + "trailing", 1, 1, 11025, 8, 1, 6,
       0},
      // What follows the data chunk is not read.
      {"a broken chunk after data",
       Riff(Chunk("fmt ", PcmFmt(1, 11025, 8)) + Chunk("data", Pattern(6)) + ChunkClaiming("LIST", 999, "x")),
       1, 1, 11025, 8, 1, 6, 0},
      {"IMA ADPCM", Wave(ImaFmt(1, 22050), Pattern(512)), 0x11, 1, 22050, 4, 256, 512, 4},
      {"IMA ADPCM, a partial block cut", Wave(ImaFmt(2, 44100), Pattern(600)), 0x11, 2, 44100, 4, 512, 512,
       4},
      {"Microsoft ADPCM", Wave(MsAdpcmFmt(1, 22050), Pattern(256)), 0x2, 1, 22050, 4, 256, 256, 34},
      {"mu-law", Wave(G711Fmt(7, 1, 8000), Pattern(80)), 0x7, 1, 8000, 8, 1, 80, 0},
      {"A-law stereo", Wave(G711Fmt(6, 2, 8000), Pattern(80)), 0x6, 2, 8000, 8, 2, 80, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    audio::WaveFile w;
    ASSERT_NO_THROW(w = Parse(c.image));
    EXPECT_EQ(w.format.formatTag, c.tag);
    EXPECT_EQ(w.IsPcm(), c.tag == 1);
    EXPECT_EQ(w.format.channels, c.channels);
    EXPECT_EQ(w.format.samplesPerSec, c.rate);
    EXPECT_EQ(w.format.bitsPerSample, c.bits);
    EXPECT_EQ(w.format.blockAlign, c.align);
    if (c.tag == 1) {
      EXPECT_EQ(w.format.avgBytesPerSec, c.rate * c.align);
    }
    EXPECT_EQ(w.format.extra.size(), c.extraBytes);
    EXPECT_EQ(w.data, Pattern(c.dataBytes)) << w.data.size();
  }
}

TEST(WaveFile, CompressedFormatsKeepTheirDetailsForTheConversion) {
  const audio::WaveFile ima = Parse(Wave(ImaFmt(1, 22050), Pattern(256)));
  EXPECT_EQ(ima.format.extra, Le16(2) + Le16(505));
  EXPECT_EQ(ima.format.avgBytesPerSec, 22050u * 256 / 505);  // as the file says
  const std::string ms = MsAdpcmFmt(1, 22050);
  EXPECT_EQ(Parse(Wave(ms, Pattern(256))).format.extra, ms.substr(16));
}

TEST(WaveFile, RefusesWhatItCannotReadWithATextNamingTheFile) {
  const std::string fmt8 = Chunk("fmt ", PcmFmt(1, 11025, 8));
  struct Case {
    const char* what;
    std::string image;
    std::string text;
  } cases[] = {
      {"empty", "", "too short for a WAVE file (0 bytes)"},
      {"truncated header", Riff(fmt8).substr(0, 10), "too short for a WAVE file (10 bytes)"},
      {"not RIFF", "RIFX" + Riff(fmt8).substr(4), "not a RIFF file"},
      {"not WAVE", Riff(fmt8, std::nullopt, "AVI "), "not a WAVE file"},
      {"RIFF size below the form", Riff(fmt8, 3), "the RIFF chunk claims only 3 bytes"},
      {"nothing after the header", Riff(""), "no fmt chunk and no data chunk"},
      {"truncated fmt", Riff(fmt8).substr(0, 12 + 8 + 10),
       "the fmt chunk claims 16 bytes, but only 10 are left"},
      {"short fmt", Riff(Chunk("fmt ", PcmFmt(1, 11025, 8).substr(0, 14)) + Chunk("data", "ab")),
       "the fmt chunk is too short (14 bytes"},
      {"data before fmt", Riff(Chunk("data", "ab") + fmt8), "the data chunk comes before the fmt chunk"},
      {"no data", Riff(fmt8 + Chunk("LIST", "abcd")), "no data chunk"},
      {"a second fmt", Riff(fmt8 + fmt8 + Chunk("data", "ab")), "a second fmt chunk"},
      {"zero channels", Wave(FmtBody(1, 0, 11025, 8, 1), "ab"), "the format has 0 channels"},
      {"3 channels PCM", Wave(PcmFmt(3, 11025, 8), "abc"), "3 channels; only mono and stereo"},
      {"24-bit PCM", Wave(PcmFmt(1, 44100, 24), "abc"), "PCM of 24 bits per sample is not supported"},
      {"4-bit PCM", Wave(FmtBody(1, 1, 44100, 4, 1), "abc"), "PCM of 4 bits per sample is not supported"},
      {"rate below", Wave(PcmFmt(1, 999, 8), "ab"), "the sample rate 999 Hz is outside 1000..192000"},
      {"rate above", Wave(PcmFmt(1, 192001, 8), "ab"), "the sample rate 192001 Hz is outside"},
      {"block align 0", Wave(FmtBody(1, 1, 8000, 8, 0), "ab"), "the block align is 0"},
      {"block align against bits", Wave(FmtBody(1, 2, 8000, 16, 2), "abcd"),
       "the block align 2 does not match 2 channels of 16 bits"},
      {"unknown tag", Wave(FmtBody(0x55, 2, 44100, 0, 1), "ab"), "the format tag 0x0055 is not supported"},
      {"float", Wave(FmtBody(3, 1, 44100, 32, 4), "abcd"), "the format tag 0x0003 is not supported"},
      {"extensible float", Wave(ExtensibleFmt(1, 44100, 32, 3), "abcd"),
       "the extensible format's sub-format 0x0003 is not supported"},
      {"extensible of another family",
       Wave(ExtensibleFmt(1, 44100, 16).substr(0, 26) + std::string(14, 'x'), "ab"),
       "sub-format is not one this reader knows"},
      {"extensible without its details", Wave(FmtBody(0xFFFE, 1, 44100, 16, 2, Le16(0)), "ab"),
       "lacks the details of the extensible format"},
      {"IMA ADPCM of 16 bits", Wave(FmtBody(0x11, 1, 22050, 16, 256, Le16(2) + Le16(505)), "ab"),
       "IMA ADPCM of 16 bits per sample is not supported"},
      {"IMA ADPCM without cbSize", Wave(ImaFmt(1, 22050).substr(0, 16), Pattern(256)),
       "lacks the IMA ADPCM samples per block"},
      {"IMA ADPCM cbSize past its chunk",
       Wave(ImaFmt(1, 22050).substr(0, 16) + Le16(40) + Le16(505), Pattern(256)),
       "the fmt chunk's extra size 40 is more than its 20 bytes hold"},
      {"IMA ADPCM block too small", Wave(FmtBody(0x11, 2, 22050, 4, 8, Le16(2) + Le16(1)), Pattern(16)),
       "the IMA ADPCM block align 8 is too small"},
      {"Microsoft ADPCM without coefficients",
       Wave(FmtBody(0x2, 1, 22050, 4, 256, Le16(4) + Le16(500) + Le16(7)), Pattern(256)),
       "the Microsoft ADPCM block details are inconsistent"},
      {"mu-law of 16 bits", Wave(FmtBody(7, 1, 8000, 16, 2), "ab"),
       "mu-law of 16 bits per sample is not supported"},
      {"A-law block align", Wave(FmtBody(6, 1, 8000, 8, 2), "ab"),
       "the block align 2 does not match 1 channels"},
      {"data size past the end", Riff(fmt8 + ChunkClaiming("data", 100, Pattern(50))),
       "the data chunk claims 100 bytes, but only 50 are left"},
      {"a 4 GiB claim", Riff(fmt8 + ChunkClaiming("data", 0xFFFFFFFF, Pattern(50))),
       "the data chunk claims 4294967295 bytes, more than the 67108864 a sound may have"},
      {"one byte over the limit", Riff(fmt8 + ChunkClaiming("data", 64u * 1024 * 1024 + 1, "ab")),
       "claims 67108865 bytes, more than the 67108864"},
      {"the limit itself, not there", Riff(fmt8 + ChunkClaiming("data", 64u * 1024 * 1024, "ab")),
       "the data chunk claims 67108864 bytes, but only 2 are left"},
      {"chunk size past the end", Riff(ChunkClaiming("LIST", 1000, Pattern(30))),
       "the \"LIST\" chunk claims 1000 bytes, but only 30 are left"},
      {"chunk id of other bytes", Riff(ChunkClaiming(std::string("\x01\xFF", 2) + "ab", 1000, "")),
       "the \"??ab\" chunk claims 1000 bytes"},
      {"RIFF size cutting the data", Riff(fmt8 + Chunk("data", Pattern(20)), 4 + 24 + 8 + 10),
       "the data chunk claims 20 bytes, but only 10 are left"},
      {"less than a block of sound", Wave(PcmFmt(2, 44100, 16), "abc"),
       "the data chunk holds no whole block"},
      {"empty data", Wave(PcmFmt(1, 44100, 8), ""), "the data chunk holds no whole block"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string text = ErrorOf(c.image);
    EXPECT_EQ(text.rfind(kFile + ": ", 0), 0u) << text;
    EXPECT_NE(text.find(c.text), std::string::npos) << text;
  }
}

TEST(WaveFile, AClaimOfFourGigabytesIsRefusedInPlainWords) {
  EXPECT_EQ(ErrorOf(Riff(Chunk("fmt ", PcmFmt(1, 11025, 8)) + ChunkClaiming("data", 0xFFFFFFFF, "abcd"))),
            "D:\\x\\a.wav: the data chunk claims 4294967295 bytes, more than the 67108864 a sound may have");
}

TEST(WaveFile, EveryTruncationIsRefusedUntilOnlyTheLastPadIsMissing) {
  // An odd chunk before fmt, a LIST, and odd data with its pad last.
  const std::string image = Riff(Chunk("junk", "abc") + Chunk("fmt ", PcmFmt(1, 11025, 8)) +
                                 Chunk("LIST", "INFOx") + Chunk("data", Pattern(7)));
  ASSERT_EQ(image.back(), '\0');
  for (size_t len = 0; len + 1 < image.size(); ++len) {
    EXPECT_THROW(Parse(image, len), audio::WaveError) << len;
  }
  EXPECT_EQ(Parse(image, image.size() - 1).data, Pattern(7));
  EXPECT_EQ(Parse(image).data, Pattern(7));
}
