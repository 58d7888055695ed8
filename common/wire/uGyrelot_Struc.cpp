#include "uGyrelot_Struc.h"

#include <cstring>

#include "byte_order.h"
#include "length_prefixed.h"

namespace wheel {

using wire::GetI32;
using wire::PutI32;

size_t RecordSize(int32_t msgId) {
  switch (msgId) {
    case WHEEL_LOGIN: return sizeof(TWheelLoginRequest);
    case WHEEL_LOGIN_REPLY: return sizeof(TWheelLoginReply);
    case WHEEL_LOGOUT:
    case WHEEL_HEARTBEAT:
    case WHEEL_START: return sizeof(TWheelRequest);
    case WHEEL_START_REPLY: return sizeof(TWheelStartReply);
    case WHEEL_RESULT: return sizeof(TWheelResult);
    default: return 0;
  }
}

std::optional<int32_t> PeekMsgId(const uint8_t* data, size_t len) {
  if (data == nullptr || len < 4) return std::nullopt;
  return GetI32(data);
}

namespace {

int32_t RecogniseAmong(const uint8_t* data, size_t len, std::initializer_list<int32_t> ids) {
  const auto id = PeekMsgId(data, len);
  if (!id) return 0;
  for (int32_t want : ids) {
    if (*id == want) return len == RecordSize(want) ? want : 0;
  }
  return 0;
}

bool Accept(const uint8_t* data, size_t len, size_t size, std::initializer_list<int32_t> ids) {
  return len == size && RecogniseAmong(data, len, ids) != 0;
}

}  // namespace

int32_t RecogniseReply(const uint8_t* data, size_t len) {
  return RecogniseAmong(data, len, {WHEEL_LOGIN_REPLY, WHEEL_START_REPLY, WHEEL_RESULT});
}

int32_t RecogniseRequest(const uint8_t* data, size_t len) {
  return RecogniseAmong(data, len, {WHEEL_LOGIN, WHEEL_LOGOUT, WHEEL_HEARTBEAT, WHEEL_START});
}

TWheelLoginRequest MakeLoginRequest(int32_t userId, std::string_view userName) {
  TWheelLoginRequest r;
  r.UserId = userId;
  wire::PutLengthPrefixed(r.UserName, kLoginNameRoom, userName);
  return r;
}

TWheelRequest MakeRequest(int32_t msgId, int32_t userId, int32_t sessionId) {
  TWheelRequest r;
  r.MsgId = msgId;
  r.UserId = userId;
  r.SessionId = sessionId;
  return r;
}

TWheelResult MakeResult(int32_t userId, std::string_view userName, int32_t prize) {
  TWheelResult r;
  r.UserId = userId;
  wire::PutLengthPrefixed(r.UserName, kResultNameRoom, userName);
  r.Prize = prize;
  return r;
}

std::string LoginName(const TWheelLoginRequest& r) {
  return wire::GetLengthPrefixed(r.UserName, kLoginNameRoom);
}

std::string ResultName(const TWheelResult& r) {
  return wire::GetLengthPrefixed(r.UserName, kResultNameRoom);
}

std::array<uint8_t, 28> Encode(const TWheelLoginRequest& r) {
  std::array<uint8_t, 28> b{};
  PutI32(&b[0], r.MsgId);
  PutI32(&b[4], r.UserId);
  std::memcpy(&b[8], r.UserName, sizeof r.UserName);
  return b;
}

std::array<uint8_t, 12> Encode(const TWheelRequest& r) {
  std::array<uint8_t, 12> b{};
  PutI32(&b[0], r.MsgId);
  PutI32(&b[4], r.UserId);
  PutI32(&b[8], r.SessionId);
  return b;
}

std::array<uint8_t, 28> Encode(const TWheelLoginReply& r) {
  std::array<uint8_t, 28> b{};
  PutI32(&b[0], r.MsgId);
  PutI32(&b[4], r.UserId);
  PutI32(&b[8], r.SessionId);
  PutI32(&b[12], r.Coins);
  PutI32(&b[16], r.Stake);
  PutI32(&b[20], r.OnlineCount);
  b[24] = r.ResultCode;
  return b;
}

std::array<uint8_t, 24> Encode(const TWheelStartReply& r) {
  std::array<uint8_t, 24> b{};
  PutI32(&b[0], r.MsgId);
  PutI32(&b[4], r.Unused);
  PutI32(&b[8], r.Sector);
  PutI32(&b[12], r.Prize);
  PutI32(&b[16], r.Balance);
  b[20] = r.ResultCode;
  return b;
}

std::array<uint8_t, 32> Encode(const TWheelResult& r) {
  std::array<uint8_t, 32> b{};
  PutI32(&b[0], r.MsgId);
  PutI32(&b[4], r.UserId);
  std::memcpy(&b[8], r.UserName, sizeof r.UserName);
  PutI32(&b[28], r.Prize);
  return b;
}

bool Decode(const uint8_t* data, size_t len, TWheelLoginRequest& out) {
  if (!Accept(data, len, sizeof out, {WHEEL_LOGIN})) return false;
  out = TWheelLoginRequest{};
  out.UserId = GetI32(data + 4);
  std::memcpy(out.UserName, data + 8, sizeof out.UserName);
  return true;
}

bool Decode(const uint8_t* data, size_t len, TWheelRequest& out) {
  if (!Accept(data, len, sizeof out, {WHEEL_LOGOUT, WHEEL_HEARTBEAT, WHEEL_START})) return false;
  out.MsgId = GetI32(data);
  out.UserId = GetI32(data + 4);
  out.SessionId = GetI32(data + 8);
  return true;
}

bool Decode(const uint8_t* data, size_t len, TWheelLoginReply& out) {
  if (!Accept(data, len, sizeof out, {WHEEL_LOGIN_REPLY})) return false;
  out = TWheelLoginReply{};
  out.UserId = GetI32(data + 4);
  out.SessionId = GetI32(data + 8);
  out.Coins = GetI32(data + 12);
  out.Stake = GetI32(data + 16);
  out.OnlineCount = GetI32(data + 20);
  out.ResultCode = data[24];
  return true;
}

bool Decode(const uint8_t* data, size_t len, TWheelStartReply& out) {
  if (!Accept(data, len, sizeof out, {WHEEL_START_REPLY})) return false;
  out = TWheelStartReply{};
  out.Unused = GetI32(data + 4);
  out.Sector = GetI32(data + 8);
  out.Prize = GetI32(data + 12);
  out.Balance = GetI32(data + 16);
  out.ResultCode = data[20];
  return true;
}

bool Decode(const uint8_t* data, size_t len, TWheelResult& out) {
  if (!Accept(data, len, sizeof out, {WHEEL_RESULT})) return false;
  out = TWheelResult{};
  out.UserId = GetI32(data + 4);
  std::memcpy(out.UserName, data + 8, sizeof out.UserName);
  out.Prize = GetI32(data + 28);
  return true;
}

}  // namespace wheel
