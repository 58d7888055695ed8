#include "uGameClientBase.h"

#include <stdexcept>

TGameClientBase::TGameClientBase(const TTransportFactories& factories) {
  if (FAILED(factories.GetSendCache(FCache.Out())) || !FCache) {
    throw std::runtime_error("Corvane.dll could not create the packet cache");
  }
  FCache->Init(kCacheEntries);
  if (FAILED(factories.GetUdpClient(FUdp.Out())) || !FUdp) {
    throw std::runtime_error("Peltrix.dll could not create the UDP client");
  }
  FUdp->SetOnReceive(&TGameClientBase::OnPacket, this);
  FUdp->SetActive(TRUE);
}

TGameClientBase::~TGameClientBase() {
  if (FUdp) {
    // The UDP client may outlive this session (someone else may hold a reference):
    // its receive thread stops and its handler is taken back, so no packet can reach
    // a session that is gone.
    FUdp->SetActive(FALSE);
    FUdp->SetOnReceive(nullptr, nullptr);
  }
  FUdp.Reset();
  FCache.Reset();
}

int32_t TGameClientBase::Send(const void* data, int32_t len) {
  return FUdp->SendTo(FAddress, FPort, data, len, kSendWaitMs);
}

void __stdcall TGameClientBase::OnPacket(void* context, int32_t address, uint16_t port, const uint8_t* data,
                                         int32_t len) {
  static_cast<TGameClientBase*>(context)->FCache->Push(1, address, port, data, len);
}
