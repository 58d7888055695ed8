// The plain controls of the toolkit: picture component, transparent label, panel and
// the image list a check box takes its glyph from.
#pragma once

#include <optional>

#include "components.h"
#include "picture.h"

// Shows a picture (BMP, PNG or JPEG, decoded by its extension) at its top-left corner.
class TImage : public TWinControl {
 public:
  TImage(TComponentOwner* owner, const std::string& name, HWND parent, const TBounds& bounds);

  // Decodes `path` (GBK) and shows it; throws skin::SkinError, keeping the old picture,
  // when the file cannot be read as the picture its extension names.
  void LoadFromFile(const std::string& path);
  void SetPicture(skin::Picture picture);
  const skin::Picture& Picture() const { return picture_; }

  // The control takes the picture's size whenever the picture changes.
  void SetAutoSize(bool on);
  bool AutoSize() const { return autoSize_; }
  // What lies behind shows through: transparent pixels of a picture with alpha, or
  // for an opaque picture every pixel of its bottom-left pixel's colour.
  void SetTransparent(bool on);
  bool Transparent() const { return transparent_; }
  void SetHandCursor(bool on) { handCursor_ = on; }

 protected:
  void Paint(HDC dc) override;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void UpdateShown();

  skin::Picture picture_;
  // What is drawn when the picture is opaque but the control transparent: the picture
  // with its bottom-left pixel's colour see-through.
  skin::Picture keyed_;
  bool autoSize_ = false;
  bool transparent_ = false;
  bool handCursor_ = false;
};

// A caption drawn over what lies behind it, centred both ways in a fixed box.
class TLabel : public TWinControl {
 public:
  TLabel(TComponentOwner* owner, const std::string& name, HWND parent, const TBounds& bounds,
         const std::string& caption = std::string());

  COLORREF FontColor() const { return color_; }
  void SetFontColor(COLORREF c);

 protected:
  void Paint(HDC dc) override;

 private:
  COLORREF color_ = RGB(0, 0, 0);
};

// A raised panel of one colour with an optional centred caption.
class TPanel : public TWinControl {
 public:
  TPanel(TComponentOwner* owner, const std::string& name, HWND parent, const TBounds& bounds);

  COLORREF Color() const { return color_; }
  void SetColor(COLORREF c);
  void SetFontColor(COLORREF c);

 protected:
  void Paint(HDC dc) override;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  COLORREF color_;
  COLORREF fontColor_;
};

// Pictures of one size side by side in one strip; drawn by index.
class TImageList : public TComponent {
 public:
  TImageList(TComponentOwner* owner, const std::string& name, int width, int height);

  // The strip; its width is a multiple of the image width (the rest is ignored).
  void SetStrip(skin::Picture strip) { strip_ = std::move(strip); }
  int Count() const;
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Draws image `index` with its top-left corner at (x, y); nothing for a bad index.
  void Draw(HDC dc, int x, int y, int index) const;

 private:
  skin::Picture strip_;
  int width_, height_;
};

// A surface the program draws on itself: OnPaint gets the control's DC (double
// buffered) whenever it must be painted.
class TPaintBox : public TWinControl {
 public:
  TPaintBox(TComponentOwner* owner, const std::string& name, HWND parent, const TBounds& bounds);

  std::function<void(HDC dc)> OnPaint;

 protected:
  void Paint(HDC dc) override;
};

// The system's rich edit control, with the few operations a message pane needs:
// formatted text appended at the caret, read back with its formats.
class TRichEdit : public TComponent {
 public:
  TRichEdit(TComponentOwner* owner, const std::string& name, HWND parent, const TBounds& bounds, DWORD style);
  ~TRichEdit() override;

  HWND Handle() const { return hwnd_; }
  void SetBackgroundColor(COLORREF c);
  // The format of text typed or inserted where nothing else is set: font, character
  // height in pixels, colour, character set.
  void SetDefaultFormat(const wchar_t* face, int heightPx, COLORREF colour, BYTE charset);

  // The caret at the end of the text, nothing selected.
  void MoveCaretToEnd();
  // The size (in points), colour and weight of what is inserted next at the caret.
  void SetSelectionSize(int points);
  void SetSelectionColour(COLORREF colour, bool bold);
  // Inserts GBK text at the caret, replacing the selection.
  void InsertText(const std::string& gbk);
  void ScrollToBottom();

  // The whole text as GBK (line ends as the control keeps them).
  std::string Text() const;
  // The format of the character at `index`: colour, bold, size in points.
  struct CharFormat {
    COLORREF colour = 0;
    bool bold = false;
    int points = 0;
  };
  CharFormat FormatAt(int index) const;

 private:
  HWND hwnd_ = nullptr;
};
