// The run's model driving the engine on a simulated clock, under the wall clock's events: where
// its ends fall, what the room reads of them, what the record keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "run/uBoardTexts.h"
#include "run/uEndTime.h"
#include "run/uRunModel.h"
#include "run/uRunTexts.h"
#include "sim_clock.h"

using namespace tavelin_test;
using std::chrono::duration_cast;
using std::chrono::milliseconds;

namespace {

constexpr int64_t Utc0 = 1'796'000'000'000;
constexpr int32_t Up = 0, Down = 1;

// The wall clocks follow the engine's from 10:00:00, plus the steps of the clock's setting and
// the sleeps during which the engine's clock stood still.
struct TWall {
  TSimClock &Clock;
  int64_t Step = 0;
  TWallNow Now() const {
    const int64_t ms = duration_cast<milliseconds>(Clock.Now() - Clock.Start()).count() + Step;
    return {Utc0 + ms, At(10, 0, 0) + ms};
  }
};

enum class Ev { Pause, Continue, Stall, ClockSet, Wake, ClockChangeThenWake, Add };
struct TEvent {
  int64_t AtMs;
  Ev Kind;
  int64_t Ms = 0;  // the stall's, the step's, the sleep's or the time added
};

// 600 s, or to 10:10, with a warning at 1 min; tiers-temps adds 200 s, or 240 s to a time of day.
struct TRow {
  const char *Name;
  int32_t Direction;
  bool ToTimeOfDay, Tiers;
  std::vector<TEvent> Events;
  uint32_t EndsAt;  // seconds on the engine's clock
  std::string Band;
  size_t WarnSounds;
  TRunEnds Recorded;
  // Épreuves beside the run's own, with the band each reads at the end and the end sounds.
  std::vector<TExamPaper> Others = {};
  std::vector<std::string> OtherBands = {};
  size_t FinalSounds = 1;
  // Candidates may leave this long after the start: what the room reads of it at ProbeMs.
  uint32_t ExitMinutes = 0;
  int64_t ProbeMs = 0;
  std::string Probed = {};
};

TRunSettings SettingsFor(const TRunEnds &ends, int32_t direction) {
  TRunSettings settings{ends.TotalSeconds, 0, direction, {}};
  settings.ExtraSeconds = ends.ExtraSeconds;
  settings.Papers = ends.Papers;
  return settings;
}

// A fresh process takes the run up from its record's bytes at `now`.
TRunModel TakenUp(const TRunRecord &record, const TWallNow &now) {
  const TRunRecordBytes bytes = PackRunRecord(record);
  const TTakeUp found = AssessRunRecord(bytes.data(), bytes.size(), now.UtcMs);
  EXPECT_EQ(found.Kind, TTakeUpKind::Going);
  TSimClock clock;
  TRecordingPoster poster(clock);
  TRunModel taken;
  taken.Place(found.Record, now);
  TMainThread engine(NavigWnd, WatchWnd, SettingsFor(taken.Ends(now), Down), clock, poster);
  taken.TakeUp(found.Record, engine, now);
  return taken;
}

}  // namespace

TEST(RunModel, EndsBandAndRecordUnderTheWallClocksEvents) {
  const TRow rows[] = {
      {"down", Down, false, false, {}, 600,
       "Il est 10 h 10   Début 10 h 00   Fin 10 h 10", 1, {600, 0}},
      {"up, tiers, a pause before the normal end moves both ends", Up, false, true,
       {{100'500, Ev::Pause}, {160'500, Ev::Continue}}, 860,
       "Il est 10 h 14   Début 10 h 00   Fin 10 h 11   Tiers-temps 10 h 14", 3, {600, 200}},
      {"up, tiers, a pause right on the normal end's second, its tick still to come, moves it", Up,
       false, true, {{600'000, Ev::Pause}, {660'000, Ev::Continue}}, 860,
       "Il est 10 h 14   Début 10 h 00   Fin 10 h 11   Tiers-temps 10 h 14", 3, {600, 200}},
      {"down, tiers, a pause after it moves the extended end only", Down, false, true,
       {{650'500, Ev::Pause}, {710'500, Ev::Continue}}, 860,
       "Il est 10 h 14   Début 10 h 00   Fin 10 h 10   Tiers-temps 10 h 14", 3, {600, 200}},
      {"up, to a time, tiers, clock on 2 min before the normal end", Up, true, true,
       {{300'500, Ev::ClockSet, 120'000}}, 720,
       "Il est 10 h 14   Début 10 h 02   Fin 10 h 10   Tiers-temps 10 h 14", 3, {480, 240}},
      {"down, to a time, tiers, clock on 2 s after the normal end", Down, true, true,
       {{650'500, Ev::ClockSet, 2'000}}, 838,
       "Il est 10 h 14   Début 10 h 00   Fin 10 h 10   Tiers-temps 10 h 14", 3, {600, 238}},
      {"down, to a time, tiers, clock on 7 min past the normal end", Down, true, true,
       {{300'500, Ev::ClockSet, 420'000}}, 420,
       "Il est 10 h 14   Début 10 h 07   Fin 10 h 12   Tiers-temps 10 h 14", 2, {301, 119}},
      {"down, tiers, clock on 5 min after the normal end", Down, false, true,
       {{650'500, Ev::ClockSet, 300'000}}, 800,
       "Il est 10 h 18   Début 10 h 05   Fin 10 h 10   Tiers-temps 10 h 18", 3, {600, 200}},
      {"up, clock back 5 min", Up, false, false, {{100'500, Ev::ClockSet, -300'000}}, 600,
       "Il est 10 h 05   Début 9 h 55   Fin 10 h 05", 1, {600, 0}},
      {"down, to a time, clock back 3 min", Down, true, false,
       {{100'500, Ev::ClockSet, -180'000}}, 780,
       "Il est 10 h 10   Début 9 h 57   Fin 10 h 10", 1, {780, 0}},
      {"down, tiers, a stall across the normal end", Down, false, true,
       {{590'200, Ev::Stall, 30'000}}, 800,
       "Il est 10 h 13   Début 10 h 00   Fin 10 h 10   Tiers-temps 10 h 13", 3, {600, 200}},
      {"down, to a time, a sleep the engine did not count", Down, true, false,
       {{100'500, Ev::Wake, 300'000}}, 300, "Il est 10 h 10   Début 10 h 00   Fin 10 h 10", 1,
       {600, 0}},
      {"up, a clock change seen before the wake", Up, false, false,
       {{100'500, Ev::ClockChangeThenWake, 300'000}}, 300,
       "Il est 10 h 10   Début 10 h 00   Fin 10 h 10", 1, {600, 0}},
      {"down, a sleep during a pause", Down, false, false,
       {{100'500, Ev::Pause}, {130'500, Ev::Wake, 600'000}, {160'500, Ev::Continue}}, 660,
       "Il est 10 h 21   Début 10 h 00   Fin 10 h 21", 1, {600, 0}},
      {"down, to a time, tiers, 12 min added before the normal end", Down, true, true,
       {{100'500, Ev::Add, 720'000}}, 1560,
       "Il est 10 h 26   Début 10 h 00   Fin 10 h 22   Tiers-temps 10 h 26 (+12 min)", 3,
       {1320, 240}},
      {"up, tiers, 2 min added after the normal end", Up, false, true,
       {{650'500, Ev::Add, 120'000}}, 920,
       "Il est 10 h 15   Début 10 h 00   Fin 10 h 10   Tiers-temps 10 h 15 (+2 min)", 3,
       {600, 320}},
      {"down, more taken back than is left", Down, false, false,
       {{100'500, Ev::Add, -3'600'000}}, 101,
       "Il est 10 h 01   Début 10 h 00   Fin 10 h 01 (-8 min)", 0,
       {101, 0}},
      {"down, tiers, 2 min taken back during a pause", Down, false, true,
       {{100'500, Ev::Pause}, {130'500, Ev::Add, -120'000}, {160'500, Ev::Continue}}, 740,
       "Il est 10 h 12   Début 10 h 00   Fin 10 h 09   Tiers-temps 10 h 12 (-2 min)", 3,
       {480, 200}},
      // Beside it "Oral" of 300 s, and "Écrit" of 420 s with 140 s of tiers-temps.
      {"three épreuves, a pause before their ends moves each", Down, false, false,
       {{100'500, Ev::Pause}, {160'500, Ev::Continue}}, 660,
       "Il est 10 h 11   Début 10 h 00   Fin 10 h 11", 5, {600, 0},
       {{"Oral", 300, false}, {"Écrit", 420, true}},
       {"Il est 10 h 11   Début 10 h 00   Fin 10 h 06",
        "Il est 10 h 11   Début 10 h 00   Fin 10 h 08   Tiers-temps 10 h 10"}, 3},
      {"épreuves, a stall over several ends sounds once", Up, false, false,
       {{290'200, Ev::Stall, 120'000}}, 600, "Il est 10 h 10   Début 10 h 00   Fin 10 h 10", 2,
       {600, 0}, {{"Oral", 300, false}, {"Écrit", 300, true}},
       {"Il est 10 h 10   Début 10 h 00   Fin 10 h 05",
        "Il est 10 h 10   Début 10 h 00   Fin 10 h 05   Tiers-temps 10 h 06"}, 2},
      {"épreuves, 2 min added moves the ends still to come", Down, false, false,
       {{350'500, Ev::Add, 120'000}}, 720,
       "Il est 10 h 12   Début 10 h 00   Fin 10 h 12 (+2 min)", 5, {720, 0},
       {{"Oral", 300, false}, {"Écrit", 420, true}},
       {"Il est 10 h 12   Début 10 h 00   Fin 10 h 05",
        "Il est 10 h 12   Début 10 h 00   Fin 10 h 09   Tiers-temps 10 h 11 (+2 min)"}, 3},
      {"épreuves, to a time, clock on 2 min: the time stays, the duration keeps its length", Up,
       true, false, {{100'500, Ev::ClockSet, 120'000}}, 480,
       "Il est 10 h 10   Début 10 h 02   Fin 10 h 10", 2, {480, 0}, {{"Oral", 300, false}},
       {"Il est 10 h 10   Début 10 h 02   Fin 10 h 07"}, 2},
      {"épreuves, more taken back than is left ends each at once", Down, false, false,
       {{100'500, Ev::Add, -3'600'000}}, 101, "Il est 10 h 01   Début 10 h 00   Fin 10 h 01 (-8 min)",
       0, {101, 0}, {{"Oral", 300, true}}, {"Il est 10 h 01   Début 10 h 00   Fin 10 h 01   "
                                            "Tiers-temps 10 h 01 (-5 min)"}, 1},
      // The moment to leave, 5 min after the start, moves with a pause and time added before it.
      {.Name = "leave: a pause and time added before it move it", .Direction = Up,
       .Events = {{100'500, Ev::Pause}, {160'500, Ev::Continue}, {170'500, Ev::Add, 120'000}},
       .EndsAt = 780,
       .Band = "Il est 10 h 13   Début 10 h 00   Fin 10 h 13 (+2 min)   Sortie autorisée",
       .WarnSounds = 1, .Recorded = {720, 0}, .ExitMinutes = 5, .ProbeMs = 200'000,
       .Probed = "Sortie à partir de 10 h 08"},
      {.Name = "leave: taken back past it, it comes at the next second", .Direction = Down,
       .Events = {{250'500, Ev::Add, -300'000}}, .EndsAt = 300,
       .Band = "Il est 10 h 05   Début 10 h 00   Fin 10 h 05 (-5 min)   Sortie autorisée",
       .WarnSounds = 0, .Recorded = {300, 0}, .ExitMinutes = 5, .ProbeMs = 251'000,
       .Probed = "Sortie autorisée"},
      {.Name = "leave: a run over by then has none", .Direction = Down, .EndsAt = 600,
       .Band = "Il est 10 h 10   Début 10 h 00   Fin 10 h 10", .WarnSounds = 1,
       .Recorded = {600, 0}, .ExitMinutes = 10, .ProbeMs = 200'000},
  };
  for (const TRow &r : rows) {
    SCOPED_TRACE(r.Name);
    TSimClock clock;
    TRecordingPoster poster(clock);
    TWall wall{clock};
    TRunModel model;
    model.Choose({600, r.ToTimeOfDay ? Minute(10, 10) : -1, r.Tiers, "", r.Others, r.ExitMinutes});
    ASSERT_TRUE(model.Fix(wall.Now()));
    TRunSettings settings = SettingsFor(model.Ends(wall.Now()), r.Direction);
    settings.WarnMinutes = {1};
    TMainThread run(NavigWnd, WatchWnd, settings, clock, poster);
    for (const TEvent &e : r.Events)
      clock.At(milliseconds(e.AtMs), [&, e] {
        switch (e.Kind) {
          case Ev::Pause:
            return model.Pause(run, wall.Now());
          case Ev::Continue:
            return model.Start(run, wall.Now());
          case Ev::Stall:
            return clock.Advance(milliseconds(e.Ms));
          case Ev::Add:
            model.AddTime(run, int(e.Ms / 1000), wall.Now());
            return;
          case Ev::ClockSet:
            wall.Step += e.Ms;
            model.ClockChanged(run, wall.Now());
            return;
          case Ev::Wake:
          case Ev::ClockChangeThenWake:
            model.Sleeping(wall.Now());
            wall.Step += e.Ms;
            if (e.Kind == Ev::ClockChangeThenWake) model.ClockChanged(run, wall.Now());
            model.Woke(run, wall.Now());
            return;
        }
      });
    std::string probed;
    if (r.ProbeMs != 0) clock.At(milliseconds(r.ProbeMs), [&] { probed = ExitText(model.Times(wall.Now())); });
    model.Start(run, wall.Now());
    ASSERT_TRUE(poster.WaitForMsg(WM_RUN_FINISHED));
    EXPECT_EQ(probed, r.Probed);
    EXPECT_EQ(poster.Posted().back().At - clock.Start(), std::chrono::seconds(r.EndsAt));
    const TWallNow end = wall.Now();
    EXPECT_EQ(ClockBandText(end.LocalMs, model.Times(end)), r.Band);
    const auto messages = poster.Messages();
    EXPECT_EQ(size_t(std::count(messages.begin(), messages.end(), WarnSound())), r.WarnSounds);
    EXPECT_EQ(size_t(std::count(messages.begin(), messages.end(), FinalSound())), r.FinalSounds);
    for (size_t i = 0; i < r.OtherBands.size(); ++i)
      EXPECT_EQ(ClockBandText(end.LocalMs, model.Times(end, i + 1)), r.OtherBands[i]) << i + 1;
    TRunRecord record;
    model.FillRecord(record, end.UtcMs);
    EXPECT_EQ(record.TotalSeconds, r.Recorded.TotalSeconds);
    EXPECT_EQ(record.ExtraSeconds, r.Recorded.ExtraSeconds);
  }
}

// A run taken up from its record reads the ends it was left with: its pauses after the normal
// end, and the time added, stay where they moved them.
TEST(RunModel, ATakeUpReadsTheEndsItWasLeftWith) {
  TSimClock clock;
  TRecordingPoster poster(clock);
  TWall wall{clock};
  TRunModel model;
  model.Choose({600, Minute(10, 10), true, "", {{"Oral", 900, true}}});
  ASSERT_TRUE(model.Fix(wall.Now()));
  TMainThread run(NavigWnd, WatchWnd, SettingsFor(model.Ends(wall.Now()), Down), clock, poster);
  TRunRecord record;
  TWallNow left;
  std::string band, oral;
  clock.At(100'500ms, [&] { model.AddTime(run, 120, wall.Now()); });
  clock.At(750'500ms, [&] { model.Pause(run, wall.Now()); });
  clock.At(810'500ms, [&] { model.Start(run, wall.Now()); });
  clock.At(850'500ms, [&] {
    left = wall.Now();
    model.FillRecord(record, left.UtcMs);
    band = ClockBandText(left.LocalMs, model.Times(left));
    oral = ClockBandText(left.LocalMs, model.Times(left, 1));
    run.Terminate();
  });
  model.Start(run, wall.Now());
  ASSERT_TRUE(run.WaitFor(5000));
  EXPECT_EQ(band, "Il est 10 h 14   Début 10 h 00   Fin 10 h 12   Tiers-temps 10 h 17 (+2 min)");
  EXPECT_EQ(oral, "Il est 10 h 14   Début 10 h 00   Fin 10 h 18   Tiers-temps 10 h 23 (+2 min)");
  const TRunModel taken = TakenUp(record, left);
  EXPECT_EQ(ClockBandText(left.LocalMs, taken.Times(left)), band);
  EXPECT_EQ(ClockBandText(left.LocalMs, taken.Times(left, 1)), oral);
  // What the user chose, before the time added: what a take-up gives back to the settings.
  EXPECT_EQ(taken.Choice().TotalSeconds, record.TotalSeconds - 120);
  EXPECT_EQ(taken.PaperNameOf(0), "Épreuve 1");
  EXPECT_EQ(taken.PaperNameOf(1), "Oral");
}

// A clock set 300 ms forward leaves the engine counting to the nearest second, 10:10:00.300;
// taken up just past the minute, before that count, the end is the minute the room was shown.
TEST(RunModel, ATakeUpBetweenTheMinuteAndItsCountReadsTheMinute) {
  TSimClock clock;
  TRecordingPoster poster(clock);
  TWall wall{clock};
  TRunModel model;
  model.Choose({600, Minute(10, 10), false, "", {}});
  ASSERT_TRUE(model.Fix(wall.Now()));
  TMainThread run(NavigWnd, WatchWnd, SettingsFor(model.Ends(wall.Now()), Down), clock, poster);
  TRunRecord record;
  TWallNow left;
  clock.At(100'500ms, [&] { wall.Step += 300, model.ClockChanged(run, wall.Now()); });
  clock.At(599'800ms, [&] { left = wall.Now(), model.FillRecord(record, left.UtcMs), run.Terminate(); });
  model.Start(run, wall.Now());
  ASSERT_TRUE(run.WaitFor(5000));
  ASSERT_EQ(model.Times(left).NormalEndMs, At(10, 10, 0));
  EXPECT_EQ(TakenUp(record, left).Times(left).NormalEndMs, At(10, 10, 0));
}

// Before Run the band and the bar read the ends that a run started now would have: a duration
// from now, a time of day on its minute past midnight; an open-ended run has none.
TEST(RunModel, BeforeRunTheEndsOfARunStartedNow) {
  const struct {
    TRunChoice Choice;
    int64_t Now;
    std::string Band, Panel;
  } cases[] = {
      {{45 * 60, -1, false}, At(8, 59, 40), "Il est 8 h 59   Fin 9 h 44", ""},
      {{45 * 60, Minute(0, 8), true}, At(23, 58, 0),
       "Il est 23 h 58   Fin 0 h 08   Tiers-temps 0 h 12", "Fin à 0 h 08 · 0 h 12"},
      {{0, -1, true}, At(10, 0, 0), "Il est 10 h 00", ""},
  };
  for (const auto &c : cases) {
    TRunModel model;
    model.Choose(c.Choice);
    const TWallNow now{Utc0, c.Now};
    EXPECT_EQ(ClockBandText(now.LocalMs, model.Times(now)), c.Band);
    if (!c.Panel.empty()) {
      EXPECT_EQ(EndPanelText(model.Times(now)), c.Panel);
    }
  }
}

// The room's board: the lines in the order of their normal ends (ties by row), the tiers-temps
// column, the time left to the next end, amber from the smallest warning that its stretch holds,
// the épreuves over; then the columns and the names cut in a font of 10 pixels a character.
TEST(RunModel, TheBoardReadsEachEpreuveByItsEnds) {
  auto paper = [](bool started, int normalMin, int extendedMin) {
    return TRunTimes{started, At(9, 0, 0), true, At(10, 0, 0) + normalMin * 60'000LL,
                     extendedMin != 0, At(10, 0, 0) + extendedMin * 60'000LL, 0};
  };
  const std::vector<std::string> names = {"Français", "Anglais", "Mathématiques"};
  auto papers = [&](bool started) {  // ends at 11:00, at 10:30 and 11:00, at 10:30
    return std::vector<TRunTimes>{paper(started, 60, 0), paper(started, 30, 60), paper(started, 30, 0)};
  };
  const struct {
    int64_t Now;
    bool Started;
    std::vector<uint32_t> Warnings;
    std::vector<std::string> Lines;  // name|end|tiers-temps|left, then * when amber
  } cases[] = {
      {At(9, 0, 0), false, {15, 5},
       {"Anglais|fin 10 h 30|tiers-temps 11 h 00|", "Mathématiques|fin 10 h 30||",
        "Français|fin 11 h 00||"}},
      {At(10, 25, 30), true, {15, 5},
       {"Anglais|fin 10 h 30|tiers-temps 11 h 00|reste 5 min*", "Mathématiques|fin 10 h 30||reste 5 min*",
        "Français|fin 11 h 00||reste 35 min"}},
      {At(10, 29, 15), true, {15, 5},
       {"Anglais|fin 10 h 30|tiers-temps 11 h 00|reste 45 s*", "Mathématiques|fin 10 h 30||reste 45 s*",
        "Français|fin 11 h 00||reste 31 min"}},
      {At(10, 29, 0), true, {15, 1},
       {"Anglais|fin 10 h 30|tiers-temps 11 h 00|reste 1 min*", "Mathématiques|fin 10 h 30||reste 1 min*",
        "Français|fin 11 h 00||reste 31 min"}},
      {At(10, 30, 0), true, {15, 5},
       {"Anglais|fin 10 h 30|tiers-temps 11 h 00|reste 30 min", "Mathématiques|terminée à 10 h 30||",
        "Français|fin 11 h 00||reste 30 min"}},
      {At(10, 21, 0), true, {40},
       {"Anglais|fin 10 h 30|tiers-temps 11 h 00|reste 9 min*", "Mathématiques|fin 10 h 30||reste 9 min*",
        "Français|fin 11 h 00||reste 39 min*"}},
      // 40 min is longer than the tiers-temps' stretch: none there.
      {At(10, 55, 0), true, {40},
       {"Anglais|fin 10 h 30|tiers-temps 11 h 00|reste 5 min", "Mathématiques|terminée à 10 h 30||",
        "Français|fin 11 h 00||reste 5 min*"}},
      {At(10, 55, 0), true, {30},  // nor as long as it
       {"Anglais|fin 10 h 30|tiers-temps 11 h 00|reste 5 min", "Mathématiques|terminée à 10 h 30||",
        "Français|fin 11 h 00||reste 5 min*"}},
      {At(11, 0, 0), true, {15, 5},
       {"Anglais|terminée à 11 h 00||", "Mathématiques|terminée à 10 h 30||",
        "Français|terminée à 11 h 00||"}},
  };
  // Counted without a pause from 9:00, each to its ends.
  auto count = [](int64_t now, const std::vector<uint32_t> &warnings) {
    return TBoardCount{{{7200, 0}, {5400, 1800}, {5400, 0}}, uint32_t((now - At(9, 0, 0)) / 1000), warnings};
  };
  for (const auto &c : cases) {
    std::vector<std::string> lines;
    for (const TBoardLine &l : BoardLines(c.Now, names, papers(c.Started), count(c.Now, c.Warnings)))
      lines.push_back(l.Name + "|" + l.End + "|" + l.Extended + "|" + l.Left + (l.Amber ? "*" : ""));
    EXPECT_EQ(lines, c.Lines) << MinuteTextAt(c.Now);
  }

  const TTextWidth tenEach = [](const std::string &s) { return 10 * int(s.size()); };
  const struct {
    std::string Name;
    int Width;
    std::string Cut;
  } cuts[] = {{"Mathématiques", 130, "Mathématiques"}, {"Mathématiques", 129, "Mathématiqu…"},
              {"Histoire géo", 100, "Histoire…"},     {"Anglais", 10, "…"},
              {"Anglais", 9, ""}};
  for (const auto &c : cuts)
    EXPECT_EQ(CutName(c.Name, [&](const std::string &s) { return tenEach(s) <= c.Width; }), c.Cut)
        << c.Width;
  // Names 130 wide, "fin 10 h 30" 110, "tiers-temps 11 h 00" 190, "reste 59 min" 120, gaps 40.
  const auto lines = BoardLines(At(10, 25, 30), names, papers(true), count(At(10, 25, 30), {5}));
  EXPECT_EQ(BoardColumns(lines, 800, tenEach), (TBoardColumns{65, 235, 385, 615, 130}));
  const TBoardColumns narrow = BoardColumns(lines, 600, tenEach);
  EXPECT_EQ(narrow, (TBoardColumns{0, 100, 250, 480, 60}));
  EXPECT_EQ(BoardShownNames(lines, narrow, tenEach),
            (std::vector<std::string>{"Angla…", "Mathé…", "Franç…"}));

  const TExamEvent warning{TExamEventKind::Warning, 10, 1}, normal{TExamEventKind::NormalEnd, 0, 1},
      over{TExamEventKind::PaperEnd, 0, 1};
  EXPECT_EQ(ExamEventText(warning, "Anglais"), "Anglais : plus que 10 min");
  EXPECT_EQ(ExamEventText(normal, "Anglais"), "Anglais : fin du temps normal");
  EXPECT_EQ(ExamEventText(over, "Anglais"), "Fin : Anglais");
  EXPECT_EQ(ExamEventText(warning, ""), "Plus que 10 min");

  // The bar's panel: the next end to come, an extended one once the normal ends came.
  const std::vector<std::string> longNames = {"Français", "Histoire-géographie", "Maths"};
  EXPECT_EQ(BoardPanelTexts(longNames, papers(true), At(10, 0, 0)),
            (std::vector<std::string>{"Histoire-géographie : fin à 10 h 30 · 3 épreuves",
                                      "Histoire-géograp… : fin à 10 h 30 · 3 épreuves",
                                      "Histoire-g… : fin à 10 h 30 · 3 épreuves",
                                      "Histoi… : fin à 10 h 30 · 3 épreuves",
                                      "Histoi… : fin à 10 h 30", "3 épreuves"}));
  std::vector<TRunTimes> later = papers(true);
  later[0].NormalEndMs = At(11, 10, 0);
  EXPECT_EQ(BoardPanelTexts(names, later, At(10, 30, 0)).front(),
            "Anglais : tiers-temps à 11 h 00 · 3 épreuves");
  EXPECT_EQ(BoardPanelTexts(names, papers(true), At(11, 0, 0)),
            (std::vector<std::string>{"3 épreuves"}));
  // The time-added dialog names the next end and the last.
  std::vector<TRunTimes> added = papers(true);
  for (TRunTimes &t : added) t.NormalEndMs += 720'000, t.ExtendedEndMs += 720'000;
  EXPECT_EQ(BoardAddedLines(names, papers(true), added, At(10, 0, 0)),
            (std::vector<std::string>{"Anglais : fin reportée de 10 h 30 à 10 h 42",
                                      "Dernière fin reportée de 11 h 00 à 11 h 12"}));
}
