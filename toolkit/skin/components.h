// Components and the windows they live in. A form owns a list of components in
// creation order, each with a Name, a Tag and a kind (its class); the data module's
// skin operations walk that list. Controls are real child windows that carry their
// Name as the window property "Name", so drivers and accessibility tools find them.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win/base_window.h"
#include "win/gdi_owner.h"

class TComponent;

// What holds components: a form or the data module.
class TComponentOwner {
 public:
  TComponentOwner() = default;
  TComponentOwner(const TComponentOwner&) = delete;
  TComponentOwner& operator=(const TComponentOwner&) = delete;
  virtual ~TComponentOwner() = default;

  // The components in creation order (those destroyed already left out).
  const std::vector<TComponent*>& Components() const { return components_; }
  TComponent* FindComponent(const std::string& name) const;

 private:
  friend class TComponent;
  std::vector<TComponent*> components_;
};

class TComponent {
 public:
  // Joins `owner`'s list (at its end) when an owner is given.
  TComponent(TComponentOwner* owner, const std::string& name);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  int Tag = 0;
  TComponentOwner* Owner() const { return owner_; }

 private:
  TComponentOwner* owner_;
  std::string name_;
};

// Where and how big a control is, in its parent's client area.
struct TBounds {
  int left = 0, top = 0, width = 0, height = 0;
};

// A control that is a child window. It paints itself double-buffered through Paint,
// which WM_PRINTCLIENT uses too, so a transparent control in front of it can show it.
class TWinControl : public TComponent, public winapp::BaseWindow {
 public:
  ~TWinControl() override;

  TBounds Bounds() const;
  void SetBounds(const TBounds& b);
  bool Enabled() const { return IsWindowEnabled(Handle()) != FALSE; }
  void SetEnabled(bool enabled);
  bool Visible() const { return IsWindowVisible(Handle()) != FALSE; }
  void SetVisible(bool visible);
  // The caption as GBK; WM_GETTEXT answers it to other programs.
  std::string Caption() const;
  void SetCaption(const std::string& gbk);
  void SetFont(HFONT font);  // not owned
  // A font of the control's own: face, character height in pixels, weight.
  void SetOwnFont(const wchar_t* face, int height, bool bold, BYTE charset = DEFAULT_CHARSET);
  HFONT Font() const { return font_; }
  void Invalidate();
  // Paints the whole control into `dc` (client coordinates).
  void PaintTo(HDC dc);

  // A press and release of the left button inside the control.
  std::function<void()> OnClick;

  bool PointerOver() const { return hover_; }
  bool Pressed() const { return pressed_ && hover_; }

 protected:
  TWinControl(TComponentOwner* owner, const std::string& name, HWND parent, const wchar_t* className,
              const TBounds& bounds, DWORD style = 0, DWORD exStyle = 0, HCURSOR cursor = nullptr);

  virtual void Paint(HDC dc) = 0;
  // What a click does: raise OnClick.
  virtual void Click();
  // Paints what lies behind the control (the parent's background and the siblings
  // below it), for controls that are see-through.
  void PaintBehind(HDC dc);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void SetHover(bool hover);

  HFONT font_ = nullptr;
  winapp::Font ownFont_;
  bool hover_ = false;
  bool pressed_ = false;
};

// A top-level window holding components. It has no frame of its own: a skinned frame
// (TskSkinForm) draws caption and border around the client area.
class TForm : public TComponentOwner, public winapp::BaseWindow {
 public:
  // Creates the window hidden, with a client area of the given size centred on the
  // desktop, white, Tahoma 11 px.
  TForm(const wchar_t* className, int clientWidth, int clientHeight);
  ~TForm() override;

  std::string Caption() const;
  void SetCaption(const std::string& gbk);
  COLORREF Color() const { return color_; }
  void SetColor(COLORREF c);
  // The colour a skin gives the client area, over Color (none: Color shows).
  void SetSkinColor(std::optional<COLORREF> c);
  // What the client area's background is painted with now.
  COLORREF BackgroundColor() const { return skinColor_.value_or(color_); }
  HFONT Font() const { return font_.get(); }
  void Show();
  // Closes the window as the system's close command does (OnClose is asked first).
  void Close();
  // Ends the thread's message loop when the window is destroyed.
  bool MainForm = false;

  // Asked before the window closes; setting the argument to false keeps it open.
  std::function<void(bool& canClose)> OnClose;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  COLORREF color_ = RGB(255, 255, 255);
  std::optional<COLORREF> skinColor_;
  winapp::Font font_;
};
