#include "uGyrelot_dm.h"

#include <vector>

#include "controls.h"
#include "skin_controls.h"
#include "usFunction.h"
#include "win/file_attributes.h"

Tdm* dm = nullptr;

namespace {

// The toolkit's standard texts the game shows in Chinese; the rest stay English.
const char* const kChineseCaptions[][2] = {
    {"MI_MINCAPTION", "最小化(&I)"},
    {"MI_MAXCAPTION", "最大化(&A)"},
    {"MI_CLOSECAPTION", "关闭(&C)"},
    {"MI_RESTORECAPTION", "还原(&R)"},
    {"MINBUTTON_HINT", "最小化"},
    {"MAXBUTTON_HINT", "最大化"},
    {"CLOSEBUTTON_HINT", "关闭"},
    {"MENUBUTTON_HINT", "系统"},
    {"EDIT_UNDO", "恢复"},
    {"EDIT_COPY", "复制"},
    {"EDIT_CUT", "剪切"},
    {"EDIT_PASTE", "粘贴"},
    {"EDIT_DELETE", "删除"},
    {"EDIT_SELECTALL", "全选"},
    {"MSG_BTN_YES", "是(&Y)"},
    {"MSG_BTN_NO", "否(&N)"},
    {"MSG_BTN_OK", "确定"},
    {"MSG_BTN_CANCEL", "取消"},
    {"MSG_CAP_WARNING", "警告"},
    {"MSG_CAP_ERROR", "错误"},
    {"MSG_CAP_INFORMATION", "信息"},
    {"MSG_CAP_CONFIRM", "确认"},
};

}  // namespace

Tdm::Tdm(const std::string& appDir) : appDir_(appDir.empty() ? sFunction.GetAppPath() : appDir) {
  CaptionTable.Charset = GB2312_CHARSET;
  for (const auto& entry : kChineseCaptions) CaptionTable.Set(entry[0], entry[1]);
  CaptionTable.Install();
  SkinMessage.SetSkinData(&skSkinData1);
  SkinMessage.SetCtrlSkinData(&skSkinData1);
}

Tdm::~Tdm() = default;

void Tdm::LoadSkin(TComponentOwner& form, TskSkinForm* skinForm, TskSkinData& skinData,
                   const std::string& skinDir) {
  skinData.LoadFromFile(skinDir + "skin.ini");
  if (skinForm) skinForm->SetSkinData(&skinData);
  const skin::Picture& main = skinData.MainPicture();
  // A copy: setting a property must not disturb the walk.
  const std::vector<TComponent*> components = form.Components();
  for (TComponent* c : components) {
    if (c->Tag == 99) continue;
    // Without a main picture there is no pixel to take: the panel keeps its colour.
    if (auto* panel = dynamic_cast<TPanel*>(c); panel && main.Width() > 50 && main.Height() > 50) {
      panel->SetColor(main.PixelColour(50, 50));
    }
    if (auto* control = dynamic_cast<TskSkinControl*>(c)) control->SetSkinData(&skinData);
    if (auto* message = dynamic_cast<TskSkinMessage*>(c)) {
      message->SetSkinData(&skinData);
      message->SetCtrlSkinData(&skinData);
    }
  }
  LoadSkinImages(form);
}

void Tdm::LoadSkinImages(TComponentOwner& form) {
  const std::string prefix = appDir_ + "skin\\";
  const std::vector<TComponent*> components = form.Components();
  for (TComponent* c : components) {
    const std::string& n = c->Name();
    if (auto* button = dynamic_cast<TskSkinXFormButton*>(c)) {
      if (winapp::FileExists(prefix + n + ".bmp")) {
        button->SetSkinData(nullptr);
        button->LoadDefImage(prefix + n + ".bmp");
      }
      if (winapp::FileExists(prefix + n + "over.bmp")) button->LoadDefActiveImage(prefix + n + "over.bmp");
      if (winapp::FileExists(prefix + n + "Down.bmp")) button->LoadDefDownImage(prefix + n + "Down.bmp");
    }
    if (auto* image = dynamic_cast<TImage*>(c)) {
      if (winapp::FileExists(prefix + n + ".bmp")) {
        image->LoadFromFile(prefix + n + ".bmp");
      } else if (winapp::FileExists(prefix + n + ".png")) {
        image->LoadFromFile(prefix + n + ".png");
      }
    }
  }
}
