// The audio toolkit and the game's sound player under Wine: the WAVE loader with files
// the test writes and compressed files made by sox (tests/fixtures/audio), the mixer on
// the test sound device, and TWheel_Wave with an application folder of its own.
//
// This program also runs as its own helper: started with --without-device <dir> <out>
// it tries the mixer and the sound player with Wine's audio drivers switched off and
// writes what happened to <out>.
#include <gtest/gtest.h>
#include <windows.h>
// clang-format off
#include <mmsystem.h>
#include <dsound.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "program_without_audio.h"
#include "pump_for.h"
#include "temp_dir.h"
#include "uMemoryWave.h"
#include "uWaveMixer.h"
#include "uWheel_Wave.h"
#include "usFunction.h"
#include "wave_file.h"
#include "wave_images.h"
#include "win/gbk_text.h"

using namespace waveimg;

namespace {

const char kNoDevice[] = "No DirectSound playing devices found";

std::string Folder(const TempDir& dir) {
  return dir.path().string() + "\\";
}

std::string Fixture(const std::string& name) {
  return sFunction.GetAppPath() + "fixtures\\audio\\" + name;
}

// The text of the error `f` raises, or "" when it raises none.
template <class Error, class F>
std::string ErrorText(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

// The mixer's timer windows that belong to this thread.
int TimerWindowsOfThisThread() {
  int n = 0;
  HWND after = nullptr;
  while ((after = FindWindowExW(HWND_MESSAGE, after, L"GyrelotWaveMixerTimer", nullptr)) != nullptr) {
    if (GetWindowThreadProcessId(after, nullptr) == GetCurrentThreadId()) ++n;
  }
  return n;
}

BOOL CALLBACK CountDevice(LPGUID, LPCWSTR, LPCWSTR, LPVOID context) {
  ++*static_cast<int*>(context);
  return TRUE;
}

int PlayingDevices() {
  int n = 0;
  DirectSoundEnumerateW(&CountDevice, &n);
  return n;
}

// 16-bit samples of a PCM byte string.
std::vector<int> Samples16(const std::string& pcm) {
  std::vector<int> s(pcm.size() / 2);
  for (size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<int16_t>(static_cast<uint8_t>(pcm[2 * i]) | static_cast<uint8_t>(pcm[2 * i + 1]) << 8);
  }
  return s;
}

// A hidden top-level window of this thread: the owner the mixer cooperates with.
struct OwnerWindow {
  HWND hwnd = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  ~OwnerWindow() { DestroyWindow(hwnd); }
};

struct EndSeen {
  std::string name;
  DWORD thread;
  DWORD at;
};

// An open mixer whose buffer ends are recorded.
struct MixerTest : ::testing::Test {
  OwnerWindow owner;
  TWaveMixer mixer{owner.hwnd};
  TempDir dir;
  TMemoryWave loader;
  std::vector<EndSeen> ends;

  void SetUp() override {
    ASSERT_NE(owner.hwnd, nullptr);
    ASSERT_NO_THROW(mixer.Open());
    mixer.OnBufferEnd = [this](TWaveBuffer& b) {
      ends.push_back({b.Name(), GetCurrentThreadId(), GetTickCount()});
    };
  }
  void TearDown() override { mixer.Close(); }

  // Adds a buffer of a tone of `ms` milliseconds under `name`; returns it.
  TWaveBuffer* Add(const std::string& name, uint32_t ms, bool looping = false) {
    loader.Wave.SetFileName(dir.Write("tone.wav", ToneWave(1, 22050, 16, ms)));
    TWaveBuffer* b = mixer.FindBuffer(mixer.AddBuffer(name, loader.Wave));
    mixer.SetLooping(b, looping);
    return b;
  }
  // The time from `start` to the end notice of `name`, or -1 when none came within `ms`.
  long WaitForEnd(const std::string& name, DWORD start, DWORD ms) {
    const auto seen = [&] {
      for (const auto& e : ends) {
        if (e.name == name) return true;
      }
      return false;
    };
    if (!PumpUntil(seen, ms)) return -1;
    for (const auto& e : ends) {
      if (e.name == name) return static_cast<long>(e.at - start);
    }
    return -1;
  }
};

}  // namespace

// --- the WAVE loader ----------------------------------------------------------------

TEST(TWaveData, LoadsPcmFilesAsTheyAre) {
  TempDir dir;
  struct Case {
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    uint32_t ms;
  } cases[] = {{1, 11025, 8, 200}, {2, 22050, 8, 100}, {1, 44100, 16, 250}, {2, 48000, 16, 120}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + "ch " + std::to_string(c.rate) + " " + std::to_string(c.bits));
    const std::string image = ToneWave(c.channels, c.rate, c.bits, c.ms);
    const std::string path = dir.Write("pcm.wav", image);
    TWaveData w;
    ASSERT_NO_THROW(w.SetFileName(path));
    EXPECT_EQ(w.FileName(), path);
    EXPECT_EQ(w.Format().wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(w.Format().nChannels, c.channels);
    EXPECT_EQ(w.Format().nSamplesPerSec, c.rate);
    EXPECT_EQ(w.Format().wBitsPerSample, c.bits);
    EXPECT_EQ(w.Format().nBlockAlign, c.channels * c.bits / 8);
    EXPECT_EQ(w.Format().nAvgBytesPerSec, c.rate * c.channels * c.bits / 8);
    const size_t bytes = static_cast<size_t>(c.rate) * c.ms / 1000 * c.channels * c.bits / 8;
    EXPECT_EQ(w.Data(), image.substr(44, bytes));
    EXPECT_EQ(w.DurationMs(), c.ms);
  }
}

TEST(TWaveData, ConvertsCompressedFilesToPcmThroughThePlatform) {
  // Each compared with sox's own decoding of the same file. The two Microsoft ADPCM
  // decoders round the predictor differently (division against shift), which drifts by
  // a few tens at full scale; a wrong decoding is off by thousands.
  struct Case {
    const char* name;
    int tolerance;
  } cases[] = {{"ima_adpcm", 2}, {"ms_adpcm", 256}, {"mu_law", 0}, {"a_law", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TWaveData w;
    ASSERT_NO_THROW(w.SetFileName(Fixture(std::string(c.name) + ".wav")));
    const audio::WaveFile ref =
        audio::ParseWave(ReadFileBytes(Fixture(std::string(c.name) + "_ref.wav")), "ref");
    EXPECT_EQ(w.Format().wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(w.Format().nChannels, ref.format.channels);
    EXPECT_EQ(w.Format().nSamplesPerSec, ref.format.samplesPerSec);
    ASSERT_EQ(w.Format().wBitsPerSample, 16);
    EXPECT_EQ(w.Format().nAvgBytesPerSec, ref.format.samplesPerSec * ref.format.channels * 2);
    ASSERT_EQ(w.Data().size(), ref.data.size());
    const std::vector<int> got = Samples16(w.Data());
    const std::vector<int> want = Samples16(ref.data);
    int worst = 0;
    int loudest = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      worst = std::max(worst, std::abs(got[i] - want[i]));
      loudest = std::max(loudest, std::abs(want[i]));
    }
    EXPECT_LE(worst, c.tolerance);
    EXPECT_GT(loudest, 20000);  // a tone, not silence
  }
}

TEST(TWaveData, ARefusedFileKeepsTheSoundHeldBefore) {
  TempDir dir;
  const std::string good = dir.Write("good.wav", ToneWave(1, 11025, 8, 100));
  TWaveData w;
  w.SetFileName(good);
  const std::string data = w.Data();
  struct Case {
    std::string path;
    std::string text;
  } cases[] = {
      {Folder(dir) + "missing.wav", ": cannot open the file"},
      {dir.Write("text.wav", "<html>404</html>"), ": not a RIFF file"},
      {dir.Write("24bit.wav", Riff(Chunk("fmt ", PcmFmt(1, 44100, 24)) + Chunk("data", "abc"))),
       ": PCM of 24 bits per sample is not supported"},
      {dir.Write("empty.wav", ""), ": too short for a WAVE file (0 bytes)"},
      {Folder(dir), ": cannot open the file"},  // a folder
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string text = ErrorText<audio::WaveError>([&] { w.SetFileName(c.path); });
    EXPECT_EQ(text.rfind(c.path + c.text, 0), 0u) << text;
    EXPECT_EQ(w.FileName(), good);
    EXPECT_EQ(w.Data(), data);
    EXPECT_EQ(w.Format().nSamplesPerSec, 11025u);
  }
}

TEST(TWaveData, AFileLargerThanTheLimitIsRefusedForItsSize) {
  TempDir dir;
  const std::string path = Folder(dir) + "huge.wav";
  // A valid WAVE file of the largest sound, so only the size of the file can refuse it;
  // one byte less and it is read.
  const std::string header =
      Riff(Chunk("fmt ", PcmFmt(1, 11025, 8)) + ChunkClaiming("data", audio::kMaxSoundBytes, ""),
           4 + 24 + 8 + audio::kMaxSoundBytes);
  const auto setSize = [&](uint64_t size) {
    HANDLE h = CreateFileW(gbk::ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, header.data(), static_cast<DWORD>(header.size()), &written, nullptr));
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
  };

  setSize(audio::kMaxWaveFileBytes + 1);
  TWaveData w;
  EXPECT_EQ(ErrorText<audio::WaveError>([&] { w.SetFileName(path); }),
            path + ": the file has 68157441 bytes, more than the 68157440 a sound file may have");
  EXPECT_TRUE(w.Empty());

  setSize(audio::kMaxWaveFileBytes);
  ASSERT_NO_THROW(w.SetFileName(path));
  EXPECT_EQ(w.Data().size(), audio::kMaxSoundBytes);
}

TEST(TWaveData, ACompressedSoundTooLongAsPcmIsRefused) {
  // Twenty mebibytes of IMA ADPCM (silent blocks) are about eighty as PCM.
  TempDir dir;
  const uint32_t dataBytes = 20u * 1024 * 1024;
  const std::string path = dir.Write(
      "long.wav",
      Riff(Chunk("fmt ", ImaFmt(1, 22050)) + ChunkClaiming("data", dataBytes, ""), 4 + 28 + 8 + dataBytes) +
          std::string(dataBytes, '\0'));
  TWaveData w;
  const std::string text = ErrorText<audio::WaveError>([&] { w.SetFileName(path); });
  EXPECT_EQ(text.rfind(path + ": the sound is ", 0), 0u) << text;
  EXPECT_NE(text.find("bytes as PCM, more than the 67108864 a sound may have"), std::string::npos) << text;
}

// --- the mixer ------------------------------------------------------------------------

TEST_F(MixerTest, OpensTheDefaultDeviceWithATimerWindowOnThisThread) {
  EXPECT_TRUE(mixer.Active());
  EXPECT_EQ(TimerWindowsOfThisThread(), 1);
  EXPECT_NO_THROW(mixer.Open());  // once open, opening again changes nothing
  EXPECT_EQ(TimerWindowsOfThisThread(), 1);
}

TEST_F(MixerTest, TheDeviceMixesAt11025HzIn8BitMono) {
  // A second DirectSound object of this process on the same default device reads the
  // device's primary format, which the mixer set.
  IDirectSound8* ds = nullptr;
  ASSERT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DS_OK);
  ASSERT_EQ(ds->SetCooperativeLevel(owner.hwnd, DSSCL_NORMAL), DS_OK);
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
  IDirectSoundBuffer* primary = nullptr;
  ASSERT_EQ(ds->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
  WAVEFORMATEX fmt{};
  DWORD written = 0;
  EXPECT_EQ(primary->GetFormat(&fmt, sizeof fmt, &written), DS_OK);
  primary->Release();
  ds->Release();
  EXPECT_EQ(fmt.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(fmt.nSamplesPerSec, 11025u);
  EXPECT_EQ(fmt.wBitsPerSample, 8);
  EXPECT_EQ(fmt.nChannels, 1);
}

TEST_F(MixerTest, NamesAreMadeUniqueWithTheSmallestNumber) {
  struct Case {
    std::string asked, given;
  } cases[] = {
      {"back", "back"}, {"back", "back1"},    {"back", "back2"}, {"", "1"},          {"", "2"},
      {"Back", "Back"}, {"back1x", "back1x"}, {"Over", "Over"},  {"Over1", "Over1"}, {"Over", "Over2"},
  };
  for (const auto& c : cases) EXPECT_EQ(Add(c.asked, 50)->Name(), c.given) << c.asked;
  std::vector<std::string> order;
  for (TWaveBuffer* b : mixer.Buffers()) order.push_back(b->Name());
  EXPECT_EQ(order, (std::vector<std::string>{"back", "back1", "back2", "1", "2", "Back", "back1x", "Over",
                                             "Over1", "Over2"}));
  // Exact, with case.
  EXPECT_EQ(mixer.FindBuffer("back1")->Name(), "back1");
  EXPECT_EQ(mixer.FindBuffer("BACK"), nullptr);
  EXPECT_EQ(mixer.FindBuffer("bac"), nullptr);
  EXPECT_EQ(mixer.FindBuffer("back "), nullptr);
  EXPECT_EQ(mixer.FindBuffer(""), nullptr);
}

TEST_F(MixerTest, AddBufferRefusesAnEmptyWaveAndAClosedMixer) {
  TWaveData empty;
  EXPECT_THROW(mixer.AddBuffer("a", empty), audio::MixerError);
  loader.Wave.SetFileName(dir.Write("t.wav", ToneWave(1, 11025, 8, 50)));
  mixer.Close();
  EXPECT_THROW(mixer.AddBuffer("a", loader.Wave), audio::MixerError);
}

TEST_F(MixerTest, ABufferKeepsItsOwnCopyWhenTheLoaderIsRefilled) {
  TWaveBuffer* a = Add("a", 200);
  TWaveBuffer* b = Add("b", 1200);  // refills the loader
  EXPECT_EQ(a->DurationMs(), 200u);
  EXPECT_EQ(b->DurationMs(), 1200u);
  const DWORD start = GetTickCount();
  mixer.Play(a);
  mixer.Play(b);
  const long endA = WaitForEnd("a", start, 3000);
  const long endB = WaitForEnd("b", start, 4000);
  ASSERT_GE(endA, 0);
  ASSERT_GE(endB, 0);
  EXPECT_LT(endA, 800);
  EXPECT_GT(endB, 900);
}

TEST_F(MixerTest, ASoundThatDoesNotLoopEndsWithANoticeOnThisThread) {
  TWaveBuffer* b = Add("short", 150);
  EXPECT_FALSE(b->Playing());
  const DWORD start = GetTickCount();
  mixer.Play(b);
  EXPECT_TRUE(b->Playing());
  const long end = WaitForEnd("short", start, 3000);
  ASSERT_GE(end, 0);
  EXPECT_GE(end, 60);
  EXPECT_LT(end, 600);  // noticed by the 50-ms timer, not much later
  EXPECT_FALSE(b->Playing());
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(ends[0].thread, GetCurrentThreadId());
  // Rewound: it plays whole again.
  const DWORD again = GetTickCount();
  ends.clear();
  mixer.Play(b);
  EXPECT_GE(WaitForEnd("short", again, 3000), 60);
  PumpFor(300);
  EXPECT_EQ(ends.size(), 1u);  // one notice per end
}

TEST_F(MixerTest, ALoopPlaysOnUntilStoppedWithoutNotice) {
  TWaveBuffer* b = Add("loop", 150, true);
  EXPECT_TRUE(b->Looping());
  mixer.Play(b);
  PumpFor(800);
  EXPECT_TRUE(b->Playing());
  mixer.Stop(b);
  EXPECT_FALSE(b->Playing());
  mixer.Stop(b);  // harmless when stopped
  EXPECT_FALSE(b->Playing());
  PumpFor(200);
  EXPECT_TRUE(ends.empty());
}

TEST_F(MixerTest, PlayStartsFromTheBeginningAlsoWhenPlayingOrStopped) {
  // A sound of one second played again halfway ends about a second after that,
  // not at its first end.
  TWaveBuffer* replayed = Add("replayed", 1000);
  TWaveBuffer* restarted = Add("restarted", 1000);
  const DWORD start = GetTickCount();
  mixer.Play(replayed);
  mixer.Play(restarted);
  PumpFor(500);
  mixer.Play(replayed);
  mixer.Stop(restarted);
  EXPECT_FALSE(restarted->Playing());
  mixer.Play(restarted);
  EXPECT_TRUE(replayed->Playing());
  EXPECT_TRUE(restarted->Playing());
  EXPECT_GT(WaitForEnd("replayed", start, 4000), 1250);
  EXPECT_GT(WaitForEnd("restarted", start, 4000), 1250);
}

TEST_F(MixerTest, LoopingChangesAtOnceWhilePlaying) {
  TWaveBuffer* toOnce = Add("toOnce", 200, true);
  TWaveBuffer* toLoop = Add("toLoop", 300, false);
  mixer.Play(toOnce);
  PumpFor(500);  // looped at least twice
  const DWORD changed = GetTickCount();
  mixer.SetLooping(toOnce, false);
  mixer.Play(toLoop);
  mixer.SetLooping(toLoop, true);
  EXPECT_TRUE(toOnce->Playing());
  const long end = WaitForEnd("toOnce", changed, 2000);
  ASSERT_GE(end, 0);
  EXPECT_LT(end, 800);  // within the loop's round it was in, not at once and not never
  EXPECT_FALSE(toOnce->Playing());
  PumpFor(600);
  EXPECT_TRUE(toLoop->Playing());
  EXPECT_EQ(WaitForEnd("toLoop", changed, 1), -1);
}

TEST_F(MixerTest, NoBufferIsHarmless) {
  mixer.Play(nullptr);
  mixer.Stop(nullptr);
  mixer.SetLooping(nullptr, true);
  EXPECT_TRUE(mixer.Buffers().empty());
}

TEST_F(MixerTest, ASoundShorterThanTheSmallestBufferStillPlays) {
  TempDir tiny;
  loader.Wave.SetFileName(
      tiny.Write("one.wav", Riff(Chunk("fmt ", PcmFmt(1, 8000, 8)) + Chunk("data", "\x90"))));
  ASSERT_EQ(loader.Wave.Data().size(), 1u);
  TWaveBuffer* b = mixer.FindBuffer(mixer.AddBuffer("tiny", loader.Wave));
  ASSERT_NE(b, nullptr);
  const DWORD start = GetTickCount();
  mixer.Play(b);
  EXPECT_TRUE(b->Playing());
  EXPECT_GE(WaitForEnd("tiny", start, 2000), 0);
}

TEST_F(MixerTest, CloseFreesEveryBufferAndCanBeRepeated) {
  Add("back", 300, true);
  mixer.Play(Add("Over1", 300));
  mixer.Play(mixer.FindBuffer("back"));
  mixer.Close();
  EXPECT_FALSE(mixer.Active());
  EXPECT_EQ(mixer.FindBuffer("back"), nullptr);
  EXPECT_EQ(mixer.FindBuffer("Over1"), nullptr);
  EXPECT_TRUE(mixer.Buffers().empty());
  EXPECT_EQ(TimerWindowsOfThisThread(), 0);
  PumpFor(200);
  EXPECT_TRUE(ends.empty());  // a closed mixer reports nothing
  mixer.Close();
  EXPECT_FALSE(mixer.Active());
  // Open again, a fresh start.
  ASSERT_NO_THROW(mixer.Open());
  EXPECT_EQ(Add("back", 50)->Name(), "back");
}

TEST(TWaveMixer, TheDestructorCloses) {
  OwnerWindow owner;
  {
    TWaveMixer m(owner.hwnd);
    m.Open();
    EXPECT_EQ(TimerWindowsOfThisThread(), 1);
  }
  EXPECT_EQ(TimerWindowsOfThisThread(), 0);
}

TEST(TWaveMixer, AHandlerMayCloseTheMixer) {
  OwnerWindow owner;
  TWaveMixer m(owner.hwnd);
  m.Open();
  TempDir dir;
  TMemoryWave loader;
  loader.Wave.SetFileName(dir.Write("t.wav", ToneWave(1, 11025, 8, 60)));
  int notices = 0;
  m.OnBufferEnd = [&](TWaveBuffer&) {
    ++notices;
    m.Close();
  };
  // Two sounds that end in the same tick, most likely: the second is gone by the time
  // its notice would be raised, and a closed mixer raises nothing more.
  TWaveBuffer* a = m.FindBuffer(m.AddBuffer("a", loader.Wave));
  TWaveBuffer* b = m.FindBuffer(m.AddBuffer("b", loader.Wave));
  m.Play(a);
  m.Play(b);
  EXPECT_TRUE(PumpUntil([&] { return notices > 0; }, 2000));
  PumpFor(200);
  EXPECT_FALSE(m.Active());
  EXPECT_EQ(notices, 1);
}

// --- the game's sound player -----------------------------------------------------------

namespace {

// An application folder with the three sound files, each of its own length.
struct SoundFolder {
  TempDir dir;
  std::string app = Folder(dir);
  std::string sound = app + "GameSkin\\Wheel\\sound\\";
  SoundFolder() {
    dir.Write("GameSkin/Wheel/sound/back.wav", ToneWave(1, 22050, 16, 300));
    dir.Write("GameSkin/Wheel/sound/Wheel.wav", ToneWave(1, 11025, 8, 400));
    dir.Write("GameSkin/Wheel/sound/over_1.wav", ToneWave(2, 22050, 16, 200));
  }
};

std::unique_ptr<TWheel_Wave> MakeSoundPlayer(HWND owner, const std::string& app) {
  return std::make_unique<TWheel_Wave>(owner, std::make_unique<TWaveMixer>(owner),
                                       std::make_unique<TMemoryWave>(), app);
}

}  // namespace

TEST(TWheel_Wave, LoadsTheFourChannelsInOrder) {
  OwnerWindow owner;
  SoundFolder files;
  auto player = MakeSoundPlayer(owner.hwnd, files.app);
  EXPECT_EQ(player->BackPath(), files.sound + "back.wav");
  EXPECT_EQ(player->WheelPath(), files.sound + "Wheel.wav");
  EXPECT_EQ(player->OverPath1(), files.sound + "over_1.wav");
  EXPECT_EQ(player->OverPath2(), files.sound + "over_1.wav");
  struct Want {
    const char* name;
    bool looping;
    uint32_t ms;
  } want[] = {{"back", true, 300}, {"Wheel", true, 400}, {"Over1", false, 200}, {"Over2", false, 200}};
  const std::vector<TWaveBuffer*> buffers = player->Mixer().Buffers();
  ASSERT_EQ(buffers.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(want[i].name);
    EXPECT_EQ(buffers[i]->Name(), want[i].name);
    EXPECT_EQ(buffers[i]->Looping(), want[i].looping);
    EXPECT_EQ(buffers[i]->DurationMs(), want[i].ms);
    EXPECT_FALSE(buffers[i]->Playing());
  }
  EXPECT_TRUE(player->Mixer().Active());
  EXPECT_EQ(TimerWindowsOfThisThread(), 1);
  player.reset();
  EXPECT_EQ(TimerWindowsOfThisThread(), 0);  // the mixer was closed and destroyed
}

TEST(TWheel_Wave, SwitchesPlayAndStopTheirChannels) {
  OwnerWindow owner;
  SoundFolder files;
  auto player = MakeSoundPlayer(owner.hwnd, files.app);
  TWaveMixer& m = player->Mixer();
  auto playing = [&] {
    std::string s;
    for (TWaveBuffer* b : m.Buffers()) s += b->Playing() ? '1' : '0';
    return s;  // back, Wheel, Over1, Over2
  };
  struct Step {
    const char* what;
    void (*act)(TWheel_Wave&);
    const char* after;
  } steps[] = {
      {"back on", [](TWheel_Wave& p) { p.PlayBackSound(true); }, "1000"},
      {"back on again", [](TWheel_Wave& p) { p.PlayBackSound(true); }, "1000"},
      {"wheel on", [](TWheel_Wave& p) { p.PlayWheelSound(true); }, "1100"},
      {"over first", [](TWheel_Wave& p) { p.PlayOverSound(true); }, "1110"},
      {"over second", [](TWheel_Wave& p) { p.PlayOverSound(false); }, "1111"},
      {"wheel off", [](TWheel_Wave& p) { p.PlayWheelSound(false); }, "1011"},
      {"wheel off again", [](TWheel_Wave& p) { p.PlayWheelSound(false); }, "1011"},
      {"back off", [](TWheel_Wave& p) { p.PlayBackSound(false); }, "0011"},
  };
  for (const auto& s : steps) {
    s.act(*player);
    EXPECT_EQ(playing(), s.after) << s.what;
  }
  // The end-of-spin sounds end by themselves; the loops would not.
  player->PlayBackSound(true);
  EXPECT_TRUE(PumpUntil([&] { return playing() == "1000"; }, 3000)) << playing();
  PumpFor(400);
  EXPECT_EQ(playing(), "1000");
}

TEST(TWheel_Wave, ASwitchWithoutItsChannelDoesNothing) {
  OwnerWindow owner;
  SoundFolder files;
  auto player = MakeSoundPlayer(owner.hwnd, files.app);
  player->Mixer().Close();  // no channel is there any more
  player->PlayBackSound(true);
  player->PlayWheelSound(true);
  player->PlayOverSound(true);
  player->PlayOverSound(false);
  player->PlayBackSound(false);
  player->PlayWheelSound(false);
  EXPECT_TRUE(player->Mixer().Buffers().empty());
}

TEST(TWheel_Wave, AMissingOrBrokenSoundEndsConstructionAndReleasesTheMixer) {
  struct Case {
    const char* file;
    bool missing;
    std::string content;
    const char* text;
  } cases[] = {
      {"Wheel.wav", true, "", "Wheel.wav: cannot open the file"},
      {"back.wav", true, "", "back.wav: cannot open the file"},
      {"over_1.wav", true, "", "over_1.wav: cannot open the file"},
      {"back.wav", false, "RIFF", "back.wav: too short for a WAVE file"},
      {"Wheel.wav", false, std::string("RIFF\x04\0\0\0WAVE", 12),
       "Wheel.wav: no fmt chunk and no data chunk"},
  };
  OwnerWindow owner;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    SoundFolder files;
    const std::string path = files.sound + c.file;
    if (c.missing) {
      ASSERT_TRUE(DeleteFileW(gbk::ToWide(path).c_str()));
    } else {
      files.dir.Write(std::string("GameSkin/Wheel/sound/") + c.file, c.content);
    }
    const std::string text = ErrorText<audio::WaveError>([&] { MakeSoundPlayer(owner.hwnd, files.app); });
    EXPECT_EQ(text.rfind(files.sound + c.text, 0), 0u) << text;
    // The mixer had been opened; nothing of it is left.
    EXPECT_EQ(TimerWindowsOfThisThread(), 0);
  }
  // The device is free for the next player.
  SoundFolder files;
  EXPECT_NO_THROW(MakeSoundPlayer(owner.hwnd, files.app));
}

TEST(TWheel_Wave, TakesItsSoundsFromTheProgramFolderByDefault) {
  // The build puts the game's asset pack beside the programs.
  OwnerWindow owner;
  std::unique_ptr<TWheel_Wave> player;
  ASSERT_NO_THROW(player = std::make_unique<TWheel_Wave>(owner.hwnd, std::make_unique<TWaveMixer>(owner.hwnd),
                                                         std::make_unique<TMemoryWave>()));
  EXPECT_EQ(player->BackPath(), sFunction.GetAppPath() + "GameSkin\\Wheel\\sound\\back.wav");
  EXPECT_EQ(player->Mixer().Buffers().size(), 4u);
}

// --- without a playing device ---------------------------------------------------------------

namespace {

// Run as the helper: Wine without its audio drivers has no playing device. `app` is the
// application folder (passed without its last backslash, which would escape the quote).
int RunWithoutDevice(const std::string& app, const std::string& outPath) {
  std::ofstream out(outPath.c_str(), std::ios::binary);
  out << "devices " << PlayingDevices() << "\n";
  TWaveMixer mixer(nullptr);
  try {
    mixer.Open();
    out << "open: opened\n";
  } catch (const audio::MixerError& e) {
    out << "open: " << e.what() << "\n";
  }
  out << "active " << mixer.Active() << "\n";
  try {
    TWheel_Wave player(nullptr, std::make_unique<TWaveMixer>(nullptr), std::make_unique<TMemoryWave>(), app);
    out << "player: made\n";
  } catch (const std::exception& e) {
    out << "player: " << e.what() << "\n";
  }
  out << "timer windows " << TimerWindowsOfThisThread() << "\n";
  return out.good() ? 0 : 1;
}

}  // namespace

TEST(NoPlayingDevice, OpenAndTheSoundPlayerFailWithTheMixersMessage) {
  ASSERT_GT(PlayingDevices(), 0);  // this process has the test sound device
  SoundFolder files;
  const std::string outPath = Folder(files.dir) + "without-device.txt";
  ProgramWithoutAudio program(Folder(files.dir), L"wave_mixer_nodevice");
  ASSERT_TRUE(program.Ready());
  EXPECT_EQ(program.Run(L"--without-device \"" + gbk::ToWide(files.dir.path().string()) + L"\" \"" +
                        gbk::ToWide(outPath) + L"\""),
            0);
  // The sound files are all there: only the device is missing.
  EXPECT_EQ(ReadFileBytes(outPath), std::string("devices 0\n") + "open: " + kNoDevice + "\n" + "active 0\n" +
                                        "player: " + kNoDevice + "\n" + "timer windows 0\n");
}

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--without-device") == 0) {
    return argc == 4 ? RunWithoutDevice(std::string(argv[2]) + "\\", argv[3]) : 2;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
