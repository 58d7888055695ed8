// One line per event on stdout, with a timestamp, flushed at once (operators and
// tests read it as it happens).
#pragma once

#include <asio/ip/udp.hpp>

#include <string>

void LogLine(const std::string& text);

// A player's name for the log, in quotes: the GBK bytes as UTF-8 where they decode,
// bytes that do not (or that could break the line or the quotes) as \xNN.
std::string DisplayName(const std::string& gbk);

// "127.0.0.1:5000".
std::string DisplayEndpoint(const asio::ip::udp::endpoint& e);
