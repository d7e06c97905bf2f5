// Test doubles for the timing engine: a simulated clock and a poster that
// records what was posted and when.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "run/uThreadContainer.h"

namespace tavelin_test {

using namespace std::chrono_literals;
using TInstant = TChronoClock::TInstant;

// Simulated time for a single container. Time moves only when the container
// waits on it: a wait for a deadline jumps straight to that deadline, so hours
// of ticks take milliseconds, and since the container waits on the clock only
// while both workers are parked, every post happens at an exact instant.
// Actions scheduled with At() run on the container's thread, inside its wait,
// at their instant and before anything the engine has due at the same instant.
// SetLateness() makes every such wake-up late, as a busy machine would.
// A wait with no deadline and nothing scheduled really blocks; WaitBlocked()
// lets the test see that state, and Advance() lets time pass meanwhile.
class TSimClock final : public TChronoClock {
 public:
  explicit TSimClock(TInstant start = 1000s) : FStart(start), FNow(start) {}

  TInstant Start() const { return FStart; }

  TInstant Now() override {
    std::lock_guard<std::mutex> guard(FMutex);
    return FNow;
  }

  void WaitUntil(std::unique_lock<TEngineMutex>& lock, TEngineCondition& wake,
                 TInstant deadline) override {
    std::function<void()> action;
    {
      std::lock_guard<std::mutex> guard(FMutex);
      auto next = FEvents.begin();
      if (next != FEvents.end() && next->first <= deadline) {
        FNow = std::max(FNow, next->first);
        action = std::move(next->second);
        FEvents.erase(next);
      } else if (deadline != NoDeadline) {
        FNow = std::max(FNow, deadline + (FLateness ? FLateness() : TInstant{}));
        return;
      } else {
        FBlocked = true;
        FBlockedChanged.notify_all();
      }
    }
    if (action) {
      lock.unlock();
      action();
      lock.lock();
      return;
    }
    wake.wait(lock);
    std::lock_guard<std::mutex> guard(FMutex);
    FBlocked = false;
  }

  // `when` is measured from Start().
  void At(std::chrono::nanoseconds when, std::function<void()> action) {
    std::lock_guard<std::mutex> guard(FMutex);
    FEvents.emplace(FStart + when, std::move(action));
  }

  // Every wake-up at a deadline comes this much late (set before the run).
  void SetLateness(std::function<TInstant()> lateness) {
    std::lock_guard<std::mutex> guard(FMutex);
    FLateness = std::move(lateness);
  }

  // Only while the container is blocked with nothing scheduled.
  void Advance(std::chrono::nanoseconds by) {
    std::lock_guard<std::mutex> guard(FMutex);
    FNow += by;
  }

  bool WaitBlocked(std::chrono::milliseconds realTimeout = 60000ms) {
    std::unique_lock<std::mutex> lock(FMutex);
    return FBlockedChanged.wait_for(lock, realTimeout, [this] { return FBlocked; });
  }

 private:
  const TInstant FStart;
  std::mutex FMutex;
  TInstant FNow;
  std::multimap<TInstant, std::function<void()>> FEvents;
  std::function<TInstant()> FLateness;
  bool FBlocked = false;
  std::condition_variable FBlockedChanged;
};

// A message without its time, for comparing sequences.
struct TMsg {
  uintptr_t Window;
  unsigned Msg;
  uintptr_t WParam;
  intptr_t LParam;
  bool operator==(const TMsg&) const = default;
};

inline std::string MsgName(unsigned msg) {
  switch (msg) {
    case WM_RUN_FINISHED: return "RUN_FINISHED";
    case WM_PLAY_BEEP: return "PLAY_BEEP";
    case WM_PLAY_FINAL: return "PLAY_FINAL";
    case WM_SET_DIGIT: return "SET_DIGIT";
    case WM_SET_PROGRESS: return "SET_PROGRESS";
    case WM_SET_OVERTIME: return "SET_OVERTIME";
    case WM_SET_WARNING: return "SET_WARNING";
    case WM_SET_AMBER: return "SET_AMBER";
    case WM_PLAY_WARNING: return "PLAY_WARNING";
    default: return "msg " + std::to_string(msg);
  }
}

inline void PrintTo(const TMsg& m, std::ostream* os) {
  *os << "{" << m.Window << " " << MsgName(m.Msg) << " " << m.WParam << " "
      << m.LParam << "}";
}

struct TPosted {
  TMsg M;
  TInstant At;
};

// Records every post with the clock's time. OnPost, if set before the run,
// is called on the posting thread just before the message is recorded.
class TRecordingPoster final : public TMessagePoster {
 public:
  explicit TRecordingPoster(TChronoClock& clock) : FClock(clock) {}

  std::function<void(const TMsg&)> OnPost;

  void Post(uintptr_t window, unsigned msg, uintptr_t wParam,
            intptr_t lParam) override {
    const TPosted posted{{window, msg, wParam, lParam}, FClock.Now()};
    // Before publishing, so that whoever waits for this message also sees
    // what OnPost did.
    if (OnPost) OnPost(posted.M);
    {
      std::lock_guard<std::mutex> guard(FMutex);
      FPosted.push_back(posted);
      ++FSeen[msg];
    }
    FChanged.notify_all();
  }

  std::vector<TPosted> Posted() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FPosted;
  }

  std::vector<TMsg> Messages() const {
    std::vector<TMsg> out;
    for (const TPosted& p : Posted()) out.push_back(p.M);
    return out;
  }

  size_t Count() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FPosted.size();
  }

  bool WaitForMsg(unsigned msg, std::chrono::milliseconds realTimeout = 120000ms) {
    std::unique_lock<std::mutex> lock(FMutex);
    return FChanged.wait_for(lock, realTimeout, [&] { return FSeen[msg] > 0; });
  }

 private:
  TChronoClock& FClock;
  mutable std::mutex FMutex;
  std::condition_variable FChanged;
  std::vector<TPosted> FPosted;
  std::map<unsigned, size_t> FSeen;
};

constexpr uintptr_t NavigWnd = 0x1001;
constexpr uintptr_t WatchWnd = 0x2002;

// A time of day in milliseconds since midnight, and a minute of the day.
constexpr int64_t At(int h, int m, int s, int ms = 0) {
  return ((int64_t{h} * 60 + m) * 60 + s) * 1000 + ms;
}
constexpr int Minute(int h, int m) { return h * 60 + m; }

inline TMsg Progress(uint32_t elapsed) {
  return {WatchWnd, WM_SET_PROGRESS, elapsed, 0};
}
inline TMsg Digit(unsigned position, int value) {
  return {WatchWnd, WM_SET_DIGIT, position, value};
}
inline TMsg Beep() { return {NavigWnd, WM_PLAY_BEEP, 0, 0}; }
inline TMsg Final() { return {NavigWnd, WM_PLAY_FINAL, 0, 0}; }
inline TMsg Finished() { return {NavigWnd, WM_RUN_FINISHED, 0, 0}; }
inline TMsg Overtime() { return {WatchWnd, WM_SET_OVERTIME, 0, 0}; }
// minutes 0: the normal end of a run with extra time.
inline TMsg Warning(unsigned minutes) {
  return {WatchWnd, WM_SET_WARNING, minutes, minutes == 0 ? 2 : 1};
}
// The end of épreuve `paper` of several, while others go on.
inline TMsg PaperEnd(unsigned paper) {
  return {WatchWnd, WM_SET_WARNING, uintptr_t{paper} << 16, 3};
}
inline TMsg WarnSound() { return {NavigWnd, WM_PLAY_WARNING, 0, 0}; }
inline TMsg FinalSound() { return {NavigWnd, WM_PLAY_FINAL, 0, 0}; }
inline TMsg Amber(bool on) { return {WatchWnd, WM_SET_AMBER, on ? 1u : 0u, 0}; }

// The six display digits of a number of seconds, hours held in 8 bits as the
// display's starting value is.
inline std::array<int, 6> DigitsOf(uint32_t seconds) {
  const int h = static_cast<uint8_t>(seconds / 3600);
  const int m = seconds % 3600 / 60;
  const int s = seconds % 60;
  return {h / 10, h % 10, m / 10, m % 10, s / 10, s % 10};
}

// What the giant display shows, driven by WM_SET_DIGIT only.
struct TDisplay {
  std::array<int, 6> D{};
  explicit TDisplay(uint32_t startSeconds = 0) : D(DigitsOf(startSeconds)) {}
  void Apply(const TMsg& m) {
    if (m.Msg == WM_SET_DIGIT && m.WParam < 6) D[m.WParam] = static_cast<int>(m.LParam);
  }
  std::string Text() const {
    std::string t;
    for (int i = 0; i < 6; ++i) {
      if (i == 2 || i == 4) t += ':';
      t += std::to_string(D[i]);
    }
    return t;
  }
};

// Cuts a message stream into ticks; each tick begins with its progress.
inline std::vector<std::vector<TMsg>> SplitTicks(const std::vector<TMsg>& all) {
  std::vector<std::vector<TMsg>> ticks;
  for (const TMsg& m : all) {
    if (m.Msg == WM_SET_PROGRESS || ticks.empty()) ticks.emplace_back();
    ticks.back().push_back(m);
  }
  return ticks;
}

// The messages a run should post, worked out from the display alone rather
// than from the engine's bookkeeping: each tick posts its progress, then
// exactly the digits that differ between the values shown before and after it
// (positions 5 down to 0), then the beep, then on the last tick the final
// sound and the end. `ticks` cuts an open-ended run.
inline std::vector<TMsg> ExpectedRun(uint32_t total, uint32_t interval,
                                     bool countDown, bool beeps, uint32_t ticks) {
  std::vector<TMsg> out;
  uint32_t shown = countDown ? total : 0;
  for (uint32_t k = 1; k <= ticks; ++k) {
    const auto before = DigitsOf(shown);
    shown = countDown ? shown - 1 : shown + 1;
    const auto after = DigitsOf(shown);
    out.push_back(Progress(k));
    for (int pos = 5; pos >= 0; --pos)
      if (before[pos] != after[pos]) out.push_back(Digit(pos, after[pos]));
    if (beeps && interval != 0 && k % interval == 0) out.push_back(Beep());
    if (k == total) {
      out.push_back(Final());
      out.push_back(Finished());
    }
  }
  return out;
}

}  // namespace tavelin_test
