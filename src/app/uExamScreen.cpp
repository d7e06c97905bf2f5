#include <windows.h>

#include "app/uExamScreen.h"

#include <algorithm>
#include <vector>

#include "forms/uApplication.h"
#include "settings/uConfig.h"

namespace {
const char *const WarnBoxes[MaxWarnings] = {"SpinWarn1", "SpinWarn2", "SpinWarn3"};
}

TExamScreen::TExamScreen(TForm *owner) : TForm(owner) {
  Bind("ConfirmExam", &TExamScreen::ConfirmExam);
  LoadDesign("EXAMSCREEN");
  SetCaption((owner ? owner->Caption() : Application.Title()) + " - Examen");

  // Largest first, as they are stored; the boxes left over say none.
  std::vector<uint32_t> warnings = AppConfig->WarnMinuteList();
  for (size_t i = 0; i < MaxWarnings; ++i)
    Get<TSpinEdit>(WarnBoxes[i]).SetValue(i < warnings.size() ? int(warnings[i]) : 0);
  Get<TCheckBox>("CheckExtraThird").SetChecked(AppConfig->ExtraThird);
  Get<TCheckBox>("CheckShowClock").SetChecked(AppConfig->ShowClock);
  Get<TCheckBox>("CheckKeepJournal").SetChecked(AppConfig->KeepJournal);
  Get<TSpinEdit>("SpinSecondsNearEnd").SetValue(AppConfig->SecondsNearEnd);
  Get<TSpinEdit>("SpinExitMinutes").SetValue(AppConfig->ExitMinutes);
  TCheckBox &clock = Get<TCheckBox>("CheckClockDigits");
  clock.SetChecked(AppConfig->ClockDigits);
  // A count-up without a total has no end to show under the time of day.
  clock.SetEnabled(AppConfig->TypeInc != 0 || AppConfig->TotalTime->GetTotalSeconds() != 0);

  // Over the middle of the main window.
  PlaceOverMiddleOf(owner);
}

void TExamScreen::ConfirmExam(TControl *) {
  std::vector<uint32_t> minutes;
  // A value typed out of range counts as the nearest limit, as the box will show it.
  for (const char *box : WarnBoxes)
    minutes.push_back(uint32_t(std::clamp(Get<TSpinEdit>(box).Value(), 0, int(MaxWarnMinute))));
  AppConfig->WarnMinutes = WarnMinutesText(minutes);
  AppConfig->ExtraThird = Get<TCheckBox>("CheckExtraThird").Checked();
  AppConfig->ShowClock = Get<TCheckBox>("CheckShowClock").Checked();
  AppConfig->KeepJournal = Get<TCheckBox>("CheckKeepJournal").Checked();
  AppConfig->SecondsNearEnd = std::clamp(Get<TSpinEdit>("SpinSecondsNearEnd").Value(), 0,
                                         int(TConfig::MaxSecondsNearEnd));
  AppConfig->ExitMinutes = std::clamp(Get<TSpinEdit>("SpinExitMinutes").Value(), 0, int(MaxExitMinutes));
  AppConfig->ClockDigits = Get<TCheckBox>("CheckClockDigits").Checked();
  AppConfig->Save();
  ModalResult = mrOk;
}
