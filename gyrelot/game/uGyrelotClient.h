// The wheel game's session: login, a heartbeat every ten seconds from the moment of the
// login, start requests, and five logouts when it ends. It does not read replies: the
// window takes them off the packet cache and writes the session id back here.
#pragma once

#include <memory>
#include <string>

#include "uGameClientBase.h"
#include "usTimer.h"

class TGyrelotClient : public TGameClientBase {
 public:
  static constexpr uint32_t kHeartbeatInterval = 10000;
  // A logout may be lost like any datagram; the server takes five copies as one.
  static constexpr int kLogoutCopies = 5;

  explicit TGyrelotClient(const TTransportFactories& factories = {});
  // Five logouts, then the heartbeat timer goes, then the transport.
  ~TGyrelotClient() override;

  // Remembers the player and the server, sends the login request, starts the heartbeat.
  void Login(int32_t userId, const std::string& userName, int32_t address, uint16_t port) override;
  // Sends a logout and stops the heartbeat.
  void Logout() override;
  void RequestStart();
  void SendHeartbeat();

  // The session id of the successful login reply, which every later request carries;
  // 0 until the window writes one.
  int32_t SessionId() const { return FSessionId; }
  void SetSessionId(int32_t sessionId) { FSessionId = sessionId; }
  int32_t UserId() const { return FUserId; }
  const std::string& UserName() const { return FUserName; }
  TsTimer& Heartbeat() { return *FHeartbeat; }

 private:
  static void HeartbeatTick(void* context, TsTimer* sender);
  void SendRequest(int32_t msgId);

  int32_t FUserId = 0;
  std::string FUserName;
  int32_t FSessionId = 0;
  std::unique_ptr<TsTimer> FHeartbeat;
};
