#include "picture.h"

// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out.
#include <objidl.h>
// clang-format off
#include <gdiplus.h>
// clang-format on

#include <cstring>
#include <vector>

#include "io/input_file.h"
#include "win/gbk_text.h"

namespace skin {

namespace flat = Gdiplus::DllExports;

namespace {

enum class Format { kBmp, kPng, kJpeg };

std::optional<Format> FormatOfExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.find_last_of("\\/");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (ext == "bmp") return Format::kBmp;
  if (ext == "png") return Format::kPng;
  if (ext == "jpg" || ext == "jpeg") return Format::kJpeg;
  return std::nullopt;
}

const char* FormatName(Format f) {
  switch (f) {
    case Format::kBmp: return "BMP";
    case Format::kPng: return "PNG";
    case Format::kJpeg: return "JPEG";
  }
  return "";
}

bool HasSignature(Format f, const unsigned char* head, size_t n) {
  switch (f) {
    case Format::kBmp: return n >= 2 && head[0] == 'B' && head[1] == 'M';
    case Format::kPng: return n >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0;
    case Format::kJpeg: return n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
  }
  return false;
}

// A GDI+ bitmap, disposed on every path.
class GpBitmapOwner {
 public:
  ~GpBitmapOwner() {
    if (bitmap) flat::GdipDisposeImage(bitmap);
  }
  Gdiplus::GpBitmap* bitmap = nullptr;
};

}  // namespace

GdiplusSession::GdiplusSession() {
  Gdiplus::GdiplusStartupInput input;
  started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
}

GdiplusSession::~GdiplusSession() {
  if (started_) Gdiplus::GdiplusShutdown(token_);
}

Picture& Picture::operator=(Picture&& other) noexcept {
  if (this != &other) {
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    hasAlpha_ = std::exchange(other.hasAlpha_, false);
    bits_ = std::exchange(other.bits_, nullptr);
    dib_ = std::move(other.dib_);
  }
  return *this;
}

void Picture::Allocate(int width, int height) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib)
    throw SkinError("out of memory for a picture of " + std::to_string(width) + "x" + std::to_string(height));
  dib_.Reset(dib);
  bits_ = static_cast<uint32_t*>(bits);
  width_ = width;
  height_ = height;
}

void Picture::FinishAlpha() {
  hasAlpha_ = false;
  const size_t n = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  for (size_t i = 0; i < n && !hasAlpha_; ++i) hasAlpha_ = (bits_[i] >> 24) != 0xFF;
  GdiFlush();
}

Picture Picture::FromFile(const std::string& path, std::optional<Rgb> transparent) {
  const std::optional<Format> format = FormatOfExtension(path);
  if (!format) throw SkinError("not a picture file (.bmp, .png or .jpg): " + path);
  // The content must be what the name says: a renamed file of another kind is refused
  // rather than decoded by guess.
  io::InputFile file = io::InputFile::Open(path);
  if (!file.IsOpen()) throw SkinError("cannot open picture " + path + ": " + file.LastError());
  unsigned char head[8] = {};
  const int64_t got = file.Read(head, sizeof head);
  file.Close();
  if (got < 0 || !HasSignature(*format, head, static_cast<size_t>(got))) {
    throw SkinError(std::string("not a ") + FormatName(*format) + " picture: " + path);
  }

  GpBitmapOwner gp;
  const std::wstring wide = gbk::ToWide(path);
  const Gdiplus::GpStatus status = flat::GdipCreateBitmapFromFile(wide.c_str(), &gp.bitmap);
  if (status != Gdiplus::Ok || !gp.bitmap) {
    throw SkinError("cannot decode " + std::string(FormatName(*format)) + " picture " + path +
                    " (GDI+ status " + std::to_string(static_cast<int>(status)) + ")");
  }
  UINT w = 0, h = 0;
  flat::GdipGetImageWidth(gp.bitmap, &w);
  flat::GdipGetImageHeight(gp.bitmap, &h);
  if (w == 0 || h == 0 || w > 16384 || h > 16384) throw SkinError("picture has no usable size: " + path);

  Picture p;
  p.Allocate(static_cast<int>(w), static_cast<int>(h));
  Gdiplus::GpRect all(0, 0, static_cast<INT>(w), static_cast<INT>(h));
  Gdiplus::BitmapData data{};
  // Converted to premultiplied BGRA by GDI+ on the way out.
  const Gdiplus::GpStatus lock =
      flat::GdipBitmapLockBits(gp.bitmap, &all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data);
  if (lock != Gdiplus::Ok || !data.Scan0) {
    throw SkinError("cannot decode picture " + path + " (GDI+ status " +
                    std::to_string(static_cast<int>(lock)) + ")");
  }
  for (UINT y = 0; y < h; ++y) {
    std::memcpy(p.bits_ + static_cast<size_t>(y) * w,
                static_cast<const char*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                static_cast<size_t>(w) * 4);
  }
  flat::GdipBitmapUnlockBits(gp.bitmap, &data);
  p.FinishAlpha();
  if (transparent && !p.hasAlpha_) p.MakeTransparent(*transparent);
  return p;
}

Picture Picture::FromBitmap(HBITMAP bitmap, std::optional<Rgb> transparent) {
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) {
    throw SkinError("not a usable bitmap");
  }
  Picture p;
  p.Allocate(info.bmWidth, info.bmHeight);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = info.bmWidth;
  bi.bmiHeader.biHeight = -info.bmHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), p.bits_, &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  const size_t n = static_cast<size_t>(p.width_) * static_cast<size_t>(p.height_);
  for (size_t i = 0; i < n; ++i) p.bits_[i] |= 0xFF000000u;  // bitmaps without alpha are opaque
  p.FinishAlpha();
  if (transparent) p.MakeTransparent(*transparent);
  return p;
}

Picture Picture::FromResource(HINSTANCE instance, int id, std::optional<Rgb> transparent) {
  winapp::Bitmap bitmap(static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (!bitmap) throw SkinError("missing bitmap resource " + std::to_string(id));
  return FromBitmap(bitmap.get(), transparent);
}

uint32_t Picture::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const uint32_t v = bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  const uint32_t a = v >> 24;
  if (a == 0) return 0;
  auto straight = [a](uint32_t c) { return a == 255 ? c : (c * 255 + a / 2) / a; };
  return (a << 24) | (straight((v >> 16) & 0xFF) << 16) | (straight((v >> 8) & 0xFF) << 8) |
         straight(v & 0xFF);
}

COLORREF Picture::PixelColour(int x, int y) const {
  const uint32_t v = Pixel(x, y);
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

void Picture::MakeTransparent(Rgb colour) {
  const size_t n = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  for (size_t i = 0; i < n; ++i) {
    if ((bits_[i] & 0xFFFFFFu) == (colour & 0xFFFFFFu) && (bits_[i] >> 24) == 0xFF) {
      bits_[i] = 0;
      hasAlpha_ = true;
    }
  }
  GdiFlush();
}

Picture Picture::Copy() const {
  Picture p;
  if (Empty()) return p;
  p.Allocate(width_, height_);
  std::memcpy(p.bits_, bits_, static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
  p.hasAlpha_ = hasAlpha_;
  return p;
}

void Picture::Draw(HDC dc, const RECT& dst, const Rect& src) const {
  const int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  if (Empty() || dw <= 0 || dh <= 0 || src.width <= 0 || src.height <= 0) return;
  HDC mem = CreateCompatibleDC(dc);
  {
    winapp::Selected keep(mem, dib_.get());
    if (hasAlpha_) {
      const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      AlphaBlend(dc, dst.left, dst.top, dw, dh, mem, src.left, src.top, src.width, src.height, blend);
    } else if (dw == src.width && dh == src.height) {
      BitBlt(dc, dst.left, dst.top, dw, dh, mem, src.left, src.top, SRCCOPY);
    } else {
      const int oldMode = SetStretchBltMode(dc, HALFTONE);
      StretchBlt(dc, dst.left, dst.top, dw, dh, mem, src.left, src.top, src.width, src.height, SRCCOPY);
      SetStretchBltMode(dc, oldMode);
    }
  }
  DeleteDC(mem);
}

void Picture::Draw(HDC dc, int x, int y) const {
  Draw(dc, RECT{x, y, x + width_, y + height_}, Rect{0, 0, width_, height_});
}

void Picture::DrawNineSlice(HDC dc, const RECT& dst, const Rect& src, const Margins& m) const {
  const int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  // Margins wider than the place they go are shrunk in proportion.
  const int ml = (m.left + m.right > dw && m.left + m.right > 0) ? dw * m.left / (m.left + m.right) : m.left;
  const int mr = (m.left + m.right > dw && m.left + m.right > 0) ? dw - ml : m.right;
  const int mt = (m.top + m.bottom > dh && m.top + m.bottom > 0) ? dh * m.top / (m.top + m.bottom) : m.top;
  const int mb = (m.top + m.bottom > dh && m.top + m.bottom > 0) ? dh - mt : m.bottom;
  const int dx[4] = {dst.left, dst.left + ml, dst.right - mr, dst.right};
  const int dy[4] = {dst.top, dst.top + mt, dst.bottom - mb, dst.bottom};
  const int sx[4] = {src.left, src.left + m.left, src.left + src.width - m.right, src.left + src.width};
  const int sy[4] = {src.top, src.top + m.top, src.top + src.height - m.bottom, src.top + src.height};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      const RECT d{dx[col], dy[row], dx[col + 1], dy[row + 1]};
      const Rect s{sx[col], sy[row], sx[col + 1] - sx[col], sy[row + 1] - sy[row]};
      Draw(dc, d, s);
    }
  }
}

void DrawPiece(HDC dc, const RECT& dst, const Picture& picture, const Piece& piece) {
  picture.DrawNineSlice(dc, dst, piece.source, piece.margins);
}

}  // namespace skin
