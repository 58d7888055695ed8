// One client connection: reads framed messages, answers a file request with its size,
// each block request with the next block, and keeps one transfer at a time.
#pragma once

#include <asio.hpp>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "wire/framing.h"

class Server;

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(asio::ip::tcp::socket socket, Server& server);
  ~Connection();
  void Start();
  // Closes the connection; the transfer under way ends with `outcome`.
  void Close(const std::string& outcome);

 private:
  void Read();
  void OnRead(const asio::error_code& ec, size_t n);
  void ArmIdleTimer();
  void Handle(const std::vector<uint8_t>& message);
  void StartTransfer(const std::string& gbkName);
  void SendBlock();
  void EndTransfer(const std::string& outcome);
  void Queue(const uint8_t* data, size_t len);
  void Write();

  asio::ip::tcp::socket socket_;
  asio::steady_timer idle_;
  Server& server_;
  std::string peer_;
  frame::Reader reader_;
  std::vector<uint8_t> readBuffer_;
  std::deque<std::vector<uint8_t>> writes_;
  bool writing_ = false;
  bool closed_ = false;

  // The transfer under way.
  int fd_ = -1;
  std::string name_;
  int64_t size_ = 0;
  int64_t offset_ = 0;
};
