// Thin wrappers over the GDI+ flat interface for the wheel's drawing. Each holds one
// native handle and the last status other than success that a call returned; none
// raises an error, so a picture that did not load is simply not drawn. Objects live in
// GDI+'s own heap (GdipAlloc/GdipFree), as the platform's wrappers do.
#pragma once

#include <windows.h>

#include <objidl.h>
// clang-format off
#include <gdiplus.h>
// clang-format on

#include <string>

class TGdiplusBase {
 public:
  static void* operator new(size_t size);
  static void operator delete(void* p);
  static void* operator new[](size_t size);
  static void operator delete[](void* p);

  // The last status other than Ok (Ok when every call succeeded).
  Gdiplus::GpStatus GetLastStatus() const { return FLastStatus; }

 protected:
  TGdiplusBase() = default;
  ~TGdiplusBase() = default;
  Gdiplus::GpStatus Keep(Gdiplus::GpStatus s) {
    if (s != Gdiplus::Ok) FLastStatus = s;
    return s;
  }

  Gdiplus::GpStatus FLastStatus = Gdiplus::Ok;
};

class TGPImage : public TGdiplusBase {
 public:
  // Loads the file (a UTF-16 path); a missing or unreadable file leaves no image and
  // keeps the failure status.
  explicit TGPImage(const std::wstring& fileName);
  ~TGPImage();
  TGPImage(const TGPImage&) = delete;
  TGPImage& operator=(const TGPImage&) = delete;

  // 0 when the image did not load.
  UINT GetWidth();
  UINT GetHeight();
  Gdiplus::GpImage* Native() const { return FNative; }

 private:
  Gdiplus::GpImage* FNative = nullptr;
};

class TGPMatrix : public TGdiplusBase {
 public:
  TGPMatrix();  // identity
  ~TGPMatrix();
  TGPMatrix(const TGPMatrix&) = delete;
  TGPMatrix& operator=(const TGPMatrix&) = delete;

  // Rotation by `angle` degrees about `centre`. With the prepend order: a translation
  // by the centre, the rotation, a translation by the negated centre, each prepended;
  // with the append order the same three the other way round, each appended.
  Gdiplus::GpStatus RotateAt(Gdiplus::REAL angle, const Gdiplus::PointF& centre,
                             Gdiplus::MatrixOrder order = Gdiplus::MatrixOrderPrepend);
  Gdiplus::GpMatrix* Native() const { return FNative; }

 private:
  Gdiplus::GpMatrix* FNative = nullptr;
};

class TGPGraphics : public TGdiplusBase {
 public:
  explicit TGPGraphics(HDC dc);
  ~TGPGraphics();
  TGPGraphics(const TGPGraphics&) = delete;
  TGPGraphics& operator=(const TGPGraphics&) = delete;

  Gdiplus::GpStatus DrawImage(TGPImage* image, INT x, INT y, INT width, INT height);
  Gdiplus::GpStatus DrawImage(TGPImage* image, Gdiplus::REAL x, Gdiplus::REAL y, Gdiplus::REAL width,
                              Gdiplus::REAL height);
  Gdiplus::GpStatus SetTransform(const TGPMatrix* matrix);
  Gdiplus::GpStatus ResetTransform();
  Gdiplus::GpGraphics* Native() const { return FNative; }

 private:
  Gdiplus::GpGraphics* FNative = nullptr;
};
