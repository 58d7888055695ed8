// Times one frame of the wheel area under the platform's GDI+: the composition step by
// step as the game describes it (graphics and matrix made per frame, the three PNG
// pictures drawn) against the game's own composer, and checks that both give the same
// pixels (within one unit per channel) at a range of angles.
//   wheel_frame_bench.exe [frames]     (default 200; pictures from GameSkin\Wheel\png\)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "uWheelFrame.h"
#include "win/gbk_text.h"
#include "win/gdi_owner.h"
#include "win/module_path.h"

namespace {

using Canvas = winapp::DibCanvas;

int MaxChannelDifference(const Canvas& a, const Canvas& b, int w, int h) {
  GdiFlush();
  int worst = 0;
  for (size_t i = 0; i < static_cast<size_t>(w) * static_cast<size_t>(h); ++i) {
    for (int shift : {0, 8, 16}) {
      const int d = std::abs(static_cast<int>((a.Bits()[i] >> shift) & 0xFF) -
                             static_cast<int>((b.Bits()[i] >> shift) & 0xFF));
      worst = std::max(worst, d);
    }
  }
  return worst;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::puts(
        "Usage: wheel_frame_bench.exe [frames]\nTimes one wheel frame, step by step and by the game's "
        "composer.");
    return 0;
  }
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  {
    const std::wstring dir = gbk::ToWide(winapp::ProgramFolder() + "GameSkin\\Wheel\\png\\");
    TGPImage background(dir + L"1.png"), wheel(dir + L"2.png"), overlay(dir + L"3.png");
    const int w = static_cast<int>(background.GetWidth()), h = static_cast<int>(background.GetHeight());
    if (w == 0 || h == 0) {
      std::fprintf(stderr, "wheel_frame_bench: no 1.png in GameSkin\\Wheel\\png beside the program\n");
      return 1;
    }
    const TWheelPictures pictures{&background, &wheel, &overlay};
    Canvas direct(w, h), ours(w, h);

    const auto t0 = std::chrono::steady_clock::now();
    TWheelComposer composer(pictures, w, h);
    const double prepareMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();

    int worst = 0;
    for (int angle = 0; angle < 360; angle += 5) {
      ComposeWheelFrame(direct.dc(), w, h, pictures, angle);
      composer.Compose(ours.dc(), angle);
      worst = std::max(worst, MaxChannelDifference(direct, ours, w, h));
    }

    std::vector<double> directMs, oursMs;
    for (int i = 0; i < frames; ++i) {
      const int angle = (i * 15) % 360 + 15;
      auto a = std::chrono::steady_clock::now();
      ComposeWheelFrame(direct.dc(), w, h, pictures, angle);
      GdiFlush();
      auto b = std::chrono::steady_clock::now();
      composer.Compose(ours.dc(), angle);
      GdiFlush();
      auto c = std::chrono::steady_clock::now();
      directMs.push_back(std::chrono::duration<double, std::milli>(b - a).count());
      oursMs.push_back(std::chrono::duration<double, std::milli>(c - b).count());
    }
    std::printf("wheel frame %dx%d, %d frames at angles 15..360\n", w, h, frames);
    std::printf("  step by step (graphics, matrix, 3 PNG draws per frame): median %.2f ms, min %.2f ms\n",
                Median(directMs), *std::min_element(directMs.begin(), directMs.end()));
    std::printf("  the game's composer:                                     median %.2f ms, min %.2f ms\n",
                Median(oursMs), *std::min_element(oursMs.begin(), oursMs.end()));
    std::printf("  composer preparation (once): %.2f ms\n", prepareMs);
    std::printf("  largest difference per channel over 72 angles: %d\n", worst);
    std::printf("  layers kept by the composer: %.1f MiB\n", composer.CachedBytes() / 1048576.0);
  }
  Gdiplus::GdiplusShutdown(token);
  return 0;
}
