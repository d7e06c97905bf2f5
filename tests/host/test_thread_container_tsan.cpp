// The timing engine under real concurrency, for ThreadSanitizer: pauses and
// destruction arriving at random instants from other threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <random>
#include <thread>

#include "run/uThreadContainer.h"
#include "sim_clock.h"

using namespace tavelin_test;

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::microseconds RandomMicros(std::mt19937& rng, int max) {
  return std::chrono::microseconds(std::uniform_int_distribution<int>(0, max)(rng));
}

bool IsPrefix(const std::vector<TMsg>& got, const std::vector<TMsg>& whole) {
  return got.size() <= whole.size() && std::equal(got.begin(), got.end(), whole.begin());
}

// Thousands of pauses and resumes land anywhere in the ticks, on the
// container's waits and hand-overs alike, while another thread keeps asking
// for the state and moving the end (which a count-up does not show). The
// clock is simulated, so however busy the machine, no wake-up is ever late;
// and the run is a day long, ended once the storm is over, so it cannot
// finish first.
TEST(ThreadContainerConcurrency, RandomPausesNeitherLoseNorRepeatTicks) {
  TSimClock clock;
  TRecordingPoster poster(clock);
  std::atomic<bool> beeps{true};
  constexpr uint32_t Day = 86400;
  TMainThread run(NavigWnd, WatchWnd, {Day, 7, 0, [&] { return beeps.load(); }}, clock,
                  poster);

  std::atomic<bool> storming{true};
  std::atomic<int> observedPaused{0};
  std::thread observer([&] {
    for (uint32_t i = 0; storming; ++i) {
      if (run.Suspended()) ++observedPaused;
      EXPECT_FALSE(run.WaitFor(0));
      EXPECT_TRUE(run.MoveEnd(Day + i % 2));
      std::this_thread::yield();
    }
  });

  std::mt19937 rng(20240611);
  run.Resume();
  for (int i = 0; i < 2000; ++i) {
    std::this_thread::sleep_for(RandomMicros(rng, 600));
    run.Suspend();
    std::this_thread::sleep_for(RandomMicros(rng, 300));
    run.Resume();
  }
  storming = false;
  observer.join();
  run.Terminate();
  ASSERT_TRUE(run.WaitFor(30000));

  EXPECT_GT(observedPaused.load(), 0);
  const std::vector<TMsg> got = poster.Messages();
  const auto ticks = static_cast<uint32_t>(SplitTicks(got).size());
  EXPECT_GT(ticks, 100u);
  const std::vector<TMsg> expected = ExpectedRun(Day, 7, false, true, ticks);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], expected[i]) << "message " << i;
}

// Destruction from the caller's thread at random points of a fast run, paused
// or not, with a termination request or not: it always returns well within
// the control bar's 500 ms, and what was posted is a clean prefix of the run
// that nothing is added to afterwards.
// On a simulated clock, so that a busy machine cannot make a wake-up late by a
// whole tick (which would fold ticks together); the run is a day long, which
// no random delay reaches.
TEST(ThreadContainerConcurrency, DestroyAtRandomInstantsStopsAtOnce) {
  constexpr uint32_t Total = 86400;
  const std::vector<TMsg> whole = ExpectedRun(Total, 3, true, true, Total);
  std::mt19937 rng(7);
  std::vector<std::unique_ptr<TSimClock>> clocks;
  std::vector<std::unique_ptr<TRecordingPoster>> posters;
  std::vector<size_t> countsAtDestroy;
  Clock::duration slowest{};
  for (int i = 0; i < 150; ++i) {
    clocks.push_back(std::make_unique<TSimClock>());
    TSimClock& clock = *clocks.back();
    posters.push_back(std::make_unique<TRecordingPoster>(clock));
    auto run = std::make_unique<TMainThread>(
        NavigWnd, WatchWnd, TRunSettings{Total, 3, 1, [] { return true; }}, clock,
        *posters.back(), [](int) {});
    const int how = i % 4;  // parked, running, paused, paused and terminated
    if (how != 0) {
      run->Resume();
      std::this_thread::sleep_for(RandomMicros(rng, 30000));
    }
    if (how >= 2) run->Suspend();
    if (how == 3) run->Terminate();

    const auto start = Clock::now();
    run.reset();
    slowest = std::max(slowest, Clock::now() - start);
    countsAtDestroy.push_back(posters.back()->Count());
  }
  std::this_thread::sleep_for(50ms);
  EXPECT_LT(slowest, 500ms);
  for (size_t i = 0; i < posters.size(); ++i) {
    SCOPED_TRACE(i);
    const std::vector<TMsg> got = posters[i]->Messages();
    EXPECT_EQ(got.size(), countsAtDestroy[i]);
    EXPECT_TRUE(IsPrefix(got, whole));
    if (i % 4 == 0) {
      EXPECT_TRUE(got.empty());
    }
  }
}

// Beyond the end the engine goes on while the window that got the end asks
// for pauses and a moved end (refused now), the time paused and the end of the count from
// another thread, then destroys it: the digits go on counting up, one second
// at a time, and nothing else is posted.
TEST(ThreadContainerConcurrency, CountBeyondTheEndWithRequestsFromAnotherThread) {
  TSimClock clock;
  TRecordingPoster poster(clock);
  TRunSettings settings{3, 1, 1, [] { return true; }};
  settings.CountOvertime = true;
  auto run = std::make_unique<TMainThread>(NavigWnd, WatchWnd, settings, clock, poster);
  run->Resume();
  ASSERT_TRUE(poster.WaitForMsg(WM_RUN_FINISHED));
  std::atomic<bool> storming{true};
  std::thread other([&] {
    while (storming) {
      run->Suspend();
      EXPECT_FALSE(run->Suspended());
      run->Resume();
      EXPECT_EQ(run->PausedTotal(), std::chrono::nanoseconds{0});
      EXPECT_FALSE(run->MoveEnd(10));  // an end that has come stays
    }
    run->Terminate();
  });
  // Until ten seconds beyond the end are counted, however long a busy machine holds it back.
  auto secondsBeyond = [&] {
    const std::vector<TMsg> got = poster.Messages();
    return std::count_if(std::find(got.begin(), got.end(), TMsg{NavigWnd, WM_RUN_FINISHED, 0, 0}),
                         got.end(), [](const TMsg &m) { return m.Msg == WM_SET_DIGIT && m.WParam == 5; });
  };
  std::this_thread::sleep_for(50ms);
  for (int i = 0; i < 1000 && secondsBeyond() <= 10; ++i) std::this_thread::sleep_for(10ms);
  storming = false;
  other.join();
  run.reset();

  const std::vector<TMsg> got = poster.Messages();
  const auto end = std::find(got.begin(), got.end(), TMsg{NavigWnd, WM_RUN_FINISHED, 0, 0});
  ASSERT_NE(end, got.end());
  TDisplay shown;
  uint32_t seconds = 0;
  for (auto m = end + 1; m != got.end(); ++m) {
    ASSERT_EQ(m->Msg, WM_SET_DIGIT);
    shown.Apply(*m);
    if (m->WParam == 5) ++seconds;
  }
  EXPECT_GT(seconds, 10u);
  EXPECT_EQ(shown.Text(), TDisplay(seconds).Text());
}

// On the production clock a container waits for whole seconds: destruction
// must cut those waits short rather than sit them out.
TEST(ThreadContainerConcurrency, SteadyClockWaitsAreCutShortByDestruction) {
  for (int how = 0; how < 3; ++how) {  // parked, inside a tick, paused
    SCOPED_TRACE(how);
    TSteadyClock clock;
    TRecordingPoster poster(clock);
    auto run = std::make_unique<TMainThread>(NavigWnd, WatchWnd,
                                             TRunSettings{0, 30, 0, {}}, clock, poster);
    if (how >= 1) {
      run->Resume();
      std::this_thread::sleep_for(100ms);
    }
    if (how == 2) run->Suspend();
    const auto start = Clock::now();
    run.reset();
    EXPECT_LT(Clock::now() - start, 500ms);  // far from the second that a wait would sit out
    EXPECT_EQ(poster.Count(), 0u);
  }
}

}  // namespace
