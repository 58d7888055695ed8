#include <winsock2.h>

#include "durnix_client.h"

#include <new>

namespace durnix {

HRESULT DurnixClient::Create(IIOCPClient** client) noexcept {
  if (client == nullptr) return E_POINTER;
  *client = nullptr;
  try {
    auto core = std::make_shared<ClientCore>();
    if (const int error = core->StartupError()) return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
    *client = new DurnixClient(std::move(core));
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

DurnixClient::~DurnixClient() {
  // The connection ends with the object; no handler runs once the last Release returns
  // (unless that Release came from a handler: then the receive thread ends by itself).
  core_->Deactivate();
}

BOOL DurnixClient::IsConnected() {
  return core_->IsConnected() ? TRUE : FALSE;
}

void DurnixClient::SetActive(BOOL active) {
  if (active) {
    core_->Activate();
  } else {
    core_->Deactivate();
  }
}

void DurnixClient::SetPort(uint16_t port) {
  core_->SetPort(port);
}

uint16_t DurnixClient::GetPort() {
  return core_->Port();
}

BOOL DurnixClient::GetActive() {
  return core_->IsActive() ? TRUE : FALSE;
}

void DurnixClient::SetHost(const char* host) {
  core_->SetHost(host);
}

int32_t DurnixClient::GetHost(char* buffer, int32_t size) {
  return core_->CopyHost(buffer, size);
}

void DurnixClient::SetOnReceive(TIOCPReceiveProc proc, void* context) {
  core_->SetOnReceive(proc, context);
}

void DurnixClient::SetOnDisconnect(TIOCPDisconnectProc proc, void* context) {
  core_->SetOnDisconnect(proc, context);
}

void DurnixClient::SetMaxMessageSize(uint32_t bytes) {
  core_->SetMaxMessageSize(bytes);
}

uint32_t DurnixClient::GetMaxMessageSize() {
  return core_->MaxMessageSize();
}

int32_t DurnixClient::GetLastSocketError() {
  return core_->LastSocketError();
}

BOOL DurnixClient::Send(const void* data, int32_t len) {
  return core_->Send(data, len) ? TRUE : FALSE;
}

}  // namespace durnix
