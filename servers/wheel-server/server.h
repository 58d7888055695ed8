// The wheel game on a UDP socket: receives datagrams, hands them to the game, sends
// what it returns, and ends silent sessions on a timer. One thread, one socket.
#pragma once

#include <asio.hpp>

#include <array>
#include <cstdint>

#include "options.h"
#include "wheel_game.h"

class WheelServer {
 public:
  // Binds the socket (throws std::runtime_error naming the address when it cannot)
  // and starts receiving.
  WheelServer(asio::io_context& io, const WheelOptions& options, WheelGame& game);
  uint16_t Port() const;
  // Closes the socket and cancels the timers; io_context::run then returns.
  void Stop();

  // The game's counters and the server's own, for the log.
  std::string CountersLine() const;

 private:
  void Receive();
  void Serve(size_t len);
  void Send(const Outgoing& o);
  void ReceiveFailed(const asio::error_code& ec);
  void ScheduleExpiry();
  void ScheduleStats();

  WheelGame& game_;
  asio::ip::udp::socket socket_;
  asio::steady_timer expiry_;
  asio::steady_timer stats_;
  std::chrono::milliseconds expiryTick_;
  std::chrono::seconds statsInterval_;
  // Larger than any record, so that a longer datagram arrives long enough to be seen
  // as oversized even when the kernel cuts it to the buffer.
  std::array<uint8_t, 512> buffer_{};
  asio::ip::udp::endpoint from_;
  uint64_t sendFailed_ = 0;
  uint64_t receiveFailed_ = 0;
  uint64_t lastLoggedReceived_ = 0;
  bool stopped_ = false;
};
