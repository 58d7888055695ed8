#include "uFileDigest.h"

#include <gcrypt.h>

#include <memory>
#include <mutex>
#include <vector>

#include "io/input_file.h"

namespace {

constexpr int64_t kSkippedHead = 4048;
// Reads past the first block may be any size: only the byte positions matter.
constexpr size_t kReadChunk = 256 * 1024;

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

std::string FileMd5(const std::string& path) {
  int64_t size;
  {
    io::InputFile probe = io::InputFile::Open(path);
    if (!probe.IsOpen()) return std::string();
    size = probe.Size();
  }
  if (size <= 0) return std::string();

  io::InputFile file = io::InputFile::Open(path);
  if (!file.IsOpen()) return std::string();
  std::vector<unsigned char> buffer(kReadChunk);

  const int64_t first = file.Read(buffer.data(), static_cast<size_t>(kSkippedHead));
  if (first <= 0) return std::string();

  Md5Context md5;
  if (!md5.handle) return std::string();
  if (size <= kSkippedHead) {
    // A small file is digested whole, but never past the size it had when measured.
    md5.Feed(buffer.data(), static_cast<size_t>(std::min(first, size)));
    return md5.Finish();
  }

  int64_t position = first;
  while (position < size) {
    const int64_t n = file.Read(buffer.data(), buffer.size());
    if (n <= 0) break;  // a failed or short read ends the feeding
    const int64_t take = std::min(n, size - position);
    md5.Feed(buffer.data(), static_cast<size_t>(take));
    position += n;
  }
  return md5.Finish();
}
