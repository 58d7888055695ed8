// The data module's two skin operations on a window of components, with skin folders
// and "skin\" override pictures made in each case.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "controls.h"
#include "skin_controls.h"
#include "temp_dir.h"
#include "test_pictures.h"
#include "test_skin.h"
#include "uGyrelot_dm.h"
#include "win/gbk_text.h"

namespace {

skin::GdiplusSession gdiplus;

using testskin::Gdi;

constexpr COLORREF kPanelColour = RGB(1, 2, 3);

// A window with one component of each kind the operations look at, two of them
// with Tag 99.
struct Window {
  TForm form{L"TSkinLoadingForm", 750, 546};
  TskSkinForm skSkinForm1{&form, "skSkinForm1"};
  TskSkinData skSkinData1{&form, "skSkinData1"};
  TPanel Panel1{&form, "Panel1", form.Handle(), TBounds{0, 0, 60, 60}};
  TPanel Panel99{&form, "Panel99", form.Handle(), TBounds{0, 60, 60, 60}};
  TskSkinCheckBox skSkinCheckBox1{&form, "skSkinCheckBox1", form.Handle(), TBounds{692, 69, 44, 25}};
  TskSkinCheckBox Check99{&form, "Check99", form.Handle(), TBounds{692, 100, 44, 25}};
  TImage img_Right{&form, "img_Right", form.Handle(), TBounds{550, 0, 200, 540}};
  TImage img_bottom{&form, "img_bottom", form.Handle(), TBounds{0, 490, 550, 50}};
  TskSkinXFormButton Btn1{&form, "Btn1", form.Handle(), TBounds{300, 300, 40, 20}};
  TskSkinMessage SkinMessage{&form, "SkinMessage"};

  Window() {
    Panel1.SetColor(kPanelColour);
    Panel99.SetColor(kPanelColour);
    Panel99.Tag = 99;
    Check99.Tag = 99;
    img_Right.SetAutoSize(true);
  }
};

struct Installation {
  TempDir dir;
  std::string app = dir.path().string() + "\\";
  std::string skinDir = app + "GameSkin\\Wheel\\FormSkin\\";
  std::string overrides = app + "skin\\";
  Installation() {
    std::filesystem::create_directories(gbk::ToWide(skinDir));
    std::filesystem::create_directories(gbk::ToWide(overrides));
  }
};

// Override pictures told apart by their size.
void Bmp(const std::string& path, int w) {
  testpic::WriteBmp(path, w, 10, testpic::Solid(0xFF808080));
}

void Png(const std::string& path, int w) {
  testpic::WritePng(path, w, 10, testpic::Solid(0xFF808080));
}

}  // namespace

TEST(Tdm, GivesTheToolkitItsChineseTexts) {
  Installation inst;
  Tdm dm(inst.app);
  struct Case {
    const char* key;
    const char* text;
  } cases[] = {
      {"MI_MINCAPTION", "最小化(&I)"}, {"MI_RESTORECAPTION", "还原(&R)"}, {"MI_CLOSECAPTION", "关闭(&C)"},
      {"MSG_BTN_OK", "确定"},          {"MSG_BTN_YES", "是(&Y)"},         {"MSG_BTN_NO", "否(&N)"},
      {"MSG_CAP_ERROR", "错误"},       {"MSG_CAP_INFORMATION", "信息"},   {"EDIT_SELECTALL", "全选"},
      {"MSG_BTN_ABORT", "&Abort"},  // not in the game's table: the toolkit's English text
  };
  for (const Case& c : cases) EXPECT_EQ(skin::Caption(c.key), c.text) << c.key;
  EXPECT_EQ(dm.CaptionTable.Charset, GB2312_CHARSET);
  EXPECT_EQ(dm.SkinMessage.SkinData(), &dm.skSkinData1);
}

TEST(Tdm, LoadSkinBindsTheSkinToEveryComponentButThoseTagged99) {
  Installation inst;
  testskin::Write(inst.skinDir);
  Tdm dm(inst.app);
  Window w;
  dm.LoadSkin(w.form, &w.skSkinForm1, w.skSkinData1, inst.skinDir);

  ASSERT_FALSE(w.skSkinData1.Empty());
  EXPECT_EQ(w.skSkinForm1.SkinData(), &w.skSkinData1);
  EXPECT_EQ(w.Panel1.Color(), Gdi(testskin::kPanelPixel));
  EXPECT_EQ(w.skSkinCheckBox1.SkinData(), &w.skSkinData1);
  EXPECT_EQ(w.Btn1.SkinData(), &w.skSkinData1);
  EXPECT_EQ(w.SkinMessage.SkinData(), &w.skSkinData1);
  EXPECT_EQ(w.SkinMessage.CtrlSkinData(), &w.skSkinData1);
  // Tag 99 keeps its own skin data and colour.
  EXPECT_EQ(w.Panel99.Color(), kPanelColour);
  EXPECT_EQ(w.Check99.SkinData(), nullptr);
  // The data module's own skin data stays empty: the window skins itself.
  EXPECT_TRUE(dm.skSkinData1.Empty());
  RECT client{};
  GetClientRect(w.form.Handle(), &client);
  EXPECT_EQ(client.right, 750);
  EXPECT_EQ(client.bottom, 546);
}

TEST(Tdm, WithoutAWholeSkinTheWindowKeepsThePlainLookAndNothingIsReported) {
  for (const bool partial : {false, true}) {
    Installation inst;
    if (partial) testskin::Write(inst.skinDir, /*withControls=*/false);
    Tdm dm(inst.app);
    Window w;
    EXPECT_NO_THROW(dm.LoadSkin(w.form, &w.skSkinForm1, w.skSkinData1, inst.skinDir)) << partial;
    EXPECT_TRUE(w.skSkinData1.Empty()) << partial;
    EXPECT_EQ(w.skSkinForm1.Frame().Skin(), nullptr) << partial;  // the plain frame
    EXPECT_EQ(w.Panel1.Color(), kPanelColour) << partial;         // no main picture, no new colour
    RECT client{};
    GetClientRect(w.form.Handle(), &client);
    EXPECT_EQ(client.right, 750);
    EXPECT_EQ(client.bottom, 546);
  }
}

TEST(Tdm, OverridePicturesFromTheSkinFolder) {
  struct Case {
    const char* what;
    std::function<void(const Installation&)> make;
    std::function<void(Window&)> tag;  // before the skin is loaded
    std::function<void(Window&, const Installation&)> check;
  } cases[] = {
      {"bitmap before png",
       [](const Installation& i) {
         Bmp(i.overrides + "img_Right.bmp", 21);
         Png(i.overrides + "img_Right.png", 22);
       },
       nullptr, [](Window& w, const Installation&) { EXPECT_EQ(w.img_Right.Picture().Width(), 21); }},
      {"png alone", [](const Installation& i) { Png(i.overrides + "img_bottom.png", 23); }, nullptr,
       [](Window& w, const Installation&) { EXPECT_EQ(w.img_bottom.Picture().Width(), 23); }},
      {"the set-up's jpeg after the override wins",
       [](const Installation& i) {
         Bmp(i.overrides + "img_Right.bmp", 21);
         Png(i.overrides + "img_Right.png", 22);
         testpic::WriteJpeg(i.app + "img_Right.jpg", 200, 540, testpic::Solid(0xFF0000FF));
       },
       nullptr,
       [](Window& w, const Installation& i) {
         ASSERT_EQ(w.img_Right.Picture().Width(), 21);
         w.img_Right.LoadFromFile(i.app + "img_Right.jpg");
         EXPECT_EQ(w.img_Right.Picture().Width(), 200);
         EXPECT_EQ(w.img_Right.Bounds().height, 540);  // sized to its picture
       }},
      {"Tag 99 still takes its override",
       [](const Installation& i) { Bmp(i.overrides + "img_bottom.bmp", 24); },
       [](Window& w) { w.img_bottom.Tag = 99; },
       [](Window& w, const Installation&) { EXPECT_EQ(w.img_bottom.Picture().Width(), 24); }},
      {"a folder named like an override is no override",
       [](const Installation& i) {
         std::filesystem::create_directories(gbk::ToWide(i.overrides + "img_Right.bmp"));
         Png(i.overrides + "img_Right.png", 25);
       },
       nullptr, [](Window& w, const Installation&) { EXPECT_EQ(w.img_Right.Picture().Width(), 25); }},
      {"picture button with all three files",
       [](const Installation& i) {
         Bmp(i.overrides + "Btn1.bmp", 26);
         Bmp(i.overrides + "Btn1over.bmp", 27);
         Bmp(i.overrides + "Btn1Down.bmp", 28);
       },
       nullptr,
       [](Window& w, const Installation&) {
         EXPECT_EQ(w.Btn1.SkinData(), nullptr);  // its own pictures from now on
         EXPECT_EQ(w.Btn1.DefImage.Width(), 26);
         EXPECT_EQ(w.Btn1.DefActiveImage.Width(), 27);
         EXPECT_EQ(w.Btn1.DefDownImage.Width(), 28);
         EXPECT_EQ(w.Btn1.CurrentFace(), TskSkinXFormButton::Face::kDefImage);
       }},
      {"picture button with only the pointer-over file",
       [](const Installation& i) { Bmp(i.overrides + "Btn1over.bmp", 27); }, nullptr,
       [](Window& w, const Installation&) {
         EXPECT_EQ(w.Btn1.SkinData(), &w.skSkinData1);  // keeps its skin
         EXPECT_EQ(w.Btn1.DefActiveImage.Width(), 27);  // loaded ...
         SendMessageW(w.Btn1.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
         EXPECT_EQ(w.Btn1.CurrentFace(), TskSkinXFormButton::Face::kSkin);  // ... but not shown
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Installation inst;
    testskin::Write(inst.skinDir);
    c.make(inst);
    Tdm dm(inst.app);
    Window w;
    if (c.tag) c.tag(w);
    dm.LoadSkin(w.form, &w.skSkinForm1, w.skSkinData1, inst.skinDir);
    c.check(w, inst);
  }
}

TEST(Tdm, AnOverrideThatIsNotAPictureRaisesToTheCaller) {
  struct Case {
    const char* file;
    const char* bytes;
  } cases[] = {
      {"img_bottom.png", "not a picture"},
      {"img_Right.bmp", "BM but nothing else"},
      {"Btn1Down.bmp", "\x89PNG\r\n\x1a\n"},
  };
  for (const Case& c : cases) {
    Installation inst;
    testskin::Write(inst.skinDir);
    testpic::WriteBytes(inst.overrides + c.file, c.bytes);
    Tdm dm(inst.app);
    Window w;
    try {
      dm.LoadSkin(w.form, &w.skSkinForm1, w.skSkinData1, inst.skinDir);
      ADD_FAILURE() << c.file << ": no error";
    } catch (const skin::SkinError& e) {
      EXPECT_NE(std::string(e.what()).find(c.file), std::string::npos) << e.what();
    }
    // LoadSkinImages by itself raises the same way.
    EXPECT_THROW(dm.LoadSkinImages(w.form), skin::SkinError) << c.file;
  }
}
