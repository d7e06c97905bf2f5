#include <windows.h>

#include "app/uEndTimeScreen.h"

#include <algorithm>

#include "forms/uApplication.h"
#include "run/uEndTime.h"
#include "settings/uConfig.h"
#include "timing/uWallClock.h"

TEndTimeScreen::TEndTimeScreen(TForm *owner) : TForm(owner) {
  Bind("ConfirmEndTime", &TEndTimeScreen::ConfirmEndTime);
  LoadDesign("ENDTIMESCREEN");
  SetCaption((owner ? owner->Caption() : Application.Title()) + " - Heure de fin");

  int end = EndMinuteAfter(LocalMsOfDay(), AppConfig->TotalTime->GetTotalSeconds());
  Get<TSpinEdit>("SpinEndHour").SetValue(end / 60);
  Get<TSpinEdit>("SpinEndMin").SetValue(end % 60);

  // Over the middle of the main window.
  PlaceOverMiddleOf(owner);
}

int TEndTimeScreen::EndMinute() const {
  // A value typed out of range counts as the nearest limit, as the box will show it.
  int hour = std::clamp(Get<TSpinEdit>("SpinEndHour").Value(), 0, 23);
  int minute = std::clamp(Get<TSpinEdit>("SpinEndMin").Value(), 0, 59);
  return hour * 60 + minute;
}

void TEndTimeScreen::ConfirmEndTime(TControl *) {
  uint32_t left = RunUntilEnd(EndMinute(), LocalMsOfDay()).Seconds;
  if (left == 0) {
    ShowMessageBox(EndPassedText, "Avertissement", MB_OK | MB_ICONWARNING);
    return;
  }
  secondsLeft_ = left;
  ModalResult = mrOk;
}
