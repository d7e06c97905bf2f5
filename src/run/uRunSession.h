// uRunSession - one run, from the choice to its last event, outside any window: the model of its
// ends, the engine it drives, the events that engine posts, the run's journal and its record. The
// windows pass it what happens (a click, a key, a message of the system) and show what it
// answers; none of them works out an end, a time left or what is journaled or kept.
//
// Free of any platform header: the clocks, the engine's making, the journal's file and the
// record's storage come through its host.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "run/uBoardTexts.h"
#include "run/uJournal.h"
#include "run/uRunModel.h"
#include "run/uRunRecord.h"
#include "run/uThreadContainer.h"

// What a session needs of the platform.
class TRunSessionHost {
public:
  virtual ~TRunSessionHost();
  virtual TWallNow Now() = 0;
  // The local calendar time at a UTC instant (the journal's stamps).
  virtual TJournalTime LocalTime(int64_t utcMs) = 0;
  // An engine for these ends, built parked. May throw: the session then has none.
  virtual std::unique_ptr<TMainThread> MakeEngine(const TRunEnds &ends) = 0;
  // The run's journal grew by `line` (for the file); `run` is the whole run as it stands.
  virtual void Journal(const TJournal &run, const std::string &line) = 0;
  // The record of the open run and its events, to keep until Forget; the settings' fields are
  // the host's to fill.
  virtual void Keep(TRunRecord &record, const std::vector<uint8_t> &events) = 0;
  virtual void Forget() = 0;
};

// What the session asks of the settings, taken at each choice.
struct TSessionSettings {
  bool CountsDown = false;
  std::vector<uint32_t> WarnMinutes = {};
  TRunHeading Heading = {};  // what an exam's plan names of the run, journaled at its start
};

// The gauge: its scale in run seconds and the marks across it.
struct TGaugeScale {
  uint32_t Length = 0;  // the last end of all; 0: open-ended
  uint32_t Total = 0, Extra = 0;  // a run of one: its normal end and its extra time
  std::vector<uint32_t> Marks = {};  // a board: every end but the last of all
  bool operator==(const TGaugeScale &) const = default;
};

// What Run did.
enum class TRunStart { None, Started, Continued, EndPassed };

// What time added did: how far the ends moved (0: none moved, the end came meanwhile).
struct TTimeAdded {
  int MovedSeconds = 0;
  bool EndCame = false;  // the end came while the dialog was up: nothing moved
};

class TRunSession {
public:
  explicit TRunSession(TRunSessionHost &host) : host_(host) {}
  ~TRunSession();

  // Before Run: the run to come, and an engine for it. Forgets the one before.
  void Choose(const TRunChoice &choice, const TSessionSettings &settings);
  const TRunModel &Model() const { return model_; }
  TMainThread *Engine() const { return engine_.get(); }
  // The count-down's value that the engine starts from: what the digits show before its first
  // tick.
  uint32_t EngineStart() const { return engineStart_; }
  // The engine goes before the windows it posts to.
  void DropEngine() { engine_.reset(); }
  // A setting that the record keeps changed (the beeps).
  void SettingsChanged() { Keep(); }
  // From Run (or a take-up) until the run ends or is stopped.
  bool Open() const { return open_; }
  bool Paused() const { return model_.Paused(); }
  bool Board() const { return model_.Board(); }
  // The run has a moment when candidates may leave (come or to come).
  bool HasExit() const;

  // --- What the user does ------------------------------------------------------------------
  TRunStart Run();
  void Pause();
  // Time given back (taken back when negative), with its reason for the journal.
  TTimeAdded AddTime(int minutes, const std::string &reason);
  // Whether an end is still to come, that time added would move.
  bool MayAddTime() const;
  // Closing the bar: the question to ask first, empty when none is needed.
  std::string CloseQuestion() const;
  // The bar closes: the run is stopped (journaled when the user stopped it), its record kept for
  // the next start when the Windows session ends, forgotten otherwise.
  void Close();

  // --- What the system does ----------------------------------------------------------------
  // An exam event that the engine posted (each of a tick's, in order).
  void ExamEvent(const TExamEvent &event);
  // The engine's end of the run came; true when it goes on counting beyond the end.
  bool LastEndCame();
  // The box of the end was closed: the run is over (the next one is chosen anew).
  void EndSeen();
  void ClockChanged();
  void Sleeping();
  void Woke();
  // Logoff, shutdown or an installer: the record stays for the next start (false: called off).
  void SessionEnding(bool ending) { sessionEnding_ = ending; }
  // A tick of the engine: true when the moment candidates may leave came with it (journaled).
  bool Tick();
  // Instead of Run: the run of a record and the events kept beside it, where the wall clock
  // places it now.
  void TakeUp(const TRunRecord &record, const std::vector<uint8_t> &events);
  // Instead of a take-up, at the next start: a run whose last end came while no Tavelin counted
  // is journaled to that end, its "Fin" included; one that the user chose not to take up, to now,
  // and stopped there. Either way it is not open, and makes no engine.
  enum class TLeft { Ended, Refused };
  void Settle(const TRunRecord &record, const std::vector<uint8_t> &events,
              const TSessionSettings &settings, TLeft how);

  // --- What the windows show -----------------------------------------------------------------
  // The local time of day now, in the run's own frame (not reduced past midnight).
  int64_t LocalNow(const TWallNow &now) const;
  std::string BandText() const;
  // The bar's panel, longest first.
  std::vector<std::string> PanelTexts(const std::string &durationText) const;
  // The board's lines, ordered by their ends; each StartMs where the stretch to its normal end
  // begins as its warnings count it (the start, moved on by the pauses before that end).
  std::vector<TRunTimes> PaperTimes() const;
  // The warnings the run was chosen with.
  const std::vector<uint32_t> &WarnMinutes() const { return settings_.WarnMinutes; }
  int64_t BoardNowMs() const;
  TGaugeScale Gauge() const;
  // Whether the seconds digits are lit `runSeconds` into the run, lit only in the last
  // `nearEndMinutes` before the end the digits count to.
  bool SecondsLit(uint32_t runSeconds, uint32_t nearEndMinutes, bool overtime) const;
  // The board's lines now, amber as the engine counts, from the run's own warnings; while the
  // room waits `aheadMs` for an official start, those of the run started then.
  std::vector<TBoardLine> BoardLines(int64_t aheadMs = 0) const;
  // What the digits show before the engine's first tick (it posts only the digits that change
  // from there): 0 counting up, the count-down's start.
  uint32_t DigitsAtRest() const { return settings_.CountsDown ? engineStart_ : 0; }
  // Where the count goes on from beyond the last end: 0 for a count-down (a board of several
  // épreuves counts down), the run's length for a count-up.
  uint32_t OvertimeFrom() const;
  // What the digits show now ("0:41:07").
  std::string ShownText() const;
  // What time added of `minutes` would change, for the dialog.
  std::vector<std::string> AddedLines(int minutes) const;

  // --- An official start awaited ---------------------------------------------------------------
  // The run is to start at `startMinute` of the day, by itself if `byItself`: false, and nothing
  // awaited, when that minute has passed or a run is open.
  bool AwaitStart(int startMinute, bool byItself);
  bool Awaiting() const { return awaitUtcMs_ != 0; }
  bool StartsByItself() const { return startsByItself_; }
  void EndWait() { awaitUtcMs_ = 0; }
  // What the room reads until then: "Début à 8 h 00", the band with the ends of the run started
  // then, and how far ahead that start is (0 once due).
  struct TAwaited {
    std::string Text, Band;
    int64_t AheadMs = 0;
  };
  TAwaited Awaited() const;
  // Until the next second of the time of day, or the start if it comes first.
  int64_t NextWaitMs() const;

private:
  // At `atUtcMs` on the wall clock, or now.
  void Journal(const std::string &event, const std::string &detail, size_t paper = SIZE_MAX,
               std::optional<int64_t> atUtcMs = std::nullopt);
  void JournalExamEvent(const TExamEvent &event, std::optional<int64_t> atUtcMs = std::nullopt);
  // The journal of the record's run goes on from the events kept beside it.
  void JournalKept(const TRunRecord &record, const std::vector<uint8_t> &events);
  // What came while no Tavelin counted, from the record's save to the run's `untilMs` (run time,
  // included), each at the wall-clock second it came: the run stands at `nowMs` now.
  void JournalMeanwhile(const TRunRecord &record, int64_t untilMs, int64_t nowMs);
  // Whether candidates may leave, as the journal said it.
  TRunTimes ExitAsJournaled(TRunTimes times) const;
  void JournalStart();
  void JournalHeading();
  void JournalWithEnds(const char *event, const std::string &detail);
  void Keep();
  void SetOpen(bool open);
  void MakeEngine(const TRunEnds &ends);
  std::string PaperOf(size_t paper) const;
  uint32_t RunSecondsNow() const;

  TRunSessionHost &host_;
  TRunModel model_;
  std::unique_ptr<TMainThread> engine_;
  TSessionSettings settings_;
  TJournal journal_;
  bool open_ = false;
  bool sessionEnding_ = false;
  bool lastEndCame_ = false;  // the engine's end came
  bool exitSaid_ = false;  // the moment to leave came and was journaled
  uint32_t engineStart_ = 0;
  TRunEnds engineEnds_;
  bool engineUnstarted_ = false;  // made and never started
  int64_t awaitUtcMs_ = 0;  // the official start awaited, 0 for none
  bool startsByItself_ = false;
};

// The longest reason of time added that the journal keeps (the kept events hold it whole).
constexpr size_t TimeAddedReasonMax = 200;
