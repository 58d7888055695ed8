// update.exe: checks for a newer published version, asks the user, ends the running
// target program, brings the installation up to date in its dialog, and starts the
// target program again once the dialog has closed.
#include <windows.h>

#include "uProcessKill.h"
#include "uUpdateClientMainForm.h"
#include "win/gbk_text.h"

// The exit code: 0 after a complete update or when there was nothing to do (or the
// user declined), 1 when the check or the update failed, 2 when the user stopped it.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    TForm1 form(&__GET_IOCP_CLIENT_CLASS);
    if (!form.CheckForNewVersion()) return form.ExitCode();
    const int answer = MessageBoxW(nullptr, gbk::ToWide("系统发现新版本，确定马上进行升级吗？").c_str(),
                                   gbk::ToWide("自动升级").c_str(), MB_YESNO | MB_ICONQUESTION);
    if (answer != IDYES) return 0;
    TerminateProcessesByName(form.ExeName());
    form.ShowAndStartTimer();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (!IsDialogMessageW(form.Handle(), &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    // The player wants to play, whatever became of the update.
    form.StartTargetProgram();
    return form.ExitCode();
  } catch (const std::exception& e) {
    MessageBoxW(nullptr, gbk::ToWide(e.what()).c_str(), L"update", MB_OK | MB_ICONERROR);
    return 1;
  }
}
