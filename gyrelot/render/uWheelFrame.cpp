#include "uWheelFrame.h"

#include <algorithm>
#include <cstring>
#include <list>
#include <vector>

#include "win/gdi_owner.h"

namespace flat = Gdiplus::DllExports;

void ComposeWheelFrame(HDC dc, int width, int height, const TWheelPictures& pictures, int angle) {
  const RECT all{0, 0, width, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  auto* graphics = new TGPGraphics(dc);
  if (pictures.Background) graphics->DrawImage(pictures.Background, 0, 0, width, height);
  auto* matrix = new TGPMatrix();
  if (pictures.Wheel) {
    const Gdiplus::PointF centre(static_cast<Gdiplus::REAL>(pictures.Wheel->GetWidth() / 2),
                                 static_cast<Gdiplus::REAL>(pictures.Wheel->GetHeight() / 2));
    matrix->RotateAt(static_cast<Gdiplus::REAL>(angle), centre, Gdiplus::MatrixOrderPrepend);
    graphics->SetTransform(matrix);
    graphics->DrawImage(pictures.Wheel, 0.0f, 0.0f, static_cast<Gdiplus::REAL>(pictures.Wheel->GetWidth()),
                        static_cast<Gdiplus::REAL>(pictures.Wheel->GetHeight()));
  }
  graphics->ResetTransform();
  if (pictures.Overlay) {
    graphics->DrawImage(pictures.Overlay, 0.0f, 0.0f,
                        static_cast<Gdiplus::REAL>(pictures.Overlay->GetWidth()),
                        static_cast<Gdiplus::REAL>(pictures.Overlay->GetHeight()));
  }
  delete matrix;
  delete graphics;
}

namespace {

using Dib = winapp::DibCanvas;

const BLENDFUNCTION kBlend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};

}  // namespace

struct TWheelComposer::Impl {
  // The wheel turned by one angle, cut to where it is not see-through.
  struct Layer {
    int angle = 0;
    int left = 0, top = 0;
    std::unique_ptr<Dib> pixels;  // none when nothing of the wheel shows
  };

  int width = 0, height = 0;
  TGPImage* wheel = nullptr;
  std::unique_ptr<Dib> base;     // white with the background over it
  std::unique_ptr<Dib> overlay;  // premultiplied
  std::list<Layer> layers;       // most recently used first

  const Layer& LayerFor(int angle);
};

const TWheelComposer::Impl::Layer& TWheelComposer::Impl::LayerFor(int angle) {
  for (auto it = layers.begin(); it != layers.end(); ++it) {
    if (it->angle == angle) {
      layers.splice(layers.begin(), layers, it);
      return layers.front();
    }
  }
  // Drawn exactly as the step-by-step frame draws it, but onto nothing: blending the
  // layer onto the background later gives the same pixels.
  Dib full(width, height);
  {
    TGPGraphics g(full.dc());
    TGPMatrix matrix;
    const Gdiplus::PointF centre(static_cast<Gdiplus::REAL>(wheel->GetWidth() / 2),
                                 static_cast<Gdiplus::REAL>(wheel->GetHeight() / 2));
    matrix.RotateAt(static_cast<Gdiplus::REAL>(angle), centre, Gdiplus::MatrixOrderPrepend);
    g.SetTransform(&matrix);
    g.DrawImage(wheel, 0.0f, 0.0f, static_cast<Gdiplus::REAL>(wheel->GetWidth()),
                static_cast<Gdiplus::REAL>(wheel->GetHeight()));
  }
  GdiFlush();
  int left = width, top = height, right = -1, bottom = -1;
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = full.Bits() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x) {
      if (row[x] == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  Layer layer;
  layer.angle = angle;
  if (right >= 0) {
    layer.left = left;
    layer.top = top;
    layer.pixels = std::make_unique<Dib>(right - left + 1, bottom - top + 1);
    BitBlt(layer.pixels->dc(), 0, 0, layer.pixels->Width(), layer.pixels->Height(), full.dc(), left, top,
           SRCCOPY);
    GdiFlush();
  }
  if (layers.size() >= kCachedAngles) layers.pop_back();
  layers.push_front(std::move(layer));
  return layers.front();
}

TWheelComposer::TWheelComposer(const TWheelPictures& p, int width, int height)
    : impl_(std::make_unique<Impl>()) {
  Impl& m = *impl_;
  m.width = width;
  m.height = height;
  m.base = std::make_unique<Dib>(width, height);
  const RECT all{0, 0, width, height};
  FillRect(m.base->dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (p.Background && p.Background->Native()) {
    TGPGraphics g(m.base->dc());
    g.DrawImage(p.Background, 0, 0, width, height);
  }
  if (p.Wheel && p.Wheel->Native()) m.wheel = p.Wheel;
  if (p.Overlay && p.Overlay->Native()) {
    const int ow = static_cast<int>(p.Overlay->GetWidth()), oh = static_cast<int>(p.Overlay->GetHeight());
    m.overlay = std::make_unique<Dib>(ow, oh);
    TGPGraphics g(m.overlay->dc());
    g.DrawImage(p.Overlay, 0.0f, 0.0f, static_cast<Gdiplus::REAL>(ow), static_cast<Gdiplus::REAL>(oh));
  }
  GdiFlush();
}

TWheelComposer::~TWheelComposer() = default;

void TWheelComposer::Compose(HDC dc, int angle) {
  Impl& m = *impl_;
  BitBlt(dc, 0, 0, m.width, m.height, m.base->dc(), 0, 0, SRCCOPY);
  if (m.wheel) {
    const Impl::Layer& layer = m.LayerFor(angle);
    if (layer.pixels) {
      AlphaBlend(dc, layer.left, layer.top, layer.pixels->Width(), layer.pixels->Height(), layer.pixels->dc(),
                 0, 0, layer.pixels->Width(), layer.pixels->Height(), kBlend);
    }
  }
  if (m.overlay) {
    AlphaBlend(dc, 0, 0, m.overlay->Width(), m.overlay->Height(), m.overlay->dc(), 0, 0, m.overlay->Width(),
               m.overlay->Height(), kBlend);
  }
}

size_t TWheelComposer::CachedBytes() const {
  size_t n = 0;
  for (const auto& layer : impl_->layers) n += layer.pixels ? layer.pixels->Bytes() : 0;
  return n;
}
