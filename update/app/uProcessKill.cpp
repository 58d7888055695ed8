#include "uProcessKill.h"

#include <windows.h>
#include <tlhelp32.h>

#include "uUpdateLogic.h"
#include "win/gbk_text.h"

bool TerminateProcessesByName(const std::string& name, unsigned waitMs) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  bool result = false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == self) continue;
    const std::string exe = gbk::FromWide(entry.szExeFile);
    const size_t slash = exe.find_last_of("\\/");
    const std::string file = slash == std::string::npos ? exe : exe.substr(slash + 1);
    if (!updatelogic::SameProgramName(file, name) && !updatelogic::SameProgramName(exe, name)) continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (process == nullptr) continue;
    result = TerminateProcess(process, 0) != FALSE;
    // Its files stay locked until it is really gone.
    if (result) WaitForSingleObject(process, waitMs);
    CloseHandle(process);
  }
  CloseHandle(snapshot);
  return result;
}
