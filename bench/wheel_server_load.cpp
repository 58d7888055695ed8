// Many players at once against a running wheel-server on 127.0.0.1, and the same
// traffic against a plain UDP echo server in this program as a baseline. Prints:
//   - fire-and-forget 12-byte datagrams (heartbeats): how many the server processed
//     per second (sent minus the kernel's drops at the server's socket, read from
//     /proc/net/udp, timed until a marker request sent last is answered);
//   - request-reply (spins): replies per second, one request per player in flight,
//     and their latency.
// Used by bench/wheel_server_load.sh. Figures only: nothing here passes or fails.
//
//   wheel_server_load <port> [players] [seconds-per-phase] [threads]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "wire/byte_order.h"
#include "wire/uGyrelot_Struc.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

const char kUsage[] =
    "Usage: wheel_server_load <port> [players] [seconds] [threads]\n"
    "Logs <players> (default 200) in to wheel-server on 127.0.0.1:<port> from\n"
    "<threads> (default 2) threads, then measures heartbeats (fire-and-forget) and\n"
    "spins (request-reply) for <seconds> (default 3) each, after the same two\n"
    "patterns against an echo server of its own. The server must allow back-to-back\n"
    "spins (--min-start-interval-ms 0) and give enough coins.\n";

bool Number(const char* text, int& out, int min, int max) {
  const char* end = text + std::strlen(text);
  const auto [p, ec] = std::from_chars(text, end, out);
  return ec == std::errc() && p == end && out >= min && out <= max;
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// A UDP socket on 127.0.0.1 connected to one server port: send and recv need no
// address, and the kernel keeps out datagrams from anywhere else.
class Socket {
 public:
  explicit Socket(uint16_t serverPort) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    const int buffer = 1 << 20;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(serverPort);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(Socket&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  Socket& operator=(Socket&&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  bool Send(const uint8_t* p, size_t n) const {
    return ::send(fd_, p, n, MSG_DONTWAIT) == static_cast<ssize_t>(n);
  }
  // One datagram if one is waiting; -1 otherwise.
  ssize_t TryReceive(uint8_t* p, size_t n) const { return ::recv(fd_, p, n, MSG_DONTWAIT); }
  // One datagram within `timeoutMs`; -1 otherwise.
  ssize_t Receive(uint8_t* p, size_t n, int timeoutMs) const {
    pollfd f{fd_, POLLIN, 0};
    if (::poll(&f, 1, timeoutMs) <= 0) return -1;
    return TryReceive(p, n);
  }

 private:
  int fd_ = -1;
};

// The drops the kernel counted at the UDP socket bound to 127.0.0.1:port (the last
// column of /proc/net/udp): datagrams that found the server's buffer full.
uint64_t KernelDrops(uint16_t port) {
  std::ifstream in("/proc/net/udp");
  std::string line;
  char want[16];
  std::snprintf(want, sizeof want, "0100007F:%04X", static_cast<unsigned>(port));
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string slot, local, field;
    fields >> slot >> local;
    if (local != want) continue;
    std::string last;
    while (fields >> field) last = field;
    uint64_t drops = 0;
    std::from_chars(last.data(), last.data() + last.size(), drops);
    return drops;
  }
  return 0;
}

// The baseline: one thread that sends every datagram back as it came, with a
// blocking receive and a send per datagram.
class EchoServer {
 public:
  EchoServer() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int buffer = 1 << 20;  // what wheel-server asks for too
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    const timeval wake{0, 100000};  // a blocked receive returns now and then to see the stop
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wake, sizeof wake);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~EchoServer() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  EchoServer(const EchoServer&) = delete;
  EchoServer& operator=(const EchoServer&) = delete;
  uint16_t Port() const { return port_; }
  uint64_t Received() const { return received_; }

 private:
  void Run() {
    uint8_t buf[512];
    while (!stop_) {
      sockaddr_in from{};
      socklen_t len = sizeof from;
      const ssize_t n = ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (n < 0) continue;  // the time-out: look at stop_
      received_.fetch_add(1, std::memory_order_relaxed);
      ::sendto(fd_, buf, static_cast<size_t>(n), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), len);
    }
  }

  int fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> received_{0};
  std::thread thread_;
};

// Runs `body(first, end)` on `threads` threads, each with its share of the players.
void Split(int players, int threads, const std::function<void(int, int, int)>& body) {
  std::vector<std::thread> all;
  for (int t = 0; t < threads; ++t) {
    const int first = players * t / threads;
    const int end = players * (t + 1) / threads;
    all.emplace_back([&, t, first, end] { body(t, first, end); });
  }
  for (auto& th : all) th.join();
}

struct BlastResult {
  uint64_t sent = 0;
  uint64_t drops = 0;
  double seconds = 0;  // from the first send until the marker's answer
};

// Every socket sends its datagram again and again for `seconds`; then one marker
// request, whose answer comes once the server has worked through all before it.
BlastResult Blast(std::vector<Socket>& sockets, int threads, double seconds, uint16_t port,
                  const std::function<Bytes(int)>& datagram, const Socket& marker,
                  const Bytes& markerRequest) {
  BlastResult r;
  const uint64_t dropsBefore = KernelDrops(port);
  std::atomic<uint64_t> sent{0};
  const auto t0 = Clock::now();
  const auto until = t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  Split(static_cast<int>(sockets.size()), threads, [&](int, int first, int end) {
    std::vector<Bytes> mine;
    for (int i = first; i < end; ++i) mine.push_back(datagram(i));
    uint64_t n = 0;
    uint8_t sink[64];
    while (Clock::now() < until) {
      for (int i = first; i < end; ++i) {
        if (sockets[static_cast<size_t>(i)].Send(mine[static_cast<size_t>(i - first)].data(), mine[0].size()))
          ++n;
        while (sockets[static_cast<size_t>(i)].TryReceive(sink, sizeof sink) >= 0) {
        }
      }
    }
    sent += n;
  });
  // Right after the flood the server's buffer is full and the marker may be dropped
  // too; it goes again every 10 ms until one is answered.
  uint8_t buf[64];
  bool answered = false;
  for (int tries = 0; tries < 3000 && !answered; ++tries) {
    marker.Send(markerRequest.data(), markerRequest.size());
    answered = marker.Receive(buf, sizeof buf, 10) >= 0;
  }
  r.seconds = Seconds(Clock::now() - t0);
  r.sent = sent;
  r.drops = KernelDrops(port) - dropsBefore;
  if (!answered) std::printf("  (no marker was answered within 30 s)\n");
  return r;
}

struct PingResult {
  uint64_t replies = 0;
  uint64_t accepted = 0;
  uint64_t others = 0;  // datagrams that were not replies (result broadcasts)
  uint64_t resent = 0;  // requests whose reply did not come within a second
  double seconds = 0;
  std::vector<double> latencyMs;
};

// Throws away what is waiting at every socket (late answers of an earlier phase).
void Drain(const std::vector<Socket>& sockets) {
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  uint8_t buf[64];
  for (const auto& s : sockets)
    while (s.TryReceive(buf, sizeof buf) >= 0) {
    }
}

// Every socket keeps one request in flight: a reply, and the next request goes out.
PingResult PingPong(std::vector<Socket>& sockets, int threads, double seconds,
                    const std::function<Bytes(int)>& request,
                    const std::function<int(const uint8_t*, size_t)>& classify) {
  // classify: 0 = not a reply, 1 = accepted reply, 2 = other reply
  Drain(sockets);
  PingResult total;
  std::vector<PingResult> parts(static_cast<size_t>(threads));
  const auto t0 = Clock::now();
  const auto until = t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  Split(static_cast<int>(sockets.size()), threads, [&](int t, int first, int end) {
    PingResult& r = parts[static_cast<size_t>(t)];
    const int count = end - first;
    std::vector<Bytes> req;
    std::vector<Clock::time_point> sentAt(static_cast<size_t>(count));
    std::vector<pollfd> fds;
    for (int i = first; i < end; ++i) {
      req.push_back(request(i));
      fds.push_back(pollfd{sockets[static_cast<size_t>(i)].fd(), POLLIN, 0});
    }
    for (int k = 0; k < count; ++k) {
      sockets[static_cast<size_t>(first + k)].Send(req[static_cast<size_t>(k)].data(),
                                                   req[static_cast<size_t>(k)].size());
      sentAt[static_cast<size_t>(k)] = Clock::now();
    }
    uint8_t buf[64];
    while (Clock::now() < until) {
      if (::poll(fds.data(), fds.size(), 50) < 0) break;
      const auto now = Clock::now();
      for (int k = 0; k < count; ++k) {
        const Socket& s = sockets[static_cast<size_t>(first + k)];
        bool replied = false;
        if (fds[static_cast<size_t>(k)].revents & POLLIN) {
          ssize_t n;
          while ((n = s.TryReceive(buf, sizeof buf)) >= 0) {
            const int kind = classify(buf, static_cast<size_t>(n));
            if (kind == 0) {
              ++r.others;
              continue;
            }
            replied = true;
            ++r.replies;
            if (kind == 1) ++r.accepted;
            r.latencyMs.push_back(1000.0 * Seconds(now - sentAt[static_cast<size_t>(k)]));
          }
        }
        if (!replied && now - sentAt[static_cast<size_t>(k)] > std::chrono::seconds(1)) {
          ++r.resent;
          replied = true;
        }
        if (replied && now < until) {
          s.Send(req[static_cast<size_t>(k)].data(), req[static_cast<size_t>(k)].size());
          sentAt[static_cast<size_t>(k)] = Clock::now();
        }
      }
    }
  });
  total.seconds = Seconds(Clock::now() - t0);
  for (auto& p : parts) {
    total.replies += p.replies;
    total.accepted += p.accepted;
    total.others += p.others;
    total.resent += p.resent;
    total.latencyMs.insert(total.latencyMs.end(), p.latencyMs.begin(), p.latencyMs.end());
  }
  std::sort(total.latencyMs.begin(), total.latencyMs.end());
  return total;
}

double Percentile(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return 0;
  return sorted[std::min(sorted.size() - 1, static_cast<size_t>(q * static_cast<double>(sorted.size())))];
}

void PrintBlast(const char* what, const BlastResult& r) {
  const uint64_t processed = r.sent > r.drops ? r.sent - r.drops : 0;
  std::printf("  %s: sent %llu, dropped by the kernel %llu, processed %llu in %.2f s = %.0f/s\n", what,
              static_cast<unsigned long long>(r.sent), static_cast<unsigned long long>(r.drops),
              static_cast<unsigned long long>(processed), r.seconds,
              static_cast<double>(processed) / r.seconds);
}

void PrintPing(const char* what, const PingResult& r) {
  std::printf(
      "  %s: %llu replies (%llu accepted) in %.2f s = %.0f/s; latency p50 %.2f ms, p99 %.2f ms, max %.2f "
      "ms\n",
      what, static_cast<unsigned long long>(r.replies), static_cast<unsigned long long>(r.accepted),
      r.seconds, static_cast<double>(r.replies) / r.seconds, Percentile(r.latencyMs, 0.5),
      Percentile(r.latencyMs, 0.99), r.latencyMs.empty() ? 0.0 : r.latencyMs.back());
  if (r.others || r.resent)
    std::printf("    other datagrams received %llu, requests given up after 1 s %llu\n",
                static_cast<unsigned long long>(r.others), static_cast<unsigned long long>(r.resent));
}

Bytes ToBytes(const std::array<uint8_t, 12>& a) {
  return Bytes(a.begin(), a.end());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  int port = 0, players = 200, seconds = 3, threads = 2;
  if (argc < 2 || argc > 5 || !Number(argv[1], port, 1, 65535) ||
      (argc > 2 && !Number(argv[2], players, 1, 5000)) || (argc > 3 && !Number(argv[3], seconds, 1, 600)) ||
      (argc > 4 && !Number(argv[4], threads, 1, 64))) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  threads = std::min(threads, players);
  std::printf("players %d, client threads %d, %d s per phase, %u cores\n", players, threads, seconds,
              std::thread::hardware_concurrency());

  // The same 12 bytes either server gets: a heartbeat record.
  const auto echoRequest = [](int i) {
    return ToBytes(wheel::Encode(wheel::MakeRequest(wheel::WHEEL_HEARTBEAT, 1 + i, 1)));
  };
  {
    EchoServer echo;
    std::vector<Socket> sockets;
    for (int i = 0; i < players; ++i) sockets.emplace_back(echo.Port());
    const Socket marker(echo.Port());
    std::printf("echo server (this program, one thread) on 127.0.0.1:%u\n", echo.Port());
    const uint64_t before = echo.Received();
    const BlastResult b = Blast(sockets, threads, seconds, echo.Port(), echoRequest, marker, echoRequest(0));
    PrintBlast("fire-and-forget 12 bytes", b);
    std::printf("    (the echo server counted %llu)\n",
                static_cast<unsigned long long>(echo.Received() - before));
    const PingResult p = PingPong(sockets, threads, seconds, echoRequest,
                                  [](const uint8_t*, size_t n) { return n == 12 ? 1 : 0; });
    PrintPing("request-reply 12 bytes", p);
  }

  std::printf("wheel-server on 127.0.0.1:%d\n", port);
  const uint16_t server = static_cast<uint16_t>(port);
  std::vector<Socket> sockets;
  std::vector<int32_t> sessions(static_cast<size_t>(players));
  for (int i = 0; i < players; ++i) sockets.emplace_back(server);
  const int32_t firstId = 900000;
  const auto t0 = Clock::now();
  int loggedIn = 0;
  for (int i = 0; i < players; ++i) {
    const auto login = wheel::Encode(wheel::MakeLoginRequest(firstId + i, "load" + std::to_string(i)));
    const Socket& s = sockets[static_cast<size_t>(i)];
    s.Send(login.data(), login.size());
    uint8_t buf[64];
    for (;;) {
      const ssize_t n = s.Receive(buf, sizeof buf, 3000);
      if (n < 0) break;
      wheel::TWheelLoginReply reply;
      if (wheel::Decode(buf, static_cast<size_t>(n), reply) && reply.ResultCode == 0) {
        sessions[static_cast<size_t>(i)] = reply.SessionId;
        ++loggedIn;
        break;
      }
    }
  }
  std::printf("  logins: %d of %d in %.3f s\n", loggedIn, players, Seconds(Clock::now() - t0));
  if (loggedIn != players) return 1;

  const auto heartbeat = [&](int i) {
    return ToBytes(wheel::Encode(
        wheel::MakeRequest(wheel::WHEEL_HEARTBEAT, firstId + i, sessions[static_cast<size_t>(i)])));
  };
  const auto start = [&](int i) {
    return ToBytes(
        wheel::Encode(wheel::MakeRequest(wheel::WHEEL_START, firstId + i, sessions[static_cast<size_t>(i)])));
  };
  // A start with no session: refused at once, with no database write and no broadcast.
  const Socket marker(server);
  const Bytes markerRequest = ToBytes(wheel::Encode(wheel::MakeRequest(wheel::WHEEL_START, firstId - 1, 0)));
  const BlastResult b = Blast(sockets, threads, seconds, server, heartbeat, marker, markerRequest);
  PrintBlast("heartbeats, fire-and-forget", b);
  const PingResult p = PingPong(sockets, threads, seconds, start, [](const uint8_t* d, size_t n) {
    wheel::TWheelStartReply reply;
    if (!wheel::Decode(d, n, reply)) return 0;
    return reply.ResultCode == 0 ? 1 : 2;
  });
  PrintPing("spins, request-reply", p);
  std::printf("    result broadcasts received %llu (%.1f per accepted spin; %d players online)\n",
              static_cast<unsigned long long>(p.others),
              p.accepted ? static_cast<double>(p.others) / static_cast<double>(p.accepted) : 0.0, players);
  return 0;
}
