// The wheel game's records. Each travels alone as the payload of one UDP datagram:
// fixed size, little-endian, 4-byte aligned, message id in the first 32 bits.
//
//   TWheelLoginRequest (28)  95 75 00 00 | UserId | n name[16] | pad 3
//   TWheelRequest      (12)  MsgId | UserId | SessionId
//   TWheelLoginReply   (28)  96 75 00 00 | UserId | SessionId | Coins | Stake |
//                            OnlineCount | ResultCode (u8) | pad 3
//   TWheelStartReply   (24)  A0 75 00 00 | unused | Sector | Prize | Balance |
//                            ResultCode (u8) | pad 3
//   TWheelResult       (32)  A1 75 00 00 | UserId | n name[19] | Prize
//
// The structs below mirror that layout (checked at compile time) and hold host
// values; Encode/Decode move them to and from the wire field by field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wheel {

enum : int32_t {
  WHEEL_LOGIN = 30101,
  WHEEL_LOGIN_REPLY = 30102,
  WHEEL_LOGOUT = 30103,
  WHEEL_HEARTBEAT = 30104,
  WHEEL_START = 30111,
  WHEEL_START_REPLY = 30112,
  WHEEL_RESULT = 30113,
};

constexpr size_t kLoginNameRoom = 16;   // TWheelLoginRequest.UserName
constexpr size_t kResultNameRoom = 19;  // TWheelResult.UserName

struct TWheelLoginRequest {
  int32_t MsgId = WHEEL_LOGIN;
  int32_t UserId = 0;
  uint8_t UserName[1 + kLoginNameRoom] = {};
  uint8_t Align[3] = {};
};

struct TWheelRequest {
  int32_t MsgId = 0;
  int32_t UserId = 0;
  int32_t SessionId = 0;
};

struct TWheelLoginReply {
  int32_t MsgId = WHEEL_LOGIN_REPLY;
  int32_t UserId = 0;
  int32_t SessionId = 0;
  int32_t Coins = 0;
  int32_t Stake = 0;
  int32_t OnlineCount = 0;
  uint8_t ResultCode = 0;
  uint8_t Align[3] = {};
};

struct TWheelStartReply {
  int32_t MsgId = WHEEL_START_REPLY;
  int32_t Unused = 0;
  int32_t Sector = 0;
  int32_t Prize = 0;
  int32_t Balance = 0;
  uint8_t ResultCode = 0;
  uint8_t Align[3] = {};
};

struct TWheelResult {
  int32_t MsgId = WHEEL_RESULT;
  int32_t UserId = 0;
  uint8_t UserName[1 + kResultNameRoom] = {};
  int32_t Prize = 0;
};

static_assert(sizeof(TWheelLoginRequest) == 28);
static_assert(offsetof(TWheelLoginRequest, UserId) == 4);
static_assert(offsetof(TWheelLoginRequest, UserName) == 8);
static_assert(offsetof(TWheelLoginRequest, Align) == 25);

static_assert(sizeof(TWheelRequest) == 12);
static_assert(offsetof(TWheelRequest, UserId) == 4);
static_assert(offsetof(TWheelRequest, SessionId) == 8);

static_assert(sizeof(TWheelLoginReply) == 28);
static_assert(offsetof(TWheelLoginReply, UserId) == 4);
static_assert(offsetof(TWheelLoginReply, SessionId) == 8);
static_assert(offsetof(TWheelLoginReply, Coins) == 12);
static_assert(offsetof(TWheelLoginReply, Stake) == 16);
static_assert(offsetof(TWheelLoginReply, OnlineCount) == 20);
static_assert(offsetof(TWheelLoginReply, ResultCode) == 24);

static_assert(sizeof(TWheelStartReply) == 24);
static_assert(offsetof(TWheelStartReply, Sector) == 8);
static_assert(offsetof(TWheelStartReply, Prize) == 12);
static_assert(offsetof(TWheelStartReply, Balance) == 16);
static_assert(offsetof(TWheelStartReply, ResultCode) == 20);

static_assert(sizeof(TWheelResult) == 32);
static_assert(offsetof(TWheelResult, UserId) == 4);
static_assert(offsetof(TWheelResult, UserName) == 8);
static_assert(offsetof(TWheelResult, Prize) == 28);

// The record size that goes with a message id, or 0 for an id that is none of ours.
size_t RecordSize(int32_t msgId);

// The id in the first four bytes, or nothing for a packet shorter than that.
std::optional<int32_t> PeekMsgId(const uint8_t* data, size_t len);

// What the game client handles: login reply, start reply or result broadcast, each
// only with its exact length. Every other packet is dropped (0 is returned).
int32_t RecogniseReply(const uint8_t* data, size_t len);

// What the game server handles: a login request or one of the three requests that
// share TWheelRequest, each only with its exact length; otherwise 0.
int32_t RecogniseRequest(const uint8_t* data, size_t len);

// Building records.
TWheelLoginRequest MakeLoginRequest(int32_t userId, std::string_view userName);
TWheelRequest MakeRequest(int32_t msgId, int32_t userId, int32_t sessionId);
TWheelResult MakeResult(int32_t userId, std::string_view userName, int32_t prize);

// Names as bytes (GBK), cut to the field's room by bytes.
std::string LoginName(const TWheelLoginRequest& r);
std::string ResultName(const TWheelResult& r);

std::array<uint8_t, 28> Encode(const TWheelLoginRequest& r);
std::array<uint8_t, 12> Encode(const TWheelRequest& r);
std::array<uint8_t, 28> Encode(const TWheelLoginReply& r);
std::array<uint8_t, 24> Encode(const TWheelStartReply& r);
std::array<uint8_t, 32> Encode(const TWheelResult& r);

// Each Decode checks the length and the id first and reads nothing otherwise.
bool Decode(const uint8_t* data, size_t len, TWheelLoginRequest& out);
bool Decode(const uint8_t* data, size_t len, TWheelRequest& out);  // any of the three ids
bool Decode(const uint8_t* data, size_t len, TWheelLoginReply& out);
bool Decode(const uint8_t* data, size_t len, TWheelStartReply& out);
bool Decode(const uint8_t* data, size_t len, TWheelResult& out);

}  // namespace wheel
