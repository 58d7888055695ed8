// The skinned-window toolkit under Wine: pictures, skin data, the frame, the check box,
// the picture button and the message box, driven through their window messages and
// checked by the pixels they paint.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "caption_table.h"
#include "controls.h"
#include "pump_for.h"
#include "skin_controls.h"
#include "temp_dir.h"
#include "test_pictures.h"
#include "test_skin.h"
#include "uskSkinForm.h"
#include "uskSkinMessage.h"
#include "win/gbk_text.h"

namespace {

skin::GdiplusSession gdiplus;

using testpic::Near;
using testskin::Gdi;

std::string Folder(const TempDir& dir) {
  return dir.path().string() + "\\";
}

LPARAM At(int x, int y) {
  return MAKELPARAM(x, y);
}

// Runs `body` (which enters a modal loop) while `tick` runs every `ms` on this thread.
std::function<void()> g_tick;
void CALLBACK TickProc(HWND, UINT, UINT_PTR, DWORD) {
  if (g_tick) g_tick();
}
void WhileTicking(DWORD ms, std::function<void()> tick, const std::function<void()>& body) {
  g_tick = std::move(tick);
  const UINT_PTR timer = SetTimer(nullptr, 0, ms, &TickProc);
  body();
  KillTimer(nullptr, timer);
  g_tick = nullptr;
}

// A form of the game's client size, hidden, for controls to live on.
struct FormFixture : ::testing::Test {
  TForm form{L"TSkinTestForm", 750, 546};
};

}  // namespace

// --- pictures -----------------------------------------------------------------------

TEST(Picture, DecodesByExtensionAndRefusesWhatIsNotThatPicture) {
  TempDir dir;
  const std::string f = Folder(dir);
  testpic::WriteBmp(f + "a.bmp", 7, 5, testpic::Solid(0xFF102030));
  testpic::WritePng(f + "b.png", 9, 4, [](int x, int) { return x < 4 ? 0x80FF0000u : 0xFF00FF00u; });
  testpic::WriteJpeg(f + "c.JPG", 16, 8, testpic::Solid(0xFF2060A0));
  testpic::WritePng(f + "png-inside.bmp", 4, 4, testpic::Solid(0xFFFFFFFF));
  testpic::WriteBytes(f + "garbage.png", "\x89PNG\r\n\x1a\nthis is not a picture at all");
  testpic::WriteBytes(f + "empty.bmp", "");
  testpic::WriteBytes(f + "text.jpg", "<html>not found</html>");
  testpic::WriteBytes(f + "a.gif", "GIF89a");

  const skin::Picture bmp = skin::Picture::FromFile(f + "a.bmp");
  EXPECT_EQ(bmp.Width(), 7);
  EXPECT_EQ(bmp.Height(), 5);
  EXPECT_FALSE(bmp.HasAlpha());
  EXPECT_EQ(bmp.Pixel(3, 2), 0xFF102030u);

  const skin::Picture png = skin::Picture::FromFile(f + "b.png");
  EXPECT_EQ(png.Width(), 9);
  EXPECT_TRUE(png.HasAlpha());
  EXPECT_EQ(png.Pixel(1, 1) >> 24, 0x80u);
  EXPECT_TRUE(Near(png.PixelColour(1, 1), RGB(255, 0, 0), 3));
  EXPECT_EQ(png.Pixel(6, 1), 0xFF00FF00u);

  const skin::Picture jpg = skin::Picture::FromFile(f + "c.JPG");
  EXPECT_EQ(jpg.Width(), 16);
  EXPECT_TRUE(Near(jpg.PixelColour(8, 4), RGB(0x20, 0x60, 0xA0)));

  struct Bad {
    const char* file;
    const char* says;
  } bad[] = {
      {"png-inside.bmp", "not a BMP"}, {"garbage.png", "cannot decode"}, {"empty.bmp", "not a BMP"},
      {"text.jpg", "not a JPEG"},      {"missing.png", "cannot open"},   {"a.gif", "not a picture file"},
  };
  for (const Bad& b : bad) {
    try {
      skin::Picture::FromFile(f + b.file);
      ADD_FAILURE() << b.file << " was decoded";
    } catch (const skin::SkinError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(b.says), std::string::npos) << b.file << ": " << message;
      EXPECT_NE(message.find(b.file), std::string::npos) << b.file << ": " << message;
    }
  }
}

// --- skin data ----------------------------------------------------------------------

TEST(SkinData, LoadsOnlyAWholeSkinAndRaisesForPicturesThatCannotBeRead) {
  TempDir dir;
  const std::string good = Folder(dir) + "good\\";
  std::filesystem::create_directories(good);
  testskin::Write(good);

  TskSkinData data(nullptr, "skSkinData1");
  data.LoadFromFile(Folder(dir) + "absent\\skin.ini");  // no file: nothing, no error
  EXPECT_TRUE(data.Empty());

  data.LoadFromFile(good + "skin.ini");
  ASSERT_FALSE(data.Empty());
  EXPECT_EQ(data.MainPicture().Width(), 120);
  EXPECT_EQ(data.MainPicture().PixelColour(50, 50), Gdi(testskin::kPanelPixel));
  EXPECT_EQ(data.Description().form.captionHeight, 30);

  // Every later failure leaves the loaded skin as it was.
  struct Case {
    const char* what;
    std::function<void(const std::string& folder)> make;
    bool raises;
  } cases[] = {
      {"no SKINCONTROLS section", [](const std::string& f) { testskin::Write(f, false); }, false},
      {"named picture missing",
       [](const std::string& f) {
         testskin::Write(f);
         std::filesystem::remove(gbk::ToWide(f + "parts.png"));
       },
       false},
      {"named picture unreadable",
       [](const std::string& f) {
         testskin::Write(f);
         testpic::WriteBytes(f + "parts.png", "\x89PNG\r\n\x1a\ntruncated");
       },
       true},
      {"main picture is a folder",
       [](const std::string& f) {
         testskin::Write(f);
         std::filesystem::remove(gbk::ToWide(f + "frame.bmp"));
         std::filesystem::create_directories(gbk::ToWide(f + "frame.bmp"));
       },
       false},
      {"piece outside its picture",
       [](const std::string& f) {
         testskin::Write(f);
         std::string ini = testskin::SkinIni();
         ini.replace(ini.find("button.down=1,120,60,60,30"), 26, "button.down=1,180,60,60,30");
         testpic::WriteBytes(f + "skin.ini", ini);
       },
       true},
      {"malformed value",
       [](const std::string& f) {
         testskin::Write(f);
         std::string ini = testskin::SkinIni();
         ini.replace(ini.find("BorderWidth=4"), 13, "BorderWidth=x");
         testpic::WriteBytes(f + "skin.ini", ini);
       },
       true},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string folder = Folder(dir) + "case" + std::to_string(n++) + "\\";
    std::filesystem::create_directories(gbk::ToWide(folder));
    c.make(folder);
    bool raised = false;
    try {
      data.LoadFromFile(folder + "skin.ini");
    } catch (const skin::SkinError& e) {
      raised = true;
      EXPECT_NE(std::string(e.what()).find(folder), std::string::npos) << c.what << ": " << e.what();
    }
    EXPECT_EQ(raised, c.raises) << c.what;
    EXPECT_FALSE(data.Empty()) << c.what;
    EXPECT_EQ(data.Description().pictures.at(0), "frame.bmp") << c.what;
    EXPECT_EQ(data.MainPicture().PixelColour(50, 50), Gdi(testskin::kPanelPixel)) << c.what;
  }
}

// --- the frame ----------------------------------------------------------------------

TEST_F(FormFixture, FrameKeepsTheClientSizeAndCentreAndAnswersHitTests) {
  TskSkinForm skinForm(&form, "skSkinForm1");
  RECT client{}, window{};
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client.right, 750);
  EXPECT_EQ(client.bottom, 546);
  GetWindowRect(form.Handle(), &window);
  const POINT centre{(window.left + window.right) / 2, (window.top + window.bottom) / 2};

  TempDir dir;
  testskin::Write(Folder(dir));
  TskSkinData data(&form, "skSkinData1");
  data.LoadFromFile(Folder(dir) + "skin.ini");
  skinForm.SetSkinData(&data);
  GetClientRect(form.Handle(), &client);
  GetWindowRect(form.Handle(), &window);
  EXPECT_EQ(client.right, 750);
  EXPECT_EQ(client.bottom, 546);
  EXPECT_EQ(window.right - window.left, 750 + 2 * testskin::kBorderWidth);
  EXPECT_EQ(window.bottom - window.top, 546 + testskin::kCaptionHeight + testskin::kBorderWidth);
  EXPECT_NEAR((window.left + window.right) / 2, centre.x, 1);
  EXPECT_NEAR((window.top + window.bottom) / 2, centre.y, 1);
  // The skin gives the client area its body colour.
  EXPECT_EQ(form.BackgroundColor(), RGB(0x20, 0x30, 0x40));

  struct Hit {
    int x, y;  // in the window
    LRESULT code;
  } hits[] = {
      {400, 15, HTCAPTION}, {15, 15, HTSYSMENU}, {758 - 15, 15, HTMINBUTTON},
      {400, 300, HTCLIENT}, {1, 300, HTBORDER},  {400, 546 + 30 + 2, HTBORDER},
  };
  for (const Hit& h : hits) {
    const LRESULT code =
        SendMessageW(form.Handle(), WM_NCHITTEST, 0, At(window.left + h.x, window.top + h.y));
    EXPECT_EQ(code, h.code) << h.x << "," << h.y;
  }

  // The frame is painted from the skin: the caption band, the border, the button.
  testpic::Canvas canvas(758, 580);
  skinForm.Frame().PaintFrame(canvas.dc());
  EXPECT_EQ(canvas.At(400, 2), Gdi(testskin::kCaption));
  EXPECT_EQ(canvas.At(1, 300), Gdi(testskin::kBorder));
  EXPECT_EQ(canvas.At(15, 15), Gdi(testskin::kSysNormal));
  EXPECT_EQ(canvas.At(758 - 15, 15), Gdi(testskin::kMinNormal));

  // Without skin data the plain look is back, with the client size unchanged.
  skinForm.SetSkinData(nullptr);
  EXPECT_EQ(form.BackgroundColor(), RGB(255, 255, 255));
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client.right, 750);
  EXPECT_EQ(client.bottom, 546);
  testpic::Canvas plain(758, 580);
  skinForm.Frame().PaintFrame(plain.dc());
  EXPECT_NE(plain.At(400, 2), Gdi(testskin::kCaption));
}

TEST_F(FormFixture, CaptionButtonsAndTheSystemMenuWork) {
  TskCaptionTable captions(nullptr, "captions");
  captions.Set("MI_RESTORECAPTION", "还原(&R)");
  captions.Set("MI_MINCAPTION", "最小化(&I)");
  captions.Set("MI_CLOSECAPTION", "关闭(&C)");
  captions.Install();
  TskSkinForm skinForm(&form, "skSkinForm1");
  form.Show();
  form.SetCaption("幸运大转盘");

  HMENU menu = skinForm.Frame().PrepareSystemMenu();
  ASSERT_NE(menu, nullptr);
  auto text = [&](UINT id) {
    wchar_t buf[64] = {};
    GetMenuStringW(menu, id, buf, 64, MF_BYCOMMAND);
    return gbk::FromWide(buf);
  };
  EXPECT_EQ(text(SC_RESTORE), "还原(&R)");
  EXPECT_EQ(text(SC_MINIMIZE), "最小化(&I)");
  EXPECT_EQ(text(SC_CLOSE), "关闭(&C)");

  // A press and release on the minimise button minimises; a release elsewhere does not.
  const skin::FrameLayout l = skinForm.Frame().Layout();
  RECT wr{};
  GetWindowRect(form.Handle(), &wr);
  const POINT minCentre{(l.minButton.left + l.minButton.right) / 2,
                        (l.minButton.top + l.minButton.bottom) / 2};
  const LPARAM minScreen = At(wr.left + minCentre.x, wr.top + minCentre.y);
  // The release arrives in client coordinates while the frame holds the capture.
  const LPARAM minClient = At(minCentre.x - l.client.left, minCentre.y - l.client.top);
  SendMessageW(form.Handle(), WM_NCLBUTTONDOWN, HTMINBUTTON, minScreen);
  EXPECT_EQ(skinForm.Frame().PressedButton(), skin::CaptionButton::kMinimize);
  SendMessageW(form.Handle(), WM_LBUTTONUP, 0, At(300, 300));
  EXPECT_FALSE(IsIconic(form.Handle()));
  SendMessageW(form.Handle(), WM_NCLBUTTONDOWN, HTMINBUTTON, minScreen);
  SendMessageW(form.Handle(), WM_LBUTTONUP, 0, minClient);
  EXPECT_TRUE(IsIconic(form.Handle()));

  // The menu's commands are the system's: restore, then close from the menu itself.
  SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(IsIconic(form.Handle()));

  // Clicking the system-menu button opens the menu; its "关闭(&C)" closes the window.
  std::vector<std::string> shown;
  const POINT sysCentre{(l.sysButton.left + l.sysButton.right) / 2,
                        (l.sysButton.top + l.sysButton.bottom) / 2};
  WhileTicking(
      100,
      [&] {
        HWND popup = FindWindowW(L"#32768", nullptr);
        if (!popup || !IsWindowVisible(popup) || !shown.empty()) return;
        HMENU open = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(open); ++i) {
          wchar_t buf[64] = {};
          if (GetMenuStringW(open, static_cast<UINT>(i), buf, 64, MF_BYPOSITION) > 0) {
            shown.push_back(gbk::FromWide(buf));
          }
        }
        // The item's mnemonic, as a person would press it.
        PostMessageW(popup, WM_KEYDOWN, 'C', 0);
        PostMessageW(popup, WM_CHAR, 'c', 0);
      },
      [&] {
        SendMessageW(form.Handle(), WM_NCLBUTTONDOWN, HTSYSMENU,
                     At(wr.left + sysCentre.x, wr.top + sysCentre.y));
        SendMessageW(form.Handle(), WM_LBUTTONUP, 0,
                     At(sysCentre.x - l.client.left, sysCentre.y - l.client.top));
      });
  EXPECT_EQ(shown, (std::vector<std::string>{"还原(&R)", "最小化(&I)", "关闭(&C)"}));
  EXPECT_FALSE(IsWindow(form.Handle())) << "the menu's close command did not close the window";
}

// --- the check box ------------------------------------------------------------------

TEST_F(FormFixture, CheckBoxTogglesOnAClickAndRaisesItsEvent) {
  TskSkinCheckBox box(&form, "skSkinCheckBox1", form.Handle(), TBounds{692, 69, 44, 25});
  box.SetChecked(true);
  int clicks = 0;
  bool seenChecked = true;
  box.OnClick = [&] {
    ++clicks;
    seenChecked = box.Checked();
  };
  const HWND h = box.Handle();
  SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
  SendMessageW(h, WM_LBUTTONUP, 0, At(10, 10));
  EXPECT_FALSE(box.Checked());
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(seenChecked) << "the event comes after the toggle";
  EXPECT_EQ(SendMessageW(h, BM_GETCHECK, 0, 0), BST_UNCHECKED);

  // Released outside: no click.
  SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
  SendMessageW(h, WM_LBUTTONUP, 0, At(100, 10));
  EXPECT_FALSE(box.Checked());
  EXPECT_EQ(clicks, 1);

  // The space bar clicks it too.
  SendMessageW(h, WM_KEYUP, VK_SPACE, 0);
  EXPECT_TRUE(box.Checked());
  EXPECT_EQ(clicks, 2);

  // SetChecked changes the state without an event.
  box.SetChecked(false);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(box.Name(), "skSkinCheckBox1");
}

TEST_F(FormFixture, CheckBoxDrawsTheSkinElementOfItsState) {
  TempDir dir;
  testskin::Write(Folder(dir));
  TskSkinData data(&form, "skSkinData1");
  data.LoadFromFile(Folder(dir) + "skin.ini");
  TskSkinCheckBox box(&form, "skSkinCheckBox1", form.Handle(), TBounds{10, 10, 44, 25});

  auto centre = [&] {
    testpic::Canvas canvas(44, 25);
    box.PaintTo(canvas.dc());
    return canvas.At(10, 12);  // the element is 20 x 20, vertically centred
  };
  // No skin data: the plain white box.
  EXPECT_EQ(centre(), RGB(255, 255, 255));

  box.SetSkinData(&data);
  struct Case {
    bool checked, over;
    uint32_t colour;
  } cases[] = {
      {false, false, testskin::kUnchecked},
      {true, false, testskin::kChecked},
      {true, true, testskin::kCheckedOver},
      {false, true, testskin::kUncheckedOver},
  };
  for (const Case& c : cases) {
    box.SetChecked(c.checked);
    SendMessageW(box.Handle(), c.over ? WM_MOUSEMOVE : WM_MOUSELEAVE, 0, At(5, 5));
    EXPECT_EQ(box.PointerOver(), c.over);
    EXPECT_EQ(centre(), Gdi(c.colour)) << "checked " << c.checked << " over " << c.over;
  }
}

// --- the picture button -------------------------------------------------------------

TEST_F(FormFixture, PictureButtonShowsTheFaceOfItsState) {
  TempDir dir;
  const std::string f = Folder(dir);
  testpic::WriteBmp(f + "def.bmp", 40, 20, testpic::Solid(0xFF204080));
  testpic::WriteBmp(f + "over.bmp", 40, 20, testpic::Solid(0xFF20C040));
  testpic::WriteBmp(f + "down.bmp", 40, 20, testpic::Solid(0xFFC02020));
  testskin::Write(f);
  TskSkinData data(&form, "skSkinData1");
  data.LoadFromFile(f + "skin.ini");

  using Face = TskSkinXFormButton::Face;
  struct Case {
    const char* what;
    bool def, over, down, skin;
    Face normal, hover, pressed;
    COLORREF normalPixel, hoverPixel, pressedPixel;
  } cases[] = {
      {"all three pictures", true, true, true, false, Face::kDefImage, Face::kDefActiveImage,
       Face::kDefDownImage, RGB(0x20, 0x40, 0x80), RGB(0x20, 0xC0, 0x40), RGB(0xC0, 0x20, 0x20)},
      {"only DefImage", true, false, false, false, Face::kDefImage, Face::kDefImage, Face::kDefImage,
       RGB(0x20, 0x40, 0x80), RGB(0x20, 0x40, 0x80), RGB(0x20, 0x40, 0x80)},
      {"no DefImage", false, true, true, false, Face::kPlain, Face::kPlain, Face::kPlain, CLR_INVALID,
       CLR_INVALID, CLR_INVALID},
      {"skin data wins", true, true, true, true, Face::kSkin, Face::kSkin, Face::kSkin,
       Gdi(testskin::kButtonNormal), Gdi(testskin::kButtonOver), Gdi(testskin::kButtonDown)},
  };
  for (const Case& c : cases) {
    TskSkinXFormButton button(&form, "Btn1", form.Handle(), TBounds{100, 100, 40, 20});
    if (c.def) button.LoadDefImage(f + "def.bmp");
    if (c.over) button.LoadDefActiveImage(f + "over.bmp");
    if (c.down) button.LoadDefDownImage(f + "down.bmp");
    if (c.skin) button.SetSkinData(&data);
    auto pixel = [&] {
      testpic::Canvas canvas(40, 20);
      button.PaintTo(canvas.dc());
      return canvas.At(20, 10);
    };
    EXPECT_EQ(button.CurrentFace(), c.normal) << c.what;
    if (c.normalPixel != CLR_INVALID) {
      EXPECT_EQ(pixel(), c.normalPixel) << c.what;
    }
    SendMessageW(button.Handle(), WM_MOUSEMOVE, 0, At(5, 5));
    EXPECT_EQ(button.CurrentFace(), c.hover) << c.what;
    if (c.hoverPixel != CLR_INVALID) {
      EXPECT_EQ(pixel(), c.hoverPixel) << c.what;
    }
    SendMessageW(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    EXPECT_EQ(button.CurrentFace(), c.pressed) << c.what;
    if (c.pressedPixel != CLR_INVALID) {
      EXPECT_EQ(pixel(), c.pressedPixel) << c.what;
    }
    int clicks = 0;
    button.OnClick = [&] { ++clicks; };
    SendMessageW(button.Handle(), WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(clicks, 1) << c.what;
    EXPECT_EQ(button.CurrentFace(), c.hover) << c.what;
  }
}

// --- picture component --------------------------------------------------------------

TEST_F(FormFixture, ImageSizesItselfAndShowsWhatLiesBehindWhereTransparent) {
  TempDir dir;
  const std::string f = Folder(dir);
  testpic::WriteBmp(f + "back.bmp", 60, 40, testpic::Solid(0xFF3060A0));
  // A face whose bottom-left colour (magenta here) is the see-through one.
  testpic::WriteBmp(f + "face.bmp", 20, 10, [](int x, int) { return x < 10 ? 0xFFFF00FFu : 0xFFFFFF00u; });
  testpic::WritePng(f + "alpha.png", 20, 10, [](int x, int) { return x < 10 ? 0x00000000u : 0xFF00FF00u; });

  TImage back(&form, "img_Right", form.Handle(), TBounds{0, 0, 10, 10});
  back.SetAutoSize(true);
  back.LoadFromFile(f + "back.bmp");
  EXPECT_EQ(back.Bounds().width, 60);
  EXPECT_EQ(back.Bounds().height, 40);

  TImage face(&form, "ImgStart", form.Handle(), TBounds{5, 5, 20, 10});
  face.LoadFromFile(f + "face.bmp");
  TImage alpha(&form, "ImgAlpha", form.Handle(), TBounds{30, 5, 20, 10});
  alpha.LoadFromFile(f + "alpha.png");

  auto pixels = [](TImage& image) {
    testpic::Canvas canvas(20, 10);
    image.PaintTo(canvas.dc());
    return std::make_pair(canvas.At(2, 5), canvas.At(15, 5));
  };
  EXPECT_EQ(pixels(face), std::make_pair(RGB(255, 0, 255), RGB(255, 255, 0)));  // opaque
  face.SetTransparent(true);
  EXPECT_EQ(pixels(face), std::make_pair(RGB(0x30, 0x60, 0xA0), RGB(255, 255, 0)));  // the picture behind
  // A picture with alpha always lets through what lies behind.
  EXPECT_EQ(pixels(alpha), std::make_pair(RGB(0x30, 0x60, 0xA0), RGB(0, 255, 0)));

  int clicks = 0;
  face.OnClick = [&] { ++clicks; };
  face.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(face.Handle()));
  face.SetEnabled(true);
  SendMessageW(face.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(3, 3));
  SendMessageW(face.Handle(), WM_LBUTTONUP, 0, At(3, 3));
  EXPECT_EQ(clicks, 1);

  // A picture that cannot be read keeps the old one.
  testpic::WriteBytes(f + "bad.bmp", "BMnot really");
  EXPECT_THROW(back.LoadFromFile(f + "bad.bmp"), skin::SkinError);
  EXPECT_EQ(back.Picture().Width(), 60);
}

// --- the message box ----------------------------------------------------------------

namespace {

struct SeenBox {
  std::string caption, text;
  std::vector<std::string> buttons;
};

BOOL CALLBACK FindBox(HWND h, LPARAM out) {
  wchar_t cls[32] = {};
  GetClassNameW(h, cls, 32);
  if (std::wstring(cls) == L"#32770" && IsWindowVisible(h)) *reinterpret_cast<HWND*>(out) = h;
  return TRUE;
}

std::string TextOf(HWND h) {
  wchar_t buf[512] = {};
  GetWindowTextW(h, buf, 512);
  return gbk::FromWide(buf);
}

// Runs `show` (which opens a modal box) while a timer reads the box that opens and
// answers it with `answer` (a WM_COMMAND id).
SeenBox Answer(const std::function<void()>& show, int answer) {
  SeenBox seen;
  WhileTicking(
      50,
      [&] {
        HWND box = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&box));
        if (!box || !seen.caption.empty()) return;
        seen.caption = TextOf(box);
        seen.text = TextOf(GetDlgItem(box, 0xFFFF));
        for (int id : {IDOK, IDYES, IDNO}) {
          if (HWND b = GetDlgItem(box, id)) seen.buttons.push_back(TextOf(b));
        }
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
      },
      show);
  return seen;
}

}  // namespace

TEST_F(FormFixture, MessageBoxShowsTheCaptionTablesTextsAndReturnsTheAnswer) {
  TskSkinMessage message(&form, "SkinMessage");
  form.Show();
  int result = 0;

  // The toolkit's English texts when the program gives none.
  SeenBox seen = Answer(
      [&] {
        result = message.MessageDlg("Hello", TskSkinMessage::Kind::kInformation, TskSkinMessage::Buttons::kOk,
                                    form.Handle());
      },
      IDOK);
  EXPECT_EQ(seen.caption, "Information");
  EXPECT_EQ(seen.text, "Hello");
  EXPECT_EQ(seen.buttons, std::vector<std::string>{"OK"});
  EXPECT_EQ(result, IDOK);

  TskCaptionTable captions(nullptr, "captions");
  captions.Set("MSG_CAP_CONFIRM", "确认");
  captions.Set("MSG_BTN_YES", "是(&Y)");
  captions.Set("MSG_BTN_NO", "否(&N)");
  captions.Install();
  TempDir dir;
  testskin::Write(Folder(dir));
  TskSkinData data(&form, "skSkinData1");
  data.LoadFromFile(Folder(dir) + "skin.ini");
  message.SetSkinData(&data);
  message.SetCtrlSkinData(&data);

  struct Case {
    int answer, result;
  } cases[] = {{IDNO, IDNO}, {IDYES, IDYES}, {IDCANCEL, IDNO}};
  for (const Case& c : cases) {
    seen = Answer(
        [&] {
          result = message.MessageDlg("继续吗？", TskSkinMessage::Kind::kConfirmation,
                                      TskSkinMessage::Buttons::kYesNo, form.Handle());
        },
        c.answer);
    EXPECT_EQ(seen.caption, "确认");
    EXPECT_EQ(seen.text, "继续吗？");
    EXPECT_EQ(seen.buttons, (std::vector<std::string>{"是(&Y)", "否(&N)"}));
    EXPECT_EQ(result, c.result) << "answered " << c.answer;
  }

  // A caption of the caller's own.
  seen = Answer(
      [&] {
        message.MessageDlg("x", TskSkinMessage::Kind::kError, TskSkinMessage::Buttons::kOk, form.Handle(),
                           "幸运大转盘");
      },
      IDOK);
  EXPECT_EQ(seen.caption, "幸运大转盘");
}
