// A bare window with a 1-ms timer and nothing else: what such a timer alone costs a
// program under Wine, the baseline for the idle game (idle_cpu_bench.sh). Ends by
// itself after the given time and prints how often the timer really ticked.
//   bare_timer_window.exe [seconds]     (default 30)
#include <windows.h>

#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT_PTR kEndTimer = 2;
unsigned long g_ticks = 0;

LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      if (wp == kTickTimer) {
        ++g_ticks;
      } else if (wp == kEndTimer) {
        DestroyWindow(hwnd);
      }
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
  unsigned seconds = 30;
  if (argc > 1) {
    const char* end = argv[1] + std::strlen(argv[1]);
    const auto [p, ec] = std::from_chars(argv[1], end, seconds);
    if (ec != std::errc() || p != end || seconds == 0) {
      std::fprintf(stderr, "usage: bare_timer_window.exe [seconds]\n");
      return 2;
    }
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = &Procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"BareTimerWindow";
  if (!RegisterClassW(&wc)) return 1;
  HWND window = CreateWindowW(wc.lpszClassName, L"bare timer window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
  if (!window) return 1;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  const DWORD start = GetTickCount();
  if (!SetTimer(window, kTickTimer, 1, nullptr) || !SetTimer(window, kEndTimer, seconds * 1000, nullptr)) {
    return 1;
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  const double elapsed = (GetTickCount() - start) / 1000.0;
  std::printf("%.1f timer ticks per second over %.1f s\n", g_ticks / elapsed, elapsed);
  return 0;
}
