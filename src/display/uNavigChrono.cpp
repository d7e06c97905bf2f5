#include <windows.h>

#include "display/uNavigChrono.h"

#include <mmsystem.h>

#include <cstdio>

#include "display/uMonitors.h"
#include "forms/uApplication.h"
#include "forms/uDpi.h"
#include "settings/uConfig.h"
#include "timing/uEndTime.h"
#include "timing/uExamPlan.h"
#include "timing/uRunContainer.h"
#include "timing/uRunKeeper.h"
#include "timing/uSound.h"
#include "timing/uWallClock.h"

namespace {
// "0:45:00": the short form that leaves room for a second total.
std::string ShortDuration(uint32_t seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}
constexpr UINT_PTR ClockBandTimer = 1;
}  // namespace

TExecutionStateProc ExecutionStateProc = &SetThreadExecutionState;
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
  FThreadContainer = NewContainer();
  FWatchChrono->SetRunLength(AppConfig->TotalTime->GetTotalSeconds(), ExtraSeconds());
  ShowClockBand();
  PlaceUnderDisplay();
  // Under the display, the bar takes the scale of the monitor it is now on.
  if (int dpi = WindowDpi(Handle()); dpi != Dpi()) ChangeDpi(dpi, nullptr);
}

void TNavigChrono::ChangeDpi(int dpi, const RECT *suggested) {
  TForm::ChangeDpi(dpi, suggested);
  if (FWatchChrono && FWatchChrono->HandleAllocated()) ScreensChanged();
}

TNavigChrono::~TNavigChrono() {
  Application.SetFrontWindow(nullptr, nullptr);
  RunsToTimeOfDay = false;
  if (HandleAllocated()) KillTimer(Handle(), ClockBandTimer);
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
  return RunContainerMaker(Handle(), FWatchChrono->Handle());
}

uint32_t TNavigChrono::ExtraSeconds() const {
  if (FEndMinute < 0 || FEndStarted)
    return ExtraSecondsFor(AppConfig->TotalTime->GetTotalSeconds(), FEndMinute >= 0);
  // Not started yet: from the time left now.
  return ExtraSecondsFor(RunUntilEnd(FEndMinute, LocalMsOfDay()).Seconds, true);
}

void TNavigChrono::ShowTotalText() {
  // The end follows the pauses, which push it later.
  const std::chrono::nanoseconds paused = FThreadContainer && FEndStarted
                                              ? FThreadContainer->PausedTotal()
                                              : std::chrono::nanoseconds{};
  const uint32_t extra = ExtraSeconds();
  std::string text;
  if (FEndMinute < 0) {
    const uint32_t total = AppConfig->TotalTime->GetTotalSeconds();
    text = extra == 0 ? "Temps Total: " + AppConfig->TotalTime->AsText()
                      : "Temps Total: " + ShortDuration(total) + " · " +
                            ShortDuration(total + extra);
  } else {
    text = EndTimeText(FEndMinute, paused - PausedAfterNormalEnd());
    if (extra != 0) {
      const int64_t endMs = int64_t{FEndMinute} * 60'000 +
                            std::chrono::duration_cast<std::chrono::milliseconds>(paused).count() +
                            int64_t{extra} * 1000;
      text += " · " + MinuteText(int(endMs / 60'000));
    }
  }
  Get<TPanel>("TotalTime").SetCaption(text);
}

std::chrono::nanoseconds TNavigChrono::PausedAfterNormalEnd() {
  if (!FRunStarted || !FThreadContainer || ExtraSeconds() == 0) return {};
  // The normal end, once come, stays where it came; only the extended end still follows the
  // pauses. Asked at every pause, and by the band every second: the first time the run is seen
  // past its normal end, the pauses done so far all came before it (one under way began after).
  const TRunPlace place = FThreadContainer->Place();
  if (FPausedAtNormalEnd.count() < 0 &&
      place.RunTime >= std::chrono::seconds(AppConfig->TotalTime->GetTotalSeconds()))
    FPausedAtNormalEnd = place.PausedBefore;
  if (FPausedAtNormalEnd.count() < 0) return {};
  return FThreadContainer->PausedTotal() - FPausedAtNormalEnd;
}

void TNavigChrono::ShowClockBand() {
  TClockBand *band = FWatchChrono->Band();
  if (!band) return;
  TClockBandRun run;
  run.Started = FRunStarted;
  run.StartMs = FStartMs;
  run.TotalSeconds = AppConfig->TotalTime->GetTotalSeconds();
  run.ExtraSeconds = ExtraSeconds();
  run.EndMinute = FEndMinute;
  if (FRunStarted && FThreadContainer) {
    run.Paused = FThreadContainer->PausedTotal();
    run.PausedAfterNormalEnd = PausedAfterNormalEnd();
  }
  band->SetText(ClockBandText(LocalMsOfDay(), run));
}

void TNavigChrono::SetEndTime(int endMinute) {
  FEndMinute = endMinute >= 0 && endMinute < MinutesPerDay ? endMinute : -1;
  FEndStarted = false;
  FEndLead = {};
  RunsToTimeOfDay = false;
  // The gauge's scale and mark as they stand now, until Run works them out again.
  const uint32_t total = FEndMinute >= 0 ? RunUntilEnd(FEndMinute, LocalMsOfDay()).Seconds
                                         : AppConfig->TotalTime->GetTotalSeconds();
  FWatchChrono->SetRunLength(total, ExtraSeconds());
  ShowTotalText();
  ShowClockBand();
}

// The total becomes the time left until the end, so that the final sound comes at that time of
// day; the display and the threads are prepared again for it.
bool TNavigChrono::StartAtEndTime() {
  TRunToEnd run = RunUntilEndNow(FEndMinute);
  uint32_t total = run.Seconds;
  if (total == 0) return false;
  AppConfig->TotalTime->SetTotalSeconds(total);
  RunsToTimeOfDay = true;
  FThreadContainer = NewContainer();
  FWatchChrono->SetRunLength(total, ExtraSecondsFor(total, true));
  FWatchChrono->ResetDigits();
  FEndStarted = true;
  FEndLead = run.Lead;
  return true;
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
  if (FWatchChrono->Band()) SetTimer(Handle(), ClockBandTimer, 1000, nullptr);
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
  FWatchChrono->LayOutAgain(Height());
  PlaceUnderDisplay();
  KeepRunRecord();
}

void TNavigChrono::KeepRunRecord() {
  if (!FRunOpen || !FThreadContainer) return;
  FRecord.TotalSeconds = AppConfig->TotalTime->GetTotalSeconds();
  FRecord.InterBeepSeconds = AppConfig->InterBeepTime->GetTotalSeconds();
  FRecord.TypeInc = AppConfig->TypeInc != 0;
  FRecord.BeepActive = AppConfig->BeepActive;
  FRecord.EndMinute = FEndMinute;
  FRecord.ExtraThird = AppConfig->ExtraThird;
  FRecord.ExtraSeconds = ExtraSeconds();
  FRecord.UserScreenSize = AppConfig->UserScreenSize;
  FRecord.CountOvertime = AppConfig->CountOvertime;
  FRecord.SessionOnly = 0;
  for (size_t i = 0; i < RunRecordSettings.size(); ++i)
    if (AppConfig->HeldForSession(RunRecordSettings[i])) FRecord.SessionOnly |= uint8_t(1u << i);
  PlaceRunRecord(FRecord, FThreadContainer->Place(), UtcMsNow());
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
  FEndMinute = record.EndMinute;
  FEndStarted = FEndMinute >= 0;
  FEndLead = {};
  if (FEndStarted && record.ExtraThird) {
    // Its extended end on a whole minute, as when it started.
    RunsToTimeOfDay = true;
    FThreadContainer = NewContainer();
  }
  FWatchChrono->SetRunLength(record.TotalSeconds, ExtraSeconds());
  const int64_t now = UtcMsNow();
  FRunStarted = true;
  FStartMs = ((LocalMsOfDay() - (now - record.StartUtcMs)) % MsPerDay + MsPerDay) % MsPerDay;
  const TRunPlace place = RunPlaceAt(record, now);
  FThreadContainer->ResumeAt(place);
  Get<TButton>("BtnPause").SetEnabled(!place.Paused);
  Get<TButton>("BtnRun").SetEnabled(place.Paused);
  ShowTotalText();
  SetRunOpen(true);
  // A run to a time of day ends at that time, whatever the clock did meanwhile.
  ClockChanged();
  ShowClockBand();
}

void TNavigChrono::ClockChanged() {
  if (!FRunOpen || !FThreadContainer) return;
  // Once the end has come (the count beyond it going on), there is no end left to move.
  if (FEndMinute >= 0 && FEndStarted && !FThreadContainer->WaitFor(0)) {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    const TRunPlace place = FThreadContainer->Place();
    // The end, pushed later by the pauses, as the wall clock reads it now: the nearer way
    // round midnight.
    const int64_t end = int64_t{FEndMinute} * 60'000 +
                        duration_cast<milliseconds>(place.PausedBefore + place.PausedFor).count();
    int64_t left = ((end - LocalMsOfDay()) % MsPerDay + MsPerDay) % MsPerDay;
    if (left > MsPerDay / 2) left -= MsPerDay;
    const int64_t at = duration_cast<milliseconds>(place.RunTime).count() + left;
    const uint32_t total = at < 1000 ? 1 : uint32_t((at + 500) / 1000);
    if (total != AppConfig->TotalTime->GetTotalSeconds()) {
      FThreadContainer->MoveEnd(total);
      AppConfig->TotalTime->SetTotalSeconds(total);
      FWatchChrono->SetRunLength(total, ExtraSeconds());
    }
  }
  // A duration keeps its length: only its place on the wall clock moves.
  KeepRunRecord();
}

void TNavigChrono::ComputerResumed() {
  if (!FRunOpen || !FThreadContainer) return;
  // The monotonic clock may have stood still during the sleep (Wine's does); the wall clock has
  // not. Where the monotonic clock counted it, the run is already in its place.
  FThreadContainer->CatchUpTo(RunPlaceAt(FRecord, UtcMsNow()).RunTime);
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
  if (FEndMinute >= 0 && !FEndStarted && !StartAtEndTime()) return;
  Get<TButton>("BtnPause").SetEnabled(true);
  Get<TButton>("BtnRun").SetEnabled(false);
  if (!FRunStarted) {
    FRunStarted = true;
    FStartMs = LocalMsOfDay();
  }
  // Only the first start of a run takes the lead that puts its end on the minute.
  FThreadContainer->Resume(FEndLead);
  if (FEndMinute >= 0) ShowTotalText();
  ShowClockBand();
  if (!FRunOpen) {
    SetRunOpen(true);
  }
  KeepRunRecord();
}

void TNavigChrono::PauseChrono(TControl *) {
  if (!FThreadContainer) return;
  FThreadContainer->Suspend();
  Get<TButton>("BtnPause").SetEnabled(false);
  Get<TButton>("BtnRun").SetEnabled(true);
  PausedAfterNormalEnd();
  ShowClockBand();
  KeepRunRecord();
}

void TNavigChrono::ChangeBeepConfig(TControl *) {
  AppConfig->SetBeepActive(Get<TButton>("BtnBeep").Down());
  ShowBeepText();
  KeepRunRecord();
}

void TNavigChrono::WantCloseNavig(TControl *) { Close(); }

void TNavigChrono::CloseNavigChrono(TForm *, TCloseAction &Action) {
  THourglass busy;
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
  ShowMessageBox("Le chronométrage est terminé...", "Information", MB_OK | MB_ICONINFORMATION);
  ForgetRunRecord();
  if (FThreadContainer) {
    FThreadContainer->Terminate();
    FThreadContainer->WaitFor(500);
  }
  // The next run is prepared before the finished one goes, so that a failure leaves no button
  // that would act on nothing: the bar then offers only to close.
  std::unique_ptr<TMainThread> fresh;
  // An end time is for one run: the next one is of a duration, its extra time to the second.
  RunsToTimeOfDay = false;
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
  FRunStarted = false;
  FPausedAtNormalEnd = std::chrono::nanoseconds{-1};
  // An end time is for one run.
  if (FEndMinute >= 0) SetEndTime(-1);
  FWatchChrono->SetRunLength(AppConfig->TotalTime->GetTotalSeconds(), ExtraSeconds());
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
    case WM_TIMER:
      if (wParam == ClockBandTimer) {
        ShowClockBand();
        return 0;
      }
      break;
    case WM_RUN_FINISHED:
      RunFinished();
      return 0;
    case WM_DISPLAYCHANGE:
      ScreensChanged();
      break;
    case WM_TIMECHANGE:
      ClockChanged();
      break;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) ComputerResumed();
      break;
    case WM_QUERYENDSESSION:
      // A run never holds up a logoff or a shutdown: its record stays for the next start.
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) FSessionEnding = true;
      return 0;
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETWORKAREA) ScreensChanged();
      break;
    default:
      break;
  }
  return TForm::WndProc(msg, wParam, lParam);
}
