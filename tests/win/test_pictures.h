// Picture files made in a test: BMP written byte by byte, PNG and JPEG through the
// platform's GDI+ encoders (which GDI+ must be started for).
#pragma once

#include <windows.h>

#include <objidl.h>
// clang-format off
#include <gdiplus.h>
// clang-format on

#include <cstdint>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "win/gbk_text.h"
#include "win/gdi_owner.h"

namespace testpic {

// 0xAARRGGBB of pixel (x, y).
using PixelFn = std::function<uint32_t(int x, int y)>;

inline PixelFn Solid(uint32_t argb) {
  return [argb](int, int) { return argb; };
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(gbk::ToWide(path).c_str(), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A 24-bit bottom-up BMP (alpha is dropped).
inline void WriteBmp(const std::string& path, int w, int h, const PixelFn& pixel) {
  const int rowSize = (w * 3 + 3) & ~3;
  std::string data;
  for (int y = h - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < w; ++x) {
      const uint32_t c = pixel(x, y);
      row += static_cast<char>(c & 0xFF);
      row += static_cast<char>((c >> 8) & 0xFF);
      row += static_cast<char>((c >> 16) & 0xFF);
    }
    row.resize(static_cast<size_t>(rowSize), '\0');
    data += row;
  }
  auto le32 = [](uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
  };
  auto le16 = [](uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; };
  std::string file = "BM" + le32(static_cast<uint32_t>(54 + data.size())) + le32(0) + le32(54);
  file += le32(40) + le32(static_cast<uint32_t>(w)) + le32(static_cast<uint32_t>(h)) + le16(1) + le16(24) +
          le32(0) + le32(static_cast<uint32_t>(data.size())) + le32(2835) + le32(2835) + le32(0) + le32(0);
  WriteBytes(path, file + data);
}

// PNG ("image/png", alpha kept) or JPEG ("image/jpeg").
inline void WriteEncoded(const std::string& path, int w, int h, const PixelFn& pixel, const wchar_t* mime) {
  namespace flat = Gdiplus::DllExports;
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = pixel(x, y);
  }
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (flat::GdipCreateBitmapFromScan0(w, h, w * 4, PixelFormat32bppARGB,
                                      reinterpret_cast<BYTE*>(pixels.data()), &bitmap) != Gdiplus::Ok) {
    throw std::runtime_error("GdipCreateBitmapFromScan0 failed");
  }
  UINT count = 0, size = 0;
  flat::GdipGetImageEncodersSize(&count, &size);
  std::vector<char> buffer(size);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  flat::GdipGetImageEncoders(count, size, codecs);
  const CLSID* clsid = nullptr;
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(codecs[i].MimeType) == mime) clsid = &codecs[i].Clsid;
  }
  const bool saved =
      clsid && flat::GdipSaveImageToFile(bitmap, gbk::ToWide(path).c_str(), clsid, nullptr) == Gdiplus::Ok;
  flat::GdipDisposeImage(bitmap);
  if (!saved) throw std::runtime_error("cannot write " + path);
}

inline void WritePng(const std::string& path, int w, int h, const PixelFn& pixel) {
  WriteEncoded(path, w, h, pixel, L"image/png");
}

inline void WriteJpeg(const std::string& path, int w, int h, const PixelFn& pixel) {
  WriteEncoded(path, w, h, pixel, L"image/jpeg");
}

// A 32-bit canvas to paint a control into and read pixels back.
class Canvas {
 public:
  Canvas(int w, int h) : dib_(w, h) {}
  HDC dc() const { return dib_.dc(); }
  COLORREF At(int x, int y) const {
    GdiFlush();
    return GetPixel(dib_.dc(), x, y);
  }

 private:
  winapp::DibCanvas dib_;
};

// Colours compared with a little room for rounding (JPEG, blending).
inline bool Near(COLORREF a, COLORREF b, int tolerance = 8) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
         std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

}  // namespace testpic
