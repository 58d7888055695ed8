#include "uGdiplusWrappers.h"

namespace flat = Gdiplus::DllExports;

void* TGdiplusBase::operator new(size_t size) {
  void* p = flat::GdipAlloc(size);
  if (!p) throw std::bad_alloc();
  return p;
}

void TGdiplusBase::operator delete(void* p) {
  flat::GdipFree(p);
}

void* TGdiplusBase::operator new[](size_t size) {
  void* p = flat::GdipAlloc(size);
  if (!p) throw std::bad_alloc();
  return p;
}

void TGdiplusBase::operator delete[](void* p) {
  flat::GdipFree(p);
}

// --- TGPImage ----------------------------------------------------------------------

TGPImage::TGPImage(const std::wstring& fileName) {
  Keep(flat::GdipLoadImageFromFile(fileName.c_str(), &FNative));
}

TGPImage::~TGPImage() {
  if (FNative) flat::GdipDisposeImage(FNative);
}

UINT TGPImage::GetWidth() {
  UINT w = 0;
  if (FNative) Keep(flat::GdipGetImageWidth(FNative, &w));
  return w;
}

UINT TGPImage::GetHeight() {
  UINT h = 0;
  if (FNative) Keep(flat::GdipGetImageHeight(FNative, &h));
  return h;
}

// --- TGPMatrix ---------------------------------------------------------------------

TGPMatrix::TGPMatrix() {
  Keep(flat::GdipCreateMatrix(&FNative));
}

TGPMatrix::~TGPMatrix() {
  if (FNative) flat::GdipDeleteMatrix(FNative);
}

Gdiplus::GpStatus TGPMatrix::RotateAt(Gdiplus::REAL angle, const Gdiplus::PointF& centre,
                                      Gdiplus::MatrixOrder order) {
  if (!FNative) return Keep(Gdiplus::InvalidParameter);
  if (order == Gdiplus::MatrixOrderPrepend) {
    Keep(flat::GdipTranslateMatrix(FNative, centre.X, centre.Y, order));
    Keep(flat::GdipRotateMatrix(FNative, angle, order));
    return Keep(flat::GdipTranslateMatrix(FNative, -centre.X, -centre.Y, order));
  }
  Keep(flat::GdipTranslateMatrix(FNative, -centre.X, -centre.Y, order));
  Keep(flat::GdipRotateMatrix(FNative, angle, order));
  return Keep(flat::GdipTranslateMatrix(FNative, centre.X, centre.Y, order));
}

// --- TGPGraphics -------------------------------------------------------------------

TGPGraphics::TGPGraphics(HDC dc) {
  Keep(flat::GdipCreateFromHDC(dc, &FNative));
}

TGPGraphics::~TGPGraphics() {
  if (FNative) flat::GdipDeleteGraphics(FNative);
}

Gdiplus::GpStatus TGPGraphics::DrawImage(TGPImage* image, INT x, INT y, INT width, INT height) {
  if (!FNative || !image || !image->Native()) return Keep(Gdiplus::InvalidParameter);
  return Keep(flat::GdipDrawImageRectI(FNative, image->Native(), x, y, width, height));
}

Gdiplus::GpStatus TGPGraphics::DrawImage(TGPImage* image, Gdiplus::REAL x, Gdiplus::REAL y,
                                         Gdiplus::REAL width, Gdiplus::REAL height) {
  if (!FNative || !image || !image->Native()) return Keep(Gdiplus::InvalidParameter);
  return Keep(flat::GdipDrawImageRect(FNative, image->Native(), x, y, width, height));
}

Gdiplus::GpStatus TGPGraphics::SetTransform(const TGPMatrix* matrix) {
  if (!FNative || !matrix || !matrix->Native()) return Keep(Gdiplus::InvalidParameter);
  return Keep(flat::GdipSetWorldTransform(FNative, matrix->Native()));
}

Gdiplus::GpStatus TGPGraphics::ResetTransform() {
  if (!FNative) return Keep(Gdiplus::InvalidParameter);
  return Keep(flat::GdipResetWorldTransform(FNative));
}
