// uThreadContainer - the timing engine of a run. See the header for the
// schedule; this file keeps to the standard library only.
#include "run/uThreadContainer.h"

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

void TTimeThread::Recount(uint32_t before) {
  Events = EventsSince(before);
  Amber = FPlan.AmberAt(Elapsed);
  if (!Events.Empty()) BeepDue = false;
  if (Direction < 0) {
    // A unit changed by the tick or by the move is posted.
    const std::array<bool, 3> changed = PartChanged;
    ShownSeconds = FPlan.EndAt(Elapsed) - Elapsed;
    SplitShown();
    for (size_t u = 0; u < changed.size(); ++u) PartChanged[u] = PartChanged[u] || changed[u];
  }
  EndReached = IsLastTick(FSettings, Elapsed);
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
  Events = EventsSince(before);
  Amber = FPlan.AmberAt(Elapsed);
  // The warning's sound stands in for a beep due on the same tick.
  BeepDue = onInterval && active && Events.Empty();
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
  const bool last = !overtime && IsLastTick(FSettings, elapsed);
  if (EventsSrc != nullptr && !EventsSrc->Empty()) {
    for (const TExamEvent& event : *EventsSrc)
      FPoster.Post(WatchWnd, WM_SET_WARNING,
                   (event.Minutes & 0xFFFF) | uintptr_t{event.Paper} << 16,
                   static_cast<intptr_t>(event.Kind));
    // One sound however many came, the weightiest's: an épreuve that ends while others go on
    // ends with the end's sound, and the run's own end outweighs them all.
    if (!last)
      FPoster.Post(NavigWnd,
                   EventsSrc->Latest().Kind == TExamEventKind::PaperEnd ? WM_PLAY_FINAL
                                                                        : WM_PLAY_WARNING,
                   0, 0);
  }
  if (*BeepSrc) FPoster.Post(NavigWnd, WM_PLAY_BEEP, 0, 0);
  if (last) {
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
  MessageThread->EventsSrc = &SnapEvents;
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
  // Right on a second (a place kept to the millisecond), that second's tick is still to come.
  if (ticks != 0 && runTime % TickLength == std::chrono::nanoseconds{0}) --ticks;
  // The end itself is left to the schedule, so that it comes with its sound as always.
  if (FSettings.TotalSeconds != 0)
    ticks = std::min<uint64_t>(ticks, RunLength(FSettings) - 1);
  FPlaceTicks = static_cast<uint32_t>(std::min<uint64_t>(ticks, UINT32_MAX));
  // What the place passes has come: it cannot be moved any more.
  FPosted = FPlaceTicks;
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

void TMainThread::PausedAtLeast(std::chrono::nanoseconds pausedFor) {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  if (!FStarted || !FPaused) return;
  const std::chrono::nanoseconds longer = pausedFor - (FClock.Now() - FPauseStart);
  if (longer <= std::chrono::nanoseconds{0}) return;
  FPauseStart -= longer;
  FStart -= longer;
}

// An end comes when its tick is posted: an end up to the count posted has come, and a call that
// would move one is refused whole, so that what the caller reports as moved is what moves. A
// move replaces one still waiting for its tick, so both are judged against the ends as they were
// counted.
bool TMainThread::Movable(const TPaperEnds& from, const TPaperEnds& to) const {
  const uint64_t toLast = uint64_t{to.TotalSeconds} + to.ExtraSeconds;
  if (to.TotalSeconds != from.TotalSeconds && FPosted >= from.TotalSeconds) return false;
  return toLast == from.Last() || FPosted < from.Last();
}

bool TMainThread::MoveEndsLocked(uint32_t totalSeconds, uint32_t extraSeconds) {
  // An open-ended run has no end to move, and moving one to 0 would make it open-ended.
  if (totalSeconds == 0 || FSettings.TotalSeconds == 0 || FSettings.Papers.size() >= 2)
    return false;
  const TPaperEnds from{FSettings.TotalSeconds, FSettings.ExtraSeconds};
  if (FRunEnded || FOvertime || !Movable(from, {totalSeconds, extraSeconds})) return false;
  FMovedTotal = totalSeconds;
  FMovedExtra = extraSeconds;
  FMoveEnd = true;
  return true;
}

bool TMainThread::MoveEnds(uint32_t totalSeconds, uint32_t extraSeconds) {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  return MoveEndsLocked(totalSeconds, extraSeconds);
}

bool TMainThread::MoveEnd(uint32_t totalSeconds) {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  return MoveEndsLocked(totalSeconds, FMoveEnd ? FMovedExtra : FSettings.ExtraSeconds);
}

bool TMainThread::MovePapers(const std::vector<TPaperEnds>& papers) {
  std::lock_guard<TEngineMutex> guard(FGate.Lock);
  if (papers.size() != FSettings.Papers.size() || FSettings.Papers.size() < 2) return false;
  if (FRunEnded || FOvertime) return false;
  for (size_t i = 0; i < papers.size(); ++i)
    if (!Movable(FSettings.Papers[i], papers[i])) return false;
  FMovedPapers = papers;
  FMovedTotal = 0;
  for (const TPaperEnds& paper : papers) FMovedTotal = std::max(FMovedTotal, paper.Last());
  FMovedExtra = 0;
  FMoveEnd = true;
  return true;
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
  SnapEvents = TimeThread->Events;
  SnapAmber = TimeThread->Amber;
}

// The length the run will have once the move waiting for the next tick is made.
uint32_t TMainThread::LengthDue() const {
  return FMoveEnd ? FMovedTotal + FMovedExtra : RunLength(FSettings);
}

uint32_t TMainThread::TicksBehind(std::chrono::nanoseconds release) {
  const TInstant due = FStart + FPausedTotal + release + TickLength;
  const std::chrono::nanoseconds late = FClock.Now() - due;
  if (late < TickLength) return 0;
  uint64_t behind = static_cast<uint64_t>(late / TickLength);
  // Never past the end, as a move waiting for this tick leaves it: a run whose end went by
  // during the stall ends once. Beyond the end, never past the last value counted.
  const uint32_t elapsed = TimeThread->Elapsed, length = LengthDue();
  if (FOvertime)
    behind = std::min<uint64_t>(behind, OvertimeLimit - TimeThread->ShownSeconds);
  else if (FSettings.TotalSeconds != 0)
    behind = std::min<uint64_t>(behind, length > elapsed ? length - elapsed : 0);
  return static_cast<uint32_t>(std::min<uint64_t>(behind, UINT32_MAX));
}

// The snapshot of the tick under way is still to be posted: the jump is
// merged into it, so that a unit that changed in either shows its new digits
// and a beep due in either sounds once.
bool TMainThread::CatchUp(std::unique_lock<TEngineMutex>& lock, uint32_t ticks) {
  const std::array<bool, 3> changed = SnapChanged;
  const bool beep = SnapBeep;
  TimeThread->Steps = ticks;
  TimeThread->Release();
  if (!WaitIdle(lock)) return false;
  TimeThread->Steps = 1;
  TakeSnapshot();
  for (size_t u = 0; u < changed.size(); ++u) SnapChanged[u] = SnapChanged[u] || changed[u];
  // Every event since the last tick posted, each once; a beep gives way to them.
  SnapEvents = TimeThread->EventsSince(FPosted);
  SnapBeep = (SnapBeep || beep) && SnapEvents.Empty();
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
  SnapEvents.Clear();  // its colour stays
  PostTick();
  return true;
}

// With the tick's messages due, both workers parked and the lock held until they are released:
// a move asked before this point was judged against the count last posted, which is still the
// count this tick goes on from, so an end it found still to come moves even if the tick under way
// passed it. An end moved to this tick or before comes with it; one left as it stands stays, even
// when this tick (a jump over a stall) passed it.
// A jump brings every second after the count posted, so an end moved into them keeps its own
// second, and one moved before them takes the first: each comes in its order, before what the
// jump passes later. Placed at the jump's count instead, an épreuve's end or the normal end would
// fall on the run's own end and be lost in it.
void TMainThread::ApplyMovedEnds() {
  if (!FMoveEnd) return;
  FMoveEnd = false;
  if (FOvertime) return;
  const uint32_t now = TimeThread->Elapsed;
  const uint32_t first = std::min(FPosted + 1, now);
  auto place = [first](uint32_t was, uint64_t asked) {
    return asked == was ? uint64_t{was} : std::max<uint64_t>(asked, first);
  };
  auto moved = [&](const TPaperEnds& from, const TPaperEnds& to) {
    const uint64_t total = place(from.TotalSeconds, to.TotalSeconds);
    const uint64_t last =
        std::max(place(from.Last(), uint64_t{to.TotalSeconds} + to.ExtraSeconds), total);
    return TPaperEnds{static_cast<uint32_t>(total), static_cast<uint32_t>(last - total)};
  };
  if (FSettings.Papers.size() >= 2) {
    uint32_t last = now;
    for (size_t i = 0; i < FSettings.Papers.size(); ++i) {
      FSettings.Papers[i] = moved(FSettings.Papers[i], FMovedPapers[i]);
      last = std::max(last, FSettings.Papers[i].Last());
    }
    FMovedPapers.clear();
    // The run, which counts down to its last end of all (the digits of a board are the time of
    // day until then), follows that end.
    FSettings.TotalSeconds = last;
  } else {
    TPaperEnds ends =
        moved({FSettings.TotalSeconds, FSettings.ExtraSeconds}, {FMovedTotal, FMovedExtra});
    // A move asked while a jump was counted to the ends it replaces can find the jump past its
    // last end: the run ends with this tick, as a board's does.
    if (ends.Last() < now) {
      if (ends.ExtraSeconds == 0)
        ends.TotalSeconds = now;
      else
        ends.ExtraSeconds = now - ends.TotalSeconds;
    }
    FSettings.TotalSeconds = ends.TotalSeconds;
    FSettings.ExtraSeconds = ends.ExtraSeconds;
  }
  FMovedTotal = FSettings.TotalSeconds;
  FMovedExtra = FSettings.ExtraSeconds;
  TimeThread->Replan();
  TimeThread->Recount(FPosted);
  const std::array<bool, 3> changed = SnapChanged;
  const bool beep = SnapBeep;
  TakeSnapshot();
  for (size_t u = 0; u < changed.size(); ++u) SnapChanged[u] = SnapChanged[u] || changed[u];
  SnapBeep = (SnapBeep || beep) && SnapEvents.Empty();
}

// The ends up to the tick posted have come from here on.
void TMainThread::PostTick() {
  FPosted = SnapElapsed;
  MessageThread->Release();
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
    TakeSnapshot();

    if (!WaitScheduled(lock, release + TickLength)) return;
    if (const uint32_t behind = TicksBehind(release); behind != 0) {
      if (!CatchUp(lock, behind)) return;
      release += behind * TickLength;
    }
    // From here until the messages go out the lock is held.
    ApplyMovedEnds();
    const bool last = TimeThread->EndReached;
    // Recorded before the last messages go out, so that WaitFor answers true
    // to a window handling WM_RUN_FINISHED.
    if (last) EndRun();
    PostTick();
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
