#include <windows.h>

#include "display/uGaugeEx.h"

#include <exception>

// --- TBltBitmap --------------------------------------------------------------------------------

void TBltBitmap::MakeLike(const gdi::MemoryDC &templ) {
  memory_.reset();
  memory_ = std::make_unique<gdi::MemoryDC>(templ.dc(), templ.width(), templ.height());
  RECT all{0, 0, templ.width(), templ.height()};
  FillRect(memory_->dc(), &all, GetSysColorBrush(COLOR_WINDOWFRAME));
}

// --- TCustomGaugeEx ----------------------------------------------------------------------------

TCustomGaugeEx::TCustomGaugeEx(TWinControl *parent) : TGraphicControl(parent) {
  Opaque = true;
  SetBounds(0, 0, 100, 100);
}

void TCustomGaugeEx::SetMinValue(int32_t value) {
  if (value == minValue_) return;
  minValue_ = value;
  Repaint();
}

RECT TCustomGaugeEx::BarRect() const {
  RECT r{0, 0, Width(), Height()};
  // The ring left outside R stays black: the frame.
  if (borderStyle_ == TGaugeBorderStyle::bsSingle) InflateRect(&r, -1, -1);
  return r;
}

TGaugeLook TCustomGaugeEx::Look() const {
  RECT r = BarRect();
  return GaugeLook(progress_, maxValue_, r.left, r.right);
}

void TCustomGaugeEx::SetProgress(uint32_t value) {
  if (value == progress_) return;
  TGaugeLook before = Look();
  progress_ = value;
  if (Look() != before) Repaint();
}

void TCustomGaugeEx::SetMaxValue(uint32_t value) {
  if (value == maxValue_) return;
  TGaugeLook before = Look();
  maxValue_ = value;
  if (Look() != before) Repaint();
}

void TCustomGaugeEx::SetBackColor(TColor value) {
  if (value == backColor_) return;
  backColor_ = value;
  Repaint();
}

void TCustomGaugeEx::SetShowText(bool value) {
  if (value == showText_) return;
  showText_ = value;
  Repaint();
}

void TCustomGaugeEx::FitFontToHeight() {
  TFontDesc font = EffectiveFont();
  font.Name = "arial";
  font.Bold = true;
  gdi::WindowDC screen(nullptr);
  // Each size is tried with a font of its own, freed at once: only the chosen one is kept.
  int size = FitFontSize(Height(), [&](int points) {
    gdi::Font trial = gdi::MakeFont(font.Name, gdi::PointsToHeight(points), true, font.Italic);
    gdi::Select sel(screen.dc(), trial.get());
    SIZE extent{0, 0};
    GetTextExtentPoint32A(screen.dc(), "XX", 2, &extent);
    return int(extent.cy);
  }, FontSearchStart(Height()));
  font.Height = gdi::PointsToHeight(size);
  Font = font;
  ParentFont = false;
  fontSize_ = size;
}

void TCustomGaugeEx::ClearToBlack(HDC dc) const {
  gdi::FillSolid(dc, RECT{0, 0, Width(), Height()}, RGB(0, 0, 0));
}

void TCustomGaugeEx::PaintBar(HDC dc, const RECT &r) const {
  gdi::FillSolid(dc, r, ColorToRGB(backColor_));
  COLORREF bar = BarColors[size_t(BarColorIndex(PercentDone()))];
  // The fill width is the bar's right edge, counted from the control's left, not from R's.
  int right = GaugeFillWidth(progress_, maxValue_, r.left, r.right);
  if (right > 0) gdi::FillSolid(dc, RECT{r.left, r.top, right, r.bottom}, bar);
}

// White text on black, combined by exclusive-or: outside the glyphs the bar stays as it is,
// under them its colours are inverted.
void TCustomGaugeEx::PaintPercentText(TBltBitmap &b, const RECT &r) const {
  TBltBitmap t;
  t.MakeLike(b);
  ClearToBlack(t.dc());
  std::string text = GaugePercentText(PercentDone());
  SetBkMode(t.dc(), TRANSPARENT);
  gdi::Select font(t.dc(), FontHandle(EffectiveFont()));
  SetTextColor(t.dc(), RGB(255, 255, 255));
  SIZE extent{0, 0};
  GetTextExtentPoint32A(t.dc(), text.c_str(), int(text.size()), &extent);
  TDisplayPoint at = GaugeTextOrigin(r.left, r.top, r.right, r.bottom, extent.cx, extent.cy);
  ExtTextOutA(t.dc(), at.X, at.Y, ETO_CLIPPED, &r, text.c_str(), UINT(text.size()), nullptr);
  BitBlt(b.dc(), 0, 0, b.Width(), b.Height(), t.dc(), 0, 0, SRCINVERT);
}

void TCustomGaugeEx::Paint(HDC dc) {
  int w = Width(), h = Height();
  gdi::MemoryDC a(dc, w, h);
  ClearToBlack(a.dc());
  RECT r = BarRect();
  std::exception_ptr failure;
  {
    TBltBitmap b;
    try {
      b.MakeLike(a);
      ClearToBlack(b.dc());
      PaintBar(b.dc(), r);
      if (showText_) PaintPercentText(b, r);
    } catch (...) {
      failure = std::current_exception();
    }
    // Whatever was composed reaches the screen before a failure goes on to the caller.
    if (b.Allocated()) BitBlt(a.dc(), 0, 0, w, h, b.dc(), 0, 0, SRCCOPY);
  }
  BitBlt(dc, 0, 0, w, h, a.dc(), 0, 0, SRCCOPY);
  if (failure) std::rethrow_exception(failure);
}
