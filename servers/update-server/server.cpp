#include "server.h"

#include "connection.h"
#include "server_log.h"

Server::Server(asio::io_context& io, const ServerOptions& options)
    : io_(io), options_(options), resolver_(options.root), acceptor_(io), retry_(io) {
  const asio::ip::tcp::endpoint endpoint(asio::ip::make_address(options.listen), options.port);
  acceptor_.open(endpoint.protocol());
  // A restarted server takes its port back at once, whatever its old connections do.
  acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true));
  acceptor_.bind(endpoint);
  acceptor_.listen();
  Accept();
}

uint16_t Server::Port() const {
  return acceptor_.local_endpoint().port();
}

void Server::Accept() {
  acceptor_.async_accept([this](const asio::error_code& ec, asio::ip::tcp::socket socket) {
    if (stopped_) return;
    if (!ec) {
      if (connections_.size() >= options_.maxConnections) {
        asio::error_code ignored;
        const auto peer = socket.remote_endpoint(ignored);
        LogLine("refused connection from " + peer.address().to_string() + ":" + std::to_string(peer.port()) +
                ": already " + std::to_string(connections_.size()) + " connections");
        socket.close(ignored);
      } else {
        auto c = std::make_shared<Connection>(std::move(socket), *this);
        connections_.insert(c);
        c->Start();
      }
    } else if (ec == asio::error::operation_aborted) {
      return;
    } else if (ec != asio::error::connection_aborted) {
      // Out of descriptors or memory: the pending connection stays in the backlog, so
      // accepting again at once would fail again at once. Wait a little instead.
      LogLine("accept failed: " + ec.message() + "; retrying in 100 ms");
      retry_.expires_after(std::chrono::milliseconds(100));
      retry_.async_wait([this](const asio::error_code& waitEc) {
        if (!waitEc && !stopped_) Accept();
      });
      return;
    }
    Accept();
  });
}

void Server::Stop() {
  if (stopped_) return;
  stopped_ = true;
  asio::error_code ignored;
  acceptor_.close(ignored);
  retry_.cancel();
  auto all = connections_;
  for (const auto& c : all) c->Close("stopped");
  connections_.clear();
}
