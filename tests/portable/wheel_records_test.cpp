#include <gtest/gtest.h>

#include <string>

#include "test_bytes.h"
#include "wire/uGyrelot_Struc.h"

using namespace wheel;

TEST(WheelRecords, IdsMatchTheirWireValues) {
  // 30101 = 0x7595 and so on: checked against the bytes the server sends.
  EXPECT_EQ(ToBytes(Encode(MakeRequest(WHEEL_LOGOUT, 0, 0))), Padded({0x97, 0x75}, 12));
  EXPECT_EQ(ToBytes(Encode(MakeRequest(WHEEL_HEARTBEAT, 0, 0))), Padded({0x98, 0x75}, 12));
  EXPECT_EQ(ToBytes(Encode(MakeRequest(WHEEL_START, 0, 0))), Padded({0x9F, 0x75}, 12));
}

struct EncodeCase {
  const char* what;
  Bytes actual;
  Bytes expected;
};

TEST(WheelRecords, EncodeByteByByte) {
  TWheelLoginReply login;
  login.UserId = 5;
  login.SessionId = 0x12345678;
  login.Coins = 1000;
  login.Stake = 10;
  login.OnlineCount = 3;
  TWheelStartReply start;
  start.Sector = 3;
  start.Prize = 50;
  start.Balance = 1040;
  start.ResultCode = 1;

  const EncodeCase cases[] = {
      {"login request", ToBytes(Encode(MakeLoginRequest(7, "ab"))),
       Padded({0x95, 0x75, 0, 0, 7, 0, 0, 0, 2, 'a', 'b'}, 28)},
      {"heartbeat, negative session",
       ToBytes(Encode(MakeRequest(WHEEL_HEARTBEAT, 0x01020304, -2))),
       {0x98, 0x75, 0, 0, 0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF}},
      {"login reply", ToBytes(Encode(login)), {0x96, 0x75, 0,    0,    5, 0, 0,  0, 0x78, 0x56,
                                               0x34, 0x12, 0xE8, 0x03, 0, 0, 10, 0, 0,    0,
                                               3,    0,    0,    0,    0, 0, 0,  0}},
      {"start reply", ToBytes(Encode(start)), {0xA0, 0x75, 0, 0, 0,    0,    0, 0, 3, 0, 0, 0,
                                               50,   0,    0, 0, 0x10, 0x04, 0, 0, 1, 0, 0, 0}},
      {"result",
       ToBytes(Encode(MakeResult(9, "bob", -5))),
       {0xA1, 0x75, 0, 0, 9, 0, 0, 0, 3, 'b', 'o', 'b', 0,    0,    0,    0,
        0,    0,    0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0xFB, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
}

TEST(WheelRecords, RepliesDecodeFieldByField) {
  const Bytes loginBytes = {0x96, 0x75, 0,  0, 5, 0, 0, 0, 0x78, 0x56, 0x34, 0x12, 0xE8, 0x03,
                            0,    0,    10, 0, 0, 0, 3, 0, 0,    0,    7,    0xAA, 0xBB, 0xCC};
  TWheelLoginReply login;
  ASSERT_TRUE(Decode(loginBytes.data(), loginBytes.size(), login));
  EXPECT_EQ(login.UserId, 5);
  EXPECT_EQ(login.SessionId, 0x12345678);
  EXPECT_EQ(login.Coins, 1000);
  EXPECT_EQ(login.Stake, 10);
  EXPECT_EQ(login.OnlineCount, 3);
  EXPECT_EQ(login.ResultCode, 7);

  const Bytes startBytes = {0xA0, 0x75, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 8, 0,    0,    0,
                            0,    0,    0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0x11, 0x22, 0x33};
  TWheelStartReply start;
  ASSERT_TRUE(Decode(startBytes.data(), startBytes.size(), start));
  EXPECT_EQ(start.Sector, 8);
  EXPECT_EQ(start.Prize, 0);
  EXPECT_EQ(start.Balance, 0x7FFFFFFF);
  EXPECT_EQ(start.ResultCode, 0);

  TWheelResult result;
  const auto resultBytes = Encode(MakeResult(-1, "张三", 100));
  ASSERT_TRUE(Decode(resultBytes.data(), resultBytes.size(), result));
  EXPECT_EQ(result.UserId, -1);
  EXPECT_EQ(ResultName(result), "张三");
  EXPECT_EQ(result.Prize, 100);
}

TEST(WheelRecords, RequestsDecodeOnTheServerSide) {
  const auto login = Encode(MakeLoginRequest(42, "幸运"));
  TWheelLoginRequest req;
  ASSERT_TRUE(Decode(login.data(), login.size(), req));
  EXPECT_EQ(req.UserId, 42);
  EXPECT_EQ(LoginName(req), "幸运");

  for (int32_t id : {WHEEL_LOGOUT, WHEEL_HEARTBEAT, WHEEL_START}) {
    const auto bytes = Encode(MakeRequest(id, 3, 77));
    TWheelRequest r;
    ASSERT_TRUE(Decode(bytes.data(), bytes.size(), r)) << id;
    EXPECT_EQ(r.MsgId, id);
    EXPECT_EQ(r.UserId, 3);
    EXPECT_EQ(r.SessionId, 77);
  }
  // A reply id in a request-sized packet is not a request.
  const auto reply = Encode(MakeRequest(WHEEL_START_REPLY, 3, 77));
  TWheelRequest r;
  EXPECT_FALSE(Decode(reply.data(), reply.size(), r));
}

struct NameCase {
  const char* what;
  std::string name;
  uint8_t lengthByte;
  std::string sent;
};

TEST(WheelRecords, LoginNameIsCutByBytesToSixteen) {
  const std::string twenty = "abcdefghijklmnopqrst";
  const std::string gbk = "a幸运大转盘测试币";  // 1 + 8 * 2 = 17 bytes
  ASSERT_EQ(gbk.size(), 17u);
  const NameCase cases[] = {
      {"20 bytes", twenty, 16, twenty.substr(0, 16)},
      {"exactly 16", twenty.substr(0, 16), 16, twenty.substr(0, 16)},
      {"15", twenty.substr(0, 15), 15, twenty.substr(0, 15)},
      {"empty", "", 0, ""},
      // The cut falls inside the last character and keeps its lead byte only.
      {"cut inside a GBK character", gbk, 16, gbk.substr(0, 16)},
  };
  for (const auto& c : cases) {
    const auto bytes = Encode(MakeLoginRequest(1, c.name));
    EXPECT_EQ(bytes[8], c.lengthByte) << c.what;
    EXPECT_EQ(std::string(bytes.begin() + 9, bytes.begin() + 9 + c.lengthByte), c.sent) << c.what;
    // Room after the name, and the alignment, are zero.
    for (size_t i = 9 + c.lengthByte; i < 28; ++i) EXPECT_EQ(bytes[i], 0) << c.what << " byte " << i;
  }
  const auto cut = Encode(MakeLoginRequest(1, gbk));
  EXPECT_EQ(cut[24], static_cast<uint8_t>(std::string("币")[0]));
}

TEST(WheelRecords, ResultNameHasRoomForNineteen) {
  const std::string long_name = "abcdefghijklmnopqrstuvwxyz";
  const auto bytes = Encode(MakeResult(1, long_name, 0));
  EXPECT_EQ(bytes[8], 19);
  TWheelResult r;
  ASSERT_TRUE(Decode(bytes.data(), bytes.size(), r));
  EXPECT_EQ(ResultName(r), long_name.substr(0, 19));
}

TEST(WheelRecords, ResultNameLengthAboveRoomReadsAtMostNineteen) {
  for (uint8_t lengthByte : {20, 21, 200, 255}) {
    auto bytes = Encode(MakeResult(1, "abcdefghijklmnopqrs", 0x01020304));
    bytes[8] = lengthByte;
    const auto exact = ExactCopy(ToBytes(bytes), bytes.size());
    TWheelResult r;
    ASSERT_TRUE(Decode(exact.data(), exact.size(), r));
    EXPECT_EQ(ResultName(r), "abcdefghijklmnopqrs") << int(lengthByte);
    EXPECT_EQ(r.Prize, 0x01020304);  // the name never spills into the prize
  }
}

struct RecogniseCase {
  const char* what;
  int32_t id;
  size_t len;
  int32_t expected;
};

// A packet of exactly `len` bytes that starts with `id` (as far as it reaches).
Bytes PacketOf(int32_t id, size_t len) {
  Bytes full(64, 0);
  full[0] = static_cast<uint8_t>(id);
  full[1] = static_cast<uint8_t>(id >> 8);
  return ExactCopy(full, len);
}

TEST(WheelRecords, ClientHandlesOnlyRepliesOfTheirExactLength) {
  const RecogniseCase cases[] = {
      {"login reply 28", WHEEL_LOGIN_REPLY, 28, WHEEL_LOGIN_REPLY},
      {"login reply 27", WHEEL_LOGIN_REPLY, 27, 0},
      {"login reply 29", WHEEL_LOGIN_REPLY, 29, 0},
      {"start reply 24", WHEEL_START_REPLY, 24, WHEEL_START_REPLY},
      {"start reply 28 (a size of another record)", WHEEL_START_REPLY, 28, 0},
      {"start reply 23", WHEEL_START_REPLY, 23, 0},
      {"result 32", WHEEL_RESULT, 32, WHEEL_RESULT},
      {"result 31", WHEEL_RESULT, 31, 0},
      {"result 33", WHEEL_RESULT, 33, 0},
      {"login request is not for the client", WHEEL_LOGIN, 28, 0},
      {"heartbeat is not for the client", WHEEL_HEARTBEAT, 12, 0},
      {"unknown id", 12345, 28, 0},
      {"id only", WHEEL_RESULT, 4, 0},
      {"shorter than an id", WHEEL_LOGIN_REPLY, 3, 0},
      {"one byte", WHEEL_LOGIN_REPLY, 1, 0},
      {"empty", WHEEL_LOGIN_REPLY, 0, 0},
  };
  for (const auto& c : cases) {
    const auto exact = PacketOf(c.id, c.len);
    EXPECT_EQ(RecogniseReply(exact.data(), exact.size()), c.expected) << c.what;
  }
  EXPECT_EQ(RecogniseReply(nullptr, 0), 0);
}

TEST(WheelRecords, ServerHandlesOnlyRequestsOfTheirExactLength) {
  const RecogniseCase cases[] = {
      {"login 28", WHEEL_LOGIN, 28, WHEEL_LOGIN},
      {"login 27", WHEEL_LOGIN, 27, 0},
      {"logout 12", WHEEL_LOGOUT, 12, WHEEL_LOGOUT},
      {"heartbeat 12", WHEEL_HEARTBEAT, 12, WHEEL_HEARTBEAT},
      {"heartbeat 13", WHEEL_HEARTBEAT, 13, 0},
      {"start 12", WHEEL_START, 12, WHEEL_START},
      {"start 11", WHEEL_START, 11, 0},
      {"a reply sent to the server", WHEEL_LOGIN_REPLY, 28, 0},
      {"short", WHEEL_START, 2, 0},
  };
  for (const auto& c : cases) {
    const auto exact = PacketOf(c.id, c.len);
    EXPECT_EQ(RecogniseRequest(exact.data(), exact.size()), c.expected) << c.what;
  }
}

// Every decoder, given every length from 0 to one past its record, accepts only the
// exact length and never reads outside the buffer (the sanitizer build checks that).
template <class Record, class Encoded>
void CheckOnlyExactLengthDecodes(const Encoded& encoded) {
  const Bytes good = ToBytes(encoded);
  for (size_t len = 0; len <= good.size() + 1; ++len) {
    const auto exact = ExactCopy(good, len);
    Record r;
    EXPECT_EQ(Decode(exact.data(), exact.size(), r), len == good.size()) << "length " << len;
  }
}

TEST(WheelRecords, DecodersRejectTruncatedAndOversizedInput) {
  CheckOnlyExactLengthDecodes<TWheelLoginRequest>(Encode(MakeLoginRequest(1, "x")));
  CheckOnlyExactLengthDecodes<TWheelRequest>(Encode(MakeRequest(WHEEL_START, 1, 2)));
  CheckOnlyExactLengthDecodes<TWheelLoginReply>(Encode(TWheelLoginReply{}));
  CheckOnlyExactLengthDecodes<TWheelStartReply>(Encode(TWheelStartReply{}));
  CheckOnlyExactLengthDecodes<TWheelResult>(Encode(MakeResult(1, "x", 2)));
}
