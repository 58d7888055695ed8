// What the install and update-run tests do with files and with themselves: GBK paths
// read and written through the W functions, attribute checks, the version as the
// profile functions read it, read-only flags cleared before a temporary folder goes,
// and the test program started again as its own helper (its folder argument passed as
// hex GBK bytes, so that no code page stands between the two).
#pragma once

#include <windows.h>

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/gbk_text.h"
#include "win/handle.h"

namespace installtest {

inline std::wstring W(const std::string& gbkText) {
  return gbk::ToWide(gbkText);
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
  winapp::UniqueHandle f(
      CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return f && WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// The file's bytes; nothing when there is no file to read.
inline std::optional<std::string> ReadBytes(const std::string& path) {
  winapp::UniqueHandle f(CreateFileW(W(path).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return std::nullopt;
  std::string bytes;
  std::vector<char> buf(256 * 1024);
  DWORD got = 0;
  while (ReadFile(f.get(), buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr) && got > 0) {
    bytes.append(buf.data(), got);
  }
  return bytes;
}

inline DWORD Attributes(const std::string& path) {
  return GetFileAttributesW(W(path).c_str());
}
inline bool IsFile(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}
inline bool IsFolder(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
inline bool IsReadOnly(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}
inline void MakeFolder(const std::string& path) {
  CreateDirectoryW(W(path).c_str(), nullptr);
}

// What the profile functions read for the version, as the updater and the game read it.
inline std::wstring ProfileVersion(const std::string& path, const wchar_t* key) {
  wchar_t buf[64] = {};
  GetPrivateProfileStringW(L"ver", key, L"", buf, 64, W(path).c_str());
  return buf;
}

// Read-only files would outlive the temporary folder's removal.
inline void ClearReadOnly(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ClearReadOnly(path);
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

inline std::wstring Hex(const std::string& bytes) {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring out;
  for (const unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

inline std::optional<std::string> FromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    unsigned value = 0;
    const auto [ptr, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
    if (ec != std::errc() || ptr != hex.data() + i + 2) return std::nullopt;
    out += static_cast<char>(value);
  }
  return out;
}

// Starts this program again with `arguments` and waits up to a minute; its exit code
// (1000 when it could not be started, 1001 when it had to be ended).
inline DWORD RunSelf(const std::wstring& arguments) {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring cmd = L"\"" + std::wstring(exe) + L"\" " + arguments;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1000;
  winapp::UniqueHandle process(pi.hProcess);
  winapp::UniqueHandle thread(pi.hThread);
  if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    return 1001;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

}  // namespace installtest
