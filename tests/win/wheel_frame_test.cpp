// The wheel area's frame under the platform's GDI+: both composers judged against
// pixels worked out from the geometry of small pictures made here, and the fast
// composer against the step-by-step one over every pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "picture.h"
#include "temp_dir.h"
#include "test_pictures.h"
#include "uWheelFrame.h"
#include "wheel_test_pictures.h"
#include "win/gbk_text.h"

namespace {

skin::GdiplusSession gdiplus;

using wheelpic::kFrameH;
using wheelpic::kFrameW;

// 1.png, 2.png (unless left out) and 3.png written and loaded as the window loads them.
struct Pictures {
  TempDir dir;
  std::string folder = dir.path().string() + "\\";
  std::unique_ptr<TGPImage> background, wheel, overlay;

  explicit Pictures(bool withWheel = true) {
    wheelpic::WritePictures(folder, true, withWheel, true);
    background = std::make_unique<TGPImage>(gbk::ToWide(folder + "1.png"));
    wheel = std::make_unique<TGPImage>(gbk::ToWide(folder + "2.png"));
    overlay = std::make_unique<TGPImage>(gbk::ToWide(folder + "3.png"));
  }
  TWheelPictures Set() const { return {background.get(), wheel.get(), overlay.get()}; }
};

int MaxChannelDifference(const testpic::Canvas& a, const testpic::Canvas& b) {
  int worst = 0;
  for (int y = 0; y < kFrameH; ++y) {
    for (int x = 0; x < kFrameW; ++x) {
      const COLORREF p = a.At(x, y), q = b.At(x, y);
      worst = std::max({worst, std::abs(GetRValue(p) - GetRValue(q)), std::abs(GetGValue(p) - GetGValue(q)),
                        std::abs(GetBValue(p) - GetBValue(q))});
    }
  }
  return worst;
}

void ExpectMatchesGeometry(HDC dc, int angle, bool withWheel) {
  const wheelpic::FrameCheck c = wheelpic::CheckFrame(dc, angle, withWheel);
  EXPECT_EQ(c.wrong, 0) << ::testing::PrintToString(c.mismatches);
  // Every region took part: each sector, the hub and both blocks of the overlay.
  EXPECT_GT(c.judged, kFrameW * kFrameH / 3);
  EXPECT_GT(c.underOverlay, 300);
  if (withWheel) {
    EXPECT_EQ(c.wheelColours.size(), 9u) << "angle " << angle;
  } else {
    EXPECT_TRUE(c.wheelColours.empty());
  }
}

}  // namespace

TEST(WheelFrame, BothComposersDrawTheWheelTurnedAboutItsCentreBetweenBackgroundAndPointer) {
  Pictures p;
  ASSERT_EQ(p.wheel->GetWidth(), static_cast<UINT>(wheelpic::kWheelW));
  TWheelComposer composer(p.Set(), kFrameW, kFrameH);
  for (const int angle : {0, 45, 90, 135}) {
    SCOPED_TRACE(angle);
    testpic::Canvas fast(kFrameW, kFrameH), reference(kFrameW, kFrameH);
    composer.Compose(fast.dc(), angle);
    ComposeWheelFrame(reference.dc(), kFrameW, kFrameH, p.Set(), angle);
    ExpectMatchesGeometry(fast.dc(), angle, true);
    ExpectMatchesGeometry(reference.dc(), angle, true);
  }
}

TEST(WheelFrame, AQuarterTurnMovesEachSectorOnClockwise) {
  // One point read by hand: right of the centre, in sector 0 at rest. A clockwise
  // quarter turn brings sector 6 there (a turn the other way would bring sector 2).
  Pictures p;
  TWheelComposer composer(p.Set(), kFrameW, kFrameH);
  testpic::Canvas c(kFrameW, kFrameH);
  const int x = wheelpic::kCentreX + 20, y = wheelpic::kCentreY + 6;
  composer.Compose(c.dc(), 0);
  EXPECT_TRUE(testpic::Near(c.At(x, y), RGB(255, 0, 0), 2)) << std::hex << c.At(x, y);
  composer.Compose(c.dc(), 90);
  EXPECT_TRUE(testpic::Near(c.At(x, y), RGB(255, 128, 0), 2)) << std::hex << c.At(x, y);
}

TEST(WheelFrame, WithoutTheWheelPictureBackgroundAndPointerStillShow) {
  Pictures p(/*withWheel=*/false);
  ASSERT_EQ(p.wheel->Native(), nullptr);
  TWheelComposer composer(p.Set(), kFrameW, kFrameH);
  for (const int angle : {0, 90}) {
    SCOPED_TRACE(angle);
    testpic::Canvas fast(kFrameW, kFrameH), reference(kFrameW, kFrameH);
    composer.Compose(fast.dc(), angle);
    ComposeWheelFrame(reference.dc(), kFrameW, kFrameH, p.Set(), angle);
    ExpectMatchesGeometry(fast.dc(), angle, false);
    ExpectMatchesGeometry(reference.dc(), angle, false);
  }
  EXPECT_EQ(composer.CachedBytes(), 0u);
}

TEST(WheelFrame, TheFastComposerGivesTheStepByStepPixelsWithinOneUnit) {
  Pictures p;
  TWheelComposer composer(p.Set(), kFrameW, kFrameH);
  // Angles a spin shows (also beyond 360 at rest), each twice so that the second one
  // comes from the kept layer; then more angles than are kept, and the first again.
  std::vector<int> angles = {0, 15, 45, 100, 275, 360, 405, 15, 405};
  for (int a = 0; a < static_cast<int>(TWheelComposer::kCachedAngles) + 2; ++a) angles.push_back(a * 5);
  angles.push_back(0);
  for (const int angle : angles) {
    testpic::Canvas fast(kFrameW, kFrameH), reference(kFrameW, kFrameH);
    composer.Compose(fast.dc(), angle);
    ComposeWheelFrame(reference.dc(), kFrameW, kFrameH, p.Set(), angle);
    EXPECT_LE(MaxChannelDifference(fast, reference), 1) << "angle " << angle;
  }
  EXPECT_GT(composer.CachedBytes(), 0u);
}
