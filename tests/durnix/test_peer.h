// The other end of the client's connection, inside the test program: a listening
// socket on 127.0.0.1 (a port the system picks) and the accepted connection, with
// every wait bounded. Also the handler recorder the tests hand to the client.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "uIOCP_Intf.h"
#include "win/com_ptr.h"
#include "wire/framing.h"

using Bytes = std::vector<uint8_t>;

// Every wait of the tests ends by this much at the latest.
constexpr DWORD kWaitMs = 5000;

// Waits until `done` holds, or `ms` have passed; true when it holds.
inline bool WaitUntil(const std::function<bool()>& done, DWORD ms = kWaitMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    Sleep(2);
  }
}

// `len` bytes that differ from message to message, so that a cut or a shift shows.
inline Bytes Pattern(size_t len, uint8_t seed = 0) {
  Bytes b(len);
  for (size_t i = 0; i < len; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + len);
  return b;
}

inline Bytes Framed(const Bytes& message) {
  return frame::Encode(message.data(), message.size());
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// WinSock for the test program's own sockets.
class TestWinsock {
 public:
  TestWinsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~TestWinsock() { WSACleanup(); }
};
inline const TestWinsock testWinsock;

// True when `s` becomes readable within `ms`.
inline bool Readable(SOCKET s, DWORD ms) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval timeout{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
  return select(0, &readable, nullptr, nullptr, &timeout) == 1;
}

// The accepted connection, as the server sees it.
class PeerSocket {
 public:
  PeerSocket() = default;
  explicit PeerSocket(SOCKET s) : s_(s) {}
  ~PeerSocket() { Close(); }
  PeerSocket(PeerSocket&& other) noexcept : s_(std::exchange(other.s_, INVALID_SOCKET)) {}
  PeerSocket& operator=(PeerSocket&& other) noexcept {
    if (this != &other) {
      Close();
      s_ = std::exchange(other.s_, INVALID_SOCKET);
    }
    return *this;
  }
  PeerSocket(const PeerSocket&) = delete;
  PeerSocket& operator=(const PeerSocket&) = delete;

  explicit operator bool() const { return s_ != INVALID_SOCKET; }
  SOCKET get() const { return s_; }

  bool Write(const Bytes& bytes) {
    size_t at = 0;
    while (at < bytes.size()) {
      const int n =
          send(s_, reinterpret_cast<const char*>(bytes.data() + at), static_cast<int>(bytes.size() - at), 0);
      if (n <= 0) return false;
      at += static_cast<size_t>(n);
    }
    return true;
  }
  bool WriteFrame(const Bytes& message) { return Write(Framed(message)); }

  // Small writes leave at once, so that the client sees a frame arrive in pieces.
  void NoDelay() {
    const BOOL on = TRUE;
    setsockopt(s_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  }
  // A write that cannot go on (the client stopped reading) fails after `ms`.
  void SendTimeout(DWORD ms) {
    setsockopt(s_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
  }

  // Whatever arrives within `ms` (up to `max` bytes); empty on timeout or close.
  Bytes ReadSome(size_t max, DWORD ms) {
    Bytes out(max);
    if (!Readable(s_, ms)) return {};
    const int n = recv(s_, reinterpret_cast<char*>(out.data()), static_cast<int>(max), 0);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
  }

  // Exactly `len` bytes, or false when they do not all come within `ms`.
  bool ReadExactly(size_t len, Bytes& out, DWORD ms = kWaitMs) {
    out.assign(len, 0);
    size_t at = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (at < len) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !Readable(s_, static_cast<DWORD>(left.count()))) return false;
      const int n = recv(s_, reinterpret_cast<char*>(out.data() + at), static_cast<int>(len - at), 0);
      if (n <= 0) return false;
      at += static_cast<size_t>(n);
    }
    return true;
  }

  // The next whole frame's message, checking the header on the way.
  bool ReadFrame(Bytes& message, DWORD ms = kWaitMs) {
    Bytes header;
    if (!ReadExactly(frame::kHeaderSize, header, ms)) return false;
    const uint32_t len =
        header[0] | header[1] << 8 | header[2] << 16 | static_cast<uint32_t>(header[3]) << 24;
    return ReadExactly(len, message, ms);
  }

  // True when the client closes its end within `ms` (what it sent before is skipped).
  bool WaitClosed(DWORD ms = kWaitMs) {
    char sink[4096];
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !Readable(s_, static_cast<DWORD>(left.count()))) return false;
      if (recv(s_, sink, sizeof sink, 0) <= 0) return true;
    }
  }

  // True when nothing arrives for `ms`.
  bool Quiet(DWORD ms) { return !Readable(s_, ms); }

  // Ends the connection with a reset instead of an orderly close.
  void Abort() {
    linger hard{1, 0};
    setsockopt(s_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
    Close();
  }

  void Close() {
    if (s_ != INVALID_SOCKET) closesocket(std::exchange(s_, INVALID_SOCKET));
  }

 private:
  SOCKET s_ = INVALID_SOCKET;
};

// A listening socket on 127.0.0.1 and a port of its own.
class Listener {
 public:
  Listener() {
    s_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    int len = sizeof a;
    if (s_ == INVALID_SOCKET || bind(s_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(s_, 4) != 0 || getsockname(s_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      ADD_FAILURE() << "cannot listen on 127.0.0.1: " << WSAGetLastError();
      return;
    }
    port_ = ntohs(a.sin_port);
  }
  ~Listener() { Close(); }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  uint16_t port() const { return port_; }

  // The next connection, or an empty socket when none comes within `ms`.
  PeerSocket Accept(DWORD ms = kWaitMs) {
    if (s_ == INVALID_SOCKET || !Readable(s_, ms)) return PeerSocket();
    return PeerSocket(accept(s_, nullptr, nullptr));
  }

  void Close() {
    if (s_ != INVALID_SOCKET) closesocket(std::exchange(s_, INVALID_SOCKET));
  }

 private:
  SOCKET s_ = INVALID_SOCKET;
  uint16_t port_ = 0;
};

// Records what the client's handlers were called with, in order.
class Recorder {
 public:
  struct Event {
    bool disconnect;
    Bytes message;
  };

  static void __stdcall OnReceive(void* context, const uint8_t* data, int32_t len) {
    auto* self = static_cast<Recorder*>(context);
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->events_.push_back({false, Bytes(data, data + len)});
  }
  static void __stdcall OnDisconnect(void* context) {
    auto* self = static_cast<Recorder*>(context);
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->events_.push_back({true, {}});
  }

  void Attach(IIOCPClient* client) {
    client->SetOnReceive(&OnReceive, this);
    client->SetOnDisconnect(&OnDisconnect, this);
  }

  std::vector<Event> Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  std::vector<Bytes> Messages() {
    std::vector<Bytes> out;
    for (const auto& e : Events()) {
      if (!e.disconnect) out.push_back(e.message);
    }
    return out;
  }
  size_t Disconnects() {
    size_t n = 0;
    for (const auto& e : Events()) n += e.disconnect ? 1 : 0;
    return n;
  }
  bool WaitMessages(size_t n, DWORD ms = kWaitMs) {
    return WaitUntil([&] { return Messages().size() >= n; }, ms);
  }
  bool WaitDisconnect(DWORD ms = kWaitMs) {
    return WaitUntil([&] { return Disconnects() > 0; }, ms);
  }

 private:
  std::mutex mutex_;
  std::vector<Event> events_;
};

inline ComPtr<IIOCPClient> NewClient() {
  ComPtr<IIOCPClient> client;
  EXPECT_EQ(__GET_IOCP_CLIENT_CLASS(client.Out()), S_OK);
  return client;
}

// A client connected to a listener of its own, with a recorder on its handlers.
// Members end in reverse order: the peer's close first, then the client (whose last
// Release waits for its thread), and the recorder only after that.
struct Session {
  Recorder recorder;
  Listener listener;
  ComPtr<IIOCPClient> client;
  PeerSocket peer;

  // maxMessage 0 leaves the client's limit as it is.
  void Connect(const char* host = "127.0.0.1", uint32_t maxMessage = 0) {
    client = NewClient();
    ASSERT_TRUE(client);
    client->SetHost(host);
    client->SetPort(listener.port());
    if (maxMessage != 0) client->SetMaxMessageSize(maxMessage);
    recorder.Attach(client.get());
    client->SetActive(TRUE);
    peer = listener.Accept();
    ASSERT_TRUE(peer) << "the client did not connect";
    ASSERT_TRUE(WaitUntil([&] { return client->IsConnected() != FALSE; }));
  }
};
