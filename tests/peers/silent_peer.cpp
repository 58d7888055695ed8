// silent-peer: a misbehaving update server for the client's tests. It answers every
// file request with a size, answers the first K block requests of a connection, and
// then never answers again while keeping the connection open.
//
//   silent-peer --port N [--listen ADDR] --size S --blocks K [--linger SECONDS]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "wire/framing.h"
#include "wire/uFileTrans_Struc.h"

namespace {

volatile sig_atomic_t stopRequested = 0;
void OnSignal(int) {
  stopRequested = 1;
}

const char kUsage[] =
    "Usage: silent-peer --port N [--listen ADDR] --size S --blocks K [--linger SECONDS]\n"
    "Answers file requests with size S and the first K block requests of each\n"
    "connection with filler bytes (never more than S), then goes silent with the\n"
    "connection open. Ends after --linger seconds (default 120) or on SIGTERM.\n"
    "--port 0 picks a free port; the first line on stdout names it.\n";

bool Number(const char* text, long long& out) {
  const char* end = text + std::strlen(text);
  const auto [p, ec] = std::from_chars(text, end, out);
  return ec == std::errc() && p == end;
}

struct Peer {
  frame::Reader reader{256};
  long long answered = 0;  // block requests answered on this connection
  long long sent = 0;      // bytes of the current file sent
};

void SendFrame(int fd, const uint8_t* data, size_t len) {
  const auto f = frame::Encode(data, len);
  size_t done = 0;
  while (done < f.size()) {
    const ssize_t n = ::send(fd, f.data() + done, f.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string listenAddr = "127.0.0.1";
  long long port = -1, size = -1, blocks = -1, linger = 120;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "silent-peer: %s needs a value\n%s", a.c_str(), kUsage);
      return 2;
    }
    const char* v = argv[++i];
    bool ok = true;
    if (a == "--port")
      ok = Number(v, port) && port >= 0 && port <= 65535;
    else if (a == "--size")
      ok = Number(v, size) && size >= 0 && size <= INT32_MAX;
    else if (a == "--blocks")
      ok = Number(v, blocks) && blocks >= 0;
    else if (a == "--linger")
      ok = Number(v, linger) && linger > 0;
    else if (a == "--listen")
      listenAddr = v;
    else
      ok = false;
    if (!ok) {
      std::fprintf(stderr, "silent-peer: bad option %s %s\n%s", a.c_str(), v, kUsage);
      return 2;
    }
  }
  if (port < 0 || size < 0 || blocks < 0) {
    std::fprintf(stderr, "silent-peer: --port, --size and --blocks are required\n%s", kUsage);
    return 2;
  }
  signal(SIGTERM, OnSignal);
  signal(SIGINT, OnSignal);

  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, listenAddr.c_str(), &addr.sin_addr) != 1) {
    std::fprintf(stderr, "silent-peer: --listen needs an IPv4 address, not %s\n%s", listenAddr.c_str(),
                 kUsage);
    return 2;
  }
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener, 16) != 0) {
    std::perror("silent-peer: listen");
    return 1;
  }
  socklen_t len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  std::printf("silent-peer: listening on %s:%u\n", listenAddr.c_str(), ntohs(addr.sin_port));
  std::fflush(stdout);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(linger);
  std::map<int, Peer> peers;
  std::vector<uint8_t> filler(filetrans::kBlockDataRoom, 0x5A);
  while (!stopRequested && std::chrono::steady_clock::now() < deadline) {
    std::vector<pollfd> fds = {{listener, POLLIN, 0}};
    for (const auto& p : peers) fds.push_back({p.first, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), 200) <= 0) continue;
    if (fds[0].revents & POLLIN) {
      const int c = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (c >= 0) peers[c];
    }
    for (size_t i = 1; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const int fd = fds[i].fd;
      uint8_t buf[4096];
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) {
        ::close(fd);
        peers.erase(fd);
        continue;
      }
      Peer& peer = peers[fd];
      peer.reader.Feed(buf, static_cast<size_t>(n));
      std::vector<uint8_t> m;
      while (peer.reader.Next(m) == frame::Reader::Status::kMessage) {
        std::string path;
        if (filetrans::DecodeFileRequest(m.data(), m.size(), path)) {
          peer.sent = 0;
          const auto info = filetrans::EncodeFileInfo(static_cast<int32_t>(size), false);
          SendFrame(fd, info.data(), info.size());
        } else if (filetrans::DecodeSignal(m.data(), m.size()) == filetrans::kBlockRequest &&
                   peer.answered < blocks && peer.sent < size) {
          // Until it falls silent it behaves: never more bytes than it announced.
          ++peer.answered;
          const long long len = std::min<long long>(filetrans::kBlockDataRoom, size - peer.sent);
          peer.sent += len;
          const auto block = filetrans::EncodeFileBlock(filler.data(), static_cast<size_t>(len));
          SendFrame(fd, block.data(), block.size());
        }
      }
    }
  }
  for (const auto& p : peers) ::close(p.first);
  ::close(listener);
  return 0;
}
