#include <winsock2.h>
#include <ws2tcpip.h>

#include "client_core.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "win/finish_thread.h"
#include "wire/framing.h"

namespace durnix {

namespace {

// How long a sender waits for room in the socket's buffer before it looks again
// whether the connection is ending.
constexpr long kSendPollMicroseconds = 50 * 1000;
constexpr size_t kReceiveBufferSize = 64 * 1024;

void RequestStop(Connection& conn) {
  conn.stopping = true;
  WSASetEvent(conn.stopEvent.get());
}

enum class Wait { kNetwork, kStop, kFailed };

// Waits for the socket's network events or the stop request. kNetwork fills `events`.
Wait WaitForEvents(Connection& conn, SOCKET s, WSANETWORKEVENTS& events, int& error) {
  WSAEVENT handles[2] = {conn.stopEvent.get(), conn.netEvent.get()};
  const DWORD w = WSAWaitForMultipleEvents(2, handles, FALSE, WSA_INFINITE, FALSE);
  if (conn.stopping || w == WSA_WAIT_EVENT_0) return Wait::kStop;
  if (w != WSA_WAIT_EVENT_0 + 1 || WSAEnumNetworkEvents(s, conn.netEvent.get(), &events) != 0) {
    error = WSAGetLastError();
    return Wait::kFailed;
  }
  return Wait::kNetwork;
}

// One connect attempt to one address. The socket is non-blocking from here on
// (WSAEventSelect), so that a stop request ends even a connect that would take long.
// Returns 0 on success, -1 when asked to stop, else the WinSock error.
int ConnectTo(Connection& conn, const addrinfo& address, SocketOwner& out) {
  SocketOwner s(socket(address.ai_family, address.ai_socktype, address.ai_protocol));
  if (!s) return WSAGetLastError();
  WSAResetEvent(conn.netEvent.get());
  conn.pendingEvents = 0;
  conn.closeError = 0;
  if (WSAEventSelect(s.get(), conn.netEvent.get(), FD_CONNECT | FD_READ | FD_CLOSE) != 0) {
    return WSAGetLastError();
  }
  if (connect(s.get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
    const int e = WSAGetLastError();
    if (e != WSAEWOULDBLOCK) return e;
    for (;;) {
      WSANETWORKEVENTS events{};
      int error = 0;
      const Wait w = WaitForEvents(conn, s.get(), events, error);
      if (w == Wait::kStop) return -1;
      if (w == Wait::kFailed) return error;
      if ((events.lNetworkEvents & FD_CONNECT) == 0) continue;
      if (events.iErrorCode[FD_CONNECT_BIT] != 0) return events.iErrorCode[FD_CONNECT_BIT];
      // Data or the peer's close may come with the connect; the receive loop takes
      // them, since the event will not be signalled for them again.
      conn.pendingEvents = events.lNetworkEvents & ~FD_CONNECT;
      conn.closeError = events.iErrorCode[FD_CLOSE_BIT];
      break;
    }
  }
  // Block requests are a few bytes each; waiting for more to fill a segment would
  // stall every exchange.
  const BOOL noDelay = TRUE;
  if (setsockopt(s.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                 sizeof noDelay) != 0) {
    return WSAGetLastError();
  }
  out = std::move(s);
  return 0;
}

// Resolves the host and tries each of its IPv4 addresses in turn. Returns 0 with the
// connected socket in `out`, -1 when asked to stop, else the error of the last try.
int Connect(Connection& conn, SocketOwner& out) {
  // An empty name would mean every address of this machine: no server was set.
  if (conn.host.empty()) return WSAEDESTADDRREQ;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(conn.port);
  const int resolved = getaddrinfo(conn.host.c_str(), service.c_str(), &hints, &list);
  if (resolved != 0) return resolved;
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(list, &freeaddrinfo);
  int error = WSAHOST_NOT_FOUND;
  for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
    if (conn.stopping) return -1;
    error = ConnectTo(conn, *a, out);
    if (error <= 0) return error;
  }
  return error;
}

// Sends all of `bytes`, waiting for room while the connection lasts.
bool SendAll(Connection& conn, const std::vector<uint8_t>& bytes) {
  const SOCKET s = conn.socket.get();
  size_t at = 0;
  while (at < bytes.size()) {
    if (conn.stopping || conn.ended) return false;
    const int chunk = static_cast<int>(std::min<size_t>(bytes.size() - at, 1u << 30));
    const int n = send(s, reinterpret_cast<const char*>(bytes.data() + at), chunk, 0);
    if (n > 0) {
      at += static_cast<size_t>(n);
      continue;
    }
    if (n != SOCKET_ERROR || WSAGetLastError() != WSAEWOULDBLOCK) return false;
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(s, &writable);
    timeval timeout{0, kSendPollMicroseconds};
    select(0, nullptr, &writable, nullptr, &timeout);
  }
  return true;
}

}  // namespace

ClientCore::~ClientCore() {
  // Only a thread that was let go can still be here: the core lives as long as any
  // receive thread that holds it.
  if (current_) {
    RequestStop(*current_);
    FinishThread(current_->thread);
  }
}

bool ClientCore::IsConnected() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return connected_;
}

bool ClientCore::IsActive() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return active_;
}

void ClientCore::Activate() noexcept {
  try {
    std::shared_ptr<Connection> previous;
    {
      std::lock_guard<std::mutex> lock(stateMutex_);
      if (active_) return;
      previous = std::move(current_);
    }
    // The previous connection has ended; its thread may still be in the disconnect
    // handler. The new connection's handlers start only after it.
    if (previous) FinishThread(previous->thread);

    auto conn = std::make_shared<Connection>();
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (active_) return;
    if (!conn->stopEvent || !conn->netEvent) {
      lastError_ = WSAGetLastError();
      return;
    }
    conn->host = host_;
    conn->port = port_;
    // The receive handler takes a message's length as an int32_t.
    conn->maxMessage = std::min<uint32_t>(maxMessage_, INT32_MAX);
    current_ = conn;
    active_ = true;
    connected_ = false;
    lastError_ = 0;
    try {
      conn->thread = std::thread(&ClientCore::Run, shared_from_this(), conn);
    } catch (...) {
      current_.reset();
      active_ = false;
      lastError_ = WSAENOBUFS;
    }
  } catch (...) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    lastError_ = WSAENOBUFS;
  }
}

void ClientCore::Deactivate() noexcept {
  std::shared_ptr<Connection> conn;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    conn = std::move(current_);
    active_ = false;
    connected_ = false;
  }
  if (!conn) return;
  RequestStop(*conn);
  FinishThread(conn->thread);
}

void ClientCore::SetPort(uint16_t port) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  port_ = port;
}

uint16_t ClientCore::Port() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return port_;
}

void ClientCore::SetHost(const char* host) noexcept {
  try {
    std::string copy = host ? host : "";
    std::lock_guard<std::mutex> lock(stateMutex_);
    host_.swap(copy);
  } catch (...) {
    // Out of memory: the previous host stays.
  }
}

int32_t ClientCore::CopyHost(char* buffer, int32_t size) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  const int32_t full = static_cast<int32_t>(host_.size());
  if (buffer != nullptr && size > 0) {
    const int32_t n = std::min(full, size - 1);
    std::memcpy(buffer, host_.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
  }
  return full;
}

void ClientCore::SetMaxMessageSize(uint32_t bytes) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  maxMessage_ = bytes;
}

uint32_t ClientCore::MaxMessageSize() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return maxMessage_;
}

int32_t ClientCore::LastSocketError() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return lastError_;
}

void ClientCore::SetOnReceive(TIOCPReceiveProc proc, void* context) {
  std::lock_guard<std::recursive_mutex> lock(handlerMutex_);
  onReceive_ = proc;
  receiveContext_ = proc ? context : nullptr;
}

void ClientCore::SetOnDisconnect(TIOCPDisconnectProc proc, void* context) {
  std::lock_guard<std::recursive_mutex> lock(handlerMutex_);
  onDisconnect_ = proc;
  disconnectContext_ = proc ? context : nullptr;
}

bool ClientCore::Send(const void* data, int32_t len) noexcept {
  // A message of no bytes would be a frame of length 0, which the server takes for a
  // broken peer and answers by closing the connection.
  if (data == nullptr || len <= 0) return false;
  try {
    std::shared_ptr<Connection> conn;
    {
      std::lock_guard<std::mutex> lock(stateMutex_);
      if (!connected_) return false;
      conn = current_;
    }
    if (!conn) return false;
    const std::vector<uint8_t> framed =
        frame::Encode(static_cast<const uint8_t*>(data), static_cast<size_t>(len));
    std::lock_guard<std::mutex> lock(conn->sendMutex);
    if (!conn->socket) return false;
    return SendAll(*conn, framed);
  } catch (...) {
    return false;
  }
}

void ClientCore::Run(std::shared_ptr<ClientCore> core, std::shared_ptr<Connection> conn) noexcept {
  int error = 0;
  bool connected = false;
  try {
    SocketOwner s;
    error = Connect(*conn, s);
    if (error == 0) {
      {
        std::lock_guard<std::mutex> lock(conn->sendMutex);
        conn->socket = std::move(s);
      }
      {
        std::lock_guard<std::mutex> lock(core->stateMutex_);
        if (core->current_ == conn && !conn->stopping) {
          core->connected_ = true;
          connected = true;
        }
      }
      if (connected) error = core->Receive(*conn);
    }
  } catch (...) {
    // Only memory can run out in here.
    error = WSAENOBUFS;
  }
  if (error < 0) error = 0;  // asked to stop: not an error of the connection
  try {
    conn->ended = true;
    {
      std::lock_guard<std::mutex> lock(conn->sendMutex);
      conn->socket.reset();
    }
    core->MarkEnded(conn, error);
    if (connected) core->CallDisconnect(*conn);
  } catch (...) {
  }
  // The connection's event handles go before the core, which may end here too and
  // with it the WinSock start-up they belong to.
  conn.reset();
  core.reset();
}

int ClientCore::Receive(Connection& conn) {
  frame::Reader reader(conn.maxMessage);
  std::vector<uint8_t> buffer(kReceiveBufferSize);
  const SOCKET s = conn.socket.get();
  for (;;) {
    // Take everything the socket holds: FD_READ is signalled again only after a recv.
    for (;;) {
      if (conn.stopping) return -1;
      const int n = recv(s, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()), 0);
      if (n > 0) {
        reader.Feed(buffer.data(), static_cast<size_t>(n));
        // A length of 0 or over the limit: the stream cannot be followed any more.
        if (!Deliver(conn, reader)) return WSAECONNABORTED;
        continue;
      }
      if (n == 0) return conn.closeError;  // the peer closed: everything is delivered
      const int e = WSAGetLastError();
      if (e != WSAEWOULDBLOCK) return e;
      break;
    }
    if (conn.pendingEvents & FD_CLOSE) return conn.closeError;
    WSANETWORKEVENTS events{};
    int error = 0;
    const Wait w = WaitForEvents(conn, s, events, error);
    if (w == Wait::kStop) return -1;
    if (w == Wait::kFailed) return error;
    conn.pendingEvents = events.lNetworkEvents;
    if (events.lNetworkEvents & FD_CLOSE) conn.closeError = events.iErrorCode[FD_CLOSE_BIT];
  }
}

bool ClientCore::Deliver(Connection& conn, frame::Reader& reader) {
  std::vector<uint8_t> message;
  for (;;) {
    switch (reader.Next(message)) {
      case frame::Reader::Status::kNeedMore: return true;
      case frame::Reader::Status::kBad: return false;
      case frame::Reader::Status::kMessage: break;
    }
    if (conn.stopping) return true;
    CallReceive(conn, message.data(), static_cast<int32_t>(message.size()));
  }
}

void ClientCore::CallReceive(Connection& conn, const uint8_t* data, int32_t len) {
  std::lock_guard<std::recursive_mutex> lock(handlerMutex_);
  if (conn.stopping || onReceive_ == nullptr) return;
  try {
    onReceive_(receiveContext_, data, len);
  } catch (...) {
    // The handler's own failure; the connection goes on.
  }
}

void ClientCore::CallDisconnect(Connection& conn) {
  std::lock_guard<std::recursive_mutex> lock(handlerMutex_);
  if (conn.stopping || onDisconnect_ == nullptr) return;
  try {
    onDisconnect_(disconnectContext_);
  } catch (...) {
  }
}

void ClientCore::MarkEnded(const std::shared_ptr<Connection>& conn, int error) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  if (current_ != conn) return;  // closed or replaced by the client itself
  active_ = false;
  connected_ = false;
  lastError_ = error;
}

}  // namespace durnix
