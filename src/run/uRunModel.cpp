// uRunModel - a run on the wall clock. See the header.
#include "run/uRunModel.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "run/uEndTime.h"
#include "run/uExamPlan.h"

namespace {

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
  // A run without an end cannot end before the épreuves beside it.
  if (!ToTimeOfDay() && choice_.TotalSeconds == 0) choice_.Others.clear();
  if (choice_.Others.size() > MaxPapers - 1) choice_.Others.resize(MaxPapers - 1);
}

std::string TRunModel::PaperNameOf(size_t paper) const {
  return PaperName(paper == 0 ? choice_.FirstName : choice_.Others.at(paper - 1).Name, paper);
}

std::vector<std::string> TRunModel::PaperNames() const {
  std::vector<std::string> names;
  for (size_t i = 0; i < Papers(); ++i) names.push_back(PaperNameOf(i));
  return names;
}

std::vector<TPaperEnds> TRunModel::PlannedEnds(const TWallNow &now) const {
  std::vector<TPaperEnds> ends;
  if (fixed_) {
    for (const TRow &row : rows_) ends.push_back(row.Ends);
    return ends;
  }
  const uint32_t total = ToTimeOfDay() ? RunUntilEnd(choice_.EndMinute, now.LocalMs).Seconds
                                       : choice_.TotalSeconds;
  ends.push_back({total, ExtraFor(choice_, total)});
  for (const TExamPaper &paper : choice_.Others)
    ends.push_back({paper.Seconds, paper.ExtraThird ? ExtraThirdSeconds(paper.Seconds, false) : 0});
  return ends;
}

TRunEnds TRunModel::RunEndsOf(const std::vector<TPaperEnds> &papers) const {
  if (papers.size() < 2) return papers.empty() ? TRunEnds{} : TRunEnds{papers[0].TotalSeconds, papers[0].ExtraSeconds};
  TRunEnds ends{0, 0, papers};
  // A run to a time of day whose end has passed has none, and no épreuve.
  if (papers[0].TotalSeconds == 0) return {};
  for (const TPaperEnds &paper : papers) ends.TotalSeconds = std::max(ends.TotalSeconds, paper.Last());
  return ends;
}

TRunEnds TRunModel::Ends(const TWallNow &now) const { return RunEndsOf(PlannedEnds(now)); }

std::vector<TPaperEnds> TRunModel::EngineEnds(const TMainThread &engine) const {
  std::vector<TPaperEnds> ends;
  for (const TRow &row : rows_) ends.push_back(row.Ends);
  if (ends.size() >= 2) {
    if (std::vector<TPaperEnds> counted = engine.PaperEnds(); counted.size() == ends.size())
      ends = counted;
  } else if (!ends.empty() && engine.TotalSeconds() != 0) {
    ends[0] = {engine.TotalSeconds(), engine.ExtraSeconds()};
  }
  return ends;
}

bool TRunModel::TellEngine(TMainThread &engine) const {
  if (rows_.size() >= 2) {
    std::vector<TPaperEnds> ends;
    for (const TRow &row : rows_) ends.push_back(row.Ends);
    return engine.MovePapers(ends);
  }
  return engine.MoveEnds(rows_[0].Ends.TotalSeconds, rows_[0].Ends.ExtraSeconds);
}

TRunTimes TRunModel::Times(const TWallNow &now, size_t paper) const {
  TRunTimes t;
  if (!fixed_) {
    const std::vector<TPaperEnds> ends = PlannedEnds(now);
    if (paper >= ends.size()) return t;
    const TPaperEnds &e = ends[paper];
    const bool atMinute = paper == 0 && ToTimeOfDay();
    t.HasEnd = atMinute || e.TotalSeconds != 0;
    t.NormalEndMs = atMinute ? MinuteAtOrAfter(choice_.EndMinute, now.LocalMs)
                             : now.LocalMs + int64_t{e.TotalSeconds} * 1000;
    t.HasExtended = e.ExtraSeconds != 0;
    t.ExtendedEndMs = t.NormalEndMs + int64_t{e.ExtraSeconds} * 1000;
    t.ExitMs = PlannedExitMs(ends);
    t.HasExit = t.ExitMs != 0;
    t.ExitMs += now.LocalMs;
    return t;
  }
  if (paper >= rows_.size()) return t;
  const TRow &row = rows_[paper];
  t.Started = true;
  t.StartMs = startLocal_ + leadMs_;
  t.AddedSeconds = row.AddedBefore + row.AddedAfter;
  t.HasExit = FixedExitMs() != 0;
  // Every pause so far came before it while it is to come; once come, only that it came counts.
  t.ExitCame = t.HasExit && begun_ && RunMsAt(now.UtcMs) >= exitRunMs_;
  t.ExitMs = startLocal_ + exitRunMs_ + PausedMsAt(now.UtcMs);
  t.HasEnd = row.Total != 0;
  if (!t.HasEnd) return t;
  const int64_t after = PausedAfterNormalEndMs(now.UtcMs, paper);
  const int64_t before = PausedMsAt(now.UtcMs) - after;
  // A duration's ends follow its start; a time of day's stay on the minute chosen.
  // The minute is the one where the engine counts to, which a clock set may have put before the
  // start as the wall clock now reads it.
  const int64_t normal = (paper == 0 && ToTimeOfDay()
                              ? Nearest(int64_t{choice_.EndMinute} * 60'000,
                                        startLocal_ + (int64_t{row.Ends.TotalSeconds} - row.AddedBefore) * 1000 + before)
                              : startLocal_ + int64_t{row.Total} * 1000) +
                         int64_t{row.AddedBefore} * 1000 + before;
  // Set past by a clock, an end comes at the count the engine has for it.
  t.NormalEndMs = row.NormalFrozen ? row.NormalLocal
                  : row.NormalByCount ? startLocal_ + int64_t{row.Ends.TotalSeconds} * 1000 + before
                                      : normal;
  t.HasExtended = row.Extra != 0;
  t.ExtendedEndMs = row.LastByCount ? startLocal_ + int64_t{row.Ends.Last()} * 1000 + before + after
                                    : normal + (int64_t{row.Extra} + row.AddedAfter) * 1000 + after;
  // A time of day's never comes before its normal end to come, which a clock set may have put
  // later than the minute.
  if (paper == 0 && ToTimeOfDay() && row.NormalByCount && !row.NormalFrozen)
    t.ExtendedEndMs = std::max(t.ExtendedEndMs, t.NormalEndMs);
  if (row.LastFrozen) (t.HasExtended ? t.ExtendedEndMs : t.NormalEndMs) = row.LastLocal;
  else if (row.LastByCount && !t.HasExtended) t.NormalEndMs = t.ExtendedEndMs;
  return t;
}

std::vector<TRunTimes> TRunModel::PaperTimes(const TWallNow &now) const {
  std::vector<TRunTimes> times;
  for (size_t i = 0; i < Papers(); ++i) times.push_back(Times(now, i));
  return times;
}

bool TRunModel::Fix(const TWallNow &now) {
  if (fixed_) return true;
  const std::vector<TPaperEnds> planned = PlannedEnds(now);
  leadMs_ = 0;
  if (ToTimeOfDay()) {
    const TRunToEnd run = RunUntilEnd(choice_.EndMinute, now.LocalMs);
    if (run.Seconds == 0) return false;
    leadMs_ = run.Lead.count();
  }
  rows_.clear();
  for (const TPaperEnds &ends : planned) {
    TRow &row = rows_.emplace_back();
    row.Total = ends.TotalSeconds;
    row.Extra = ends.ExtraSeconds;
    row.Ends = ends;
  }
  // From the press, to the millisecond: a run to a time of day starts part-way through a second.
  exitRunMs_ = PlannedExitMs(planned) == 0 ? 0 : PlannedExitMs(planned) + leadMs_;
  fixed_ = true;
  return true;
}

int64_t TRunModel::ExitRunMs(const TWallNow &now) const {
  return fixed_ ? FixedExitMs() : PlannedExitMs(PlannedEnds(now));
}

int64_t TRunModel::FixedExitMs() const {
  if (exitRunMs_ == 0 || rows_.empty() || rows_[0].Ends.TotalSeconds == 0) return exitRunMs_;
  uint32_t last = 0;
  for (const TRow &row : rows_) last = std::max(last, row.Ends.Last());
  return exitRunMs_ < int64_t{last} * 1000 ? exitRunMs_ : 0;
}

int64_t TRunModel::PlannedExitMs(const std::vector<TPaperEnds> &planned) const {
  if (choice_.ExitMinutes == 0) return 0;
  const int64_t exit = int64_t{choice_.ExitMinutes} * 60'000;
  // A run that is over by then has no such moment (one without an end has it).
  const TRunEnds ends = RunEndsOf(planned);
  const bool endless = !ToTimeOfDay() && choice_.TotalSeconds == 0;
  if (!endless && int64_t{ends.TotalSeconds + ends.ExtraSeconds} * 1000 <= exit) return 0;
  return exit;
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
  for (TRow &row : rows_)
    if (row.PauseAfterNormal) row.PausedAfterNormalMs += pause;
  paused_ = false;
  engine.Resume();
}

void TRunModel::Pause(TMainThread &engine, const TWallNow &now) {
  if (!begun_ || paused_) return;
  // The pause moves what is to come, never an end that came.
  if (!rows_.empty() && rows_[0].Ends.TotalSeconds != 0)
    HoldCome(EngineEnds(engine), Ms(engine.Place().RunTime), now);
  // Right on its second, the normal end's tick is still to come: the pause comes before it.
  for (TRow &row : rows_)
    row.PauseAfterNormal =
        row.Total != 0 && RunMsAt(now.UtcMs) > int64_t{row.Ends.TotalSeconds} * 1000;
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
  // Before Run nothing is counted to.
  const TRunEnds ends = fixed_ ? RunEndsOf(PlannedEnds({})) : TRunEnds{};
  if (!countsDown || ends.TotalSeconds == 0) return elapsed;
  const uint32_t end = ends.ExtraSeconds != 0 && elapsed < ends.TotalSeconds
                           ? ends.TotalSeconds
                           : ends.TotalSeconds + ends.ExtraSeconds;
  return elapsed < end ? end - elapsed : 0;
}

TRunModel::TRow TRunModel::RowFrom(const TRunRecordPaper &kept) {
  TRow row;
  row.Ends = {kept.Seconds, kept.ExtraThird ? kept.ExtraSeconds : 0};
  row.AddedBefore = kept.AddedSeconds;
  row.AddedAfter = kept.AddedAfterNormalSeconds;
  row.PausedAfterNormalMs = kept.PausedAfterNormalMs;
  // Where the ends that came were held: from the start, placed below.
  row.NormalFrozen = kept.NormalCameMs.has_value();
  row.NormalLocal = kept.NormalCameMs.value_or(0);
  row.LastFrozen = kept.LastCameMs.has_value();
  row.LastLocal = kept.LastCameMs.value_or(0);
  // What the room was told, before the time added: a first version's record knew only the
  // extended time as the engine counted it.
  row.Total = kept.Seconds == 0 ? 0 : uint32_t(std::max<int64_t>(1, int64_t{kept.Seconds} - row.AddedBefore));
  row.Extra = !kept.ExtraThird ? 0
              : kept.PlannedExtraSeconds != 0
                  ? kept.PlannedExtraSeconds
                  : uint32_t(std::max<int64_t>(0, int64_t{kept.ExtraSeconds} - row.AddedAfter));
  return row;
}

void TRunModel::Place(const TRunRecord &record, const TWallNow &now) {
  // The choice is what the user chose: the total before any time added moved it.
  const uint32_t chosen =
      record.TotalSeconds == 0 ? 0 : uint32_t(std::max<int64_t>(1, int64_t{record.TotalSeconds} - record.AddedSeconds));
  TRunChoice choice{chosen, record.EndMinute, record.ExtraThird, record.FirstName, {}};
  for (const TRunRecordPaper &paper : record.Papers)
    choice.Others.push_back(
        {paper.Name, uint32_t(std::max<int64_t>(1, int64_t{paper.Seconds} - paper.AddedSeconds)),
         paper.ExtraThird});
  Choose(choice);
  fixed_ = begun_ = true;
  // The run's own épreuve is kept in the record's fields of the run, the others in its rows.
  rows_.clear();
  rows_.push_back(RowFrom({record.FirstName, record.TotalSeconds, record.ExtraThird,
                           record.ExtraSeconds, record.PlannedExtraSeconds, record.AddedSeconds,
                           record.AddedAfterNormalSeconds, record.PausedAfterNormalMs,
                           record.NormalCameMs, record.LastCameMs}));
  rows_[0].NormalByCount = record.NormalByCount;
  rows_[0].LastByCount = record.LastByCount;
  for (size_t i = 1; i < Papers(); ++i) rows_.push_back(RowFrom(record.Papers[i - 1]));
  exitRunMs_ = record.ExitRunMs;
  startUtc_ = record.StartUtcMs;
  // On the start's own day, as the run that started it counted: a run across midnight keeps its
  // frame.
  startLocal_ = ((now.LocalMs - (now.UtcMs - record.StartUtcMs)) % MsPerDay + MsPerDay) % MsPerDay;
  for (TRow &row : rows_) row.NormalLocal += startLocal_, row.LastLocal += startLocal_;
  pausedMs_ = record.PausedMs;
  paused_ = record.Paused;
  pausedSinceUtc_ = record.PausedSinceUtcMs;
  for (TRow &row : rows_)
    row.PauseAfterNormal = paused_ && row.Ends.TotalSeconds != 0 &&
                           pausedSinceUtc_ - startUtc_ - pausedMs_ >
                               int64_t{row.Ends.TotalSeconds} * 1000;
}

int64_t TRunModel::PausedMsAt(int64_t utcMs) const {
  return pausedMs_ + (paused_ ? std::max<int64_t>(0, utcMs - pausedSinceUtc_) : 0);
}

int64_t TRunModel::PausedAfterNormalEndMs(int64_t utcMs, size_t paper) const {
  if (paper >= rows_.size()) return 0;
  const TRow &row = rows_[paper];
  return row.PausedAfterNormalMs +
         (paused_ && row.PauseAfterNormal ? std::max<int64_t>(0, utcMs - pausedSinceUtc_) : 0);
}

int64_t TRunModel::RunMsAt(int64_t utcMs) const {
  if (!begun_) return 0;
  return (paused_ ? pausedSinceUtc_ : utcMs) - startUtc_ - pausedMs_;
}

int64_t TRunModel::LocalInRun(const TWallNow &now) const {
  if (!begun_) return now.LocalMs;
  return Nearest(now.LocalMs, startLocal_ + (now.UtcMs - startUtc_));
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
  const TRow own = rows_.empty() ? TRow{} : rows_[0];
  record.TotalSeconds = own.Ends.TotalSeconds;
  record.ExtraSeconds = own.Ends.ExtraSeconds;
  record.EndMinute = choice_.EndMinute;
  record.ExtraThird = choice_.ExtraThird;
  record.PausedAfterNormalMs = own.PausedAfterNormalMs;
  record.AddedSeconds = own.AddedBefore;
  record.AddedAfterNormalSeconds = own.AddedAfter;
  record.PlannedExtraSeconds = own.Extra;
  record.FirstName = choice_.FirstName;
  auto came = [&](bool frozen, int64_t local) {
    return frozen ? std::optional<int64_t>(local - startLocal_) : std::nullopt;
  };
  record.NormalCameMs = came(own.NormalFrozen, own.NormalLocal);
  record.LastCameMs = came(own.LastFrozen, own.LastLocal);
  record.NormalByCount = own.NormalByCount;
  record.LastByCount = own.LastByCount;
  record.ExitRunMs = uint32_t(exitRunMs_);
  record.Papers.clear();
  for (size_t i = 1; i < rows_.size(); ++i) {
    const TRow &row = rows_[i];
    const TExamPaper &paper = choice_.Others[i - 1];
    record.Papers.push_back({paper.Name, row.Ends.TotalSeconds, paper.ExtraThird,
                            row.Ends.ExtraSeconds, row.Extra, row.AddedBefore, row.AddedAfter,
                            row.PausedAfterNormalMs, came(row.NormalFrozen, row.NormalLocal),
                            came(row.LastFrozen, row.LastLocal)});
  }
  PlaceRunRecord(record, PlaceAt(utcMs), utcMs);
}

uint32_t TRunModel::RunSecondsTo(int64_t endLocalMs, const TWallNow &now, int64_t runMs) const {
  const int64_t at = runMs + Nearest(endLocalMs, now.LocalMs) - now.LocalMs;
  return at < 1000 ? 1 : uint32_t((at + 500) / 1000);
}

void TRunModel::HoldCome(const std::vector<TPaperEnds> &ends, int64_t runMs, const TWallNow &now) {
  for (size_t i = 0; i < rows_.size() && i < ends.size(); ++i) {
    TRow &row = rows_[i];
    // Past it: right on its second, its tick may still be to come, and then it may still move.
    const bool normalCame = runMs > int64_t{ends[i].TotalSeconds} * 1000;
    const bool lastCame = runMs > int64_t{ends[i].Last()} * 1000;
    if ((normalCame && !row.NormalFrozen) || (lastCame && !row.LastFrozen)) {
      const TRunTimes times = Times(now, i);
      if (normalCame && !row.NormalFrozen) row.NormalFrozen = true, row.NormalLocal = times.NormalEndMs;
      if (lastCame && !row.LastFrozen)
        row.LastFrozen = true, row.LastLocal = times.HasExtended ? times.ExtendedEndMs : times.NormalEndMs;
    }
  }
}

int64_t TRunModel::ClockChanged(TMainThread &engine, const TWallNow &now) {
  // Asleep, the clocks' difference is the sleep, which the wake brings in.
  if (!begun_ || asleep_ || rows_.empty()) return 0;
  const TRunPlace place = engine.Place();
  const int64_t runMs = Ms(place.RunTime);
  std::vector<TPaperEnds> ends = EngineEnds(engine);
  const bool hasEnd = ends[0].TotalSeconds != 0;
  int64_t lastMs = 0;
  for (const TPaperEnds &e : ends) lastMs = std::max<int64_t>(lastMs, int64_t{e.Last()} * 1000);
  if (hasEnd && runMs >= lastMs) return 0;  // nothing moves once the last end came
  if (hasEnd) HoldCome(ends, runMs, now);
  // The engine's monotonic clock is right about the time since the start: the wall clock's
  // reckoning of it is placed again from there, on both clocks.
  const int64_t sinceStart = runMs + Ms(place.PausedBefore) + Ms(place.PausedFor);
  const int64_t shiftUtc = now.UtcMs - startUtc_ - sinceStart;
  startUtc_ += shiftUtc;
  if (paused_) pausedSinceUtc_ += shiftUtc;
  const int64_t oldLocal = startLocal_;
  startLocal_ = Nearest(now.LocalMs - sinceStart, startLocal_);
  const int64_t step = startLocal_ - oldLocal;
  if (!ToTimeOfDay() || !hasEnd) return step;

  // A run to a time of day: the end still to come stays where the wall clock reads it. The
  // épreuves beside it keep their lengths.
  TRow &own = rows_[0];
  const TPaperEnds was = ends[0];
  if (runMs > int64_t{was.Last()} * 1000) return step;
  const int64_t after = PausedAfterNormalEndMs(now.UtcMs);
  const int64_t before = PausedMsAt(now.UtcMs) - after;
  const int64_t endMinuteMs = int64_t{choice_.EndMinute} * 60'000 + int64_t{own.AddedBefore} * 1000;
  TPaperEnds moved = was;
  // An end already read at the count stays there: the minute no longer places it.
  // The first tick still to come: right on a second, that second's.
  const auto next = uint32_t(std::max<int64_t>(1, (runMs + 999) / 1000));
  if (runMs <= int64_t{was.TotalSeconds} * 1000 && !own.NormalByCount) {
    moved.TotalSeconds = RunSecondsTo(endMinuteMs + before, now, runMs);
    // Passed by this set, not before it: the engine counts to the nearest second, so the minute
    // may already be a little behind the wall clock while its count is still to come, and then
    // the run reads it on the minute as it did (a take-up, which sets nothing, reads it so too).
    const int64_t endLocal = Nearest(endMinuteMs + before, now.LocalMs);
    const bool passed = endLocal <= now.LocalMs && endLocal > now.LocalMs - step;
    // Set past the normal end: that end comes at the next tick, never before now, and is read
    // at that moment; the extended end stays where the wall clock reads it, or, set past too,
    // comes a tick later and is read then.
    if (moved.TotalSeconds < next || passed) {
      moved.TotalSeconds = next;
      if (was.ExtraSeconds != 0) {
        const uint32_t last = RunSecondsTo(
            endMinuteMs + (int64_t{own.Extra} + own.AddedAfter) * 1000 + before + after, now, runMs);
        moved.ExtraSeconds = last > next ? last - next : 1;
        own.LastByCount = own.LastByCount || last <= next;
      }
      own.NormalByCount = true;
    }
  } else if (was.ExtraSeconds != 0 && !own.LastByCount) {
    uint32_t last = RunSecondsTo(
        endMinuteMs + (int64_t{own.Extra} + own.AddedAfter) * 1000 + before + after, now, runMs);
    // Set past the extended end, or onto the second counted: it comes at the next tick, read then.
    if (last < next) {
      last = next;
      own.LastByCount = true;
    }
    moved.ExtraSeconds = last > was.TotalSeconds ? last - was.TotalSeconds : 1;
  }
  if (moved != was) {
    for (size_t i = 0; i < rows_.size(); ++i) rows_[i].Ends = ends[i];
    own.Ends = moved;
    // An end came between the reading and the move: the ends stay where the engine counts them.
    if (!TellEngine(engine)) own.Ends = was;
  }
  return step;
}

int64_t TRunModel::Woke(TMainThread &engine, const TWallNow &now) {
  const bool slept = std::exchange(asleep_, false);
  if (!begun_) return 0;
  const int64_t behind = RunMsAt(now.UtcMs) - Ms(engine.Place().RunTime);
  engine.CatchUpTo(std::chrono::milliseconds(RunMsAt(now.UtcMs)));
  // Paused, the sleep lengthened the pause, which the engine's clock may not have seen.
  if (paused_) engine.PausedAtLeast(std::chrono::milliseconds(now.UtcMs - pausedSinceUtc_));
  return slept ? std::max<int64_t>(0, now.UtcMs - asleepAtUtc_) : std::max<int64_t>(0, behind);
}

bool TRunModel::HasEndToCome(const TMainThread &engine) const {
  if (!begun_ || rows_.empty() || rows_[0].Ends.TotalSeconds == 0) return false;
  const int64_t runMs = Ms(engine.Place().RunTime);
  for (const TRow &row : rows_)
    if (runMs < int64_t{row.Ends.Last()} * 1000) return true;
  return false;
}

TRunEnds TRunModel::EndsAfterAdding(const TMainThread &engine, int seconds) const {
  std::vector<TPaperEnds> papers;
  for (const TRow &row : rows_) papers.push_back(row.Ends);
  if (!HasEndToCome(engine)) return RunEndsOf(papers);
  // No end before the next tick: one brought to now comes with it.
  const int64_t earliest = Ms(engine.Place().RunTime) / 1000 + 1;
  for (TPaperEnds &ends : papers) {
    const int64_t total = ends.TotalSeconds, last = total + ends.ExtraSeconds;
    if (earliest > last) continue;  // this épreuve is over
    if (earliest <= total) {
      const int64_t newTotal = std::max(total + seconds, earliest);
      ends.TotalSeconds = uint32_t(newTotal);
      ends.ExtraSeconds = uint32_t(std::max<int64_t>(0, last + seconds - newTotal));
    } else {
      ends.ExtraSeconds = uint32_t(std::max(last + seconds, earliest) - total);
    }
  }
  return RunEndsOf(papers);
}

void TRunModel::MoveExit(const TMainThread &engine, int seconds) {
  // The moment to leave moves as the ends do while it is to come, and never before the next tick.
  // (Asked of the moment as fixed: the ends it is weighed against may have moved already.)
  if (const int64_t runMs = Ms(engine.Place().RunTime); exitRunMs_ != 0 && runMs < exitRunMs_)
    exitRunMs_ = std::max<int64_t>(exitRunMs_ + int64_t{seconds} * 1000, (runMs / 1000 + 1) * 1000);
}

TRunTimes TRunModel::TimesAfterAdding(const TMainThread &engine, int seconds,
                                      const TWallNow &now) const {
  TRunModel after = *this;
  after.Moved(EndsAfterAdding(engine, seconds));
  after.MoveExit(engine, seconds);
  return after.Times(now);
}

std::vector<TRunTimes> TRunModel::PaperTimesAfterAdding(const TMainThread &engine, int seconds,
                                                        const TWallNow &now) const {
  TRunModel after = *this;
  after.Moved(EndsAfterAdding(engine, seconds));
  return after.PaperTimes(now);
}

int TRunModel::AddTime(TMainThread &engine, int seconds, const TWallNow &) {
  if (!HasEndToCome(engine) || seconds == 0) return 0;
  const std::vector<TRow> before = rows_;
  Moved(EndsAfterAdding(engine, seconds));
  // An end came between the question and the move: nothing moves, as the engine says.
  if (!TellEngine(engine)) {
    rows_ = before;
    return 0;
  }
  MoveExit(engine, seconds);
  int moved = 0;
  for (size_t i = 0; i < rows_.size(); ++i) {
    const int by = int(int64_t{rows_[i].Ends.Last()} - before[i].Ends.Last());
    if (std::abs(by) > std::abs(moved)) moved = by;
  }
  return moved;
}

void TRunModel::Moved(const TRunEnds &moved) {
  std::vector<TPaperEnds> papers = moved.Papers;
  if (papers.empty()) papers.push_back({moved.TotalSeconds, moved.ExtraSeconds});
  for (size_t i = 0; i < rows_.size() && i < papers.size(); ++i) {
    TRow &row = rows_[i];
    row.AddedBefore += int(int64_t{papers[i].TotalSeconds} - row.Ends.TotalSeconds);
    row.AddedAfter += int(int64_t{papers[i].ExtraSeconds} - row.Ends.ExtraSeconds);
    row.Ends = papers[i];
  }
}

TTakeUp AssessRun(const uint8_t *data, size_t size, const TWallNow &now) {
  TTakeUp found = AssessRunRecord(data, size, now.UtcMs);
  if (found.Kind == TTakeUpKind::NoRun) return found;
  TRunModel model;
  model.Place(found.Record, now);
  const TRunEnds ends = model.Ends(now);
  const int64_t lastMs = (int64_t{ends.TotalSeconds} + ends.ExtraSeconds) * 1000;
  const int64_t runMs = Ms(model.PlaceAt(now.UtcMs).RunTime);
  found.Place = model.PlaceAt(now.UtcMs);
  // Every last end came while a Tavelin counted (a clock set may have moved the wall clock's
  // account of it since): the run is over, when they came.
  const TRunRecord &r = found.Record;
  std::optional<int64_t> cameMs = r.LastCameMs;
  for (const TRunRecordPaper &paper : r.Papers)
    cameMs = cameMs && paper.LastCameMs ? std::optional<int64_t>(std::max(*cameMs, *paper.LastCameMs)) : std::nullopt;
  if (lastMs != 0 && runMs < lastMs && cameMs) {
    found.Kind = TTakeUpKind::Ended;
    found.EndUtcMs = r.StartUtcMs + *cameMs;
  } else if (lastMs != 0 && runMs >= lastMs) {
    found.Kind = TTakeUpKind::Ended;
    found.EndUtcMs = now.UtcMs - (runMs - lastMs);
  } else {
    found.Kind = TTakeUpKind::Going;
  }
  return found;
}

