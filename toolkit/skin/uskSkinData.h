// The skin-data component: a loaded skin description with its pictures, which skinned
// windows and controls draw from. Empty until a skin is loaded; components whose skin
// data is empty (or none) draw the toolkit's plain look.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "components.h"
#include "picture.h"
#include "skin_description.h"

namespace skin {
class SkinBinding;
}

class TskSkinData : public TComponent {
 public:
  TskSkinData(TComponentOwner* owner, const std::string& name);

  // Loads `path` (GBK). A file that does not exist, or that lacks one of the five
  // sections (or its main picture's name), changes nothing and reports nothing. A
  // malformed value, or a picture that it names and that exists but cannot be read,
  // raises skin::SkinError and changes nothing either. A named picture that does not
  // exist makes the skin incomplete: nothing changes.
  void LoadFromFile(const std::string& path);
  // Back to no skin.
  void Clear();

  bool Empty() const { return pictures_.empty(); }
  const skin::SkinDescription& Description() const { return description_; }
  // The main picture (picture 0), whose pixels can be read.
  const skin::Picture& MainPicture() const;
  const skin::Picture& PictureAt(int index) const;
  // Draws a piece of the skin into `dst`; false when the skin has no such piece.
  bool DrawObject(HDC dc, const RECT& dst, const char* name) const;
  bool DrawControl(HDC dc, const RECT& dst, const char* name) const;
  // The size of a piece, or 0 by 0.
  SIZE ObjectSize(const char* name) const;
  SIZE ControlSize(const char* name) const;

  ~TskSkinData() override;

 private:
  friend class skin::SkinBinding;
  void Changed();

  skin::SkinDescription description_;
  std::vector<skin::Picture> pictures_;
  std::vector<skin::SkinBinding*> bindings_;
};

namespace skin {

// A component's link to the skin data it draws with (its `SkinData`): told when the
// skin changes, and set to none when the skin data goes away first.
class SkinBinding {
 public:
  explicit SkinBinding(std::function<void()> changed) : changed_(std::move(changed)) {}
  // Leaves the skin data without telling the owner, which is going away.
  ~SkinBinding();
  SkinBinding(const SkinBinding&) = delete;
  SkinBinding& operator=(const SkinBinding&) = delete;

  void Set(TskSkinData* data);
  TskSkinData* Get() const { return data_; }
  // The skin to draw with: bound and loaded, or null for the plain look.
  const TskSkinData* Active() const { return data_ && !data_->Empty() ? data_ : nullptr; }

 private:
  friend class ::TskSkinData;
  TskSkinData* data_ = nullptr;
  std::function<void()> changed_;
};

}  // namespace skin
