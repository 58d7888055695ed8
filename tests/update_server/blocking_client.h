// A plain blocking client of the update server, for its tests and its load benchmark:
// it fetches files the way the updater does (ten block requests ahead, one more per
// block, TransferDone at the end).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "wire/framing.h"
#include "wire/uFileTrans_Struc.h"

class Client {
 public:
  explicit Client(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  ~Client() { ::close(fd_); }
  bool connected() const { return connected_; }

  void SendRaw(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }
  template <class A>
  void Send(const A& message) {
    SendRaw(frame::Encode(message.data(), message.size()));
  }
  void Request(const std::string& path) { Send(filetrans::EncodeFileRequest(path)); }
  void Signal(uint8_t id) { Send(filetrans::EncodeSignal(id)); }

  // The next message, or false when none comes within `ms` or the server closed.
  bool Receive(std::vector<uint8_t>& message, int ms = 5000) {
    for (;;) {
      const auto s = reader_.Next(message);
      if (s == frame::Reader::Status::kMessage) return true;
      if (s == frame::Reader::Status::kBad) return false;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, ms) <= 0) return false;
      uint8_t buf[65536];
      const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) {
        closed_ = true;
        return false;
      }
      reader_.Feed(buf, static_cast<size_t>(n));
    }
  }
  // True when the server closes the connection within `ms`.
  bool ClosedWithin(int ms) {
    std::vector<uint8_t> m;
    while (Receive(m, ms)) {
    }
    return closed_;
  }

  // Fetches a file the way the updater does: ten requests ahead, one more per block.
  // Returns false when the server says it is missing; `bytes` gets the data.
  bool Fetch(const std::string& path, std::string& bytes) {
    Request(path);
    std::vector<uint8_t> m;
    filetrans::TFileInfo info;
    if (!Receive(m) || !filetrans::DecodeFileInfo(m.data(), m.size(), info)) return false;
    if (info.Missing) return false;
    bytes.clear();
    int32_t requested = 0;
    auto request = [&] {
      if (requested < info.FileSize) {
        Signal(filetrans::kBlockRequest);
        ++requested;
      }
    };
    for (int i = 0; i < 10; ++i) request();
    filetrans::TFileBlock block;
    while (static_cast<int64_t>(bytes.size()) < info.FileSize) {
      if (!Receive(m) || !filetrans::DecodeFileBlock(m.data(), m.size(), block) ||
          !filetrans::BlockDataLenValid(block)) {
        return false;
      }
      bytes.append(reinterpret_cast<const char*>(block.Data), static_cast<size_t>(block.DataLen));
      if (static_cast<int64_t>(bytes.size()) < info.FileSize) request();
    }
    Signal(filetrans::kTransferDone);
    return true;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
  bool closed_ = false;
  frame::Reader reader_{4096};
};
