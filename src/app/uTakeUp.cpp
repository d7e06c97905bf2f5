#include <windows.h>

#include "app/uTakeUp.h"

#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "app/UMain.h"
#include "app/uRunOwner.h"
#include "display/uNavigChrono.h"
#include "forms/uApplication.h"
#include "run/uEndTime.h"
#include "run/uRunModel.h"
#include "run/uRunSession.h"
#include "run/uRunTexts.h"
#include "settings/uConfig.h"
#include "timing/uRunHost.h"
#include "timing/uRunKeeper.h"
#include "timing/uWallClock.h"

namespace {
// The events kept with the record, or beside it by an earlier Tavelin.
std::vector<uint8_t> KeptEvents(const TRunRecord &run) {
  return run.Events.empty() ? ReadRunEvents() : run.Events;
}

// A run not taken up is journaled all the same, by a session of its own that makes no engine
// and keeps no record: to the journal's file when the run kept one.
void Settle(const TRunRecord &run, TRunSession::TLeft how) {
  // Whatever becomes of its journal, the record goes and the program starts.
  try {
    TRunHost host;
    host.ToFile = run.KeepJournal;
    TRunSession session(host);
    session.Settle(run, KeptEvents(run), {run.TypeInc != 0, AppConfig->WarnMinuteList()}, how);
  } catch (const std::exception &) {
  }
}
}  // namespace

std::optional<TRunRecord> FindInterruptedRun(bool ask) {
  // Another Tavelin's run, going on: not interrupted, and not ours to remove.
  if (RunOpenInATavelin()) return std::nullopt;
  const std::optional<std::vector<uint8_t>> bytes = ReadRunRecord();
  if (!bytes) return std::nullopt;
  const TTakeUp found = AssessRun(bytes->data(), bytes->size(), WallNow());
  const std::string caption = AppConfig->GetTitleText(1);  // the main window's
  if (found.Kind == TTakeUpKind::Ended) {
    // Its events to its end go to the journal, so that its procès-verbal can be written.
    Settle(found.Record, TRunSession::TLeft::Ended);
    ShowMessageBox("Le chronométrage interrompu s'est terminé à " + LocalHourText(found.EndUtcMs) +
                       ".",
                   caption, MB_OK | MB_ICONINFORMATION);
  }
  // When the run stopped is not known (the record is not written on ticks): when it started and
  // where its digits would stand now are.
  if (found.Kind != TTakeUpKind::Going) {
    RemoveRunRecord();
    return std::nullopt;
  }
  const TRunRecord &run = found.Record;
  TRunModel placed;
  const TWallNow now = WallNow();
  placed.Place(run, now);
  const std::string end =
      run.EndMinute >= 0 ? MinuteTextAt(placed.Times(now).NormalEndMs) : std::string();
  if (ask && ShowMessageBox(TakeUpQuestion(LocalHourText(run.StartUtcMs), end, run.Paused,
                                           placed.DigitsAt(placed.PlaceAt(now.UtcMs).RunTime, run.TypeInc != 0)),
                            caption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
    // Stopped at the answer, as the journal says.
    Settle(run, TRunSession::TLeft::Refused);
    RemoveRunRecord();
    return std::nullopt;
  }
  ClaimRunRecord(*bytes);
  // The settings of that run, which a Tavelin that did not close never saved. Those that its
  // command line gave stay for this session only, as they were; so does the total of a run to a
  // time of day, which its end recomputed and which is no duration of the user's.
  const uint32_t sessionOnly = run.SessionOnly | (run.EndMinute >= 0 ? 1u : 0u);
  static_assert(RunRecordSettings[0] == std::string_view("TotalTime"));
  const TConfigDefault values[] = {int32_t(placed.Choice().TotalSeconds), int32_t(run.InterBeepSeconds),
                                   int32_t(run.TypeInc),      run.BeepActive,
                                   run.UserScreenSize,        run.CountOvertime,
                                   run.ExtraThird,            run.KeepJournal};
  static_assert(std::size(values) == RunRecordSettings.size());
  for (size_t i = 0; i < RunRecordSettings.size(); ++i)
    if (sessionOnly & (1u << i)) AppConfig->HoldForSession(RunRecordSettings[i], values[i]);
  // The duration the user chose, never what time added made of it.
  AppConfig->TotalTime->SetTotalSeconds(placed.Choice().TotalSeconds);
  AppConfig->InterBeepTime->SetTotalSeconds(run.InterBeepSeconds);
  AppConfig->SetTypeInc(run.TypeInc);
  AppConfig->SetBeepActive(run.BeepActive);
  AppConfig->UserScreenSize = run.UserScreenSize;
  AppConfig->CountOvertime = run.CountOvertime;
  AppConfig->ExtraThird = run.ExtraThird;
  AppConfig->KeepJournal = run.KeepJournal;
  return run;
}

void TakeUpRun(const TRunRecord &record) {
  if (!Main) return;
  // The bar's caption is made from the main window's, which is set when it shows.
  Main->SetCaption(AppConfig->GetTitleText(1));
  TRunOwner run;
  std::unique_ptr<TNavigChrono> bar;
  try {
    // The record and its events go to the run's session, which no window holds; a bar then shows
    // the run where it stands.
    run.Session().TakeUp(record, KeptEvents(record));
    bar = std::make_unique<TNavigChrono>(Main, run);
    bar->HeldByCaller = true;
    bar->ShowModal();
    // The run worked its total out from its end again: still no duration of the user's.
    if (record.EndMinute >= 0) AppConfig->FollowSessionValue("TotalTime");
  } catch (...) {
    // The main window comes up as after any start, with the message.
    bar.reset();
    EnableWindow(Main->Handle(), TRUE);
    Application.HandleException();
  }
}
