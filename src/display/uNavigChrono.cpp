#include <windows.h>

#include "display/uNavigChrono.h"

#include <mmsystem.h>

#include "display/uMonitors.h"
#include "forms/uApplication.h"
#include "forms/uDpi.h"
#include "settings/uConfig.h"
#include "timing/uEndTime.h"
#include "timing/uRunContainer.h"
#include "timing/uSound.h"
#include "timing/uWallClock.h"

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

void TNavigChrono::ShowTotalText() {
  // The end follows the pauses, which push it later.
  Get<TPanel>("TotalTime").SetCaption(
      FEndMinute < 0 ? "Temps Total: " + AppConfig->TotalTime->AsText()
                     : EndTimeText(FEndMinute, FThreadContainer && FEndStarted
                                                   ? FThreadContainer->PausedTotal()
                                                   : std::chrono::nanoseconds{}));
}

void TNavigChrono::SetEndTime(int endMinute) {
  FEndMinute = endMinute >= 0 && endMinute < MinutesPerDay ? endMinute : -1;
  FEndStarted = false;
  FEndLead = {};
  ShowTotalText();
}

// The total becomes the time left until the end, so that the final sound comes at that time of
// day; the display and the threads are prepared again for it.
bool TNavigChrono::StartAtEndTime() {
  TRunToEnd run = RunUntilEndNow(FEndMinute);
  uint32_t total = run.Seconds;
  if (total == 0) return false;
  AppConfig->TotalTime->SetTotalSeconds(total);
  FThreadContainer = NewContainer();
  FWatchChrono->Gauge().SetMaxValue(total);
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
  // Only the first start of a run takes the lead that puts its end on the minute.
  FThreadContainer->Resume(FEndLead);
  if (FEndMinute >= 0) ShowTotalText();
}

void TNavigChrono::PauseChrono(TControl *) {
  if (!FThreadContainer) return;
  FThreadContainer->Suspend();
  Get<TButton>("BtnPause").SetEnabled(false);
  Get<TButton>("BtnRun").SetEnabled(true);
}

void TNavigChrono::ChangeBeepConfig(TControl *) {
  AppConfig->SetBeepActive(Get<TButton>("BtnBeep").Down());
  ShowBeepText();
}

void TNavigChrono::WantCloseNavig(TControl *) { Close(); }

void TNavigChrono::CloseNavigChrono(TForm *, TCloseAction &Action) {
  THourglass busy;
  if (FThreadContainer) {
    FThreadContainer->Suspend();
    FThreadContainer->Terminate();
    FThreadContainer->WaitFor(500);
  }
  if (TForm *mainWindow = Application.MainForm()) mainWindow->Show();
  Action = caFree;
  FThreadContainer.reset();
}

void TNavigChrono::RunFinished() {
  // A run counting beyond its end goes on while the box is up.
  if (FThreadContainer && !FThreadContainer->CountsOvertime()) FThreadContainer->Terminate();
  ShowMessageBox("Le chronométrage est terminé...", "Information", MB_OK | MB_ICONINFORMATION);
  if (FThreadContainer) {
    FThreadContainer->Terminate();
    FThreadContainer->WaitFor(500);
  }
  // The next run is prepared before the finished one goes, so that a failure leaves no button
  // that would act on nothing: the bar then offers only to close.
  std::unique_ptr<TMainThread> fresh;
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
  while (PeekMessageA(&late, FWatchChrono->Handle(), WM_SET_DIGIT, WM_SET_OVERTIME, PM_REMOVE)) {
  }
  Get<TButton>("BtnPause").SetEnabled(false);
  Get<TButton>("BtnRun").SetEnabled(true);
  FWatchChrono->Gauge().SetProgress(0);
  FWatchChrono->ResetDigits();
  // An end time is for one run.
  if (FEndMinute >= 0) SetEndTime(-1);
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
    case WM_RUN_FINISHED:
      RunFinished();
      return 0;
    case WM_DISPLAYCHANGE:
      ScreensChanged();
      break;
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETWORKAREA) ScreensChanged();
      break;
    default:
      break;
  }
  return TForm::WndProc(msg, wParam, lParam);
}
