// Owners of the WinSock handles a transport client holds: each closes what it holds
// on every path and can be moved but not copied, so no handle is closed twice.
#pragma once

#include <winsock2.h>

#include <utility>

namespace wsock {

// One socket.
class SocketOwner {
 public:
  SocketOwner() = default;
  explicit SocketOwner(SOCKET s) : s_(s) {}
  ~SocketOwner() { reset(); }
  SocketOwner(SocketOwner&& other) noexcept : s_(std::exchange(other.s_, INVALID_SOCKET)) {}
  SocketOwner& operator=(SocketOwner&& other) noexcept {
    if (this != &other) {
      reset();
      s_ = std::exchange(other.s_, INVALID_SOCKET);
    }
    return *this;
  }
  SocketOwner(const SocketOwner&) = delete;
  SocketOwner& operator=(const SocketOwner&) = delete;

  SOCKET get() const { return s_; }
  explicit operator bool() const { return s_ != INVALID_SOCKET; }
  void reset() {
    if (s_ != INVALID_SOCKET) closesocket(std::exchange(s_, INVALID_SOCKET));
  }

 private:
  SOCKET s_ = INVALID_SOCKET;
};

// One WinSock event object (manual reset).
class WsaEventOwner {
 public:
  WsaEventOwner() : e_(WSACreateEvent()) {}
  ~WsaEventOwner() {
    if (e_ != WSA_INVALID_EVENT) WSACloseEvent(e_);
  }
  WsaEventOwner(WsaEventOwner&& other) noexcept : e_(std::exchange(other.e_, WSA_INVALID_EVENT)) {}
  WsaEventOwner& operator=(WsaEventOwner&& other) noexcept {
    if (this != &other) {
      if (e_ != WSA_INVALID_EVENT) WSACloseEvent(e_);
      e_ = std::exchange(other.e_, WSA_INVALID_EVENT);
    }
    return *this;
  }
  WsaEventOwner(const WsaEventOwner&) = delete;
  WsaEventOwner& operator=(const WsaEventOwner&) = delete;

  WSAEVENT get() const { return e_; }
  explicit operator bool() const { return e_ != WSA_INVALID_EVENT; }

 private:
  WSAEVENT e_;
};

// The WinSock start-up a client holds for its whole life.
class WinsockInit {
 public:
  WinsockInit() {
    WSADATA data;
    error_ = WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~WinsockInit() {
    if (error_ == 0) WSACleanup();
  }
  WinsockInit(const WinsockInit&) = delete;
  WinsockInit& operator=(const WinsockInit&) = delete;

  // 0, or the error WSAStartup gave.
  int error() const { return error_; }

 private:
  int error_ = 0;
};

}  // namespace wsock
