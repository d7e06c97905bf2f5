// The timing engine on a simulated clock: exact message sequences, their
// instants, pauses, and the container's life cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <tuple>

#include "run/uEndTime.h"
#include "run/uThreadContainer.h"
#include "sim_clock.h"

using namespace tavelin_test;

namespace {

constexpr int32_t Up = 0;
constexpr int32_t Down = 1;

class ThreadContainerSim : public ::testing::Test {
 protected:
  TSimClock Clock;
  TRecordingPoster Poster{Clock};
  std::atomic<bool> Beeps{false};
  std::atomic<int> BeepReads{0};
  std::unique_ptr<TMainThread> Run;  // last: goes before the clock and poster

  void Build(uint32_t total, uint32_t interval, int32_t typeInc, bool beeps = false,
             bool overtime = false) {
    Beeps = beeps;
    TRunSettings settings{total, interval, typeInc, [this] {
                            ++BeepReads;
                            return Beeps.load();
                          }};
    settings.CountOvertime = overtime;
    Run = std::make_unique<TMainThread>(NavigWnd, WatchWnd, settings, Clock, Poster);
  }

  void RunToEnd() {
    Run->Resume();
    ASSERT_TRUE(Poster.WaitForMsg(WM_RUN_FINISHED));
    ASSERT_TRUE(Run->WaitFor(10000));
  }

  // Runs until simulated time `until` (from the start) and leaves the
  // container paused there.
  void RunUntil(std::chrono::nanoseconds until) {
    Clock.At(until, [this] { Run->Suspend(); });
    Run->Resume();
    ASSERT_TRUE(Clock.WaitBlocked());
  }

  std::vector<std::vector<TMsg>> Ticks() const { return SplitTicks(Poster.Messages()); }

  // Waits in real time until `n` messages have been posted, then a little more, so that a
  // message too many would be seen.
  void WaitForCount(size_t n) {
    for (int i = 0; i < 6000 && Poster.Count() < n; ++i) std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(30ms);
  }

  TDisplay DisplayAfterRun(uint32_t start) const {
    TDisplay d(start);
    for (const TMsg& m : Poster.Messages()) d.Apply(m);
    return d;
  }

  // Every message of tick k must be posted at start + k s + `shift(k)`.
  template <class Shift>
  void ExpectPostedOnSchedule(Shift shift) const {
    uint32_t tick = 0;
    for (const TPosted& p : Poster.Posted()) {
      if (p.M.Msg == WM_SET_PROGRESS) tick = static_cast<uint32_t>(p.M.WParam);
      const std::chrono::nanoseconds due = std::chrono::seconds(tick) + shift(tick);
      ASSERT_EQ((p.At - Clock.Start()).count(), due.count())
          << "tick " << tick << " " << MsgName(p.M.Msg);
    }
  }
  void ExpectPostedOnSchedule() const {
    ExpectPostedOnSchedule([](uint32_t) { return std::chrono::nanoseconds(0); });
  }
};

std::vector<uint32_t> BeepTicks(const std::vector<std::vector<TMsg>>& ticks) {
  std::vector<uint32_t> out;
  for (const auto& tick : ticks)
    if (std::find(tick.begin(), tick.end(), Beep()) != tick.end())
      out.push_back(static_cast<uint32_t>(tick.front().WParam));
  return out;
}

// ---------------------------------------------------------------- sequences

TEST_F(ThreadContainerSim, CountUpFiveSecondsShowsEachSecondThenEnds) {
  Build(5, 30, Up);
  std::atomic<int> endedAtFinish{-1};
  Poster.OnPost = [&](const TMsg& m) {
    if (m.Msg == WM_RUN_FINISHED) endedAtFinish = Run->WaitFor(0) ? 1 : 0;
  };
  RunToEnd();
  Run.reset();

  const std::vector<TMsg> expected = {
      Progress(1), Digit(5, 1), Progress(2), Digit(5, 2), Progress(3), Digit(5, 3),
      Progress(4), Digit(5, 4), Progress(5), Digit(5, 5), Final(),     Finished()};
  EXPECT_EQ(Poster.Messages(), expected);
  EXPECT_EQ(DisplayAfterRun(0).Text(), "00:00:05");
  ExpectPostedOnSchedule();
  // The window handling WM_RUN_FINISHED finds the run over at once.
  EXPECT_EQ(endedAtFinish, 1);
}

TEST_F(ThreadContainerSim, CountDownFiveSecondsEndsOnZero) {
  Build(5, 30, Down);
  RunToEnd();
  const std::vector<TMsg> expected = {
      Progress(1), Digit(5, 4), Progress(2), Digit(5, 3), Progress(3), Digit(5, 2),
      Progress(4), Digit(5, 1), Progress(5), Digit(5, 0), Final(),     Finished()};
  EXPECT_EQ(Poster.Messages(), expected);
  EXPECT_EQ(DisplayAfterRun(5).Text(), "00:00:00");
  ExpectPostedOnSchedule();
}

TEST_F(ThreadContainerSim, CountUpCarriesTensAndMinutes) {
  Build(61, 30, Up);
  RunToEnd();
  const auto ticks = Ticks();
  ASSERT_EQ(ticks.size(), 61u);
  EXPECT_EQ(ticks[8], (std::vector<TMsg>{Progress(9), Digit(5, 9)}));
  EXPECT_EQ(ticks[9], (std::vector<TMsg>{Progress(10), Digit(5, 0), Digit(4, 1)}));
  // Minutes tens stays 0, so it is not posted.
  EXPECT_EQ(ticks[59],
            (std::vector<TMsg>{Progress(60), Digit(5, 0), Digit(4, 0), Digit(3, 1)}));
  EXPECT_EQ(ticks[60],
            (std::vector<TMsg>{Progress(61), Digit(5, 1), Final(), Finished()}));
  EXPECT_EQ(DisplayAfterRun(0).Text(), "00:01:01");
}

TEST_F(ThreadContainerSim, CountDownFromRoundTotalsRewritesEveryTensDigit) {
  struct Case {
    uint32_t Total;
    std::vector<TMsg> FirstTick;
    const char* Shown;
  };
  const Case cases[] = {
      {600, {Progress(1), Digit(5, 9), Digit(4, 5), Digit(3, 9), Digit(2, 0)}, "00:09:59"},
      {10, {Progress(1), Digit(5, 9), Digit(4, 0)}, "00:00:09"},
      {36000,
       {Progress(1), Digit(5, 9), Digit(4, 5), Digit(3, 9), Digit(2, 5), Digit(1, 9),
        Digit(0, 0)},
       "09:59:59"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Total);
    TSimClock clock;
    TRecordingPoster poster(clock);
    TMainThread run(NavigWnd, WatchWnd, {c.Total, 30, Down, {}}, clock, poster);
    clock.At(1500ms, [&] { run.Suspend(); });
    run.Resume();
    ASSERT_TRUE(clock.WaitBlocked());
    EXPECT_EQ(poster.Messages(), c.FirstTick);
    TDisplay d(c.Total);
    for (const TMsg& m : poster.Messages()) d.Apply(m);
    EXPECT_EQ(d.Text(), c.Shown);
  }
}

// ---------------------------------------------------------------- beeps

TEST_F(ThreadContainerSim, BeepsOnEveryIntervalAndBeforeTheFinalSound) {
  Build(6, 2, Up, true);
  RunToEnd();
  const std::vector<TMsg> expected = {
      Progress(1), Digit(5, 1), Progress(2), Digit(5, 2), Beep(),
      Progress(3), Digit(5, 3), Progress(4), Digit(5, 4), Beep(),
      Progress(5), Digit(5, 5), Progress(6), Digit(5, 6), Beep(),
      Final(),     Finished()};
  EXPECT_EQ(Poster.Messages(), expected);
}

TEST_F(ThreadContainerSim, CountDownBeepsFollowTheElapsedSeconds) {
  Build(100, 30, Down, true);
  Run->Resume();
  ASSERT_TRUE(Poster.WaitForMsg(WM_RUN_FINISHED));
  Run.reset();

  TDisplay d(100);
  std::vector<std::string> shownAtBeep;
  std::vector<uint32_t> beepTicks;
  uint32_t tick = 0;
  for (const TMsg& m : Poster.Messages()) {
    d.Apply(m);
    if (m.Msg == WM_SET_PROGRESS) tick = static_cast<uint32_t>(m.WParam);
    if (m.Msg == WM_PLAY_BEEP) {
      beepTicks.push_back(tick);
      shownAtBeep.push_back(d.Text());
    }
  }
  EXPECT_EQ(beepTicks, (std::vector<uint32_t>{30, 60, 90}));
  EXPECT_EQ(shownAtBeep, (std::vector<std::string>{"00:01:10", "00:00:40", "00:00:10"}));
  EXPECT_EQ(Poster.Messages(), ExpectedRun(100, 30, true, true, 100));
}

TEST_F(ThreadContainerSim, BeepSwitchIsReadOnEveryTickAndAppliesToTheNext) {
  Build(12, 2, Up, true);
  // Tick k is computed at (k - 1) s: switched off at 3.2 s, tick 4 already
  // has its beep and tick 6 has none; switched on at 7.5 s, tick 8 (computed
  // at 7 s) is still silent and tick 10 beeps again.
  Clock.At(3200ms, [this] { Beeps = false; });
  Clock.At(7500ms, [this] { Beeps = true; });
  RunToEnd();
  EXPECT_EQ(BeepTicks(Ticks()), (std::vector<uint32_t>{2, 4, 10, 12}));
  EXPECT_EQ(BeepReads.load(), 12);
}

TEST_F(ThreadContainerSim, ZeroBeepIntervalNeverBeeps) {
  for (bool beeps : {true, false}) {
    SCOPED_TRACE(beeps);
    TSimClock clock;
    TRecordingPoster poster(clock);
    std::atomic<int> reads{0};
    TMainThread run(NavigWnd, WatchWnd, {5, 0, Up, [&] { return ++reads, beeps; }},
                    clock, poster);
    run.Resume();
    ASSERT_TRUE(poster.WaitForMsg(WM_RUN_FINISHED));
    ASSERT_TRUE(run.WaitFor(10000));
    EXPECT_EQ(poster.Messages(), ExpectedRun(5, 0, false, false, 5));
    EXPECT_EQ(reads.load(), 5);
  }
}

// ---------------------------------------------------------------- pauses

TEST_F(ThreadContainerSim, PauseBetweenTicksPostsNothingUntilResumed) {
  Build(5, 30, Up);
  RunUntil(2700ms);
  EXPECT_TRUE(Run->Suspended());
  EXPECT_EQ(Ticks().size(), 2u);

  Clock.Advance(30s);
  EXPECT_EQ(Ticks().size(), 2u);
  Run->Resume();
  EXPECT_FALSE(Run->Suspended());
  ASSERT_TRUE(Poster.WaitForMsg(WM_RUN_FINISHED));
  Run.reset();

  EXPECT_EQ(Poster.Messages(), ExpectedRun(5, 30, false, false, 5));
  ExpectPostedOnSchedule([](uint32_t k) { return k <= 2 ? 0s : 30s; });
}

TEST_F(ThreadContainerSim, PausesInsideTicksShiftTheScheduleWithoutLosingTicks) {
  Build(8, 30, Up);
  // Tick 4 is released at 3 s: the first pause falls before its snapshot.
  Clock.At(3200ms, [this] { Run->Suspend(); });
  Clock.At(3300ms, [this] { Run->Suspend(); });  // no second pause start
  Clock.At(5000ms, [this] { Run->Resume(); });
  Clock.At(5000ms, [this] { Run->Resume(); });
  // 1.8 s paused: tick 5 is released at 5.8 s, its snapshot taken at 6.3 s;
  // the second pause falls between that snapshot and its messages.
  Clock.At(6700ms, [this] { Run->Suspend(); });
  Clock.At(10000ms, [this] { Run->Resume(); });
  RunToEnd();
  Run.reset();

  EXPECT_EQ(Poster.Messages(), ExpectedRun(8, 30, false, false, 8));
  ExpectPostedOnSchedule([](uint32_t k) -> std::chrono::nanoseconds {
    if (k <= 3) return 0s;
    if (k == 4) return 1800ms;
    return 5100ms;
  });
}

// Every wake-up comes up to 15 ms late, yet each tick is posted within one
// wake-up's lateness of its own deadline: lateness never adds up.
TEST_F(ThreadContainerSim, LateWakeUpsDoNotAccumulate) {
  uint32_t seed = 12345;
  Clock.SetLateness([&seed] {
    seed = seed * 1103515245u + 12345u;
    return std::chrono::nanoseconds((seed >> 8) % 15'000'000);
  });
  Build(3600, 30, Up);
  RunToEnd();
  Run.reset();

  EXPECT_EQ(Poster.Messages(), ExpectedRun(3600, 30, false, false, 3600));
  uint32_t tick = 0;
  std::chrono::nanoseconds latest{};
  for (const TPosted& p : Poster.Posted()) {
    if (p.M.Msg == WM_SET_PROGRESS) tick = static_cast<uint32_t>(p.M.WParam);
    const std::chrono::nanoseconds late = p.At - Clock.Start() - std::chrono::seconds(tick);
    ASSERT_GE(late.count(), 0) << "tick " << tick;
    ASSERT_LT(late, 15ms) << "tick " << tick;
    latest = std::max(latest, late);
  }
  EXPECT_GT(latest, 10ms);  // the clock really was late
}

// ---------------------------------------------------------------- stalls

// Ten minutes without waking (a closed lid, say) inside tick 4: the ticks due
// meanwhile are not replayed back to back; one set of messages brings the
// display to the present, one beep stands for the multiples passed, and the
// run goes on to end at its true time. When the stall outlasts the run, the
// end comes once, with that same set.
TEST_F(ThreadContainerSim, StallJumpsToThePresentWithOneSetOfMessages) {
  Build(1200, 30, Up, true);
  Clock.At(3200ms, [this] { Clock.Advance(600s); });
  RunToEnd();
  Run.reset();

  const auto whole = SplitTicks(ExpectedRun(1200, 30, false, true, 1200));
  std::vector<TMsg> expected;
  for (uint32_t k = 1; k <= 3; ++k) expected.insert(expected.end(), whole[k - 1].begin(), whole[k - 1].end());
  // 00:00:03 to 00:10:03: the seconds units and the minutes digits.
  for (const TMsg& m : {Progress(603), Digit(5, 3), Digit(3, 0), Digit(2, 1), Beep()})
    expected.push_back(m);
  for (uint32_t k = 604; k <= 1200; ++k)
    expected.insert(expected.end(), whole[k - 1].begin(), whole[k - 1].end());
  EXPECT_EQ(Poster.Messages(), expected);
  EXPECT_EQ(DisplayAfterRun(0).Text(), "00:20:00");
  ExpectPostedOnSchedule([](uint32_t k) { return k == 603 ? 200ms : 0ms; });

  TSimClock clock;
  TRecordingPoster poster(clock);
  TMainThread run(NavigWnd, WatchWnd, {60, 7, Down, [] { return true; }}, clock, poster);
  clock.At(3200ms, [&] { clock.Advance(600s); });
  run.Resume();
  ASSERT_TRUE(poster.WaitForMsg(WM_RUN_FINISHED));
  ASSERT_TRUE(run.WaitFor(10000));
  expected = ExpectedRun(60, 7, true, true, 3);
  for (const TMsg& m : {Progress(60), Digit(5, 0), Digit(4, 0), Beep(), Final(), Finished()})
    expected.push_back(m);
  EXPECT_EQ(poster.Messages(), expected);
  EXPECT_EQ(poster.Posted().back().At - clock.Start(), 603200ms);
}

// A stall that begins just after the snapshot of a tick that changed the
// minutes (or the hours) and was due to beep: the jump over it changes neither
// and passes no multiple of the interval, so only the pending tick knows that
// they must be posted. A count-up stalled 40 s at 59.2 s shows 00:01:39.
TEST_F(ThreadContainerSim, StallAfterATickThatChangedMinutesOrHoursKeepsItsDigitsAndBeep) {
  Build(200, 60, Up, true);
  Clock.At(59200ms, [this] { Clock.Advance(40s); });
  RunToEnd();
  Run.reset();

  const auto whole = SplitTicks(ExpectedRun(200, 60, false, true, 200));
  std::vector<TMsg> expected;
  for (uint32_t k = 1; k <= 59; ++k) expected.insert(expected.end(), whole[k - 1].begin(), whole[k - 1].end());
  // 00:00:59 to 00:01:39.
  for (const TMsg& m : {Progress(99), Digit(5, 9), Digit(4, 3), Digit(3, 1), Beep()})
    expected.push_back(m);
  for (uint32_t k = 100; k <= 200; ++k)
    expected.insert(expected.end(), whole[k - 1].begin(), whole[k - 1].end());
  EXPECT_EQ(Poster.Messages(), expected);
  EXPECT_EQ(DisplayAfterRun(0).Text(), "00:03:20");
  ExpectPostedOnSchedule([](uint32_t k) { return k == 99 ? 200ms : 0ms; });

  // The same just before the first hour: 00:59:59 to 01:00:39.
  TSimClock clock;
  TRecordingPoster poster(clock);
  TMainThread run(NavigWnd, WatchWnd, {3700, 0, Up, {}}, clock, poster);
  clock.At(3599200ms, [&] { clock.Advance(40s); });
  run.Resume();
  ASSERT_TRUE(poster.WaitForMsg(WM_RUN_FINISHED));
  ASSERT_TRUE(run.WaitFor(10000));
  const auto ticks = SplitTicks(poster.Messages());
  ASSERT_EQ(ticks.size(), 3700u - 39u);
  EXPECT_EQ(ticks[3599], (std::vector<TMsg>{Progress(3639), Digit(5, 9), Digit(4, 3),
                                           Digit(3, 0), Digit(2, 0), Digit(1, 1)}));
  TDisplay shown;
  for (const TMsg& m : poster.Messages()) {
    shown.Apply(m);
    if (m == Progress(3640)) {
      EXPECT_EQ(shown.Text(), "01:00:39");
    }
  }
  EXPECT_EQ(shown.Text(), "01:01:40");
}

// ---------------------------------------------------------------- open-ended

TEST_F(ThreadContainerSim, ZeroTotalRunsOpenEndedInBothDirections) {
  std::vector<TMsg> streams[2];
  for (int32_t typeInc : {Up, Down}) {
    SCOPED_TRACE(typeInc);
    TSimClock clock;
    TRecordingPoster poster(clock);
    TMainThread run(NavigWnd, WatchWnd, {0, 0, typeInc, {}}, clock, poster);
    clock.At(3700s + 500ms, [&] { run.Suspend(); });
    run.Resume();
    ASSERT_TRUE(clock.WaitBlocked());
    EXPECT_FALSE(run.WaitFor(0));
    streams[typeInc] = poster.Messages();
  }
  EXPECT_EQ(streams[Up], streams[Down]);
  EXPECT_EQ(streams[Up], ExpectedRun(0, 0, false, false, 3700));
  TDisplay d;
  for (const TMsg& m : streams[Down]) d.Apply(m);
  EXPECT_EQ(d.Text(), "01:01:40");
}

// ---------------------------------------------------------------- long run

TEST_F(ThreadContainerSim, TwentyFourHourCountDownMessageByMessage) {
  constexpr uint32_t Day = 86400;
  Build(Day, 3600, Down, true);
  RunToEnd();
  Run.reset();

  const std::vector<TMsg> all = Poster.Messages();
  const std::vector<TMsg> expected = ExpectedRun(Day, 3600, true, true, Day);
  ASSERT_EQ(all.size(), expected.size());
  for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], expected[i]) << "message " << i;

  const auto ticks = SplitTicks(all);
  ASSERT_EQ(ticks.size(), size_t{Day});
  EXPECT_EQ(all.back(), Finished());
  EXPECT_EQ(BeepTicks(ticks).size(), 24u);
  // An ordinary second, in which only the seconds units digit moves and no
  // beep is due, posts its progress and that one digit, nothing else.
  size_t ordinary = 0;
  for (uint32_t k = 1; k < Day; ++k) {
    const auto before = DigitsOf(Day - (k - 1)), after = DigitsOf(Day - k);
    if (k % 3600 != 0 && std::equal(before.begin(), before.begin() + 5, after.begin())) {
      ++ordinary;
      ASSERT_EQ(ticks[k - 1].size(), 2u) << "tick " << k;
    }
  }
  // Of the 86,399 seconds before the last, the 8,640 that leave a value
  // ending in 0 move the tens as well, and 23 more carry an hourly beep.
  EXPECT_EQ(ordinary, size_t{86399 - 8640 - 23});
  EXPECT_EQ(DisplayAfterRun(Day).Text(), "00:00:00");
  ExpectPostedOnSchedule();
}

// ---------------------------------------------------------------- life cycle

TEST_F(ThreadContainerSim, BuiltParkedWithEachThreadPrioritised) {
  std::mutex m;
  std::vector<std::pair<int, std::thread::id>> calls;
  TMainThread run(NavigWnd, WatchWnd, {2, 30, Up, {}}, Clock, Poster, [&](int p) {
    std::lock_guard<std::mutex> guard(m);
    calls.emplace_back(p, std::this_thread::get_id());
  });
  for (int i = 0; i < 2000; ++i) {
    {
      std::lock_guard<std::mutex> guard(m);
      if (calls.size() >= 3) break;
    }
    std::this_thread::sleep_for(5ms);
  }
  std::this_thread::sleep_for(20ms);
  {
    std::lock_guard<std::mutex> guard(m);
    ASSERT_EQ(calls.size(), 3u);
    std::multiset<int> priorities;
    std::set<std::thread::id> threads;
    for (const auto& [p, id] : calls) {
      priorities.insert(p);
      threads.insert(id);
    }
    EXPECT_EQ(priorities, (std::multiset<int>{HighestPriority, TimeCriticalPriority,
                                              TimeCriticalPriority}));
    EXPECT_EQ(threads.size(), 3u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
  }
  // Parked: nothing runs, and a pause request does not unpark it.
  EXPECT_TRUE(run.Suspended());
  run.Suspend();
  EXPECT_EQ(Poster.Count(), 0u);
  EXPECT_FALSE(run.WaitFor(0));

  run.Resume();
  ASSERT_TRUE(Poster.WaitForMsg(WM_RUN_FINISHED));
  EXPECT_EQ(Poster.Messages(), ExpectedRun(2, 30, false, false, 2));
}

TEST_F(ThreadContainerSim, TerminateEndsAfterTheTickUnderWayAndOneRunOnly) {
  Build(0, 30, Up);
  Clock.At(2300ms, [this] { Run->Terminate(); });
  Run->Resume();
  ASSERT_TRUE(Run->WaitFor(10000));
  EXPECT_EQ(Poster.Messages(), ExpectedRun(0, 30, false, false, 3));
  EXPECT_FALSE(Run->Suspended());

  // An ended container cannot be run again.
  Run->Resume();
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(Poster.Messages(), ExpectedRun(0, 30, false, false, 3));
}

// The control bar closes a run with Suspend, Terminate, a 500 ms wait and
// destruction: the wait runs out, the destruction does not.
TEST_F(ThreadContainerSim, ClosingPausedRunTimesOutThenDestroysAtOnce) {
  Build(0, 30, Up);
  RunUntil(4200ms);
  Run->Terminate();
  const auto waitStart = std::chrono::steady_clock::now();
  EXPECT_FALSE(Run->WaitFor(500));
  EXPECT_GE(std::chrono::steady_clock::now() - waitStart, 500ms);

  const size_t posted = Poster.Count();
  const auto destroyStart = std::chrono::steady_clock::now();
  Run.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - destroyStart, 500ms);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(Poster.Count(), posted);
  EXPECT_EQ(Poster.Messages(), ExpectedRun(0, 30, false, false, 4));
}

// Paused and terminated while a tick's messages go out, the container stops
// at the top of the next tick but does not end there until resumed.
TEST_F(ThreadContainerSim, PauseAtTheEndOfATickHoldsOffTermination) {
  Build(0, 30, Up);
  Poster.OnPost = [this](const TMsg& m) {
    if (m == Progress(3)) {
      Run->Suspend();
      Run->Terminate();
    }
  };
  Run->Resume();
  ASSERT_TRUE(Clock.WaitBlocked());
  EXPECT_FALSE(Run->WaitFor(100));
  EXPECT_EQ(Poster.Messages(), ExpectedRun(0, 30, false, false, 3));

  Run->Resume();
  ASSERT_TRUE(Run->WaitFor(10000));
  EXPECT_EQ(Poster.Messages(), ExpectedRun(0, 30, false, false, 3));
}

// ---------------------------------------------------------------- real clock

TEST(ThreadContainerSteady, FirstSecondIsNeverShownEarly) {
  TSteadyClock clock;
  TRecordingPoster poster(clock);
  TMainThread run(NavigWnd, WatchWnd, {1, 30, Up, {}}, clock, poster);
  const TInstant before = clock.Now();
  run.Resume();
  ASSERT_TRUE(poster.WaitForMsg(WM_RUN_FINISHED, 5000ms));
  ASSERT_TRUE(run.WaitFor(10000));
  const auto posted = poster.Posted();
  ASSERT_EQ(posted.size(), 4u);
  EXPECT_GE(posted.front().At - before, 1s);
}

}  // namespace

namespace {

// ---------------------------------------------------------------- end time


// Seconds and lead of a run to an end; a run of no seconds is an end that has come.
std::pair<uint32_t, int64_t> Until(int endMinute, int64_t now) {
  const TRunToEnd run = RunUntilEnd(endMinute, now);
  return {run.Seconds, run.Lead.count()};
}

TEST(EndTime, SecondsLeftAroundMidnightAndInTheLastSecond) {
  using R = std::pair<uint32_t, int64_t>;
  EXPECT_EQ(Until(Minute(10, 45), At(10, 43, 0)), R(120, 0));
  EXPECT_EQ(Until(Minute(10, 45), At(10, 44, 59, 400)), R(1, 400));
  EXPECT_EQ(Until(Minute(10, 45), At(10, 44, 59, 999)), R(1, 999));  // never a run of 0
  EXPECT_EQ(Until(Minute(10, 45), At(10, 45, 0)).first, 0u);         // now: passed
  EXPECT_EQ(Until(Minute(10, 45), At(10, 45, 0, 1)).first, 0u);
  // Up to 12 hours ahead an end is to come, past midnight or not; within the 12 behind, passed.
  struct Case {
    int end;
    int64_t now;
    R run;
  };
  for (const Case& c :
       {Case{Minute(0, 8), At(23, 58, 0), R(600, 0)}, Case{Minute(0, 5), At(23, 59, 30), R(330, 0)},
        Case{Minute(0, 1), At(0, 0, 0), R(60, 0)}, Case{Minute(0, 0), At(0, 0, 0), R(0, 0)},
        Case{Minute(23, 59), At(23, 58, 59, 500), R(1, 500)},
        Case{Minute(23, 59), At(0, 0, 0, 1), R(0, 0)},
        Case{Minute(23, 58), At(23, 58, 30), R(0, 0)},
        Case{Minute(11, 59), At(23, 59, 0), R(43200, 0)},
        Case{Minute(12, 0), At(23, 59, 0), R(0, 0)}, Case{Minute(12, 0), At(0, 0, 0), R(43200, 0)},
        Case{Minute(12, 1), At(0, 0, 0), R(0, 0)}})
    EXPECT_EQ(Until(c.end, c.now), c.run) << c.end << " at " << c.now;
  EXPECT_EQ(MinuteTextAt(At(0, 0, 0) - 1), "23 h 59");  // a start before midnight, in a frame after it
  // An official start: how far ahead within the horizon, how long ago beyond it, past midnight.
  for (auto [start, now, ms] : {std::tuple{Minute(8, 0), At(7, 59, 57, 500), int64_t{2'500}},
                                {Minute(8, 0), At(8, 0, 0), int64_t{0}},
                                {Minute(8, 0), At(8, 0, 0, 1), int64_t{-1}},
                                {Minute(8, 0), At(20, 0, 0), int64_t{12 * 3'600'000}},
                                {Minute(8, 0), At(19, 59, 59, 999), int64_t{-12 * 3'600'000 + 1}},
                                {Minute(0, 10), At(23, 50, 0), int64_t{20 * 60'000}}})
    EXPECT_EQ(MsToMinute(start, now), ms) << start << " at " << now;

  // The dialog opens on the end of a run of the current duration, rounded up to the minute, and
  // never on one that it would refuse (a run of nothing, a run of more than 12 hours).
  for (auto [now, duration, end] : {std::tuple{At(10, 30, 0), 900u, Minute(10, 45)},
                                    {At(10, 30, 0, 1), 900u, Minute(10, 46)},
                                    {At(23, 58, 30), 300u, Minute(0, 4)},
                                    {At(10, 0, 0), 0u, Minute(10, 1)},
                                    {At(10, 30, 0), 13 * 3600u, Minute(22, 30)},
                                    {At(23, 30, 0, 500), 20 * 3600u, Minute(11, 30)}}) {
    EXPECT_EQ(EndMinuteAfter(now, duration), end) << now << " + " << duration << " s";
    EXPECT_NE(Until(EndMinuteAfter(now, duration), now).first, 0u) << now << " + " << duration;
  }
}

// The total worked out from the wall clock, run on the engine's clock from its lead: the final
// sound comes on the minute chosen, and every second in between on a whole second of the wall
// clock, the display's seconds turning with it.
TEST(EndTime, ARunOfTheSecondsLeftEndsAtThatTimeOfDay) {
  const int end = Minute(10, 45);
  for (int64_t now : {At(10, 43, 0), At(10, 44, 57, 300), At(10, 44, 59, 999)}) {
    SCOPED_TRACE(now);
    TSimClock clock;
    TRecordingPoster poster(clock);
    const TRunToEnd toEnd = RunUntilEnd(end, now);
    TMainThread run(NavigWnd, WatchWnd, {toEnd.Seconds, 0, Down, {}}, clock, poster);
    run.Resume(toEnd.Lead);
    ASSERT_TRUE(poster.WaitForMsg(WM_RUN_FINISHED));
    const auto posted = poster.Posted();
    const int64_t finalAt =
        now + std::chrono::duration_cast<std::chrono::milliseconds>(posted.back().At - clock.Start())
                  .count();
    EXPECT_EQ(finalAt, int64_t{end} * 60'000);
    for (const TPosted& p : posted)
      ASSERT_EQ((now + std::chrono::duration_cast<std::chrono::milliseconds>(p.At - clock.Start())
                           .count()) % 1000,
                0);
  }
}

// A pause pushes the end later by its length, on the engine's own schedule; a pause under way
// counts as far as it has gone.
TEST_F(ThreadContainerSim, PausesMoveTheEnd) {
  const int end = Minute(10, 45);
  Build(RunUntilEnd(end, At(10, 43, 0)).Seconds, 0, Down);
  RunUntil(30500ms);
  Clock.Advance(50s);
  EXPECT_EQ(Run->PausedTotal(), 50s);
  Clock.Advance(40s);
  Clock.At(190s + 200ms, [this] { Run->Suspend(); });
  Clock.At(210s + 200ms, [this] { Run->Resume(); });
  Run->Resume();
  ASSERT_TRUE(Poster.WaitForMsg(WM_RUN_FINISHED));
  EXPECT_EQ(Run->PausedTotal(), 110s);
  // The final sound comes at 10:43 + 120 s + the pauses: 10:46:50, the minute shown.
  EXPECT_EQ(Poster.Posted().back().At - Clock.Start(), 230s);
  EXPECT_EQ(Poster.Messages(), ExpectedRun(120, 0, true, false, 120));
}

// ---------------------------------------------------------------- beyond the end

// The messages of the ticks after the end: the digits only, each tick on its schedule.
std::vector<TPosted> AfterTheEnd(const std::vector<TPosted>& all) {
  auto end = std::find_if(all.begin(), all.end(),
                          [](const TPosted& p) { return p.M == Finished(); });
  return end == all.end() ? std::vector<TPosted>{} : std::vector<TPosted>(end + 1, all.end());
}

TEST_F(ThreadContainerSim, CountDownGoesOnUpwardsBeyondItsEndUntilTerminated) {
  Build(5, 2, Down, true, true);
  // Once ended, a run is not paused: the count beyond the end goes on.
  Clock.At(7200ms, [this] { Run->Suspend(); });
  Clock.At(8500ms, [this] { Run->Terminate(); });
  std::vector<TMsg> expected = ExpectedRun(5, 2, true, true, 5);
  // The display turns red with the last tick, before the final sound and the box.
  expected.insert(expected.end() - 2, Overtime());
  // 00:00:01 to 00:00:04, silent although 6 and 8 are multiples of the interval.
  for (int s = 1; s <= 4; ++s) expected.push_back(Digit(5, s));
  Run->Resume();
  ASSERT_TRUE(Poster.WaitForMsg(WM_RUN_FINISHED));
  ASSERT_TRUE(Run->WaitFor(10000));
  WaitForCount(expected.size());
  Run.reset();
  EXPECT_EQ(Poster.Messages(), expected);
  const auto beyond = AfterTheEnd(Poster.Posted());
  ASSERT_EQ(beyond.size(), 4u);
  for (size_t j = 0; j < beyond.size(); ++j)
    EXPECT_EQ(beyond[j].At - Clock.Start(), std::chrono::seconds(6 + j)) << "second " << j + 1;
}

// The count beyond the end stops on 23:59:59, the most the display shows, and the run is then
// over: nothing more is posted, whatever the time.
TEST_F(ThreadContainerSim, CountBeyondTheEndStopsAt235959) {
  for (int32_t typeInc : {Down, Up}) {
    SCOPED_TRACE(typeInc);
    const uint32_t total = typeInc == Down ? 10 : OvertimeLimit - 5;
    TSimClock clock;
    TRecordingPoster poster(clock);
    TRunSettings settings{total, 0, typeInc, {}};
    settings.CountOvertime = true;
    auto run = std::make_unique<TMainThread>(NavigWnd, WatchWnd, settings, clock, poster);
    run->Resume();
    ASSERT_TRUE(poster.WaitForMsg(WM_RUN_FINISHED));
    // An engine still counting would wait on the clock again and run this.
    std::atomic<bool> waitedOn{false};
    clock.At(std::chrono::seconds(total + OvertimeLimit + 5), [&] { waitedOn = true; });
    // Until the last second is posted (a generous deadline: a busy machine may hold the engine
    // back), then a little more, so that a message too many would be seen.
    const uint32_t beyond = typeInc == Down ? OvertimeLimit : 5;
    const auto last = std::chrono::seconds(total + beyond);
    for (int i = 0; i < 1200 && poster.Posted().back().At - clock.Start() < last; ++i)
      std::this_thread::sleep_for(100ms);
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(waitedOn.load()) << "nothing after 23:59:59";
    run.reset();
    TDisplay d(typeInc == Down ? total : 0);
    for (const TMsg& m : poster.Messages()) d.Apply(m);
    EXPECT_EQ(d.Text(), "23:59:59");
    EXPECT_EQ(poster.Posted().back().At - clock.Start(), last);
  }
}

// A stall beyond the end jumps to the present with one set of digits, as during the run.
TEST_F(ThreadContainerSim, StallBeyondTheEndJumpsToThePresent) {
  Build(5, 0, Down, false, true);
  Clock.At(7200ms, [this] { Clock.Advance(600s); });
  Clock.At(608500ms, [this] { Run->Terminate(); });
  Run->Resume();
  ASSERT_TRUE(Poster.WaitForMsg(WM_RUN_FINISHED));
  WaitForCount(ExpectedRun(5, 0, true, false, 5).size() + 1 + 7);
  Run.reset();
  const auto beyond = AfterTheEnd(Poster.Posted());
  // 00:00:01, 00:00:02, then at 607.2 s one set for 00:10:02, then 00:10:03 at 608 s and
  // 00:10:04, released before the end was asked for.
  ASSERT_EQ(beyond.size(), 7u);
  TDisplay d(5);
  for (const TMsg& m : Poster.Messages()) d.Apply(m);
  EXPECT_EQ(d.Text(), "00:10:04");
  for (size_t j = 2; j < 5; ++j) EXPECT_EQ(beyond[j].At - Clock.Start(), 607200ms);
  EXPECT_EQ((std::vector<TMsg>{beyond[2].M, beyond[3].M, beyond[4].M}),
            (std::vector<TMsg>{Digit(5, 2), Digit(3, 0), Digit(2, 1)}));
  EXPECT_EQ(beyond[5].At - Clock.Start(), 608s);
  EXPECT_EQ(beyond[6].At - Clock.Start(), 609s);
}

// ---------------------------------------------------------------- taken up, woken, moved

// Taken up 600.3 s into a 20-minute count-down, 20 s paused before: one silent set of messages
// shows 00:10:00 at once, the next second 0.7 s later. Paused (5 s ago), it shows its place and
// waits; continued at 10 s, it goes on 0.7 s later.
TEST_F(ThreadContainerSim, ARunTakenUpShowsItsPlaceAtOnceAndGoesOnFromThere) {
  const std::vector<TMsg> placed = {Progress(600), Digit(5, 0), Digit(3, 0), Digit(2, 1)};
  for (bool paused : {false, true}) {
    SCOPED_TRACE(paused);
    TSimClock clock;
    TRecordingPoster poster(clock);
    TMainThread run(NavigWnd, WatchWnd, {1200, 30, Down, [] { return true; }}, clock, poster);
    const std::chrono::nanoseconds resumed = paused ? 10s : 0s;
    if (paused) clock.At(resumed, [&] { run.Resume(); });
    clock.At(resumed + 1s, [&] { run.Suspend(); });
    run.ResumeAt({600300ms, 20s, paused, paused ? 5s : 0s});
    ASSERT_TRUE(clock.WaitBlocked());
    std::vector<TMsg> expected = placed;
    for (const TMsg& m : {Progress(601), Digit(5, 9), Digit(4, 5), Digit(3, 9), Digit(2, 0)})
      expected.push_back(m);
    EXPECT_EQ(poster.Messages(), expected);
    for (size_t i = 0; i < poster.Count(); ++i)
      EXPECT_EQ(poster.Posted()[i].At - clock.Start(), i < placed.size() ? 0ns : resumed + 700ms);
    EXPECT_EQ(run.Place().PausedBefore, paused ? 35s : 20s);
  }
}

// The normal end of a count-down moved during a tick (the clock of a run to a time of day set
// back or on, time added): the next tick shows the new time left in one step, and the run ends on
// the moved end; an end moved before now comes with that tick. An end that has not come by the
// call moves even in its last half second, when the tick that brings it is already counted; one
// that has come stays, and the call says so.
TEST_F(ThreadContainerSim, AMovedEndShowsTheNewTimeLeftInOneStep) {
  const struct {
    uint32_t run, extra;
    std::chrono::milliseconds at;
    uint32_t total;
    const char* shown;  // after the next tick
    uint32_t endsAt;
    bool taken;
  } cases[] = {{600, 0, 10200ms, 300, "00:04:49", 300, true},
               {600, 0, 10200ms, 900, "00:14:49", 900, true},
               {600, 0, 10200ms, 5, "00:00:00", 11, true},
               {12, 0, 11700ms, 20, "00:00:08", 20, true},
               {12, 4, 12200ms, 20, "00:00:03", 16, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.at.count());
    TSimClock clock;
    TRecordingPoster poster(clock);
    TRunSettings settings{c.run, 0, Down, {}};
    settings.ExtraSeconds = c.extra;
    TMainThread run(NavigWnd, WatchWnd, settings, clock, poster);
    std::atomic<bool> taken{!c.taken};
    clock.At(c.at, [&] { taken = run.MoveEnd(c.total); });
    run.Resume();
    ASSERT_TRUE(poster.WaitForMsg(WM_RUN_FINISHED));
    EXPECT_EQ(taken.load(), c.taken);
    const auto ticks = SplitTicks(poster.Messages());
    ASSERT_EQ(ticks.size(), size_t(c.endsAt));
    TDisplay d(c.run);
    for (size_t k = 0; k <= size_t(c.at / 1s); ++k)
      for (const TMsg& m : ticks[k]) d.Apply(m);
    EXPECT_EQ(d.Text(), c.shown);
    EXPECT_EQ(poster.Posted().back().At - clock.Start(), std::chrono::seconds(c.endsAt));
  }
}

// A stall of more than a day beyond the end (a laptop closed over a weekend) jumps to the most
// the display shows, never past it, and the count stops there.
TEST_F(ThreadContainerSim, StallOfMoreThanADayBeyondTheEndStopsAt235959) {
  Build(5, 0, Down, false, true);
  Clock.At(7200ms, [this] { Clock.Advance(25h); });
  Run->Resume();
  ASSERT_TRUE(Poster.WaitForMsg(WM_RUN_FINISHED));
  // 00:00:01, 00:00:02, then every digit at once.
  WaitForCount(ExpectedRun(5, 0, true, false, 5).size() + 1 + 2 + 6);
  Run.reset();
  TDisplay d(5);
  for (const TMsg& m : Poster.Messages()) d.Apply(m);
  EXPECT_EQ(d.Text(), "23:59:59");
  EXPECT_EQ(AfterTheEnd(Poster.Posted()).size(), 8u);
}

}  // namespace

// ---------------------------------------------------------------- exam clock

namespace {
// The messages of the exam clock (warnings, their sound, the colour) and of the end, by tick.
std::map<uint32_t, std::vector<TMsg>> ExamTicks(const std::vector<TMsg>& all) {
  std::map<uint32_t, std::vector<TMsg>> out;
  for (const auto& tick : SplitTicks(all))
    for (const TMsg& m : tick)
      if (m.Msg == WM_SET_WARNING || m.Msg == WM_PLAY_WARNING || m.Msg == WM_SET_AMBER ||
          m.Msg == WM_PLAY_BEEP || m.Msg == WM_PLAY_FINAL)
        out[static_cast<uint32_t>(tick.front().WParam)].push_back(m);
  return out;
}
}  // namespace

// The exam clock's messages by tick, in both directions: warnings at 2 and 1 min of a 3-min run
// (3 min is none for it), the warning sound in place of the minute's beep, amber from the smallest
// warning on; a stall over three warnings brings each once, in order, with one sound; a stall
// over them and the end, the end's sound alone; a 6-s tiers-temps run ends at 8 s, a count-down
// showing the time left to the normal end, then to the extended one; two épreuves of a board that
// end at one second while the first goes on both end, with one sound. Paused at 2.2 s, an end
// moved to 3 s, then resumed into a stall past the run's end: the moved end comes before the
// run's, whether it is an épreuve's or the normal end before tiers-temps.
TEST(ExamClock, WarningsStallsAndTheExtendedEndByTick) {
  using Ticks = std::map<uint32_t, std::vector<TMsg>>;
  const struct Case {
    uint32_t total, interval, extra;
    std::vector<uint32_t> warn;
    uint32_t stall;  // seconds, from 3.2 s
    Ticks expected;
    std::string downShown;  // seconds shown by a count-down after each tick, when checked
    std::vector<TPaperEnds> papers = {};
    std::vector<TPaperEnds> moved = {};  // the run's ends (one) or its épreuves', while paused
  } cases[] = {
      {180, 60, 0, {3, 2, 1}, 0,
       {{60, {Warning(2), WarnSound()}}, {120, {Amber(true), Warning(1), WarnSound()}},
        {180, {Beep(), FinalSound()}}}, ""},
      {600, 0, 0, {5, 3, 1}, 550,
       {{553, {Amber(true), Warning(5), Warning(3), Warning(1), WarnSound()}},
        {600, {FinalSound()}}}, ""},
      {600, 0, 0, {5, 3, 1}, 700,
       {{600, {Amber(true), Warning(5), Warning(3), Warning(1), FinalSound()}}}, ""},
      {6, 0, 2, {}, 0, {{6, {Warning(0), WarnSound()}}, {8, {FinalSound()}}}, "54321210"},
      {80, 0, 0, {}, 0, {{60, {PaperEnd(1), PaperEnd(2), FinalSound()}}, {80, {FinalSound()}}}, "",
       {{80, 0}, {60, 0}, {60, 0}}},
      {600, 0, 0, {}, 14400, {{600, {PaperEnd(0), FinalSound()}}}, "", {{60, 0}, {600, 0}},
       {{3, 0}, {600, 0}}},
      {600, 0, 0, {}, 14400, {{600, {PaperEnd(0), FinalSound()}}}, "", {{60, 0}, {600, 0}},
       {{1, 0}, {600, 0}}},
      {60, 0, 20, {}, 14400, {{23, {Warning(0), FinalSound()}}}, "", {}, {{3, 20}}},
  };
  for (const Case& c : cases)
    for (int32_t direction : {Up, Down}) {
      SCOPED_TRACE(std::to_string(c.total) + (direction == Up ? " up" : " down"));
      TSimClock clock;
      TRecordingPoster poster(clock);
      TRunSettings settings{c.total, c.interval, direction, [] { return true; }};
      settings.WarnMinutes = c.warn;
      settings.ExtraSeconds = c.extra;
      settings.Papers = c.papers;
      TMainThread run(NavigWnd, WatchWnd, settings, clock, poster);
      const std::chrono::nanoseconds stall = std::chrono::seconds(c.stall);
      std::atomic<bool> moved{true};
      if (!c.moved.empty())
        clock.At(2200ms, [&] {
          run.Suspend();
          moved = c.papers.empty() ? run.MoveEnds(c.moved[0].TotalSeconds, c.moved[0].ExtraSeconds)
                                   : run.MovePapers(c.moved);
        });
      if (c.stall != 0) clock.At(3200ms, [&] {
        run.Resume();
        clock.Advance(stall);
      });
      run.Resume();
      ASSERT_TRUE(poster.WaitForMsg(WM_RUN_FINISHED));
      EXPECT_TRUE(moved.load());
      EXPECT_EQ(ExamTicks(poster.Messages()), c.expected);
      EXPECT_EQ(poster.Posted().back().At - clock.Start(),
                std::max<std::chrono::nanoseconds>(std::chrono::seconds(c.total + c.extra),
                                                   c.stall != 0 ? 3200ms + stall : 0ns));
      if (c.downShown.empty() || direction == Up) continue;
      std::string shown;
      TDisplay d(c.total);
      for (const auto& tick : SplitTicks(poster.Messages())) {
        for (const TMsg& m : tick) d.Apply(m);
        shown += d.Text().back();
      }
      EXPECT_EQ(shown, c.downShown);
    }
}

// An hour with 20 min of extra time and warnings at 30 and 10 min: until the normal end they
// count to it; after it, to the extended end, where 30 min no longer fits. A third is rounded up
// to the second, or to the minute for a run to a time of day.
TEST(ExamClock, PlanOfEventsAndColorsWithExtraTime) {
  const TExamPlan plan(3600, ExtraThirdSeconds(3600, false), {30, 10});
  using E = TExamEvent;
  EXPECT_EQ(plan.Events(0, 3599).Latest(), (E{TExamEventKind::Warning, 10}));
  EXPECT_EQ(plan.Events(0, 4199).Latest(), (E{TExamEventKind::NormalEnd, 0}));
  EXPECT_EQ(plan.Events(4199, 4200).Latest(), (E{TExamEventKind::Warning, 10}));
  EXPECT_EQ(plan.Events(4200, 4800).Latest(), E{});
  std::vector<uint32_t> turns;  // the seconds at which the colour changes
  for (uint32_t e = 1; e <= plan.Length(); ++e)
    if (plan.AmberAt(e) != plan.AmberAt(e - 1)) turns.push_back(e);
  EXPECT_EQ(turns, (std::vector<uint32_t>{3000, 3600, 4200}));
  for (auto [total, minutes, extra] : std::vector<std::tuple<uint32_t, bool, uint32_t>>{
           {6, false, 2}, {7, false, 3}, {3000, true, 1020}, {2701, true, 960}, {0, false, 0}})
    EXPECT_EQ(ExtraThirdSeconds(total, minutes), extra) << total;
}
