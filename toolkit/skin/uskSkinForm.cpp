#include "uskSkinForm.h"

TskSkinForm::TskSkinForm(TForm* form, const std::string& name)
    : TComponent(form, name),
      form_(form),
      frame_(std::make_unique<skin::FrameController>(form->Handle())),
      binding_([this] { SkinChanged(); }) {}

void TskSkinForm::SkinChanged() {
  const TskSkinData* skin = binding_.Active();
  frame_->SetSkin(skin);
  if (skin) {
    const skin::Rgb c = skin->Description().form.bodyColor;
    form_->SetSkinColor(RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
  } else {
    form_->SetSkinColor(std::nullopt);
  }
}
