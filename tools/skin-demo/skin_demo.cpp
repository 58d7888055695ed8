// skin_demo: the game's window as the skin toolkit and the asset pack make it look,
// without the game: the skinned frame captioned "幸运大转盘", the wheel's three
// pictures stacked, the bottom strip and the right panel with their labels, the sound
// check box, the built-in start and exit faces, a picture button and a skinned
// message box. For looking at a skin (and screenshots of it) under Wine or Windows.
//
//   skin_demo.exe [--skin-dir DIR] [--message] [--help]
//
// --skin-dir takes the skin from DIR (with a trailing backslash) instead of the
// game's "GameSkin\Wheel\FormSkin\"; a folder without skin.ini shows the plain look.
// --message opens the message box as soon as the window is shown.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "builtin_pictures.h"
#include "controls.h"
#include "skin_controls.h"
#include "uGyrelot_dm.h"
#include "usFunction.h"
#include "win/base_window.h"
#include "win/gbk_text.h"

namespace {

const char kUsage[] =
    "Usage: skin_demo.exe [--skin-dir DIR] [--message] [--help]\n"
    "Shows the game's window as the skin and the asset pack make it look.\n"
    "  --skin-dir DIR  read skin.ini from DIR (ending in a backslash) instead of\n"
    "                  GameSkin\\Wheel\\FormSkin\\ beside the program; a folder\n"
    "                  without skin.ini shows the toolkit's plain look\n"
    "  --message       open the skinned message box once the window is shown\n";

constexpr UINT kShowMessage = WM_APP + 1;

class TDemoForm : public TForm {
 public:
  explicit TDemoForm(bool openMessage) : TForm(L"TSkinDemo", 750, 546), openMessage_(openMessage) {
    const std::string png = sFunction.GetAppPath() + "GameSkin\\Wheel\\png\\";
    const HINSTANCE inst = GetModuleHandleW(nullptr);
    // The wheel's three pictures, one over the other, unturned.
    for (const char* name : {"1.png", "2.png", "3.png"}) {
      auto layer =
          std::make_unique<TImage>(this, std::string("Wheel_") + name[0], Handle(), TBounds{0, 0, 550, 490});
      layer->LoadFromFile(png + name);
      wheel_.push_back(std::move(layer));
    }
    img_bottom.SetAutoSize(true);
    img_bottom.LoadFromFile(png + "img_bottom.jpg");
    img_Right.SetAutoSize(true);
    img_Right.LoadFromFile(png + "img_Right.jpg");
    L_OnlineCount =
        std::make_unique<TLabel>(this, "L_OnlineCount", Handle(), TBounds{560, 73, 129, 19}, "共有 2 人在线");
    L_OnlineCount->SetOwnFont(L"Tahoma", 12, false, GB2312_CHARSET);
    L_OnlineCount->SetFontColor(RGB(0, 255, 255));
    images_.SetStrip(skin::Picture::FromResource(inst, IDB_IMAGELIST1, 0xFF00FF));
    skSkinCheckBox1 =
        std::make_unique<TskSkinCheckBox>(this, "skSkinCheckBox1", Handle(), TBounds{692, 69, 44, 25});
    skSkinCheckBox1->SetImages(&images_, 0);
    skSkinCheckBox1->SetChecked(true);
    ReMsg = std::make_unique<TPanel>(this, "ReMsg", Handle(), TBounds{559, 96, 182, 393});
    ReMsg->Tag = 99;  // keeps its own colour
    ReMsg->SetColor(RGB(0, 64, 0));
    ReMsg->SetFontColor(RGB(255, 255, 255));
    ReMsg->SetOwnFont(L"Tahoma", 12, false, GB2312_CHARSET);
    ReMsg->SetCaption("皮肤演示\r\n点击“开始”打开消息框");
    for (auto* label : {&Lbl_UserMoney, &LblMoney}) {
      *label = std::make_unique<TLabel>(this, label == &Lbl_UserMoney ? "Lbl_UserMoney" : "LblMoney",
                                        Handle(), TBounds{label == &Lbl_UserMoney ? 144 : 372, 508, 101, 13},
                                        label == &Lbl_UserMoney ? "1000" : "10");
      (*label)->SetOwnFont(L"Tahoma", 13, true);
      (*label)->SetFontColor(RGB(0, 234, 255));
    }
    ImgStart = std::make_unique<TImage>(this, "ImgStart", Handle(), TBounds{556, 494, 94, 39});
    ImgStart->SetPicture(skin::Picture::FromResource(inst, IDB_IMGSTART));
    ImgStart->SetTransparent(true);
    ImgStart->SetHandCursor(true);
    ImgStart->OnClick = [this] { ShowMessageBox(); };
    ImgExit = std::make_unique<TImage>(this, "ImgExit", Handle(), TBounds{650, 494, 93, 39});
    ImgExit->SetPicture(skin::Picture::FromResource(inst, IDB_IMGEXIT));
    ImgExit->SetHandCursor(true);
    ImgExit->OnClick = [this] { Close(); };
    Btn_Message =
        std::make_unique<TskSkinXFormButton>(this, "Btn_Message", Handle(), TBounds{12, 448, 84, 28});
    Btn_Message->SetOwnFont(L"Tahoma", 12, true, GB2312_CHARSET);
    Btn_Message->SetCaption("消息框");
    Btn_Message->OnClick = [this] { ShowMessageBox(); };
    MainForm = true;
  }

  void ShowMessageBox() {
    dm->SkinMessage.SetSkinData(skSkinData1.Empty() ? nullptr : &skSkinData1);
    dm->SkinMessage.SetCtrlSkinData(skSkinData1.Empty() ? nullptr : &skSkinData1);
    dm->SkinMessage.MessageDlg(
        "这是皮肤消息框。\r\n声音开关现在是" + std::string(skSkinCheckBox1->Checked() ? "开" : "关") + "的。",
        TskSkinMessage::Kind::kInformation, TskSkinMessage::Buttons::kOk, Handle());
  }

  TskSkinForm skSkinForm1{this, "skSkinForm1"};
  TskSkinData skSkinData1{this, "skSkinData1"};

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_SHOWWINDOW && wp && openMessage_) {
      openMessage_ = false;
      PostMessageW(Handle(), kShowMessage, 0, 0);
    }
    if (msg == kShowMessage) {
      ShowMessageBox();
      return 0;
    }
    return TForm::HandleMessage(msg, wp, lp);
  }

 private:
  bool openMessage_;
  std::vector<std::unique_ptr<TImage>> wheel_;
  TImageList images_{this, "ImageList1", 20, 20};

 public:
  TImage img_bottom{this, "img_bottom", Handle(), TBounds{0, 490, 550, 50}};
  TImage img_Right{this, "img_Right", Handle(), TBounds{550, 0, 200, 540}};
  std::unique_ptr<TLabel> L_OnlineCount;
  std::unique_ptr<TskSkinCheckBox> skSkinCheckBox1;
  std::unique_ptr<TPanel> ReMsg;
  std::unique_ptr<TLabel> Lbl_UserMoney, LblMoney;
  std::unique_ptr<TImage> ImgStart, ImgExit;
  std::unique_ptr<TskSkinXFormButton> Btn_Message;
};

void Say(const std::string& text) {
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    std::FILE* out = std::freopen("CONOUT$", "w", stdout);
    if (out) {
      std::fputs(text.c_str(), stdout);
      std::fflush(stdout);
      return;
    }
  }
  MessageBoxA(nullptr, text.c_str(), "skin_demo", MB_OK);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::string skinDir = sFunction.GetAppPath() + "GameSkin\\Wheel\\FormSkin\\";
  bool openMessage = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--help" || a == L"-h") {
      Say(kUsage);
      return 0;
    } else if (a == L"--message") {
      openMessage = true;
    } else if (a == L"--skin-dir" && i + 1 < argc) {
      skinDir = gbk::FromWide(argv[++i]);
    } else {
      Say("skin_demo: unknown argument " + gbk::FromWide(a) + "\n" + kUsage);
      return 2;
    }
  }
  LocalFree(argv);

  skin::GdiplusSession gdiplus;
  Tdm module;
  dm = &module;
  winapp::SetErrorHandler([](HWND owner, const std::exception& e) {
    dm->SkinMessage.MessageDlg(e.what(), TskSkinMessage::Kind::kError, TskSkinMessage::Buttons::kOk, owner);
  });
  int code = 0;
  try {
    TDemoForm form(openMessage);
    form.SetCaption("幸运大转盘");
    module.LoadSkin(form, &form.skSkinForm1, form.skSkinData1, skinDir);
    form.Show();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (IsDialogMessageW(form.Handle(), &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  } catch (const std::exception& e) {
    module.SkinMessage.MessageDlg(e.what(), TskSkinMessage::Kind::kError, TskSkinMessage::Buttons::kOk);
    code = 1;
  }
  winapp::SetErrorHandler(nullptr);
  dm = nullptr;
  return code;
}
