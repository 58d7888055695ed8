#include "uWheel_Wave.h"

#include <stdexcept>

#include "usFunction.h"

namespace {

const char kSoundDir[] = "GameSkin\\Wheel\\sound\\";

}  // namespace

TWheel_Wave::TWheel_Wave(HWND /*owner: the mixer was made for it*/, std::unique_ptr<TWaveMixer> mixer,
                         std::unique_ptr<TMemoryWave> wave, const std::string& appDir)
    : FMixer(std::move(mixer)), FWave(std::move(wave)) {
  try {
    if (!FMixer || !FWave) throw std::invalid_argument("the sound player needs a mixer and a WAVE loader");
    FMixer->Open();
    const std::string dir = (appDir.empty() ? sFunction.GetAppPath() : appDir) + kSoundDir;
    FOverPath1 = dir + "over_1.wav";
    FOverPath2 = dir + "over_1.wav";
    FBackPath = dir + "back.wav";
    FWheelPath = dir + "Wheel.wav";

    const struct {
      const char* name;
      const std::string& path;
      bool looping;
    } channels[] = {
        {"back", FBackPath, true},
        {"Wheel", FWheelPath, true},
        {"Over1", FOverPath1, false},
        {"Over2", FOverPath2, false},
    };
    for (const auto& c : channels) {
      FWave->Wave.SetFileName(c.path);
      const std::string used = FMixer->AddBuffer(c.name, FWave->Wave);
      FMixer->SetLooping(FMixer->FindBuffer(used), c.looping);
    }
  } catch (...) {
    Release();
    throw;
  }
}

TWheel_Wave::~TWheel_Wave() {
  Release();
}

void TWheel_Wave::Release() noexcept {
  if (FMixer) FMixer->Close();
  FMixer.reset();
  FWave.reset();
}

void TWheel_Wave::PlayBackSound(bool on) {
  Switch("back", on);
}

void TWheel_Wave::PlayWheelSound(bool on) {
  Switch("Wheel", on);
}

void TWheel_Wave::Switch(const char* channel, bool on) {
  TWaveBuffer* b = FMixer->FindBuffer(channel);
  if (on) {
    FMixer->Play(b);
  } else {
    FMixer->Stop(b);
  }
}

void TWheel_Wave::PlayOverSound(bool first) {
  FMixer->Play(FMixer->FindBuffer(first ? "Over1" : "Over2"));
}
