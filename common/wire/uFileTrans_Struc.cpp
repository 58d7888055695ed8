#include "uFileTrans_Struc.h"

#include <algorithm>
#include <cstring>

#include "byte_order.h"
#include "length_prefixed.h"

namespace filetrans {

size_t MessageSize(uint8_t id) {
  switch (id) {
    case kFileRequest: return sizeof(TFileRequest);
    case kFileInfo: return sizeof(TFileInfo);
    case kFileBlock: return sizeof(TFileBlock);
    case kBlockRequest:
    case kCancelTransfer:
    case kTransferDone: return 1;
    default: return 0;
  }
}

namespace {
bool IsMessage(const uint8_t* data, size_t len, uint8_t id) {
  return data != nullptr && len == MessageSize(id) && data[0] == id;
}
}  // namespace

std::array<uint8_t, 102> EncodeFileRequest(std::string_view path) {
  std::array<uint8_t, 102> b{};
  b[0] = kFileRequest;
  wire::PutLengthPrefixed(&b[1], kPathRoom, path);
  return b;
}

std::array<uint8_t, 12> EncodeFileInfo(int32_t fileSize, bool missing) {
  std::array<uint8_t, 12> b{};
  b[0] = kFileInfo;
  wire::PutI32(&b[4], fileSize);
  b[8] = missing ? 1 : 0;
  return b;
}

std::array<uint8_t, 888> EncodeFileBlock(const uint8_t* data, size_t len) {
  std::array<uint8_t, 888> b{};
  const size_t n = std::min(len, static_cast<size_t>(kBlockDataRoom));
  b[0] = kFileBlock;
  wire::PutI32(&b[4], static_cast<int32_t>(n));
  if (n > 0) std::memcpy(&b[8], data, n);
  return b;
}

std::array<uint8_t, 1> EncodeSignal(uint8_t id) { return {id}; }

bool DecodeFileRequest(const uint8_t* data, size_t len, std::string& path) {
  if (!IsMessage(data, len, kFileRequest)) return false;
  path = wire::GetLengthPrefixed(data + 1, kPathRoom);
  return true;
}

bool DecodeFileInfo(const uint8_t* data, size_t len, TFileInfo& out) {
  if (!IsMessage(data, len, kFileInfo)) return false;
  out = TFileInfo{};
  out.FileSize = wire::GetI32(data + 4);
  out.Missing = data[8];
  return true;
}

bool DecodeFileBlock(const uint8_t* data, size_t len, TFileBlock& out) {
  if (!IsMessage(data, len, kFileBlock)) return false;
  out.Id = kFileBlock;
  out.DataLen = wire::GetI32(data + 4);
  std::memcpy(out.Data, data + 8, sizeof out.Data);
  return true;
}

bool BlockDataLenValid(const TFileBlock& block) {
  return block.DataLen >= 0 && block.DataLen <= kBlockDataRoom;
}

uint8_t DecodeSignal(const uint8_t* data, size_t len) {
  if (data == nullptr || len != 1) return 0;
  const uint8_t id = data[0];
  return (id == kBlockRequest || id == kCancelTransfer || id == kTransferDone) ? id : 0;
}

}  // namespace filetrans
