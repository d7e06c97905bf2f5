// uRunSession - one run outside any window. See the header.
#include "run/uRunSession.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "base/uErrors.h"
#include "run/uBoardTexts.h"
#include "run/uEndTime.h"
#include "run/uRunTexts.h"

TRunSessionHost::~TRunSessionHost() = default;

TRunSession::~TRunSession() {
  // The threads go before anything they post to.
  engine_.reset();
}

void TRunSession::Choose(const TRunChoice &choice, const TSessionSettings &settings) {
  settings_ = settings;
  lastEndCame_ = false;
  model_.Choose(choice);
  // An engine that has not counted yet serves another choice of the same ends.
  const TRunEnds ends = model_.Ends(host_.Now());
  if (engine_ && engineUnstarted_ && ends == engineEnds_) return;
  MakeEngine(ends);
}

void TRunSession::MakeEngine(const TRunEnds &ends) {
  engine_.reset();
  engine_ = host_.MakeEngine(ends);
  engineEnds_ = ends;
  engineStart_ = ends.TotalSeconds;
  engineUnstarted_ = true;
}

void TRunSession::SetOpen(bool open) {
  if (open_ == open) return;
  open_ = open;
  if (!open) host_.Forget();
}

std::string TRunSession::PaperOf(size_t paper) const {
  return model_.Board() && paper < model_.Papers() ? model_.PaperNameOf(paper) : std::string();
}

void TRunSession::Journal(const std::string &event, const std::string &detail, size_t paper,
                          std::optional<int64_t> atUtcMs) {
  try {
    const std::string line = journal_.Add(host_.LocalTime(atUtcMs ? *atUtcMs : host_.Now().UtcMs),
                                          event, detail, paper == SIZE_MAX ? "" : PaperOf(paper));
    host_.Journal(journal_, line);
  } catch (const std::exception &) {
    // Memory ran out: the journal is not worth the run.
  }
}

void TRunSession::JournalStart() {
  const TWallNow now = host_.Now();
  journal_ = TJournal{};
  journal_.StartRun(host_.LocalTime(now.UtcMs));
  const TRunEnds ends = model_.Ends(now);
  exitSaid_ = false;
  const TRunTimes times = model_.Times(now);
  const std::string exit = times.HasExit ? ", sortie à partir de " + MinuteTextAt(times.ExitMs) : "";
  if (!model_.Board()) {
    Journal(journal::Start, RunPlanText(settings_.CountsDown && ends.TotalSeconds != 0,
                                        model_.ToTimeOfDay(), ends, times) + exit);
    JournalHeading();
    return;
  }
  // A line an épreuve, each with its own plan; the moment to leave is the room's, told once.
  for (size_t i = 0; i < ends.Papers.size(); ++i) {
    const TPaperEnds &paper = ends.Papers[i];
    Journal(journal::Start,
            RunPlanText(false, i == 0 && model_.ToTimeOfDay(), {paper.TotalSeconds, paper.ExtraSeconds},
                        model_.Times(now, i)) + (i == 0 ? exit : ""),
            i);
  }
  JournalHeading();
}

void TRunSession::JournalHeading() {
  if (const std::string heading = RunHeadingText(settings_.Heading); !heading.empty())
    Journal(journal::Plan, heading);
}

bool TRunSession::HasExit() const { return model_.Times(host_.Now()).HasExit; }

bool TRunSession::Tick() {
  // Once a second: nothing but the engine's count is read until the moment comes.
  if (!open_ || !engine_ || exitSaid_ || !model_.ExitCame(Ms(engine_->Place().RunTime))) return false;
  exitSaid_ = true;
  Journal(journal::Exit, "");
  Keep();
  return true;
}

void TRunSession::JournalWithEnds(const char *event, const std::string &detail) {
  const TWallNow now = host_.Now();
  if (!model_.Board()) {
    const std::string ends = RunEndsText(model_.Times(now));
    Journal(event, ends.empty() ? detail : detail + ", " + ends);
    return;
  }
  // On a board, every épreuve's ends still to come.
  std::string all = detail;
  const int64_t local = LocalNow(now);
  for (size_t i = 0; i < model_.Papers(); ++i) {
    const TRunTimes t = model_.Times(now, i);
    if (!t.HasEnd || (t.HasExtended ? t.ExtendedEndMs : t.NormalEndMs) <= local) continue;
    all += (all.empty() ? "" : ", ") + model_.PaperNameOf(i) + " " + RunEndsText(t);
  }
  Journal(event, all);
}

void TRunSession::Keep() {
  if (!open_ || !engine_) return;
  TRunRecord record;
  const int64_t now = host_.Now().UtcMs;
  model_.FillRecord(record, now);
  // Once the last end came, a clock set no longer places the run on the wall clock: the engine's
  // count does, so that the next start finds the run ended.
  if (lastEndCame_) PlaceRunRecord(record, engine_->Place(), now);
  // The record is the run's safety net, not the run: whatever becomes of it, the run goes on.
  try {
    host_.Keep(record, PackRunEvents(journal_));
  } catch (const std::exception &) {
  }
}

TRunStart TRunSession::Run() {
  if (!engine_ || (open_ && !model_.Paused())) return TRunStart::None;
  const TWallNow now = host_.Now();
  if (!model_.Started()) {
    if (!model_.Fix(now)) return TRunStart::EndPassed;
    if (model_.ToTimeOfDay()) {
      // Its total is the time left until the end, so that the final sound comes at that time of
      // day: the engine is made again for it.
      try {
        MakeEngine(model_.Ends(now));
      } catch (...) {
        model_.Choose(model_.Choice());
        throw;
      }
    }
  }
  const bool first = !open_;
  const int64_t pausedSince = model_.PlaceAt(now.UtcMs).PausedFor.count();
  engineUnstarted_ = false;
  model_.Start(*engine_, now);
  if (first) {
    open_ = true;
    JournalStart();
  } else {
    Journal(journal::Resume, ShortDuration(uint32_t(pausedSince / 1'000'000'000)));
  }
  Keep();
  return first ? TRunStart::Started : TRunStart::Continued;
}

void TRunSession::Pause() {
  if (!engine_ || !open_ || model_.Paused()) return;
  model_.Pause(*engine_, host_.Now());
  Journal(journal::Pause, "à " + ShownText());
  Keep();
}

bool TRunSession::MayAddTime() const { return open_ && engine_ && model_.HasEndToCome(*engine_); }

TTimeAdded TRunSession::AddTime(int minutes, const std::string &reason) {
  // Kept whole with the run's events, never cut.
  if (reason.size() > TimeAddedReasonMax)
    throw ETavelinError("Le motif est trop long (" + std::to_string(TimeAddedReasonMax) +
                        " caractères au plus).");
  TTimeAdded result;
  if (!engine_ || !open_) return result;
  if (!model_.HasEndToCome(*engine_)) {
    result.EndCame = true;
    return result;
  }
  const TWallNow now = host_.Now();
  result.MovedSeconds = model_.AddTime(*engine_, minutes * 60, now);
  if (result.MovedSeconds == 0) {
    // Nothing left to move: the end came while the dialog was up.
    result.EndCame = minutes != 0;
    return result;
  }
  JournalWithEnds(journal::TimeAdded, TimeAddedDetail(result.MovedSeconds, reason));
  Keep();
  return result;
}

std::string TRunSession::CloseQuestion() const {
  return open_ && !sessionEnding_ ? "Un chronométrage est en cours. L'arrêter ?" : std::string();
}

void TRunSession::Close() {
  if (open_ && !sessionEnding_ && engine_) Journal(journal::Stopped, ShownText());
  // Its end is not waited for: going, the engine breaks off its waits, and posts nothing more.
  engine_.reset();
  // Closed by the user, the run is over; closed by the end of the session, it is taken up at the
  // next start.
  if (sessionEnding_)
    open_ = false;
  else
    SetOpen(false);
}

void TRunSession::ExamEvent(const TExamEvent &event) {
  if (!open_) return;
  JournalExamEvent(event);
  Keep();
}

void TRunSession::JournalExamEvent(const TExamEvent &event, std::optional<int64_t> atUtcMs) {
  const size_t paper = model_.Board() && event.Paper < model_.Papers() ? event.Paper : SIZE_MAX;
  if (event.Kind == TExamEventKind::Warning) {
    // A clock set or time added that puts a warning that came ahead again sounds it again; the
    // record has it once, of its stretch (before or after the épreuve's normal end).
    const std::string detail = std::to_string(event.Minutes) + " min", name = PaperOf(paper);
    const std::vector<TJournalEvent> &said = journal_.Events();
    for (auto e = said.rbegin(); e != said.rend() && !(e->Paper == name && e->Event == journal::NormalEnd); ++e)
      if (e->Paper == name && e->Event == journal::Warning && e->Detail == detail) return;
    Journal(journal::Warning, detail, paper, atUtcMs);
  }
  else if (event.Kind == TExamEventKind::NormalEnd)
    Journal(journal::NormalEnd, "", paper, atUtcMs);
  else if (event.Kind == TExamEventKind::PaperEnd)
    Journal(journal::End, "", paper, atUtcMs);
}

bool TRunSession::LastEndCame() {
  lastEndCame_ = true;
  const bool beyond = engine_ && engine_->CountsOvertime();
  // A run counting beyond its end goes on while the box is up.
  if (engine_ && !beyond) engine_->Terminate();
  if (open_) {
    Journal(journal::End, "");
    // Kept with it, so that a Tavelin ended before the box is closed never journals it again.
    Keep();
  }
  return beyond;
}

void TRunSession::EndSeen() {
  if (engine_ && engine_->CountsOvertime() && open_) {
    const TRunEnds ends = model_.Ends(host_.Now());
    const int64_t beyond = Ms(engine_->Place().RunTime) / 1000 - int64_t{ends.TotalSeconds} -
                           ends.ExtraSeconds;
    Journal(journal::Overtime, ShortDuration(uint32_t(std::max<int64_t>(0, beyond))));
  }
  SetOpen(false);
  engineUnstarted_ = false;
  if (engine_) {
    engine_->Terminate();
    engine_->WaitFor(500);
  }
}

void TRunSession::ClockChanged() {
  if (!open_ || !engine_) return;
  const int64_t step = model_.ClockChanged(*engine_, host_.Now());
  // The system's small corrections of its clock are no event of the exam.
  if (step <= -1000 || step >= 1000) JournalWithEnds(journal::ClockChanged, ClockStepText(step));
  Keep();
}

void TRunSession::Sleeping() { model_.Sleeping(host_.Now()); }

void TRunSession::Woke() {
  // The monotonic clock may have stood still during the sleep (Wine's does); the wall clock has
  // not. Before Run there is nothing to place, but the sleep is over all the same.
  if (!open_ || !engine_) {
    model_.Awake();
    return;
  }
  if (const int64_t slept = model_.Woke(*engine_, host_.Now()); slept >= 1000)
    Journal(journal::Woke, ShortDuration(uint32_t(slept / 1000)));
  Keep();
}

void TRunSession::JournalKept(const TRunRecord &record, const std::vector<uint8_t> &events) {
  // The journal goes on from the events kept with the record, under the run's first stamp.
  if (std::optional<TJournal> kept = ReadRunEvents(events.data(), events.size()))
    journal_ = std::move(*kept);
  else
    journal_ = TJournal{}, journal_.StartRun(host_.LocalTime(record.StartUtcMs));
}

void TRunSession::JournalMeanwhile(const TRunRecord &record, int64_t untilMs, int64_t nowMs) {
  // The record is kept at each event, so nothing came before its save. The run counted on
  // unpaused since (a run paused then is paused still): run time `ms` came nowMs - ms before now.
  const int64_t savedMs = Ms(RunPlaceAt(record, record.SavedUtcMs).RunTime);
  const int64_t nowUtc = host_.Now().UtcMs;
  auto utcOf = [&](int64_t ms) { return nowUtc - (nowMs - ms); };
  // Right on a second, that second's tick is still to come, as the engine places it.
  auto posted = [](int64_t ms) { return uint32_t(ms > 0 ? (ms - 1) / 1000 : 0); };
  std::vector<std::pair<uint32_t, TExamEvent>> came;
  if (model_.Choice().TotalSeconds != 0 || model_.ToTimeOfDay()) {
    const TRunEnds ends = model_.Ends(host_.Now());
    const TExamPlan plan = ends.Papers.empty() ? TExamPlan(ends.TotalSeconds, ends.ExtraSeconds, settings_.WarnMinutes)
                                               : TExamPlan(ends.Papers, settings_.WarnMinutes);
    came = plan.Timed(posted(savedMs), uint32_t(untilMs / 1000));
  }
  // The moment to leave at the first tick at or past it, after that second's other events.
  exitSaid_ = std::any_of(journal_.Events().begin(), journal_.Events().end(),
                          [](const TJournalEvent &e) { return e.Event == journal::Exit; });
  const int64_t exitMs = model_.ExitCame(untilMs) ? model_.ExitRunMs(host_.Now()) : 0;
  const int64_t exitTick = (exitMs + 999) / 1000;
  bool exitDue = !exitSaid_ && exitMs != 0 && exitTick * 1000 <= untilMs;
  for (const auto &[second, event] : came) {
    if (exitDue && exitTick < second) {
      exitSaid_ = true, exitDue = false;
      Journal(journal::Exit, "", SIZE_MAX, utcOf(exitTick * 1000));
    }
    JournalExamEvent(event, utcOf(int64_t{second} * 1000));
  }
  if (exitDue) {
    exitSaid_ = true;
    Journal(journal::Exit, "", SIZE_MAX, utcOf(exitTick * 1000));
  }
}

void TRunSession::TakeUp(const TRunRecord &record, const std::vector<uint8_t> &events) {
  const TWallNow now = host_.Now();
  model_.Place(record, now);
  MakeEngine(model_.Ends(now));
  engineUnstarted_ = false;
  model_.TakeUp(record, *engine_, now);
  open_ = true;
  lastEndCame_ = false;
  JournalKept(record, events);
  // Each at the second it came; a tick still to come in this second is the engine's.
  const int64_t nowMs = Ms(model_.PlaceAt(now.UtcMs).RunTime);
  JournalMeanwhile(record, nowMs > 0 ? (nowMs - 1) / 1000 * 1000 : 0, nowMs);
  Journal(journal::TakenUp, (model_.Paused() ? "en pause à " : "à ") + ShownText() + ", " +
                                RunEndsText(model_.Times(now)));
  Keep();
}

void TRunSession::Settle(const TRunRecord &record, const std::vector<uint8_t> &events,
                         const TSessionSettings &settings, TLeft how) {
  engine_.reset();
  open_ = false;
  settings_ = settings;
  const TWallNow now = host_.Now();
  model_.Place(record, now);
  JournalKept(record, events);
  const int64_t nowMs = Ms(model_.PlaceAt(now.UtcMs).RunTime);
  if (how == TLeft::Refused) {
    JournalMeanwhile(record, nowMs > 0 ? (nowMs - 1) / 1000 * 1000 : 0, nowMs);
    Journal(journal::Stopped, "non repris après interruption, à " + ShownText());
    return;
  }
  // Ended while a Tavelin counted, its box up when that Tavelin ended: all is said.
  if (std::any_of(journal_.Events().begin(), journal_.Events().end(), [](const TJournalEvent &e) {
        return e.Event == journal::End && e.Paper.empty();
      }))
    return;
  // To its last end, where the engine would have finished it.
  const TRunEnds ends = model_.Ends(now);
  const int64_t lastMs = (int64_t{ends.TotalSeconds} + ends.ExtraSeconds) * 1000;
  JournalMeanwhile(record, std::min(lastMs, nowMs), nowMs);
  Journal(journal::End, "", SIZE_MAX, now.UtcMs - (nowMs - std::min(lastMs, nowMs)));
}

int64_t TRunSession::LocalNow(const TWallNow &now) const { return model_.LocalInRun(now); }

std::string TRunSession::BandText() const {
  const TWallNow now = host_.Now();
  return ClockBandText(LocalNow(now), ExitAsJournaled(model_.Times(now)));
}

TRunTimes TRunSession::ExitAsJournaled(TRunTimes times) const {
  // The room reads that candidates may leave when the journal says so, at the engine's tick.
  if (open_ && times.HasExit) times.ExitCame = exitSaid_;
  return times;
}

std::vector<TRunTimes> TRunSession::PaperTimes() const {
  const TWallNow now = host_.Now();
  std::vector<TRunTimes> papers = model_.PaperTimes(now);
  // Pauses before an épreuve's normal end moved it on the wall clock, not in the run's time that
  // its warnings count in: its stretch starts that much later.
  const TRunPlace place = model_.PlaceAt(now.UtcMs);
  const int64_t paused = Ms(place.PausedBefore) + (place.Paused ? Ms(place.PausedFor) : 0);
  for (size_t i = 0; i < papers.size(); ++i) {
    papers[i] = ExitAsJournaled(papers[i]);
    if (papers[i].Started) papers[i].StartMs += paused - model_.PausedAfterNormalEndMs(now.UtcMs, i);
  }
  return papers;
}

int64_t TRunSession::BoardNowMs() const { return LocalNow(host_.Now()); }

bool TRunSession::AwaitStart(int startMinute, bool byItself) {
  const TWallNow now = host_.Now();
  const int64_t ahead = MsToMinute(startMinute, now.LocalMs);
  if (ahead <= 0 || open_) return false;
  awaitUtcMs_ = now.UtcMs + ahead;
  startsByItself_ = byItself;
  return true;
}

TRunSession::TAwaited TRunSession::Awaited() const {
  const TWallNow now = host_.Now();
  const int64_t ahead = std::max<int64_t>(0, awaitUtcMs_ - now.UtcMs);
  // The run as it will be when it starts then: its ends are those that will follow.
  const TWallNow then{now.UtcMs + ahead, now.LocalMs + ahead};
  return {StartText(then.LocalMs), WaitingBandText(now.LocalMs, then.LocalMs, model_.Times(then)),
          ahead};
}

int64_t TRunSession::NextWaitMs() const {
  const TWallNow now = host_.Now();
  return std::max<int64_t>(0, std::min<int64_t>(1000 - now.LocalMs % 1000, awaitUtcMs_ - now.UtcMs));
}

std::vector<std::string> TRunSession::PanelTexts(const std::string &durationText) const {
  const TWallNow now = host_.Now();
  if (model_.Board()) return BoardPanelTexts(model_.PaperNames(), model_.PaperTimes(now), LocalNow(now));
  const TRunTimes times = model_.Times(now);
  const TRunEnds ends = model_.Ends(now);
  std::vector<std::string> texts;
  if (model_.ToTimeOfDay()) {
    texts.push_back(EndPanelText(times));
    // Shortened to fit: the time added without its unit, then without it.
    if (times.AddedSeconds != 0) {
      TRunTimes bare = times;
      bare.AddedSeconds = 0;
      const std::string added = AddedText(times.AddedSeconds);
      if (added.size() > 5) texts.push_back(EndPanelText(bare) + added.substr(0, added.size() - 5) + ")");
      texts.push_back(EndPanelText(bare));
    }
  } else if (ends.ExtraSeconds == 0 && times.AddedSeconds == 0) {
    texts.push_back("Temps Total: " + (model_.Started() ? ShortDuration(ends.TotalSeconds) : durationText));
  } else {
    std::string total = "Temps Total: " + ShortDuration(ends.TotalSeconds);
    if (ends.ExtraSeconds != 0) total += " · " + ShortDuration(ends.TotalSeconds + ends.ExtraSeconds);
    texts.push_back(total + AddedText(times.AddedSeconds));
    texts.push_back(total);
  }
  return texts;
}

TGaugeScale TRunSession::Gauge() const {
  const TRunEnds ends = model_.Ends(host_.Now());
  TGaugeScale scale;
  if (!model_.Board()) {
    scale.Length = ends.TotalSeconds + ends.ExtraSeconds;
    scale.Total = ends.TotalSeconds;
    scale.Extra = ends.ExtraSeconds;
    if (ends.ExtraSeconds != 0) scale.Marks.push_back(ends.TotalSeconds);
  } else {
    scale.Length = scale.Total = ends.TotalSeconds;
    // A mark at every end but the last of all, where the gauge ends.
    for (const TPaperEnds &paper : ends.Papers) {
      if (paper.ExtraSeconds != 0) scale.Marks.push_back(paper.TotalSeconds);
      if (paper.Last() < ends.TotalSeconds) scale.Marks.push_back(paper.Last());
    }
  }
  // And one where candidates may leave (the gauge counts whole seconds of run time).
  if (const int64_t exit = model_.ExitRunMs(host_.Now()); exit != 0 && exit / 1000 < scale.Length)
    scale.Marks.push_back(uint32_t(exit / 1000));
  return scale;
}

bool TRunSession::SecondsLit(uint32_t runSeconds, uint32_t nearEndMinutes, bool overtime) const {
  // A board's last end is its only end counted to.
  const TRunEnds ends = model_.Ends(host_.Now());
  return ::SecondsLit(runSeconds, ends.TotalSeconds, ends.ExtraSeconds, nearEndMinutes, overtime);
}

std::vector<TBoardLine> TRunSession::BoardLines(int64_t aheadMs) const {
  const TWallNow now = host_.Now();
  if (aheadMs > 0)
    return ::BoardLines(LocalNow(now), model_.PaperNames(),
                        model_.PaperTimes({now.UtcMs + aheadMs, now.LocalMs + aheadMs}), {});
  const TRunEnds ends = model_.Ends(now);
  TBoardCount count{ends.Papers, RunSecondsNow(), settings_.WarnMinutes};
  if (count.Ends.empty()) count.Ends = {{ends.TotalSeconds, ends.ExtraSeconds}};
  return ::BoardLines(LocalNow(now), model_.PaperNames(), PaperTimes(), count);
}

uint32_t TRunSession::OvertimeFrom() const {
  if (settings_.CountsDown || model_.Board()) return 0;
  const TRunEnds ends = model_.Ends(host_.Now());
  return ends.TotalSeconds + ends.ExtraSeconds;
}

uint32_t TRunSession::RunSecondsNow() const {
  const std::chrono::nanoseconds runTime =
      engine_ ? engine_->Place().RunTime : model_.PlaceAt(host_.Now().UtcMs).RunTime;
  return uint32_t(std::max<int64_t>(0, Ms(runTime)) / 1000);
}

std::string TRunSession::ShownText() const {
  // The engine's count, which the digits show.
  return ShortDuration(model_.DigitsAt(std::chrono::seconds(RunSecondsNow()), settings_.CountsDown));
}

std::vector<std::string> TRunSession::AddedLines(int minutes) const {
  if (!engine_) return {};
  const TWallNow now = host_.Now();
  const TRunTimes before = ExitAsJournaled(model_.Times(now)),
                  after = model_.TimesAfterAdding(*engine_, minutes * 60, now);
  std::vector<std::string> lines =
      model_.Board() ? BoardAddedLines(model_.PaperNames(), model_.PaperTimes(now),
                                       model_.PaperTimesAfterAdding(*engine_, minutes * 60, now),
                                       LocalNow(now))
                     : AddedTimeLines(model_.ToTimeOfDay(), before, after, model_.Ends(now),
                                      model_.EndsAfterAdding(*engine_, minutes * 60));
  // The room's moment to leave, while it is to come, moves with them.
  if (before.HasExit && !before.ExitCame && MinuteTextAt(after.ExitMs) != MinuteTextAt(before.ExitMs))
    lines.push_back(std::string(after.ExitMs > before.ExitMs ? "Sortie reportée" : "Sortie avancée") +
                    " de " + MinuteTextAt(before.ExitMs) + " à " + MinuteTextAt(after.ExitMs));
  return lines;
}
