#include "server.h"

#include <algorithm>
#include <stdexcept>

#include "log.h"

using asio::ip::udp;

WheelServer::WheelServer(asio::io_context& io, const WheelOptions& options, WheelGame& game)
    : game_(game),
      socket_(io),
      expiry_(io),
      stats_(io),
      // A session ends at most a tenth of its timeout late (and never more than a second).
      expiryTick_(std::clamp(std::chrono::milliseconds(options.sessionTimeoutMs / 10),
                             std::chrono::milliseconds(5), std::chrono::milliseconds(1000))),
      statsInterval_(options.statsIntervalSec) {
  const udp::endpoint endpoint(asio::ip::make_address(options.listen), options.port);
  asio::error_code ec;
  socket_.open(endpoint.protocol(), ec);
  // No reuse_address: for UDP it would let a second server share the port unnoticed.
  if (!ec) socket_.bind(endpoint, ec);
  if (ec) throw std::runtime_error("cannot listen on " + DisplayEndpoint(endpoint) + ": " + ec.message());
  // A burst of heartbeats should wait in the kernel, not be dropped there; the kernel
  // caps the size at its own limit.
  asio::error_code ignored;
  socket_.set_option(asio::socket_base::receive_buffer_size(1 << 20), ignored);
  // Sends never wait: a datagram the kernel cannot take now is dropped and counted,
  // which is what UDP would do a hop later anyway.
  socket_.non_blocking(true);
  Receive();
  ScheduleExpiry();
  if (statsInterval_.count() > 0) ScheduleStats();
}

uint16_t WheelServer::Port() const {
  return socket_.local_endpoint().port();
}

void WheelServer::Receive() {
  socket_.async_receive_from(asio::buffer(buffer_), from_, [this](const asio::error_code& ec, size_t len) {
    if (stopped_ || ec == asio::error::operation_aborted) return;
    if (ec) {
      ReceiveFailed(ec);
    } else {
      Serve(len);
    }
    // Take what is queued already without a round through the reactor; a bounded
    // number, so that the timers still get their turn under a flood.
    for (int i = 0; i < 64 && !stopped_; ++i) {
      asio::error_code e;
      const size_t n = socket_.receive_from(asio::buffer(buffer_), from_, 0, e);
      if (e == asio::error::would_block || e == asio::error::try_again) break;
      if (e) {
        ReceiveFailed(e);
        break;
      }
      Serve(n);
    }
    if (!stopped_) Receive();
  });
}

void WheelServer::Serve(size_t len) {
  for (const Outgoing& o : game_.Handle(buffer_.data(), len, from_, Clock::now())) Send(o);
}

void WheelServer::Send(const Outgoing& o) {
  asio::error_code ec;
  socket_.send_to(asio::buffer(o.bytes), o.to, 0, ec);
  if (ec && sendFailed_++ == 0)
    LogLine("send to " + DisplayEndpoint(o.to) + " failed: " + ec.message() +
            " (later failures are only counted)");
}

void WheelServer::ReceiveFailed(const asio::error_code& ec) {
  if (receiveFailed_++ == 0)
    LogLine("receive failed: " + ec.message() + " (later failures are only counted)");
}

void WheelServer::ScheduleExpiry() {
  expiry_.expires_after(expiryTick_);
  expiry_.async_wait([this](const asio::error_code& ec) {
    if (ec || stopped_) return;
    game_.Expire(Clock::now());
    ScheduleExpiry();
  });
}

void WheelServer::ScheduleStats() {
  stats_.expires_after(statsInterval_);
  stats_.async_wait([this](const asio::error_code& ec) {
    if (ec || stopped_) return;
    if (game_.Counters().received != lastLoggedReceived_) {
      lastLoggedReceived_ = game_.Counters().received;
      LogLine("counters: " + CountersLine());
    }
    ScheduleStats();
  });
}

std::string WheelServer::CountersLine() const {
  return game_.Counters().Describe() + "; online " + std::to_string(game_.OnlineCount()) +
         "; send failures " + std::to_string(sendFailed_) + ", receive failures " +
         std::to_string(receiveFailed_);
}

void WheelServer::Stop() {
  if (stopped_) return;
  stopped_ = true;
  asio::error_code ignored;
  socket_.close(ignored);
  expiry_.cancel();
  stats_.cancel();
}
