// The run's session driven as the windows drive it, with random runs and random events: after
// every step, what it shows and keeps must agree with itself and with the engine it drives.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <map>
#include <future>
#include <memory>
#include <set>

#include "sim_clock.h"
#include "run/uBoardTexts.h"
#include "run/uEndTime.h"
#include "run/uRunSession.h"
#include "run/uRunTexts.h"

using namespace tavelin_test;
using std::chrono::duration_cast;
using std::chrono::milliseconds;

namespace {

constexpr int64_t Utc0 = 1'796'000'000'000;

// The platform of a session under test: wall clocks that follow the current engine's simulated
// clock (a fresh one for each engine), plus the clock's sets and the sleeps; the journal and the
// record as they were last handed over.
struct THost final : TRunSessionHost {
  int64_t StartLocal = At(10, 0, 0);
  int64_t Base = 0;  // wall time before the current clock, and steps
  std::unique_ptr<TSimClock> Clock = std::make_unique<TSimClock>();
  std::unique_ptr<TRecordingPoster> Poster = std::make_unique<TRecordingPoster>(*Clock);
  std::vector<std::unique_ptr<TSimClock>> OldClocks;
  std::vector<std::unique_ptr<TRecordingPoster>> OldPosters;
  size_t Drained = 0;
  bool CountsDown = true;
  std::vector<uint32_t> WarnMinutes;
  TJournal Run;
  std::optional<TRunRecord> Record;
  std::vector<uint8_t> Events;
  // Called with each fresh clock, before its engine can wait on it.
  std::function<void()> NewClock;

  int64_t LocalUnreduced() const { return StartLocal + Base + Elapsed(); }
  int64_t Elapsed() const { return duration_cast<milliseconds>(Clock->Now() - Clock->Start()).count(); }
  TWallNow Now() override {
    const int64_t ms = Base + Elapsed();
    return {Utc0 + ms, ((StartLocal + ms) % MsPerDay + MsPerDay) % MsPerDay};
  }
  TJournalTime LocalTime(int64_t utcMs) override {
    const int64_t local = StartLocal + (utcMs - Utc0);
    const int64_t day = local >= 0 ? local / MsPerDay : -1;
    const int64_t ms = local - day * MsPerDay;
    return {2026, 12, int(8 + day), int(ms / 3'600'000), int(ms / 60'000 % 60), int(ms / 1000 % 60)};
  }
  std::unique_ptr<TMainThread> MakeEngine(const TRunEnds &ends) override {
    // The wall clock goes on from where the last engine's left it.
    Base += Elapsed();
    OldClocks.push_back(std::move(Clock));
    OldPosters.push_back(std::move(Poster));
    Clock = std::make_unique<TSimClock>();
    Poster = std::make_unique<TRecordingPoster>(*Clock);
    Drained = 0;
    if (NewClock) NewClock();
    TRunSettings settings{ends.TotalSeconds, 0, CountsDown ? 1 : 0, {}};
    settings.ExtraSeconds = ends.ExtraSeconds;
    settings.WarnMinutes = WarnMinutes;
    settings.Papers = ends.Papers;
    if (settings.Papers.size() >= 2) settings.TypeInc = 1;
    return std::make_unique<TMainThread>(NavigWnd, WatchWnd, settings, *Clock, *Poster);
  }
  // The journal's file as its keeper writes it: each line joins those that wait, which go to the
  // file unless it is locked (for the next `Locked` lines) and are kept meanwhile in the waiting
  // file, which outlives the process.
  std::string File, Kept;
  TJournalQueue Queue;
  int Locked = 0;
  void Journal(const TJournal &run, const std::string &) override {
    Run = run;
    Queue.Push(JournalEntryOf(run), 0);
    WriteFile(Locked > 0 ? (--Locked, size_t{0}) : SIZE_MAX);
  }
  // A try of the file, whose first `cut` bytes reach it.
  void WriteFile(size_t cut) {
    if (const auto kept = ReadWaiting(Kept)) Queue.Merge(*kept);
    const std::string append = JournalAppend(File, Queue.Entries());
    File += append.substr(0, cut);
    if (cut >= append.size()) Queue.Written();
    Kept = PackWaiting(Queue.Entries());
  }
  void Keep(TRunRecord &record, const std::vector<uint8_t> &events) override {
    record.Events = events;
    Record = record;
    Events = events;
  }
  void Forget() override { Record.reset(); }

  // What the display would have handed the session of the engine's posts so far.
  void Drain(TRunSession &session) {
    const std::vector<TMsg> posted = Poster->Messages();
    for (; Drained < posted.size(); ++Drained) {
      const TMsg &m = posted[Drained];
      if (m.Msg == WM_SET_WARNING)
        session.ExamEvent({TExamEventKind(m.LParam), uint32_t(m.WParam & 0xFFFF), uint8_t(m.WParam >> 16)});
      else if (m.Msg == WM_SET_PROGRESS)
        session.Tick();
    }
  }
};

enum class TStepKind { Ticks, Stall, Pause, Continue, ClockSet, Sleep, Add, TakeUp, Near };
struct TStep {
  TStepKind Kind;
  int64_t Ms = 0;  // ticks' length, the stall's, the set's, the sleep's, the take-up's gap
  int Minutes = 0;  // time added
};

// Shrunk sequences print as steps.
[[maybe_unused]] void showValue(const TStep &s, std::ostream &os) {
  static const char *names[] = {"ticks", "stall", "pause", "continue", "clock set", "sleep", "add", "take-up", "near"};
  os << names[int(s.Kind)] << " " << s.Ms << " ms " << s.Minutes << " min";
}

int ExitsSaid(const TJournal &run) {
  return int(std::count_if(run.Events().begin(), run.Events().end(),
                           [](const TJournalEvent &e) { return e.Event == journal::Exit; }));
}

// Every end on the wall clock, of each épreuve, as the session shows them.
std::vector<std::pair<int64_t, int64_t>> EndsShown(const TRunSession &session) {
  std::vector<std::pair<int64_t, int64_t>> ends;
  for (const TRunTimes &t : session.PaperTimes())
    ends.push_back({t.NormalEndMs, t.HasExtended ? t.ExtendedEndMs : t.NormalEndMs});
  return ends;
}

// A warning of an épreuve's end: the épreuve, its stretch (0: before the normal end, 1: after it,
// before the extended end), its minutes.
using TWarning = std::tuple<size_t, int, uint32_t>;

// The run second at which each warning comes, as the engine will count (a move it was told of
// included), and the count it stands at: its last tick posted.
struct TWarnings {
  std::map<TWarning, int64_t> At;
  int64_t Posted = 0;
};
// Each épreuve's ends as the engine counts to them; a run alone is its one épreuve.
std::vector<TPaperEnds> CountedEnds(const TMainThread &engine) {
  std::vector<TPaperEnds> ends = engine.PaperEnds();
  if (ends.empty()) ends = {{engine.TotalSeconds(), engine.ExtraSeconds()}};
  return ends;
}
TWarnings WarningsOf(const TMainThread &engine, const std::vector<uint32_t> &minutes, int64_t posted) {
  TWarnings w{{}, posted};
  const std::vector<TPaperEnds> ends = CountedEnds(engine);
  for (size_t i = 0; i < ends.size(); ++i)
    for (const uint32_t m : minutes) {
      const TPaperEnds &e = ends[i];
      if (m * 60 < e.TotalSeconds) w.At[{i, 0, m}] = e.TotalSeconds - m * 60;
      if (e.ExtraSeconds != 0 && m * 60 < e.ExtraSeconds) w.At[{i, 1, m}] = e.Last() - m * 60;
    }
  return w;
}
int64_t LastPosted(const TRecordingPoster &poster) {
  const std::vector<TMsg> posted = poster.Messages();
  for (auto m = posted.rbegin(); m != posted.rend(); ++m)
    if (m->Msg == WM_SET_PROGRESS) return int64_t(m->WParam);
  return 0;
}
// A warning that came may come once more for each move that puts it ahead again.
void Rearm(const TWarnings &before, const TWarnings &after, std::map<TWarning, int> &allowed) {
  for (const auto &[key, at] : after.At)
    if (auto was = before.At.find(key);
        at > after.Posted && was != before.At.end() && was->second <= before.Posted)
      ++allowed.try_emplace(key, 1).first->second;
}

// What must hold after any step.
// `now`: the local time of day, not reduced past midnight.
// `posted`: the engine's last tick, in seconds: right on an end, its tick may be still to come.
// `steady`: no clock set nor sleep moved the wall clock's account of the run.
void CheckViews(const TRunSession &session, int64_t now, int64_t posted,
                std::map<std::pair<size_t, int>, int64_t> &came, bool steady) {
  const std::vector<TRunTimes> papers = session.PaperTimes();
  // Which ends have come, as the engine counts them.
  const int64_t counted =
      duration_cast<milliseconds>(session.Engine()->Place().RunTime).count();
  const std::vector<TPaperEnds> ends = CountedEnds(*session.Engine());
  for (size_t i = 0; i < papers.size() && i < ends.size(); ++i) {
    const TRunTimes &t = papers[i];
    if (!t.Started || !t.HasEnd) continue;
    auto hasCome = [&](int64_t end) { return counted > end * 1000 || (counted == end * 1000 && posted >= end); };
    const bool cameAt[2] = {hasCome(ends[i].TotalSeconds), hasCome(ends[i].Last())};
    // The band reads its moments in order while they are to come.
    if (!cameAt[0]) RC_ASSERT(t.StartMs <= t.NormalEndMs);
    if (t.HasExtended && !cameAt[0]) RC_ASSERT(t.NormalEndMs <= t.ExtendedEndMs);
    // An end that has come stays where it came, whatever clock set follows.
    const int64_t shown[2] = {t.NormalEndMs, t.HasExtended ? t.ExtendedEndMs : t.NormalEndMs};
    for (int which = 0; which < 2; ++which) {
      const auto key = std::make_pair(i, which);
      if (auto c = came.find(key); c != came.end())
        RC_ASSERT(shown[which] == c->second);
      else if (cameAt[which] && shown[which] <= now - 1000)
        came[key] = shown[which];
    }
  }
  if (!session.Board()) return;
  const std::vector<uint32_t> &warn = session.WarnMinutes();
  const std::vector<TBoardLine> lines = session.BoardLines();
  for (const TBoardLine &line : lines) {
    RC_ASSERT(line.Left.find('-') == std::string::npos);
    // Before its normal end, pauses aside, amber only from a warning shorter than the stretch it
    // counts in, as the engine counts it.
    if (!steady || line.Row >= ends.size() || now >= papers[line.Row].NormalEndMs) continue;
    const int64_t stretch = ends[line.Row].TotalSeconds;
    if (line.Amber) RC_ASSERT(std::any_of(warn.begin(), warn.end(), [&](uint32_t m) { return m * 60 < stretch; }));
  }
  // The panel names the earliest end to come.
  int64_t earliest = INT64_MAX;
  size_t next = papers.size();
  for (size_t i = 0; i < papers.size(); ++i) {
    const TRunTimes &t = papers[i];
    const int64_t end = t.NormalEndMs > now ? t.NormalEndMs : t.HasExtended ? t.ExtendedEndMs : 0;
    if (end > now && end < earliest) earliest = end, next = i;
  }
  const std::string panel = session.PanelTexts("").front();
  if (next < papers.size())
    RC_ASSERT(panel.rfind(session.Model().PaperNameOf(next) + " : ", 0) == 0);
}

// Seconds from the first of the month, to compare journal times.
int64_t Seconds(const TJournalTime &t) { return ((int64_t{t.Day} * 24 + t.Hour) * 60 + t.Minute) * 60 + t.Second; }

// Where a run stood when its process ended, as the test saw it: from this, when each event of the
// run came on the wall clock, whoever journaled it.
struct TCrash {
  int64_t Utc = 0, RunMs = 0;
  bool Paused = false;
  std::vector<TPaperEnds> Ends;
  std::map<TWarning, int64_t> Warnings;
  int64_t ExitMs = 0;
  std::vector<std::string> Names;
  // The run seconds at which an event of this line may have come.
  std::vector<int64_t> SecondsOf(const TJournalEvent &e) const {
    size_t paper = 0;
    for (size_t i = 0; i < Names.size(); ++i)
      if (Names[i] == e.Paper) paper = i;
    std::vector<int64_t> at;
    if (e.Event == journal::Warning) {
      const uint32_t m = uint32_t(std::stoul(e.Detail));
      for (int stretch : {0, 1})
        if (auto w = Warnings.find({paper, stretch, m}); w != Warnings.end()) at.push_back(w->second);
    } else if (e.Event == journal::NormalEnd || e.Event == journal::End) {
      // A run's own end is the last of all.
      for (size_t i = 0; i < Ends.size(); ++i)
        if (e.Paper.empty() || i == paper) at.push_back(e.Event == journal::End ? Ends[i].Last() : Ends[i].TotalSeconds);
      if (e.Event == journal::End && e.Paper.empty()) at = {*std::max_element(at.begin(), at.end())};
    } else if (e.Event == journal::Exit) {
      at.push_back((ExitMs + 999) / 1000);
    }
    return at;
  }
};

// The lines journaled for a run that no process counted, from `from` on: each carries the wall
// clock's second at which its event came (within the tick), in the order they came.
void CheckMeanwhile(THost &host, const TCrash &crash, size_t from, size_t to) {
  const std::vector<TJournalEvent> &lines = host.Run.Events();
  for (size_t i = from; i < to && i < lines.size(); ++i) {
    const TJournalEvent &e = lines[i];
    if (i > from) RC_ASSERT(Seconds(lines[i - 1].At) <= Seconds(e.At));
    const std::vector<int64_t> at = crash.SecondsOf(e);
    RC_ASSERT(!at.empty());
    // Paused, the run's time stood where the pause found it: nothing came but what it had reached.
    if (crash.Paused) {
      RC_ASSERT(std::any_of(at.begin(), at.end(), [&](int64_t k) { return k * 1000 <= crash.RunMs; }));
      continue;
    }
    RC_ASSERT(std::any_of(at.begin(), at.end(), [&](int64_t k) {
      return std::abs(Seconds(host.LocalTime(crash.Utc + k * 1000 - crash.RunMs)) - Seconds(e.At)) <= 1;
    }));
  }
}

// Each line of the run once in the file, in order, whatever failed.
void CheckFile(THost &host) {
  host.WriteFile(SIZE_MAX);
  std::string expected = JournalFileHeader();
  for (const TJournalEvent &e : host.Run.Events()) expected += JournalLine(host.Run.RunStart(), e.Paper, e);
  RC_ASSERT(host.File == expected);
}

}  // namespace

RC_GTEST_PROP(RunSession, EveryMeetingOfARunsEventsKeepsItsEndsAndEvents, ()) {
  THost host;
  host.CountsDown = *rc::gen::arbitrary<bool>();
  host.WarnMinutes = *rc::gen::element(std::vector<uint32_t>{}, std::vector<uint32_t>{1},
                                       std::vector<uint32_t>{5, 1});
  // Near midnight, or in the morning.
  host.StartLocal = *rc::gen::element(At(23, 50, 0), At(10, 0, 0)) + *rc::gen::inRange(0, 600) * 1000;
  TRunChoice choice;
  const bool toTimeOfDay = *rc::gen::arbitrary<bool>();
  const uint32_t own = *rc::gen::inRange<uint32_t>(1, 30) * 60 + *rc::gen::element(0u, 30u);
  if (toTimeOfDay)
    choice.EndMinute = int((host.StartLocal + own * 1000) / 60'000 % MinutesPerDay);
  else
    choice.TotalSeconds = own;
  choice.ExtraThird = *rc::gen::arbitrary<bool>();
  choice.FirstName = "Premier";
  choice.ExitMinutes = *rc::gen::element(0u, 1u, 3u, 10u);
  const int others = *rc::gen::inRange(0, 4);
  for (int i = 0; i < others; ++i) {
    // Equal lengths, and lengths equal to the run's own, included.
    const uint32_t seconds = *rc::gen::element(own, 120u, 120u + 60u * uint32_t(i), 600u);
    choice.Others.push_back({"Ep" + std::to_string(i + 2), seconds, *rc::gen::arbitrary<bool>()});
  }
  const auto step = rc::gen::build<TStep>(
      rc::gen::set(&TStep::Kind, rc::gen::element(TStepKind::Ticks, TStepKind::Stall, TStepKind::Pause,
                                                  TStepKind::Continue, TStepKind::ClockSet,
                                                  TStepKind::Sleep, TStepKind::Add, TStepKind::TakeUp,
                                                  TStepKind::Near)),
      rc::gen::set(&TStep::Ms, rc::gen::oneOf(rc::gen::inRange<int64_t>(-3000, 3000),
                                              rc::gen::element<int64_t>(-1000, 1000),
                                              rc::gen::inRange<int64_t>(-3 * 3'600'000, 3 * 3'600'000))),
      rc::gen::set(&TStep::Minutes, rc::gen::inRange(-60, 121)));
  const auto before = *rc::gen::container<std::vector<TStep>>(*rc::gen::inRange(0, 3), step);
  const auto steps = *rc::gen::container<std::vector<TStep>>(*rc::gen::inRange(0, 10), step);

  auto session = std::make_unique<TRunSession>(host);
  session->Choose(choice, {host.CountsDown, host.WarnMinutes});
  // Before Run: sleeps, clock sets and waits change nothing that Run does not take from the wall.
  for (const TStep &s : before) {
    if (s.Kind == TStepKind::Sleep) session->Sleeping();
    if (s.Kind == TStepKind::Sleep || s.Kind == TStepKind::ClockSet || s.Kind == TStepKind::Stall)
      host.Base += std::abs(s.Ms) % 120'000;
    if (s.Kind == TStepKind::Sleep) session->Woke();
    if (s.Kind == TStepKind::ClockSet) session->ClockChanged();
  }

  std::map<std::pair<size_t, int>, int64_t> came;
  // The local time of day in the session's frame: a taken-up run may count from another day.
  int64_t frameShift = 0;
  auto Frame = [&](int64_t local) { return local + frameShift; };
  size_t at = 0;
  bool takeUp = false;
  TCrash crash;
  bool setBack = false, unsteady = false;
  host.Locked = *rc::gen::inRange(0, 4);
  // The next start says no to the question; the process ends after the last end, box up.
  const bool refuse = *rc::gen::inRange(0, 5) == 0, crashAtEnd = *rc::gen::arbitrary<bool>();
  // Names of 40 characters, and time added with a reason as long as the dialog takes.
  if (*rc::gen::inRange(0, 4) == 0) {
    choice.FirstName = std::string(39, 'P') + "1";
    for (TExamPaper &paper : choice.Others) paper.Name = std::string(39, 'E') + paper.Name.back();
  }
  const std::string reason(*rc::gen::element<size_t>(0, 12, TimeAddedReasonMax), 'r');
  bool moved = false;  // a pause or time added moved the ends off the wall clock's minute
  // How many times each warning may come.
  std::map<TWarning, int> allowed;
  TWarnings warningsBefore;
  auto Warnings = [&] {
    return WarningsOf(*session->Engine(), host.WarnMinutes, LastPosted(*host.Poster));
  };
  // Steps run on the engine's own thread, between its ticks, as the windows' messages would; a
  // failure there ends the run and is raised again on this thread.
  std::exception_ptr failed;
  std::function<void()> step_;
  std::function<void()> next = [&] {
    try {
      step_();
    } catch (...) {
      failed = std::current_exception();
      session->Engine()->Terminate();
      session->Engine()->Resume();  // were it paused
    }
  };
  step_ = [&] {
    host.Drain(*session);
    CheckViews(*session, Frame(host.LocalUnreduced()), LastPosted(*host.Poster), came, !setBack && !unsteady);
    if (at == steps.size()) {
      // On to the end of the run, in one stall past it (time added may have put it hours away).
      if (session->Paused()) session->Run();
      const TMainThread &engine = *session->Engine();
      const int64_t left = (int64_t{engine.TotalSeconds()} + engine.ExtraSeconds()) * 1000 -
                           duration_cast<milliseconds>(engine.Place().RunTime).count();
      host.Clock->Advance(milliseconds(std::max<int64_t>(4 * 3'600'000, left + 1000)));
      return;
    }
    const TStep s = steps[at++];
    warningsBefore = Warnings();
    int64_t wait = 1000, nextAt = -1;
    switch (s.Kind) {
      case TStepKind::Ticks:
        wait = 1000 * (1 + std::abs(s.Ms) % 5);
        break;
      case TStepKind::Stall:
        host.Clock->Advance(milliseconds(std::abs(s.Ms)));
        break;
      case TStepKind::Pause:
        moved = true;
        session->Pause();
        break;
      case TStepKind::Continue:
        if (session->Paused()) session->Run();
        break;
      case TStepKind::ClockSet: {
        host.Base += s.Ms;
        setBack = setBack || s.Ms <= -1000;
        unsteady = unsteady || s.Ms != 0;
        const size_t lines = host.Run.Events().size();
        const bool open = session->MayAddTime();
        session->ClockChanged();
        // A set of a second or more is an event of the exam while an end is to come.
        RC_ASSERT((host.Run.Events().size() > lines) == (open && std::abs(s.Ms) >= 1000));
        // A time of day's end, still to come, stays on the wall clock.
        const TRunTimes t = session->PaperTimes()[0];
        const std::vector<TPaperEnds> counted = session->Engine()->PaperEnds();
        const int64_t normal = counted.empty() ? session->Engine()->TotalSeconds() : counted[0].TotalSeconds;
        if (toTimeOfDay && !moved && t.NormalEndMs > Frame(host.LocalUnreduced()) + 1000 &&
            duration_cast<milliseconds>(session->Engine()->Place().RunTime).count() < normal * 1000)
          RC_ASSERT(std::abs(((t.NormalEndMs % MsPerDay) + MsPerDay) % MsPerDay -
                             int64_t{choice.EndMinute} * 60'000) <= 1000);
        break;
      }
      case TStepKind::Sleep:
        unsteady = true;
        session->Sleeping();
        host.Base += std::abs(s.Ms);
        session->Woke();
        break;
      case TStepKind::Add: {
        const auto ends = EndsShown(*session);
        const bool toCome = session->MayAddTime();
        const TTimeAdded added = session->AddTime(s.Minutes, reason);
        moved = true;
        // Time added to an end still to come moves it, were it in its last second.
        if (toCome && s.Minutes > 0) RC_ASSERT(added.MovedSeconds > 0 && !added.EndCame);
        // What it reports is how far the ends moved.
        int farthest = 0;
        const auto after = EndsShown(*session);
        for (size_t i = 0; i < ends.size(); ++i) {
          const int by = int((after[i].second - ends[i].second) / 1000);
          if (std::abs(by) > std::abs(farthest)) farthest = by;
        }
        RC_ASSERT(std::abs(added.MovedSeconds - farthest) <= 1);
        // On a board its line gives every épreuve's ends still to come.
        if (added.MovedSeconds != 0 && session->Board()) {
          const TJournalEvent &line = host.Run.Events().back();
          RC_ASSERT(line.Event == std::string(journal::TimeAdded));
          const std::vector<TRunTimes> times = session->PaperTimes();
          for (size_t i = 0; i < times.size(); ++i)
            if ((times[i].HasExtended ? times[i].ExtendedEndMs : times[i].NormalEndMs) >
                Frame(host.LocalUnreduced()) + 1000)
              RC_ASSERT(line.Detail.find(session->Model().PaperNameOf(i) + " fin") != std::string::npos);
        }
        break;
      }
      case TStepKind::Near: {
        // The next step on the tick of the earliest end to come, or in the second before it.
        if (session->Paused()) break;
        const int64_t runMs = duration_cast<milliseconds>(session->Engine()->Place().RunTime).count();
        int64_t earliest = INT64_MAX;
        for (const TPaperEnds &e : CountedEnds(*session->Engine()))
          for (const int64_t end : {int64_t{e.TotalSeconds} * 1000, int64_t{e.Last()} * 1000})
            if (end > runMs) earliest = std::min(earliest, end);
        const int64_t before = std::abs(s.Ms) < 3000 ? std::abs(s.Ms) % 1000 : 0;
        if (earliest != INT64_MAX && earliest - before > runMs) nextAt = host.Elapsed() + earliest - before - runMs;
        break;
      }
      case TStepKind::TakeUp:
        takeUp = true;
        crash = {host.Now().UtcMs, duration_cast<milliseconds>(session->Engine()->Place().RunTime).count(),
                 session->Paused(), CountedEnds(*session->Engine()),
                 WarningsOf(*session->Engine(), host.WarnMinutes, 0).At, session->Model().ExitRunMs(host.Now()),
                 session->Board() ? session->Model().PaperNames() : std::vector<std::string>{""}};
        // Killed in the middle of a write, the file locked again for the lines to come.
        if (s.Minutes % 2 != 0) host.WriteFile(size_t(std::abs(s.Minutes) * 3));
        host.Queue = TJournalQueue();
        host.Locked = std::abs(s.Minutes) % 4;
        // The process ends here: its engine stops counting, paused or not.
        session->Engine()->Terminate();
        if (session->Paused()) session->Engine()->Resume();
        return;
    }
    host.Drain(*session);
    CheckViews(*session, Frame(host.LocalUnreduced()), LastPosted(*host.Poster), came, !setBack && !unsteady);
    // The moment to leave is said once, once the count has passed it, and read as said.
    if (const int said = ExitsSaid(host.Run); said != 0) {
      RC_ASSERT(said == 1);
      RC_ASSERT(session->Model().ExitCame(duration_cast<milliseconds>(session->Engine()->Place().RunTime).count()));
    }
    if (session->PaperTimes()[0].HasExit)
      RC_ASSERT((session->BandText().find("Sortie autoris") != std::string::npos) == (ExitsSaid(host.Run) == 1));
    Rearm(warningsBefore, Warnings(), allowed);
    host.Clock->At(milliseconds(nextAt >= 0 ? nextAt : host.Elapsed() + wait + 500), next);
  };
  // The first step is there before the engine counts (a paused one waits on its clock for
  // nothing else), held with the clock standing still until what started it returned and was
  // checked.
  auto holdFirst = [&](std::shared_future<void> ready) {
    host.Clock->At(milliseconds(host.Elapsed()), [&, ready] {
      try {
        ready.get();
      } catch (const std::future_error &) {
        return;  // failed meanwhile
      }
      host.Clock->At(milliseconds(host.Elapsed() + 500), next);
    });
  };
  // On the engine chosen, or on the one that Run makes afresh.
  std::promise<void> ran;
  const std::shared_future<void> runReturned = ran.get_future().share();
  holdFirst(runReturned);
  host.NewClock = [&] { holdFirst(runReturned); };
  const TRunStart started = session->Run();
  host.NewClock = nullptr;
  RC_PRE(started == TRunStart::Started);
  ran.set_value();
  for (;;) {
    // On the simulated clock the run ends at once, unless its engine waits for what never comes:
    // paused with nothing scheduled.
    for (int blocked = 0; !session->Engine()->WaitFor(20);)
      RC_ASSERT((blocked = host.Clock->WaitBlocked(milliseconds(0)) ? blocked + 1 : 0) < 10);
    if (failed) std::rethrow_exception(failed);
    // The end is known before its last messages are posted.
    if (!takeUp) {
      RC_ASSERT(host.Poster->WaitForMsg(WM_RUN_FINISHED));
      break;
    }
    // The process is gone: what it kept is taken up by a fresh session, later.
    takeUp = false;
    RC_ASSERT(host.Record.has_value());
    const TRunRecord record = *host.Record;
    const std::vector<uint8_t> events = host.Events;
    const TJournal journal = host.Run;
    const TRunRecordBytes bytes = PackRunRecord(record);
    session->DropEngine();
    host.Base += std::abs(steps[at - 1].Ms) % 600'000;
    const TWallNow now = host.Now();
    // The record judges the run as the session would have at the same wall time.
    const TTakeUp found = AssessRun(bytes.data(), bytes.size(), now);
    const TRunEnds left = session->Model().Ends(now);
    const auto stood = duration_cast<milliseconds>(session->Model().PlaceAt(now.UtcMs).RunTime).count();
    RC_ASSERT(found.Kind != TTakeUpKind::NoRun);
    RC_ASSERT((found.Kind == TTakeUpKind::Ended) == (stood >= (int64_t{left.TotalSeconds} + left.ExtraSeconds) * 1000));
    RC_ASSERT(found.Record.Paused == session->Paused());
    // The events come with the record, one value.
    RC_ASSERT(found.Record.Events == events);
    if (found.Kind == TTakeUpKind::Ended || refuse) {
      // Not taken up: journaled to its last end, its end included, or to the answer and stopped.
      TRunSession settled(host);
      settled.Settle(found.Record, found.Record.Events, {host.CountsDown, host.WarnMinutes},
                     refuse && found.Kind == TTakeUpKind::Going ? TRunSession::TLeft::Refused : TRunSession::TLeft::Ended);
      const TJournalEvent &last = host.Run.Events().back();
      RC_ASSERT(std::equal(journal.Events().begin(), journal.Events().end(), host.Run.Events().begin()));
      const bool ended = found.Kind == TTakeUpKind::Ended;
      CheckMeanwhile(host, crash, journal.Events().size(), host.Run.Events().size() - (ended ? 0 : 1));
      if (ended) {
        RC_ASSERT(last.Event == std::string(journal::End) && last.Paper.empty());
      } else {
        RC_ASSERT(last.Event == std::string(journal::Stopped) && last.Detail.rfind("non repris", 0) == 0);
        RC_ASSERT(last.At == host.LocalTime(host.Now().UtcMs));
      }
      CheckFile(host);
      return;
    }
    const std::vector<TRunTimes> wanted = session->Model().PaperTimes(now);
    session = std::make_unique<TRunSession>(host);
    session->Choose(choice, {host.CountsDown, host.WarnMinutes});
    std::promise<void> checked;
    const std::shared_future<void> takenUp = checked.get_future().share();
    host.NewClock = [&] { holdFirst(takenUp); };
    session->TakeUp(found.Record, found.Record.Events);
    host.NewClock = nullptr;
    CheckMeanwhile(host, crash, journal.Events().size(), host.Run.Events().size() - 1);
    Rearm(warningsBefore, WarningsOf(*session->Engine(), host.WarnMinutes,
                                     duration_cast<std::chrono::seconds>(session->Engine()->Place().RunTime).count()),
          allowed);
    const std::vector<TRunTimes> taken = session->PaperTimes();
    RC_ASSERT(taken.size() == wanted.size());
    // The same instants, whichever day the local clock's frame counts them from.
    auto sameInstant = [](int64_t a, int64_t b) { return ((a - b) % MsPerDay + MsPerDay) % MsPerDay == 0; };
    for (size_t i = 0; i < taken.size(); ++i) {
      RC_ASSERT(taken[i].HasExit == wanted[i].HasExit);
      if (wanted[i].HasExit && !wanted[i].ExitCame) RC_ASSERT(sameInstant(taken[i].ExitMs, wanted[i].ExitMs));
      RC_ASSERT(sameInstant(taken[i].NormalEndMs, wanted[i].NormalEndMs));
      RC_ASSERT(taken[i].HasExtended == wanted[i].HasExtended);
      if (wanted[i].HasExtended) RC_ASSERT(sameInstant(taken[i].ExtendedEndMs, wanted[i].ExtendedEndMs));
    }
    // The views go on in the session's own frame.
    came.clear();
    frameShift = session->BoardNowMs() - host.LocalUnreduced();
    // The journal goes on under the run's first stamp, its earlier events kept.
    RC_ASSERT(host.Run.RunStart() == journal.RunStart());
    const std::vector<TJournalEvent> &goneOn = host.Run.Events();
    RC_ASSERT(goneOn.size() > journal.Events().size());
    RC_ASSERT(std::equal(journal.Events().begin(), journal.Events().end(), goneOn.begin()));
    RC_ASSERT(goneOn.back().Event == std::string(journal::TakenUp));
    checked.set_value();
  }
  host.Drain(*session);
  session->Finished();
  // The engine counted to the last end that the session gives.
  const TRunEnds ends = session->Model().Ends(host.Now());
  uint32_t counted = 0;
  for (const TMsg &m : host.Poster->Messages())
    if (m.Msg == WM_SET_PROGRESS) counted = uint32_t(m.WParam);
  RC_LOG() << "counted " << counted << ", the engine's ends " << session->Engine()->TotalSeconds() << "+"
           << session->Engine()->ExtraSeconds() << ", the session's " << ends.TotalSeconds << "+" << ends.ExtraSeconds << "\n";
  RC_ASSERT(counted == ends.TotalSeconds + ends.ExtraSeconds);
  // A run that has the moment to leave said it before its end (one whose last end a clock set
  // brought before it has none).
  RC_ASSERT(ExitsSaid(host.Run) == (session->Model().ExitRunMs(host.Now()) != 0 ? 1 : 0));
  if (crashAtEnd) {
    // Ended with the box up: the next start finds the run ended, and journals nothing again.
    RC_ASSERT(host.Record.has_value());
    const size_t lines = host.Run.Events().size();
    const TRunRecordBytes bytes = PackRunRecord(*host.Record);
    host.Queue = TJournalQueue();
    host.Base += 90'000;
    const TTakeUp found = AssessRun(bytes.data(), bytes.size(), host.Now());
    // Known gap: a clock set back at the very end leaves a record whose wall clock says the run
    // goes on, and the next start offers it back.
    RC_ASSERT(found.Kind == TTakeUpKind::Ended || setBack);
    if (found.Kind == TTakeUpKind::Ended)
      TRunSession(host).Settle(found.Record, found.Record.Events, {host.CountsDown, host.WarnMinutes},
                             TRunSession::TLeft::Ended);
    RC_ASSERT(host.Run.Events().size() == lines);
  } else {
    session->Ended();
    RC_ASSERT(!host.Record.has_value());
  }
  CheckFile(host);

  // Each épreuve's events once each, in order, every end come, each naming its épreuve; a warning
  // again only after a move put it ahead again.
  const TJournal &run = host.Run;
  for (const TJournalEvent &e : run.Events()) RC_LOG() << e.Paper << ": " << e.Event << " " << e.Detail << "\n";
  std::map<std::string, std::vector<std::string>> byPaper;
  for (const TJournalEvent &e : run.Events()) {
    if (e.Event == journal::Warning || e.Event == journal::NormalEnd ||
        (e.Event == journal::End && !e.Paper.empty())) {
      if (session->Board()) RC_ASSERT(!e.Paper.empty());
      byPaper[e.Paper].push_back(e.Event + " " + e.Detail);
    }
  }
  const uint32_t last = ends.TotalSeconds + ends.ExtraSeconds;
  for (size_t i = 0; i < session->Model().Papers(); ++i) {
    const std::string name = session->Board() ? session->Model().PaperNameOf(i) : "";
    const std::vector<std::string> &seen = byPaper[name];
    std::map<TWarning, int> given;
    std::vector<std::string> rest;
    for (const std::string &e : seen) {
      if (e.rfind(journal::Warning, 0) == 0)
        ++given[{i, rest.empty() ? 0 : 1, uint32_t(std::stoul(e.substr(std::string(journal::Warning).size())))}];
      else
        rest.push_back(e);
    }
    for (const auto &[key, times] : given) {
      const auto a = allowed.find(key);
      RC_ASSERT(times <= (a == allowed.end() ? 1 : a->second));
    }
    RC_ASSERT(std::set<std::string>(rest.begin(), rest.end()).size() == rest.size());
    const auto end = std::find(seen.begin(), seen.end(), std::string(journal::End) + " ");
    // Nothing after its end.
    if (end != seen.end()) RC_ASSERT(end + 1 == seen.end());
    const TPaperEnds paper = session->Board() ? ends.Papers[i] : TPaperEnds{ends.TotalSeconds, ends.ExtraSeconds};
    if (session->Board() && paper.Last() < last) RC_ASSERT(end != seen.end());
    if (paper.ExtraSeconds != 0 && paper.TotalSeconds < last)
      RC_ASSERT(std::count(seen.begin(), seen.end(), std::string(journal::NormalEnd) + " ") == 1);
  }
  RC_ASSERT(std::count_if(run.Events().begin(), run.Events().end(), [](const TJournalEvent &e) {
              return e.Event == journal::End && e.Paper.empty();
            }) == 1);
}

// ---- The board's lines as the session answers them ---------------------------------------------

// Amber follows the engine's count, which a pause does not move: Français, 30 min and its
// tiers-temps of 10 min; Anglais, 20 min; a pause of 5 min, then each line at a run minute.
TEST(RunSession, TheBoardsAmberFollowsTheCountThroughAPause) {
  const struct { uint32_t Warn, PauseAt, CheckAt; bool Amber[2]; } cases[] = {
      {10, 32, 33, {false, false}},  // no warning of 10 min fits a tiers-temps of 10
      {5, 32, 36, {true, false}},
      {10, 5, 19, {false, true}},
      {10, 5, 21, {true, false}},
  };
  for (const auto &c : cases) {
    THost host;
    TRunSession session(host);
    session.Choose({1800, -1, true, "Français", {{"Anglais", 1200, false}}}, {true, {c.Warn}});
    std::vector<TBoardLine> lines;
    std::promise<void> ran;
    host.Clock->At(0s, [ready = ran.get_future().share()] { ready.wait(); });  // Run returns first
    host.Clock->At(c.PauseAt * 60s, [&] { session.Pause(); });
    host.Clock->At((c.PauseAt + 5) * 60s, [&] { session.Run(); });
    host.Clock->At((c.CheckAt + 5) * 60s, [&] { lines = session.BoardLines(); });
    session.Run();
    ran.set_value();
    while (!session.Engine()->WaitFor(20)) continue;
    ASSERT_EQ(lines.size(), 2u);
    for (const TBoardLine &l : lines) EXPECT_EQ(l.Amber, c.Amber[l.Row]) << c.CheckAt << " min, " << l.Name;
  }
}
