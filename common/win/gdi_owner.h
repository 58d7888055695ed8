// Owners of GDI objects and device contexts: released on every path, moved but never
// copied.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
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

// A 32-bit top-down DIB section selected into a memory DC of its own: pixels that GDI,
// GDI+ and the program itself can all reach (Bits()), zeroed (black, see-through)
// when made. Move-only.
class DibCanvas {
 public:
  DibCanvas() = default;
  DibCanvas(int width, int height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width > 0 ? width : 1;
    bi.bmiHeader.biHeight = -(height > 0 ? height : 1);
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_.Reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_) return;
    bits_ = static_cast<uint32_t*>(bits);
    width_ = width;
    height_ = height;
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_.get());
  }
  ~DibCanvas() { Release(); }
  DibCanvas(DibCanvas&& o) noexcept { *this = std::move(o); }
  DibCanvas& operator=(DibCanvas&& o) noexcept {
    if (this != &o) {
      Release();
      bitmap_ = std::move(o.bitmap_);
      dc_ = std::exchange(o.dc_, nullptr);
      old_ = std::exchange(o.old_, nullptr);
      bits_ = std::exchange(o.bits_, nullptr);
      width_ = std::exchange(o.width_, 0);
      height_ = std::exchange(o.height_, 0);
    }
    return *this;
  }
  DibCanvas(const DibCanvas&) = delete;
  DibCanvas& operator=(const DibCanvas&) = delete;

  HDC dc() const { return dc_; }
  // Rows top first, 0x00RRGGBB or premultiplied 0xAARRGGBB; GdiFlush before reading
  // what GDI drew.
  uint32_t* Bits() const { return bits_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  size_t Bytes() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  void Release() {
    if (dc_) {
      SelectObject(dc_, old_);
      DeleteDC(dc_);
      dc_ = nullptr;
    }
    bitmap_.Reset();
  }

  Bitmap bitmap_;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
  int width_ = 0, height_ = 0;
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
