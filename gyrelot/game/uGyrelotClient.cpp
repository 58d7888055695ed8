#include "uGyrelotClient.h"

#include "wire/uGyrelot_Struc.h"

TGyrelotClient::TGyrelotClient(const TTransportFactories& factories)
    : TGameClientBase(factories), FHeartbeat(std::make_unique<TsTimer>()) {
  FHeartbeat->SetOnTimer({&TGyrelotClient::HeartbeatTick, this});
  FHeartbeat->SetInterval(kHeartbeatInterval);
  FHeartbeat->SetEnabled(false);
}

TGyrelotClient::~TGyrelotClient() {
  for (int i = 0; i < kLogoutCopies; ++i) Logout();
  FHeartbeat->SetEnabled(false);
  FHeartbeat.reset();
}

void TGyrelotClient::Login(int32_t userId, const std::string& userName, int32_t address, uint16_t port) {
  FUserId = userId;
  FUserName = userName;
  FAddress = address;
  FPort = port;
  const auto bytes = wheel::Encode(wheel::MakeLoginRequest(userId, userName));
  Send(bytes.data(), static_cast<int32_t>(bytes.size()));
  FHeartbeat->SetEnabled(true);
}

void TGyrelotClient::Logout() {
  SendRequest(wheel::WHEEL_LOGOUT);
  FHeartbeat->SetEnabled(false);
}

void TGyrelotClient::RequestStart() {
  SendRequest(wheel::WHEEL_START);
}

void TGyrelotClient::SendHeartbeat() {
  SendRequest(wheel::WHEEL_HEARTBEAT);
}

void TGyrelotClient::HeartbeatTick(void* context, TsTimer*) {
  static_cast<TGyrelotClient*>(context)->SendHeartbeat();
}

void TGyrelotClient::SendRequest(int32_t msgId) {
  const auto bytes = wheel::Encode(wheel::MakeRequest(msgId, FUserId, FSessionId));
  Send(bytes.data(), static_cast<int32_t>(bytes.size()));
}
