// The working part of a client: settings, handlers, and the connection with its
// receive thread. The interface object the updater holds (DurnixClient) owns one core;
// each receive thread owns it too, so a thread that is left to end by itself (the
// connection was closed, or the object released, from one of its own handlers)
// never runs on freed memory.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "uIOCP_Intf.h"
#include "win/winsock_owners.h"

namespace frame {
class Reader;
}

namespace durnix {

using wsock::SocketOwner;
using wsock::WinsockInit;
using wsock::WsaEventOwner;

// One connection, from the connect attempt to its end.
struct Connection {
  // What the connect and the receive loop use, fixed when the connection starts.
  std::string host;
  uint16_t port = 0;
  uint32_t maxMessage = 0;

  // Asked to end (SetActive(false) or the object's end): no handler runs for it any more.
  std::atomic<bool> stopping{false};
  // Ended by itself (peer, network or framing); senders give up.
  std::atomic<bool> ended{false};
  WsaEventOwner stopEvent;
  WsaEventOwner netEvent;

  // One frame on the wire at a time; also keeps the socket from being closed under a
  // sender (the socket is only set and closed with this held).
  std::mutex sendMutex;
  SocketOwner socket;

  // Network events already taken from netEvent but not yet handled (the receive
  // thread's own).
  long pendingEvents = 0;
  int closeError = 0;

  std::thread thread;
};

class ClientCore : public std::enable_shared_from_this<ClientCore> {
 public:
  static constexpr uint32_t kDefaultMaxMessage = 65536;

  ClientCore() = default;
  ~ClientCore();
  ClientCore(const ClientCore&) = delete;
  ClientCore& operator=(const ClientCore&) = delete;

  // 0, or why WinSock could not be started for this client.
  int StartupError() const { return winsock_.error(); }

  bool IsConnected();
  bool IsActive();
  void Activate() noexcept;
  void Deactivate() noexcept;

  void SetPort(uint16_t port);
  uint16_t Port();
  void SetHost(const char* host) noexcept;
  int32_t CopyHost(char* buffer, int32_t size);
  void SetMaxMessageSize(uint32_t bytes);
  uint32_t MaxMessageSize();
  int32_t LastSocketError();

  void SetOnReceive(TIOCPReceiveProc proc, void* context);
  void SetOnDisconnect(TIOCPDisconnectProc proc, void* context);

  bool Send(const void* data, int32_t len) noexcept;

 private:
  static void Run(std::shared_ptr<ClientCore> core, std::shared_ptr<Connection> conn) noexcept;
  // The receive loop until the connection ends; the WinSock error that ended it.
  int Receive(Connection& conn);
  // Hands out the whole messages the reader holds; false when the stream broke the
  // framing.
  bool Deliver(Connection& conn, frame::Reader& reader);
  void CallReceive(Connection& conn, const uint8_t* data, int32_t len);
  void CallDisconnect(Connection& conn);
  // Marks the end of `conn` in the client's state, if it is still the current one.
  void MarkEnded(const std::shared_ptr<Connection>& conn, int error);

  // First member: WinSock stays started until everything below is gone.
  WinsockInit winsock_;

  std::mutex stateMutex_;
  std::string host_;
  uint16_t port_ = 0;
  uint32_t maxMessage_ = kDefaultMaxMessage;
  bool active_ = false;
  bool connected_ = false;
  int32_t lastError_ = 0;
  std::shared_ptr<Connection> current_;

  // Held while a handler runs, so that once a setter returns the old handler is not
  // called any more. Recursive: a handler may set handlers itself.
  std::recursive_mutex handlerMutex_;
  TIOCPReceiveProc onReceive_ = nullptr;
  void* receiveContext_ = nullptr;
  TIOCPDisconnectProc onDisconnect_ = nullptr;
  void* disconnectContext_ = nullptr;
};

}  // namespace durnix
