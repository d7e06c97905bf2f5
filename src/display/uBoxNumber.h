// uBoxNumber - one decimal digit as a seven-segment figure, green on black.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "display/uDisplayTables.h"
#include "forms/uForms.h"

// The two segment images of one digit control, rendered once when the control is made: a
// horizontal and a vertical hexagon in the lit colour on magenta, the transparent colour.
class TSegment {
public:
  // u: the digit unit; 0 takes the one of AppConfig's display size.
  explicit TSegment(int u = 0, COLORREF lit = RGB(0, 255, 0));
  TSegment(const TSegment &) = delete;
  TSegment &operator=(const TSegment &) = delete;

  static constexpr COLORREF TransparentColor = RGB(255, 0, 255);

  // The images of one unit, shared by every digit control of that unit while any of them lives.
  static std::shared_ptr<TSegment> For(int u, COLORREF lit = RGB(0, 255, 0));

  // 0: horizontal image, 1: vertical image.
  HBITMAP GetSegmentBitmap(int index) const;
  COLORREF LitColor() const { return litColor_; }
  // Draws image `index` at (x, y), its magenta pixels leaving the destination as it was.
  void DrawSegment(HDC dc, int index, int x, int y) const;

private:
  void BuildBitmaps(int u);

  gdi::Bitmap images_[2];
  COLORREF litColor_;
  // Made once from the images, so that drawing a segment is two copies and nothing else: a
  // monochrome mask (set where an image is magenta) and the images with magenta turned black,
  // side by side in two sheets (horizontal image at the left, vertical one right of it), each
  // kept selected in a DC of its own. Making a DC costs far more than the copies themselves.
  gdi::Bitmap maskSheet_;
  gdi::Bitmap spriteSheet_;
  std::unique_ptr<gdi::BitmapDC> maskDC_;
  std::unique_ptr<gdi::BitmapDC> spriteDC_;
  TDisplayPoint sizes_[2];
  int sheetLeft_[2] = {0, 0};
};

// The ten digits of one unit, drawn once when the first is shown and kept side by side in one
// picture that every digit control of that unit shares while any of them lives. A digit is lit
// colour on black and nothing else, so the picture holds one bit a pixel (set where lit): at full
// width on a 4K screen that is under a megabyte where true colour took 26. Its lit pixels are then
// kept as one region a digit, and showing a digit is two fills, where drawing it is a fill and two
// copies per segment: at full width a digit is hundreds of thousands of pixels, changed every
// second.
class TDigitSheet {
public:
  // The sheet keeps which pixels are lit, not their colour: one serves every colour.
  static std::shared_ptr<TDigitSheet> For(int u);
  explicit TDigitSheet(int u);
  // Digit `value` with its top left corner at (0, 0) of dc, drawn with `segments` the first time.
  void Draw(HDC dc, uint8_t value, const TSegment &segments);
  // The picture of the ten digits (none when it could not be made).
  HBITMAP Picture() const { return sheet_.get(); }

private:
  // Digit `value` with its top left corner at (0, 0) of dc, black ground included.
  void DrawFigure(HDC dc, uint8_t value, const TSegment &segments) const;
  // The lit pixels of each digit in the sheet, as regions at (0, 0): none when they could not be
  // made, and the digits are then copied from the sheet.
  void MakeLitRegions();

  int unit_;
  // Declared before its DC, so destroyed after it: Windows refuses to delete a picture still
  // selected into a DC, and it would leak at every close.
  gdi::Bitmap sheet_;  // none when it could not be made: digits are then drawn in place
  std::unique_ptr<gdi::BitmapDC> sheetDC_;
  bool drawn_[10] = {};
  // Painting a digit from its region is two plain fills. Copying from the sheet turned each bit
  // into a pixel: at full width on a 4K screen, a quarter of the program's time while counting.
  gdi::Region lit_[10];
};

// A windowless, opaque digit control: it paints straight on its parent's surface.
class TBoxNumber : public TGraphicControl {
public:
  // The owner becomes the parent; the control is 8u x 16u at (10, 10) until the owner moves it.
  // u: the digit unit, which a full-width display works out from its monitor; 0 takes the one of
  // AppConfig's display size.
  explicit TBoxNumber(TWinControl *owner, int u = 0);
  int Unit() const { return unit_; }

  uint8_t CurrentNumber() const { return currentNumber_; }
  // The same digit again does nothing; a value above 9 is refused (the digit and the picture
  // stay); any other digit is stored and painted at once.
  void SetCurrentNumber(uint8_t value);
  // A dark digit lights no segment but keeps its value, which shows at once when it is lit
  // again; meanwhile a new value or colour paints nothing.
  bool Dark() const { return dark_; }
  void SetDark(bool dark);

  void Paint(HDC dc) override;
  const TSegment &Segments() const { return *segments_; }
  const TDigitSheet &Sheet() const { return *sheet_; }

  // The colour of the lit segments on the same black: green, red for the time beyond the end
  // of a run. Another colour repaints at once; its pictures are made the first time it is asked.
  static constexpr COLORREF UsualColor = RGB(0, 255, 0);
  static constexpr COLORREF OvertimeColor = RGB(255, 0, 0);
  // Amber (orange on black), for the last minutes before an end.
  static constexpr COLORREF WarningColor = RGB(255, 160, 0);
  COLORREF LitColor() const { return segments_->LitColor(); }
  void SetLitColor(COLORREF lit);
  bool Overtime() const { return LitColor() == OvertimeColor; }

private:
  // The boxes round the shapes of the segments in `mask`, painted again.
  void RepaintSegments(uint8_t mask);

  int unit_;
  uint8_t currentNumber_ = 0;
  bool dark_ = false;
  std::shared_ptr<TSegment> segments_;
  std::shared_ptr<TDigitSheet> sheet_;
};
