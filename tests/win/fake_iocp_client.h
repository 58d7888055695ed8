// An in-process stand-in for the Durnix TCP client: it records what the download
// client does with it and delivers the "server's" messages from a thread of its own,
// as the real transport does. A small scripted file server answers on Send.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "uIOCP_Intf.h"
#include "wire/uFileTrans_Struc.h"

using Bytes = std::vector<uint8_t>;

class FakeIOCP final : public IIOCPClient {
 public:
  FakeIOCP() : worker_([this] { DeliveryLoop(); }) {}

  // --- what the test sets up
  bool connectWorks = true;   // SetActive(true) connects
  bool connectHangs = false;  // SetActive(true) stays "connecting" for ever
  // The server's side: called with every message the client sends.
  std::function<void(const Bytes&)> onSend;

  // --- what the test reads
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> l(lock_);
    return calls_;
  }
  std::vector<Bytes> Sent() {
    std::lock_guard<std::mutex> l(lock_);
    return sent_;
  }
  void ClearRecords() {
    std::lock_guard<std::mutex> l(lock_);
    calls_.clear();
    sent_.clear();
  }
  bool Destroyed() const { return refs_ == 0; }

  // Queues a message for the client, delivered on the fake's own thread.
  void Deliver(Bytes message) {
    std::lock_guard<std::mutex> l(lock_);
    queue_.push_back(std::move(message));
    cv_.notify_all();
  }
  // The connection breaks once everything queued so far has been delivered.
  void DropAfterQueued() {
    std::lock_guard<std::mutex> l(lock_);
    dropPending_ = true;
    cv_.notify_all();
  }
  // Waits until the delivery thread has nothing queued.
  void WaitDelivered() {
    std::unique_lock<std::mutex> l(lock_);
    cv_.wait_for(l, std::chrono::seconds(5), [&] { return queue_.empty() && !delivering_; });
  }

  // --- IUnknown
  HRESULT __stdcall QueryInterface(REFIID riid, void** object) override {
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IIOCPClient)) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG __stdcall AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG __stdcall Release() override {
    const long left = --refs_;
    if (left == 0) {
      Record("Destroyed");
      // The object stays allocated for the test to inspect; the test deletes it.
    }
    return static_cast<ULONG>(left);
  }

  // --- IIOCPClient
  BOOL __stdcall IsConnected() override { return connected_; }
  void __stdcall SetActive(BOOL value) override {
    Record(std::string("SetActive:") + (value ? "1" : "0"));
    std::unique_lock<std::mutex> l(lock_);
    if (value) {
      active_ = connectWorks || connectHangs;
      connected_ = connectWorks && !connectHangs;
    } else {
      // Like the real client: closed, and no handler runs once this returns.
      active_ = false;
      connected_ = false;
      queue_.clear();
      dropPending_ = false;
      cv_.wait(l, [&] { return !delivering_; });
    }
  }
  void __stdcall SetPort(uint16_t port) override { Record("SetPort:" + std::to_string(port)); }
  uint16_t __stdcall GetPort() override { return 0; }
  BOOL __stdcall GetActive() override { return active_; }
  void __stdcall SetHost(const char* host) override { Record(std::string("SetHost:") + host); }
  int32_t __stdcall GetHost(char*, int32_t) override { return 0; }
  void __stdcall SetOnReceive(TIOCPReceiveProc proc, void* context) override {
    std::lock_guard<std::mutex> l(lock_);
    proc_ = proc;
    context_ = context;
  }
  void __stdcall SetOnDisconnect(TIOCPDisconnectProc, void*) override {}
  void __stdcall SetMaxMessageSize(uint32_t) override {}
  uint32_t __stdcall GetMaxMessageSize() override { return 65536; }
  int32_t __stdcall GetLastSocketError() override { return 0; }
  BOOL __stdcall Send(const void* data, int32_t len) override {
    if (!connected_) return FALSE;
    Bytes message(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + len);
    {
      std::lock_guard<std::mutex> l(lock_);
      sent_.push_back(message);
    }
    if (onSend) onSend(message);
    return TRUE;
  }

  void Shutdown() {
    {
      std::lock_guard<std::mutex> l(lock_);
      quit_ = true;
      cv_.notify_all();
    }
    worker_.join();
  }

 private:
  void Record(const std::string& call) {
    std::lock_guard<std::mutex> l(lock_);
    calls_.push_back(call);
  }

  void DeliveryLoop() {
    std::unique_lock<std::mutex> l(lock_);
    for (;;) {
      cv_.wait(l, [&] { return quit_ || !queue_.empty() || dropPending_; });
      if (quit_) return;
      if (!queue_.empty()) {
        Bytes message = std::move(queue_.front());
        queue_.pop_front();
        if (!connected_ || !proc_) continue;
        delivering_ = true;
        auto proc = proc_;
        void* context = context_;
        l.unlock();
        proc(context, message.data(), static_cast<int32_t>(message.size()));
        l.lock();
        delivering_ = false;
        cv_.notify_all();
      } else if (dropPending_) {
        dropPending_ = false;
        connected_ = false;
        active_ = false;
        cv_.notify_all();
      }
    }
  }

  std::atomic<long> refs_{1};
  std::atomic<bool> connected_{false};
  std::atomic<bool> active_{false};
  std::mutex lock_;
  std::condition_variable cv_;
  std::deque<Bytes> queue_;
  bool delivering_ = false;
  bool dropPending_ = false;
  bool quit_ = false;
  TIOCPReceiveProc proc_ = nullptr;
  void* context_ = nullptr;
  std::vector<std::string> calls_;
  std::vector<Bytes> sent_;
  std::thread worker_;
};

// Answers the download protocol from a table of files, the way the update server
// does; hooks let a test bend it.
struct ScriptedFileServer {
  std::map<std::string, Bytes> files;
  FakeIOCP* fake = nullptr;
  // Stop answering block requests after this many blocks of a transfer (-1: never).
  int answerBlocks = -1;
  // Turns a block about to be sent into something else (or leaves it).
  std::function<void(Bytes& block, int index)> bendBlock;
  // Called instead of answering a FileRequest when it returns true.
  std::function<bool(const std::string& path)> holdRequest;

  std::string current;
  size_t offset = 0;
  int blocksSent = 0;
  bool open = false;

  void Attach(FakeIOCP* f) {
    fake = f;
    f->onSend = [this](const Bytes& m) { OnMessage(m); };
  }

  void AnswerRequest(const std::string& path) {
    auto it = files.find(path);
    if (it == files.end()) {
      fake->Deliver(ToBytes(filetrans::EncodeFileInfo(0, true)));
      open = false;
      return;
    }
    current = path;
    offset = 0;
    blocksSent = 0;
    open = true;
    fake->Deliver(ToBytes(filetrans::EncodeFileInfo(static_cast<int32_t>(it->second.size()), false)));
  }

  void OnMessage(const Bytes& m) {
    std::string path;
    if (filetrans::DecodeFileRequest(m.data(), m.size(), path)) {
      if (holdRequest && holdRequest(path)) return;
      AnswerRequest(path);
      return;
    }
    switch (filetrans::DecodeSignal(m.data(), m.size())) {
      case filetrans::kBlockRequest: {
        if (!open) return;
        const Bytes& file = files[current];
        if (offset >= file.size()) return;  // nothing past the end
        if (answerBlocks >= 0 && blocksSent >= answerBlocks) return;
        const size_t n = std::min<size_t>(880, file.size() - offset);
        Bytes block = ToBytes(filetrans::EncodeFileBlock(file.data() + offset, n));
        offset += n;
        if (bendBlock) bendBlock(block, blocksSent);
        ++blocksSent;
        fake->Deliver(block);
        return;
      }
      case filetrans::kCancelTransfer:
      case filetrans::kTransferDone: open = false; return;
      default: return;
    }
  }

  template <class A>
  static Bytes ToBytes(const A& a) {
    return Bytes(a.begin(), a.end());
  }
};

// The client's messages as short words: "FR:name", "BR", "TD", "CT".
inline std::vector<std::string> Describe(const std::vector<Bytes>& sent) {
  std::vector<std::string> out;
  for (const auto& m : sent) {
    std::string path;
    if (filetrans::DecodeFileRequest(m.data(), m.size(), path)) {
      out.push_back("FR:" + path);
      continue;
    }
    switch (filetrans::DecodeSignal(m.data(), m.size())) {
      case filetrans::kBlockRequest: out.push_back("BR"); break;
      case filetrans::kTransferDone: out.push_back("TD"); break;
      case filetrans::kCancelTransfer: out.push_back("CT"); break;
      default: out.push_back("?");
    }
  }
  return out;
}
