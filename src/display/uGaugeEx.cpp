#include <windows.h>

#include "display/uGaugeEx.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "base/uErrors.h"

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
  ShowChange(before, Look());
}

void TCustomGaugeEx::SetMaxValue(uint32_t value) {
  if (value == maxValue_) return;
  TGaugeLook before = Look();
  maxValue_ = value;
  // The marks stand at other places of the bar.
  if (!marks_.empty()) return Repaint();
  ShowChange(before, Look());
}

void TCustomGaugeEx::ShowChange(const TGaugeLook &before, const TGaugeLook &after) {
  if (after == before) return;
  if (after.ColorIndex != before.ColorIndex) {
    Repaint();
    return;
  }
  // Only the fill's edge moved: the columns between its two places are all that change, a few
  // pixels wide where the whole gauge is megabytes at full width.
  RECT r = BarRect();
  std::vector<RECT> parts;
  RECT strip{std::max(std::min(before.FillRight, after.FillRight), int(r.left)), r.top,
             std::min(std::max(before.FillRight, after.FillRight), int(r.right)), r.bottom};
  if (strip.right > strip.left) parts.push_back(strip);
  // A new percentage in the same colour: beyond the edge, only where the texts stand changes.
  if (after.Percent != before.Percent && showText_ && caption_.empty()) {
    RECT old = TextBox(ShownText(before.Percent)), now = TextBox(ShownText(after.Percent)), both;
    UnionRect(&both, &old, &now);
    if (!IsRectEmpty(&both)) parts.push_back(both);
  }
  if (!parts.empty()) Repaint(parts);
}

std::string TCustomGaugeEx::ShownText(uint8_t percent) const {
  return caption_.empty() ? GaugePercentText(percent) : caption_;
}

void TCustomGaugeEx::SetCaption(const std::string &text) {
  if (text == caption_) return;
  RECT old = showText_ ? TextBox(ShownText(PercentDone())) : RECT{};
  caption_ = text;
  if (!showText_) return;
  RECT now = TextBox(ShownText(PercentDone())), both;
  UnionRect(&both, &old, &now);
  if (!IsRectEmpty(&both)) Repaint(std::vector<RECT>{both});
}

RECT TCustomGaugeEx::MarkRect(uint32_t mark) const {
  RECT r = BarRect();
  if (mark == 0 || maxValue_ == 0 || mark >= maxValue_) return RECT{0, 0, 0, 0};
  // Two pixels at least, wider on a wide gauge, so that it reads from the back of the room.
  int x = GaugeFillWidth(mark, maxValue_, r.left, r.right);
  int half = std::max(1, int(r.right - r.left) / 800);
  return RECT{std::max(x - half, int(r.left)), r.top, std::min(x + half, int(r.right)), r.bottom};
}

void TCustomGaugeEx::SetMark(uint32_t value) {
  SetMarks(value != 0 ? std::vector<uint32_t>{value} : std::vector<uint32_t>{});
}

void TCustomGaugeEx::SetMarks(const std::vector<uint32_t> &values) {
  if (values == marks_) return;
  // The old marks and the new, each alone: the bar between them stays as it is.
  std::vector<RECT> parts;
  for (uint32_t m : marks_) parts.push_back(MarkRect(m));
  marks_ = values;
  for (uint32_t m : marks_) parts.push_back(MarkRect(m));
  std::erase_if(parts, [](const RECT &r) { return IsRectEmpty(&r) != FALSE; });
  if (!parts.empty()) Repaint(parts);
}

bool TCustomGaugeEx::TextFits(const std::string &text) const {
  gdi::WindowDC screen(nullptr);
  gdi::Select measure(screen.dc(), FontHandle(EffectiveFont()));
  SIZE extent{0, 0};
  GetTextExtentPoint32A(screen.dc(), text.c_str(), int(text.size()), &extent);
  // With the room that TextBox keeps round the glyphs on both sides.
  const RECT r = BarRect();
  return extent.cx + 2 * (2 + int(extent.cy) / 8) <= r.right - r.left;
}

RECT TCustomGaugeEx::TextBox(HDC dc, const std::string &text, const RECT &r, TDisplayPoint &at,
                             SIZE &extent) const {
  {
    gdi::Select measure(dc, FontHandle(EffectiveFont()));
    extent = SIZE{0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &extent);
  }
  at = GaugeTextOrigin(r.left, r.top, r.right, r.bottom, extent.cx, extent.cy);
  // Room for glyphs that reach past their cells (bold overhangs).
  int pad = 2 + int(extent.cy) / 8;
  RECT box{std::max(at.X - pad, int(r.left)), std::max(at.Y - pad, int(r.top)),
           std::min(at.X + int(extent.cx) + pad, int(r.right)),
           std::min(at.Y + int(extent.cy) + pad, int(r.bottom))};
  if (box.right <= box.left || box.bottom <= box.top) return RECT{0, 0, 0, 0};
  return box;
}

RECT TCustomGaugeEx::TextBox(const std::string &text) const {
  gdi::WindowDC screen(nullptr);
  TDisplayPoint at;
  SIZE extent;
  return TextBox(screen.dc(), text, BarRect(), at, extent);
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

void TCustomGaugeEx::PaintBar(HDC dc, const RECT &r) const {
  gdi::FillSolid(dc, r, ColorToRGB(backColor_));
  COLORREF bar = BarColors[size_t(BarColorIndex(PercentDone()))];
  // The fill width is the bar's right edge, counted from the control's left, not from R's.
  int right = GaugeFillWidth(progress_, maxValue_, r.left, r.right);
  if (right > 0) gdi::FillSolid(dc, RECT{r.left, r.top, right, r.bottom}, bar);
  // A mark stops short of the text's glyphs, above and below them: across them it would read as
  // one more stroke. The glyphs' ink lies below the cell's internal leading and above its
  // descent, which only a letter with a tail reaches.
  RECT text{0, 0, 0, 0};
  if (showText_ && !marks_.empty()) {
    const std::string shown = ShownText(PercentDone());
    TDisplayPoint at;
    SIZE extent;
    text = TextBox(dc, shown, r, at, extent);
    TEXTMETRICA tm{};
    gdi::Select measure(dc, FontHandle(EffectiveFont()));
    if (!IsRectEmpty(&text) && GetTextMetricsA(dc, &tm)) {
      const int gap = std::max(1, int(extent.cy) / 16);
      const bool tails = shown.find_first_of("gjpqyQ,;()") != std::string::npos;
      text.top = std::max(text.top, LONG(at.Y + tm.tmInternalLeading / 2 - gap));
      text.bottom = std::min(text.bottom, LONG(at.Y + tm.tmAscent + (tails ? tm.tmDescent : 0) + gap));
    }
  }
  for (uint32_t m : marks_) {
    RECT mark = MarkRect(m);
    if (IsRectEmpty(&mark)) continue;
    if (IsRectEmpty(&text) || mark.right <= text.left || mark.left >= text.right) {
      gdi::FillSolid(dc, mark, RGB(0, 0, 0));
      continue;
    }
    if (text.top > mark.top) gdi::FillSolid(dc, RECT{mark.left, mark.top, mark.right, text.top}, RGB(0, 0, 0));
    if (text.bottom < mark.bottom)
      gdi::FillSolid(dc, RECT{mark.left, text.bottom, mark.right, mark.bottom}, RGB(0, 0, 0));
  }
}

// White text on black, combined by exclusive-or: outside the glyphs the bar stays as it is,
// under them its colours are inverted. Only the box round the text is combined: elsewhere the
// text's bitmap would be black, which leaves the bar as it is.
void TCustomGaugeEx::PaintPercentText(HDC dc, const RECT &r) const {
  std::string text = ShownText(PercentDone());
  HFONT font = FontHandle(EffectiveFont());
  SIZE extent{0, 0};
  TDisplayPoint at;
  RECT box = TextBox(dc, text, r, at, extent);
  if (box.right <= box.left || box.bottom <= box.top) return;
  // A repaint of the fill's edge away from the text leaves the text as it is.
  RECT painted, overlap;
  if (GetClipBox(dc, &painted) != ERROR && !IntersectRect(&overlap, &box, &painted)) return;
  int w = box.right - box.left, h = box.bottom - box.top;
  gdi::MemoryDC t(dc, w, h);
  gdi::FillSolid(t.dc(), RECT{0, 0, w, h}, RGB(0, 0, 0));
  SetBkMode(t.dc(), TRANSPARENT);
  gdi::Select selFont(t.dc(), font);
  SetTextColor(t.dc(), RGB(255, 255, 255));
  RECT clip{r.left - box.left, r.top - box.top, r.right - box.left, r.bottom - box.top};
  ExtTextOutA(t.dc(), at.X - box.left, at.Y - box.top, ETO_CLIPPED, &clip, text.c_str(),
              UINT(text.size()), nullptr);
  BitBlt(dc, box.left, box.top, w, h, t.dc(), 0, 0, SRCINVERT);
}

void TCustomGaugeEx::Compose(HDC dc) const {
  RECT r = BarRect();
  // Black where the bar does not paint: the frame round it. Clearing the whole picture first
  // would be one more pass over a bitmap of megabytes at full width.
  int w = Width(), h = Height();
  gdi::FillSolid(dc, RECT{0, 0, w, r.top}, RGB(0, 0, 0));
  gdi::FillSolid(dc, RECT{0, r.bottom, w, h}, RGB(0, 0, 0));
  gdi::FillSolid(dc, RECT{0, r.top, r.left, r.bottom}, RGB(0, 0, 0));
  gdi::FillSolid(dc, RECT{r.right, r.top, w, r.bottom}, RGB(0, 0, 0));
  PaintBar(dc, r);
  if (showText_) PaintPercentText(dc, r);
}

void TCustomGaugeEx::Paint(HDC dc) {
  int w = Width(), h = Height();
  // Only what the screen is to receive is composed: the parts of the gauge that are being
  // painted, the rest of the picture may be out of date but never reaches the screen.
  RECT box{0, 0, w, h};
  RECT clip = box;
  int kind = GetClipBox(dc, &clip);
  if (kind == NULLREGION) return;
  if (kind == ERROR) clip = box;
  if (!IntersectRect(&box, &box, &clip)) return;
  if (!picture_ || picture_->width() != w || picture_->height() != h) {
    picture_.reset();
    // A picture that could not be made at this size is not asked for again at every tick
    // (each failure would be one more error box): the gauge is then composed on the screen.
    if (w != failedWidth_ || h != failedHeight_) {
      try {
        picture_ = std::make_unique<gdi::MemoryDC>(dc, w, h);
      } catch (const ETavelinError &) {
        failedWidth_ = w;
        failedHeight_ = h;
      }
    }
    if (!picture_) {
      gdi::SavedDC saved(dc);
      IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
      Compose(dc);
      return;
    }
  }
  std::vector<RECT> parts = kind == COMPLEXREGION ? gdi::ClipRects(dc, box) : std::vector<RECT>{box};
  std::exception_ptr failure;
  for (const RECT &part : parts) {
    {
      gdi::SavedDC saved(picture_->dc());
      IntersectClipRect(picture_->dc(), part.left, part.top, part.right, part.bottom);
      try {
        Compose(picture_->dc());
      } catch (...) {
        failure = std::current_exception();
      }
    }
    // Whatever was composed reaches the screen before a failure goes on to the caller.
    BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top,
           picture_->dc(), part.left, part.top, SRCCOPY);
    gdi::SendPainted();
    if (failure) std::rethrow_exception(failure);
  }
}
