// The data module: the skin components every window of the game shares, the caption
// table that gives the toolkit's menus and boxes their Chinese texts, and the two skin
// operations the game window's set-up calls.
#pragma once

#include <string>

#include "caption_table.h"
#include "components.h"
#include "uskSkinData.h"
#include "uskSkinForm.h"
#include "uskSkinMessage.h"

class Tdm : public TComponentOwner {
 public:
  // `appDir` (GBK, with a trailing backslash) replaces the program's folder, for tests.
  explicit Tdm(const std::string& appDir = std::string());
  ~Tdm() override;

  // Loads skinDir + "skin.ini" into `skinData`, binds it to `skinForm` (if given) and to
  // every skinnable component of `form` whose Tag is not 99 (panels take the colour of
  // pixel (50, 50) of the skin's main picture), then calls LoadSkinImages(form). Raises
  // skin::SkinError for a skin or an override picture that exists but cannot be read.
  void LoadSkin(TComponentOwner& form, TskSkinForm* skinForm, TskSkinData& skinData,
                const std::string& skinDir);
  // Replaces the pictures of `form`'s picture components and picture buttons by the
  // files named after them in the program's "skin\" folder, where such files exist.
  void LoadSkinImages(TComponentOwner& form);

  TskSkinData skSkinData1{this, "skSkinData1"};
  TskSkinMessage SkinMessage{this, "SkinMessage"};
  TskCaptionTable CaptionTable{this, "CaptionTable"};

 private:
  std::string appDir_;
};

// The one data module of the program, created before the game window.
extern Tdm* dm;
