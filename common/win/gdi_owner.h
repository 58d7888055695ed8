// Owners of GDI objects and device contexts: released on every path, moved but never
// copied.
#pragma once

#include <windows.h>

#include <utility>

namespace winapp {

// An HFONT, HBITMAP, HBRUSH, HPEN or HRGN, deleted with DeleteObject.
template <class H>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(H h) : h_(h) {}
  ~GdiObject() { Reset(); }
  GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  GdiObject& operator=(GdiObject&& o) noexcept {
    if (this != &o) {
      Reset();
      h_ = std::exchange(o.h_, nullptr);
    }
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  void Reset(H h = nullptr) {
    if (h_) DeleteObject(h_);
    h_ = h;
  }
  H get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  H h_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Bitmap = GdiObject<HBITMAP>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Region = GdiObject<HRGN>;

// Selects an object into a DC for a scope and puts the previous one back.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A memory DC compatible with `reference` holding a bitmap of the given size: drawn
// into, then copied out in one piece, so a window never shows half a frame.
class MemoryCanvas {
 public:
  MemoryCanvas(HDC reference, int width, int height)
      : dc_(CreateCompatibleDC(reference)),
        bitmap_(CreateCompatibleBitmap(reference, width > 0 ? width : 1, height > 0 ? height : 1)),
        old_(SelectObject(dc_, bitmap_.get())),
        width_(width),
        height_(height) {}
  ~MemoryCanvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  MemoryCanvas(const MemoryCanvas&) = delete;
  MemoryCanvas& operator=(const MemoryCanvas&) = delete;

  HDC dc() const { return dc_; }
  // Copies the canvas to (x, y) of `target`.
  void CopyTo(HDC target, int x = 0, int y = 0) const {
    BitBlt(target, x, y, width_, height_, dc_, 0, 0, SRCCOPY);
  }

 private:
  HDC dc_;
  Bitmap bitmap_;
  HGDIOBJ old_;
  int width_, height_;
};

// The DC of a window's whole area (frame included), released with the window.
class WindowDC {
 public:
  explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(GetWindowDC(hwnd)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// BeginPaint and EndPaint around a WM_PAINT handler.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
  ~PaintScope() { EndPaint(hwnd_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;
};

}  // namespace winapp
