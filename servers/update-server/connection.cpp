#include "connection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "server.h"
#include "server_log.h"
#include "wire/uFileTrans_Struc.h"

namespace {
// The client keeps ten requests outstanding; a peer that lets far more replies pile
// up unread is not a client of ours.
constexpr size_t kMaxQueuedWrites = 64;
}  // namespace

Connection::Connection(asio::ip::tcp::socket socket, Server& server)
    : socket_(std::move(socket)),
      idle_(server.Io()),
      server_(server),
      reader_(server.Options().maxFrame),
      readBuffer_(4096) {
  asio::error_code ec;
  const auto peer = socket_.remote_endpoint(ec);
  peer_ = ec ? "?" : peer.address().to_string() + ":" + std::to_string(peer.port());
  socket_.set_option(asio::ip::tcp::no_delay(true), ec);
}

Connection::~Connection() {
  if (fd_ >= 0) ::close(fd_);
}

void Connection::Start() {
  ArmIdleTimer();
  Read();
}

void Connection::ArmIdleTimer() {
  idle_.expires_after(std::chrono::seconds(server_.Options().idleTimeoutSec));
  idle_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
    if (ec || self->closed_) return;  // re-armed or closed
    LogLine(self->peer_ + " idle for " + std::to_string(self->server_.Options().idleTimeoutSec) +
            " s, closed");
    self->Close("idle");
  });
}

void Connection::Read() {
  socket_.async_read_some(
      asio::buffer(readBuffer_),
      [self = shared_from_this()](const asio::error_code& ec, size_t n) { self->OnRead(ec, n); });
}

void Connection::OnRead(const asio::error_code& ec, size_t n) {
  if (closed_) return;
  if (ec) {
    Close("disconnected");
    return;
  }
  reader_.Feed(readBuffer_.data(), n);
  std::vector<uint8_t> message;
  for (;;) {
    const auto status = reader_.Next(message);
    if (status == frame::Reader::Status::kNeedMore) break;
    if (status == frame::Reader::Status::kBad) {
      LogLine(peer_ + " sent a frame of length 0 or over " + std::to_string(server_.Options().maxFrame) +
              " bytes, closed");
      Close("broken frame");
      return;
    }
    ArmIdleTimer();
    Handle(message);
    if (closed_) return;
  }
  Read();
}

void Connection::Handle(const std::vector<uint8_t>& message) {
  std::string path;
  if (filetrans::DecodeFileRequest(message.data(), message.size(), path)) {
    StartTransfer(path);
    return;
  }
  switch (filetrans::DecodeSignal(message.data(), message.size())) {
    case filetrans::kBlockRequest: SendBlock(); return;
    case filetrans::kCancelTransfer: EndTransfer("cancelled"); return;
    case filetrans::kTransferDone: EndTransfer(offset_ == size_ ? "done" : "done early"); return;
    default:
      LogLine(peer_ + " sent a message that is none of ours (id " + std::to_string(message[0]) + ", " +
              std::to_string(message.size()) + " bytes), closed");
      Close("malformed message");
  }
}

void Connection::StartTransfer(const std::string& gbkName) {
  EndTransfer("replaced");
  const Resolved r = server_.Resolver().Resolve(gbkName);
  int fd = -1;
  struct stat st;
  std::string outcome = r.reason;
  if (r.ok) {
    fd = ::open(r.hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && (errno == EMFILE || errno == ENFILE || errno == ENOMEM)) {
      // The file is there; the server is short of descriptors. "Missing" would make
      // the updater give the file up, a closed connection makes it try again later.
      LogLine(peer_ + " \"" + r.display + "\" 0 bytes server out of descriptors, closed");
      Close("server busy");
      return;
    }
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      outcome = "missing";
    } else if (st.st_size > INT32_MAX) {
      outcome = "refused: larger than 2 GiB";
    } else {
      outcome.clear();
    }
    if (!outcome.empty() && fd >= 0) {
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) {
    LogLine(peer_ + " \"" + r.display + "\" 0 bytes " + outcome);
    const auto info = filetrans::EncodeFileInfo(0, true);
    Queue(info.data(), info.size());
    return;
  }
  fd_ = fd;
  name_ = r.display;
  size_ = st.st_size;
  offset_ = 0;
  const auto info = filetrans::EncodeFileInfo(static_cast<int32_t>(size_), false);
  Queue(info.data(), info.size());
}

void Connection::SendBlock() {
  if (fd_ < 0 || offset_ >= size_) return;  // nothing asked for, or past the end
  uint8_t data[filetrans::kBlockDataRoom];
  const size_t want = static_cast<size_t>(std::min<int64_t>(filetrans::kBlockDataRoom, size_ - offset_));
  size_t got = 0;
  while (got < want) {
    const ssize_t n = ::pread(fd_, data + got, want - got, offset_ + static_cast<int64_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  if (got < want) {
    // The announced size is a promise: rather no file than a short one. The transfer's
    // log line says how far it got.
    Close("shrank");
    return;
  }
  offset_ += static_cast<int64_t>(got);
  const auto block = filetrans::EncodeFileBlock(data, got);
  Queue(block.data(), block.size());
}

void Connection::EndTransfer(const std::string& outcome) {
  if (fd_ < 0) return;
  LogLine(peer_ + " \"" + name_ + "\" " + std::to_string(offset_) + " of " + std::to_string(size_) +
          " bytes " + outcome);
  ::close(fd_);
  fd_ = -1;
}

void Connection::Queue(const uint8_t* data, size_t len) {
  if (closed_) return;
  if (writes_.size() >= kMaxQueuedWrites) {
    LogLine(peer_ + " does not read its replies, closed");
    Close("not reading");
    return;
  }
  writes_.push_back(frame::Encode(data, len));
  if (!writing_) Write();
}

void Connection::Write() {
  writing_ = true;
  asio::async_write(socket_, asio::buffer(writes_.front()),
                    [self = shared_from_this()](const asio::error_code& ec, size_t) {
                      self->writing_ = false;
                      if (self->closed_) return;
                      if (ec) {
                        self->Close("disconnected");
                        return;
                      }
                      self->writes_.pop_front();
                      if (!self->writes_.empty()) self->Write();
                    });
}

void Connection::Close(const std::string& outcome) {
  if (closed_) return;
  closed_ = true;
  EndTransfer(outcome);
  asio::error_code ignored;
  idle_.cancel();
  socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  socket_.close(ignored);
  server_.Remove(shared_from_this());
}
