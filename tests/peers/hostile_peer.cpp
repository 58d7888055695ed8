// hostile-peer: an update server for the client's end-to-end tests that serves a
// folder like the real one, but can misbehave in the ways a broken or hostile server
// would: it drips one file a byte at a time after announcing a size of its choosing,
// and it breaks the connection in the middle of the N-th data file it serves.
//
//   hostile-peer --root DIR [--listen ADDR] [--port N] [--linger SECONDS]
//                [--drip NAME --drip-size BYTES --drip-every MS]
//                [--cut N --cut-after BLOCKS]
//
// Each transfer ends with one line on stdout, so a test can see what was asked for:
//   hostile-peer: "b.bin" 2640 of 300000 bytes cut
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "wire/framing.h"
#include "wire/uFileTrans_Struc.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t stopRequested = 0;
void OnSignal(int) {
  stopRequested = 1;
}

const char kUsage[] =
    "Usage: hostile-peer --root DIR [--listen ADDR] [--port N] [--linger SECONDS]\n"
    "                    [--drip NAME --drip-size BYTES --drip-every MS]\n"
    "                    [--cut N --cut-after BLOCKS]\n"
    "Serves the files of DIR with the update protocol (names with backslashes, relative\n"
    "to DIR; anything absolute, with a colon, an empty part or a part of dots is\n"
    "missing), and misbehaves where asked:\n"
    "  --drip NAME       announces NAME (any letter case) as BYTES bytes, then sends one\n"
    "                    byte every MS milliseconds (the file's own bytes, else blanks)\n"
    "  --cut N           closes the connection in the middle of the N-th data file it\n"
    "                    serves (not LastVer.txt or Versions.txt), after BLOCKS blocks and\n"
    "                    before its last block at the latest; once\n"
    "Listens on ADDR (a 127.x.x.x address, default 127.0.0.1), port N (default 0: a free\n"
    "port); the first line on stdout is \"hostile-peer: listening on ADDR:PORT\". Each\n"
    "transfer ends with a line \"hostile-peer: \"NAME\" SENT of SIZE bytes OUTCOME\".\n"
    "Ends after --linger seconds (default 300) or on SIGTERM.\n";

// The largest file served; the tests' files are far smaller.
constexpr size_t kMaxServedBytes = 64u << 20;

bool Number(const char* text, long long& out) {
  const char* end = text + std::strlen(text);
  const auto [p, ec] = std::from_chars(text, end, out);
  return ec == std::errc() && p == end;
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
           return up(x) == up(y);
         });
}

// The host path for a name on the wire, or nothing when it would leave the folder.
// Bytes pass unchanged apart from the separator: the tests use plain names.
std::optional<std::string> HostPath(const std::string& root, const std::string& wireName) {
  if (wireName.empty()) return std::nullopt;
  std::string rel;
  std::string part;
  auto takePart = [&]() -> bool {
    if (part.empty() || part.find_first_not_of('.') == std::string::npos) return false;
    rel += (rel.empty() ? "" : "/") + part;
    part.clear();
    return true;
  };
  for (char c : wireName) {
    if (c == ':' || static_cast<unsigned char>(c) < 0x20) return std::nullopt;
    if (c == '\\' || c == '/') {
      if (!takePart()) return std::nullopt;
    } else {
      part += c;
    }
  }
  if (!takePart()) return std::nullopt;
  return root + "/" + rel;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<size_t>(st.st_size) > kMaxServedBytes) {
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return std::nullopt;
  return bytes;
}

struct Settings {
  std::string root;
  std::string dripName;
  long long dripSize = -1;
  long long dripEveryMs = -1;
  long long cutFile = 0;  // 0: no cut
  long long cutAfter = -1;
};

struct Transfer {
  bool active = false;
  std::string name;
  std::string bytes;      // the content; for a drip, what is sent of the announced size
  long long size = 0;     // announced
  long long sent = 0;     // bytes sent so far
  long long blocks = 0;   // blocks sent so far
  long long pending = 0;  // block requests not yet answered (drip)
  bool drip = false;
  bool cut = false;
  Clock::time_point nextDrip;
};

struct Peer {
  frame::Reader reader{256};
  Transfer transfer;
  bool closing = false;
};

bool SendFrame(int fd, const uint8_t* data, size_t len) {
  const auto f = frame::Encode(data, len);
  size_t done = 0;
  while (done < f.size()) {
    const ssize_t n = ::send(fd, f.data() + done, f.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void Report(const Transfer& t, const char* outcome) {
  std::printf("hostile-peer: \"%s\" %lld of %lld bytes %s\n", t.name.c_str(), t.sent, t.size, outcome);
  std::fflush(stdout);
}

class Server {
 public:
  explicit Server(Settings s) : s_(std::move(s)) {}

  void Accept(int fd) {
    // A client that stops reading must not hold the loop for long.
    timeval tv{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    peers_[fd];
  }

  // Reads what the peer sent and answers it; false when the connection is to close.
  bool Readable(int fd) {
    Peer& p = peers_[fd];
    uint8_t buf[4096];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) {
      End(p, "disconnected");
      return false;
    }
    p.reader.Feed(buf, static_cast<size_t>(n));
    std::vector<uint8_t> m;
    for (;;) {
      const auto status = p.reader.Next(m);
      if (status == frame::Reader::Status::kNeedMore) return true;
      if (status == frame::Reader::Status::kBad) {
        End(p, "broken frame");
        return false;
      }
      if (!Handle(fd, p, m)) return false;
    }
  }

  // Sends the drip bytes that are due; false when the connection is to close.
  bool Tick(int fd, Clock::time_point now) {
    Transfer& t = peers_[fd].transfer;
    if (!t.active || !t.drip || t.pending == 0 || t.sent >= t.size || now < t.nextDrip) return true;
    const uint8_t byte =
        t.sent < static_cast<long long>(t.bytes.size()) ? static_cast<uint8_t>(t.bytes[t.sent]) : ' ';
    const auto block = filetrans::EncodeFileBlock(&byte, 1);
    if (!SendFrame(fd, block.data(), block.size())) {
      End(peers_[fd], "disconnected");
      return false;
    }
    ++t.sent;
    ++t.blocks;
    --t.pending;
    t.nextDrip = now + std::chrono::milliseconds(s_.dripEveryMs);
    return true;
  }

  // How long the loop may sleep before a drip byte is due.
  int WaitMs(Clock::time_point now) const {
    long long ms = 200;
    for (const auto& entry : peers_) {
      const Transfer& t = entry.second.transfer;
      if (!t.active || !t.drip || t.pending == 0 || t.sent >= t.size) continue;
      const long long due = std::chrono::duration_cast<std::chrono::milliseconds>(t.nextDrip - now).count();
      ms = std::max<long long>(0, std::min(ms, due));
    }
    return static_cast<int>(ms);
  }

  void Close(int fd) {
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    peers_.erase(fd);
  }

  std::vector<int> Fds() const {
    std::vector<int> out;
    for (const auto& p : peers_) out.push_back(p.first);
    return out;
  }

  void CloseAll() {
    for (int fd : Fds()) {
      End(peers_[fd], "server ended");
      Close(fd);
    }
  }

 private:
  bool Handle(int fd, Peer& p, const std::vector<uint8_t>& m) {
    std::string name;
    if (filetrans::DecodeFileRequest(m.data(), m.size(), name)) return Start(fd, p, name);
    switch (filetrans::DecodeSignal(m.data(), m.size())) {
      case filetrans::kBlockRequest: return Block(fd, p);
      case filetrans::kCancelTransfer: End(p, "cancelled"); return true;
      case filetrans::kTransferDone:
        End(p, p.transfer.sent == p.transfer.size ? "done" : "done early");
        return true;
      default: End(p, "malformed message"); return false;
    }
  }

  bool Start(int fd, Peer& p, const std::string& name) {
    End(p, "replaced");
    Transfer& t = p.transfer;
    t = Transfer{};
    t.name = name;
    const bool isData = !SameName(name, "LastVer.txt") && !SameName(name, "Versions.txt");
    const auto path = HostPath(s_.root, name);
    const std::optional<std::string> bytes = path ? ReadWholeFile(*path) : std::nullopt;
    if (!s_.dripName.empty() && SameName(name, s_.dripName)) {
      t.drip = true;
      t.size = s_.dripSize;
      t.bytes = bytes.value_or(std::string());
      t.nextDrip = Clock::now() + std::chrono::milliseconds(s_.dripEveryMs);
    } else if (!bytes) {
      Report(t, "missing");
      const auto info = filetrans::EncodeFileInfo(0, true);
      return SendFrame(fd, info.data(), info.size());
    } else {
      t.bytes = *bytes;
      t.size = static_cast<long long>(t.bytes.size());
      if (isData && ++dataFiles_ == s_.cutFile) t.cut = true;
    }
    t.active = true;
    const auto info = filetrans::EncodeFileInfo(static_cast<int32_t>(t.size), false);
    return SendFrame(fd, info.data(), info.size());
  }

  bool Block(int fd, Peer& p) {
    Transfer& t = p.transfer;
    if (!t.active) return true;
    if (t.drip) {
      ++t.pending;  // answered by Tick, one byte at a time
      return true;
    }
    if (t.sent >= t.size) return true;
    const long long len = std::min<long long>(filetrans::kBlockDataRoom, t.size - t.sent);
    if (t.cut && (t.blocks >= s_.cutAfter || t.sent + len >= t.size)) {
      End(p, "cut");
      return false;
    }
    const auto block = filetrans::EncodeFileBlock(reinterpret_cast<const uint8_t*>(t.bytes.data()) + t.sent,
                                                  static_cast<size_t>(len));
    if (!SendFrame(fd, block.data(), block.size())) {
      End(p, "disconnected");
      return false;
    }
    t.sent += len;
    ++t.blocks;
    return true;
  }

  void End(Peer& p, const char* outcome) {
    if (!p.transfer.active) return;
    Report(p.transfer, outcome);
    p.transfer.active = false;
  }

  Settings s_;
  std::map<int, Peer> peers_;
  long long dataFiles_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  std::string listenAddr = "127.0.0.1";
  long long port = 0, linger = 300;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "hostile-peer: %s needs a value\n%s", a.c_str(), kUsage);
      return 2;
    }
    const char* v = argv[++i];
    bool ok = true;
    if (a == "--root")
      s.root = v;
    else if (a == "--listen")
      listenAddr = v;
    else if (a == "--port")
      ok = Number(v, port) && port >= 0 && port <= 65535;
    else if (a == "--linger")
      ok = Number(v, linger) && linger > 0;
    else if (a == "--drip")
      s.dripName = v;
    else if (a == "--drip-size")
      ok = Number(v, s.dripSize) && s.dripSize >= 0 && s.dripSize <= INT32_MAX;
    else if (a == "--drip-every")
      ok = Number(v, s.dripEveryMs) && s.dripEveryMs > 0;
    else if (a == "--cut")
      ok = Number(v, s.cutFile) && s.cutFile > 0;
    else if (a == "--cut-after")
      ok = Number(v, s.cutAfter) && s.cutAfter >= 0;
    else
      ok = false;
    if (!ok) {
      std::fprintf(stderr, "hostile-peer: bad option %s %s\n%s", a.c_str(), v, kUsage);
      return 2;
    }
  }
  if (s.root.empty()) {
    std::fprintf(stderr, "hostile-peer: --root is required\n%s", kUsage);
    return 2;
  }
  if (!s.dripName.empty() && (s.dripSize < 0 || s.dripEveryMs < 0)) {
    std::fprintf(stderr, "hostile-peer: --drip needs --drip-size and --drip-every\n%s", kUsage);
    return 2;
  }
  if ((s.cutFile > 0) != (s.cutAfter >= 0)) {
    std::fprintf(stderr, "hostile-peer: --cut and --cut-after go together\n%s", kUsage);
    return 2;
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  // Only loopback: a misbehaving server is for this machine's tests alone.
  if (inet_pton(AF_INET, listenAddr.c_str(), &addr.sin_addr) != 1 ||
      (ntohl(addr.sin_addr.s_addr) >> 24) != 127) {
    std::fprintf(stderr, "hostile-peer: --listen needs a 127.x.x.x address, not %s\n%s", listenAddr.c_str(),
                 kUsage);
    return 2;
  }
  signal(SIGTERM, OnSignal);
  signal(SIGINT, OnSignal);
  signal(SIGPIPE, SIG_IGN);

  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  if (listener >= 0) setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener, 16) != 0) {
    std::perror("hostile-peer: listen");
    return 1;
  }
  socklen_t len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  std::printf("hostile-peer: listening on %s:%u\n", listenAddr.c_str(), ntohs(addr.sin_port));
  std::fflush(stdout);

  Server server(s);
  const auto deadline = Clock::now() + std::chrono::seconds(linger);
  while (!stopRequested && Clock::now() < deadline) {
    std::vector<pollfd> fds = {{listener, POLLIN, 0}};
    for (int fd : server.Fds()) fds.push_back({fd, POLLIN, 0});
    const int ready = ::poll(fds.data(), fds.size(), server.WaitMs(Clock::now()));
    if (ready > 0 && (fds[0].revents & POLLIN)) {
      const int c = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (c >= 0) server.Accept(c);
    }
    for (size_t i = 1; ready > 0 && i < fds.size(); ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) && !server.Readable(fds[i].fd))
        server.Close(fds[i].fd);
    }
    const auto now = Clock::now();
    for (int fd : server.Fds()) {
      if (!server.Tick(fd, now)) server.Close(fd);
    }
  }
  server.CloseAll();
  ::close(listener);
  return 0;
}
