// The working part of the UDP client: settings, the handler, and while active one
// bound socket with its receive thread. The interface object (PackUdpClient) owns one
// core; each receive thread owns it too, so a thread that is left to end by itself
// (the client was stopped or released from its own handler) never runs on freed
// memory.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "uudpClient_Intf.h"
#include "win/winsock_owners.h"

namespace peltrix {

// One activation: the bound socket and the thread that receives on it. Senders hold
// it while they send, so its socket is closed only once nobody uses it.
struct Binding {
  wsock::SocketOwner socket;
  wsock::WsaEventOwner stopEvent;
  wsock::WsaEventOwner netEvent;
  uint16_t port = 0;
  std::atomic<bool> stopping{false};
  std::thread thread;
};

class UdpCore : public std::enable_shared_from_this<UdpCore> {
 public:
  // Room for the largest datagram; a longer one cannot exist.
  static constexpr int kMaxDatagram = 65535;

  UdpCore() = default;
  ~UdpCore();
  UdpCore(const UdpCore&) = delete;
  UdpCore& operator=(const UdpCore&) = delete;

  // 0, or why WinSock could not be started for this client.
  int StartupError() const { return winsock_.error(); }

  bool IsActive();
  uint16_t BoundPort();
  void Activate() noexcept;
  void Deactivate() noexcept;
  void SetPort(uint16_t port);
  int32_t LastSocketError() const { return lastError_.load(); }
  uint32_t ReceivedCount() const { return received_.load(); }

  void SetOnReceive(TUdpReceiveProc proc, void* context);

  int32_t SendTo(int32_t address, uint16_t port, const void* data, int32_t len, int32_t waitMs) noexcept;

 private:
  static void Run(std::shared_ptr<UdpCore> core, std::shared_ptr<Binding> binding) noexcept;
  // Takes every datagram waiting on the socket and hands each to the handler.
  void Drain(Binding& binding, char* buffer);
  void Deliver(Binding& binding, const sockaddr_in& from, const uint8_t* data, int32_t len);

  // First member: WinSock stays started until everything below is gone.
  wsock::WinsockInit winsock_;

  std::mutex stateMutex_;
  uint16_t port_ = 0;
  std::shared_ptr<Binding> binding_;

  std::atomic<int32_t> lastError_{0};
  std::atomic<uint32_t> received_{0};

  // Held while the handler runs, so that once SetOnReceive returns the old handler is
  // not called any more. Recursive: the handler may set handlers itself.
  std::recursive_mutex handlerMutex_;
  TUdpReceiveProc onReceive_ = nullptr;
  void* receiveContext_ = nullptr;
};

}  // namespace peltrix
