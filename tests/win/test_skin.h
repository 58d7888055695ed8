// A small skin made in a test: every piece of it one solid colour, so a test can tell
// from a pixel which piece was drawn.
#pragma once

#include <string>

#include "test_pictures.h"

namespace testskin {

// frame.bmp (120 x 100): caption band, borders, and the panel pixel at (50, 50).
constexpr uint32_t kCaption = 0xFF804020;
constexpr uint32_t kBorder = 0xFF305070;
constexpr uint32_t kFrameRest = 0xFF203040;
constexpr uint32_t kPanelPixel = 0xFF123456;
// parts.png (200 x 100, see-through between the pieces).
constexpr uint32_t kSysNormal = 0xFF00A000, kSysOver = 0xFF00FF00, kSysDown = 0xFF005000;
constexpr uint32_t kMinNormal = 0xFF0000A0, kMinOver = 0xFF4040FF, kMinDown = 0xFF000050;
constexpr uint32_t kUnchecked = 0xFF0000C8, kChecked = 0xFFFF0000;
constexpr uint32_t kUncheckedOver = 0xFF8080FF, kCheckedOver = 0xFFFF8080;
constexpr uint32_t kButtonNormal = 0xFFC8A000, kButtonOver = 0xFFFFD040, kButtonDown = 0xFF806000;

constexpr int kCaptionHeight = 30, kBorderWidth = 4;

inline COLORREF Gdi(uint32_t argb) {
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

inline std::string SkinIni(bool withControls = true) {
  std::string ini =
      "[VERSION]\r\nVersion=1\r\nName=test\r\n"
      "[PICTURES]\r\npicture=frame.bmp\r\npicture1=parts.png\r\n"
      "[FORMINFO]\r\nCaptionHeight=30\r\nBorderWidth=4\r\nCaptionFont=Tahoma\r\nCaptionFontHeight=14\r\n"
      "CaptionColor=FFFFFF\r\nCaptionTextLeft=30\r\nSysButtonPos=5,5\r\nMinButtonPos=-25,5\r\n"
      "BodyColor=203040\r\nTextColor=F0F0F0\r\nButtonTextColor=000000\r\n"
      "[SKINOBJECTS]\r\ncaption=0,0,0,120,30,10,0,10,0\r\n"
      "border.left=0,0,40,4,40\r\nborder.right=0,4,40,4,40\r\nborder.bottom=0,10,40,40,4\r\n"
      "sysbutton.normal=1,0,0,20,20\r\nsysbutton.over=1,20,0,20,20\r\nsysbutton.down=1,40,0,20,20\r\n"
      "minbutton.normal=1,0,20,20,20\r\nminbutton.over=1,20,20,20,20\r\nminbutton.down=1,40,20,20,20\r\n";
  if (withControls) {
    ini +=
        "[SKINCONTROLS]\r\ncheckbox.unchecked=1,0,40,20,20\r\ncheckbox.checked=1,20,40,20,20\r\n"
        "checkbox.checked.over=1,40,40,20,20\r\ncheckbox.unchecked.over=1,60,40,20,20\r\n"
        "button.normal=1,0,60,60,30,4,4,4,4\r\nbutton.over=1,60,60,60,30,4,4,4,4\r\n"
        "button.down=1,120,60,60,30,4,4,4,4\r\n";
  }
  return ini;
}

inline uint32_t FramePixel(int x, int y) {
  if (x == 50 && y == 50) return kPanelPixel;
  if (y < 30) return kCaption;
  if (y >= 40 && y < 80 && x < 8) return kBorder;
  if (y >= 40 && y < 44 && x >= 10 && x < 50) return kBorder;
  return kFrameRest;
}

inline uint32_t PartsPixel(int x, int y) {
  struct Area {
    int x, y, w, h;
    uint32_t c;
  } areas[] = {
      {0, 0, 20, 20, kSysNormal},       {20, 0, 20, 20, kSysOver},      {40, 0, 20, 20, kSysDown},
      {0, 20, 20, 20, kMinNormal},      {20, 20, 20, 20, kMinOver},     {40, 20, 20, 20, kMinDown},
      {0, 40, 20, 20, kUnchecked},      {20, 40, 20, 20, kChecked},     {40, 40, 20, 20, kCheckedOver},
      {60, 40, 20, 20, kUncheckedOver}, {0, 60, 60, 30, kButtonNormal}, {60, 60, 60, 30, kButtonOver},
      {120, 60, 60, 30, kButtonDown},
  };
  for (const Area& a : areas) {
    if (x >= a.x && x < a.x + a.w && y >= a.y && y < a.y + a.h) return a.c;
  }
  return 0;  // see-through
}

// Writes skin.ini, frame.bmp and parts.png into `folder` (with its trailing separator).
inline void Write(const std::string& folder, bool withControls = true) {
  testpic::WriteBytes(folder + "skin.ini", SkinIni(withControls));
  testpic::WriteBmp(folder + "frame.bmp", 120, 100, FramePixel);
  testpic::WritePng(folder + "parts.png", 200, 100, PartsPixel);
}

}  // namespace testskin
