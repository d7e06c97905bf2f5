// uClockBand - the band under the gauge that reads the time of day and the ends of the run to the
// room ("Il est 10 h 12   Début 9 h 00   Fin 10 h 45"): white on black, as large as it fits.
#pragma once
#include <windows.h>

#include <string>

#include "forms/uForms.h"

class TClockBand : public TGraphicControl {
public:
  explicit TClockBand(TWinControl *parent);

  const std::string &Text() const { return text_; }
  // The same text again paints nothing: the band is told the time far more often than it
  // changes.
  void SetText(const std::string &text);
  // The largest font at which the longest text the band may read fits in it; called once the
  // band has its final size.
  void FitFont();

  void Paint(HDC dc) override;

private:
  // The largest font at which `text` fits the band.
  void FitFontTo(const char *text);
  // Whether the text fits in the font of now.
  bool Fits(const std::string &text) const;
  std::string text_;
  gdi::Font font_;
};
