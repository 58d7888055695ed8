// The game session's transport: the UDP client from Peltrix and the packet cache from
// Corvane. Every received packet goes into the cache on the UDP client's thread; the
// window takes them off on its own thread. The cache is the only hand-over between the
// two, so nothing here takes a lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "uCorvane_Intf.h"
#include "uudpClient_Intf.h"
#include "win/com_ptr.h"

// Where the transport objects come from: the DLLs' exports, or stand-ins in tests.
struct TTransportFactories {
  TGetSendCacheClass GetSendCache = &__GET_SSENDCACHE_CLASS;
  TGetPackUdpClient GetUdpClient = &__GET_PackUdpClient;
  TGetNetFuncClass GetNetFunc = &__GET_SNETFUNC_CLASS;
};

class TGameClientBase {
 public:
  // The packets the cache holds; what the game server sends.
  static constexpr int32_t kCacheEntries = 1024;
  // How long a send may wait for room in the socket's buffer, in milliseconds.
  static constexpr int32_t kSendWaitMs = 100;

  // Creates the cache and the UDP client and starts receiving. Throws std::runtime_error
  // when a transport object cannot be made.
  explicit TGameClientBase(const TTransportFactories& factories = {});
  // Stops the UDP client's receiving and takes its handler back (no packet arrives
  // after that, whoever else holds the client), releases it, then the cache.
  virtual ~TGameClientBase();
  TGameClientBase(const TGameClientBase&) = delete;
  TGameClientBase& operator=(const TGameClientBase&) = delete;

  virtual void Login(int32_t userId, const std::string& userName, int32_t address, uint16_t port) = 0;
  virtual void Logout() = 0;

  // Sends one record to the game server; the result is the UDP client's and nobody
  // needs it: a lost request is not repeated.
  int32_t Send(const void* data, int32_t len);

  IsSendCache* Cache() const { return FCache.get(); }
  // The local port packets arrive on (0 when the UDP client could not bind).
  uint16_t LocalPort() const { return FUdp->GetPort(); }

 protected:
  ComPtr<IPackudpClient> FUdp;
  ComPtr<IsSendCache> FCache;
  int32_t FAddress = 0;
  uint16_t FPort = 0;

 private:
  // The UDP client's receive handler: hands the packet to the cache as it came.
  static void __stdcall OnPacket(void* context, int32_t address, uint16_t port, const uint8_t* data,
                                 int32_t len);
};
