#include <gtest/gtest.h>

#include <string>

#include "test_bytes.h"
#include "wire/uFileTrans_Struc.h"

using namespace filetrans;

TEST(FileTransRecords, WorkedExampleOfAThousandByteFile) {
  // The request for "Versions.txt".
  const Bytes request = ToBytes(EncodeFileRequest("Versions.txt"));
  ASSERT_EQ(request.size(), 102u);
  Bytes expected = Padded(Bytes{11, 12}, 102);
  const std::string name = "Versions.txt";
  for (size_t i = 0; i < name.size(); ++i) expected[2 + i] = static_cast<uint8_t>(name[i]);
  EXPECT_EQ(request, expected);

  EXPECT_EQ(ToBytes(EncodeFileInfo(1000, false)), (Bytes{12, 0, 0, 0, 0xE8, 0x03, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(ToBytes(EncodeSignal(kBlockRequest)), Bytes{13});

  Bytes file(1000);
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 7);
  const Bytes first = ToBytes(EncodeFileBlock(file.data(), 880));
  const Bytes second = ToBytes(EncodeFileBlock(file.data() + 880, 120));
  ASSERT_EQ(first.size(), 888u);
  ASSERT_EQ(second.size(), 888u);
  EXPECT_EQ(Bytes(first.begin(), first.begin() + 8), (Bytes{14, 0, 0, 0, 0x70, 0x03, 0, 0}));
  EXPECT_EQ(Bytes(second.begin(), second.begin() + 8), (Bytes{14, 0, 0, 0, 0x78, 0x00, 0, 0}));
  EXPECT_EQ(Bytes(first.begin() + 8, first.end()), Bytes(file.begin(), file.begin() + 880));
  EXPECT_EQ(Bytes(second.begin() + 8, second.begin() + 128), Bytes(file.begin() + 880, file.end()));
  EXPECT_EQ(ToBytes(EncodeSignal(kTransferDone)), Bytes{16});
  EXPECT_EQ(ToBytes(EncodeSignal(kCancelTransfer)), Bytes{15});
}

struct PathCase {
  const char* what;
  std::string path;
  uint8_t lengthByte;
};

TEST(FileTransRecords, PathIsCutToOneHundredBytes) {
  std::string gbkChars;
  for (int i = 0; i < 51; ++i) gbkChars += "测";  // 102 bytes
  const PathCase cases[] = {
      {"exactly 100", std::string(100, 'p'), 100},
      {"101", std::string(101, 'p'), 100},
      {"300", std::string(300, 'p'), 100},
      {"empty", "", 0},
      {"with folders", "GameSkin\\Wheel\\png\\w.png", 24},
      {"GBK, cut between characters", gbkChars, 100},
      {"GBK, cut inside a character", "a" + gbkChars, 100},
  };
  for (const auto& c : cases) {
    const auto bytes = EncodeFileRequest(c.path);
    EXPECT_EQ(bytes[0], kFileRequest) << c.what;
    EXPECT_EQ(bytes[1], c.lengthByte) << c.what;
    EXPECT_EQ(std::string(bytes.begin() + 2, bytes.begin() + 2 + c.lengthByte),
              c.path.substr(0, c.lengthByte))
        << c.what;
    std::string decoded;
    ASSERT_TRUE(DecodeFileRequest(bytes.data(), bytes.size(), decoded)) << c.what;
    EXPECT_EQ(decoded, c.path.substr(0, c.lengthByte)) << c.what;
  }
}

TEST(FileTransRecords, RequestPathLengthAboveRoomReadsAtMostTheRoom) {
  auto bytes = EncodeFileRequest(std::string(100, 'x'));
  bytes[1] = 255;
  const auto exact = ExactCopy(ToBytes(bytes), bytes.size());
  std::string path;
  ASSERT_TRUE(DecodeFileRequest(exact.data(), exact.size(), path));
  EXPECT_EQ(path, std::string(100, 'x'));
}

TEST(FileTransRecords, FileInfoCarriesSizeAndMissing) {
  struct Case {
    Bytes bytes;
    int32_t size;
    uint8_t missing;
  } cases[] = {
      {{12, 9, 9, 9, 0xE8, 0x03, 0, 0, 0, 9, 9, 9}, 1000, 0},  // alignment bytes are not read
      {{12, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}, 0, 1},
      {{12, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0}, 0, 0xFF},
      {{12, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, -1, 0},
  };
  for (const auto& c : cases) {
    TFileInfo info;
    ASSERT_TRUE(DecodeFileInfo(c.bytes.data(), c.bytes.size(), info));
    EXPECT_EQ(info.FileSize, c.size);
    EXPECT_EQ(info.Missing, c.missing);
  }
  EXPECT_EQ(ToBytes(EncodeFileInfo(0, true)), (Bytes{12, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}));
}

TEST(FileTransRecords, BlockDataLenIsReportedAsSentAndCheckedApart) {
  struct Case {
    int32_t dataLen;
    bool valid;
  } cases[] = {{0, true}, {1, true}, {880, true}, {881, false}, {-1, false}, {INT32_MIN, false}};
  for (const auto& c : cases) {
    auto bytes = EncodeFileBlock(nullptr, 0);
    bytes[4] = static_cast<uint8_t>(c.dataLen);
    bytes[5] = static_cast<uint8_t>(c.dataLen >> 8);
    bytes[6] = static_cast<uint8_t>(c.dataLen >> 16);
    bytes[7] = static_cast<uint8_t>(static_cast<uint32_t>(c.dataLen) >> 24);
    TFileBlock block;
    ASSERT_TRUE(DecodeFileBlock(bytes.data(), bytes.size(), block)) << c.dataLen;
    EXPECT_EQ(block.DataLen, c.dataLen);
    EXPECT_EQ(BlockDataLenValid(block), c.valid) << c.dataLen;
  }
  // A sender never puts more than the area holds.
  Bytes big(2000, 0xAB);
  const auto capped = EncodeFileBlock(big.data(), big.size());
  EXPECT_EQ(capped[4] | capped[5] << 8, 880);
}

TEST(FileTransRecords, DecodersAcceptOnlyTheirIdAndExactLength) {
  const Bytes info = ToBytes(EncodeFileInfo(5, false));
  const Bytes block = ToBytes(EncodeFileBlock(reinterpret_cast<const uint8_t*>("hello"), 5));
  const Bytes request = ToBytes(EncodeFileRequest("a.txt"));
  for (size_t len = 0; len <= 890; ++len) {
    TFileInfo i;
    TFileBlock b;
    std::string p;
    const auto infoBuf = ExactCopy(info, len);
    const auto blockBuf = ExactCopy(block, len);
    const auto requestBuf = ExactCopy(request, len);
    EXPECT_EQ(DecodeFileInfo(infoBuf.data(), len, i), len == 12) << len;
    EXPECT_EQ(DecodeFileBlock(blockBuf.data(), len, b), len == 888) << len;
    EXPECT_EQ(DecodeFileRequest(requestBuf.data(), len, p), len == 102) << len;
  }
  // A message of the right length with another id is not that message.
  TFileInfo i;
  TFileBlock b;
  Bytes wrongInfo = info;
  wrongInfo[0] = kFileBlock;
  Bytes wrongBlock = block;
  wrongBlock[0] = kFileInfo;
  EXPECT_FALSE(DecodeFileInfo(wrongInfo.data(), wrongInfo.size(), i));
  EXPECT_FALSE(DecodeFileBlock(wrongBlock.data(), wrongBlock.size(), b));
  EXPECT_FALSE(DecodeFileInfo(nullptr, 12, i));
}

TEST(FileTransRecords, SignalsAreOneByteEach) {
  struct Case {
    Bytes bytes;
    uint8_t expected;
  } cases[] = {
      {{13}, kBlockRequest},
      {{15}, kCancelTransfer},
      {{16}, kTransferDone},
      {{11}, 0},
      {{14}, 0},
      {{13, 0}, 0},
      {{}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeSignal(c.bytes.data(), c.bytes.size()), c.expected);
  EXPECT_EQ(MessageSize(kFileRequest), 102u);
  EXPECT_EQ(MessageSize(kFileInfo), 12u);
  EXPECT_EQ(MessageSize(kFileBlock), 888u);
  EXPECT_EQ(MessageSize(99), 0u);
}
