#include "uFileDigest.h"

#include <gcrypt.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "io/input_file.h"

namespace {

constexpr int64_t kSkippedHead = 4048;
// Reads past the first block may be any size: only the byte positions matter.
constexpr size_t kReadChunk = 256 * 1024;
// How often a long digest asks whether to go on.
constexpr int64_t kAskEvery = 4 * 1024 * 1024;

void InitGcrypt() {
  static std::once_flag once;
  std::call_once(once, [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  });
}

struct Md5Context {
  gcry_md_hd_t handle = nullptr;
  Md5Context() {
    InitGcrypt();
    if (gcry_md_open(&handle, GCRY_MD_MD5, 0) != 0) handle = nullptr;
  }
  ~Md5Context() {
    if (handle) gcry_md_close(handle);
  }
  Md5Context(const Md5Context&) = delete;
  Md5Context& operator=(const Md5Context&) = delete;
  void Feed(const void* data, size_t len) {
    if (len > 0) gcry_md_write(handle, data, len);
  }
  std::string Finish() { return DigestHex(gcry_md_read(handle, GCRY_MD_MD5), 16); }
};

}  // namespace

std::string DigestHex(const unsigned char* digest, size_t len) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(len * 2);
  for (size_t i = 0; i < len; ++i) {
    out += kDigits[digest[i] >> 4];
    out += kDigits[digest[i] & 0x0F];
  }
  return out;
}

std::string Md5OfBytes(const void* data, size_t len) {
  Md5Context md5;
  if (!md5.handle) return std::string();
  md5.Feed(data, len);
  return md5.Finish();
}

std::optional<std::string> FileMd5(const std::string& path, const std::function<bool()>& keepGoing) {
  io::InputFile file = io::InputFile::Open(path);
  if (!file.IsOpen()) return std::nullopt;
  // The size when first opened: bytes added later are never fed.
  const int64_t size = file.Size();
  if (size < 0) return std::nullopt;
  if (size == 0) return std::string();

  Md5Context md5;
  if (!md5.handle) return std::nullopt;
  std::vector<unsigned char> buffer(kReadChunk);
  const int64_t firstWanted = std::min(size, kSkippedHead);
  int64_t position = 0;
  while (position < firstWanted) {
    const int64_t n = file.Read(buffer.data() + position, static_cast<size_t>(firstWanted - position));
    if (n <= 0) return std::nullopt;
    position += n;
  }
  if (size <= kSkippedHead) {
    // A small file is digested whole.
    md5.Feed(buffer.data(), static_cast<size_t>(size));
    return md5.Finish();
  }
  int64_t sinceAsked = 0;
  while (position < size) {
    const int64_t n =
        file.Read(buffer.data(), static_cast<size_t>(std::min<int64_t>(kReadChunk, size - position)));
    if (n <= 0) return std::nullopt;  // a failed or short read: no digest of a part
    md5.Feed(buffer.data(), static_cast<size_t>(n));
    position += n;
    sinceAsked += n;
    if (keepGoing && sinceAsked >= kAskEvery) {
      sinceAsked = 0;
      if (!keepGoing()) return std::nullopt;
    }
  }
  return md5.Finish();
}
