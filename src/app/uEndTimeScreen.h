#pragma once
#include <windows.h>

#include <cstdint>

#include "forms/uForms.h"

// The end of the next run as a time of day: hours and minutes, today. OK refuses a time that has
// come or gone; otherwise it closes with the time left until then.
class TEndTimeScreen : public TForm {
public:
  // owner: the main window, whose caption the dialog follows. The boxes open on the time of day
  // a run of the current duration started now would end, rounded up to the next minute.
  explicit TEndTimeScreen(TForm *owner);

  void ConfirmEndTime(TControl *Sender);

  // The chosen minute of the day, and the whole seconds left until it when OK was pressed.
  int EndMinute() const;
  uint32_t SecondsLeft() const { return secondsLeft_; }

private:
  uint32_t secondsLeft_ = 0;
};
