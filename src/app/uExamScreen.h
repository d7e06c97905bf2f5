#pragma once
#include <windows.h>

#include "forms/uForms.h"

// An exam's settings: up to three warnings before the end, a third more time, and the time of
// day with the end under the display. OK stores them and saves every setting, as the options do.
class TExamScreen : public TForm {
public:
  // owner: the main window, whose caption the dialog follows and over which it opens.
  explicit TExamScreen(TForm *owner);

  void ConfirmExam(TControl *Sender);
};
