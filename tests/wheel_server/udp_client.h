// A plain blocking UDP socket on 127.0.0.1 for the tests of the real server: sends
// datagrams to it and waits a bounded time for what comes back.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "wire/uGyrelot_Struc.h"

class UdpClient {
 public:
  explicit UdpClient(uint16_t serverPort) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    server_.sin_family = AF_INET;
    server_.sin_port = htons(serverPort);
    server_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  }
  ~UdpClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  UdpClient(const UdpClient&) = delete;
  UdpClient& operator=(const UdpClient&) = delete;

  int fd() const { return fd_; }

  void Send(const uint8_t* data, size_t len) {
    ::sendto(fd_, data, len, 0, reinterpret_cast<const sockaddr*>(&server_), sizeof server_);
  }
  template <size_t N>
  void Send(const std::array<uint8_t, N>& record) {
    Send(record.data(), N);
  }
  void Send(const std::vector<uint8_t>& bytes) { Send(bytes.data(), bytes.size()); }

  // The next datagram, or false after `timeoutMs`.
  bool Receive(std::vector<uint8_t>& out, int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    out.resize(65536);
    const ssize_t n = ::recv(fd_, out.data(), out.size(), 0);
    if (n < 0) return false;
    out.resize(static_cast<size_t>(n));
    return true;
  }

  // Waits for a datagram with `msgId`, skipping others (result broadcasts).
  bool ReceiveId(int32_t msgId, std::vector<uint8_t>& out, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !Receive(out, static_cast<int>(left.count()))) return false;
      if (wheel::RecogniseReply(out.data(), out.size()) == msgId) return true;
    }
  }

  wheel::TWheelLoginReply Login(int32_t userId, const std::string& name, int timeoutMs = 3000) {
    Send(wheel::Encode(wheel::MakeLoginRequest(userId, name)));
    std::vector<uint8_t> bytes;
    wheel::TWheelLoginReply reply;
    reply.ResultCode = 255;  // stays so when nothing came
    if (ReceiveId(wheel::WHEEL_LOGIN_REPLY, bytes, timeoutMs))
      wheel::Decode(bytes.data(), bytes.size(), reply);
    return reply;
  }

  wheel::TWheelStartReply Start(int32_t userId, int32_t sessionId, int timeoutMs = 3000) {
    Send(wheel::Encode(wheel::MakeRequest(wheel::WHEEL_START, userId, sessionId)));
    std::vector<uint8_t> bytes;
    wheel::TWheelStartReply reply;
    reply.ResultCode = 255;
    if (ReceiveId(wheel::WHEEL_START_REPLY, bytes, timeoutMs))
      wheel::Decode(bytes.data(), bytes.size(), reply);
    return reply;
  }

 private:
  int fd_ = -1;
  sockaddr_in server_{};
};
