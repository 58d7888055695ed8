#include "uWaveMixer.h"

#include <mmsystem.h>
// clang-format off
#include <dsound.h>
// clang-format on

#include <cstdio>
#include <cstring>

#include "win/com_ptr.h"

namespace {

constexpr wchar_t kTimerWindowClass[] = L"GyrelotWaveMixerTimer";
constexpr UINT kEndTimerMs = 50;

// The primary buffer's format: what the device mixes into.
constexpr DWORD kPrimaryRate = 11025;
constexpr WORD kPrimaryBits = 8;
constexpr WORD kPrimaryChannels = 1;

const char kNoDevice[] = "No DirectSound playing devices found";

std::string HrText(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

BOOL CALLBACK CountDevice(LPGUID, LPCWSTR, LPCWSTR, LPVOID context) {
  ++*static_cast<int*>(context);
  return TRUE;
}

int PlayingDeviceCount() {
  int count = 0;
  if (FAILED(DirectSoundEnumerateW(&CountDevice, &count))) return 0;
  return count;
}

// Copies `pcm` into the whole buffer.
HRESULT Fill(IDirectSoundBuffer* buffer, const std::string& pcm) {
  void* a = nullptr;
  void* b = nullptr;
  DWORD na = 0;
  DWORD nb = 0;
  HRESULT hr = buffer->Lock(0, 0, &a, &na, &b, &nb, DSBLOCK_ENTIREBUFFER);
  if (FAILED(hr)) return hr;
  const size_t first = na < pcm.size() ? na : pcm.size();
  std::memcpy(a, pcm.data(), first);
  if (b && nb > 0 && pcm.size() > first) {
    std::memcpy(b, pcm.data() + first, nb < pcm.size() - first ? nb : pcm.size() - first);
  }
  return buffer->Unlock(a, na, b, nb);
}

}  // namespace

TWaveMixer::TWaveMixer(HWND owner) : owner_(owner) {}

TWaveMixer::~TWaveMixer() {
  Close();
}

void TWaveMixer::Open() {
  if (Active()) return;
  // The list answers whether the machine has any playing device at all, whatever error
  // code creating the default one would give; creating it is the second check.
  if (PlayingDeviceCount() == 0) throw audio::MixerError(kNoDevice);
  IDirectSound8* device = nullptr;
  if (FAILED(DirectSoundCreate8(nullptr, &device, nullptr)) || !device) throw audio::MixerError(kNoDevice);
  device_ = device;
  try {
    // The device needs a window to cooperate with; without an owner the desktop stands in.
    HRESULT hr = device_->SetCooperativeLevel(owner_ ? owner_ : GetDesktopWindow(), DSSCL_PRIORITY);
    if (FAILED(hr)) throw audio::MixerError("DirectSound refuses priority cooperation (" + HrText(hr) + ")");

    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    hr = device_->CreateSoundBuffer(&desc, &primary_, nullptr);
    if (FAILED(hr)) throw audio::MixerError("DirectSound gives no primary buffer (" + HrText(hr) + ")");
    WAVEFORMATEX fmt{};
    fmt.wFormatTag = WAVE_FORMAT_PCM;
    fmt.nChannels = kPrimaryChannels;
    fmt.nSamplesPerSec = kPrimaryRate;
    fmt.wBitsPerSample = kPrimaryBits;
    fmt.nBlockAlign = kPrimaryChannels * kPrimaryBits / 8;
    fmt.nAvgBytesPerSec = kPrimaryRate * fmt.nBlockAlign;
    // A device that keeps its own format still plays every buffer (it converts them),
    // so a refusal here is no reason to go without sound.
    primary_->SetFormat(&fmt);

    // A timer of this thread: it ticks on the thread that opened the mixer, which is
    // the owner window's.
    try {
      endTimer_ = std::make_unique<winapp::WindowTimer>(kEndTimerMs, kTimerWindowClass);
      endTimer_->OnTimer = [this] { CheckEnds(); };
      endTimer_->SetEnabled(true);
    } catch (const std::runtime_error& e) {
      throw audio::MixerError(std::string("cannot start the mixer's timer: ") + e.what());
    }
  } catch (...) {
    Close();
    throw;
  }
}

void TWaveMixer::Close() {
  endTimer_.reset();
  for (auto& b : buffers_) {
    if (b->buffer_) {
      b->buffer_->Stop();
      b->buffer_->Release();
      b->buffer_ = nullptr;
    }
  }
  buffers_.clear();
  if (primary_) {
    primary_->Release();
    primary_ = nullptr;
  }
  if (device_) {
    device_->Release();
    device_ = nullptr;
  }
}

std::string TWaveMixer::AddBuffer(const std::string& name, const TWaveData& wave) {
  if (!Active()) throw audio::MixerError("the mixer is not open: no buffer for \"" + name + "\"");
  if (wave.Empty()) throw audio::MixerError("no sound loaded for the buffer \"" + name + "\"");

  std::string used = name;
  if (used.empty() || FindBuffer(used)) {
    for (unsigned n = 1;; ++n) {
      used = name + std::to_string(n);
      if (!FindBuffer(used)) break;
    }
  }

  const WAVEFORMATEX& fmt = wave.Format();
  // A sound shorter than the smallest buffer is padded with silence.
  std::string pcm = wave.Data();
  const size_t minimum =
      DSBSIZE_MIN + fmt.nBlockAlign - 1 - (DSBSIZE_MIN + fmt.nBlockAlign - 1) % fmt.nBlockAlign;
  if (pcm.size() < minimum) pcm.resize(minimum, fmt.wBitsPerSample == 8 ? '\x80' : '\0');

  WAVEFORMATEX format = fmt;
  format.cbSize = 0;
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  // No volume, pan or frequency control: full volume, centred, at the sound's own rate.
  desc.dwFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
  desc.dwBufferBytes = static_cast<DWORD>(pcm.size());
  desc.lpwfxFormat = &format;
  ComPtr<IDirectSoundBuffer> buffer;
  HRESULT hr = device_->CreateSoundBuffer(&desc, buffer.Out(), nullptr);
  if (FAILED(hr) || !buffer) {
    throw audio::MixerError("cannot make the sound buffer \"" + used + "\" (" + HrText(hr) + ")");
  }
  hr = Fill(buffer.get(), pcm);
  if (hr == DSERR_BUFFERLOST && SUCCEEDED(buffer->Restore())) hr = Fill(buffer.get(), pcm);
  if (FAILED(hr))
    throw audio::MixerError("cannot fill the sound buffer \"" + used + "\" (" + HrText(hr) + ")");

  auto b = std::make_unique<TWaveBuffer>();
  b->name_ = used;
  b->durationMs_ = wave.DurationMs();
  b->pcm_ = std::move(pcm);
  buffers_.reserve(buffers_.size() + 1);
  b->buffer_ = buffer.Detach();  // from here on released by Close
  buffers_.push_back(std::move(b));
  return used;
}

TWaveBuffer* TWaveMixer::FindBuffer(const std::string& name) const {
  for (const auto& b : buffers_) {
    if (b->name_ == name) return b.get();
  }
  return nullptr;
}

std::vector<TWaveBuffer*> TWaveMixer::Buffers() const {
  std::vector<TWaveBuffer*> out;
  out.reserve(buffers_.size());
  for (const auto& b : buffers_) out.push_back(b.get());
  return out;
}

void TWaveMixer::SetLooping(TWaveBuffer* buffer, bool looping) {
  if (!buffer) return;
  buffer->looping_ = looping;
  // Playing again with the other flag changes how it goes on, from where it is.
  if (buffer->playing_ && buffer->buffer_) buffer->buffer_->Play(0, 0, looping ? DSBPLAY_LOOPING : 0);
}

void TWaveMixer::Play(TWaveBuffer* buffer) {
  if (!buffer || !buffer->buffer_) return;
  IDirectSoundBuffer* b = buffer->buffer_;
  b->Stop();
  HRESULT hr = b->SetCurrentPosition(0);
  if (SUCCEEDED(hr)) hr = b->Play(0, 0, buffer->looping_ ? DSBPLAY_LOOPING : 0);
  if (hr == DSERR_BUFFERLOST) {
    Restore(*buffer);
    hr = b->SetCurrentPosition(0);
    if (SUCCEEDED(hr)) hr = b->Play(0, 0, buffer->looping_ ? DSBPLAY_LOOPING : 0);
  }
  // A sound that cannot start is no error of the game's: the buffer simply stays stopped.
  buffer->playing_ = SUCCEEDED(hr);
}

void TWaveMixer::Stop(TWaveBuffer* buffer) {
  if (!buffer || !buffer->buffer_) return;
  buffer->buffer_->Stop();
  buffer->buffer_->SetCurrentPosition(0);
  buffer->playing_ = false;
}

void TWaveMixer::Restore(TWaveBuffer& b) {
  if (b.buffer_ && SUCCEEDED(b.buffer_->Restore())) Fill(b.buffer_, b.pcm_);
}

void TWaveMixer::CheckEnds() {
  std::vector<TWaveBuffer*> ended;
  for (const auto& b : buffers_) {
    if (!b->playing_ || !b->buffer_) continue;
    DWORD status = 0;
    if (FAILED(b->buffer_->GetStatus(&status))) continue;
    if (status & DSBSTATUS_BUFFERLOST) {
      // Another program took the device for a while: a loop goes on once the buffer
      // can be restored, a single sound counts as played.
      Restore(*b);
      if (b->looping_) {
        b->buffer_->SetCurrentPosition(0);
        b->buffer_->Play(0, 0, DSBPLAY_LOOPING);
        continue;
      }
    } else if ((status & DSBSTATUS_PLAYING) || b->looping_) {
      continue;
    }
    b->buffer_->Stop();
    b->buffer_->SetCurrentPosition(0);
    b->playing_ = false;
    ended.push_back(b.get());
  }
  // The handler may close the mixer or add buffers: each buffer is looked up again.
  for (TWaveBuffer* b : ended) {
    bool present = false;
    for (const auto& p : buffers_) present = present || p.get() == b;
    if (present && OnBufferEnd) OnBufferEnd(*b);
  }
}
