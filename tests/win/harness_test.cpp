// Proves the test set-up that every Windows test relies on: Wine runs with the
// target systems' code page, windows get their timers, and a sound device exists.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cstdlib>
#include <string>

#include "win/gbk_text.h"

TEST(Harness, AnsiCodePageIsGbk) { EXPECT_EQ(GetACP(), 936u); }

TEST(Harness, LiteralsAreGbkAndShowThroughWideFunctions) {
  const std::string caption = "幸运大转盘";
  EXPECT_EQ(caption.size(), 10u);  // five double-byte characters
  EXPECT_EQ(gbk::ToWide(caption), std::wstring(L"幸运大转盘"));
  EXPECT_EQ(gbk::FromWide(L"幸运大转盘"), caption);
}

namespace {
int timerTicks = 0;

LRESULT CALLBACK CountTimersProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) ++timerTicks;
  return DefWindowProcW(hwnd, msg, wp, lp);
}
}  // namespace

TEST(Harness, WindowReceivesTimerMessages) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = CountTimersProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"HarnessTimerWindow";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  ASSERT_NE(RegisterClassW(&wc), 0);
  const std::wstring caption = gbk::ToWide("幸运大转盘");
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, caption.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              40, 40, 400, 200, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(hwnd, nullptr);
  HWND label = CreateWindowExW(0, L"STATIC", gbk::ToWide("获得 100 金币").c_str(), WS_CHILD | WS_VISIBLE,
                               20, 20, 300, 30, hwnd, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(label, nullptr);

  ASSERT_NE(SetTimer(hwnd, 1, 10, nullptr), 0u);
  // Long enough for three ticks of a 10-ms timer with a wide margin; an optional
  // hold keeps the window up for a screenshot of the test display.
  const char* hold = std::getenv("HARNESS_HOLD_MS");
  const DWORD waitMs = 2000 + (hold ? static_cast<DWORD>(std::strtoul(hold, nullptr, 10)) : 0);
  const DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start < waitMs) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    if (timerTicks >= 3 && !hold) break;
    Sleep(1);
  }
  KillTimer(hwnd, 1);
  DestroyWindow(hwnd);
  UnregisterClassW(wc.lpszClassName, wc.hInstance);
  EXPECT_GE(timerTicks, 3);
}

TEST(Harness, DirectSoundFindsADeviceAndPlays) {
  IDirectSound8* ds = nullptr;
  ASSERT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DS_OK);
  HWND owner = GetDesktopWindow();
  EXPECT_EQ(ds->SetCooperativeLevel(owner, DSSCL_PRIORITY), DS_OK);

  WAVEFORMATEX fmt{};
  fmt.wFormatTag = WAVE_FORMAT_PCM;
  fmt.nChannels = 1;
  fmt.nSamplesPerSec = 22050;
  fmt.wBitsPerSample = 16;
  fmt.nBlockAlign = 2;
  fmt.nAvgBytesPerSec = fmt.nSamplesPerSec * fmt.nBlockAlign;
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwBufferBytes = fmt.nAvgBytesPerSec / 10;
  desc.lpwfxFormat = &fmt;
  IDirectSoundBuffer* buffer = nullptr;
  ASSERT_EQ(ds->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  DWORD status = 0;
  EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
  EXPECT_TRUE(status & DSBSTATUS_PLAYING);
  buffer->Stop();
  buffer->Release();
  ds->Release();
}
