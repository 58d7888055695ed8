// A copy of the running test program under a name of its own, for which Wine loads none
// of its audio drivers: a child run of it has no playing device. A child started from
// here takes its WINE* variables from Wine's Unix environment, not from the environment
// block it is given, so WINEDLLOVERRIDES cannot be changed for it; Wine's overrides for
// one program name (AppDefaults\<name>\DllOverrides) can, and they concern no other
// program of the prefix, also not one running beside.
#pragma once

#include <windows.h>

#include <string>

#include "win/gbk_text.h"

class ProgramWithoutAudio {
 public:
  // The copy goes into `folder` (GBK, with its backslash) as "<stem>_<process id>.exe".
  ProgramWithoutAudio(const std::string& folder, const std::wstring& stem) {
    const std::wstring name = stem + L"_" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    path_ = gbk::ToWide(folder) + name;
    key_ = L"Software\\Wine\\AppDefaults\\" + name;
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    copied_ = CopyFileW(self, path_.c_str(), FALSE) != FALSE;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return;
    }
    overridden_ = true;
    // An empty load order: the driver is not loaded at all.
    for (const wchar_t* driver : {L"winepulse.drv", L"winealsa.drv", L"wineoss.drv"}) {
      overridden_ = overridden_ && RegSetValueExW(key, driver, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""),
                                                  sizeof(wchar_t)) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
  }
  ~ProgramWithoutAudio() {
    RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str());
  }
  ProgramWithoutAudio(const ProgramWithoutAudio&) = delete;
  ProgramWithoutAudio& operator=(const ProgramWithoutAudio&) = delete;

  bool Ready() const { return copied_ && overridden_; }

  // Runs the copy with `args`; returns its exit code, or -1.
  long Run(const std::wstring& args) const {
    std::wstring cmd = L"\"" + path_ + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(path_.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<long>(code);
  }

 private:
  std::wstring path_;
  std::wstring key_;
  bool copied_ = false;
  bool overridden_ = false;
};
