#include <winsock2.h>

#include "packudp_client.h"

#include <stdexcept>

namespace peltrix {

PackUdpClient::PackUdpClient() : RefCountedObject(nullptr), core_(std::make_shared<UdpCore>()) {
  if (core_->StartupError() != 0) throw std::runtime_error("WinSock could not be started");
}

PackUdpClient::~PackUdpClient() {
  core_->Deactivate();
}

BOOL PackUdpClient::GetActive() {
  return core_->IsActive() ? TRUE : FALSE;
}

uint16_t PackUdpClient::GetPort() {
  return core_->BoundPort();
}

void PackUdpClient::SetActive(BOOL active) {
  if (active) {
    core_->Activate();
  } else {
    core_->Deactivate();
  }
}

void PackUdpClient::SetPort(uint16_t port) {
  core_->SetPort(port);
}

int32_t PackUdpClient::GetLastSocketError() {
  return core_->LastSocketError();
}

void PackUdpClient::SetOnReceive(TUdpReceiveProc proc, void* context) {
  core_->SetOnReceive(proc, context);
}

uint32_t PackUdpClient::GetReceivedCount() {
  return core_->ReceivedCount();
}

int32_t PackUdpClient::SendTo(int32_t address, uint16_t port, const void* data, int32_t len, int32_t waitMs) {
  return core_->SendTo(address, port, data, len, waitMs);
}

}  // namespace peltrix
