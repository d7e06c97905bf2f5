// uRunModel - a run as the room sees it on the wall clock: when it started, where its ends fall,
// how its pauses moved them, and what a clock set, a wake or a take-up does to them. Every window
// asks it and draws what it answers; the engine, which counts, is told by it where to be and is
// the only one that counts.
//
// Free of any platform header. The wall clocks are handed in with each question: UTC for what
// outlives the process (the record), the local time of day for what the room reads.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "run/uExamPaper.h"
#include "run/uRunRecord.h"
#include "run/uThreadContainer.h"

// The two wall clocks at one instant.
struct TWallNow {
  int64_t UtcMs = 0;    // since 1970-01-01 UTC
  int64_t LocalMs = 0;  // since local midnight
};

// The run to come, as the main window and its dialogs chose it.
struct TRunChoice {
  uint32_t TotalSeconds = 0;  // a duration; 0: open-ended
  int EndMinute = -1;         // a run to this minute of the day instead
  bool ExtraThird = false;    // tiers-temps
  // With épreuves beside it (up to MaxPapers - 1), the run's own is the first of several, all
  // started together; a run without an end has none beside it.
  std::string FirstName = {};
  std::vector<TExamPaper> Others = {};
  // Candidates may leave, and latecomers come in, this long after the start; 0: no such moment.
  uint32_t ExitMinutes = 0;
};


// The run's moments on the local wall clock, in milliseconds since local midnight (not reduced
// to one day: a run may cross midnight).
struct TRunTimes {
  bool Started = false;
  int64_t StartMs = 0;  // when Run was pressed
  bool HasEnd = false;  // not for an open-ended run
  int64_t NormalEndMs = 0;
  bool HasExtended = false;  // tiers-temps
  int64_t ExtendedEndMs = 0;
  int AddedSeconds = 0;  // time given back after incidents, which moved them
  // The moment candidates may leave (the run's, whichever épreuve): to come at ExitMs, or come.
  bool HasExit = false;
  bool ExitCame = false;
  int64_t ExitMs = 0;
};

class TRunModel {
public:
  // Before Run: the run to come. Forgets the one before.
  void Choose(const TRunChoice &choice);
  const TRunChoice &Choice() const { return choice_; }
  bool ToTimeOfDay() const { return choice_.EndMinute >= 0; }
  // Several épreuves: the room's board. They are counted in row order, the run's own first.
  bool Board() const { return !choice_.Others.empty(); }
  size_t Papers() const { return 1 + choice_.Others.size(); }
  // An épreuve's name as the room reads it.
  std::string PaperNameOf(size_t paper) const;
  std::vector<std::string> PaperNames() const;
  // From Run (or a take-up) to the end of the run.
  bool Started() const { return fixed_; }
  bool Paused() const { return paused_; }

  // In run time: fixed at Run, moved since only by this model; before Run, those of a run
  // started at `now` (a run to a time of day whose end has passed has none).
  TRunEnds Ends(const TWallNow &now) const;
  // On the wall clock: as they stand at `now`, pauses included; of one épreuve of several.
  TRunTimes Times(const TWallNow &now, size_t paper = 0) const;
  // Every épreuve's, in row order.
  std::vector<TRunTimes> PaperTimes(const TWallNow &now) const;

  // Run pressed: the ends are fixed from the wall clock. False when the chosen end has passed,
  // and nothing changes.
  bool Fix(const TWallNow &now);
  // Then, on the engine built for Ends(): starts it, or continues it after a pause.
  void Start(TMainThread &engine, const TWallNow &now);
  void Pause(TMainThread &engine, const TWallNow &now);
  // The engine of a run that went on elsewhere: it takes up the record's run where the wall
  // clock places it at `now`, its ends where the policy of a clock change puts them.
  void TakeUp(const TRunRecord &record, TMainThread &engine, const TWallNow &now);
  // The same run before any engine counts it, as the question that offers it back sees it.
  void Place(const TRunRecord &record, const TWallNow &now);
  // What the digits show `runTime` into the run: the time left to the end being counted to, or
  // the time elapsed.
  uint32_t DigitsAt(std::chrono::nanoseconds runTime, bool countsDown) const;

  // The wall clock was set, or its time zone changed: a time-of-day end stays on the wall clock,
  // a duration keeps its length; once the normal end has come only the extended end may move,
  // and once the last end has come nothing does (of each épreuve).
  // Returns the step of the wall clock, in milliseconds (0 when nothing was placed again).
  int64_t ClockChanged(TMainThread &engine, const TWallNow &now);
  // The computer goes to sleep: what the clocks say until it wakes is the sleep's, not a set.
  void Sleeping(const TWallNow &now) {
    asleep_ = true;
    asleepAtUtc_ = now.UtcMs;
  }
  // It woke before any run was open: nothing to place, but what the clocks say is a set again.
  void Awake() { asleep_ = false; }
  // It woke: the engine, whose clock may have stood still, takes the run's place from the wall
  // clock. Returns how long it slept, as far as it is known (0 when not).
  int64_t Woke(TMainThread &engine, const TWallNow &now);

  // Time given back after an incident (taken back when negative), from now on: every end still to
  // come moves by it, the warnings with them; an end that has come stays come, and none is
  // brought before now (the run then ends as its end would). Returns how far the ends moved
  // (the farthest of the épreuves'), 0 when none did.
  int AddTime(TMainThread &engine, int seconds, const TWallNow &now);
  // What the ends would be after it, for the dialog that proposes it.
  TRunTimes TimesAfterAdding(const TMainThread &engine, int seconds, const TWallNow &now) const;
  TRunEnds EndsAfterAdding(const TMainThread &engine, int seconds) const;
  std::vector<TRunTimes> PaperTimesAfterAdding(const TMainThread &engine, int seconds,
                                               const TWallNow &now) const;
  // The time added so far to the run's own épreuve, as it moved its ends (net of what could not
  // be taken back).
  int AddedSeconds() const { return rows_.empty() ? 0 : rows_[0].AddedBefore + rows_[0].AddedAfter; }
  // Whether an end is still to come, that time added would move.
  bool HasEndToCome(const TMainThread &engine) const;
  // The moment candidates may leave, in run time (ms, paused time excluded, so that pauses move it
  // as they move the ends); 0: none. Before Run, that of a run started now.
  int64_t ExitRunMs(const TWallNow &now) const;
  // From Run on: whether it is still to come when the run stands at `runMs`.
  bool ExitToCome(int64_t runMs) const { return FixedExitMs() != 0 && runMs < FixedExitMs(); }
  bool ExitCame(int64_t runMs) const { return FixedExitMs() != 0 && runMs >= FixedExitMs(); }

  // The local time of day `now`, in the run's frame: past midnight it goes on from the start's
  // day rather than starting again from 0, as the ends do.
  int64_t LocalInRun(const TWallNow &now) const;
  // Where the run stands at `utcMs` by the wall clock.
  TRunPlace PlaceAt(int64_t utcMs) const;
  // Pauses so far taken once an épreuve's normal end had come, which moved its extended end only.
  int64_t PausedAfterNormalEndMs(int64_t utcMs, size_t paper = 0) const;
  // The record's run fields (the settings' are the caller's).
  void FillRecord(TRunRecord &record, int64_t utcMs) const;

private:
  // One épreuve's ends: what the room was told at Run (Total, Extra), where the engine now counts
  // to (a clock set moves a run to a time of day there, not what it was told), and what moved
  // them since.
  struct TRow {
    uint32_t Total = 0, Extra = 0;
    TPaperEnds Ends;
    // Time added while the normal end was to come (moving both ends), and after it.
    int AddedBefore = 0, AddedAfter = 0;
    int64_t PausedAfterNormalMs = 0;  // pauses ended, begun once the normal end had come
    bool PauseAfterNormal = false;    // the pause under way began after it
    // An end that has come stays where it came, whatever the clock does afterwards.
    bool NormalFrozen = false, LastFrozen = false;
    int64_t NormalLocal = 0, LastLocal = 0;
    // A clock set put the run to a time of day past its end: that end comes, and is read, at the
    // count the engine has for it.
    bool NormalByCount = false, LastByCount = false;
  };

  // An épreuve's ends as a record kept them.
  static TRow RowFrom(const TRunRecordPaper &kept);
  // The épreuves' ends of a run started at `now`, or as fixed.
  std::vector<TPaperEnds> PlannedEnds(const TWallNow &now) const;
  // The moment to leave as fixed, unless a clock set brought the last end before it: 0, none.
  int64_t FixedExitMs() const;
  // The moment to leave of a run of those ends started now, in run time; 0: none.
  int64_t PlannedExitMs(const std::vector<TPaperEnds> &planned) const;
  // Each end that came by `runMs` of the engine's `ends` stays where it came from now on.
  void HoldCome(const std::vector<TPaperEnds> &ends, int64_t runMs, const TWallNow &now);
  // A run's ends from its épreuves'.
  TRunEnds RunEndsOf(const std::vector<TPaperEnds> &papers) const;
  // Where the engine counts each épreuve to now (a move it was told of included).
  std::vector<TPaperEnds> EngineEnds(const TMainThread &engine) const;
  // False when the engine refused: an end it was to move had come meanwhile.
  bool TellEngine(TMainThread &engine) const;
  int64_t RunMsAt(int64_t utcMs) const;
  // Time added moves the moment to leave while it is to come.
  void MoveExit(const TMainThread &engine, int seconds);
  // The engine's ends moved by added time: the model's account of it follows.
  void Moved(const TRunEnds &moved);
  int64_t PausedMsAt(int64_t utcMs) const;
  // Where an end of a run to a time of day lies in run time, from the engine's `runMs` now.
  uint32_t RunSecondsTo(int64_t endLocalMs, const TWallNow &now, int64_t runMs) const;

  TRunChoice choice_;
  bool fixed_ = false;  // the ends are fixed (Run pressed, or taken up)
  bool begun_ = false;  // the engine was started
  std::vector<TRow> rows_;  // from Run on: the run's own épreuve, then the others
  int64_t leadMs_ = 0;      // how far into its first second the run started
  int64_t startUtc_ = 0;    // when it stood at 0 of run time
  int64_t startLocal_ = 0;  // the same on the local clock
  int64_t pausedMs_ = 0;    // pauses ended
  bool paused_ = false;
  int64_t pausedSinceUtc_ = 0;
  bool asleep_ = false;
  int64_t asleepAtUtc_ = 0;
  int64_t exitRunMs_ = 0;  // from Run on: where the moment to leave stands, 0 for none
};
// What the next start makes of a stored record at `now`: the record's checks, then where the run
// stands and whether its last end came, as a session taking it up would place them.
TTakeUp AssessRun(const uint8_t *data, size_t size, const TWallNow &now);

