// The skinnable controls: every one has a SkinData and draws from it, or in the
// toolkit's plain look when it has none.
#pragma once

#include "components.h"
#include "controls.h"
#include "uskSkinData.h"

// A windowed control that draws with a skin.
class TskSkinControl : public TWinControl {
 public:
  TskSkinData* SkinData() const { return binding_.Get(); }
  void SetSkinData(TskSkinData* data) { binding_.Set(data); }

 protected:
  TskSkinControl(TComponentOwner* owner, const std::string& name, HWND parent, const wchar_t* className,
                 const TBounds& bounds, DWORD style = 0);
  // The skin to draw with, or none for the plain look.
  const TskSkinData* ActiveSkin() const { return binding_.Active(); }

 private:
  skin::SkinBinding binding_;
};

// A flat check box: the skin's "checkbox" element (checked, unchecked, pointer over),
// then a picture of an image list, then the caption. A click toggles it and raises
// OnClick; so does the space bar when it has the focus. BM_GETCHECK answers its state.
class TskSkinCheckBox : public TskSkinControl {
 public:
  TskSkinCheckBox(TComponentOwner* owner, const std::string& name, HWND parent, const TBounds& bounds);

  bool Checked() const { return checked_; }
  // Changes the state without raising OnClick.
  void SetChecked(bool checked);
  void SetImages(const TImageList* images, int index) {
    images_ = images;
    imageIndex_ = index;
    Invalidate();
  }

 protected:
  void Paint(HDC dc) override;
  void Click() override;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool checked_ = false;
  const TImageList* images_ = nullptr;
  int imageIndex_ = 0;
};

// A picture button. Without skin data and with a DefImage it shows DefDownImage while
// pressed, DefActiveImage while the pointer is over it and DefImage otherwise (an
// empty pressed or pointer-over picture falls back to DefImage). With skin data it is
// the skin's push button with its caption; with neither, the toolkit's plain button.
class TskSkinXFormButton : public TskSkinControl {
 public:
  TskSkinXFormButton(TComponentOwner* owner, const std::string& name, HWND parent, const TBounds& bounds);

  enum class Face { kPlain, kSkin, kDefImage, kDefActiveImage, kDefDownImage };
  // What the button shows now.
  Face CurrentFace() const;

  skin::Picture DefImage, DefActiveImage, DefDownImage;
  // Load a ".bmp" file into one of the three pictures (throw skin::SkinError).
  void LoadDefImage(const std::string& path);
  void LoadDefActiveImage(const std::string& path);
  void LoadDefDownImage(const std::string& path);

 protected:
  void Paint(HDC dc) override;
};
