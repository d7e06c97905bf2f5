#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "forms/uForms.h"
#include "run/uExamPaper.h"

// The épreuves of the next run, all started together. The first is the run as the main window
// sets it: its length or end is shown, its name and tiers-temps are edited here; up to three more
// each have a name, a length in hours and minutes (0:00, not used) and a tiers-temps. OK refuses
// a row in use without a name and a name given twice; otherwise it stores and saves them.
class TPapersScreen : public TForm {
public:
  // owner: the main window, whose caption the dialog follows and over which it opens. endMinute:
  // the minute of the day at which its next run ends, -1 for a run of its duration.
  TPapersScreen(TForm *owner, int endMinute);

  void ConfirmPapers(TControl *Sender);

private:
  // What each row beside the first showed when the dialog opened, in whole minutes, and the
  // seconds behind it: a row whose boxes still show that keeps its seconds, so that a length
  // given to the second (on the command line) is not lost by an OK.
  struct TShownLength {
    uint32_t Shown = 0, Seconds = 0;
  };
  std::array<TShownLength, MaxPapers - 1> opened_{};
  void Refuse(const std::string &text, TWinControl &box);
};
