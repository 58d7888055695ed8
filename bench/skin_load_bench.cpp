// Times the game window's skin loading: Tdm::LoadSkin of the skin folder
// GameSkin/Wheel/FormSkin beside this program, on a window with the game's skinnable components, the first
// time (GDI+ decoders cold) and again and again; prints the figures in milliseconds.
//   skin_load_bench.exe [rounds]     (default 50)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "controls.h"
#include "skin_controls.h"
#include "uGyrelot_dm.h"
#include "usFunction.h"

namespace {

double Ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::puts(
        "Usage: skin_load_bench.exe [rounds]\nTimes Tdm::LoadSkin of the game's skin beside the program.");
    return 0;
  }
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  skin::GdiplusSession gdiplus;
  Tdm module;
  TForm form(L"TSkinBench", 750, 546);
  TskSkinForm skSkinForm1(&form, "skSkinForm1");
  TskSkinData skSkinData1(&form, "skSkinData1");
  TImage img_bottom(&form, "img_bottom", form.Handle(), TBounds{0, 490, 550, 50});
  TImage img_Right(&form, "img_Right", form.Handle(), TBounds{550, 0, 200, 540});
  TskSkinCheckBox skSkinCheckBox1(&form, "skSkinCheckBox1", form.Handle(), TBounds{692, 69, 44, 25});
  TImage ImgStart(&form, "ImgStart", form.Handle(), TBounds{556, 494, 94, 39});
  TImage ImgExit(&form, "ImgExit", form.Handle(), TBounds{650, 494, 93, 39});
  const std::string dir = sFunction.GetAppPath() + "GameSkin\\Wheel\\FormSkin\\";

  std::vector<double> times;
  for (int i = 0; i <= rounds; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    module.LoadSkin(form, &skSkinForm1, skSkinData1, dir);
    times.push_back(Ms(std::chrono::steady_clock::now() - t0));
  }
  if (skSkinData1.Empty()) {
    std::fprintf(stderr, "skin_load_bench: no skin in %s\n", dir.c_str());
    return 1;
  }
  const double first = times.front();
  std::vector<double> warm(times.begin() + 1, times.end());
  std::sort(warm.begin(), warm.end());
  std::printf("LoadSkin of %s (%dx%d main picture)\n", dir.c_str(), skSkinData1.MainPicture().Width(),
              skSkinData1.MainPicture().Height());
  std::printf("  first call:        %.2f ms\n", first);
  std::printf("  next %d calls:     min %.2f ms, median %.2f ms, max %.2f ms\n", rounds, warm.front(),
              warm[warm.size() / 2], warm.back());
  return 0;
}
