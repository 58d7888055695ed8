// The game's sound player: the background loop "back", the spin loop "Wheel" and the
// end-of-spin sound on two channels "Over1" and "Over2" (both from over_1.wav), loaded
// once from GameSkin\Wheel\sound\ into the mixer and switched by the game.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "uMemoryWave.h"
#include "uWaveMixer.h"

class TWheel_Wave {
 public:
  // Takes over the window's mixer and WAVE loader, opens the mixer and loads the four
  // channels. Passes on any error (a missing or unreadable sound, no playing device);
  // the mixer is then closed and both components are destroyed. `appDir` (GBK, with a
  // trailing backslash) replaces the program's folder, for tests.
  TWheel_Wave(HWND owner, std::unique_ptr<TWaveMixer> mixer, std::unique_ptr<TMemoryWave> wave,
              const std::string& appDir = std::string());
  // Closes the mixer, then destroys the mixer and the WAVE loader.
  ~TWheel_Wave();
  TWheel_Wave(const TWheel_Wave&) = delete;
  TWheel_Wave& operator=(const TWheel_Wave&) = delete;

  void PlayBackSound(bool on);
  void PlayWheelSound(bool on);
  // Plays "Over1" when `first`, else "Over2", once.
  void PlayOverSound(bool first);

  TWaveMixer& Mixer() { return *FMixer; }
  const std::string& BackPath() const { return FBackPath; }
  const std::string& WheelPath() const { return FWheelPath; }
  const std::string& OverPath1() const { return FOverPath1; }
  const std::string& OverPath2() const { return FOverPath2; }

 private:
  void Release() noexcept;
  // Plays a looping channel from its beginning, or stops it; a missing one does nothing.
  void Switch(const char* channel, bool on);

  std::unique_ptr<TWaveMixer> FMixer;
  std::unique_ptr<TMemoryWave> FWave;
  std::string FOverPath1;
  std::string FOverPath2;
  std::string FBackPath;
  std::string FWheelPath;
};
