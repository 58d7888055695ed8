// The skinned-frame component of a form: the form's caption bar, caption buttons and
// border, drawn from its SkinData or, with none, in the toolkit's plain look. A skin
// also gives the client area its body colour; without one the form's own colour shows.
#pragma once

#include <memory>

#include "components.h"
#include "skin_frame.h"
#include "uskSkinData.h"

class TskSkinForm : public TComponent {
 public:
  TskSkinForm(TForm* form, const std::string& name);

  TskSkinData* SkinData() const { return binding_.Get(); }
  void SetSkinData(TskSkinData* data) { binding_.Set(data); }
  skin::FrameController& Frame() { return *frame_; }

 private:
  void SkinChanged();

  TForm* form_;
  std::unique_ptr<skin::FrameController> frame_;
  skin::SkinBinding binding_;
};
