// uWatchChrono - the giant display window of a run: HH:MM:SS in seven-segment digits on a black
// panel with two red colons, and the progress gauge under them. Borderless, above ordinary
// windows, at the top left corner of the screen, as wide as the chosen display size (or across
// the whole width of the chosen monitor, at its top left corner); it takes no input.
#pragma once
#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "display/uBoxNumber.h"
#include "display/uClockBand.h"
#include "display/uDisplayTables.h"
#include "display/uGaugeEx.h"
#include "display/uPaperTable.h"
#include "forms/uForms.h"
#include "run/uBoardTexts.h"
#include "run/uExamPlan.h"

class TWatchChrono : public TForm {
public:
  // owner: the control bar, which shows the window, hands its handle to the timing threads and
  // destroys it with itself. The window is laid out for AppConfig's UserScreenSize and shows
  // 00:00:00 until it is handed the run's scale and digits; its platform window is made when it
  // is first shown (or by CreateHandle).
  explicit TWatchChrono(TForm *owner);

  // The digits at rest, `shownSeconds` as HH:MM:SS in the usual green (the time of day on a
  // board): what the run shows before its engine's first tick, as its session answers it.
  void ResetDigits(uint32_t shownSeconds);
  // Red digits: the time beyond the end of a run (WM_SET_OVERTIME); ResetDigits ends it.
  void ShowOvertime(bool overtime);
  // Amber digits: the last minutes before an end (WM_SET_AMBER). Red wins over it.
  void ShowAmber(bool amber);
  // The colour of the digits' lit segments, which every layout keeps.
  COLORREF DigitColor() const;
  // For ten seconds of the run, a warning's text in place of the gauge's percentage.
  void ShowWarning(const std::string &text);
  // Before an official start: the time of day in the digits, `text` on the gauge until the run
  // starts (ResetDigits takes it away).
  void ShowWaiting(int64_t nowLocalMs, const std::string &text);

  // The room's board for a run of two épreuves or more: names in row order (the caller already
  // turned an empty first name into "Épreuve 1"). Fewer than two names: no board, the display as
  // ever, unless `clock` asks for one épreuve's board (the time of day in the digits, its line
  // under the gauge). `exitLine`: one line more, for the moment candidates may leave. Called
  // before the display is shown or laid out (and may be called again with others).
  void SetBoard(const std::vector<std::string> &names, bool clock = false, bool exitLine = false);
  bool Board() const { return !names_.empty(); }
  // Each second of the wall clock while a board is set (before Run too): the digits show the time
  // of day of nowLocalMs as HH:MM:SS in green (until the run counts beyond its end), and the table
  // the lines its session answers.
  void ShowBoard(int64_t nowLocalMs, const std::vector<TBoardLine> &lines);
  // The gauge runs over the whole run, to its last end (lengthSeconds of run time), with a black
  // mark at each of `marks` (every other end, in run seconds). Beyond the last end a board's
  // digits give way to the count, from `overtimeFrom` seconds.
  void SetRunEnds(uint32_t lengthSeconds, const std::vector<uint32_t> &marks,
                  uint32_t overtimeFrom = 0);
  // The board's table under the gauge (none without a board).
  TPaperTable *Table() const { return table_; }

  // The band under the gauge (none unless the settings ask for it, nor on a board).
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
  // A warning, the normal end or an épreuve's end came (the journal records it): once for each
  // event, however many a tick brings, in the order they came.
  std::function<void(const TExamEvent &)> OnExamEvent;
  // Each tick of the run (WM_SET_PROGRESS), after the display took it.
  std::function<void()> OnTick;
  // Whether the seconds are lit at a progress, as the run decides (unset: always).
  std::function<bool(uint32_t progress, bool overtime)> SecondsLitAt;

private:
  // The layout for the monitors as they are now, the board's lines or the band under the gauge.
  TWatchLayout LayoutNow(int barHeight) const;
  // The band or the board's table, made, placed or removed as the layout says.
  void PlaceUnderGauge(const TWatchLayout &l);
  // The window's text, what a screen reader says the display is: a count-down, a count-up, or
  // the time of day on a board.
  void ShowTitle();
  // The table's line names: the épreuves', then the moment to leave's.
  std::vector<std::string> TableNames() const;
  // The time of day on the digits, green.
  void ShowTimeOfDay(int64_t localMs);
  // A warning's text on the gauge; on a board, named after its épreuve, the name cut to fit.
  void ShowExamEvent(const TExamEvent &event);
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
  bool clockBand_ = false;  // the band, as the settings asked for it at the start
  TPaperTable *table_ = nullptr;
  std::vector<std::string> names_;  // the board's épreuves; empty: no board
  bool exitLine_ = false;           // the board's line of the moment to leave
  bool timeOfDayKnown_ = false;
  int64_t timeOfDay_ = 0;  // the last the board showed
  bool overtime_ = false, amber_ = false;
  uint32_t overtimeFrom_ = 0;  // a board's count beyond its last end starts there
  uint32_t restSeconds_ = 0;   // the digits at rest, as last handed
  uint32_t warningUntil_ = 0;  // the progress at which a warning's text gives way again
};
