// A modal message box drawn with the skin: the skinned frame with its caption, an
// icon of the kind, the text and the buttons (OK, or Yes and No) as the skin's push
// buttons. Captions and button texts come from the caption table. It is a real dialog
// (class "#32770", text in control 0xFFFF, buttons with the ids IDOK, IDYES, IDNO), so
// Tab, Enter and Esc work and outside drivers find it as they find any message box.
#pragma once

#include <windows.h>

#include <string>

#include "components.h"
#include "uskSkinData.h"

class TskSkinMessage : public TComponent {
 public:
  enum class Kind { kInformation, kWarning, kError, kConfirmation };
  enum class Buttons { kOk, kYesNo };

  TskSkinMessage(TComponentOwner* owner, const std::string& name);

  // The skin of the box's frame, and of its controls.
  TskSkinData* SkinData() const { return skin_.Get(); }
  void SetSkinData(TskSkinData* data) { skin_.Set(data); }
  TskSkinData* CtrlSkinData() const { return ctrlSkin_.Get(); }
  void SetCtrlSkinData(TskSkinData* data) { ctrlSkin_.Set(data); }

  // Shows the box over `owner` (none: the active window) and returns the button
  // pressed: IDOK, IDYES or IDNO (Esc and the close command answer IDOK or IDNO). An
  // empty caption takes the caption table's text of the kind.
  int MessageDlg(const std::string& text, Kind kind, Buttons buttons, HWND owner = nullptr,
                 const std::string& caption = std::string()) const;
  // An information box with OK.
  void ShowMessage(const std::string& text, HWND owner = nullptr) const;

 private:
  skin::SkinBinding skin_{nullptr};
  skin::SkinBinding ctrlSkin_{nullptr};
};
