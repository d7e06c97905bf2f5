#include <windows.h>

#include "display/uClockBand.h"

#include <algorithm>
#include <cstring>

namespace {
// The longest the band reads: every part, with the widest hours.
constexpr const char *LongestText = "Il est 23 h 59   Début 23 h 59   Fin 23 h 59   Tiers-temps 23 h 59";
}  // namespace

TClockBand::TClockBand(TWinControl *parent) : TGraphicControl(parent) {
  Opaque = true;
  SetBounds(0, 0, 100, 20);
}

void TClockBand::SetText(const std::string &text) {
  if (text == text_) return;
  text_ = text;
  // Time added makes the band longer than it usually reads: smaller, rather than cut.
  if (font_ && !Fits(text_)) FitFontTo(text_.c_str());
  Repaint();
}

bool TClockBand::Fits(const std::string &text) const {
  gdi::WindowDC screen(nullptr);
  gdi::Select sel(screen.dc(), font_.get());
  SIZE extent{0, 0};
  GetTextExtentPoint32A(screen.dc(), text.c_str(), int(text.size()), &extent);
  return extent.cx <= Width() - Height() / 2;
}

void TClockBand::FitFont() {
  FitFontTo(Fits(text_) || !font_ ? LongestText : text_.c_str());
  if (font_ && !Fits(text_)) FitFontTo(text_.c_str());
}

void TClockBand::FitFontTo(const char *longest) {
  gdi::WindowDC screen(nullptr);
  // From three quarters of the band's height down, until the longest text fits its width.
  const int width = Width() - Height() / 2;
  int height = std::max(6, Height() * 3 / 4);
  for (; height > 6; height -= std::max(1, height / 20)) {
    gdi::Font trial = gdi::MakeFont("arial", -height, true, false);
    gdi::Select sel(screen.dc(), trial.get());
    SIZE extent{0, 0};
    GetTextExtentPoint32A(screen.dc(), longest, int(strlen(longest)), &extent);
    if (extent.cx <= width) break;
  }
  font_ = gdi::MakeFont("arial", -height, true, false);
  Repaint();
}

void TClockBand::Paint(HDC dc) {
  RECT r{0, 0, Width(), Height()};
  gdi::FillSolid(dc, r, RGB(0, 0, 0));
  if (text_.empty() || !font_) return;
  gdi::Select sel(dc, font_.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  DrawTextA(dc, text_.c_str(), int(text_.size()), &r,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  // A new minute repaints the whole band in the tick that also moves a digit and the gauge's
  // edge: sent with them, it would take all the display between them along.
  gdi::SendPainted();
}
