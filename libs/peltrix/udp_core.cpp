#include <winsock2.h>

#include <mstcpip.h>

#include "udp_core.h"

#include <vector>

#include "win/finish_thread.h"

namespace peltrix {

namespace {

// Windows reports an ICMP "port unreachable" for an earlier datagram as a failed
// receive on the socket. For a client whose server may be down for a while that is no
// reason to stop receiving: turn the report off (and ignore it where it still comes).
void IgnorePortUnreachable(SOCKET s) {
#ifdef SIO_UDP_CONNRESET
  BOOL report = FALSE;
  DWORD returned = 0;
  WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
#else
  (void)s;
#endif
}

sockaddr_in Ipv4(int32_t address, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(static_cast<uint32_t>(address));
  a.sin_port = htons(port);
  return a;
}

void RequestStop(Binding& b) {
  b.stopping = true;
  WSASetEvent(b.stopEvent.get());
}

}  // namespace

UdpCore::~UdpCore() {
  // Only a thread that was let go can still be here: the core lives as long as any
  // receive thread that holds it.
  if (binding_) {
    RequestStop(*binding_);
    FinishThread(binding_->thread);
  }
}

bool UdpCore::IsActive() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return binding_ != nullptr;
}

uint16_t UdpCore::BoundPort() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return binding_ ? binding_->port : 0;
}

void UdpCore::SetPort(uint16_t port) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  port_ = port;
}

void UdpCore::SetOnReceive(TUdpReceiveProc proc, void* context) {
  std::lock_guard<std::recursive_mutex> lock(handlerMutex_);
  onReceive_ = proc;
  receiveContext_ = context;
}

void UdpCore::Activate() noexcept {
  try {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (binding_) return;
    auto b = std::make_shared<Binding>();
    if (!b->stopEvent || !b->netEvent) {
      lastError_ = WSAGetLastError();
      return;
    }
    b->socket = wsock::SocketOwner(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!b->socket) {
      lastError_ = WSAGetLastError();
      return;
    }
    IgnorePortUnreachable(b->socket.get());
    sockaddr_in local = Ipv4(INADDR_ANY, port_);
    int localLen = sizeof local;
    if (bind(b->socket.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(b->socket.get(), reinterpret_cast<sockaddr*>(&local), &localLen) != 0 ||
        WSAEventSelect(b->socket.get(), b->netEvent.get(), FD_READ) != 0) {
      lastError_ = WSAGetLastError();
      return;
    }
    b->port = ntohs(local.sin_port);
    b->thread = std::thread(&UdpCore::Run, shared_from_this(), b);
    binding_ = std::move(b);
  } catch (...) {
    // Out of memory or threads: the client stays inactive.
    lastError_ = WSAENOBUFS;
  }
}

void UdpCore::Deactivate() noexcept {
  std::shared_ptr<Binding> b;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    b = std::move(binding_);
  }
  if (!b) return;
  RequestStop(*b);
  FinishThread(b->thread);
  // The socket closes with the last holder: here, or a sender still in SendTo.
}

void UdpCore::Run(std::shared_ptr<UdpCore> core, std::shared_ptr<Binding> binding) noexcept {
  std::vector<char> buffer;
  try {
    buffer.resize(kMaxDatagram);
  } catch (...) {
    core->lastError_ = WSAENOBUFS;
    return;
  }
  WSAEVENT handles[2] = {binding->stopEvent.get(), binding->netEvent.get()};
  while (!binding->stopping) {
    const DWORD w = WSAWaitForMultipleEvents(2, handles, FALSE, WSA_INFINITE, FALSE);
    if (binding->stopping || w == WSA_WAIT_EVENT_0) break;
    if (w != WSA_WAIT_EVENT_0 + 1) {
      core->lastError_ = WSAGetLastError();
      break;
    }
    WSANETWORKEVENTS events{};
    if (WSAEnumNetworkEvents(binding->socket.get(), binding->netEvent.get(), &events) != 0) {
      core->lastError_ = WSAGetLastError();
      break;
    }
    if (events.lNetworkEvents & FD_READ) core->Drain(*binding, buffer.data());
  }
}

void UdpCore::Drain(Binding& binding, char* buffer) {
  while (!binding.stopping) {
    sockaddr_in from{};
    int fromLen = sizeof from;
    const int n =
        recvfrom(binding.socket.get(), buffer, kMaxDatagram, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n >= 0) {
      Deliver(binding, from, reinterpret_cast<const uint8_t*>(buffer), n);
      continue;
    }
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return;  // all taken; FD_READ is signalled again for the next
    // A refused earlier send or a datagram that did not fit: that datagram is lost,
    // the socket is fine.
    if (error == WSAECONNRESET || error == WSAEMSGSIZE) continue;
    lastError_ = error;
    return;
  }
}

void UdpCore::Deliver(Binding& binding, const sockaddr_in& from, const uint8_t* data, int32_t len) {
  std::lock_guard<std::recursive_mutex> lock(handlerMutex_);
  // Checked under the handler lock: once SetActive(false) has returned, nothing more
  // is handed out, even a datagram taken just before the stop.
  if (binding.stopping || onReceive_ == nullptr) return;
  received_.fetch_add(1);
  try {
    onReceive_(receiveContext_, static_cast<int32_t>(ntohl(from.sin_addr.s_addr)), ntohs(from.sin_port), data,
               len);
  } catch (...) {
    // A handler's error must not end the receive thread (and with it the process).
  }
}

int32_t UdpCore::SendTo(int32_t address, uint16_t port, const void* data, int32_t len,
                        int32_t waitMs) noexcept {
  if (len < 0 || len > kMaxDatagram || (data == nullptr && len > 0)) {
    lastError_ = WSAEINVAL;
    return -1;
  }
  std::shared_ptr<Binding> b;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    b = binding_;
  }
  if (!b) {
    lastError_ = WSAENOTSOCK;
    return -1;
  }
  const sockaddr_in to = Ipv4(address, port);
  const auto sendOnce = [&] {
    return sendto(b->socket.get(), static_cast<const char*>(data), len, 0,
                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
  };
  int n = sendOnce();
  // The socket is non-blocking (it is event-driven for the receive thread): a full
  // send buffer fails at once, so wait for room here, as long as the caller allows,
  // and try once more.
  if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK && waitMs > 0) {
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(b->socket.get(), &writable);
    timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
    if (select(0, nullptr, &writable, nullptr, &wait) != 1) {
      lastError_ = WSAEWOULDBLOCK;
      return -1;
    }
    n = sendOnce();
  }
  if (n == SOCKET_ERROR) {
    lastError_ = WSAGetLastError();
    return -1;
  }
  return n;
}

}  // namespace peltrix
