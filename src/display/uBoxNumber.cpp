#include <windows.h>

#include "display/uBoxNumber.h"

#include <algorithm>
#include <map>
#include <vector>

#include "base/uErrors.h"
#include "settings/uConfig.h"

namespace {

int DigitUnit(int u) {
  return u > 0 ? u : DigitUnitFor(AppConfig ? AppConfig->UserScreenSize : 1);
}

}  // namespace

// --- TSegment ----------------------------------------------------------------------------------

TSegment::TSegment(int u, COLORREF lit) : litColor_(lit) { BuildBitmaps(DigitUnit(u)); }

HBITMAP TSegment::GetSegmentBitmap(int index) const {
  return index == 0 || index == 1 ? images_[index].get() : nullptr;
}

void TSegment::BuildBitmaps(int u) {
  gdi::WindowDC screen(nullptr);
  for (int i = 0; i < 2; ++i) {
    auto image = static_cast<TSegmentImage>(i);
    TDisplayPoint size = SegmentImageSize(image, u);
    sizes_[i] = size;
    images_[i] = gdi::MakeCompatibleBitmap(screen.dc(), size.X, size.Y);
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

  sheetLeft_[0] = 0;
  sheetLeft_[1] = sizes_[0].X;
  int sheetW = sizes_[0].X + sizes_[1].X;
  int sheetH = sizes_[0].Y > sizes_[1].Y ? sizes_[0].Y : sizes_[1].Y;
  maskSheet_ = gdi::Bitmap(CreateBitmap(sheetW, sheetH, 1, 1, nullptr));
  if (!maskSheet_) throw ETavelinError("Ressources graphiques épuisées (bitmap)");
  spriteSheet_ = gdi::MakeCompatibleBitmap(screen.dc(), sheetW, sheetH);
  maskDC_ = std::make_unique<gdi::BitmapDC>(maskSheet_.get());
  spriteDC_ = std::make_unique<gdi::BitmapDC>(spriteSheet_.get());
  HDC mask = maskDC_->dc(), sprite = spriteDC_->dc();
  for (int i = 0; i < 2; ++i) {
    gdi::BitmapDC src(images_[i].get());
    int x = sheetLeft_[i], w = sizes_[i].X, h = sizes_[i].Y;
    // Colour to monochrome: the pixels of the background colour become 1.
    SetBkColor(src.dc(), TransparentColor);
    BitBlt(mask, x, 0, w, h, src.dc(), 0, 0, SRCCOPY);
    BitBlt(sprite, x, 0, w, h, src.dc(), 0, 0, SRCCOPY);
  }
  SetBkColor(sprite, RGB(255, 255, 255));
  SetTextColor(sprite, RGB(0, 0, 0));
  BitBlt(sprite, 0, 0, sheetW, sheetH, mask, 0, 0, 0x00220326);  // DSna: magenta to black
}

void TSegment::DrawSegment(HDC dc, int index, int x, int y) const {
  if (index != 0 && index != 1) return;
  const TDisplayPoint &size = sizes_[index];
  int from = sheetLeft_[index];
  // The mask keeps the destination under the magenta pixels and blacks out the shape, which
  // the sprite then fills.
  COLORREF bk = SetBkColor(dc, RGB(255, 255, 255));
  COLORREF fg = SetTextColor(dc, RGB(0, 0, 0));
  BitBlt(dc, x, y, size.X, size.Y, maskDC_->dc(), from, 0, SRCAND);
  BitBlt(dc, x, y, size.X, size.Y, spriteDC_->dc(), from, 0, SRCPAINT);
  SetBkColor(dc, bk);
  SetTextColor(dc, fg);
}

std::shared_ptr<TSegment> TSegment::For(int u, COLORREF lit) {
  // Only the user-interface thread makes digits, so the list needs no lock.
  static std::map<std::pair<int, COLORREF>, std::weak_ptr<TSegment>> shared;
  std::shared_ptr<TSegment> segments = shared[{u, lit}].lock();
  if (!segments) {
    segments = std::make_shared<TSegment>(u, lit);
    shared[{u, lit}] = segments;
  }
  return segments;
}

// --- TDigitSheet -------------------------------------------------------------------------------

std::shared_ptr<TDigitSheet> TDigitSheet::For(int u) {
  // Only the user-interface thread draws, so the list needs no lock.
  static std::map<int, std::weak_ptr<TDigitSheet>> sheets;
  std::shared_ptr<TDigitSheet> sheet = sheets[u].lock();
  if (!sheet) {
    sheet = std::make_shared<TDigitSheet>(u);
    sheets[u] = sheet;
  }
  return sheet;
}

TDigitSheet::TDigitSheet(int u) : unit_(u) {
  // Made with the digits that share it, drawn when the first of them is shown.
  const int w = 8 * u, h = 16 * u;
  try {
    sheet_ = gdi::Bitmap(CreateBitmap(10 * w, h, 1, 1, nullptr));
    if (!sheet_) throw ETavelinError("Ressources graphiques épuisées (bitmap)");
    sheetDC_ = std::make_unique<gdi::BitmapDC>(sheet_.get());
  } catch (const ETavelinError &) {
    // Ten digits side by side can be more than the system gives in one picture on a very
    // large monitor. Asking again at every tick would fail at every tick: the digits are
    // drawn where they are shown instead, slower but the same.
    sheetDC_.reset();
    sheet_.Reset();
  }
}

void TDigitSheet::Draw(HDC dc, uint8_t value, const TSegment &segments) {
  const int u = unit_, w = 8 * u, h = 16 * u;
  if (!sheet_) {
    gdi::SavedDC saved(dc);
    IntersectClipRect(dc, 0, 0, w, h);
    DrawFigure(dc, value, segments);
    return;
  }
  HDC sheet = sheetDC_->dc();
  if (!drawn_[value]) {
    // All ten at once, when the first is shown (the display opening), rather than one by one in
    // the first seconds of a run: each is drawn in colour, then kept as its lit pixels.
    std::unique_ptr<gdi::MemoryDC> made;
    try {
      made = std::make_unique<gdi::MemoryDC>(dc, w, h);
    } catch (const ETavelinError &) {
      // Not even one digit in colour: drawn in place from now on.
      sheetDC_.reset();
      sheet_.Reset();
      gdi::SavedDC saved(dc);
      IntersectClipRect(dc, 0, 0, w, h);
      DrawFigure(dc, value, segments);
      return;
    }
    gdi::MemoryDC &scratch = *made;
    for (uint8_t digit = 0; digit < 10; ++digit) {
      if (drawn_[digit]) continue;
      DrawFigure(scratch.dc(), digit, segments);
      COLORREF bk = SetBkColor(scratch.dc(), segments.LitColor());
      BitBlt(sheet, digit * w, 0, w, h, scratch.dc(), 0, 0, SRCCOPY);
      SetBkColor(scratch.dc(), bk);
      drawn_[digit] = true;
    }
    MakeLitRegions();
  }
  // Only the parts being painted are filled and sent (the segments that changed, as a rule),
  // each on its own.
  RECT whole{0, 0, w, h}, clip;
  int kind = GetClipBox(dc, &clip);
  if (kind == NULLREGION) return;
  if (kind != ERROR && !IntersectRect(&whole, &whole, &clip)) return;
  // The bands of a few segments: a dozen rectangles at most.
  std::vector<RECT> parts = kind == COMPLEXREGION ? gdi::ClipRects(dc, whole, 16)
                                                  : std::vector<RECT>{whole};
  const HRGN lit = lit_[value].get();
  // Clipping regions are in device units: the digit's region moves there for a moment.
  POINT origin{0, 0};
  LPtoDP(dc, &origin, 1);
  for (const RECT &part : parts) {
    if (lit) {
      // Each colour goes through the region as a clip, in one fill, and each pixel is written
      // once: filling the region itself costs a call a rectangle of it under Wine, twice the
      // copy it replaces.
      OffsetRgn(lit, origin.x, origin.y);
      for (int mode : {RGN_DIFF, RGN_AND}) {
        gdi::SavedDC saved(dc);
        IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
        ExtSelectClipRgn(dc, lit, mode);
        gdi::FillSolid(dc, part, mode == RGN_AND ? segments.LitColor() : RGB(0, 0, 0));
      }
      OffsetRgn(lit, -origin.x, -origin.y);
    } else {
      // One bit a pixel to colour: set bits take the background colour, clear ones the text's.
      COLORREF bk = SetBkColor(dc, segments.LitColor());
      COLORREF fg = SetTextColor(dc, RGB(0, 0, 0));
      BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, sheet,
             value * w + part.left, part.top, SRCCOPY);
      SetBkColor(dc, bk);
      SetTextColor(dc, fg);
    }
    gdi::SendPainted();
  }
}

void TDigitSheet::MakeLitRegions() {
  const int u = unit_, w = 8 * u, h = 16 * u;
  // GetDIBits wants a picture that no DC holds: a copy of the sheet, one bit a pixel, rows from
  // the top, each a whole number of 32-bit words.
  gdi::Bitmap copy(CreateBitmap(10 * w, h, 1, 1, nullptr));
  if (!copy) return;
  {
    gdi::BitmapDC to(copy.get());
    BitBlt(to.dc(), 0, 0, 10 * w, h, sheetDC_->dc(), 0, 0, SRCCOPY);
  }
  const size_t stride = size_t(10 * w + 31) / 32 * 4;
  std::vector<uint8_t> bits(stride * size_t(h));
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } info{};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = 10 * w;
  info.header.biHeight = -h;
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  gdi::WindowDC screen(nullptr);
  if (GetDIBits(screen.dc(), copy.get(), 0, UINT(h), bits.data(),
                reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS) != h)
    return;
  // The lit pixels are the set bits, white in a monochrome picture's colours; read as set bits
  // whatever the colours came back as.
  const uint8_t unlitByte = info.colours[1].rgbRed != 0 ? 0x00 : 0xFF;
  std::vector<RECT> rects;
  std::vector<std::pair<int, int>> runs, band;
  for (int digit = 0; digit < 10; ++digit) {
    // Runs of lit pixels row by row; rows alike are one band, so that a digit is a few hundred
    // rectangles rather than a thousand rows of them. A digit starts on a whole byte (w = 8u).
    rects.clear();
    band.clear();
    size_t bandFirst = 0;
    for (int y = 0; y <= h; ++y) {
      runs.clear();
      const uint8_t *row = y < h ? bits.data() + size_t(y) * stride + size_t(digit * u) : nullptr;
      for (int x = 0; row && x < w; x += 8) {
        const uint8_t byte = row[x / 8] ^ unlitByte;  // set bits: lit
        if (byte == 0) continue;
        for (int bit = 0; bit < 8; ++bit) {
          if (!(byte & (0x80 >> bit))) continue;
          if (!runs.empty() && runs.back().second == x + bit)
            ++runs.back().second;
          else
            runs.emplace_back(x + bit, x + bit + 1);
        }
      }
      if (y > 0 && runs == band) {
        for (size_t r = bandFirst; r < rects.size(); ++r) rects[r].bottom = y + 1;
        continue;
      }
      band = runs;
      bandFirst = rects.size();
      for (const auto &run : runs) rects.push_back(RECT{run.first, y, run.second, y + 1});
    }
    std::vector<char> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto *region = reinterpret_cast<RGNDATA *>(data.data());
    region->rdh.dwSize = sizeof(RGNDATAHEADER);
    region->rdh.iType = RDH_RECTANGLES;
    region->rdh.nCount = DWORD(rects.size());
    region->rdh.nRgnSize = DWORD(rects.size() * sizeof(RECT));
    region->rdh.rcBound = RECT{0, 0, w, h};
    std::copy(rects.begin(), rects.end(), reinterpret_cast<RECT *>(region->Buffer));
    lit_[digit] = gdi::Region(ExtCreateRegion(nullptr, DWORD(data.size()), region));
  }
}

void TDigitSheet::DrawFigure(HDC dc, uint8_t value, const TSegment &segments) const {
  const int u = unit_;
  gdi::FillSolid(dc, RECT{0, 0, 8 * u, 16 * u}, RGB(0, 0, 0));
  uint8_t mask = DigitMasks[value];
  for (size_t s = 0; s < SegmentPlaces.size(); ++s) {
    if (!(mask & SegmentPlaces[s].Bit)) continue;
    TDisplayPoint at = SegmentOrigin(int(s), u);
    segments.DrawSegment(dc, SegmentPlaces[s].Image, at.X, at.Y);
  }
}

// --- TBoxNumber --------------------------------------------------------------------------------

TBoxNumber::TBoxNumber(TWinControl *owner, int u)
    : TGraphicControl(owner), unit_(DigitUnit(u)), segments_(TSegment::For(unit_)),
      sheet_(TDigitSheet::For(unit_)) {
  Opaque = true;
  SetBounds(10, 10, 8 * unit_, 16 * unit_);
}

void TBoxNumber::SetCurrentNumber(uint8_t value) {
  if (value == currentNumber_) return;
  if (value > 9)
    throw ETavelinError(
        "Attention TBoxNumber.CurrentNumber est un nombre [0..9] et non un chiffre.");
  // Only the segments that light up or go out are painted again: at full width a digit is
  // hundreds of thousands of pixels, most of them the same from one second to the next. Painting
  // the box round a segment's shape in full gives the same pixels as painting the whole digit
  // would, since the segments that stay as they were draw the same there either way.
  const uint8_t changed = DigitMasks[currentNumber_] ^ DigitMasks[value];
  currentNumber_ = value;
  if (!dark_) RepaintSegments(changed);
}

void TBoxNumber::RepaintSegments(uint8_t mask) {
  std::vector<RECT> parts;
  for (size_t s = 0; s < SegmentPlaces.size(); ++s) {
    if (!(mask & SegmentPlaces[s].Bit)) continue;
    TDisplayRect box = SegmentShapeBox(int(s), unit_);
    parts.push_back(RECT{box.Left, box.Top, box.Left + box.Width, box.Top + box.Height});
  }
  Repaint(parts);
}

void TBoxNumber::Paint(HDC dc) {
  if (dark_) {
    gdi::FillSolid(dc, RECT{0, 0, 8 * unit_, 16 * unit_}, RGB(0, 0, 0));
    return;
  }
  // The setter keeps the value within 0..9.
  sheet_->Draw(dc, currentNumber_, *segments_);
}

void TBoxNumber::SetDark(bool dark) {
  if (dark == dark_) return;
  dark_ = dark;
  // Only the segments of the value go out or light up.
  RepaintSegments(DigitMasks[currentNumber_]);
}

void TBoxNumber::SetLitColor(COLORREF lit) {
  if (lit == LitColor()) return;
  segments_ = TSegment::For(unit_, lit);
  if (!dark_) Repaint();
}
