#include "uVersionFile.h"

#include "text/profile.h"

#ifdef _WIN32
#include <windows.h>

#include "win/gbk_text.h"
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "io/input_file.h"
#endif

namespace version {

#ifdef _WIN32

int32_t ReadVersionFile(const std::string& path) {
  wchar_t buf[256] = {};
  GetPrivateProfileStringW(L"ver", L"LastVer", L"", buf, 256, gbk::ToWide(path).c_str());
  return ParseProfileInt(gbk::FromWide(buf)).value_or(0);
}

bool WriteVersionFile(const std::string& path, int32_t version, std::string* error) {
  const std::wstring value = std::to_wstring(version);
  if (WritePrivateProfileStringW(L"ver", L"lastVer", value.c_str(), gbk::ToWide(path).c_str())) return true;
  if (error) *error = "cannot write " + path + " (error " + std::to_string(GetLastError()) + ")";
  return false;
}

#else

int32_t ReadVersionFile(const std::string& path) {
  std::string content;
  std::string error;
  if (!io::ReadWholeFile(path, content, error)) return 0;
  const auto value = FindProfileValue(content, "ver", "LastVer");
  return value ? ParseProfileInt(*value).value_or(0) : 0;
}

bool WriteVersionFile(const std::string& path, int32_t version, std::string* error) {
  std::string content;
  std::string readError;
  io::ReadWholeFile(path, content, readError);  // a missing file starts empty
  const std::string updated = SetProfileValue(content, "ver", "lastVer", std::to_string(version));
  // Written beside the file and renamed over it, so a reader sees the old or the new
  // file, never a part of one.
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(updated.data(), static_cast<std::streamsize>(updated.size()));
    out.flush();
    if (!out) {
      if (error) *error = "cannot write " + temp;
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    if (error) *error = "cannot rename " + temp + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

#endif

}  // namespace version
