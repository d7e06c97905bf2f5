// uRunModel - a run on the wall clock. See the header.
#include "timing/uRunModel.h"

#include <algorithm>
#include <utility>

#include "timing/uEndTime.h"
#include "timing/uExamPlan.h"

namespace {

int64_t Ms(std::chrono::nanoseconds d) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

// `ms` as the local clock's nearer way round midnight from `from`: within half a day.
int64_t Nearest(int64_t ms, int64_t from) {
  int64_t d = ((ms - from) % MsPerDay + MsPerDay) % MsPerDay;
  if (d > MsPerDay / 2) d -= MsPerDay;
  return from + d;
}

// `minute` of the day, on the local clock at or after `from` (within a day).
int64_t MinuteAtOrAfter(int minute, int64_t from) {
  const int64_t d = ((int64_t{minute} * 60'000 - from) % MsPerDay + MsPerDay) % MsPerDay;
  return from + d;
}

uint32_t ExtraFor(const TRunChoice &choice, uint32_t total) {
  return choice.ExtraThird && total != 0 ? ExtraThirdSeconds(total, choice.EndMinute >= 0) : 0;
}

}  // namespace

void TRunModel::Choose(const TRunChoice &choice) {
  *this = TRunModel{};
  choice_ = choice;
  if (choice_.EndMinute >= MinutesPerDay) choice_.EndMinute = -1;
}

TRunEnds TRunModel::Ends(const TWallNow &now) const {
  if (fixed_) return engineEnds_;
  const uint32_t total = ToTimeOfDay() ? RunUntilEnd(choice_.EndMinute, now.LocalMs).Seconds
                                       : choice_.TotalSeconds;
  return {total, ExtraFor(choice_, total)};
}

TRunTimes TRunModel::Times(const TWallNow &now) const {
  TRunTimes t;
  if (!fixed_) {
    const TRunEnds ends = Ends(now);
    t.HasEnd = ToTimeOfDay() || ends.TotalSeconds != 0;
    t.NormalEndMs = ToTimeOfDay() ? MinuteAtOrAfter(choice_.EndMinute, now.LocalMs)
                                  : now.LocalMs + int64_t{ends.TotalSeconds} * 1000;
    t.HasExtended = ends.ExtraSeconds != 0;
    t.ExtendedEndMs = t.NormalEndMs + int64_t{ends.ExtraSeconds} * 1000;
    return t;
  }
  t.Started = true;
  t.StartMs = startLocal_ + leadMs_;
  t.AddedSeconds = AddedSeconds();
  t.HasEnd = total_ != 0;
  if (!t.HasEnd) return t;
  const int64_t after = PausedAfterNormalEndMs(now.UtcMs);
  const int64_t before = PausedMsAt(now.UtcMs) - after;
  // A duration's ends follow its start; a time of day's stay on the minute chosen.
  const int64_t normal = (ToTimeOfDay() ? MinuteAtOrAfter(choice_.EndMinute, startLocal_)
                                        : startLocal_ + int64_t{total_} * 1000) +
                         int64_t{addedBefore_} * 1000 + before;
  t.NormalEndMs = normalEndFrozen_ ? normalEndLocal_ : normal;
  t.HasExtended = extra_ != 0;
  t.ExtendedEndMs = normal + (int64_t{extra_} + addedAfter_) * 1000 + after;
  return t;
}

bool TRunModel::Fix(const TWallNow &now) {
  if (fixed_) return true;
  uint32_t total = choice_.TotalSeconds;
  leadMs_ = 0;
  if (ToTimeOfDay()) {
    const TRunToEnd run = RunUntilEnd(choice_.EndMinute, now.LocalMs);
    if (run.Seconds == 0) return false;
    total = run.Seconds;
    leadMs_ = run.Lead.count();
  }
  total_ = total;
  extra_ = ExtraFor(choice_, total);
  engineEnds_ = {total_, extra_};
  fixed_ = true;
  return true;
}

void TRunModel::Start(TMainThread &engine, const TWallNow &now) {
  if (!fixed_ && !Fix(now)) return;
  if (!begun_) {
    // The first start: the run stands at 0 of run time a lead before now, so that it ends on
    // the minute chosen.
    begun_ = true;
    startUtc_ = now.UtcMs - leadMs_;
    startLocal_ = now.LocalMs - leadMs_;
    engine.Resume(std::chrono::milliseconds(leadMs_));
    return;
  }
  if (!paused_) return;
  const int64_t pause = std::max<int64_t>(0, now.UtcMs - pausedSinceUtc_);
  pausedMs_ += pause;
  if (pauseAfterNormal_) pausedAfterNormalMs_ += pause;
  paused_ = false;
  engine.Resume();
}

void TRunModel::Pause(TMainThread &engine, const TWallNow &now) {
  if (!begun_ || paused_) return;
  pauseAfterNormal_ = total_ != 0 && RunMsAt(now.UtcMs) >= int64_t{engineEnds_.TotalSeconds} * 1000;
  paused_ = true;
  pausedSinceUtc_ = now.UtcMs;
  engine.Suspend();
}

void TRunModel::TakeUp(const TRunRecord &record, TMainThread &engine, const TWallNow &now) {
  Place(record, now);
  engine.ResumeAt(PlaceAt(now.UtcMs));
  // A run to a time of day ends at that time, whatever the clock did meanwhile.
  ClockChanged(engine, now);
}

uint32_t TRunModel::DigitsAt(std::chrono::nanoseconds runTime, bool countsDown) const {
  const auto elapsed = uint32_t(std::max<int64_t>(0, Ms(runTime)) / 1000);
  const TRunEnds ends = engineEnds_;
  if (!countsDown || ends.TotalSeconds == 0) return elapsed;
  const uint32_t end = ends.ExtraSeconds != 0 && elapsed < ends.TotalSeconds
                           ? ends.TotalSeconds
                           : ends.TotalSeconds + ends.ExtraSeconds;
  return elapsed < end ? end - elapsed : 0;
}

void TRunModel::Place(const TRunRecord &record, const TWallNow &now) {
  Choose({record.TotalSeconds, record.EndMinute, record.ExtraThird});
  fixed_ = begun_ = true;
  engineEnds_ = {record.TotalSeconds, record.ExtraThird ? record.ExtraSeconds : 0};
  addedBefore_ = record.AddedSeconds;
  addedAfter_ = record.AddedAfterNormalSeconds;
  total_ = uint32_t(std::max<int64_t>(1, int64_t{record.TotalSeconds} - addedBefore_));
  // A first version's record knew only the extended time as the engine counted it.
  extra_ = !record.ExtraThird ? 0
           : record.PlannedExtraSeconds != 0
               ? record.PlannedExtraSeconds
               : uint32_t(std::max<int64_t>(0, int64_t{record.ExtraSeconds} - addedAfter_));
  if (record.TotalSeconds == 0) total_ = 0;
  pausedAfterNormalMs_ = record.PausedAfterNormalMs;
  startUtc_ = record.StartUtcMs;
  startLocal_ = now.LocalMs - (now.UtcMs - record.StartUtcMs);
  pausedMs_ = record.PausedMs;
  paused_ = record.Paused;
  pausedSinceUtc_ = record.PausedSinceUtcMs;
  pauseAfterNormal_ = paused_ && engineEnds_.TotalSeconds != 0 &&
                      pausedSinceUtc_ - startUtc_ - pausedMs_ >=
                          int64_t{engineEnds_.TotalSeconds} * 1000;
}

int64_t TRunModel::PausedMsAt(int64_t utcMs) const {
  return pausedMs_ + (paused_ ? std::max<int64_t>(0, utcMs - pausedSinceUtc_) : 0);
}

int64_t TRunModel::PausedAfterNormalEndMs(int64_t utcMs) const {
  return pausedAfterNormalMs_ +
         (paused_ && pauseAfterNormal_ ? std::max<int64_t>(0, utcMs - pausedSinceUtc_) : 0);
}

int64_t TRunModel::RunMsAt(int64_t utcMs) const {
  if (!begun_) return 0;
  return (paused_ ? pausedSinceUtc_ : utcMs) - startUtc_ - pausedMs_;
}

TRunPlace TRunModel::PlaceAt(int64_t utcMs) const {
  TRunPlace place;
  if (!begun_) return place;
  place.RunTime = std::chrono::milliseconds(std::max<int64_t>(0, RunMsAt(utcMs)));
  place.PausedBefore = std::chrono::milliseconds(pausedMs_);
  place.Paused = paused_;
  if (paused_) place.PausedFor = std::chrono::milliseconds(std::max<int64_t>(0, utcMs - pausedSinceUtc_));
  return place;
}

void TRunModel::FillRecord(TRunRecord &record, int64_t utcMs) const {
  record.TotalSeconds = engineEnds_.TotalSeconds;
  record.ExtraSeconds = engineEnds_.ExtraSeconds;
  record.EndMinute = choice_.EndMinute;
  record.ExtraThird = choice_.ExtraThird;
  record.PausedAfterNormalMs = pausedAfterNormalMs_;
  record.AddedSeconds = addedBefore_;
  record.AddedAfterNormalSeconds = addedAfter_;
  record.PlannedExtraSeconds = extra_;
  PlaceRunRecord(record, PlaceAt(utcMs), utcMs);
}

uint32_t TRunModel::RunSecondsTo(int64_t endLocalMs, const TWallNow &now, int64_t runMs) const {
  const int64_t at = runMs + Nearest(endLocalMs, now.LocalMs) - now.LocalMs;
  return at < 1000 ? 1 : uint32_t((at + 500) / 1000);
}

int64_t TRunModel::ClockChanged(TMainThread &engine, const TWallNow &now) {
  // Asleep, the clocks' difference is the sleep, which the wake brings in.
  if (!begun_ || asleep_) return 0;
  const TRunPlace place = engine.Place();
  const int64_t runMs = Ms(place.RunTime);
  const TRunEnds ends = engine.TotalSeconds() != 0
                            ? TRunEnds{engine.TotalSeconds(), engine.ExtraSeconds()}
                            : engineEnds_;
  const int64_t lastMs = (int64_t{ends.TotalSeconds} + ends.ExtraSeconds) * 1000;
  if (ends.TotalSeconds != 0 && runMs >= lastMs) return 0;  // nothing moves once the last end came
  const bool normalCame = ends.TotalSeconds != 0 && runMs >= int64_t{ends.TotalSeconds} * 1000;
  if (normalCame && !normalEndFrozen_) {
    normalEndLocal_ = Times(now).NormalEndMs;
    normalEndFrozen_ = true;
  }
  // The engine's monotonic clock is right about the time since the start: the wall clock's
  // reckoning of it is placed again from there, on both clocks.
  const int64_t sinceStart = runMs + Ms(place.PausedBefore) + Ms(place.PausedFor);
  const int64_t shiftUtc = now.UtcMs - startUtc_ - sinceStart;
  startUtc_ += shiftUtc;
  if (paused_) pausedSinceUtc_ += shiftUtc;
  const int64_t oldLocal = startLocal_;
  startLocal_ = Nearest(now.LocalMs - sinceStart, startLocal_);
  const int64_t step = startLocal_ - oldLocal;
  if (!ToTimeOfDay() || ends.TotalSeconds == 0) return step;

  // A run to a time of day: the end still to come stays where the wall clock reads it.
  const int64_t after = PausedAfterNormalEndMs(now.UtcMs);
  const int64_t before = PausedMsAt(now.UtcMs) - after;
  const int64_t endMinuteMs = int64_t{choice_.EndMinute} * 60'000 + int64_t{addedBefore_} * 1000;
  TRunEnds moved = ends;
  if (!normalCame) {
    moved.TotalSeconds = RunSecondsTo(endMinuteMs + before, now, runMs);
  } else if (ends.ExtraSeconds != 0) {
    const uint32_t last = RunSecondsTo(
        endMinuteMs + (int64_t{extra_} + addedAfter_) * 1000 + before + after, now, runMs);
    moved.ExtraSeconds = last > ends.TotalSeconds ? last - ends.TotalSeconds : 1;
  }
  if (moved.TotalSeconds != ends.TotalSeconds || moved.ExtraSeconds != ends.ExtraSeconds) {
    engine.MoveEnds(moved.TotalSeconds, moved.ExtraSeconds);
    engineEnds_ = moved;
  }
  return step;
}

int64_t TRunModel::Woke(TMainThread &engine, const TWallNow &now) {
  const bool slept = std::exchange(asleep_, false);
  if (!begun_) return 0;
  const int64_t behind = RunMsAt(now.UtcMs) - Ms(engine.Place().RunTime);
  engine.CatchUpTo(std::chrono::milliseconds(RunMsAt(now.UtcMs)));
  return slept ? std::max<int64_t>(0, now.UtcMs - asleepAtUtc_) : std::max<int64_t>(0, behind);
}

bool TRunModel::HasEndToCome(const TMainThread &engine) const {
  const TRunEnds ends = engineEnds_;
  return begun_ && ends.TotalSeconds != 0 &&
         Ms(engine.Place().RunTime) < (int64_t{ends.TotalSeconds} + ends.ExtraSeconds) * 1000;
}

TRunEnds TRunModel::EndsAfterAdding(const TMainThread &engine, int seconds) const {
  const TRunEnds ends = engineEnds_;
  if (!HasEndToCome(engine)) return ends;
  // No end before the next tick: one brought to now comes with it.
  const int64_t earliest = Ms(engine.Place().RunTime) / 1000 + 1;
  const int64_t total = ends.TotalSeconds, last = total + ends.ExtraSeconds;
  TRunEnds moved = ends;
  if (earliest <= total) {
    const int64_t newTotal = std::max(total + seconds, earliest);
    moved.TotalSeconds = uint32_t(newTotal);
    moved.ExtraSeconds = uint32_t(std::max<int64_t>(0, last + seconds - newTotal));
  } else {
    moved.ExtraSeconds = uint32_t(std::max(last + seconds, earliest) - total);
  }
  return moved;
}

TRunTimes TRunModel::TimesAfterAdding(const TMainThread &engine, int seconds,
                                      const TWallNow &now) const {
  TRunModel after = *this;
  const TRunEnds moved = EndsAfterAdding(engine, seconds);
  after.Moved(moved);
  return after.Times(now);
}

void TRunModel::AddTime(TMainThread &engine, int seconds, const TWallNow &) {
  if (!HasEndToCome(engine) || seconds == 0) return;
  const TRunEnds moved = EndsAfterAdding(engine, seconds);
  Moved(moved);
  engine.MoveEnds(moved.TotalSeconds, moved.ExtraSeconds);
}

void TRunModel::Moved(const TRunEnds &moved) {
  addedBefore_ += int(int64_t{moved.TotalSeconds} - engineEnds_.TotalSeconds);
  addedAfter_ += int(int64_t{moved.ExtraSeconds} - engineEnds_.ExtraSeconds);
  engineEnds_ = moved;
}
