// A stand-in for the program the updater ends and starts again. Each start appends
// one line (UTF-8) to "<its own path>.log":
//   start pid=<pid> args=[<arguments as given>] cwd=<working folder>
// and it then keeps running until it is terminated, unless "<its own path>.exit"
// exists, in which case it ends at once.
#include <windows.h>

#include <string>

#include "win/gbk_text.h"
#include "win/module_path.h"

namespace {

// The command line after the program's name, exactly as it was given. The name ends
// at its closing quote when quoted, otherwise at the first blank (the rule the
// system's own command-line parsing uses for it).
std::wstring Arguments() {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

std::wstring CurrentDirectory() {
  const DWORD n = GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return std::wstring();
  std::wstring dir(n, L'\0');
  const DWORD got = GetCurrentDirectoryW(n, dir.data());
  dir.resize(got < n ? got : 0);
  return dir;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::wstring self = winapp::ModuleFileName();
  if (self.empty()) return 1;
  const std::string line = "start pid=" + std::to_string(GetCurrentProcessId()) + " args=[" +
                           utf8::FromWide(Arguments()) + "] cwd=" + utf8::FromWide(CurrentDirectory()) + "\r\n";
  // Append-only access with sharing: instances started together each add their own
  // whole line (one write each) without overwriting another's.
  HANDLE log = CreateFileW((self + L".log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok = WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(log);
  if (!ok || written != line.size()) return 1;

  if (GetFileAttributesW((self + L".exit").c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
  for (;;) Sleep(INFINITE);
}
