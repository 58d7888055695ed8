#include "usFunction.h"

#include <windows.h>

#include <mutex>

#include "win/gbk_text.h"
#include "win/module_path.h"

const TsFunction sFunction{};

namespace {
std::mutex titleLock;
std::string applicationTitle = "Gyrelot";
}  // namespace

void SetApplicationTitle(const std::string& title) {
  std::lock_guard<std::mutex> lock(titleLock);
  applicationTitle = title;
}

std::string GetApplicationTitle() {
  std::lock_guard<std::mutex> lock(titleLock);
  return applicationTitle;
}

std::string TsFunction::GetAppPath() const { return winapp::ProgramFolder(); }

void TsFunction::ShowMsg(const std::string& text) const {
  const std::wstring body = gbk::ToWide(text);
  const std::wstring caption = gbk::ToWide(GetApplicationTitle());
  MessageBoxW(GetActiveWindow(), body.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}
