// The wheel server's log: the shared log line, and how players and peers appear in it.
#pragma once

#include <asio/ip/udp.hpp>

#include <string>

#include "server_log.h"

// A player's name for the log, in quotes: the GBK bytes as UTF-8 where they decode,
// bytes that do not (or that could break the line or the quotes) as \xNN.
std::string DisplayName(const std::string& gbk);

// "127.0.0.1:5000".
std::string DisplayEndpoint(const asio::ip::udp::endpoint& e);
