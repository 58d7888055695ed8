// The skin description: which pictures a skin uses and where in them each piece of a
// skinned window lies. An ini-style text file ("skin.ini"), GBK or ASCII:
//
//   [VERSION]
//   Version=1
//   Name=Gyrelot green
//   [PICTURES]
//   picture=frame.bmp            ; the main picture, beside this file; pixel (50, 50) is
//                                ; the colour of skinned panels
//   picture1=parts.png           ; more pictures, numbered from 1 without gaps
//   TransparentColor=FF00FF      ; in .bmp pictures this colour is see-through
//   [FORMINFO]
//   CaptionHeight=30             ; the band above the client area
//   BorderWidth=4                ; the frame left, right and below the client area
//   CaptionFont=WenQuanYi Micro Hei
//   CaptionFontHeight=15         ; character height in pixels
//   CaptionFontBold=1
//   CaptionColor=FFE08A          ; colours are RRGGBB
//   CaptionShadowColor=1A2A10    ; optional: drawn one pixel down and right
//   CaptionInactiveColor=B0A070  ; optional: the caption of an inactive window
//   CaptionTextLeft=38           ; where the caption text starts, from the window's left
//   SysButtonPos=6,3             ; left,top of a caption button in the window; a
//   MinButtonPos=-32,3           ; negative left counts from the window's right edge
//   BodyColor=10301C             ; background of skinned message boxes and dialogs
//   TextColor=F0F0E0             ; their text
//   ButtonTextColor=2A1800       ; the text on skinned push buttons
//   [SKINOBJECTS]
//   ; piece = picture,left,top,width,height[,margin left,margin top,margin right,margin bottom]
//   ; A piece is drawn stretched to where it goes; its margins keep their size (nine
//   ; slices), so corners and caps stay sharp.
//   caption=0,0,0,200,30,70,0,70,0
//   caption.inactive=0,0,30,200,30,70,0,70,0    ; optional
//   border.left=0,0,60,4,40,0,2,0,2
//   border.right=0,4,60,4,40,0,2,0,2
//   border.bottom=0,8,60,40,4,4,0,4,0
//   sysbutton.normal=1,0,0,24,24
//   sysbutton.over=1,24,0,24,24                 ; optional, as every ".over" and ".down"
//   sysbutton.down=1,48,0,24,24
//   minbutton.normal=1,0,24,24,24
//   minbutton.over=1,24,24,24,24
//   minbutton.down=1,48,24,24,24
//   [SKINCONTROLS]
//   checkbox.unchecked=1,0,48,22,22
//   checkbox.checked=1,22,48,22,22
//   checkbox.unchecked.over=1,44,48,22,22       ; optional
//   checkbox.checked.over=1,66,48,22,22         ; optional
//   button.normal=1,0,72,80,28,8,8,8,8
//   button.over=1,80,72,80,28,8,8,8,8           ; optional
//   button.down=1,160,72,80,28,8,8,8,8          ; optional
//
// Section and key names match regardless of case. Keys the toolkit does not know are
// kept and ignored, so a newer skin still loads. A file that lacks any of the five
// sections is no skin at all (the caller keeps what it had); a section that is there
// but holds a malformed value is an error that names the line.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace skin {

// What a skin that cannot be used raises: a broken description, a picture that cannot
// be read. The text (GBK) names the file.
class SkinError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect& o) const {
    return left == o.left && top == o.top && width == o.width && height == o.height;
  }
};

struct Margins {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const Margins& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// One piece of the look: a rectangle of one of the pictures.
struct Piece {
  int picture = 0;  // 0 is the main picture
  Rect source;
  Margins margins;
  bool operator==(const Piece& o) const {
    return picture == o.picture && source == o.source && margins == o.margins;
  }
};

// A colour as 0x00RRGGBB.
using Rgb = uint32_t;

// A caption button's place: `left` below 0 counts from the window's right edge.
struct Position {
  int left = 0, top = 0;
  bool operator==(const Position& o) const { return left == o.left && top == o.top; }
};

struct FormInfo {
  int captionHeight = 24;
  int borderWidth = 3;
  std::string captionFont = "Tahoma";
  int captionFontHeight = 13;
  bool captionFontBold = true;
  Rgb captionColor = 0xFFFFFF;
  std::optional<Rgb> captionShadowColor;
  std::optional<Rgb> captionInactiveColor;
  int captionTextLeft = 30;
  Position sysButtonPos{4, 3};
  Position minButtonPos{-24, 3};
  Rgb bodyColor = 0xF0F0F0;
  Rgb textColor = 0x000000;
  Rgb buttonTextColor = 0x000000;
};

struct SkinDescription {
  int version = 1;
  std::string name;
  // Picture file names relative to the description's folder; [0] is "picture".
  std::vector<std::string> pictures;
  std::optional<Rgb> transparentColor;
  FormInfo form;
  // The pieces of [SKINOBJECTS] and [SKINCONTROLS] by their lower-case names.
  std::map<std::string, Piece> objects;
  std::map<std::string, Piece> controls;

  // A piece by name from either map, if the skin has it.
  const Piece* Object(std::string_view name) const;
  const Piece* Control(std::string_view name) const;
};

// Reads a description. No value when the text lacks one of the sections VERSION,
// PICTURES, FORMINFO, SKINOBJECTS and SKINCONTROLS, or names no main picture. Throws
// SkinError for a value that cannot be read (`fileName` goes into the text), for a
// picture index with no picture, and for a piece with no area.
std::optional<SkinDescription> ParseSkinDescription(std::string_view text, const std::string& fileName);

}  // namespace skin
