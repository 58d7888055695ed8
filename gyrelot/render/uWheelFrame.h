// Composing one frame of the wheel area into an off-screen bitmap: the background, the
// wheel turned by an angle about its own centre, and the overlay (the pointer) on top.
#pragma once

#include <windows.h>

#include <memory>

#include "uGdiplusWrappers.h"

// The three pictures, as the window loads them ("1.png", "2.png", "3.png"); any of
// them may have failed to load and then is not drawn.
struct TWheelPictures {
  TGPImage* Background = nullptr;
  TGPImage* Wheel = nullptr;
  TGPImage* Overlay = nullptr;
};

// The frame at `angle` degrees into `dc` (a bitmap of width x height), step by step as
// the game draws it: fill white; a graphics object on the DC; the background into
// (0, 0, width, height); a matrix rotating by the angle about the wheel's centre (its
// halves rounded down) prepended; the wheel into (0, 0, its size); the transform
// reset; the overlay into (0, 0, its size); matrix and graphics released.
void ComposeWheelFrame(HDC dc, int width, int height, const TWheelPictures& pictures, int angle);

// The same frame, drawn faster. The unturned layers are prepared once (the white and
// the background as one bitmap, the overlay premultiplied) and copied or blended
// rather than drawn. The turned wheel is drawn by GDI+ as in ComposeWheelFrame, but
// onto a see-through layer kept for its angle: a spin shows the same few angles again
// and again (every multiple of 5 degrees), so after the first turn most frames are
// three copies. Gives the same pixels as ComposeWheelFrame (within one unit per
// channel); holds at most kCachedAngles layers of the wheel's visible size.
class TWheelComposer {
 public:
  static constexpr size_t kCachedAngles = 32;

  TWheelComposer(const TWheelPictures& pictures, int width, int height);
  ~TWheelComposer();
  TWheelComposer(const TWheelComposer&) = delete;
  TWheelComposer& operator=(const TWheelComposer&) = delete;

  void Compose(HDC dc, int angle);
  // Bytes held by the kept layers, for the curious.
  size_t CachedBytes() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
