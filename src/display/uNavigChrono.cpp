#include <windows.h>

#include "display/uNavigChrono.h"

#include <mmsystem.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "display/uMonitors.h"
#include "display/uBoardTexts.h"
#include "display/uRunTexts.h"
#include "display/uTimeAddedScreen.h"
#include "forms/uApplication.h"
#include "forms/uDpi.h"
#include "settings/uConfig.h"
#include "timing/uEndTime.h"
#include "timing/uJournalKeeper.h"
#include "timing/uRunContainer.h"
#include "timing/uRunKeeper.h"
#include "timing/uSound.h"
#include "timing/uWallClock.h"

namespace {
constexpr UINT_PTR ClockBandTimer = 1;
// While the journal's lines wait, they are tried again on the first; its failure's text goes at
// the second's end.
constexpr UINT_PTR JournalTimer = 2, JournalTextTimer = 3;
// In the window menu; below 0xF000, the system's own commands.
constexpr UINT TimeAddedCommand = 0x0110;
}  // namespace

TExecutionStateProc ExecutionStateProc = &SetThreadExecutionState;

bool StopRunBox(TNavigChrono &) {
  const TForm *mainWindow = Application.MainForm();
  return ShowMessageBox("Un chronométrage est en cours. L'arrêter ?",
                        mainWindow ? mainWindow->Caption() : Application.Title(),
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}
TStopRunQuestion AskStopRun = &StopRunBox;

namespace {
struct TQuestionSearch {
  HWND Owner, Found;
};
BOOL CALLBACK FindQuestion(HWND wnd, LPARAM data) {
  auto *s = reinterpret_cast<TQuestionSearch *>(data);
  char cls[16] = {};
  GetClassNameA(wnd, cls, sizeof cls);
  if (strcmp(cls, "#32770") != 0 || GetWindow(wnd, GW_OWNER) != s->Owner) return TRUE;
  s->Found = wnd;
  return FALSE;
}
// The question of ours that `owner` shows, if any.
HWND QuestionOf(HWND owner) {
  TQuestionSearch search{owner, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), &FindQuestion, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}
}  // namespace
TNavigChrono::TNavigChrono(TForm *owner) : TForm(owner) {
  THourglass busy;
  Bind("ShowNavigChrono", &TNavigChrono::ShowNavigChrono);
  Bind("LaunchChrono", &TNavigChrono::LaunchChrono);
  Bind("PauseChrono", &TNavigChrono::PauseChrono);
  Bind("ChangeBeepConfig", &TNavigChrono::ChangeBeepConfig);
  Bind("WantCloseNavig", &TNavigChrono::WantCloseNavig);
  RegisterCloseHandler("CloseNavigChrono", [this](TForm *sender, TCloseAction &action) {
    CloseNavigChrono(sender, action);
  });
  LoadDesign("NAVIGCHRONO");
  // The main window is hidden while the bar is up: the bar is what the taskbar brings back.
  AppWindow = true;
  // The display window is owned by this one, whose window must therefore exist first.
  CreateHandle();

  TForm *mainWindow = Application.MainForm();
  SetCaption((mainWindow ? mainWindow->Caption() : std::string()) + " - Dialogue de visualisation");
  if (mainWindow) mainWindow->Hide();
  FWatchChrono = std::make_unique<TWatchChrono>(this);
  Get<TButton>("BtnPause").SetEnabled(false);
  ShowTotalText();
  ShowBeepText();
  Get<TButton>("BtnBeep").SetDown(AppConfig->BeepActive);
  FWatchChrono->CreateHandle();
  FWatchChrono->OnLaidOutAgain = [this] { PlaceUnderDisplay(); };
  FWatchChrono->OnExamEvent = [this](const TExamEvent &event) {
    const std::string epreuve =
        FModel.Board() && event.Paper < FModel.Papers() ? FModel.PaperNameOf(event.Paper) : "";
    if (event.Kind == TExamEventKind::Warning)
      JournalEvent(journal::Warning, std::to_string(event.Minutes) + " min", epreuve);
    else
      JournalEvent(event.Kind == TExamEventKind::PaperEnd ? journal::End : journal::NormalEnd, "",
                   epreuve);
  };
  OnJournalWriteFailed = [this] { JournalNotWritten(); };
  FModel.Choose(ChoiceFor(-1));
  ShowBoardNames();
  FThreadContainer = NewContainer();
  ShowRunLength();
  ShowClockBand();
  PlaceUnderDisplay();
  if (HMENU menu = GetSystemMenu(Handle(), FALSE)) {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING | MF_GRAYED, TimeAddedCommand, "Temps a&jouté...");
  }
  // Under the display, the bar takes the scale of the monitor it is now on.
  if (int dpi = WindowDpi(Handle()); dpi != Dpi()) ChangeDpi(dpi, nullptr);
}

void TNavigChrono::ChangeDpi(int dpi, const RECT *suggested) {
  TForm::ChangeDpi(dpi, suggested);
  if (FWatchChrono && FWatchChrono->HandleAllocated()) ScreensChanged();
}

TNavigChrono::~TNavigChrono() {
  Application.SetFrontWindow(nullptr, nullptr);
  OnJournalWriteFailed = nullptr;
  if (HandleAllocated()) {
    KillTimer(Handle(), ClockBandTimer);
    KillTimer(Handle(), JournalTimer);
    KillTimer(Handle(), JournalTextTimer);
  }
  // The threads go before the windows they post to.
  FThreadContainer.reset();
  FWatchChrono.reset();
}

TNavigChrono::TTimerResolution::TTimerResolution() { timeBeginPeriod(1); }
TNavigChrono::TTimerResolution::~TTimerResolution() { timeEndPeriod(1); }

TNavigChrono::TKeepAwake::TKeepAwake() {
  ExecutionStateProc(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
}
TNavigChrono::TKeepAwake::~TKeepAwake() { ExecutionStateProc(ES_CONTINUOUS); }

std::unique_ptr<TMainThread> TNavigChrono::NewContainer() {
  return RunContainerMaker(Handle(), FWatchChrono->Handle(), FModel.Ends(WallNow()));
}

void TNavigChrono::ShowTotalText() {
  const TWallNow now = WallNow();
  if (FModel.Board()) {
    const std::vector<std::string> texts =
        BoardPanelTexts(FModel.PaperNames(), FModel.PaperTimes(now), now.LocalMs);
    // Asked every second: the panel is painted only when its text changes.
    if (texts != FBoardPanel) ShowFitting("TotalTime", FBoardPanel = texts);
    return;
  }
  const TRunTimes times = FModel.Times(now);
  const TRunEnds ends = FModel.Ends(now);
  std::vector<std::string> texts;
  if (FModel.ToTimeOfDay()) {
    texts.push_back(EndPanelText(times));
  } else if (ends.ExtraSeconds == 0 && times.AddedSeconds == 0) {
    texts.push_back("Temps Total: " + AppConfig->TotalTime->AsText());
  } else {
    std::string total = "Temps Total: " + ShortDuration(ends.TotalSeconds);
    if (ends.ExtraSeconds != 0) total += " · " + ShortDuration(ends.TotalSeconds + ends.ExtraSeconds);
    texts.push_back(total + AddedText(times.AddedSeconds));
    texts.push_back(total);
  }
  // Shortened to fit: the time added without its unit, then without it.
  if (times.AddedSeconds != 0 && FModel.ToTimeOfDay()) {
    TRunTimes bare = times;
    bare.AddedSeconds = 0;
    const std::string added = AddedText(times.AddedSeconds);
    texts.push_back(EndPanelText(bare) + added.substr(0, added.size() - 5) + ")");
    texts.push_back(EndPanelText(bare));
  }
  ShowFitting("TotalTime", texts);
}

void TNavigChrono::ShowFitting(const char *panel, const std::vector<std::string> &texts) {
  TPanel &p = Get<TPanel>(panel);
  for (const std::string &text : texts)
    if (&text == &texts.back() || p.CaptionFits(text)) {
      p.SetCaption(text);
      return;
    }
}

void TNavigChrono::OfferTimeAdded() {
  if (HMENU menu = GetSystemMenu(Handle(), FALSE))
    EnableMenuItem(menu, TimeAddedCommand,
                   MF_BYCOMMAND | (FRunOpen && FThreadContainer &&
                                           FModel.HasEndToCome(*FThreadContainer)
                                       ? MF_ENABLED
                                       : MF_GRAYED));
}

void TNavigChrono::ShowTimeAdded() {
  OfferTimeAdded();
  if (!FRunOpen || !FThreadContainer || !FModel.HasEndToCome(*FThreadContainer)) return;
  TTimeAddedScreen dialog(this, [this](int minutes) {
    const TWallNow now = WallNow();
    if (!FThreadContainer) return std::vector<std::string>{};
    if (FModel.Board()) {
      return BoardAddedLines(FModel.PaperNames(), FModel.PaperTimes(now),
                             FModel.PaperTimesAfterAdding(*FThreadContainer, minutes * 60, now),
                             now.LocalMs);
    }
    return AddedTimeLines(FModel.ToTimeOfDay(), FModel.Times(now),
                          FModel.TimesAfterAdding(*FThreadContainer, minutes * 60, now),
                          FModel.Ends(now), FModel.EndsAfterAdding(*FThreadContainer, minutes * 60));
  });
  dialog.HeldByCaller = true;
  if (dialog.ShowModal() != mrOk || !FThreadContainer) return;
  // The run may have ended while the dialog was up: nothing is left to move then.
  if (const int moved = FModel.AddTime(*FThreadContainer, dialog.Minutes() * 60, WallNow());
      moved != 0) {
    std::string detail = AddedText(moved);
    detail = detail.substr(2, detail.size() - 3);  // "+12 min"
    if (!dialog.Reason().empty()) detail += ", " + dialog.Reason();
    JournalWithEnds(journal::TimeAdded, detail);
  }
  ShowRunLength();
  ShowTotalText();
  ShowClockBand();
  KeepRunRecord();
}

void TNavigChrono::ShowRunLength() {
  const TRunEnds ends = FModel.Ends(WallNow());
  if (!FWatchChrono->Board()) {
    FWatchChrono->SetRunLength(ends.TotalSeconds, ends.ExtraSeconds);
    return;
  }
  // A mark at every end but the last of all, where the gauge ends.
  std::vector<uint32_t> marks;
  for (const TPaperEnds &paper : ends.Papers) {
    if (paper.ExtraSeconds != 0) marks.push_back(paper.TotalSeconds);
    if (paper.Last() < ends.TotalSeconds) marks.push_back(paper.Last());
  }
  FWatchChrono->SetRunEnds(ends.TotalSeconds, marks);
}

void TNavigChrono::ShowClockBand() {
  const TWallNow now = WallNow();
  if (FWatchChrono->Board()) {
    FWatchChrono->ShowBoard(now.LocalMs, FModel.PaperTimes(now));
    ShowTotalText();
  } else if (TClockBand *band = FWatchChrono->Band()) {
    band->SetText(ClockBandText(now.LocalMs, FModel.Times(now)));
  }
}

void TNavigChrono::ArmClockTimer() {
  if (!HandleAllocated()) return;
  if (FWatchChrono->Board()) {
    // Just past the next second of the wall clock, so that the digits turn with it.
    SetTimer(Handle(), ClockBandTimer, UINT(1000 - WallNow().LocalMs % 1000 + 2), nullptr);
  } else if (FWatchChrono->Band()) {
    SetTimer(Handle(), ClockBandTimer, 1000, nullptr);
  } else {
    KillTimer(Handle(), ClockBandTimer);
  }
}

TRunChoice TNavigChrono::ChoiceFor(int endMinute) const {
  return {AppConfig->TotalTime->GetTotalSeconds(),
          endMinute >= 0 && endMinute < MinutesPerDay ? endMinute : -1, AppConfig->ExtraThird,
          AppConfig->FirstName, AppConfig->Papers};
}

void TNavigChrono::ShowBoardNames() {
  const std::vector<std::string> names = FModel.Board() ? FModel.PaperNames() : std::vector<std::string>{};
  if (names.size() < 2 && !FWatchChrono->Board()) return;
  FWatchChrono->SetBoard(names);
  FBoardPanel.clear();
  PlaceUnderDisplay();
  if (FWatchChrono->Visible()) ArmClockTimer();
}

void TNavigChrono::ChooseRun(int endMinute) {
  FModel.Choose(ChoiceFor(endMinute));
  ShowBoardNames();
  // The gauge's scale and mark as they stand now, until Run fixes them.
  ShowRunLength();
  ShowTotalText();
  ShowClockBand();
}

void TNavigChrono::SetEndTime(int endMinute) { ChooseRun(endMinute); }

void TNavigChrono::JournalStart() {
  const TWallNow now = WallNow();
  const TRunEnds ends = FModel.Ends(now);
  if (!FModel.Board()) {
    JournalRunStarted(RunPlanText(AppConfig->TypeInc != 0 && ends.TotalSeconds != 0,
                                  FModel.ToTimeOfDay(), ends, FModel.Times(now)));
    return;
  }
  // A line an épreuve, each with its own plan.
  for (size_t i = 0; i < ends.Papers.size(); ++i) {
    const TPaperEnds &paper = ends.Papers[i];
    const std::string plan =
        RunPlanText(false, i == 0 && FModel.ToTimeOfDay(),
                    {paper.TotalSeconds, paper.ExtraSeconds}, FModel.Times(now, i));
    if (i == 0)
      JournalRunStarted(plan, FModel.PaperNameOf(i));
    else
      JournalEvent(journal::Start, plan, FModel.PaperNameOf(i));
  }
}

void TNavigChrono::JournalWithEnds(const char *event, const std::string &detail) {
  const std::string ends = RunEndsText(FModel.Times(WallNow()));
  JournalEvent(event, ends.empty() ? detail : detail + ", " + ends);
}

std::string TNavigChrono::ShownText() const {
  // The engine's count, which the digits show.
  const std::chrono::nanoseconds runTime =
      FThreadContainer ? FThreadContainer->Place().RunTime : FModel.PlaceAt(UtcMsNow()).RunTime;
  return ShortDuration(FModel.DigitsAt(runTime, AppConfig->TypeInc != 0));
}

void TNavigChrono::JournalNotWritten() {
  Get<TPanel>("BeepTime").SetCaption("Journal non écrit");
  SetTimer(Handle(), JournalTextTimer, 10'000, nullptr);
  // Only while lines wait: a run whose journal is written costs no timer.
  SetTimer(Handle(), JournalTimer, 1000, nullptr);
}

void TNavigChrono::ShowBeepText() {
  Get<TPanel>("BeepTime").SetCaption(AppConfig->BeepActive
                                         ? "inter beep: " + AppConfig->InterBeepTime->AsText()
                                         : std::string("Beep non activé"));
}

void TNavigChrono::ShowNavigChrono(TControl *) {
  // The display takes no input: shown without taking the activation, and disabled so that a
  // click on it never makes it the active window.
  FWatchChrono->Show(false);
  EnableWindow(FWatchChrono->Handle(), FALSE);
  Application.SetFrontWindow(FWatchChrono->Handle(),
                             [this](SIZE box) { return BoxPlaceFor(box); });
  // The band follows the wall clock, paused or not: it is looked at every second and painted
  // only when its text changes.
  ArmClockTimer();
}

void TNavigChrono::PlaceUnderDisplay() {
  std::vector<TMonitor> monitors = CurrentMonitors();
  const TDisplayRect &display = FWatchChrono->Layout().Window;
  const TMonitor &m = monitors[size_t(MonitorHolding(monitors, display.Left, display.Top))];
  TDisplayPoint at = BarPlace(display, Width(), Height(), WorkArea(m));
  // Moved only when it stands elsewhere: most changes of the screens leave it where it is.
  RECT now;
  if (!HandleAllocated() || !GetWindowRect(Handle(), &now) || now.left != at.X || now.top != at.Y)
    SetLeftTop(at.X, at.Y);
}

void TNavigChrono::ScreensChanged() {
  // Nothing of the run depends on the screens: its record stays as it is.
  FWatchChrono->LayOutAgain(Height());
  PlaceUnderDisplay();
}

void TNavigChrono::KeepRunRecord() {
  if (!FRunOpen || !FThreadContainer) return;
  FRecord.InterBeepSeconds = AppConfig->InterBeepTime->GetTotalSeconds();
  FRecord.TypeInc = AppConfig->TypeInc != 0;
  FRecord.BeepActive = AppConfig->BeepActive;
  FRecord.UserScreenSize = AppConfig->UserScreenSize;
  FRecord.CountOvertime = AppConfig->CountOvertime;
  FRecord.KeepJournal = AppConfig->KeepJournal;
  FRecord.SessionOnly = 0;
  for (size_t i = 0; i < RunRecordSettings.size(); ++i)
    if (AppConfig->HeldForSession(RunRecordSettings[i])) FRecord.SessionOnly |= uint8_t(1u << i);
  FModel.FillRecord(FRecord, UtcMsNow());
  // The record is the run's safety net, not the run: a registry that refuses it leaves the run
  // going as it is.
  try {
    WriteRunRecord(FRecord);
  } catch (const ETavelinError &) {
  }
}

void TNavigChrono::SetRunOpen(bool open) {
  FRunOpen = open;
  RegisterRunRestart(open);
  HoldRunOpen(open);
}

void TNavigChrono::ForgetRunRecord() {
  if (!FRunOpen) return;
  SetRunOpen(false);
  RemoveRunRecordIfOurs();
}

void TNavigChrono::TakeUp(const TRunRecord &record) {
  FRecord = record;  // the one stored, until this bar writes its own
  FModel.Place(record, WallNow());
  ShowBoardNames();
  FThreadContainer = NewContainer();
  FModel.TakeUp(record, *FThreadContainer, WallNow());
  JournalRunTakenUp(record.StartUtcMs, (FModel.Paused() ? "en pause à " : "à ") + ShownText() +
                                           ", " + RunEndsText(FModel.Times(WallNow())));
  ShowRunLength();
  const bool paused = FModel.Paused();
  Get<TButton>("BtnPause").SetEnabled(!paused);
  Get<TButton>("BtnRun").SetEnabled(paused);
  ShowTotalText();
  SetRunOpen(true);
  KeepRunRecord();
  ShowClockBand();
}

void TNavigChrono::ClockChanged() {
  if (!FRunOpen || !FThreadContainer) return;
  const int64_t step = FModel.ClockChanged(*FThreadContainer, WallNow());
  // The system's small corrections of its clock are no event of the exam.
  if (step <= -1000 || step >= 1000)
    JournalWithEnds(journal::ClockChanged, ClockStepText(step));
  ShowRunLength();
  ShowClockBand();
  KeepRunRecord();
}

POINT TNavigChrono::BoxPlaceFor(SIZE box) const {
  TWatchLayout display = FWatchChrono->Layout();
  RECT r;
  GetWindowRect(FWatchChrono->Handle(), &r);
  display.Window = {r.left, r.top, r.right - r.left, r.bottom - r.top};
  GetWindowRect(Handle(), &r);
  TDisplayRect bar{r.left, r.top, r.right - r.left, r.bottom - r.top};
  std::vector<TMonitor> monitors = CurrentMonitors();
  const TMonitor &m = monitors[size_t(MonitorHolding(monitors, display.Window.Left,
                                                     display.Window.Top))];
  TDisplayPoint at = BoxPlace(box.cx, box.cy, display, bar, m.Rect, WorkArea(m));
  return {at.X, at.Y};
}

void TNavigChrono::LaunchChrono(TControl *) {
  if (!FThreadContainer) return;  // the next run could not be prepared
  const TWallNow now = WallNow();
  if (!FModel.Started()) {
    if (!FModel.Fix(now)) {
      ShowMessageBox(EndPassedText, "Avertissement", MB_OK | MB_ICONWARNING);
      return;
    }
    if (FModel.ToTimeOfDay()) {
      // Its total is the time left until the end, so that the final sound comes at that time of
      // day; the threads and the display are prepared again for it.
      const TRunEnds ends = FModel.Ends(now);
      const uint32_t total = ends.Papers.empty() ? ends.TotalSeconds : ends.Papers[0].TotalSeconds;
      try {
        FThreadContainer = NewContainer();
      } catch (...) {
        FModel.Choose(FModel.Choice());
        throw;
      }
      AppConfig->TotalTime->SetTotalSeconds(total);
      ShowRunLength();
      FWatchChrono->ResetDigits();
    }
  }
  Get<TButton>("BtnPause").SetEnabled(true);
  Get<TButton>("BtnRun").SetEnabled(false);
  const bool first = !FRunOpen;
  const int64_t pausedSince = FModel.PlaceAt(now.UtcMs).PausedFor.count();
  FModel.Start(*FThreadContainer, now);
  if (first)
    JournalStart();
  else
    JournalEvent(journal::Resume, ShortDuration(uint32_t(pausedSince / 1'000'000'000)));
  if (FModel.ToTimeOfDay()) ShowTotalText();
  ShowClockBand();
  if (!FRunOpen) SetRunOpen(true);
  KeepRunRecord();
}

void TNavigChrono::PauseChrono(TControl *) {
  if (!FThreadContainer) return;
  FModel.Pause(*FThreadContainer, WallNow());
  JournalEvent(journal::Pause, "à " + ShownText());
  Get<TButton>("BtnPause").SetEnabled(false);
  Get<TButton>("BtnRun").SetEnabled(true);
  ShowClockBand();
  KeepRunRecord();
}

void TNavigChrono::ChangeBeepConfig(TControl *) {
  AppConfig->SetBeepActive(Get<TButton>("BtnBeep").Down());
  ShowBeepText();
  KeepRunRecord();
}

void TNavigChrono::WantCloseNavig(TControl *) { Close(); }

bool TNavigChrono::MayStopRun() {
  if (!FRunOpen || FSessionEnding || FAskingToStop) return !FAskingToStop;
  FAskingToStop = true;
  bool stop = false;
  try {
    stop = AskStopRun(*this);
  } catch (...) {
    FAskingToStop = false;
    throw;
  }
  FAskingToStop = false;
  if (std::exchange(FEndedWhileAsking, false)) {
    // The end comes as usual, once this close is refused.
    PostMessageA(Handle(), WM_RUN_FINISHED, 0, 0);
    return false;
  }
  return stop;
}

void TNavigChrono::CloseNavigChrono(TForm *, TCloseAction &Action) {
  if (!MayStopRun()) {
    Action = caNone;
    return;
  }
  THourglass busy;
  if (FRunOpen && !FSessionEnding && FThreadContainer) JournalEvent(journal::Stopped, ShownText());
  if (FThreadContainer) {
    FThreadContainer->Suspend();
    FThreadContainer->Terminate();
    FThreadContainer->WaitFor(500);
  }
  // Closed by the user, the run is over; closed by the end of the session, it is taken up at the
  // next start.
  if (!FSessionEnding) ForgetRunRecord();
  if (TForm *mainWindow = Application.MainForm()) mainWindow->Show();
  Action = caFree;
  FThreadContainer.reset();
}

void TNavigChrono::RunFinished() {
  // A run counting beyond its end goes on while the box is up.
  if (FThreadContainer && !FThreadContainer->CountsOvertime()) FThreadContainer->Terminate();
  JournalEvent(journal::End, "");
  ShowMessageBox("Le chronométrage est terminé...", "Information", MB_OK | MB_ICONINFORMATION);
  if (FThreadContainer && FThreadContainer->CountsOvertime()) {
    const TRunEnds ends = FModel.Ends(WallNow());
    const auto beyond = std::chrono::duration_cast<std::chrono::seconds>(
        FThreadContainer->Place().RunTime - std::chrono::seconds(ends.TotalSeconds + ends.ExtraSeconds));
    JournalEvent(journal::Overtime, ShortDuration(uint32_t(std::max<int64_t>(0, beyond.count()))));
  }
  ForgetRunRecord();
  if (FThreadContainer) {
    FThreadContainer->Terminate();
    FThreadContainer->WaitFor(500);
  }
  // The next run is prepared before the finished one goes, so that a failure leaves no button
  // that would act on nothing: the bar then offers only to close.
  std::unique_ptr<TMainThread> fresh;
  // An end time is for one run: the next one is of a duration, its extra time to the second.
  const bool toTimeOfDay = FModel.ToTimeOfDay();
  FModel.Choose(ChoiceFor(-1));
  try {
    fresh = NewContainer();
  } catch (...) {
    FThreadContainer.reset();
    Get<TButton>("BtnPause").SetEnabled(false);
    Get<TButton>("BtnRun").SetEnabled(false);
    throw;
  }
  FThreadContainer = std::move(fresh);
  // The finished run posts nothing more; what it posted before it went must not land on the
  // display once it is reset.
  MSG late;
  while (PeekMessageA(&late, FWatchChrono->Handle(), WM_SET_DIGIT, WM_SET_AMBER, PM_REMOVE)) {
  }
  Get<TButton>("BtnPause").SetEnabled(false);
  Get<TButton>("BtnRun").SetEnabled(true);
  FWatchChrono->Gauge().SetProgress(0);
  FWatchChrono->ResetDigits();
  ShowRunLength();
  if (toTimeOfDay) ShowTotalText();
  ShowClockBand();
}

bool TNavigChrono::HandleKey(const MSG &msg) {
  bool plain = msg.message == WM_KEYDOWN && GetKeyState(VK_CONTROL) >= 0;
  if (!plain || (msg.wParam != VK_SPACE && msg.wParam != 'B')) return TForm::HandleKey(msg);
  // A key held down repeats its press: only the first one acts.
  if (msg.lParam & (1 << 30)) return true;
  if (msg.wParam == 'B') {
    Get<TButton>("BtnBeep").Click();
  } else if (auto &run = Get<TButton>("BtnRun"); run.Enabled()) {
    run.Click();
  } else if (auto &pause = Get<TButton>("BtnPause"); pause.Enabled()) {
    pause.Click();
  }
  return true;
}

LRESULT TNavigChrono::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PLAY_BEEP:
      PlayBeepSound();
      return 0;
    case WM_PLAY_FINAL:
      PlayFinalSound();
      return 0;
    case WM_PLAY_WARNING:
      PlayWarnSound();
      return 0;
    case WM_INITMENU:
      OfferTimeAdded();
      break;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == TimeAddedCommand) {
        ShowTimeAdded();
        return 0;
      }
      break;
    case WM_CONTEXTMENU: {
      // A right click on the bar opens its window menu, as Alt+Space does.
      HMENU menu = GetSystemMenu(Handle(), FALSE);
      if (!menu) break;
      OfferTimeAdded();
      POINT at{short(LOWORD(lParam)), short(HIWORD(lParam))};
      if (lParam == -1) GetCursorPos(&at);
      const UINT command = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y,
                                               0, Handle(), nullptr));
      if (command) PostMessageA(Handle(), WM_SYSCOMMAND, command, 0);
      return 0;
    }
    case WM_TIMER:
      if (wParam == ClockBandTimer) {
        ShowClockBand();
        if (FWatchChrono->Board()) ArmClockTimer();
        return 0;
      }
      if (wParam == JournalTimer) {
        JournalRetry();
        if (JournalWaiting().Empty()) KillTimer(Handle(), JournalTimer);
        return 0;
      }
      if (wParam == JournalTextTimer) {
        KillTimer(Handle(), JournalTextTimer);
        ShowBeepText();
        return 0;
      }
      break;
    case WM_RUN_FINISHED:
      if (FAskingToStop) {
        // Answered "Non" for the user: the end is handled once the question has gone.
        FEndedWhileAsking = true;
        if (HWND question = QuestionOf(Handle())) PostMessageA(question, WM_COMMAND, IDNO, 0);
        return 0;
      }
      RunFinished();
      return 0;
    case WM_DISPLAYCHANGE:
      ScreensChanged();
      break;
    case WM_TIMECHANGE:
      ClockChanged();
      break;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMSUSPEND) FModel.Sleeping(WallNow());
      // The monotonic clock may have stood still during the sleep (Wine's does); the wall clock
      // has not. Where the monotonic clock counted it, the run is already in its place.
      if ((wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) && FRunOpen &&
          FThreadContainer) {
        if (const int64_t slept = FModel.Woke(*FThreadContainer, WallNow()); slept >= 1000)
          JournalEvent(journal::Woke, ShortDuration(uint32_t(slept / 1000)));
        ShowClockBand();
      }
      break;
    case WM_QUERYENDSESSION:
      // A run never holds up a logoff, a shutdown or an installer: its record stays for the next
      // start.
      return TRUE;
    case WM_ENDSESSION:
      // A session end that was called off leaves the bar as it was.
      FSessionEnding = wParam != 0;
      // The main window ends the program for an installer, whichever window hears it first.
      if (TForm *mainWindow = Application.MainForm(); mainWindow && wParam)
        SendMessageA(mainWindow->Handle(), WM_ENDSESSION, wParam, lParam);
      return 0;
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETWORKAREA) ScreensChanged();
      break;
    default:
      break;
  }
  return TForm::WndProc(msg, wParam, lParam);
}
