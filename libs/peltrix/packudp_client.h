// The UDP client object the game holds: the operations in their slots, each handed to
// the client's core.
#pragma once

#include <memory>

#include "udp_core.h"
#include "uudpClient_Intf.h"
#include "win/ref_counted.h"

namespace peltrix {

class PackUdpClient final : public RefCountedObject<IPackudpClient> {
 public:
  // Throws when WinSock cannot be started.
  PackUdpClient();

  BOOL __stdcall GetActive() override;
  uint16_t __stdcall GetPort() override;
  void __stdcall SetActive(BOOL active) override;
  void __stdcall SetPort(uint16_t port) override;
  int32_t __stdcall GetLastSocketError() override;
  void __stdcall SetOnReceive(TUdpReceiveProc proc, void* context) override;
  uint32_t __stdcall GetReceivedCount() override;
  int32_t __stdcall SendTo(int32_t address, uint16_t port, const void* data, int32_t len,
                           int32_t waitMs) override;

 private:
  // The socket closes and the thread ends with the object; no handler runs once the
  // last Release returns (unless that Release came from the handler: then the receive
  // thread ends by itself).
  ~PackUdpClient() override;

  std::shared_ptr<UdpCore> core_;
};

}  // namespace peltrix
