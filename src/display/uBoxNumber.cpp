#include <windows.h>

#include "display/uBoxNumber.h"

#include "app/uErrors.h"
#include "settings/uConfig.h"

namespace {

int CurrentDigitUnit() { return DigitUnitFor(AppConfig ? AppConfig->UserScreenSize : 1); }

}  // namespace

// --- TSegment ----------------------------------------------------------------------------------

TSegment::TSegment() : litColor_(RGB(0, 255, 0)) { BuildBitmaps(); }

HBITMAP TSegment::GetSegmentBitmap(int index) const {
  return index == 0 || index == 1 ? images_[index].get() : nullptr;
}

void TSegment::BuildBitmaps() {
  int u = CurrentDigitUnit();
  gdi::WindowDC screen(nullptr);
  for (int i = 0; i < 2; ++i) {
    auto image = static_cast<TSegmentImage>(i);
    TDisplayPoint size = SegmentImageSize(image, u);
    sizes_[i] = size;
    images_[i] = gdi::MakeCompatibleBitmap(screen.dc(), size.X, size.Y);
    {
      gdi::BitmapDC canvas(images_[i].get());
      gdi::FillSolid(canvas.dc(), RECT{0, 0, size.X, size.Y}, TransparentColor);
      std::array<TDisplayPoint, 6> hexagon = SegmentHexagon(image, u);
      POINT points[6];
      for (int k = 0; k < 6; ++k) points[k] = POINT{hexagon[k].X, hexagon[k].Y};
      gdi::Brush fill = gdi::MakeBrush(litColor_);
      gdi::Pen outline = gdi::MakePen(PS_SOLID, 1, RGB(0, 0, 0));
      gdi::Select selBrush(canvas.dc(), fill.get());
      gdi::Select selPen(canvas.dc(), outline.get());
      Polygon(canvas.dc(), points, 6);
    }

    // The mask: 1 where the image is magenta.
    masks_[i] = gdi::Bitmap(CreateBitmap(size.X, size.Y, 1, 1, nullptr));
    sprites_[i] = gdi::MakeCompatibleBitmap(screen.dc(), size.X, size.Y);
    if (!masks_[i]) throw ETavelinError("Ressources graphiques épuisées (bitmap)");
    gdi::BitmapDC src(images_[i].get()), mask(masks_[i].get()), sprite(sprites_[i].get());
    SetBkColor(src.dc(), TransparentColor);
    BitBlt(mask.dc(), 0, 0, size.X, size.Y, src.dc(), 0, 0, SRCCOPY);
    BitBlt(sprite.dc(), 0, 0, size.X, size.Y, src.dc(), 0, 0, SRCCOPY);
    SetBkColor(sprite.dc(), RGB(255, 255, 255));
    SetTextColor(sprite.dc(), RGB(0, 0, 0));
    BitBlt(sprite.dc(), 0, 0, size.X, size.Y, mask.dc(), 0, 0, 0x00220326);  // DSna
  }
}

void TSegment::DrawSegment(HDC dc, int index, int x, int y) const {
  if (index != 0 && index != 1) return;
  const TDisplayPoint &size = sizes_[index];
  gdi::BitmapDC mask(masks_[index].get()), sprite(sprites_[index].get());
  // The mask keeps the destination under the magenta pixels and blacks out the shape, which
  // the sprite then fills.
  COLORREF bk = SetBkColor(dc, RGB(255, 255, 255));
  COLORREF fg = SetTextColor(dc, RGB(0, 0, 0));
  BitBlt(dc, x, y, size.X, size.Y, mask.dc(), 0, 0, SRCAND);
  BitBlt(dc, x, y, size.X, size.Y, sprite.dc(), 0, 0, SRCPAINT);
  SetBkColor(dc, bk);
  SetTextColor(dc, fg);
}

// --- TBoxNumber --------------------------------------------------------------------------------

TBoxNumber::TBoxNumber(TWinControl *owner) : TGraphicControl(owner) {
  Opaque = true;
  int u = CurrentDigitUnit();
  SetBounds(10, 10, 8 * u, 16 * u);
}

void TBoxNumber::SetCurrentNumber(uint8_t value) {
  if (value == currentNumber_) return;
  if (value > 9)
    throw ETavelinError(
        "Attention TBoxNumber.CurrentNumber est un nombre [0..9] et non un chiffre.");
  currentNumber_ = value;
  Repaint();
}

void TBoxNumber::Paint(HDC dc) {
  int u = CurrentDigitUnit();
  gdi::FillSolid(dc, RECT{0, 0, Width(), Height()}, RGB(0, 0, 0));
  uint8_t mask = DigitMasks[currentNumber_];  // the setter keeps it within 0..9
  for (size_t s = 0; s < SegmentPlaces.size(); ++s) {
    if (!(mask & SegmentPlaces[s].Bit)) continue;
    TDisplayPoint at = SegmentOrigin(int(s), u);
    segments_.DrawSegment(dc, SegmentPlaces[s].Image, at.X, at.Y);
  }
}
