// The utility object under Wine. This program also runs as its own helper: started
// with --write-app-path <file> it writes what GetAppPath returns and exits, so a
// copy of it placed in another folder shows what GetAppPath says there.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "usFunction.h"
#include "win/gbk_text.h"
#include "win/module_path.h"

namespace {

std::wstring ModuleFileName() {
  std::vector<wchar_t> buf(32768);
  const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  return std::wstring(buf.data(), n);
}

std::wstring TempFolder(const std::wstring& leaf) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring dir = std::wstring(tmp) + leaf;
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(TsFunction, GetAppPathIsTheExecutablesFolderWithItsBackslash) {
  wchar_t folder[32768];
  wcscpy(folder, ModuleFileName().c_str());
  ASSERT_TRUE(PathRemoveFileSpecW(folder));
  const std::string expected = gbk::FromWide(std::wstring(folder) + L"\\");
  const std::string appPath = sFunction.GetAppPath();
  EXPECT_EQ(appPath, expected);
  ASSERT_FALSE(appPath.empty());
  EXPECT_EQ(appPath.back(), '\\');
}

TEST(TsFunction, FolderOfModulePathCutsAfterTheLastSeparator) {
  struct Case {
    std::wstring path, folder;
  } cases[] = {
      {L"C:\\Games\\Gyrelot.exe", L"C:\\Games\\"},
      {L"C:\\Gyrelot.exe", L"C:\\"},
      {L"C:Gyrelot.exe", L"C:"},
      {L"\\\\host\\share\\g\\Gyrelot.exe", L"\\\\host\\share\\g\\"},
      {L"C:\\乗\\Gyrelot.exe", L"C:\\乗\\"},
      {L"Gyrelot.exe", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(winapp::FolderOfModulePath(c.path), c.folder);
}

TEST(TsFunction, GetAppPathInAFolderWhoseNameHasTrailByte5C) {
  // In GBK the second byte of "乗" is 0x5C, a backslash; the folder must still come
  // back whole, not cut inside that character.
  const std::wstring dir = TempFolder(L"gyrelot-乗表");
  const std::wstring copy = dir + L"\\copy.exe";
  const std::wstring out = dir + L"\\app-path.txt";
  DeleteFileW(out.c_str());
  ASSERT_TRUE(CopyFileW(ModuleFileName().c_str(), copy.c_str(), FALSE));

  std::wstring cmd = L"\"" + copy + L"\" --write-app-path \"" + out + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(copy.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  const std::string expected = gbk::FromWide(dir + L"\\");
  ASSERT_NE(expected.find("乗"), std::string::npos);  // the name really is in GBK
  EXPECT_EQ(ReadAll(out), expected);
  DeleteFileW(out.c_str());
  DeleteFileW(copy.c_str());
  RemoveDirectoryW(dir.c_str());
}

namespace {
struct BoxSeen {
  std::wstring caption;
  std::wstring text;
  bool hasIcon = false;
  bool found = false;
};

BOOL CALLBACK ReadBoxChild(HWND child, LPARAM lp) {
  auto* seen = reinterpret_cast<BoxSeen*>(lp);
  wchar_t cls[64] = {};
  GetClassNameW(child, cls, 64);
  if (_wcsicmp(cls, L"Static") == 0) {
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON) {
      seen->hasIcon = true;
    } else {
      wchar_t text[256] = {};
      GetWindowTextW(child, text, 256);
      if (text[0] != 0) seen->text = text;
    }
  }
  return TRUE;
}
}  // namespace

TEST(TsFunction, ShowMsgShowsAnInformationBoxCaptionedWithTheTitle) {
  SetApplicationTitle("幸运大转盘");
  const std::wstring caption = gbk::ToWide("幸运大转盘");
  BoxSeen seen;
  std::atomic<bool> done{false};
  // Plays the player: finds the box, reads it and presses OK.
  std::thread player([&] {
    for (int i = 0; i < 500 && !done; ++i) {
      HWND box = FindWindowW(L"#32770", caption.c_str());
      if (box != nullptr && IsWindowVisible(box)) {
        seen.found = true;
        EnumChildWindows(box, ReadBoxChild, reinterpret_cast<LPARAM>(&seen));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(10);
    }
  });
  sFunction.ShowMsg("余额不足");
  done = true;
  player.join();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.text, gbk::ToWide("余额不足"));
  EXPECT_TRUE(seen.hasIcon);
}

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-app-path") == 0) {
    std::ofstream out(argv[2], std::ios::binary);
    out << sFunction.GetAppPath();
    return out ? 0 : 1;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
