#include "uskSkinForm.h"

TskSkinForm::TskSkinForm(TForm* form, const std::string& name)
    : TComponent(form, name),
      frame_(std::make_unique<skin::FrameController>(form->Handle())),
      binding_([this] { frame_->SetSkin(binding_.Active()); }) {}
