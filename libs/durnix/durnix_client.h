// The client object the updater holds: reference counting, the interface query, and
// the operations in their slots, each handed to the client's core.
#pragma once

#include <windows.h>

#include <memory>

#include "client_core.h"
#include "uIOCP_Intf.h"
#include "win/ref_counted.h"

namespace durnix {

class DurnixClient final : public RefCountedObject<IIOCPClient> {
 public:
  // A new client with one reference in *client: S_OK, or an error with *client null.
  static HRESULT Create(IIOCPClient** client) noexcept;

  BOOL __stdcall IsConnected() override;
  void __stdcall SetActive(BOOL active) override;
  void __stdcall SetPort(uint16_t port) override;
  uint16_t __stdcall GetPort() override;
  BOOL __stdcall GetActive() override;
  void __stdcall SetHost(const char* host) override;
  int32_t __stdcall GetHost(char* buffer, int32_t size) override;
  void __stdcall SetOnReceive(TIOCPReceiveProc proc, void* context) override;
  void __stdcall SetOnDisconnect(TIOCPDisconnectProc proc, void* context) override;
  void __stdcall SetMaxMessageSize(uint32_t bytes) override;
  uint32_t __stdcall GetMaxMessageSize() override;
  int32_t __stdcall GetLastSocketError() override;
  BOOL __stdcall Send(const void* data, int32_t len) override;

 private:
  explicit DurnixClient(std::shared_ptr<ClientCore> core)
      : RefCountedObject(&IID_IIOCPClient), core_(std::move(core)) {}
  ~DurnixClient() override;

  std::shared_ptr<ClientCore> core_;
};

}  // namespace durnix
