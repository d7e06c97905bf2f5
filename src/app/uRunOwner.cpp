#include <windows.h>

#include "app/uRunOwner.h"

#include <mmsystem.h>

#include <algorithm>
#include <utility>

#include "settings/uConfig.h"
#include "timing/uJournalKeeper.h"
#include "timing/uRunKeeper.h"

TExecutionStateProc ExecutionStateProc = &SetThreadExecutionState;

TRunOwner::TRunOwner() {
  host_.OnHeld = [this](bool held) { Held(held); };
  host_.OnRunFinished = [this] { RunFinished(); };
  host_.OnTimer = [this] { WaitTick(); };
}

TRunOwner::~TRunOwner() {
  // A run still open here is one that the Windows session's end leaves for the next start: its
  // record, restart and lock stay, but the power settings go back as they were.
  Awake(false);
}

void TRunOwner::Show(TNavigChrono *bar) {
  bar_ = bar;
  host_.SetDisplay(bar ? bar->WatchChrono().Handle() : nullptr);
}

void TRunOwner::ChooseRun(int endMinute) {
  TRunHeading heading;
  if (const auto &plan = AppConfig->Plan)
    heading = {plan->Name, plan->Establishment, plan->Room, plan->StartMinute};
  session_.Choose({AppConfig->TotalTime->GetTotalSeconds(),
                   endMinute >= 0 && endMinute < MinutesPerDay ? endMinute : -1,
                   AppConfig->ExtraThird, AppConfig->FirstName, AppConfig->Papers,
                   uint32_t(std::max(0, AppConfig->ExitMinutes))},
                  {AppConfig->TypeInc != 0, AppConfig->WarnMinuteList(), heading});
}

bool TRunOwner::MayStop(const std::function<bool()> &ask) {
  if (session_.CloseQuestion().empty() || asking_) return !asking_;
  asking_ = true;
  bool stop = false;
  try {
    stop = ask();
  } catch (...) {
    asking_ = false;
    throw;
  }
  asking_ = false;
  if (std::exchange(endedWhileAsking_, false)) {
    // The end comes as usual, once this close is refused.
    PostMessageA(host_.Window(), WM_RUN_FINISHED, 0, 0);
    return false;
  }
  return stop;
}

void TRunOwner::Stop() {
  EndWait();
  session_.Close();
  JournalWriteNow();
  host_.DropPosted();
}

TRunStart TRunOwner::Start() {
  EndWait();
  return session_.Run();
}

void TRunOwner::AwaitStart(int startMinute, bool byItself) {
  if (!session_.AwaitStart(startMinute, byItself)) return;
  if (bar_) bar_->ShowWaiting();
  ArmWait();
}

void TRunOwner::EndWait() {
  session_.EndWait();
  host_.DisarmTimer();
}

void TRunOwner::WaitTick() {
  if (!session_.Awaiting()) return host_.DisarmTimer();
  if (session_.Awaited().AheadMs > 0) {
    if (bar_) bar_->ShowWaiting();
    return ArmWait();
  }
  // The official start's second: the run starts by itself, or waits for Run as any run.
  const bool byItself = session_.StartsByItself();
  EndWait();
  const TRunStart how = byItself && session_.Engine() ? session_.Run() : TRunStart::None;
  if (bar_) bar_->ShowStarted(how, true);
}

void TRunOwner::RunFinished() {
  if (asking_) {
    // Answered "Non" for the user: the end is handled once the question has gone.
    endedWhileAsking_ = true;
    if (bar_) bar_->TakeQuestionAway();
    return;
  }
  session_.LastEndCame();
  if (bar_) return bar_->RunFinished();
  EndSeen();
}

void TRunOwner::EndSeen() {
  session_.EndSeen();
  JournalWriteNow();
  // An end time is for one run: the next one is of a duration, its extra time to the second.
  ChooseRun(-1);
}

void TRunOwner::Held(bool held) {
  RegisterRunRestart(held);
  HoldRunOpen(held);
  Awake(held);
}

void TRunOwner::Awake(bool awake) {
  if (std::exchange(awake_, awake) == awake) return;
  if (awake) {
    timeBeginPeriod(1);
    ExecutionStateProc(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
  } else {
    ExecutionStateProc(ES_CONTINUOUS);
    timeEndPeriod(1);
  }
}
