#include "caption_table.h"

namespace {

const TskCaptionTable* g_installed = nullptr;

const std::map<std::string, std::string>& EnglishTexts() {
  static const std::map<std::string, std::string> texts = {
      {"MI_MINCAPTION", "Mi&nimize"},
      {"MI_MAXCAPTION", "Ma&ximize"},
      {"MI_CLOSECAPTION", "&Close"},
      {"MI_RESTORECAPTION", "&Restore"},
      {"MI_MOVECAPTION", "&Move"},
      {"MI_SIZECAPTION", "&Size"},
      {"MINBUTTON_HINT", "Minimize"},
      {"MAXBUTTON_HINT", "Maximize"},
      {"CLOSEBUTTON_HINT", "Close"},
      {"RESTORE_HINT", "Restore"},
      {"MENUBUTTON_HINT", "System"},
      {"EDIT_UNDO", "Undo"},
      {"EDIT_COPY", "Copy"},
      {"EDIT_CUT", "Cut"},
      {"EDIT_PASTE", "Paste"},
      {"EDIT_DELETE", "Delete"},
      {"EDIT_SELECTALL", "Select All"},
      {"MSG_BTN_YES", "&Yes"},
      {"MSG_BTN_NO", "&No"},
      {"MSG_BTN_OK", "OK"},
      {"MSG_BTN_CANCEL", "Cancel"},
      {"MSG_BTN_ABORT", "&Abort"},
      {"MSG_BTN_RETRY", "&Retry"},
      {"MSG_BTN_IGNORE", "&Ignore"},
      {"MSG_BTN_ALL", "&All"},
      {"MSG_BTN_HELP", "&Help"},
      {"MSG_CAP_WARNING", "Warning"},
      {"MSG_CAP_ERROR", "Error"},
      {"MSG_CAP_INFORMATION", "Information"},
      {"MSG_CAP_CONFIRM", "Confirm"},
  };
  return texts;
}

}  // namespace

TskCaptionTable::TskCaptionTable(TComponentOwner* owner, const std::string& name) : TComponent(owner, name) {}

TskCaptionTable::~TskCaptionTable() {
  if (g_installed == this) g_installed = nullptr;
}

std::string TskCaptionTable::Get(const std::string& key) const {
  const auto it = texts_.find(key);
  return it != texts_.end() ? it->second : skin::DefaultCaption(key);
}

void TskCaptionTable::Set(const std::string& key, const std::string& text) {
  texts_[key] = text;
}

void TskCaptionTable::Install() {
  g_installed = this;
}

namespace skin {

std::string Caption(const std::string& key) {
  return g_installed ? g_installed->Get(key) : DefaultCaption(key);
}

std::string DefaultCaption(const std::string& key) {
  const auto& texts = EnglishTexts();
  const auto it = texts.find(key);
  return it != texts.end() ? it->second : std::string();
}

}  // namespace skin
