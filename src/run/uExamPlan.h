// uExamPlan - the exam clock's arithmetic: warnings before an end, and the extra time (tiers-temps)
// that gives a run a second, extended end. Free of any platform header; the timing engine asks it
// what each tick brings.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "run/uExamPaper.h"

// The extra time of a run of `totalSeconds`: a third of it, rounded up to the second, or to the
// minute for a run to a time of day (whose normal end is on a minute, so that its extended end
// falls on one too).
uint32_t ExtraThirdSeconds(uint32_t totalSeconds, bool wholeMinutes);

// PaperEnd: the last end of one épreuve of several, when others go on (the last end of all is
// the run's own end).
enum class TExamEventKind : uint8_t { None = 0, Warning = 1, NormalEnd = 2, PaperEnd = 3 };

struct TExamEvent {
  TExamEventKind Kind = TExamEventKind::None;
  uint32_t Minutes = 0;  // a warning's minutes before its end
  uint8_t Paper = 0;     // the épreuve whose end it is, 0 for the run's own
  bool operator==(const TExamEvent &) const = default;
};

// One épreuve's ends in run time (paused time excluded), as the engine counts to them.
struct TPaperEnds {
  uint32_t TotalSeconds = 0;  // the normal end
  uint32_t ExtraSeconds = 0;  // the extended end this long after it; 0: none
  uint32_t Last() const { return TotalSeconds + ExtraSeconds; }
  bool operator==(const TPaperEnds &) const = default;
};

// A run's ends in run time. With several épreuves, each one's are in Papers (row order), and the
// run's own are those of the last end of all: TotalSeconds is it, ExtraSeconds 0.
struct TRunEnds {
  uint32_t TotalSeconds = 0;  // the normal end; 0: open-ended
  uint32_t ExtraSeconds = 0;  // the extended end this long after it; 0: none
  std::vector<TPaperEnds> Papers = {};
  bool operator==(const TRunEnds &) const = default;
};

class TTickEvents;

// Whether the seconds digits are lit, `elapsed` seconds into a run of `total` seconds with `extra`
// more (tiers-temps), when they are to light only in the last `nearEndMinutes` minutes before the
// end being counted to (the normal end, then the extended one); 0 minutes lights them always, as
// do an open-ended run (total 0), the end itself and the time beyond it.
bool SecondsLit(uint32_t elapsed, uint32_t total, uint32_t extra, uint32_t nearEndMinutes,
                bool overtime);

// One run's ends and warnings. Until the normal end, the warnings count to it; after it, to the
// extended end, which is the only end of a run without extra time. A warning not shorter than the
// stretch it counts down in is skipped: the run's total before the normal end, the extra time
// after it.
class TExamPlan {
public:
  // A plan keeps the three largest warnings it is given (as many as the settings keep) and the
  // first MaxPapers épreuves, so that every event of a run fits in one tick's list: a stall may
  // pass them all.
  static constexpr size_t MaxWarnings = 3;
  static constexpr size_t MaxEvents = MaxPapers * (2 * MaxWarnings + 2);

  TExamPlan() = default;
  // total: 0 for an open-ended run, which has neither ends nor warnings.
  TExamPlan(uint32_t totalSeconds, uint32_t extraSeconds, const std::vector<uint32_t> &warnMinutes);
  // Several épreuves started together: each warns before its own ends, its normal end with
  // tiers-temps is an event, and so is its last end while others go on. The run lasts to the
  // last end of all, and its digits (the time of day) never turn amber.
  TExamPlan(const std::vector<TPaperEnds> &papers, const std::vector<uint32_t> &warnMinutes);

  // Where the run ends for good: the total plus the extra time.
  uint32_t Length() const { return total_ + extra_; }
  // The end that the digits of a count-down show the time left to, `elapsed` seconds in.
  uint32_t EndAt(uint32_t elapsed) const;
  // Every event after `before` and at or before `after`, in the order they come: a jump over
  // several brings them all.
  TTickEvents Events(uint32_t before, uint32_t after) const;
  // The same, each with the second it comes at, however many they are.
  std::vector<std::pair<uint32_t, TExamEvent>> Timed(uint32_t before, uint32_t after) const;
  // Amber digits: from the smallest warning of the current stretch until its end.
  bool AmberAt(uint32_t elapsed) const;

private:
  struct TMoment {
    uint32_t At;
    TExamEvent Event;
  };
  uint32_t total_ = 0, extra_ = 0;
  // Warnings before the ends of `ends`, for épreuve `paper`.
  void Warn(const std::vector<uint32_t> &warnSeconds, const TPaperEnds &ends, uint8_t paper);
  void Sort();
  std::vector<TMoment> moments_;  // by time, the weightier of one second last
  // The smallest warning of each stretch, in seconds (0: none): before and after the normal end.
  uint32_t amberBefore_ = 0, amberAfter_ = 0;
};

// The events of one tick, in the order they came: by time, and at one second a warning before a
// normal end before an épreuve's end. Fixed room, so that a tick never allocates.
class TTickEvents {
public:
  bool Empty() const { return count_ == 0; }
  size_t Size() const { return count_; }
  const TExamEvent *begin() const { return items_.data(); }
  const TExamEvent *end() const { return items_.data() + count_; }
  // The one that sounds and that the display keeps showing: the latest, and of its second the
  // weightiest. None for an empty tick.
  TExamEvent Latest() const { return count_ == 0 ? TExamEvent{} : items_[count_ - 1]; }
  void Clear() { count_ = 0; }
  // Beyond the room nothing is kept; a plan never gives a tick more.
  void Add(const TExamEvent &event) {
    if (count_ < items_.size()) items_[count_++] = event;
  }
  bool operator==(const TTickEvents &other) const {
    return std::equal(begin(), end(), other.begin(), other.end());
  }

private:
  std::array<TExamEvent, TExamPlan::MaxEvents> items_{};
  size_t count_ = 0;
};
