// The update protocol's records: one record is one message on the TCP connection,
// with a one-byte id first.
//
//   FileRequest    (102)  0B | n | path[100]           client -> server
//   FileInfo       (12)   0C pad pad pad | FileSize | Missing pad pad pad
//   BlockRequest   (1)    0D                           client -> server
//   FileBlock      (888)  0E pad pad pad | DataLen | Data[880]
//   CancelTransfer (1)    0F                           client -> server
//   TransferDone   (1)    10                           client -> server
//
// Example, a 1000-byte "Versions.txt": FileRequest 0B 0C "Versions.txt" ...;
// FileInfo 0C .. .. .. E8 03 00 00 00 ...; blocks of 880 and 120 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace filetrans {

enum : uint8_t {
  kFileRequest = 11,
  kFileInfo = 12,
  kBlockRequest = 13,
  kFileBlock = 14,
  kCancelTransfer = 15,
  kTransferDone = 16,
};

constexpr size_t kPathRoom = 100;
constexpr int32_t kBlockDataRoom = 880;

struct TFileRequest {
  uint8_t Id = kFileRequest;
  uint8_t Path[1 + kPathRoom] = {};
};

struct TFileInfo {
  uint8_t Id = kFileInfo;
  uint8_t Align1[3] = {};
  int32_t FileSize = 0;
  uint8_t Missing = 0;
  uint8_t Align2[3] = {};
};

struct TFileBlock {
  uint8_t Id = kFileBlock;
  uint8_t Align[3] = {};
  int32_t DataLen = 0;
  uint8_t Data[kBlockDataRoom] = {};
};

static_assert(sizeof(TFileRequest) == 102);
static_assert(offsetof(TFileRequest, Path) == 1);
static_assert(sizeof(TFileInfo) == 12);
static_assert(offsetof(TFileInfo, FileSize) == 4);
static_assert(offsetof(TFileInfo, Missing) == 8);
static_assert(sizeof(TFileBlock) == 888);
static_assert(offsetof(TFileBlock, DataLen) == 4);
static_assert(offsetof(TFileBlock, Data) == 8);

// The size of the message that goes with an id, or 0 for an id that is none of ours.
size_t MessageSize(uint8_t id);

// Building: the path is cut to 100 bytes (possibly inside a GBK character).
std::array<uint8_t, 102> EncodeFileRequest(std::string_view path);
std::array<uint8_t, 12> EncodeFileInfo(int32_t fileSize, bool missing);
// At most 880 bytes of data; more is a caller's fault and is cut.
std::array<uint8_t, 888> EncodeFileBlock(const uint8_t* data, size_t len);
// BlockRequest, CancelTransfer and TransferDone are the id alone.
std::array<uint8_t, 1> EncodeSignal(uint8_t id);

// Reading: each checks the id and the exact length first and reads nothing else on
// a mismatch. The path is at most 100 bytes, whatever its length byte says.
bool DecodeFileRequest(const uint8_t* data, size_t len, std::string& path);
bool DecodeFileInfo(const uint8_t* data, size_t len, TFileInfo& out);
// DataLen is returned as sent; whether it lies in 0..880 is the receiver's check
// (BlockDataLenValid), since an out-of-range length must fail a transfer, not be
// ignored like a malformed message.
bool DecodeFileBlock(const uint8_t* data, size_t len, TFileBlock& out);
bool BlockDataLenValid(const TFileBlock& block);
// A one-byte signal message with one of the three signal ids; returns the id or 0.
uint8_t DecodeSignal(const uint8_t* data, size_t len);

}  // namespace filetrans
