#pragma once
#include <windows.h>

#include "forms/uForms.h"

// An exam's settings: up to three warnings before the end, a third more time, the time of day
// with the end under the display, the journal of the runs, and the minutes before the end from
// which the seconds show. OK stores them and saves every setting, as the options do.
class TExamScreen : public TForm {
public:
  // owner: the main window, whose caption the dialog follows and over which it opens.
  explicit TExamScreen(TForm *owner);

  void ConfirmExam(TControl *Sender);
};
