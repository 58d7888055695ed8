// Plays the user at the message boxes a test provokes, from a thread of its own.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "win/gbk_text.h"

// Plays the user at a message box: finds boxes showing `text`, notes which thread
// owns them, and presses OK.
class BoxCloser {
 public:
  explicit BoxCloser(const std::string& gbkText) : text_(gbk::ToWide(gbkText)), thread_([this] { Run(); }) {}
  ~BoxCloser() {
    stop_ = true;
    thread_.join();
  }
  int seen() const { return seen_; }
  DWORD ownerThread() const { return owner_; }

 private:
  struct Search {
    const std::wstring* text;
    HWND box = nullptr;
  };
  static BOOL CALLBACK Child(HWND child, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    wchar_t buf[256] = {};
    GetWindowTextW(child, buf, 256);
    if (*s->text == buf) return FALSE;
    return TRUE;
  }
  static BOOL CALLBACK Top(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (std::wstring(cls) == L"#32770" && IsWindowVisible(hwnd) && !EnumChildWindows(hwnd, Child, lp)) {
      s->box = hwnd;
      return FALSE;
    }
    return TRUE;
  }
  void Run() {
    while (!stop_) {
      Search s{&text_};
      EnumWindows(Top, reinterpret_cast<LPARAM>(&s));
      if (s.box) {
        owner_ = GetWindowThreadProcessId(s.box, nullptr);
        ++seen_;
        PostMessageW(s.box, WM_COMMAND, IDOK, 0);
        Sleep(200);
      }
      Sleep(10);
    }
  }
  std::wstring text_;
  std::atomic<bool> stop_{false};
  std::atomic<int> seen_{0};
  std::atomic<DWORD> owner_{0};
  std::thread thread_;
};
