#include "gbk_iconv.h"

#include <iconv.h>

#include <cerrno>

namespace host {

namespace {

// "CP936" is Windows' code page 936 (GBK plus the euro sign at 0x80), which is what
// MultiByteToWideChar(936) reads on the client side.
bool Convert(const char* to, const char* from, std::string_view in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string result(in.size() * 2 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  size_t done = 0;
  bool ok = true;
  while (srcLeft > 0) {
    char* dst = result.data() + done;
    size_t dstLeft = result.size() - done;
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    done = result.size() - dstLeft;
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) {
      result.resize(result.size() * 2);
      continue;
    }
    ok = false;  // EILSEQ or EINVAL: a character without a form, or a cut one
    break;
  }
  iconv_close(cd);
  if (!ok) return false;
  result.resize(done);
  out = std::move(result);
  return true;
}

}  // namespace

bool Utf8ToGbk(std::string_view utf8, std::string& gbk) { return Convert("CP936", "UTF-8", utf8, gbk); }

bool GbkToUtf8(std::string_view gbk, std::string& utf8) { return Convert("UTF-8", "CP936", gbk, utf8); }

}  // namespace host
