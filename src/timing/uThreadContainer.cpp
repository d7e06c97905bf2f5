// uThreadContainer - the timing engine of a run. See the header for the
// schedule; this file keeps to the standard library only.
#include "timing/uThreadContainer.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::chrono::nanoseconds SnapshotDelay = std::chrono::milliseconds(500);
constexpr std::chrono::nanoseconds TickLength = std::chrono::seconds(1);

// A count-down of total 0 would start below zero; it runs as an open-ended
// count-up instead, exactly like a count-up of total 0.
bool CountsDown(const TRunSettings& settings) {
  return settings.TypeInc != 0 && settings.TotalSeconds != 0;
}

// With extra time, the run ends for good at its extended end.
uint32_t RunLength(const TRunSettings& settings) {
  return settings.TotalSeconds == 0 ? 0 : settings.TotalSeconds + settings.ExtraSeconds;
}

bool IsLastTick(const TRunSettings& settings, uint32_t elapsed) {
  return settings.TotalSeconds != 0 && elapsed == RunLength(settings);
}

TExamPlan PlanOf(const TRunSettings& settings) {
  if (settings.Papers.size() >= 2) return TExamPlan(settings.Papers, settings.WarnMinutes);
  return TExamPlan(settings.TotalSeconds, settings.ExtraSeconds, settings.WarnMinutes);
}

}  // namespace

// ---------------------------------------------------------------- clocks

TChronoClock::~TChronoClock() = default;
TMessagePoster::~TMessagePoster() = default;

TChronoClock::TInstant TSteadyClock::Now() {
  return std::chrono::duration_cast<TInstant>(
      std::chrono::steady_clock::now().time_since_epoch());
}

void TSteadyClock::WaitUntil(std::unique_lock<TEngineMutex>& lock,
                             TEngineCondition& wake, TInstant deadline) {
  if (deadline == NoDeadline) {
    wake.wait(lock);
    return;
  }
  const std::chrono::steady_clock::time_point until(
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(deadline));
  wake.wait_until(lock, until);
}

// ---------------------------------------------------------------- workers

TWorkerThread::TWorkerThread(TThreadGate& gate, int priority)
    : FGate(gate), FPriority(priority) {}

// The container joins its workers before they are destroyed; a worker still
// running here would be a bug, and std::thread's destructor says so loudly.
TWorkerThread::~TWorkerThread() = default;

void TWorkerThread::Start(const TPriorityHook* hook) {
  FThread = std::thread([this, hook] { Body(hook); });
}

void TWorkerThread::Release() {
  FReleased = true;
  ++FGate.Busy;
  FGo.notify_one();
}

void TWorkerThread::WakeToStop() { FGo.notify_all(); }

void TWorkerThread::Join() {
  if (FThread.joinable()) FThread.join();
}

void TWorkerThread::Body(const TPriorityHook* hook) {
  if (hook != nullptr && *hook) (*hook)(FPriority);
  Started();
  std::unique_lock<TEngineMutex> lock(FGate.Lock);
  for (;;) {
    while (!FReleased && !FGate.Stopping) FGo.wait(lock);
    // A release that meets the container's destruction is dropped: a
    // destroyed run posts nothing more.
    if (FGate.Stopping) return;
    lock.unlock();
    Execute();
    lock.lock();
    FReleased = false;
    if (--FGate.Busy == 0) FGate.Wake.notify_all();
  }
}

// ---------------------------------------------------------------- time thread

TTimeThread::TTimeThread(TThreadGate& gate, const TRunSettings& settings)
    : TWorkerThread(gate, HighestPriority),
      FSettings(settings),
      FPlan(PlanOf(settings)) {
  BeepInterval = settings.InterBeepSeconds;
  SetElapsed(0);
  if (CountsDown(settings)) {
    Direction = -1;
    ShownSeconds = settings.TotalSeconds;
  } else {
    Direction = 1;
    ShownSeconds = 0;
  }
  SplitShown();
  PartChanged = {true, true, true};
}

void TTimeThread::EnterOvertime() {
  Direction = 1;
  BeepInterval = 0;
  EndReached = false;
}

void TTimeThread::Replan() {
  FPlan = PlanOf(FSettings);
  Amber = FPlan.AmberAt(Elapsed);
}

void TTimeThread::Advance() {
  const uint32_t before = Elapsed;
  Elapsed += Steps;
  // Unsigned wrap-around does the subtraction of a count-down.
  ShownSeconds += Steps * static_cast<uint32_t>(static_cast<int32_t>(Direction));
  // Past the normal end a count-down shows the time left to the extended one.
  const uint32_t normalEnd = FSettings.TotalSeconds;
  if (Direction < 0 && FSettings.ExtraSeconds != 0 && before < normalEnd && Elapsed >= normalEnd)
    ShownSeconds += FSettings.ExtraSeconds;
  SplitShown();
}

void TTimeThread::SplitShown() {
  const uint32_t v = ShownSeconds;
  TimeParts[2] = static_cast<uint8_t>(v % 60);
  PartChanged[2] = true;  // the seconds always move

  const uint32_t m = (v / 60) % 60;
  PartChanged[1] = m != TimeParts[1];
  TimeParts[1] = static_cast<uint8_t>(m);

  // Compared in full against the stored 8-bit value: from 256 hours on the
  // hours count as changed on every tick, as they always have.
  const uint32_t h = v / 3600;
  PartChanged[0] = h != TimeParts[0];
  if (PartChanged[0]) TimeParts[0] = static_cast<uint8_t>(h);
}

void TTimeThread::Execute() {
  const uint32_t before = Elapsed;
  Advance();
  // The switch is read on every tick, so that the beep button applies from
  // the next tick on. A jump over a stall beeps once if it passed any
  // multiple of the interval; one step beeps on the multiples themselves.
  const bool onInterval =
      BeepInterval != 0 && Elapsed / BeepInterval != before / BeepInterval;
  const bool active = FSettings.BeepActive ? FSettings.BeepActive() : false;
  // Beyond the end there is nothing more to warn of: every event lies within the run.
  Event = FPlan.LatestEvent(before, Elapsed);
  Amber = FPlan.AmberAt(Elapsed);
  // The warning's sound stands in for a beep due on the same tick.
  BeepDue = onInterval && active && Event.Kind == TExamEventKind::None;
  if (IsLastTick(FSettings, Elapsed)) EndReached = true;
}

// ---------------------------------------------------------------- message thread

TMessageThread::TMessageThread(TThreadGate& gate, uintptr_t navigWnd,
                               uintptr_t watchWnd, const TRunSettings& settings,
                               TMessagePoster& poster)
    : TWorkerThread(gate, TimeCriticalPriority),
      NavigWnd(navigWnd),
      WatchWnd(watchWnd),
      FSettings(settings),
      FPoster(poster) {}

void TMessageThread::BindSnapshot(const bool* beepSrc, const uint8_t* partsSrc,
                                  const bool* changedSrc,
                                  const uint32_t* elapsedSrc) {
  BeepSrc = beepSrc;
  PartsSrc = partsSrc;
  ChangedSrc = changedSrc;
  ElapsedSrc = elapsedSrc;
}

void TMessageThread::Started() {
  // The display starts on 00:00:00 counting up and on the total counting
  // down; the total's hours are held in 8 bits, as the display's are.
  if (CountsDown(FSettings)) {
    const uint32_t total = FSettings.TotalSeconds;
    const auto hours = static_cast<uint8_t>(total / 3600);
    LastTens = {static_cast<uint8_t>(hours / 10),
                static_cast<uint8_t>((total % 3600) / 60 / 10),
                static_cast<uint8_t>(total % 60 / 10)};
  } else {
    LastTens = {0, 0, 0};
  }
}

void TMessageThread::Execute() {
  const uint32_t elapsed = *ElapsedSrc;
  // Beyond the end the gauge stays full, and the digits red.
  const bool overtime = OvertimeSrc != nullptr && *OvertimeSrc;
  if (!overtime) FPoster.Post(WatchWnd, WM_SET_PROGRESS, elapsed, 0);
  // The colour first, so that the tick's new digits are painted in it at once.
  if (const bool amber = AmberSrc != nullptr && *AmberSrc; !overtime && amber != LastAmber) {
    FPoster.Post(WatchWnd, WM_SET_AMBER, amber ? 1 : 0, 0);
    LastAmber = amber;
  }
  for (int u = 2; u >= 0; --u) {
    if (!ChangedSrc[u]) continue;
    const uint8_t part = PartsSrc[u];
    FPoster.Post(WatchWnd, WM_SET_DIGIT, static_cast<uintptr_t>(2 * u + 1),
                 part % 10);
    const auto tens = static_cast<uint8_t>(part / 10);
    if (tens != LastTens[u]) {
      FPoster.Post(WatchWnd, WM_SET_DIGIT, static_cast<uintptr_t>(2 * u), tens);
      LastTens[u] = tens;
    }
  }
  const TExamEvent event = EventSrc != nullptr ? *EventSrc : TExamEvent{};
  if (event.Kind != TExamEventKind::None) {
    FPoster.Post(WatchWnd, WM_SET_WARNING, (event.Minutes & 0xFFFF) | uintptr_t{event.Paper} << 16,
                 static_cast<intptr_t>(event.Kind));
    // An épreuve that ends while others go on ends with the end's sound.
    FPoster.Post(NavigWnd, event.Kind == TExamEventKind::PaperEnd ? WM_PLAY_FINAL : WM_PLAY_WARNING,
                 0, 0);
  }
  if (*BeepSrc) FPoster.Post(NavigWnd, WM_PLAY_BEEP, 0, 0);
  if (!overtime && IsLastTick(FSettings, elapsed)) {
    if (FSettings.CountOvertime) FPoster.Post(WatchWnd, WM_SET_OVERTIME, 0, 0);
    FPoster.Post(NavigWnd, WM_PLAY_FINAL, 0, 0);
    FPoster.Post(NavigWnd, WM_RUN_FINISHED, 0, 0);
  }
}

// ---------------------------------------------------------------- container

TMainThread::TMainThread(uintptr_t navigWnd, uintptr_t watchWnd,
                         TRunSettings settings, TChronoClock& clock,
                         TMessagePoster& poster, TPriorityHook priorityHook)
    : FSettings(std::move(settings)),
      FClock(clock),
      FPoster(poster),
      FPriorityHook(std::move(priorityHook)) {
  FMovedTotal = FSettings.TotalSeconds;
  FMovedExtra = FSettings.ExtraSeconds;
  TimeThread = std::make_unique<TTimeThread>(FGate, FSettings);
  NavigWnd = navigWnd;
  WatchWnd = watchWnd;
  MessageThread = std::make_unique<TMessageThread>(FGate, NavigWnd, WatchWnd,
                                                   FSettings, FPoster);
  MessageThread->BindSnapshot(&SnapBeep, SnapParts.data(), SnapChanged.data(),
                              &SnapElapsed);
  MessageThread->OvertimeSrc = &SnapOvertime;
  MessageThread->EventSrc = &SnapEvent;
  MessageThread->AmberSrc = &SnapAmber;
  // Every thread parks before doing anything, so the order in which they
  // start does not show; the container comes last so that it never sees a
  // worker that is not there yet.
  try {
    TimeThread->Start(&FPriorityHook);
    MessageThread->Start(&FPriorityHook);
    FThread = std::thread([this] { Execute(); });
  } catch (...) {
    Shutdown();
    throw;
  }
}

TMainThread::~TMainThread() { Shutdown(); }

void TMainThread::Shutdown() noexcept {
  {
    std::lock_guard<TEngineMutex> guard(FGate.Lock);
    FGate.Stopping = true;
  }
  FGate.Wake.notify_all();
  TimeThread->WakeToStop();
  MessageThread->WakeToStop();
  if (FThread.joinable()) FThread.join();
  TimeThread->Join();
  MessageThread->Join();
  TimeThread.reset();
  MessageThread.reset();
}

void TMainThread::Resume(std::chrono::nanoseconds lead) {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  if (FRunEnded) return;
  if (!FStarted) {
    FStarted = true;
    // A lead of a second or more would fold the first ticks into one.
    FStart = FClock.Now() - std::clamp(lead, std::chrono::nanoseconds{0},
                                       TickLength - std::chrono::nanoseconds{1});
  } else if (FPaused) {
    FPausedTotal += FClock.Now() - FPauseStart;
    FPaused = false;
  } else {
    return;
  }
  FGate.Wake.notify_all();
}

void TMainThread::Suspend() {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  if (!FStarted || FPaused || FRunEnded) return;
  FPaused = true;
  FPauseStart = FClock.Now();
  // No need to wake the container: whatever it waits for, it looks at the
  // pause before acting.
}

bool TMainThread::Suspended() const {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  return !FStarted || FPaused;
}

void TMainThread::Terminate() {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  FTerminateRequested = true;
}

bool TMainThread::WaitFor(unsigned timeoutMs) {
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock<TEngineMutex> lock(FGate.Lock);
  while (!FRunEnded && std::chrono::steady_clock::now() < until)
    FEnded.wait_until(lock, until);
  return FRunEnded;
}

std::chrono::nanoseconds TMainThread::PausedTotal() const {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  std::chrono::nanoseconds paused = FPausedTotal;
  if (FPaused) paused += FClock.Now() - FPauseStart;
  return paused;
}

TRunPlace TMainThread::Place() const {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  TRunPlace place;
  if (!FStarted) return place;
  const TInstant now = FClock.Now();
  place.Paused = FPaused;
  place.PausedBefore = FPausedTotal;
  if (FPaused) place.PausedFor = now - FPauseStart;
  place.RunTime = (FPaused ? FPauseStart : now) - FStart - FPausedTotal;
  return place;
}

void TMainThread::ResumeAt(const TRunPlace& place) {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  if (FStarted || FRunEnded) return;
  const std::chrono::nanoseconds zero{0};
  const std::chrono::nanoseconds runTime = std::max(place.RunTime, zero);
  uint64_t ticks = static_cast<uint64_t>(runTime / TickLength);
  // The end itself is left to the schedule, so that it comes with its sound as always.
  if (FSettings.TotalSeconds != 0)
    ticks = std::min<uint64_t>(ticks, RunLength(FSettings) - 1);
  FPlaceTicks = static_cast<uint32_t>(std::min<uint64_t>(ticks, UINT32_MAX));
  FStarted = true;
  FPaused = place.Paused;
  FPausedTotal = std::max(place.PausedBefore, zero);
  FPauseStart = FClock.Now() - (place.Paused ? std::max(place.PausedFor, zero) : zero);
  FStart = FPauseStart - runTime - FPausedTotal;
  FGate.Wake.notify_all();
}

void TMainThread::CatchUpTo(std::chrono::nanoseconds runTime) {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  if (!FStarted) return;
  const TInstant stoodAt = FPaused ? FPauseStart : FClock.Now();
  const std::chrono::nanoseconds behind = runTime - (stoodAt - FStart - FPausedTotal);
  if (behind <= std::chrono::nanoseconds{0}) return;
  // Every deadline is reckoned from the start: an earlier start makes the ticks due since
  // overdue, and the next one folds them in.
  FStart -= behind;
  FGate.Wake.notify_all();
}

void TMainThread::MoveEnds(uint32_t totalSeconds, uint32_t extraSeconds) {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  // An open-ended run has no end to move, and moving one to 0 would make it open-ended.
  if (totalSeconds == 0 || FSettings.TotalSeconds == 0) return;
  FMovedTotal = totalSeconds;
  FMovedExtra = extraSeconds;
  FMoveEnd = true;
}

void TMainThread::MovePapers(const std::vector<TPaperEnds>& papers) {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  if (papers.size() != FSettings.Papers.size() || FSettings.Papers.size() < 2) return;
  FMovedPapers = papers;
  FMovedTotal = 0;
  for (const TPaperEnds& paper : papers) FMovedTotal = std::max(FMovedTotal, paper.Last());
  FMovedExtra = 0;
  FMoveEnd = true;
}

std::vector<TPaperEnds> TMainThread::PaperEnds() const {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  return FMoveEnd && !FMovedPapers.empty() ? FMovedPapers : FSettings.Papers;
}

uint32_t TMainThread::TotalSeconds() const {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  return FMoveEnd ? FMovedTotal : FSettings.TotalSeconds;
}

uint32_t TMainThread::ExtraSeconds() const {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  return FMoveEnd ? FMovedExtra : FSettings.ExtraSeconds;
}

bool TMainThread::WaitWhilePaused(std::unique_lock<TEngineMutex>& lock) {
  while (FPaused && !FGate.Stopping)
    FClock.WaitUntil(lock, FGate.Wake, TChronoClock::NoDeadline);
  return !FGate.Stopping;
}

bool TMainThread::WaitScheduled(std::unique_lock<TEngineMutex>& lock,
                                std::chrono::nanoseconds offset) {
  for (;;) {
    if (!WaitWhilePaused(lock)) return false;
    // Recomputed on every pass: a pause taken during this wait moves it.
    const TInstant due = FStart + FPausedTotal + offset;
    if (FClock.Now() >= due) return true;
    FClock.WaitUntil(lock, FGate.Wake, due);
    if (FGate.Stopping) return false;
  }
}

bool TMainThread::WaitIdle(std::unique_lock<TEngineMutex>& lock) {
  while (FGate.Busy != 0 && !FGate.Stopping) FGate.Wake.wait(lock);
  return !FGate.Stopping;
}

void TMainThread::TakeSnapshot() {
  SnapChanged = TimeThread->PartChanged;
  SnapParts = TimeThread->TimeParts;
  SnapBeep = TimeThread->BeepDue;
  SnapElapsed = TimeThread->Elapsed;
  SnapOvertime = FOvertime;
  SnapEvent = TimeThread->Event;
  SnapAmber = TimeThread->Amber;
}

uint32_t TMainThread::TicksBehind(std::chrono::nanoseconds release) {
  const TInstant due = FStart + FPausedTotal + release + TickLength;
  const std::chrono::nanoseconds late = FClock.Now() - due;
  if (late < TickLength || TimeThread->EndReached) return 0;
  uint64_t behind = static_cast<uint64_t>(late / TickLength);
  // Never past the end: a run whose end went by during the stall ends once.
  // Beyond the end, never past the last value counted.
  if (FOvertime)
    behind = std::min<uint64_t>(behind, OvertimeLimit - TimeThread->ShownSeconds);
  else if (FSettings.TotalSeconds != 0)
    behind = std::min<uint64_t>(behind, RunLength(FSettings) - TimeThread->Elapsed);
  return static_cast<uint32_t>(std::min<uint64_t>(behind, UINT32_MAX));
}

// The snapshot of the tick under way is still to be posted: the jump is
// merged into it, so that a unit that changed in either shows its new digits
// and a beep due in either sounds once.
bool TMainThread::CatchUp(std::unique_lock<TEngineMutex>& lock, uint32_t ticks) {
  const std::array<bool, 3> changed = SnapChanged;
  const bool beep = SnapBeep;
  const TExamEvent event = SnapEvent;
  TimeThread->Steps = ticks;
  TimeThread->Release();
  if (!WaitIdle(lock)) return false;
  TimeThread->Steps = 1;
  TakeSnapshot();
  for (size_t u = 0; u < changed.size(); ++u) SnapChanged[u] = SnapChanged[u] || changed[u];
  // One sound: the latest warning's, which a beep gives way to.
  if (SnapEvent.Kind == TExamEventKind::None) SnapEvent = event;
  SnapBeep = (SnapBeep || beep) && SnapEvent.Kind == TExamEventKind::None;
  return true;
}

// A run taken up: one set of messages from the starting value to its place. It is silent: the
// beeps it passes belonged to the run that was interrupted.
bool TMainThread::PlaceRun(std::unique_lock<TEngineMutex>& lock) {
  TimeThread->Steps = FPlaceTicks;
  TimeThread->Release();
  if (!WaitIdle(lock)) return false;
  TimeThread->Steps = 1;
  TakeSnapshot();
  SnapBeep = false;
  SnapEvent = {};  // its colour stays
  MessageThread->Release();
  return true;
}

// Between the time thread's tick and its snapshot, both workers parked: the tick is brought to
// the moved end before it is posted. A unit changed by either the tick or the move is posted.
void TMainThread::ApplyMovedEnd() {
  if (!FMoveEnd) return;
  FMoveEnd = false;
  if (FOvertime) return;
  if (FSettings.Papers.size() >= 2) {
    ApplyMovedPapers();
    return;
  }
  const uint32_t elapsed = TimeThread->Elapsed;
  const uint32_t oldTotal = FSettings.TotalSeconds, oldExtra = FSettings.ExtraSeconds;
  // An end that has come stays where it came: past the normal end only the extended one moves,
  // and never below the time already counted.
  const bool normalCame = elapsed >= oldTotal;
  const uint32_t total = normalCame ? oldTotal : std::max(FMovedTotal, elapsed);
  const uint32_t extra =
      normalCame && oldExtra != 0 ? std::max(FMovedExtra, elapsed - total) : FMovedExtra;
  // A normal end brought to now comes with this tick, as it would have on its own.
  const bool normalNow = !normalCame && total <= elapsed && extra != 0;
  if (normalNow) TimeThread->Event = {TExamEventKind::NormalEnd, 0};
  if (TimeThread->Event.Kind != TExamEventKind::None) TimeThread->BeepDue = false;
  if (TimeThread->Direction < 0) {
    const std::array<bool, 3> changed = TimeThread->PartChanged;
    // The end a count-down shows the time left to moves by this much; unsigned wrap-around gives
    // a shorter count-down too.
    TimeThread->ShownSeconds +=
        normalCame ? extra - oldExtra : total - oldTotal + (normalNow ? extra : 0);
    TimeThread->SplitShown();
    for (size_t u = 0; u < changed.size(); ++u)
      TimeThread->PartChanged[u] = TimeThread->PartChanged[u] || changed[u];
  }
  FSettings.TotalSeconds = total;
  FSettings.ExtraSeconds = extra;
  FMovedTotal = total;
  FMovedExtra = extra;
  TimeThread->Replan();
  TimeThread->EndReached = IsLastTick(FSettings, TimeThread->Elapsed);
}

// Each épreuve as a run's ends move; the run, which counts down to its last end of all (the
// digits of a board are the time of day until then), follows that end.
void TMainThread::ApplyMovedPapers() {
  const uint32_t elapsed = TimeThread->Elapsed;
  const uint32_t oldTotal = FSettings.TotalSeconds;
  uint32_t last = 0;
  for (size_t i = 0; i < FSettings.Papers.size(); ++i) {
    TPaperEnds& paper = FSettings.Papers[i];
    const TPaperEnds& moved = FMovedPapers[i];
    if (elapsed >= paper.Last()) continue;
    const bool normalCame = elapsed >= paper.TotalSeconds;
    const uint32_t total = normalCame ? paper.TotalSeconds : std::max(moved.TotalSeconds, elapsed);
    const uint32_t extra =
        normalCame ? std::max(moved.ExtraSeconds, elapsed - total) : moved.ExtraSeconds;
    paper = {total, extra};
  }
  FMovedPapers.clear();
  for (const TPaperEnds& paper : FSettings.Papers) last = std::max(last, paper.Last());
  FSettings.TotalSeconds = std::max(last, elapsed);
  FMovedTotal = FSettings.TotalSeconds;
  TimeThread->Replan();
  // An end brought to now comes with this tick, as it would have on its own.
  if (const TExamEvent now = TimeThread->LatestEventAt(elapsed);
      TimeThread->Event.Kind == TExamEventKind::None)
    TimeThread->Event = now;
  if (TimeThread->Event.Kind != TExamEventKind::None) TimeThread->BeepDue = false;
  if (TimeThread->Direction < 0) {
    const std::array<bool, 3> changed = TimeThread->PartChanged;
    TimeThread->ShownSeconds += FSettings.TotalSeconds - oldTotal;
    TimeThread->SplitShown();
    for (size_t u = 0; u < changed.size(); ++u)
      TimeThread->PartChanged[u] = TimeThread->PartChanged[u] || changed[u];
  }
  TimeThread->EndReached = IsLastTick(FSettings, elapsed);
}

void TMainThread::EndRun() {
  FRunEnded = true;
  FEnded.notify_all();
}

void TMainThread::Execute() {
  if (FPriorityHook) FPriorityHook(TimeCriticalPriority);
  std::unique_lock<TEngineMutex> lock(FGate.Lock);
  while (!FStarted && !FGate.Stopping) FGate.Wake.wait(lock);

  TimeThread->EndReached = false;
  // Offset from the start of the current tick's release; deadlines are
  // absolute, so the time spent on hand-overs never accumulates.
  std::chrono::nanoseconds release{0};
  // The workers finish in microseconds, and the clock is only ever waited on
  // while both are parked, which keeps a simulated clock deterministic.
  bool timeReleased = false;
  if (FPlaceTicks != 0) {
    if (!PlaceRun(lock)) return;
    release = FPlaceTicks * TickLength;
  }
  for (;;) {
    if (!WaitIdle(lock)) return;
    if (!WaitWhilePaused(lock)) return;
    if (FTerminateRequested) break;

    if (!timeReleased) {
      TimeThread->Release();
      if (!WaitIdle(lock)) return;
    }

    if (!WaitScheduled(lock, release + SnapshotDelay)) return;
    ApplyMovedEnd();
    TakeSnapshot();

    if (!WaitScheduled(lock, release + TickLength)) return;
    if (const uint32_t behind = TicksBehind(release); behind != 0) {
      if (!CatchUp(lock, behind)) return;
      release += behind * TickLength;
    }
    const bool last = TimeThread->EndReached;
    // Recorded before the last messages go out, so that WaitFor answers true
    // to a window handling WM_RUN_FINISHED.
    if (last) EndRun();
    MessageThread->Release();
    if (last && FSettings.CountOvertime) {
      // The same schedule goes on beyond the end; the time thread is parked.
      TimeThread->EnterOvertime();
      FOvertime = true;
    } else if (last) {
      WaitIdle(lock);
      return;
    }
    if (FOvertime && TimeThread->ShownSeconds >= OvertimeLimit) {
      WaitIdle(lock);
      return;
    }
    release += TickLength;
    // The next tick's arithmetic, beside this tick's posting. A pause or an
    // end asked for by now holds it back, as it would at the top of the tick.
    timeReleased = !FPaused && !FTerminateRequested;
    if (timeReleased) TimeThread->Release();
  }
  EndRun();
}
