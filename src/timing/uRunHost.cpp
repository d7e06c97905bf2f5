#include <windows.h>

#include "timing/uRunHost.h"

#include "base/uErrors.h"
#include "forms/uApplication.h"
#include "settings/uConfig.h"
#include "timing/uJournalKeeper.h"
#include "timing/uRunContainer.h"
#include "timing/uRunKeeper.h"
#include "timing/uSound.h"
#include "timing/uWallClock.h"

#include <utility>

namespace {
constexpr const char *RunWindowClass = "TavelinRun";
}  // namespace

TRunHost::TRunHost() {
  static const ATOM registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &TRunHost::Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = RunWindowClass;
    return RegisterClassA(&wc);
  }();
  (void)registered;
  // Message-only: no one sees it, and it lives as long as the run's host, not as any window.
  window_ = CreateWindowExA(0, RunWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (!window_) throw ETavelinError("Impossible de préparer le chronométrage.");
  SetWindowLongPtrA(window_, GWLP_USERDATA, LONG_PTR(this));
}

TRunHost::~TRunHost() { DestroyWindow(window_); }

LRESULT CALLBACK TRunHost::Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto *host = reinterpret_cast<TRunHost *>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
  if (!host || ((msg < WM_RUN_FINISHED || msg > WM_SET_AMBER) && msg != WM_TIMER))
    return DefWindowProcA(wnd, msg, wParam, lParam);
  // Nothing thrown crosses back into Windows.
  try {
    host->Posted(msg, wParam, lParam);
  } catch (const std::exception &e) {
    Application.HandleException(e);
  } catch (...) {
    Application.HandleException();
  }
  return 0;
}

void TRunHost::Posted(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PLAY_BEEP:
      return PlayBeepSound();
    case WM_PLAY_FINAL:
      return PlayFinalSound();
    case WM_PLAY_WARNING:
      return PlayWarnSound();
    case WM_RUN_FINISHED:
      if (OnRunFinished) OnRunFinished();
      return;
    case WM_TIMER:
      if (OnTimer) OnTimer();
      return;
    default:
      if (display_)
        SendMessageA(display_, msg, wParam, lParam);
      else
        heldBack_.push_back({window_, msg, wParam, lParam, 0, {}});
  }
}

void TRunHost::SetDisplay(HWND display) {
  display_ = display;
  if (!display_) return;
  // In the order they came, before anything posted since.
  for (const MSG &m : std::exchange(heldBack_, {})) SendMessageA(display_, m.message, m.wParam, m.lParam);
}

void TRunHost::ArmTimer(uint32_t ms) { SetTimer(window_, 1, ms, nullptr); }

void TRunHost::DisarmTimer() { KillTimer(window_, 1); }

void TRunHost::DropPosted() {
  heldBack_.clear();
  MSG late;
  while (PeekMessageA(&late, window_, WM_RUN_FINISHED, WM_SET_AMBER, PM_REMOVE)) {
  }
}

TWallNow TRunHost::Now() { return WallNow(); }

TJournalTime TRunHost::LocalTime(int64_t utcMs) { return JournalTimeAt(utcMs); }

std::unique_ptr<TMainThread> TRunHost::MakeEngine(const TRunEnds &ends) {
  // The engine before this one is gone, and this one posts nothing before it starts: what is
  // waiting once it is made (or has failed) is the last one's, and must not land on the run to come.
  struct TDrop {
    TRunHost &Host;
    ~TDrop() { Host.DropPosted(); }
  } drop{*this};
  return RunContainerMaker(window_, window_, ends);
}

void TRunHost::Journal(const TJournal &run, const std::string &line) {
  JournalKept(run, line, ToFile);
}

void TRunHost::Keep(TRunRecord &record, const std::vector<uint8_t> &events) {
  record.InterBeepSeconds = AppConfig->InterBeepTime->GetTotalSeconds();
  record.TypeInc = AppConfig->TypeInc != 0;
  record.BeepActive = AppConfig->BeepActive;
  record.UserScreenSize = AppConfig->UserScreenSize;
  record.CountOvertime = AppConfig->CountOvertime;
  record.KeepJournal = AppConfig->KeepJournal;
  record.SessionOnly = 0;
  for (size_t i = 0; i < RunRecordSettings.size(); ++i)
    if (AppConfig->HeldForSession(RunRecordSettings[i])) record.SessionOnly |= uint8_t(1u << i);
  if (!std::exchange(held_, true) && OnHeld) OnHeld(true);
  // The record is the run's safety net, not the run: a registry that refuses it leaves the run
  // going as it is.
  try {
    record.Events = events;
    WriteRunRecord(record);
  } catch (const ETavelinError &) {
  }
}

void TRunHost::Forget() {
  if (!std::exchange(held_, false)) return;
  if (OnHeld) OnHeld(false);
  RemoveRunRecordIfOurs();
}
