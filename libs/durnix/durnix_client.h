// The client object the updater holds: reference counting, the interface query, and
// the operations in their slots, each handed to the client's core.
#pragma once

#include <windows.h>

#include <memory>

#include "client_core.h"
#include "uIOCP_Intf.h"

namespace durnix {

class DurnixClient final : public IIOCPClient {
 public:
  // A new client with one reference in *client: S_OK, or an error with *client null.
  static HRESULT Create(IIOCPClient** client) noexcept;

  HRESULT __stdcall QueryInterface(REFIID riid, void** object) override;
  ULONG __stdcall AddRef() override;
  ULONG __stdcall Release() override;

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
  explicit DurnixClient(std::shared_ptr<ClientCore> core) : core_(std::move(core)) {}
  // Only the last Release destroys the object.
  ~DurnixClient();
  DurnixClient(const DurnixClient&) = delete;
  DurnixClient& operator=(const DurnixClient&) = delete;

  LONG refs_ = 1;
  std::shared_ptr<ClientCore> core_;
};

}  // namespace durnix
