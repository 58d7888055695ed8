// A small Windows program that fetches files through the real download client and
// Durnix.dll, for the integration tests and the transfer benchmark. It reports each
// download on stdout:
//
//   download_probe [options] <host> <port> <remote> <local> [<remote> <local>]...
//     --stall-ms N           transfer stall limit (default: the client's own)
//     --cancel-after N       press "cancel" (Stop) once N bytes of a file arrived
//     --pause-ms N           wait N ms between downloads (serving messages)
//     --progress             print "progress <received> <total>" lines
//
//   ok <bytes> <ms>  |  fail <ms>        one line per download, in order
//   box <text>                           a message box was shown (and closed)
//
// Exit code: 0 when every download succeeded, 1 otherwise, 2 for bad arguments.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "uFileDownloadClient.h"
#include "win/gbk_text.h"

namespace {

std::atomic<bool> quitting{false};

BOOL CALLBACK ReportBoxText(HWND child, LPARAM) {
  wchar_t text[256] = {};
  wchar_t cls[32] = {};
  GetWindowTextW(child, text, 256);
  GetClassNameW(child, cls, 32);
  if (text[0] && std::wstring(cls) == L"Static") {
    std::printf("box %s\n", gbk::FromWide(text).c_str());
    std::fflush(stdout);
  }
  return TRUE;
}

BOOL CALLBACK CloseOwnBox(HWND hwnd, LPARAM) {
  wchar_t cls[32] = {};
  GetClassNameW(hwnd, cls, 32);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (std::wstring(cls) != L"#32770" || !IsWindowVisible(hwnd) || pid != GetCurrentProcessId()) return TRUE;
  EnumChildWindows(hwnd, ReportBoxText, 0);
  PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
  return TRUE;
}

// Closes the message boxes the client shows ("文件不存在") and reports their text.
void CloseBoxes() {
  while (!quitting) {
    EnumWindows(CloseOwnBox, 0);
    Sleep(20);
  }
}

struct Probe {
  TFileDownLoadClient* client = nullptr;
  long long cancelAfter = -1;
  bool progress = false;
  bool cancelled = false;
  void OnProgress(int32_t total, int32_t received) {
    if (progress) {
      std::printf("progress %d %d\n", received, total);
      std::fflush(stdout);
    }
    if (cancelAfter >= 0 && received >= cancelAfter && !cancelled) {
      cancelled = true;
      client->Stop();
    }
  }
};

void ServeMessagesFor(DWORD ms) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start < ms) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  }
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(gbk::FromWide(wargv[i]));
  LocalFree(wargv);

  Probe probe;
  DWORD stallMs = 0;
  DWORD pauseMs = 0;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    auto number = [&](const char* name) -> long long {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "%s needs a number\n", name);
        std::exit(2);
      }
      return std::stoll(args[++i]);
    };
    if (args[i] == "--stall-ms") {
      stallMs = static_cast<DWORD>(number("--stall-ms"));
    } else if (args[i] == "--cancel-after") {
      probe.cancelAfter = number("--cancel-after");
    } else if (args[i] == "--pause-ms") {
      pauseMs = static_cast<DWORD>(number("--pause-ms"));
    } else if (args[i] == "--progress") {
      probe.progress = true;
    } else {
      rest.push_back(args[i]);
    }
  }
  if (rest.size() < 4 || rest.size() % 2 != 0) {
    std::fprintf(stderr, "usage: download_probe [options] <host> <port> <remote> <local> [<remote> <local>]...\n");
    return 2;
  }

  std::thread boxes(CloseBoxes);
  int failures = 0;
  try {
    probe.client = new TFileDownLoadClient(&__GET_IOCP_CLIENT_CLASS);
    if (stallMs) probe.client->SetRateWindow(stallMs);
    probe.client->SetServer(rest[0].c_str(), static_cast<uint16_t>(std::stoi(rest[1])));
    probe.client->SetOnProgress(EventThunk<&Probe::OnProgress>::Bind(&probe));
    for (size_t i = 2; i + 1 < rest.size(); i += 2) {
      if (i > 2 && pauseMs) ServeMessagesFor(pauseMs);
      probe.cancelled = false;
      const DWORD t0 = GetTickCount();
      const bool ok = probe.client->DownloadFile(rest[i].c_str(), rest[i + 1].c_str()) != FALSE;
      const DWORD ms = GetTickCount() - t0;
      if (ok) {
        WIN32_FILE_ATTRIBUTE_DATA attr{};
        GetFileAttributesExW(gbk::ToWide(rest[i + 1]).c_str(), GetFileExInfoStandard, &attr);
        const unsigned long long size = (static_cast<unsigned long long>(attr.nFileSizeHigh) << 32) | attr.nFileSizeLow;
        std::printf("ok %llu %lu\n", size, static_cast<unsigned long>(ms));
      } else {
        std::printf("fail %lu\n", static_cast<unsigned long>(ms));
        ++failures;
      }
      std::fflush(stdout);
    }
    probe.client->Release();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "download_probe: %s\n", e.what());
    failures = 1;
  }
  quitting = true;
  boxes.join();
  return failures == 0 ? 0 : 1;
}
