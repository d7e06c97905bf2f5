// uGaugeEx - the progress bar under the digits: a bar growing from the left, coloured by
// quarters, with the percentage in inverted colours, composed off screen and copied once.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "display/uDisplayTables.h"
#include "forms/uForms.h"

enum class TGaugeBorderStyle { bsNone, bsSingle };

// A windowless, opaque control: it paints every pixel of its rectangle on its parent's surface.
class TCustomGaugeEx : public TGraphicControl {
public:
  // The control takes its place among `parent`'s children (none: a control painted only by
  // whoever calls Paint); the parent's owner sizes and places it.
  explicit TCustomGaugeEx(TWinControl *parent);

  // Each setter does nothing for the value already held; otherwise it stores the value and
  // repaints at once when the control is on screen. A new progress or maximum that leaves the
  // picture as it was (the bar's edge, its colour and the percentage) is stored without a
  // repaint: on a wide gauge most ticks of a long run change none of them.
  int32_t MinValue() const { return minValue_; }
  void SetMinValue(int32_t value);
  uint32_t Progress() const { return progress_; }
  void SetProgress(uint32_t value);
  // 0 stands for a run of no duration: an empty bar reading 0%.
  uint32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(uint32_t value);
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor value);
  bool ShowText() const { return showText_; }
  void SetShowText(bool value);
  TGaugeBorderStyle BorderStyle() const { return borderStyle_; }

  uint8_t PercentDone() const { return GaugePercentDone(progress_, maxValue_); }

  // A text in place of the percentage (a warning); empty: the percentage again.
  const std::string &Caption() const { return caption_; }
  void SetCaption(const std::string &text);
  // A thin line across the bar where the progress reaches `value` (the normal end of a run with
  // extra time); 0: none.
  uint32_t Mark() const { return marks_.empty() ? 0 : marks_.front(); }
  void SetMark(uint32_t value);
  // As many as a run has ends before its last (the room's board: every épreuve's).
  const std::vector<uint32_t> &Marks() const { return marks_; }
  void SetMarks(const std::vector<uint32_t> &values);
  // Whether a text in place of the percentage reads whole inside the bar, in the gauge's font.
  bool TextFits(const std::string &text) const;

  // Arial bold, at the largest size from 130 points (more for a gauge taller than 100 pixels) down
  // to 6 whose text "XX" is lower than the control (6 when none is). Called once the control has
  // its final height.
  void FitFontToHeight();
  // The size in points that FitFontToHeight chose (0 before).
  int FontSize() const { return fontSize_; }

  void Paint(HDC dc) override;

private:
  RECT BarRect() const;
  TGaugeLook Look() const;
  void ShowChange(const TGaugeLook &before, const TGaugeLook &after);
  void Compose(HDC dc) const;
  void PaintBar(HDC dc, const RECT &r) const;
  void PaintPercentText(HDC dc, const RECT &r) const;
  // The box round the percentage's text (glyph overhangs included) in the bar rectangle r, with
  // the text's place and size; empty when the text has no room.
  RECT TextBox(HDC dc, const std::string &text, const RECT &r, TDisplayPoint &at,
               SIZE &extent) const;
  RECT TextBox(const std::string &text) const;
  std::string ShownText(uint8_t percent) const;
  RECT MarkRect(uint32_t mark) const;

  int32_t minValue_ = 0;
  uint32_t progress_ = 0;
  uint32_t maxValue_ = 100;
  TGaugeBorderStyle borderStyle_ = TGaugeBorderStyle::bsSingle;
  TColor backColor_ = clWhite;
  bool showText_ = false;
  std::string caption_;
  std::vector<uint32_t> marks_;
  int fontSize_ = 0;
  // The bitmap the picture is composed in, kept from one paint to the next: at full width it
  // is megabytes, which the system would otherwise allocate and clear at every change.
  std::unique_ptr<gdi::MemoryDC> picture_;
  int failedWidth_ = -1, failedHeight_ = -1;  // the size at which the picture could not be made
};
