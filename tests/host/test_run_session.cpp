// The run's session driven as the windows drive it, with random runs and random events: after
// every step, what it shows and keeps must agree with itself, with the engine it drives, and with
// the test's own account of what came when (the journal's lines, the file, the procès-verbal).
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <future>
#include <memory>
#include <set>

#include "base/uText.h"
#include "run/uBoardTexts.h"
#include "run/uEndTime.h"
#include "run/uRunSession.h"
#include "run/uRunTexts.h"
#include "sim_clock.h"

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
  int64_t Sets = 0;  // of which the clock's sets, not time gone by
  int64_t Zone = 0;  // the local clock's offset moved (a time zone, summer time)
  bool CountOvertime = false;
  std::atomic<bool> Gone = false;  // the test let go of the engine's clock: nothing more runs on it
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

  int64_t LocalUnreduced() const { return StartLocal + Zone + Base + Elapsed(); }
  // Time gone by, as no clock set reads it.
  int64_t True() const { return Base - Sets + Elapsed(); }
  int64_t Elapsed() const { return duration_cast<milliseconds>(Clock->Now() - Clock->Start()).count(); }
  TWallNow Now() override {
    const int64_t ms = Base + Elapsed();
    return {Utc0 + ms, ((StartLocal + Zone + ms) % MsPerDay + MsPerDay) % MsPerDay};
  }
  TJournalTime LocalTime(int64_t utcMs) override {
    const int64_t local = StartLocal + Zone + (utcMs - Utc0);
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
    settings.CountOvertime = CountOvertime;
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

  // What the display would have handed the session of the engine's posts so far; each line it
  // journaled with the wall clock's second at which the engine posted its event, and the tick
  // that said candidates may leave.
  std::vector<std::pair<size_t, TJournalTime>> Came;
  int64_t PlaceMs = -1, ExitAtMs = -1, ExitAfterMs = -1;  // the run time: the last tick's, at the saying
  void Drain(TRunSession &session) {
    const std::vector<TPosted> posted = Poster->Posted();
    for (; Drained < posted.size(); ++Drained) {
      const TMsg &m = posted[Drained].M;
      const size_t lines = Run.Events().size();
      if (m.Msg == WM_SET_WARNING)
        session.ExamEvent({TExamEventKind(m.LParam), uint32_t(m.WParam & 0xFFFF), uint8_t(m.WParam >> 16)});
      else if (m.Msg == WM_SET_PROGRESS && session.Tick())
        ExitAtMs = duration_cast<milliseconds>(session.Engine()->Place().RunTime).count(), ExitAfterMs = PlaceMs;
      if (m.Msg == WM_SET_PROGRESS) PlaceMs = int64_t(m.WParam) * 1000;
      if (Run.Events().size() > lines)
        Came.push_back({lines, LocalTime(Utc0 + Base + duration_cast<milliseconds>(posted[Drained].At - Clock->Start()).count())});
    }
  }
};

enum class TStepKind { Ticks, Stall, Pause, Continue, ClockSet, Sleep, Add, TakeUp, Near, Zone, Stop, SessionEnd };
struct TStep {
  TStepKind Kind;
  int64_t Ms = 0;  // ticks' length, the stall's, the set's, the sleep's, the take-up's gap
  int Minutes = 0;  // time added
};

// Shrunk sequences print as steps.
[[maybe_unused]] void showValue(const TStep &s, std::ostream &os) {
  static const char *names[] = {"ticks", "stall", "pause", "continue", "clock set", "sleep", "add", "take-up", "near",
                                "time zone", "stop", "session end"};
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
// clock's second at which its event came, in the order they came.
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
      return Seconds(host.LocalTime(crash.Utc + k * 1000 - crash.RunMs)) == Seconds(e.At);
    }));
  }
}

// Each line journaled live carries the wall clock's second at which the engine posted its event.
void CheckCame(THost &host) {
  for (const auto &[line, at] : host.Came) {
    const TJournalEvent &e = host.Run.Events().at(line);
    RC_LOG() << e.Event << " " << e.Detail << " at " << JournalClock(e.At) << ", came " << JournalClock(at) << "\n";
    RC_ASSERT(std::abs(Seconds(e.At) - Seconds(at)) <= 1);
  }
  host.Came.clear();
}

// A CSV file's lines as a spreadsheet reads them: fields apart at ";", quotes taken off.
std::vector<std::vector<std::string>> CsvRows(const std::string &file) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (size_t i = 0; i < file.size(); ++i) {
    const char c = file[i];
    if (c == '"' && quoted && i + 1 < file.size() && file[i + 1] == '"') rows.back().back() += c, ++i;
    else if (c == '"') quoted = !quoted;
    else if (c == ';' && !quoted) rows.back().emplace_back();
    else if (c == '\r' && !quoted) continue;
    else if (c == '\n' && !quoted) rows.emplace_back(1);
    else rows.back().back() += c;
  }
  return rows;
}

// Each line of the run once in the file, in order, whatever failed, after the runs before; and the
// procès-verbal's times as they came ("Effectif") are the file's, row by row.
void CheckFile(THost &host, const std::string &earlier = {}) {
  host.WriteFile(SIZE_MAX);
  std::string expected = JournalFileHeader() + earlier;
  for (const TJournalEvent &e : host.Run.Events()) expected += JournalLine(host.Run.RunStart(), e.Paper, e);
  RC_ASSERT(host.File == expected);
  const std::string stamp = Cp1252ToUtf8(JournalStamp(host.Run.RunStart()));
  std::vector<std::vector<std::string>> lines;  // the run's: time, épreuve, event, detail
  for (const auto &row : CsvRows(host.File))
    if (row.size() == 6 && row[2] == stamp) lines.push_back({row[1], row[3], row[4], row[5]});
  auto unescape = [](std::string t) {
    for (const auto &[from, to] : {std::pair<std::string, std::string>{"&quot;", "\""}, {"&#39;", "'"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
      for (size_t at; (at = t.find(from)) != std::string::npos;) t.replace(at, from.size(), to);
    return t;
  };
  const std::string page = ProcesVerbalHtml(host.Run.RunStart(), host.Run.Events());
  const std::string head = "<h2>Horaires", row = "<tr><th class=\"label\">";
  int blocks = 0;
  for (size_t at = page.find(head); at != std::string::npos; at = page.find(head, at + 1), ++blocks) {
    const size_t close = page.find("</h2>", at);
    const std::string paper = page.compare(at + head.size(), 3, " : ") == 0
                                  ? unescape(page.substr(at + head.size() + 3, close - at - head.size() - 3)) : "";
    // The file's first or last line of an event of this épreuve (UTF-8 both).
    auto line = [&](std::initializer_list<const char *> events, const std::string &of, bool first) {
      const std::vector<std::string> *found = nullptr;
      for (const auto &l : lines)
        for (const char *event : events)
          if (l[2] == Cp1252ToUtf8(event) && l[1] == of && !(first && found)) found = &l;
      return found;
    };
    for (size_t r = page.find(row, close); r < page.find("</table>", close); r = page.find(row, r + 1)) {
      const size_t th = r + row.size(), td = page.find("</th>", th), actual = page.find("</td><td>", td) + 9;
      const std::string label = page.substr(th, td - th);
      if (page.compare(td, 9, "</th><td>") != 0) continue;  // the heads, the plan's words
      const std::string got = unescape(page.substr(actual, page.find("</td></tr>", actual) - actual));
      RC_LOG() << paper << " " << label << ": " << got << "\n";
      auto with = [](const std::vector<std::string> *l) { return l->at(0) + (l->at(3).empty() ? "" : " (" + l->at(3) + ")"); };
      if (label == Cp1252ToUtf8(journal::Start)) {
        RC_ASSERT(got == line({journal::Start}, paper, true)->at(0));
      } else if (label == Cp1252ToUtf8(journal::NormalEnd)) {
        const auto *l = line({journal::NormalEnd}, paper, false);
        RC_ASSERT(got == (l ? l->at(0) : ""));
      } else if (label == Cp1252ToUtf8(journal::Exit)) {
        const auto *l = line({journal::Exit}, "", false);
        RC_ASSERT(got == (l ? l->at(0) : ""));
      } else {
        // The end, or the stop, of the épreuve, or else of the run.
        const auto *l = line({journal::End, journal::Stopped}, paper, false);
        if (!l) l = line({journal::End, journal::Stopped}, "", false);
        RC_ASSERT(label == (l && l->at(2) == Cp1252ToUtf8(journal::Stopped) ? Cp1252ToUtf8("Arrêt avant la fin") : "Fin"));
        RC_ASSERT(got == (l ? with(l) : "en cours"));
      }
    }
  }
  RC_ASSERT(blocks > 0);
}

}  // namespace

RC_GTEST_PROP(RunSession, EveryMeetingOfARunsEventsKeepsItsEndsAndEvents, ()) {
  THost host;
  host.CountsDown = *rc::gen::arbitrary<bool>();
  host.WarnMinutes = *rc::gen::element(std::vector<uint32_t>{}, std::vector<uint32_t>{1},
                                       std::vector<uint32_t>{5, 1}, std::vector<uint32_t>{60, 10, 1});
  host.CountOvertime = *rc::gen::inRange(0, 4) == 0;
  // Near midnight, or in the morning.
  host.StartLocal = *rc::gen::element(At(23, 50, 0), At(10, 0, 0)) + *rc::gen::inRange(0, 600) * 1000;
  TRunChoice choice;
  const bool toTimeOfDay = *rc::gen::arbitrary<bool>();
  // Minutes, or hours.
  const uint32_t own = (*rc::gen::inRange(0, 6) == 0 ? *rc::gen::inRange<uint32_t>(1, 5) * 3600 : *rc::gen::inRange<uint32_t>(1, 30) * 60) +
                       *rc::gen::element(0u, 30u);
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
  // Names of 40 characters, blank ones, and ones that a CSV file or a page must guard.
  if (const std::string odd = *rc::gen::element<std::string>("", std::string(40, 'P'), ";", "\"Maths\" l'oral",
                                                             "Épreuve n°1 à Noël", " Physique ");
      *rc::gen::inRange(0, 3) == 0) {
    choice.FirstName = odd;
    for (size_t i = 0; i < choice.Others.size(); ++i) choice.Others[i].Name = odd.empty() ? "" : odd.substr(0, 39) + char('2' + i);
  }
  const auto step = rc::gen::build<TStep>(
      rc::gen::set(&TStep::Kind, rc::gen::element(TStepKind::Ticks, TStepKind::Stall, TStepKind::Pause,
                                                  TStepKind::Continue, TStepKind::ClockSet,
                                                  TStepKind::Sleep, TStepKind::Add, TStepKind::TakeUp,
                                                  TStepKind::Near, TStepKind::Zone, TStepKind::Stop,
                                                  TStepKind::SessionEnd)),
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
  const bool refuse = *rc::gen::inRange(0, 5) == 0, crashAtEnd = *rc::gen::arbitrary<bool>(),
             secondRun = *rc::gen::inRange(0, 4) == 0;
  // Time added with a reason as long as the dialog takes.
  const std::string reason(*rc::gen::element<size_t>(0, 12, TimeAddedReasonMax), 'r');
  bool moved = false;  // a pause or time added moved the ends off the wall clock's minute
  // Counting beyond the end, the clock held still while the box is up; let go at the latest when
  // the test ends, before the engine goes.
  std::promise<void> heldThere, letGo;
  std::atomic<bool> holding = false, released = false;
  auto held = [&] {
    if (host.Gone) return true;
    if (!host.CountOvertime || !session->Engine()->WaitFor(0)) return false;
    if (!holding.exchange(true)) {
      const std::future<void> go = letGo.get_future();
      heldThere.set_value();
      go.wait();
    }
    return true;
  };
  auto letEngineGo = [&] {
    host.Gone = true;
    if (session->Engine()) session->Engine()->Terminate();
    if (holding && !released.exchange(true)) letGo.set_value();
  };
  const std::shared_ptr<void> release(nullptr, [&](void *) { letEngineGo(); });
  // How the run ended its process: TakeUp (killed), SessionEnd, Stop (the user's); Ticks: not.
  TStepKind ending = TStepKind::Ticks;
  // What the test expects of its own account: the moment to leave in run time (0: none), where a
  // pause began (time gone by), and the run time at which the run stood before its last stall.
  int64_t exitMs = 0, pausedAt = -1, pauseSets = 0, overRunMs = -1;
  auto runMs = [&] { return duration_cast<milliseconds>(session->Engine()->Place().RunTime).count(); };
  // A pause's "Reprise" gives its length, as time went by (a clock set meanwhile aside).
  auto goOn = [&] {
    const int64_t measured = host.True() - pausedAt;
    RC_ASSERT(session->Run() == TRunStart::Continued);
    const TJournalEvent &line = host.Run.Events().back();
    RC_ASSERT(line.Event == std::string(journal::Resume));
    if (pausedAt >= 0 && pauseSets == host.Sets) RC_ASSERT(line.Detail == ShortDuration(uint32_t(measured / 1000)));
    pausedAt = -1;
  };
  // Steps run on the engine's own thread, between its ticks, as the windows' messages would; a
  // failure there ends the run and is raised again on this thread.
  std::exception_ptr failed;
  std::function<void()> step_;
  std::function<void()> next = [&] {
    if (held()) return;
    try {
      step_();
    } catch (...) {
      failed = std::current_exception();
      session->Engine()->Terminate();
      session->Engine()->Resume();  // were it paused
    }
  };
  // Candidates may leave at the first drain past the moment, and only then.
  auto checkExit = [&] {
    if (host.ExitAtMs < 0) return;
    RC_ASSERT(exitMs != 0 && host.ExitAtMs >= exitMs);
    if (host.ExitAfterMs >= 0) RC_ASSERT(host.ExitAfterMs < exitMs);
    host.ExitAtMs = -1;
  };
  step_ = [&] {
    host.Drain(*session);
    CheckCame(host);
    checkExit();
    CheckViews(*session, Frame(host.LocalUnreduced()), LastPosted(*host.Poster), came, !setBack && !unsteady);
    if (at == steps.size()) {
      // On to the end of the run, in one stall past it (time added may have put it hours away).
      if (session->Paused()) goOn();
      const TMainThread &engine = *session->Engine();
      const int64_t left = (int64_t{engine.TotalSeconds()} + engine.ExtraSeconds()) * 1000 - runMs();
      const int64_t stall = std::max<int64_t>(4 * 3'600'000, left + 1000);
      // Counting beyond the end, the box comes up a moment after the stall.
      overRunMs = runMs() + stall + 500;
      host.Clock->Advance(milliseconds(stall));
      if (host.CountOvertime) host.Clock->At(milliseconds(host.Elapsed() + 500), [&] { held(); });
      return;
    }
    const TStep s = steps[at++];
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
        if (!session->Paused()) pausedAt = host.True(), pauseSets = host.Sets;
        session->Pause();
        break;
      case TStepKind::Continue:
        if (session->Paused()) goOn();
        break;
      case TStepKind::Zone: {
        // Summer time, or another time zone: the local clock moves, the run's instants do not.
        const int64_t shift = (s.Ms < 0 ? -1 : 1) * (s.Minutes % 2 == 0 ? 3'600'000 : 1'800'000);
        const std::optional<TRunRecord> was = host.Record;
        const size_t lines = host.Run.Events().size();
        const bool open = session->MayAddTime();
        host.Zone += shift;
        unsteady = true;
        session->ClockChanged();
        RC_ASSERT((host.Run.Events().size() > lines) == open);
        if (was && host.Record) RC_ASSERT(std::abs(host.Record->StartUtcMs - was->StartUtcMs) <= 1);
        break;
      }
      case TStepKind::ClockSet: {
        host.Base += s.Ms;
        host.Sets += s.Ms;
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
        const std::vector<TPaperEnds> ends = CountedEnds(*session->Engine());
        const bool toCome = session->MayAddTime();
        const int64_t now = runMs();
        const TTimeAdded added = session->AddTime(s.Minutes, reason);
        moved = true;
        // Time added to an end still to come moves it, were it in its last second.
        if (toCome && s.Minutes > 0) RC_ASSERT(added.MovedSeconds > 0 && !added.EndCame);
        // What it reports is how far the engine's ends moved; the moment to leave, still to come,
        // moves with them, never before the next tick.
        int farthest = 0;
        const std::vector<TPaperEnds> after = CountedEnds(*session->Engine());
        for (size_t i = 0; i < ends.size(); ++i) {
          const int by = int(int64_t{after[i].Last()} - ends[i].Last());
          if (std::abs(by) > std::abs(farthest)) farthest = by;
        }
        RC_ASSERT(added.MovedSeconds == farthest);
        if (exitMs != 0 && now < exitMs && added.MovedSeconds != 0)
          exitMs = std::max<int64_t>(exitMs + s.Minutes * 60'000, (now / 1000 + 1) * 1000);
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
        // The next step on the tick of the earliest end to come, or of the last, or in the second
        // before it.
        if (session->Paused()) break;
        const int64_t runMs = duration_cast<milliseconds>(session->Engine()->Place().RunTime).count();
        int64_t earliest = INT64_MAX, latest = 0;
        for (const TPaperEnds &e : CountedEnds(*session->Engine()))
          for (const int64_t end : {int64_t{e.TotalSeconds} * 1000, int64_t{e.Last()} * 1000})
            if (end > runMs) earliest = std::min(earliest, end), latest = std::max(latest, end);
        if (s.Minutes % 2 == 0 && latest != 0) earliest = latest;
        const int64_t before = std::abs(s.Ms) < 3000 ? std::abs(s.Ms) % 1000 : 0;
        if (earliest == INT64_MAX || earliest - before <= runMs) break;
        nextAt = host.Elapsed() + earliest - before - runMs;
        // A far end is neared in one stall, as a run of hours would be.
        if (earliest - before - runMs > 60'000) host.Clock->Advance(milliseconds(earliest - before - runMs - 3000));
        break;
      }
      case TStepKind::TakeUp:
      case TStepKind::SessionEnd:
      case TStepKind::Stop:
        // Killed, the Windows session ended, or stopped by the user: the bar closes on this thread.
        takeUp = s.Kind != TStepKind::Stop;
        ending = s.Kind;
        crash = {host.Now().UtcMs, runMs(), session->Paused(), CountedEnds(*session->Engine()),
                 WarningsOf(*session->Engine(), host.WarnMinutes, 0).At, exitMs,
                 session->Board() ? session->Model().PaperNames() : std::vector<std::string>{""}};
        // Killed in the middle of a write, the file locked again for the lines to come.
        if (s.Kind == TStepKind::TakeUp && s.Minutes % 2 != 0) host.WriteFile(size_t(std::abs(s.Minutes) * 3));
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
      RC_ASSERT(exitMs != 0 && runMs() >= exitMs);
    }
    if (session->PaperTimes()[0].HasExit)
      RC_ASSERT((session->BandText().find("Sortie autoris") != std::string::npos) == (ExitsSaid(host.Run) == 1));
    const int64_t nextStep = nextAt >= 0 ? nextAt : host.Elapsed() + wait + 500;
    // The display hands the session each tick's posts as they come.
    for (int64_t d = host.Elapsed() + 1000; d < nextStep; d += 1000)
      host.Clock->At(milliseconds(d), [&] {
        if (!held()) host.Drain(*session);
      });
    host.Clock->At(milliseconds(nextStep), next);
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
  const int64_t runLocal = host.LocalUnreduced();
  const TRunStart started = session->Run();
  host.NewClock = nullptr;
  RC_PRE(started == TRunStart::Started);
  {
    // The moment to leave, unless the run is over by then, named in the run's start line.
    uint32_t last = 0;
    for (const TPaperEnds &e : CountedEnds(*session->Engine())) last = std::max(last, e.Last());
    // A run to a time of day counts from part-way through a second, so that its last second ends
    // on the minute: its moments are that much further in its count.
    const int64_t toEnd = ((int64_t{choice.EndMinute} * 60'000 - runLocal) % MsPerDay + MsPerDay) % MsPerDay,
                  lead = toTimeOfDay ? (toEnd + 999) / 1000 * 1000 - toEnd : 0;
    if (choice.ExitMinutes != 0 && int64_t{choice.ExitMinutes} * 60'000 < int64_t{last} * 1000) exitMs = int64_t{choice.ExitMinutes} * 60'000 + lead;
    const std::string &plan = host.Run.Events().front().Detail, named = ", sortie à partir de " + MinuteTextAt(runLocal - lead + exitMs);
    RC_ASSERT(plan.find(", sortie à partir") == (exitMs == 0 ? std::string::npos : plan.size() - named.size()));
    if (exitMs != 0) RC_ASSERT(plan.substr(plan.size() - named.size()) == named);
  }
  ran.set_value();
  for (;;) {
    // On the simulated clock the run ends at once, unless its engine waits for what never comes:
    // paused with nothing scheduled.
    for (int blocked = 0; !session->Engine()->WaitFor(20);)
      RC_ASSERT((blocked = host.Clock->WaitBlocked(milliseconds(0)) ? blocked + 1 : 0) < 10);
    if (failed) std::rethrow_exception(failed);
    if (ending == TStepKind::Stop) {
      // Stopped: journaled so, and forgotten.
      RC_ASSERT(!session->CloseQuestion().empty());
      session->Close();
      RC_ASSERT(host.Run.Events().back().Event == std::string(journal::Stopped) && !host.Record.has_value());
      break;
    }
    // The end is known before its last messages are posted.
    if (!takeUp) {
      RC_ASSERT(host.Poster->WaitForMsg(WM_RUN_FINISHED));
      break;
    }
    // The process is gone: what it kept is taken up by a fresh session, later.
    takeUp = false;
    if (ending == TStepKind::SessionEnd) {
      // Logoff or shutdown: no question, nothing journaled, the record kept.
      session->SessionEnding(true);
      RC_ASSERT(session->CloseQuestion().empty());
      const size_t lines = host.Run.Events().size();
      session->Close();
      RC_ASSERT(host.Run.Events().size() == lines);
    }
    RC_ASSERT(host.Record.has_value());
    const TRunRecord record = *host.Record;
    const std::vector<uint8_t> events = host.Events;
    const TJournal journal = host.Run;
    const TRunRecordBytes bytes = PackRunRecord(record);
    session->DropEngine();
    // The next start comes later, the clock maybe set back meanwhile (more than the record
    // allows: no run to offer).
    const TStep &gone = steps[at - 1];
    const int64_t set = gone.Minutes % 3 == 0 ? -int64_t(std::abs(gone.Minutes) % 16) * 60'000 : 0;
    host.Base += std::abs(gone.Ms) % 600'000 + set;
    host.Sets += set;
    const TWallNow now = host.Now();
    const TTakeUp found = AssessRun(bytes.data(), bytes.size(), now);
    if (record.SavedUtcMs - now.UtcMs > RunRecordMaxAheadMs) {
      RC_ASSERT(found.Kind == TTakeUpKind::NoRun);
      CheckFile(host);
      return;
    }
    RC_ASSERT(found.Kind != TTakeUpKind::NoRun);
    // Where the run stands by the test's account: paused, where the pause found it; behind a clock
    // set back, where it stood when kept; else on by the wall clock. It is over past the last end
    // the engine counted to.
    const int64_t stands = crash.Paused ? crash.RunMs
                                        : std::max(crash.RunMs - (crash.Utc - record.SavedUtcMs), crash.RunMs + now.UtcMs - crash.Utc);
    uint32_t lastEnd = 0;
    for (const TPaperEnds &e : crash.Ends) lastEnd = std::max(lastEnd, e.Last());
    RC_ASSERT((found.Kind == TTakeUpKind::Ended) == (stands >= int64_t{lastEnd} * 1000));
    crash.Utc = now.UtcMs, crash.RunMs = stands;
    RC_ASSERT(found.Record.Paused == crash.Paused);
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
    session = std::make_unique<TRunSession>(host);
    session->Choose(choice, {host.CountsDown, host.WarnMinutes});
    std::promise<void> checked;
    const std::shared_future<void> takenUp = checked.get_future().share();
    host.NewClock = [&] { holdFirst(takenUp); };
    session->TakeUp(found.Record, found.Record.Events);
    host.NewClock = nullptr;
    CheckMeanwhile(host, crash, journal.Events().size(), host.Run.Events().size() - 1);
    host.PlaceMs = -1;
    // Counted on to the ends the run had (a time of day's stays where the wall clock puts it).
    if (set == 0 || !toTimeOfDay) RC_ASSERT(CountedEnds(*session->Engine()) == crash.Ends);
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
  const bool stopped = ending == TStepKind::Stop;
  const TRunEnds ends = session->Model().Ends(host.Now());
  if (!stopped) {
    if (host.CountOvertime) heldThere.get_future().wait();
    host.Drain(*session);
    CheckCame(host);
    checkExit();
    RC_ASSERT(session->LastEndCame() == host.CountOvertime);
    // The engine counted to the last end that the session gives.
    uint32_t counted = 0;
    for (const TMsg &m : host.Poster->Messages())
      if (m.Msg == WM_SET_PROGRESS) counted = uint32_t(m.WParam);
    RC_LOG() << "counted " << counted << ", the engine's ends " << session->Engine()->TotalSeconds() << "+"
             << session->Engine()->ExtraSeconds() << ", the session's " << ends.TotalSeconds << "+" << ends.ExtraSeconds << "\n";
    RC_ASSERT(counted == ends.TotalSeconds + ends.ExtraSeconds);
    // A run that has the moment to leave said it before its end (one whose last end a clock set
    // brought before it has none).
    RC_ASSERT(ExitsSaid(host.Run) == (exitMs != 0 && exitMs < int64_t{counted} * 1000 ? 1 : 0));
    if (crashAtEnd) {
      // Ended with the box up: the next start finds the run ended, and journals nothing again.
      RC_ASSERT(host.Record.has_value());
      const size_t lines = host.Run.Events().size();
      const TRunRecordBytes bytes = PackRunRecord(*host.Record);
      host.Queue = TJournalQueue();
      host.Base += 90'000;
      const TTakeUp found = AssessRun(bytes.data(), bytes.size(), host.Now());
      RC_ASSERT(found.Kind == TTakeUpKind::Ended);
      TRunSession(host).Settle(found.Record, found.Record.Events, {host.CountsDown, host.WarnMinutes},
                               TRunSession::TLeft::Ended);
      RC_ASSERT(host.Run.Events().size() == lines);
    } else {
      session->EndSeen();
      RC_ASSERT(!host.Record.has_value());
      // Counted beyond the end, until the box closed.
      const TJournalEvent &last = host.Run.Events().back();
      RC_LOG() << "beyond: " << last.Detail << ", run " << overRunMs << "\n";
      if (host.CountOvertime && overRunMs >= 0)
        RC_ASSERT(last.Event == std::string(journal::Overtime) && last.Detail == ShortDuration(uint32_t(overRunMs / 1000 - counted)));
    }
    if (host.CountOvertime) letEngineGo();
  }
  CheckFile(host);
  // Each épreuve's events once each, in order, every end come, each naming its épreuve; a warning
  // once, of its stretch.
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
    // A warning once, whatever moved its end.
    for (const auto &[key, times] : given) RC_ASSERT(times == 1);
    RC_ASSERT(std::set<std::string>(rest.begin(), rest.end()).size() == rest.size());
    const auto end = std::find(seen.begin(), seen.end(), std::string(journal::End) + " ");
    // Nothing after its end.
    if (end != seen.end()) RC_ASSERT(end + 1 == seen.end());
    const TPaperEnds paper = session->Board() ? ends.Papers[i] : TPaperEnds{ends.TotalSeconds, ends.ExtraSeconds};
    if (session->Board() && paper.Last() < last && !stopped) RC_ASSERT(end != seen.end());
    if (paper.ExtraSeconds != 0 && paper.TotalSeconds < last && !stopped)
      RC_ASSERT(std::count(seen.begin(), seen.end(), std::string(journal::NormalEnd) + " ") == 1);
  }
  RC_ASSERT(std::count_if(run.Events().begin(), run.Events().end(), [](const TJournalEvent &e) {
              return e.Event == journal::End && e.Paper.empty();
            }) == (stopped ? 0 : 1));
  if ((!crashAtEnd || stopped) && secondRun) {
    // A second run in the same session: a journal of its own, after the first's lines, each line
    // at the second its event came.
    std::string first;
    for (const TJournalEvent &e : host.Run.Events()) first += JournalLine(host.Run.RunStart(), e.Paper, e);
    const TJournalTime firstStart = host.Run.RunStart();
    host.Base += 5000;
    host.CountOvertime = false;
    session->DropEngine();
    host.Gone = false;
    std::function<void()> drain = [&] {
      host.Drain(*session);
      host.Clock->At(milliseconds(host.Elapsed() + 1000), drain);
    };
    // The first drain waits until Run returned.
    std::promise<void> started2;
    const std::shared_future<void> ran2 = started2.get_future().share();
    host.NewClock = [&] {
      host.Clock->At(milliseconds(500), [&, ran2] {
        ran2.wait();
        drain();
      });
    };
    session->Choose({65}, {host.CountsDown, host.WarnMinutes});
    const TRunStart again = session->Run();
    host.NewClock = nullptr;
    started2.set_value();
    RC_ASSERT(again == TRunStart::Started);
    while (!session->Engine()->WaitFor(20)) {
    }
    host.Drain(*session);
    session->LastEndCame();
    session->EndSeen();
    CheckCame(host);
    RC_ASSERT(!(host.Run.RunStart() == firstStart));
    RC_ASSERT(host.Run.Events().front().Event == std::string(journal::Start) && host.Run.Events().back().Event == std::string(journal::End));
    CheckFile(host, first);
  }
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
