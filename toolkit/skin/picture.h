// A decoded picture the toolkit draws from: 32-bit pixels with premultiplied alpha in
// a DIB section, so pieces of it can be blended onto any DC with AlphaBlend.
// Files are decoded by their extension (".bmp", ".png", ".jpg"/".jpeg") through GDI+,
// which the program starts before any picture is loaded (GdiplusSession).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "skin_description.h"
#include "win/gdi_owner.h"

namespace skin {

// GDI+ started for as long as the object lives (the program's start holds one).
class GdiplusSession {
 public:
  GdiplusSession();
  ~GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  bool Started() const { return started_; }

 private:
  ULONG_PTR token_ = 0;
  bool started_ = false;
};

class Picture {
 public:
  Picture() = default;
  Picture(Picture&& other) noexcept { *this = std::move(other); }
  Picture& operator=(Picture&& other) noexcept;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  // Decodes `path` (GBK) by its extension. Throws SkinError, naming the file, when it
  // cannot be opened, its content is not what the extension says, or it cannot be
  // decoded. `transparent`, for bitmaps without alpha, is a colour made see-through.
  static Picture FromFile(const std::string& path, std::optional<Rgb> transparent = std::nullopt);
  // A bitmap resource of the running program.
  static Picture FromResource(HINSTANCE instance, int id, std::optional<Rgb> transparent = std::nullopt);
  // A copy of a bitmap (its colours; no alpha).
  static Picture FromBitmap(HBITMAP bitmap, std::optional<Rgb> transparent = std::nullopt);

  bool Empty() const { return width_ == 0 || height_ == 0; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Whether any pixel is not fully opaque.
  bool HasAlpha() const { return hasAlpha_; }
  // The colour of a pixel as 0xAARRGGBB with straight (not premultiplied) colours;
  // 0 outside the picture.
  uint32_t Pixel(int x, int y) const;
  // The pixel's colour as a GDI COLORREF (alpha dropped).
  COLORREF PixelColour(int x, int y) const;

  // Makes every pixel of this colour see-through (opaque bitmaps with a key colour).
  void MakeTransparent(Rgb colour);
  // A picture of its own with the same pixels.
  Picture Copy() const;

  // Draws the rectangle `src` of the picture into `dst` of `dc`, stretched.
  void Draw(HDC dc, const RECT& dst, const Rect& src) const;
  // Draws the whole picture with its top-left corner at (x, y), unstretched.
  void Draw(HDC dc, int x, int y) const;
  // Draws `src` into `dst` in nine slices: the margins keep their size, the middle and
  // the edges stretch.
  void DrawNineSlice(HDC dc, const RECT& dst, const Rect& src, const Margins& margins) const;

 private:
  void Allocate(int width, int height);
  void FinishAlpha();

  int width_ = 0, height_ = 0;
  bool hasAlpha_ = false;
  uint32_t* bits_ = nullptr;  // top-down rows, premultiplied BGRA, owned by dib_
  winapp::Bitmap dib_;
};

// Draws a piece of a skin's pictures.
void DrawPiece(HDC dc, const RECT& dst, const Picture& picture, const Piece& piece);

}  // namespace skin
