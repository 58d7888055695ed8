#include "uProcessKill.h"

#include <windows.h>
#include <tlhelp32.h>

#include "uUpdateLogic.h"
#include "win/gbk_text.h"
#include "win/handle.h"

bool TerminateProcessesByName(const std::string& name, unsigned waitMs) {
  const winapp::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  bool result = false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == self) continue;
    const std::string exe = gbk::FromWide(entry.szExeFile);
    const size_t slash = exe.find_last_of("\\/");
    const std::string file = slash == std::string::npos ? exe : exe.substr(slash + 1);
    if (!updatelogic::SameProgramName(file, name) && !updatelogic::SameProgramName(exe, name)) continue;
    const winapp::UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!process) continue;
    result = TerminateProcess(process.get(), 0) != FALSE;
    // Its files stay locked until it is really gone.
    if (result) WaitForSingleObject(process.get(), waitMs);
  }
  return result;
}
