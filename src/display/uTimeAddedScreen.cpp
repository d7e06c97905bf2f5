#include <windows.h>

#include "display/uTimeAddedScreen.h"

#include <algorithm>

#include "forms/uApplication.h"
#include "run/uRunSession.h"

TTimeAddedScreen::TTimeAddedScreen(TForm *owner,
                                   std::function<std::vector<std::string>(int minutes)> changes)
    : TForm(owner), changes_(std::move(changes)) {
  Bind("MinutesChanged", &TTimeAddedScreen::MinutesChanged);
  Bind("SelectMinutes", &TTimeAddedScreen::SelectMinutes);
  Bind("ConfirmTimeAdded", &TTimeAddedScreen::ConfirmTimeAdded);
  LoadDesign("TIMEADDEDSCREEN");
  // The reason is kept whole with the run's events: no longer than they hold.
  SendMessageA(Get<TComboBox>("ComboReason").Handle(), CB_LIMITTEXT, TimeAddedReasonMax, 0);
  const TForm *mainWindow = Application.MainForm();
  SetCaption((mainWindow ? mainWindow->Caption() : Application.Title()) + " - Temps ajouté");
  MinutesChanged(nullptr);
  PlaceOverMiddleOf(owner);
}

int TTimeAddedScreen::Minutes() const {
  const TSpinEdit &box = Get<TSpinEdit>("SpinMinutes");
  // A value typed out of range counts as the nearest limit, as the box will show it.
  return std::clamp(box.Value(), box.MinValue, box.MaxValue);
}

std::string TTimeAddedScreen::Reason() const { return Get<TComboBox>("ComboReason").Text(); }

void TTimeAddedScreen::MinutesChanged(TControl *) {
  const std::vector<std::string> lines = changes_ ? changes_(Minutes()) : std::vector<std::string>{};
  const char *const boxes[] = {"TextChange1", "TextChange2", "TextChange3"};
  for (size_t i = 0; i < std::size(boxes); ++i)
    Get<TStaticText>(boxes[i]).SetText(i < lines.size() ? lines[i] : std::string());
}

void TTimeAddedScreen::SelectMinutes(TControl *) {
  SendMessageA(Get<TSpinEdit>("SpinMinutes").Handle(), EM_SETSEL, 0, -1);
}

void TTimeAddedScreen::ConfirmTimeAdded(TControl *) { ModalResult = mrOk; }
