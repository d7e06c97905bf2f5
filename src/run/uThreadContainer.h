// uThreadContainer - the timing engine of a run.
//
// Three threads count the seconds of one run and turn each of them into posted
// window messages: the container TMainThread paces the run, TTimeThread does
// the arithmetic of a tick, TMessageThread posts the tick's messages.
//
// The engine keeps time by deadlines on an injected monotonic clock, so a late
// wake-up never pushes later ticks back, and it reaches the windows only
// through an injected poster. It includes no platform header: the Windows side
// passes a poster built on PostMessageA and a priority hook built on
// SetThreadPriority; the native tests pass a simulated clock and a recorder.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "run/uEngineSync.h"
#include "run/uExamPlan.h"
#include "run/uRunRecord.h"

// Private window messages. The run's own window (NavigWnd), which plays the
// sounds and tells the run's owner of its end, receives the first three with
// wParam = lParam = 0; the display window (WatchWnd) receives
// WM_SET_DIGIT (wParam digit position 0..5, lParam digit value) and
// WM_SET_PROGRESS (wParam elapsed seconds of the tick, lParam 0).
constexpr unsigned WM_RUN_FINISHED = 0x5401;
constexpr unsigned WM_PLAY_BEEP = 0x5410;
constexpr unsigned WM_PLAY_FINAL = 0x5411;
constexpr unsigned WM_SET_DIGIT = 0x5421;
constexpr unsigned WM_SET_PROGRESS = 0x5422;
// To the display window, with the last tick of a run that goes on counting
// the time beyond its end: the digits that follow are that time (wParam =
// lParam = 0).
constexpr unsigned WM_SET_OVERTIME = 0x5423;
// To the display window: a warning before an end, the normal end of a run with extra time, or
// the end of one épreuve of several, came with this tick (wParam its minutes in the low 16 bits
// and its épreuve above them, lParam a TExamEventKind); its text replaces the percentage for a
// while. One message an event: a tick that brings several (épreuves ending together, a jump over
// a stall) posts each once, in the order they came, the weightiest last; the tick still sounds
// once, for that last one (WM_PLAY_WARNING, or WM_PLAY_FINAL for an épreuve's end), and not at
// all when it is the run's last tick, whose final sound outweighs it.
constexpr unsigned WM_SET_WARNING = 0x5424;
// To the display window: the digits turn amber (wParam 1), from the smallest warning until the
// end they count to, or green again (wParam 0).
constexpr unsigned WM_SET_AMBER = 0x5425;
// To the run's own window: the warning sound, in place of a beep due on the same tick.
constexpr unsigned WM_PLAY_WARNING = 0x5412;

// The time beyond the end is counted up to 23:59:59 on the display, no further.
constexpr uint32_t OvertimeLimit = 86399;

// Values handed to the priority hook; they are the Win32 levels
// THREAD_PRIORITY_TIME_CRITICAL and THREAD_PRIORITY_HIGHEST.
constexpr int TimeCriticalPriority = 15;
constexpr int HighestPriority = 2;

// What a run needs from the settings, taken when its container is built.
// Only BeepActive may change during a run: it is called on the time thread
// at every tick, so it must be cheap, thread-safe and must not throw. An empty
// BeepActive means beeps off.
struct TRunSettings {
  uint32_t TotalSeconds = 0;      // 0: open-ended, the run never ends by itself
  uint32_t InterBeepSeconds = 0;  // 0: no beep at all
  int32_t TypeInc = 0;            // 0 counts up ("Positif"), otherwise down
  std::function<bool()> BeepActive;
  // After the last tick the run goes on, on the same schedule, showing the
  // time beyond the end (counting up from 00:00:00 after a count-down, on
  // past the total after a count-up), without progress or beeps, until it is
  // terminated or the display reaches OvertimeLimit.
  bool CountOvertime = false;
  // Tiers-temps: the run goes on this long after its total (its normal end), to its extended
  // end, where it ends for good; a count-down then shows the time left to the extended end.
  uint32_t ExtraSeconds = 0;
  // Warnings, in minutes before each end (see TExamPlan).
  std::vector<uint32_t> WarnMinutes{};
  // Several épreuves (two or more): each one's ends, which bring their own warnings and ends;
  // TotalSeconds is then the last end of all and ExtraSeconds 0.
  std::vector<TPaperEnds> Papers{};
};

// Monotonic time and interruptible waits. Every wait of the engine that is
// governed by time goes through here, so that a simulated clock can run hours
// of ticks in milliseconds.
class TChronoClock {
 public:
  // Time since the clock's own epoch. Only differences matter.
  using TInstant = std::chrono::nanoseconds;
  static constexpr TInstant NoDeadline = TInstant::max();

  virtual ~TChronoClock();

  virtual TInstant Now() = 0;

  // Called with `lock` held; `wake` is the condition variable that the caller's
  // state changes are signalled on (with that same mutex). Returns with `lock`
  // held when Now() has reached `deadline`, when `wake` is notified, or
  // spuriously: the caller always re-checks its state and the time. A
  // deadline of NoDeadline waits for a notification only.
  virtual void WaitUntil(std::unique_lock<TEngineMutex>& lock,
                         TEngineCondition& wake, TInstant deadline) = 0;
};

// The production clock: std::chrono::steady_clock.
class TSteadyClock final : public TChronoClock {
 public:
  TInstant Now() override;
  void WaitUntil(std::unique_lock<TEngineMutex>& lock,
                 TEngineCondition& wake, TInstant deadline) override;
};

// Posts one message to a window; never sends and never waits for the window.
// Called on the message thread; must not throw. A message to a window that no
// longer exists is simply lost.
class TMessagePoster {
 public:
  virtual ~TMessagePoster();
  virtual void Post(uintptr_t window, unsigned msg, uintptr_t wParam,
                    intptr_t lParam) = 0;
};

// Called once on each engine thread as it starts, with TimeCriticalPriority
// (container, message thread) or HighestPriority (time thread).
using TPriorityHook = std::function<void(int priority)>;

// One lock for a container and its two workers: every hand-over between them
// goes through it, so each thread's writes are published to the next reader.
struct TThreadGate {
  TEngineMutex Lock;
  TEngineCondition Wake;  // the container waits on this one
  bool Stopping = false;  // the container is being destroyed
  // Workers released and not parked again. The last one to park wakes the container, so that
  // two workers running side by side cost it one wake-up, not two.
  int Busy = 0;
};

// A worker is released once per tick by its container, does its work without
// holding the lock, and parks itself again. It never ends on its own: only
// the container's destruction (TThreadGate::Stopping) ends its loop.
class TWorkerThread {
 public:
  TWorkerThread(const TWorkerThread&) = delete;
  TWorkerThread& operator=(const TWorkerThread&) = delete;
  virtual ~TWorkerThread();

  // For the container only.
  void Start(const TPriorityHook* hook);
  void Release();       // caller holds the gate's lock
  void WakeToStop();    // after Stopping was set
  void Join();

 protected:
  TWorkerThread(TThreadGate& gate, int priority);

  virtual void Started() {}     // on the new thread, before it first parks
  virtual void Execute() = 0;   // one tick, without the lock

 private:
  void Body(const TPriorityHook* hook);

  TThreadGate& FGate;
  const int FPriority;
  TEngineCondition FGo;
  bool FReleased = false;  // released and not parked yet
  std::thread FThread;
};

// The arithmetic of a tick. Its fields are written on its own thread between
// a release and the next parking, and read by the container only while it is
// parked.
class TTimeThread final : public TWorkerThread {
 public:
  TTimeThread(TThreadGate& gate, const TRunSettings& settings);

  int8_t Direction = 1;                   // +1 counts up, -1 counts down
  uint32_t BeepInterval = 0;
  uint32_t Elapsed = 0;                   // ticks counted since the start
  std::array<uint8_t, 3> TimeParts{};     // 0 hours, 1 minutes, 2 seconds
  bool BeepDue = false;
  TTickEvents Events;                     // the warnings and ends the tick brings, in order
  bool Amber = false;                     // the digits' colour after the tick
  bool EndReached = false;
  uint32_t ShownSeconds = 0;              // the value on the display
  std::array<bool, 3> PartChanged{};      // same indexes as TimeParts
  // Seconds that the next release moves at once: 1 on every ordinary tick,
  // more when the container jumps over a stall. Written by the container
  // while this thread is parked.
  uint32_t Steps = 1;

  void SetElapsed(uint32_t value) { Elapsed = value; }
  // From the next tick on, counts the time beyond the end: upwards, silent.
  void EnterOvertime();
  void Advance();
  void SplitShown();
  // The run's ends moved: its warnings and ends move with them. Only while parked.
  void Replan();
  // The tick under way, which counts from `before`, brought to the ends as they now stand: its
  // events, its colour, a count-down's value and whether it ends the run. Only while parked.
  void Recount(uint32_t before);
  // The events of the plan after `before` up to the count of the tick under way.
  TTickEvents EventsSince(uint32_t before) const { return FPlan.Events(before, Elapsed); }

 protected:
  void Execute() override;

 private:
  const TRunSettings& FSettings;
  TExamPlan FPlan;
};

// Turns the container's snapshot of a tick into posted messages.
class TMessageThread final : public TWorkerThread {
 public:
  TMessageThread(TThreadGate& gate, uintptr_t navigWnd, uintptr_t watchWnd,
                 const TRunSettings& settings, TMessagePoster& poster);

  void BindSnapshot(const bool* beepSrc, const uint8_t* partsSrc,
                    const bool* changedSrc, const uint32_t* elapsedSrc);
  // The tick counts the time beyond the end: its digits only.
  const bool* OvertimeSrc = nullptr;
  const TTickEvents* EventsSrc = nullptr;
  const bool* AmberSrc = nullptr;

  const bool* BeepSrc = nullptr;
  const bool* ChangedSrc = nullptr;    // three flags: hours, minutes, seconds
  const uint8_t* PartsSrc = nullptr;   // three values, same indexes
  const uint32_t* ElapsedSrc = nullptr;
  uintptr_t NavigWnd;                  // beep, final sound, end of run
  uintptr_t WatchWnd;                  // digits and progress

 protected:
  void Started() override;
  void Execute() override;

 private:
  const TRunSettings& FSettings;
  TMessagePoster& FPoster;
  // Tens digit last put on the display for hours, minutes, seconds; starts
  // from what the display shows before the first tick.
  std::array<uint8_t, 3> LastTens{};
  bool LastAmber = false;
};

// The container: one run, from its first Resume to its last tick.
//
// Tick k releases the time thread at start + (k - 1) s, takes the snapshot
// 500 ms after that release and has the message thread post the tick's
// messages at start + k s; time spent paused is added to every later
// deadline. Tick k + 1's release goes with tick k's posting, unless a pause
// or the end is already asked for: both workers then run side by side. A stall longer than a tick (a closed lid, a debugger, a machine
// too busy to wake the container) is not made up tick by tick: the tick whose
// messages are due folds in every tick due since, so that one set of messages
// brings the display to the present, and the schedule goes on from there.
// All operations may be called from any thread, the poster's and
// BeepActive's included, except destruction, which joins the engine's threads
// and so belongs to another thread (the user interface's).
class TMainThread {
 public:
  // Builds the container and both workers parked: nothing runs before the
  // first Resume.
  TMainThread(uintptr_t navigWnd, uintptr_t watchWnd, TRunSettings settings,
              TChronoClock& clock, TMessagePoster& poster,
              TPriorityHook priorityHook = {});
  // Never waits for more than the current hand-over (microseconds of work):
  // interrupts every wait, joins the three threads, and nothing is posted
  // once it has returned.
  ~TMainThread();

  TMainThread(const TMainThread&) = delete;
  TMainThread& operator=(const TMainThread&) = delete;

  // Starts the run, or continues it after a pause. Does nothing once the run
  // has ended. A start may be `lead` (under a second) into the first second,
  // as if it had come that much earlier: a run that must end at an instant
  // of the wall clock starts part-way through its first second. A
  // continuation ignores it.
  void Resume(std::chrono::nanoseconds lead = {});
  // Freezes the schedule where it stands. A tick already under way on a
  // worker is finished; nothing more is released until Resume.
  void Suspend();
  // True while parked before the first Resume and while paused.
  bool Suspended() const;
  // The run ends at the top of its next tick, after the messages of the tick
  // under way. A paused container does not reach that point until resumed.
  void Terminate();
  // Waits in real time, at most timeoutMs, for the end of the run; true when
  // it has ended. The end is recorded before WM_RUN_FINISHED is posted, so a
  // window handling that message gets true at once.
  bool WaitFor(unsigned timeoutMs);
  // Whether the run goes on past its end (see TRunSettings::CountOvertime):
  // its window then terminates it when it is done with the end.
  bool CountsOvertime() const { return FSettings.CountOvertime; }
  // Time spent paused since the start, a pause under way included: what the
  // end of the run has moved by.
  std::chrono::nanoseconds PausedTotal() const;

  // Where the run stands now; all zero before it starts.
  TRunPlace Place() const;
  // Instead of the first Resume: takes up a run that stood at `place` when
  // another container (of another process, say) stopped counting it, as if it
  // had gone on all along. One silent set of messages brings the display from
  // the starting value to the run's place at once; a paused place then stays
  // paused, showing its time, until Resume.
  void ResumeAt(const TRunPlace& place);
  // A run that the wall clock puts at `runTime` while this container counts
  // less (a monotonic clock that stood still while the computer slept) jumps
  // there as after a stall: one set of messages, one beep at most, an end
  // passed meanwhile once. A run is never moved back. A paused run takes its
  // place too, and shows it when it continues.
  void CatchUpTo(std::chrono::nanoseconds runTime);
  // The pause under way has lasted at least this long (the monotonic clock stood still while the
  // computer slept): its start moves back, the run stays where it stands.
  void PausedAtLeast(std::chrono::nanoseconds pausedFor);
  // Moves the ends of a run of one that has them, with the next tick posted:
  // the normal end to `totalSeconds` of run time, the extended end to
  // `extraSeconds` after it. An end comes when its tick is posted; one that
  // has not come by the call moves, even when the tick under way would have
  // brought it. A count-down's value follows in one step, and an end moved to
  // the tick under way or before comes with it. An end that has come never
  // moves: a call that would move one (or any call once the run has ended)
  // moves nothing and answers false; otherwise it answers true (the ends
  // left as they are included). Open-ended runs and boards answer false.
  bool MoveEnds(uint32_t totalSeconds, uint32_t extraSeconds);
  // The normal end only, the extended end as long after it as it stands.
  bool MoveEnd(uint32_t totalSeconds);
  // The same for a run of several épreuves, each one's ends as MoveEnds moves a run's, all or
  // none; an épreuve that is over is passed as it stands. The run's own end follows the last of
  // them.
  bool MovePapers(const std::vector<TPaperEnds>& papers);
  // Each épreuve's ends as they stand; empty for a run of one.
  std::vector<TPaperEnds> PaperEnds() const;
  // The ends as they stand, in run time.
  uint32_t TotalSeconds() const;
  uint32_t ExtraSeconds() const;

 private:
  using TInstant = TChronoClock::TInstant;

  void Execute();
  bool WaitWhilePaused(std::unique_lock<TEngineMutex>& lock);
  bool WaitScheduled(std::unique_lock<TEngineMutex>& lock,
                     std::chrono::nanoseconds offset);
  bool WaitIdle(std::unique_lock<TEngineMutex>& lock);
  void TakeSnapshot();
  uint32_t TicksBehind(std::chrono::nanoseconds release);
  bool CatchUp(std::unique_lock<TEngineMutex>& lock, uint32_t ticks);
  bool PlaceRun(std::unique_lock<TEngineMutex>& lock);
  bool Movable(const TPaperEnds& from, const TPaperEnds& to) const;
  bool MoveEndsLocked(uint32_t totalSeconds, uint32_t extraSeconds);
  uint32_t LengthDue() const;
  void ApplyMovedEnds();
  void PostTick();
  void EndRun();
  void Shutdown() noexcept;

  // Declared first because the workers keep references to them. The settings
  // are fixed for the life of the container, except TotalSeconds,
  // ExtraSeconds and Papers, which a move changes on the container's thread
  // while both workers are parked.
  TRunSettings FSettings;
  TChronoClock& FClock;
  TMessagePoster& FPoster;
  const TPriorityHook FPriorityHook;
  mutable TThreadGate FGate;

  std::unique_ptr<TTimeThread> TimeThread;
  uintptr_t NavigWnd;
  uintptr_t WatchWnd;
  // The only data of a tick that the message thread reads. Written while it
  // is parked, read by it between its release and its parking.
  std::array<bool, 3> SnapChanged{};
  std::array<uint8_t, 3> SnapParts{};
  bool SnapBeep = false;
  uint32_t SnapElapsed = 0;
  bool SnapOvertime = false;
  TTickEvents SnapEvents;
  bool SnapAmber = false;
  std::unique_ptr<TMessageThread> MessageThread;

  // Run state, guarded by FGate.Lock.
  bool FStarted = false;
  bool FPaused = false;
  bool FTerminateRequested = false;
  bool FRunEnded = false;
  bool FOvertime = false;  // past the last tick, counting beyond the end
  TInstant FStart{};
  TInstant FPauseStart{};
  std::chrono::nanoseconds FPausedTotal{};
  uint32_t FPlaceTicks = 0;   // ResumeAt: the ticks the first set of messages covers
  uint32_t FPosted = 0;       // the count of the last tick posted: the ends up to it have come
  bool FMoveEnd = false;      // MoveEnds: the ends wait for the next tick posted
  uint32_t FMovedTotal = 0;
  uint32_t FMovedExtra = 0;   // also what MoveEnd keeps
  std::vector<TPaperEnds> FMovedPapers;
  TEngineCondition FEnded;  // WaitFor's callers wait on this

  std::thread FThread;
};
