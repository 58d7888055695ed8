// Three small pictures of the wheel area made in a test, and the frame they must give
// at an angle, worked out here from the geometry alone: a frame pixel is turned back
// by the angle about the wheel's centre (its halves rounded down), the picture's colour
// there is looked up and blended over what lies below. Only points well inside a
// region of one colour are judged, so how the platform interpolates at an edge does
// not matter.
#pragma once

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "test_pictures.h"

namespace wheelpic {

// 1.png: the frame's size, a gradient, with a see-through corner where white shows.
constexpr int kFrameW = 120, kFrameH = 100;
// 2.png: odd sizes, so that the centre (40, 35) differs from the picture's middle.
constexpr int kWheelW = 81, kWheelH = 71;
constexpr int kCentreX = kWheelW / 2, kCentreY = kWheelH / 2;
constexpr int kHubRadius = 8, kRimRadius = 32;
// 3.png: a strip over the top of the frame with an opaque and a half see-through block.
constexpr int kOverlayW = 110, kOverlayH = 40;

constexpr uint32_t kHub = 0xFF202020;
// Sector k covers the directions k*45 to (k+1)*45 degrees from the centre (clockwise
// from the right on the screen); sector 5 is half see-through.
constexpr uint32_t kSectors[8] = {0xFFFF0000, 0xFF00C000, 0xFF0000FF, 0xFFFFFF00,
                                  0xFFFF00FF, 0x8000FFFF, 0xFFFF8000, 0xFF8000FF};
constexpr uint32_t kPointer = 0xFFC01010;
constexpr uint32_t kGlass = 0x800000FF;

inline uint32_t Background(int x, int y) {
  if (x >= 100 && y >= 80) return 0x00000000;
  return 0xFF000000u | static_cast<uint32_t>(x * 2) << 16 | static_cast<uint32_t>(y * 2) << 8 | 0x40u;
}

// The wheel's colour at a point (u, v) of its own picture, in continuous coordinates.
inline uint32_t WheelAt(double u, double v) {
  const double du = u - kCentreX, dv = v - kCentreY;
  const double r = std::hypot(du, dv);
  if (r > kRimRadius) return 0;
  if (r < kHubRadius) return kHub;
  double a = std::atan2(dv, du) * 180.0 / 3.14159265358979323846;
  if (a < 0) a += 360.0;
  return kSectors[static_cast<int>(a / 45.0) % 8];
}

inline uint32_t Wheel(int x, int y) {
  return WheelAt(x + 0.5, y + 0.5);
}

inline uint32_t OverlayAt(double x, double y) {
  if (x >= 30 && x < 60 && y >= 10 && y < 30) return kPointer;
  if (x >= 80 && x < 105 && y >= 5 && y < 35) return kGlass;
  return 0;
}

inline uint32_t Overlay(int x, int y) {
  return OverlayAt(x + 0.5, y + 0.5);
}

// Writes 1.png, 2.png and 3.png (each only when asked) into `folder` (with its backslash).
inline void WritePictures(const std::string& folder, bool background = true, bool wheel = true,
                          bool overlay = true) {
  if (background) testpic::WritePng(folder + "1.png", kFrameW, kFrameH, &Background);
  if (wheel) testpic::WritePng(folder + "2.png", kWheelW, kWheelH, &Wheel);
  if (overlay) testpic::WritePng(folder + "3.png", kOverlayW, kOverlayH, &Overlay);
}

// `top` (0xAARRGGBB) over the opaque colour `below`.
inline COLORREF Over(COLORREF below, uint32_t top) {
  const int a = static_cast<int>(top >> 24);
  auto mix = [a](int t, int b) { return (t * a + b * (255 - a) + 127) / 255; };
  return RGB(mix(static_cast<int>((top >> 16) & 0xFF), GetRValue(below)),
             mix(static_cast<int>((top >> 8) & 0xFF), GetGValue(below)),
             mix(static_cast<int>(top & 0xFF), GetBValue(below)));
}

// Whether `colour` of `at` holds over a disc of radius 2.5 around (u, v).
template <class Fn>
bool Uniform(Fn at, double u, double v) {
  const uint32_t c = at(u, v);
  for (int i = 0; i < 16; ++i) {
    const double t = i * 3.14159265358979323846 / 8;
    if (at(u + 2.5 * std::cos(t), v + 2.5 * std::sin(t)) != c) return false;
  }
  return at(u + 1.2, v) == c && at(u - 1.2, v) == c && at(u, v + 1.2) == c && at(u, v - 1.2) == c;
}

struct Expected {
  COLORREF colour = 0;
  // Which wheel colour is under the point (0 when none), for the test to see that
  // every sector was judged.
  uint32_t wheel = 0;
};

// The frame's pixel (x, y) at `angle` degrees, or none where it lies near an edge of
// any layer. `withWheel`: whether 2.png was there.
inline std::optional<Expected> FramePixel(int x, int y, int angle, bool withWheel = true) {
  const double px = x + 0.5, py = y + 0.5;
  auto background = [](double u, double v) {
    if (u < 0 || v < 0 || u >= kFrameW || v >= kFrameH) return 0xFFFFFFFFu;
    return (u >= 100 && v >= 80) ? 0u : 1u;  // the gradient counts as one region
  };
  if (!Uniform(background, px, py)) return std::nullopt;
  Expected e;
  e.colour = Over(RGB(255, 255, 255), Background(x, y));
  if (withWheel) {
    // The frame point turned back by the angle about the wheel's centre.
    const double t = angle * 3.14159265358979323846 / 180.0;
    const double dx = px - kCentreX, dy = py - kCentreY;
    const double u = kCentreX + dx * std::cos(t) + dy * std::sin(t);
    const double v = kCentreY - dx * std::sin(t) + dy * std::cos(t);
    auto wheel = [](double a, double b) {
      return (a < 0 || b < 0 || a >= kWheelW || b >= kWheelH) ? 0u : WheelAt(a, b);
    };
    if (!Uniform(wheel, u, v)) return std::nullopt;
    e.wheel = wheel(u, v);
    if (e.wheel) e.colour = Over(e.colour, e.wheel);
  }
  auto overlay = [](double a, double b) { return (a >= kOverlayW || b >= kOverlayH) ? 0u : OverlayAt(a, b); };
  if (!Uniform(overlay, px, py)) return std::nullopt;
  if (const uint32_t o = overlay(px, py)) e.colour = Over(e.colour, o);
  return e;
}

// How a frame compares with the worked-out pixels.
struct FrameCheck {
  int judged = 0;
  std::set<uint32_t> wheelColours;  // the wheel's colours under judged points
  int underOverlay = 0;             // judged points under 3.png's blocks
  int wrong = 0;
  std::vector<std::string> mismatches;  // the first few
};

// Judges every frame pixel of `dc` (client coordinates from (0, 0)) that lies well
// inside its regions; colours may differ by `tolerance` per channel.
inline FrameCheck CheckFrame(HDC dc, int angle, bool withWheel = true, int tolerance = 4) {
  GdiFlush();
  FrameCheck c;
  for (int y = 0; y < kFrameH; ++y) {
    for (int x = 0; x < kFrameW; ++x) {
      const std::optional<Expected> e = FramePixel(x, y, angle, withWheel);
      if (!e) continue;
      ++c.judged;
      if (e->wheel) c.wheelColours.insert(e->wheel);
      if (Overlay(x, y)) ++c.underOverlay;
      const COLORREF got = GetPixel(dc, x, y);
      if (testpic::Near(got, e->colour, tolerance)) continue;
      if (++c.wrong <= 8) {
        char line[128];
        std::snprintf(line, sizeof line, "angle %d at (%d, %d): got %06lX, want %06lX", angle, x, y,
                      static_cast<unsigned long>(got), static_cast<unsigned long>(e->colour));
        c.mismatches.push_back(line);
      }
    }
  }
  return c;
}

}  // namespace wheelpic
