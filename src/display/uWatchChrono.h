// uWatchChrono - the giant display window of a run: HH:MM:SS in seven-segment digits on a black
// panel with two red colons, and the progress gauge under them. Borderless, above ordinary
// windows, at the top left corner of the screen, as wide as the chosen display size (or across
// the whole width of the chosen monitor, at its top left corner); it takes no input.
#pragma once
#include <windows.h>

#include <array>
#include <functional>

#include "display/uBoxNumber.h"
#include "display/uClockBand.h"
#include "display/uDisplayTables.h"
#include "display/uGaugeEx.h"
#include "forms/uForms.h"
#include "timing/uExamPlan.h"

class TWatchChrono : public TForm {
public:
  // owner: the control bar, which shows the window, hands its handle to the timing threads and
  // destroys it with itself. The window is laid out for AppConfig's UserScreenSize and shows the
  // starting value; its platform window is made when it is first shown (or by CreateHandle).
  explicit TWatchChrono(TForm *owner);

  // The starting value of a run: 00:00:00 counting up, the total duration counting down; in
  // the usual green.
  void ResetDigits();
  // Red digits: the time beyond the end of a run (WM_SET_OVERTIME); ResetDigits ends it.
  void ShowOvertime(bool overtime);
  // Amber digits: the last minutes before an end (WM_SET_AMBER). Red wins over it.
  void ShowAmber(bool amber);
  // The colour of the digits' lit segments, which every layout keeps.
  COLORREF DigitColor() const;
  // For ten seconds of the run, a warning's text in place of the gauge's percentage.
  void ShowWarning(const std::string &text);
  // The gauge runs over the whole run, extra time included, with a mark at the normal end. The
  // seconds digits light from AppConfig's SecondsNearEnd minutes before the end they count to.
  void SetRunLength(uint32_t totalSeconds, uint32_t extraSeconds);

  // The band under the gauge (none unless the settings ask for it).
  TClockBand *Band() const { return band_; }

  TCustomGaugeEx &Gauge() const { return *gauge_; }
  // Positions 0 to 5: hours tens and units, minutes tens and units, seconds tens and units.
  TBoxNumber &Digit(int position) const { return *digits_.at(size_t(position)); }
  // The black backdrop of the digits, carrying the colons in its bitmap.
  TImage &DigitPanel() const { return *panel_; }

  // Where everything stands, as last laid out.
  const TWatchLayout &Layout() const { return layout_; }
  // Lays the window out again for the monitors as they are now, with barHeight pixels of control
  // bar under a full-width display: the screens changed during a run. The window, the digits'
  // values and the gauge's progress stay; digits of another size are made anew.
  void LayOutAgain(int barHeight);

  // WM_SET_DIGIT, WM_SET_PROGRESS, WM_ACTIVATE (consumed: the window disables itself while its
  // owner is visible) and WM_SETCURSOR (no pointer over the window).
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Laid out in physical pixels, the display keeps its layout at another scale.
  void ChangeDpi(int dpi, const RECT *suggested) override;
  // Called once the window was laid out again at another scale (the control bar then goes
  // back under it).
  std::function<void()> OnLaidOutAgain;
  // A warning or the normal end came (the journal records it).
  std::function<void(const TExamEvent &)> OnExamEvent;

private:
  void DrawColon(int colon);
  void ShowDigitColor();
  // The seconds lit or dark, as the time left to the end says.
  void ShowSecondsNearEnd();
  // Back on top when another program's window is drawn over it, under the windows of ours.
  void StayInFront();

  TWatchLayout layout_;
  int layoutDpi_ = 96;  // the scale the display is laid out for
  TImage *panel_ = nullptr;
  TCustomGaugeEx *gauge_ = nullptr;
  std::array<TBoxNumber *, 6> digits_{};
  TClockBand *band_ = nullptr;
  bool overtime_ = false, amber_ = false;
  uint32_t total_ = 0, extra_ = 0;  // the run's length, as SetRunLength gave it
  uint32_t warningUntil_ = 0;  // the progress at which a warning's text gives way again
};
