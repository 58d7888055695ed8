// The updater's dialog logic under Wine: version comparison, the progress display,
// the display name, the manifest name rule and the target program's name rule.
// This program also runs as its own stand-in target: with --stay it just waits.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <cwchar>

#include "../portable/temp_dir.h"
#include "fake_iocp_client.h"
#include "uProcessKill.h"
#include "uUpdateClientMainForm.h"
#include "uUpdateLogic.h"
#include "win/gbk_text.h"
#include "win/message_pump.h"
#include "win/module_path.h"

namespace {
FakeIOCP* fake = nullptr;
HRESULT __stdcall FakeFactory(IIOCPClient** out) {
  fake = new FakeIOCP;
  *out = fake;
  return S_OK;
}
}  // namespace

TEST(UpdateForm, IsRemoteVersionNewer) {
  struct Case {
    const char* what;
    const char* local;  // nullptr: no local version file
    const char* remote;
    bool newer;
    int32_t remoteVersion;
  } cases[] = {
      {"no local file", nullptr, "[ver]\r\nLastVer=3\r\n", true, 3},
      {"older local", "[ver]\r\nlastVer=2\r\n", "[ver]\r\nLastVer=3\r\n", true, 3},
      {"same version", "[ver]\r\nlastVer=3\r\n", "[ver]\r\nLastVer=3\r\n", false, 3},
      {"local above the server", "[ver]\r\nlastVer=9\r\n", "[ver]\r\nLastVer=3\r\n", false, 3},
      {"server without a number", "[ver]\r\nlastVer=0\r\n", "[ver]\r\nLastVer=abc\r\n", false, 0},
      {"negative local", "[ver]\r\nlastVer=-1\r\n", "[other]\r\nx=1\r\n", true, 0},
      {"hexadecimal server", "[ver]\r\nlastVer=15\r\n", "[ver]\r\nLastVer=0x10\r\n", true, 16},
      {"signed comparison", "[ver]\r\nlastVer=-5\r\n", "[ver]\r\nLastVer=-4\r\n", true, -4},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string appDir = dir.path().string() + "\\";
    if (c.local) dir.Write("lastVer.txt", c.local);
    const std::string remote = dir.Write("remote.txt", c.remote);
    TForm1 form(&FakeFactory, appDir);
    EXPECT_EQ(form.IsRemoteVersionNewer(remote), c.newer) << c.what;
    EXPECT_EQ(form.RemoteVersion(), c.remoteVersion) << c.what;
  }
  TempDir dir;
  TForm1 form(&FakeFactory, dir.path().string() + "\\");
  EXPECT_TRUE(form.IsRemoteVersionNewer(dir.File("absent.txt")));  // no file: newer, version 0
  EXPECT_EQ(form.RemoteVersion(), 0);
}

TEST(UpdateForm, RecordedVersionIsReadBackUnderBothSpellings) {
  TempDir dir;
  TForm1 form(&FakeFactory, dir.path().string() + "\\");
  form.SaveLocalVersion(7);
  const std::string remote = dir.Write("remote.txt", "[ver]\r\nLastVer=7\r\n");
  EXPECT_FALSE(form.IsRemoteVersionNewer(remote));
  const std::string content = ReadFileBytes(dir.File("lastver.txt"));
  EXPECT_NE(content.find("lastVer=7"), std::string::npos) << content;
}

TEST(UpdateForm, ShowDownloadProgress) {
  TempDir dir;
  TForm1 form(&FakeFactory, dir.path().string() + "\\");
  struct Case {
    int32_t total, received;
    const char* speed;
    int bar;
  } cases[] = {
      {2048000, 1536999, "1536 K/2048 K", 75},
      {30000000, 25000000, "30000 K/30000 K", 83},
      {0, 0, "0 K/0 K", 0},
      {INT32_MAX, INT32_MAX - 1, "2147483 K/2147483 K", 99},
      {1000, 999, "0 K/1 K", 99},
  };
  cases[1].speed = "25000 K/30000 K";
  for (const auto& c : cases) {
    form.SetStartTick(GetTickCount() - 61900);
    form.ShowDownloadProgress(c.total, c.received);
    EXPECT_EQ(form.ControlText(form.SpeedLabel()), c.speed) << c.received;
    EXPECT_EQ(SendMessageW(form.ProgressBar(), PBM_GETPOS, 0, 0), c.bar) << c.received;
    EXPECT_EQ(form.ControlText(form.TickLabel()), "已用时间：61秒");
  }
}

namespace {
HRESULT __stdcall RefusingFactory(IIOCPClient** out) {
  *out = nullptr;
  return E_FAIL;
}

BOOL CALLBACK CountDialogs(HWND h, LPARAM count) {
  wchar_t cls[16] = {};
  GetClassNameW(h, cls, 16);
  if (std::wcscmp(cls, L"TForm1") == 0) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int DialogsOfThisThread() {
  int n = 0;
  EnumThreadWindows(GetCurrentThreadId(), &CountDialogs, reinterpret_cast<LPARAM>(&n));
  return n;
}
}  // namespace

TEST(UpdateForm, ATransportThatCannotBeHadLeavesNoWindowBehind) {
  const int before = DialogsOfThisThread();
  EXPECT_THROW(TForm1 form(&RefusingFactory), std::exception);
  EXPECT_EQ(DialogsOfThisThread(), before);
}

TEST(UpdateForm, EscInAnyWaitStopsTheUpdate) {
  TempDir dir;
  TForm1 form(&FakeFactory, dir.path().string() + "\\");
  ShowWindow(form.Handle(), SW_SHOWNORMAL);
  EXPECT_FALSE(form.IsClosed());
  // A wait deep inside a transfer serves messages without naming the dialog: the
  // dialog's keys work there all the same.
  SetFocus(form.Handle());
  PostMessageW(form.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  winapp::ServePendingMessages();
  EXPECT_TRUE(form.IsClosed());
  EXPECT_EQ(form.ExitCode(), 0) << "no run was under way: nothing failed";
}

TEST(UpdateLogic, DisplayName) {
  struct Case {
    std::string name, shown;
  } cases[] = {
      {"GameSkin\\Wheel\\bg.png", "bg.png"},
      {"plain.txt", "plain.txt"},
      {"a:b.txt", "b.txt"},
      {"乗.txt", "乗.txt"},  // its second byte is 0x5C: no separator
      {"资源\\乗", "乗"},
      {"folder\\", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(updatelogic::DisplayName(c.name), c.shown) << c.name;
}

TEST(UpdateLogic, ManifestNamesStayInsideTheFolder) {
  struct Case {
    std::string name;
    bool inside;
  } cases[] = {
      {"Gyrelot.exe", true},     {"GameSkin\\Wheel\\bg.png", true}, {"乗", true},
      {"资源\\测试.txt", true},  {"..\\outside.txt", false},         {"a\\..\\..\\x", false},
      {"C:\\Windows\\x", false}, {"\\x", false},                    {"/x", false},
      {"a\\\\b", false},         {"a\\", false},                    {"a:b", false},
      {".\\x", false},           {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(updatelogic::ManifestNameProblem(c.name).empty(), c.inside) << c.name;
}

TEST(UpdateLogic, DigestMatchesRegardlessOfCase) {
  EXPECT_TRUE(updatelogic::DigestMatches("b1946ac92492d2347c6235b4d2611184", "B1946AC92492D2347C6235B4D2611184"));
  EXPECT_TRUE(updatelogic::DigestMatches("", "d41d8cd98f00b204e9800998ecf8427e"));  // an empty download
  EXPECT_FALSE(updatelogic::DigestMatches("", ""));
  EXPECT_FALSE(updatelogic::DigestMatches("b1946ac92492d2347c6235b4d2611184", "b1946ac92492d2347c6235b4d2611185"));
}

TEST(UpdateLogic, ProgramNamesCompareAsciiWithoutCase) {
  struct Case {
    std::string a, b;
    bool same;
  } cases[] = {
      {"Halvo.exe", "HALVO.EXE", true}, {"halvo.exe", "Halvo.exe", true}, {"Halvo.exe", "Halvo.ex", false},
      {"幸运.exe", "幸运.EXE", true},   {"幸运.exe", "幸达.exe", false},
  };
  for (const auto& c : cases) EXPECT_EQ(updatelogic::SameProgramName(c.a, c.b), c.same) << c.a << " " << c.b;
}

TEST(TerminateProcessesByName, EndsEveryInstanceWhateverTheCaseOfItsName) {
  TempDir dir;
  const std::wstring copy = gbk::ToWide(dir.File("StandIn.exe"));
  ASSERT_TRUE(CopyFileW(winapp::ModuleFileName().c_str(), copy.c_str(), FALSE));
  HANDLE processes[2];
  for (auto& p : processes) {
    std::wstring cmd = L"\"" + copy + L"\" --stay";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(copy.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    p = pi.hProcess;
  }
  Sleep(300);
  EXPECT_FALSE(TerminateProcessesByName("NoSuchProgram.exe"));
  EXPECT_TRUE(TerminateProcessesByName("STANDIN.EXE"));
  // Waited for: both are gone when it returns.
  for (HANDLE p : processes) {
    EXPECT_EQ(WaitForSingleObject(p, 0), WAIT_OBJECT_0);
    CloseHandle(p);
  }
}

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--stay") == 0) {
    Sleep(30000);
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
