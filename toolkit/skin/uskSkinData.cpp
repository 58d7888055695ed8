#include "uskSkinData.h"

#include <algorithm>

#include "io/input_file.h"
#include "win/file_attributes.h"

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

const skin::Picture& NoPicture() {
  static const skin::Picture empty;
  return empty;
}

}  // namespace

TskSkinData::TskSkinData(TComponentOwner* owner, const std::string& name) : TComponent(owner, name) {}

TskSkinData::~TskSkinData() {
  // Components still bound draw their own look from now on.
  for (skin::SkinBinding* b : std::vector<skin::SkinBinding*>(bindings_)) b->Set(nullptr);
}

void TskSkinData::LoadFromFile(const std::string& path) {
  std::string text;
  std::string error;
  if (!winapp::FileExists(path)) return;
  if (!io::ReadWholeFile(path, text, error)) throw skin::SkinError("cannot read skin " + path + ": " + error);
  std::optional<skin::SkinDescription> description = skin::ParseSkinDescription(text, path);
  if (!description) return;

  const std::string folder = FolderOf(path);
  std::vector<skin::Picture> pictures;
  for (const std::string& name : description->pictures) {
    const std::string file = folder + name;
    if (!winapp::FileExists(file)) return;  // an incomplete skin is no skin
    pictures.push_back(skin::Picture::FromFile(file, description->transparentColor));
  }
  // Every piece must lie inside its picture, or drawing would read past it.
  for (const auto* map : {&description->objects, &description->controls}) {
    for (const auto& [name, piece] : *map) {
      const skin::Picture& p = pictures[static_cast<size_t>(piece.picture)];
      if (piece.source.left + piece.source.width > p.Width() ||
          piece.source.top + piece.source.height > p.Height()) {
        throw skin::SkinError(path + ": " + name + " lies outside picture " +
                              description->pictures[static_cast<size_t>(piece.picture)]);
      }
    }
  }
  description_ = std::move(*description);
  pictures_ = std::move(pictures);
  Changed();
}

void TskSkinData::Clear() {
  description_ = skin::SkinDescription();
  pictures_.clear();
  Changed();
}

const skin::Picture& TskSkinData::MainPicture() const {
  return PictureAt(0);
}

const skin::Picture& TskSkinData::PictureAt(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= pictures_.size()) return NoPicture();
  return pictures_[static_cast<size_t>(index)];
}

bool TskSkinData::DrawObject(HDC dc, const RECT& dst, const char* name) const {
  const skin::Piece* piece = description_.Object(name);
  if (!piece || Empty()) return false;
  skin::DrawPiece(dc, dst, PictureAt(piece->picture), *piece);
  return true;
}

bool TskSkinData::DrawControl(HDC dc, const RECT& dst, const char* name) const {
  const skin::Piece* piece = description_.Control(name);
  if (!piece || Empty()) return false;
  skin::DrawPiece(dc, dst, PictureAt(piece->picture), *piece);
  return true;
}

SIZE TskSkinData::ObjectSize(const char* name) const {
  const skin::Piece* piece = description_.Object(name);
  return piece && !Empty() ? SIZE{piece->source.width, piece->source.height} : SIZE{0, 0};
}

SIZE TskSkinData::ControlSize(const char* name) const {
  const skin::Piece* piece = description_.Control(name);
  return piece && !Empty() ? SIZE{piece->source.width, piece->source.height} : SIZE{0, 0};
}

void TskSkinData::Changed() {
  for (skin::SkinBinding* b : std::vector<skin::SkinBinding*>(bindings_)) {
    if (b->changed_) b->changed_();
  }
}

namespace skin {

SkinBinding::~SkinBinding() {
  if (data_) {
    auto& list = data_->bindings_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

void SkinBinding::Set(TskSkinData* data) {
  if (data_ == data) return;
  if (data_) {
    auto& list = data_->bindings_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  data_ = data;
  if (data_) data_->bindings_.push_back(this);
  if (changed_) changed_();
}

}  // namespace skin
