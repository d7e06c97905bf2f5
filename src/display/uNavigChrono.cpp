#include <windows.h>

#include "display/uNavigChrono.h"

#include "display/uMonitors.h"
#include "display/uTimeAddedScreen.h"
#include "forms/uApplication.h"
#include "forms/uDpi.h"
#include "run/uBoardTexts.h"
#include "run/uEndTime.h"
#include "settings/uConfig.h"
#include "timing/uJournalKeeper.h"

namespace {
constexpr UINT_PTR ClockBandTimer = 1;
// The journal's failure's text goes at its end.
constexpr UINT_PTR JournalTextTimer = 3;
// In the window menu; below 0xF000, the system's own commands.
constexpr UINT TimeAddedCommand = 0x0110;
}  // namespace

bool StopRunBox(TNavigChrono &bar) {
  const TForm *mainWindow = Application.MainForm();
  // Owned by the bar whatever window is in front, so that a run ending under it takes it away.
  return ShowMessageBox(bar.HandleAllocated() ? bar.Handle() : nullptr, bar.Session().CloseQuestion(),
                        mainWindow ? mainWindow->Caption() : Application.Title(),
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}
TStopRunQuestion AskStopRun = &StopRunBox;

void TNavigChrono::TakeQuestionAway() { AnswerQuestion(IDNO); }

TNavigChrono::TNavigChrono(TForm *owner, TRunLink &run)
    : TForm(owner), FRun(run), FSession(run.Session()) {
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
  ShowEndsPanel();
  ShowBeepText();
  Get<TButton>("BtnBeep").SetDown(AppConfig->BeepActive);
  FWatchChrono->CreateHandle();
  FWatchChrono->OnLaidOutAgain = [this] { PlaceUnderDisplay(); };
  FWatchChrono->OnExamEvent = [this](const TExamEvent &event) { FSession.ExamEvent(event); };
  FWatchChrono->OnTick = [this] {
    if (FSession.Tick()) ShowClockBand();
  };
  FWatchChrono->SecondsLitAt = [this](uint32_t progress, bool overtime) {
    // Always lit unless asked: the session is not asked every tick for nothing.
    return AppConfig->SecondsNearEnd <= 0 ||
           FSession.SecondsLit(progress, uint32_t(AppConfig->SecondsNearEnd), overtime);
  };
  OnJournalWriteFailed = [this] { JournalNotWritten(); };
  if (FSession.Open()) {
    ShowTakenUp();
  } else {
    ChooseRun([this] { FRun.ChooseRun(-1); });
    FWatchChrono->ResetDigits(FSession.DigitsAtRest());
  }
  PlaceUnderDisplay();
  if (HMENU menu = GetSystemMenu(Handle(), FALSE)) {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING | MF_GRAYED, TimeAddedCommand, "Temps a&jouté...");
  }
  // Under the display, the bar takes the scale of the monitor it is now on.
  if (int dpi = WindowDpi(Handle()); dpi != Dpi()) ChangeDpi(dpi, nullptr);
  // Last, once nothing can fail: what the run posted meanwhile lands on digits already reset.
  FRun.Show(this);
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
    KillTimer(Handle(), JournalTextTimer);
  }
  // What the run posts from now on waits for another display, or goes with the run.
  FRun.Show(nullptr);
  FWatchChrono.reset();
}

void TNavigChrono::ShowEndsPanel() {
  if (FSession.Awaiting()) return;  // the panel says when the run starts
  const std::vector<std::string> texts = FSession.PanelTexts(AppConfig->TotalTime->AsText());
  if (FSession.Board()) {
    // Asked every second: the panel is painted only when its text changes.
    if (texts != FBoardPanel) ShowFitting("TotalTime", FBoardPanel = texts);
    return;
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
                   MF_BYCOMMAND | (FSession.MayAddTime() ? MF_ENABLED : MF_GRAYED));
}

void TNavigChrono::ShowTimeAdded() {
  OfferTimeAdded();
  if (!FSession.MayAddTime()) return;
  TTimeAddedScreen dialog(this, [this](int minutes) { return FSession.AddedLines(minutes); });
  dialog.HeldByCaller = true;
  if (dialog.ShowModal() != mrOk) return;
  if (FSession.AddTime(dialog.Minutes(), dialog.Reason()).EndCame)
    ShowMessageBox(Handle(), "La fin est venue pendant la saisie : rien n'a été changé.",
                   "Information", MB_OK | MB_ICONINFORMATION);
  ShowRun();
}

void TNavigChrono::ShowRunLength() {
  const TGaugeScale scale = FSession.Gauge();
  FWatchChrono->SetRunEnds(scale.Length, scale.Marks, FSession.OvertimeFrom());
}

void TNavigChrono::ShowClockBand() {
  if (FSession.Awaiting()) {
    ShowWaiting();
  } else if (FWatchChrono->Board()) {
    FWatchChrono->ShowBoard(FSession.BoardNowMs(), FSession.BoardLines());
    ShowEndsPanel();
  } else if (TClockBand *band = FWatchChrono->Band()) {
    band->SetText(FSession.BandText());
  }
}

void TNavigChrono::ArmClockTimer() {
  if (!HandleAllocated()) return;
  if (FWatchChrono->Board()) {
    // Just past the next second of the wall clock, so that the digits turn with it.
    SetTimer(Handle(), ClockBandTimer, UINT(1000 - FSession.BoardNowMs() % 1000 + 2), nullptr);
  } else if (FWatchChrono->Band()) {
    SetTimer(Handle(), ClockBandTimer, 1000, nullptr);
  } else {
    KillTimer(Handle(), ClockBandTimer);
  }
}

void TNavigChrono::ShowBoardNames() {
  const TRunModel &model = FSession.Model();
  // One épreuve shows as a board on request, when it has an end to show.
  const bool clock = AppConfig->ClockDigits && (model.ToTimeOfDay() || model.Choice().TotalSeconds != 0);
  const std::vector<std::string> names =
      model.Board() || clock ? model.PaperNames() : std::vector<std::string>{};
  if (names.empty() && !FWatchChrono->Board()) return;
  FWatchChrono->SetBoard(names, clock, FSession.HasExit());
  FBoardPanel.clear();
  PlaceUnderDisplay();
  if (FWatchChrono->Visible()) ArmClockTimer();
}

void TNavigChrono::ChooseRun(const std::function<void()> &choose) {
  try {
    choose();
  } catch (...) {
    // No engine: the bar offers only to close.
    Get<TButton>("BtnPause").SetEnabled(false);
    Get<TButton>("BtnRun").SetEnabled(false);
    throw;
  }
  ShowBoardNames();
  // The gauge's scale and mark as they stand now, until Run fixes them.
  ShowRun();
}

void TNavigChrono::ShowRun() {
  ShowRunLength();
  ShowEndsPanel();
  ShowClockBand();
}

void TNavigChrono::SetEndTime(int endMinute) {
  ChooseRun([&] { FRun.ChooseRun(endMinute); });
}

void TNavigChrono::ShowWaiting() {
  const TRunSession::TAwaited start = FSession.Awaited();
  if (FWatchChrono->Board())
    FWatchChrono->ShowBoard(FSession.BoardNowMs(), FSession.BoardLines(start.AheadMs));
  else if (TClockBand *band = FWatchChrono->Band())
    band->SetText(start.Band);
  FWatchChrono->ShowWaiting(FSession.BoardNowMs(), start.Text);
  Get<TPanel>("TotalTime").SetCaption(start.Text);
  FBoardPanel.clear();
}

void TNavigChrono::JournalNotWritten() {
  Get<TPanel>("BeepTime").SetCaption("Journal non écrit");
  SetTimer(Handle(), JournalTextTimer, 10'000, nullptr);
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

void TNavigChrono::ShowTakenUp() {
  ShowBoardNames();
  // Before the engine's first messages, which move the digits from its starting value.
  FWatchChrono->ResetDigits(FSession.DigitsAtRest());
  const bool paused = FSession.Paused();
  Get<TButton>("BtnPause").SetEnabled(!paused);
  Get<TButton>("BtnRun").SetEnabled(paused);
  ShowRun();
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
  // Run pressed before the official start starts the run at once.
  const bool waited = FSession.Awaiting();
  ShowStarted(FRun.Start(), waited);
}

void TNavigChrono::ShowStarted(TRunStart how, bool waited) {
  // A run to a time of day counts the time left until its end: its display starts from there.
  if (waited || (how == TRunStart::Started && FSession.Model().ToTimeOfDay()))
    FWatchChrono->ResetDigits(FSession.DigitsAtRest());
  switch (how) {
    case TRunStart::None:  // not started: the next run could not be prepared, or waits for Run
      return ShowRun();
    case TRunStart::EndPassed:
      ShowMessageBox(EndPassedText, "Avertissement", MB_OK | MB_ICONWARNING);
      return;
    case TRunStart::Started:
    case TRunStart::Continued:
      break;
  }
  Get<TButton>("BtnPause").SetEnabled(true);
  Get<TButton>("BtnRun").SetEnabled(false);
  ShowRun();
}

void TNavigChrono::PauseChrono(TControl *) {
  if (!FSession.Engine()) return;
  FSession.Pause();
  Get<TButton>("BtnPause").SetEnabled(false);
  Get<TButton>("BtnRun").SetEnabled(true);
  ShowClockBand();
}

void TNavigChrono::ChangeBeepConfig(TControl *) {
  AppConfig->SetBeepActive(Get<TButton>("BtnBeep").Down());
  ShowBeepText();
  FSession.SettingsChanged();
}

void TNavigChrono::WantCloseNavig(TControl *) { Close(); }

void TNavigChrono::CloseNavigChrono(TForm *, TCloseAction &Action) {
  if (!FRun.MayStop([this] { return AskStopRun(*this); })) {
    Action = caNone;
    return;
  }
  FRun.Stop();
  if (TForm *mainWindow = Application.MainForm()) mainWindow->Show();
  Action = caFree;
}

void TNavigChrono::RunFinished() {
  ShowMessageBox("Le chronométrage est terminé...", "Information", MB_OK | MB_ICONINFORMATION);
  ChooseRun([this] { FRun.EndSeen(); });
  Get<TButton>("BtnPause").SetEnabled(false);
  Get<TButton>("BtnRun").SetEnabled(true);
  FWatchChrono->Gauge().SetProgress(0);
  FWatchChrono->ResetDigits(FSession.DigitsAtRest());
  ShowRun();
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
      if (wParam == JournalTextTimer) {
        KillTimer(Handle(), JournalTextTimer);
        ShowBeepText();
        return 0;
      }
      break;
    case WM_DISPLAYCHANGE:
      ScreensChanged();
      break;
    case WM_TIMECHANGE:
      FSession.ClockChanged();
      ShowRun();
      break;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMSUSPEND) FSession.Sleeping();
      if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) {
        FSession.Woke();
        ShowClockBand();
      }
      break;
    case WM_QUERYENDSESSION:
      return FRun.MayEndSession();
    case WM_ENDSESSION:
      // A session end that was called off leaves the bar as it was.
      FRun.SessionEnding(wParam != 0);
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
