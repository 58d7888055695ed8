// Accepts connections to the update server and keeps track of them.
#pragma once

#include <asio.hpp>

#include <memory>
#include <set>
#include <string>

#include "options.h"
#include "path_resolver.h"

class Connection;

class Server {
 public:
  Server(asio::io_context& io, const ServerOptions& options);
  uint16_t Port() const;
  // Stops accepting and closes every connection; io_context::run then returns.
  void Stop();

  const ServerOptions& Options() const { return options_; }
  const PathResolver& Resolver() const { return resolver_; }
  asio::io_context& Io() { return io_; }
  void Remove(const std::shared_ptr<Connection>& c) { connections_.erase(c); }

 private:
  void Accept();

  asio::io_context& io_;
  ServerOptions options_;
  PathResolver resolver_;
  asio::ip::tcp::acceptor acceptor_;
  asio::steady_timer retry_;  // pauses accepting after a failed accept
  std::set<std::shared_ptr<Connection>> connections_;
  bool stopped_ = false;
};
