// The mixer component: named, preloaded sound buffers mixed on the default DirectSound
// playing device. Every buffer holds its own copy of its sound, plays at full volume,
// centred and at its own rate, and keeps playing while the owner window is not active.
// The end of a buffer that does not loop is noticed by a 50-ms timer of the mixer's
// own window, on the thread that opened it, which then rewinds the buffer and raises
// OnBufferEnd. Everything runs on the owner window's thread; nothing is locked.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "uMemoryWave.h"
#include "win/window_timer.h"

struct IDirectSound8;
struct IDirectSoundBuffer;

namespace audio {

// What the mixer raises: no playing device, a device or buffer that cannot be made.
class MixerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace audio

// One named sound of the mixer.
class TWaveBuffer {
 public:
  const std::string& Name() const { return name_; }
  bool Looping() const { return looping_; }
  bool Playing() const { return playing_; }
  uint32_t DurationMs() const { return durationMs_; }

 private:
  friend class TWaveMixer;
  std::string name_;
  bool looping_ = false;
  bool playing_ = false;
  uint32_t durationMs_ = 0;
  IDirectSoundBuffer* buffer_ = nullptr;
  std::string pcm_;  // kept to refill a buffer the device lost
};

class TWaveMixer {
 public:
  // `owner` is the window the device cooperates with (priority level).
  explicit TWaveMixer(HWND owner);
  ~TWaveMixer();  // closes
  TWaveMixer(const TWaveMixer&) = delete;
  TWaveMixer& operator=(const TWaveMixer&) = delete;

  // Takes the default playing device with priority cooperation and a primary format
  // of 11025 Hz, 8 bits, mono. Raises audio::MixerError "No DirectSound playing
  // devices found" when there is none.
  void Open();
  bool Active() const { return device_ != nullptr; }
  // Stops and frees every buffer and releases the device. Harmless when closed.
  void Close();

  // A new buffer with its own copy of `wave`'s sound under `name`; an empty or taken
  // name gets the smallest number 1, 2, ... appended. Returns the name used. Raises
  // audio::MixerError when the mixer is closed, the wave is empty or the buffer
  // cannot be made.
  std::string AddBuffer(const std::string& name, const TWaveData& wave);
  // The buffer of exactly that name (case counts), or none.
  TWaveBuffer* FindBuffer(const std::string& name) const;
  // Whether the buffer repeats; a change takes effect at once while it plays.
  void SetLooping(TWaveBuffer* buffer, bool looping);
  // From its beginning, also when it is playing already. None does nothing.
  void Play(TWaveBuffer* buffer);
  // Stops and rewinds. None, or a stopped buffer, is harmless.
  void Stop(TWaveBuffer* buffer);
  // Buffers in the order they were added.
  std::vector<TWaveBuffer*> Buffers() const;

  // Raised on the owner's thread when a buffer that does not loop has played to its
  // end (it is rewound by then). The handler may play, stop, add or close, but must not
  // destroy the mixer.
  std::function<void(TWaveBuffer&)> OnBufferEnd;

 private:
  void CheckEnds();
  void Restore(TWaveBuffer& b);

  HWND owner_;
  std::unique_ptr<winapp::WindowTimer> endTimer_;
  IDirectSound8* device_ = nullptr;
  IDirectSoundBuffer* primary_ = nullptr;
  std::vector<std::unique_ptr<TWaveBuffer>> buffers_;
};
