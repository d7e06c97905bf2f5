#include <windows.h>

#include "app/uTakeUp.h"

#include <memory>
#include <string>

#include "app/UMain.h"
#include "display/uNavigChrono.h"
#include "forms/uApplication.h"
#include "settings/uConfig.h"
#include "timing/uRunKeeper.h"

std::optional<TRunRecord> FindInterruptedRun(bool ask) {
  const std::optional<std::vector<uint8_t>> bytes = ReadRunRecord();
  if (!bytes) return std::nullopt;
  const TTakeUp found = AssessRunRecord(bytes->data(), bytes->size(), UtcMsNow());
  const std::string caption = AppConfig->GetTitleText(1);  // the main window's
  if (found.Kind == TTakeUpKind::Ended)
    ShowMessageBox("Le chronométrage interrompu s'est terminé à " + LocalHourText(found.EndUtcMs) +
                       ".",
                   caption, MB_OK | MB_ICONINFORMATION);
  // The record knows when it was last written, not when Tavelin went: that is the latest moment
  // known of the run.
  if (found.Kind != TTakeUpKind::Going ||
      (ask && ShowMessageBox("Un chronométrage a été interrompu à " +
                                 LocalHourText(found.Record.SavedUtcMs) + ". Le reprendre ?",
                             caption, MB_YESNO | MB_ICONQUESTION) != IDYES)) {
    RemoveRunRecord();
    return std::nullopt;
  }
  // The settings of that run, which a Tavelin that did not close never saved.
  const TRunRecord &run = found.Record;
  AppConfig->TotalTime->SetTotalSeconds(run.TotalSeconds);
  AppConfig->InterBeepTime->SetTotalSeconds(run.InterBeepSeconds);
  AppConfig->SetTypeInc(run.TypeInc);
  AppConfig->SetBeepActive(run.BeepActive);
  AppConfig->UserScreenSize = run.UserScreenSize;
  AppConfig->CountOvertime = run.CountOvertime;
  AppConfig->ExtraThird = run.ExtraThird;
  return run;
}

void TakeUpRun(const TRunRecord &record) {
  if (!Main) return;
  // The bar's caption is made from the main window's, which is set when it shows.
  Main->SetCaption(AppConfig->GetTitleText(1));
  std::unique_ptr<TNavigChrono> bar;
  try {
    bar = std::make_unique<TNavigChrono>(Main);
    bar->HeldByCaller = true;
    bar->TakeUp(record);
    bar->ShowModal();
  } catch (...) {
    // The main window comes up as after any start, with the message.
    bar.reset();
    EnableWindow(Main->Handle(), TRUE);
    Application.HandleException();
  }
}
