// Stand-ins for the game's transport objects: a UDP client that records what is sent
// and lets the test play the server, and a packet cache that forwards to Corvane's
// real one. Both note their calls in one log, so a test sees the order across them.
// The factories are plain functions, as the DLL exports are; they hand out the
// objects the test prepared.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "uCorvane_Intf.h"
#include "uGameClientBase.h"
#include "uudpClient_Intf.h"
#include "win/com_ptr.h"

struct SentDatagram {
  int32_t address;
  uint16_t port;
  std::vector<uint8_t> bytes;
  int32_t waitMs;
};

inline std::vector<std::string>& TransportLog() {
  static std::vector<std::string> log;
  return log;
}

class FakeUdp final : public IPackudpClient {
 public:
  std::vector<SentDatagram> sent;
  TUdpReceiveProc handler = nullptr;
  void* context = nullptr;
  bool active = false;

  // Plays the server: the packet arrives as the real client would hand it over.
  void Receive(int32_t address, uint16_t port, const std::vector<uint8_t>& bytes) {
    handler(context, address, port, bytes.data(), static_cast<int32_t>(bytes.size()));
  }

  HRESULT __stdcall QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG __stdcall AddRef() override { return ++refs_; }
  ULONG __stdcall Release() override {
    TransportLog().push_back("udp released");
    return --refs_;
  }
  BOOL __stdcall GetActive() override { return active; }
  uint16_t __stdcall GetPort() override { return active ? 50000 : 0; }
  void __stdcall SetActive(BOOL a) override {
    TransportLog().push_back(a ? "udp SetActive(true)" : "udp SetActive(false)");
    active = a != FALSE;
  }
  void __stdcall SetPort(uint16_t) override {}
  int32_t __stdcall GetLastSocketError() override { return 0; }
  void __stdcall SetOnReceive(TUdpReceiveProc proc, void* ctx) override {
    TransportLog().push_back("udp SetOnReceive");
    handler = proc;
    context = ctx;
  }
  uint32_t __stdcall GetReceivedCount() override { return 0; }
  int32_t __stdcall SendTo(int32_t address, uint16_t port, const void* data, int32_t len,
                           int32_t waitMs) override {
    const auto* p = static_cast<const uint8_t*>(data);
    sent.push_back({address, port, std::vector<uint8_t>(p, p + len), waitMs});
    return len;
  }

 private:
  ULONG refs_ = 1;
};

// Corvane's cache behind a proxy that logs Init and the last Release.
class LoggingCache final : public IsSendCache {
 public:
  LoggingCache() { __GET_SSENDCACHE_CLASS(real_.Out()); }

  HRESULT __stdcall QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG __stdcall AddRef() override { return ++refs_; }
  ULONG __stdcall Release() override {
    TransportLog().push_back("cache released");
    return --refs_;
  }
  int32_t __stdcall Count() override { return real_->Count(); }
  int32_t __stdcall Init(int32_t capacity) override {
    TransportLog().push_back("cache Init(" + std::to_string(capacity) + ")");
    return real_->Init(capacity);
  }
  BOOL __stdcall Push(int32_t kind, int32_t address, uint16_t port, const uint8_t* data,
                      int32_t len) override {
    return real_->Push(kind, address, port, data, len);
  }
  BOOL __stdcall Peek(const TSendCacheEntry** entry) override { return real_->Peek(entry); }
  void __stdcall Pop() override { real_->Pop(); }
  uint32_t __stdcall DroppedCount() override { return real_->DroppedCount(); }
  int32_t __stdcall Capacity() override { return real_->Capacity(); }

 private:
  ComPtr<IsSendCache> real_;
  ULONG refs_ = 1;
};

// The objects the next client gets from its factories. The test owns them (they live
// on its stack), so every Release is logged and none deletes.
inline FakeUdp*& NextUdp() {
  static FakeUdp* next = nullptr;
  return next;
}
inline LoggingCache*& NextCache() {
  static LoggingCache* next = nullptr;
  return next;
}

inline HRESULT __stdcall FakeUdpFactory(IPackudpClient** out) {
  TransportLog().push_back("udp created");
  NextUdp()->AddRef();
  *out = NextUdp();
  return S_OK;
}
inline HRESULT __stdcall LoggingCacheFactory(IsSendCache** out) {
  TransportLog().push_back("cache created");
  NextCache()->AddRef();
  *out = NextCache();
  return S_OK;
}

inline TTransportFactories FakeTransport() {
  TTransportFactories f;
  f.GetSendCache = &LoggingCacheFactory;
  f.GetUdpClient = &FakeUdpFactory;
  return f;
}
