// The record of an open run: written and read back, refused when no writer could have written it,
// where its run stands when it is taken up after a gap, and what the take-up question says of it.
#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <functional>
#include <type_traits>
#include <vector>

#include "base/uText.h"
#include "run/uEndTime.h"
#include "run/uExamPaper.h"
#include "run/uExamPlan.h"
#include "run/uJournal.h"
#include "run/uRunModel.h"
#include "run/uRunRecord.h"
#include "run/uRunTexts.h"
#include "sim_clock.h"

namespace {

using namespace std::chrono_literals;
using TBytes = std::vector<uint8_t>;
using TChange = std::function<void(TRunRecord&)>;
using R = TRunRecord;

constexpr int64_t Now = 1'796'000'000'000;  // UTC ms, December 2026

// A run of 20 minutes, 300 s into it at Now (30 s of it paused), every field set apart.
TRunRecord Running() {
  return {1200, 30, Now - 330'000, 30'000, 0, Now - 1'000, 645, 400, 7, 1, true, false, true, true,
          0x41, 10'000, -90, 60, 380,
          {{"Oral", 600, true, 240, 200, 40, -10, 5'000}, {"Écrit de 40 caractères, tout juste !!!!!"}},
          true, "Anglais"};
}

// As the second version wrote it: the first part of the third, without the épreuves' ends.
TBytes AsVersion2(const TBytes& v3) {
  TBytes v2(v3.begin(), v3.begin() + RunRecordSizeV2);
  v2[0] = 2, v2[4] = uint8_t(RunRecordSizeV2), v2[5] = 0;
  return v2;
}

template <class T>
TChange Set(T R::*field, std::type_identity_t<T> value) {
  return [=](R& r) { r.*field = value; };
}

TBytes Bytes(const TRunRecord& r) {
  const TRunRecordBytes b = PackRunRecord(r);
  return {b.begin(), b.end()};
}

// As the first version wrote it: the same fields four bytes earlier, no length, SessionOnly a byte.
TBytes AsVersion1(const TBytes& v2) {
  TBytes v1(RunRecordSizeV1);
  v1[0] = 1;
  std::copy(v2.begin() + 8, v2.begin() + 65, v1.begin() + 4);
  v1[61] = v2[68];
  return v1;
}

TTakeUp Assess(const TBytes& b, int64_t at = Now) {
  return AssessRunRecord(b.data(), b.size(), at);
}

// Each field at its limit is read, past it the record is no run; in either version where it has
// the field. A byte poked is at version 2's offset, or where version 1 has the same field.
TEST(RunRecord, EachFieldIsReadUpToItsLimitAndNotPast) {
  enum { Both, V2, V1 };
  auto at = [](size_t offset, uint8_t value) {
    return [=](TBytes& b) {
      b[b.size() == RunRecordSizeV1 && offset >= 8 ? offset - 4 : offset] = value;
    };
  };
  const struct {
    const char* name;
    int versions;
    TChange read, refused;
    std::function<void(TBytes&)> poke = nullptr;  // refused
  } rows[] = {
      {"total", Both, Set(&R::TotalSeconds, RunRecordMaxSeconds), Set(&R::TotalSeconds, 90'000)},
      {"extra", Both, Set(&R::ExtraSeconds, RunRecordMaxSeconds), Set(&R::ExtraSeconds, 90'000)},
      {"end minute", Both, Set(&R::EndMinute, 1439), Set(&R::EndMinute, 1440)},
      {"no end minute", Both, Set(&R::EndMinute, -1), Set(&R::EndMinute, -2)},
      {"last screen", Both, Set(&R::UserScreenSize, 20), Set(&R::UserScreenSize, 21)},
      {"first screen", Both, Set(&R::UserScreenSize, 0), Set(&R::UserScreenSize, -1)},
      {"start", Both, Set(&R::StartUtcMs, Now - RunRecordMaxAgeMs),
       Set(&R::StartUtcMs, Now - RunRecordMaxAgeMs - 1)},
      {"start at its lowest", Both, nullptr, Set(&R::StartUtcMs, INT64_MIN)},
      {"start, saved ahead of the clock", Both,
       [](R& r) { r.SavedUtcMs = Now + 1'000, r.StartUtcMs = Now + 1'000 - RunRecordMaxAgeMs; },
       [](R& r) { r.SavedUtcMs = Now + 1'000, r.StartUtcMs = Now + 999 - RunRecordMaxAgeMs; }},
      {"start after the save", Both, nullptr, [](R& r) { r.StartUtcMs = r.SavedUtcMs + 1; }},
      {"save", Both, Set(&R::SavedUtcMs, Now + RunRecordMaxAheadMs),
       Set(&R::SavedUtcMs, Now + RunRecordMaxAheadMs + 1)},
      {"save at its highest", Both, nullptr, Set(&R::SavedUtcMs, INT64_MAX)},
      {"paused", Both, [](R& r) { r.PausedMs = r.SavedUtcMs - r.StartUtcMs; },
       [](R& r) { r.PausedMs = r.SavedUtcMs - r.StartUtcMs + 1; }},
      {"paused at its highest", Both, nullptr, Set(&R::PausedMs, INT64_MAX)},
      {"paused below 0", V1, nullptr, Set(&R::PausedMs, -1)},
      {"pause from the start", Both,
       [](R& r) { r.Paused = true, r.PausedSinceUtcMs = r.StartUtcMs + 30'000; },
       [](R& r) { r.Paused = true, r.PausedSinceUtcMs = r.StartUtcMs + 29'999; }},
      {"pause until the save", Both,
       [](R& r) { r.Paused = true, r.PausedSinceUtcMs = r.SavedUtcMs; },
       [](R& r) { r.Paused = true, r.PausedSinceUtcMs = r.SavedUtcMs + 1; }},
      {"settings held", V2, Set(&R::SessionOnly, 0xFF), Set(&R::SessionOnly, 0x100)},
      {"the journal's flag", V2, nullptr, nullptr, at(65, 2)},
      {"after the normal end", V2, Set(&R::PausedAfterNormalMs, 30'000),
       Set(&R::PausedAfterNormalMs, 30'001)},
      {"after the normal end, below 0", V2, nullptr, Set(&R::PausedAfterNormalMs, -1)},
      {"added", V2, Set(&R::AddedSeconds, 86'400), Set(&R::AddedSeconds, 86'401)},
      {"taken", V2, Set(&R::AddedSeconds, -86'400), Set(&R::AddedSeconds, -86'401)},
      {"added after", V2, Set(&R::AddedAfterNormalSeconds, 86'400),
       Set(&R::AddedAfterNormalSeconds, 86'401)},
      {"planned extra", V2, Set(&R::PlannedExtraSeconds, 89'999),
       Set(&R::PlannedExtraSeconds, 90'000)},
      {"épreuves", V2, [](R& r) { r.Papers.push_back({"", RunRecordMaxSeconds}); },
       [](R& r) { r.Papers[1].Seconds = 90'000; }, at(92, 4)},
      {"a name", V2, [](R& r) { r.Papers[0].Name = " ~\xFF"; },
       [](R& r) { r.Papers[0].Name = "O\tral"; },
       at(96 + 30, 'x')},  // a name going on after its end
      {"running since a pause", Both, nullptr, nullptr, at(32, 1)},
      {"direction", Both, nullptr, nullptr, at(60, 2)},
      {"a flag", Both, nullptr, nullptr, at(64, 2)},
      {"padding", V1, nullptr, nullptr, [](TBytes& b) { b[63] = 1; }},
      {"padding", V2, nullptr, nullptr, at(67, 1)},
      {"an épreuve's flag", V2, nullptr, nullptr, at(96 + 44, 2)},
      {"an unused row", V2, nullptr, nullptr, at(96 + 2 * 48 + 41, 1)},
      {"a byte short", Both, nullptr, nullptr, [](TBytes& b) { b.pop_back(); }},
      {"a byte long", Both, nullptr, nullptr, [](TBytes& b) { b.push_back(0); }},
      {"the other version", Both, nullptr, nullptr, [](TBytes& b) { b[0] = b[0] == 1 ? 2 : 1; }},
      {"length", V2, nullptr, nullptr, at(4, 0)},
      {"version 2, longer", V2, nullptr, nullptr, [](TBytes& b) { b.resize(248), b[4] = 248; }},
      {"an épreuve's time added", V2,
       [](R& r) { r.Papers[0].AddedAfterNormalSeconds = -86'400; },
       [](R& r) { r.Papers[0].AddedSeconds = 86'401; }},
      {"an épreuve's pauses after its normal end", V2,
       [](R& r) { r.Papers[0].PausedAfterNormalMs = 30'000; },
       [](R& r) { r.Papers[0].PausedAfterNormalMs = 30'001; }},
      {"the first name", V2, nullptr, [](R& r) { r.FirstName = "A\nB"; }},
      {"the moment to leave", V2, Set(&R::ExitRunMs, 176'399'000u), Set(&R::ExitRunMs, 176'399'001u)},
      {"an unused row's ends", V2, nullptr, nullptr, at(280 + 2 * 24 + 3, 1)},
      {"ends that came", V2, [](R& r) { r.NormalCameMs = RunRecordMaxCameMs, r.LastCameMs = -RunRecordMaxCameMs; },
       nullptr, at(356 + 20, 4)},  // an épreuve's ends are never read at the count
  };
  for (const auto& row : rows)
    for (bool v1 : {false, true}) {
      if (row.versions == (v1 ? V2 : V1)) continue;
      auto kind = [&](const TChange& change, const std::function<void(TBytes&)>& poke) {
        TRunRecord r = Running();
        if (change) change(r);
        TBytes b = v1 ? AsVersion1(Bytes(r)) : Bytes(r);
        if (poke) poke(b);
        return Assess(b).Kind;
      };
      const std::string name = row.name + std::string(v1 ? " (version 1)" : "");
      if (row.read) { EXPECT_NE(kind(row.read, nullptr), TTakeUpKind::NoRun) << name; }
      if (row.refused) { EXPECT_EQ(kind(row.refused, nullptr), TTakeUpKind::NoRun) << name; }
      if (row.poke) { EXPECT_EQ(kind(nullptr, row.poke), TTakeUpKind::NoRun) << name; }
    }
}

// A duration run, a run to a time of day and a paused run read back as written, from either
// version (version 1 without what it lacks); a later, longer version as far as it is known here.
TEST(RunRecord, ReadBackAsWritten) {
  TRunRecord duration = Running(), toTimeOfDay = Running(), paused = Running();
  duration.EndMinute = -1, duration.TypeInc = 0, duration.ExtraThird = false;
  duration.ExtraSeconds = 0, duration.Papers.clear();
  toTimeOfDay.SessionOnly = 0, toTimeOfDay.KeepJournal = true, toTimeOfDay.ExitRunMs = 3'600'400;
  toTimeOfDay.Events = {'T', 'V', 0, 0xEE};
  paused.EndMinute = -1, paused.Paused = true, paused.PausedSinceUtcMs = Now - 60'000;
  for (const TRunRecord& r : {duration, toTimeOfDay, paused}) {
    EXPECT_EQ(Assess(Bytes(r)).Record, r);
    TRunRecord v1 = r;
    v1.PausedAfterNormalMs = 0, v1.AddedSeconds = 0, v1.Papers.clear();
    v1.AddedAfterNormalSeconds = 0, v1.PlannedExtraSeconds = 0, v1.KeepJournal = false;
    v1.FirstName.clear(), v1.ExitRunMs = 0, v1.Events.clear();
    EXPECT_EQ(Assess(AsVersion1(Bytes(r))).Record, v1);
    TRunRecord v2 = r;
    v2.FirstName.clear(), v2.ExitRunMs = 0, v2.Events.clear();
    for (TRunRecordPaper& exam : v2.Papers) exam = {exam.Name, exam.Seconds, exam.ExtraThird};
    EXPECT_EQ(Assess(AsVersion2(Bytes(r))).Record, v2);
    // Version 4 kept its events in a value of their own.
    TBytes v4 = Bytes(r);
    v4.resize(RunRecordSize), v4[0] = 4, v4[4] = uint8_t(RunRecordSize), v4[5] = RunRecordSize >> 8;
    TRunRecord alone = r;
    alone.Events.clear();
    EXPECT_EQ(Assess(v4).Record, alone);
    // The events whole or no run: one byte short, or one more than they say.
    TBytes cut = Bytes(r), longer = Bytes(r);
    cut[RunRecordSize] = uint8_t(r.Events.size() + 1);
    longer.push_back(0), longer[4] = uint8_t(longer.size()), longer[5] = uint8_t(longer.size() >> 8);
    EXPECT_EQ(Assess(cut).Kind, TTakeUpKind::NoRun);
    EXPECT_EQ(Assess(longer).Kind, TTakeUpKind::NoRun);
  }
  auto later = [&](size_t size) {
    TBytes b = Bytes(toTimeOfDay);
    b.resize(size, 0xEE);
    b[0] = RunRecordVersion + 1;
    for (size_t i = 0; i < 4; ++i) b[4 + i] = uint8_t(size >> (8 * i));
    b[68 + 3] = 0x80;  // a setting of its own
    return b;
  };
  EXPECT_EQ(Assess(later(RunRecordSize + 100)).Record, toTimeOfDay);
  EXPECT_EQ(Assess(later(RunRecordMaxSize)).Record, toTimeOfDay);
  EXPECT_EQ(Assess(later(RunRecordMaxSize + 1)).Kind, TTakeUpKind::NoRun);
}

// A journal line's fields as a spreadsheet reads them: quotes away, and the formula guard's
// apostrophe (before a formula's first character, behind the text's own apostrophes).
std::vector<std::string> CsvFields(const std::string &line) {
  std::vector<std::string> fields(1);
  for (size_t i = 0, quoted = 0; i + 2 < line.size() || (quoted && i < line.size()); ++i) {
    if (line[i] == '"' && !(quoted && line[i + 1] == '"' && ++i)) quoted = !quoted;
    else if (line[i] == ';' && !quoted) fields.emplace_back();
    else fields.back() += line[i];
  }
  for (std::string &f : fields)
    if (const size_t at = f.find_first_not_of('\''); at > 0 && at < f.size() && strchr("=+-@\t\r", f[at]))
      f.erase(0, 1);
  return fields;
}

// Whatever name the check lets in, from any entry, reads back as it was given from the run's
// record and from the journal's line.
RC_GTEST_PROP(RunRecord, AnAcceptedNameReadsBackFromTheRecordAndTheJournal, ()) {
  const size_t length = *rc::gen::inRange<size_t>(0, MaxPaperName + 3);
  const std::string name = *rc::gen::container<std::string>(
      length, rc::gen::weightedOneOf<char>(
                  {{12, rc::gen::elementOf(std::string("aZ 9=+-@'\";\xE9\xC9\x9C\xA0\xFF"))},
                   {1, rc::gen::elementOf(std::string("\t\r\n\x81\x7F"))},
                   {1, rc::gen::arbitrary<char>()}}));
  RC_CLASSIFY(PaperNameFault(name) == TPaperNameFault::None);
  if (PaperNameFault(name) != TPaperNameFault::None) return;
  TRunRecord r = Running();
  r.FirstName = r.Papers[1].Name = name;
  RC_ASSERT(Assess(Bytes(r)).Record == r);
  const std::vector<std::string> fields =
      CsvFields(Utf8ToCp1252(JournalLine({2026, 12, 7, 9, 0, 0}, name, {{}, name, name})));
  RC_ASSERT(fields.size() == 6u);
  RC_ASSERT(fields[3] == name && fields[4] == name && fields[5] == name);
}

// Read back ten minutes after Tavelin went: a running run has run on, a paused one stands where it
// was; a run whose end (its tiers-temps end, here) came meanwhile is over at that instant. Read
// by a clock set back behind its save, it stands where it was saved.
TEST(RunRecord, TakenUpAfterAGap) {
  TRunRecord r = Running();
  EXPECT_EQ(Assess(Bytes(r), Now + 600'000).Place.RunTime, 900s);
  r.Paused = true;
  r.PausedSinceUtcMs = Now - 60'000;
  const TTakeUp up = Assess(Bytes(r), Now + 600'000);
  ASSERT_EQ(up.Kind, TTakeUpKind::Going);
  EXPECT_EQ(up.Place.RunTime, 240s);
  EXPECT_EQ(up.Place.PausedFor, 660s);
  // Written back from that place at that instant, it is the same run.
  TRunRecord again = Running();
  PlaceRunRecord(again, up.Place, Now + 600'000);
  EXPECT_EQ(Assess(Bytes(again), Now + 600'000).Place.RunTime, 240s);

  r = Running();
  EXPECT_EQ(Assess(Bytes(r), Now + 1'299'999).Kind, TTakeUpKind::Going);  // 1599.999 s of 1600
  EXPECT_EQ(Assess(Bytes(r), Now + 1'300'000).EndUtcMs, r.StartUtcMs + 30'000 + 1'600'000);
  r.ExtraThird = false;
  EXPECT_EQ(Assess(Bytes(r), Now + 900'000).Kind, TTakeUpKind::Ended);

  const TTakeUp behind = Assess(Bytes(Running()), Now - 300'000);
  ASSERT_EQ(behind.Kind, TTakeUpKind::Going);
  EXPECT_EQ(RunPlaceAt(behind.Record, Now - 300'000).RunTime, 299s);
}

// Each kind of run, started at 9:00 and read 1:50:12.999 later: the digits a count-up or a
// count-down would show (to the extended end past the normal one), where a paused run stopped,
// and the end of a run to a time of day, moved by its pauses before that end.
TEST(RunRecord, TheTakeUpQuestionSaysWhereTheRunWouldBe) {
  constexpr int64_t Start = Now - 6'612'999;
  const struct {
    const char* name;
    TChange change;
    uint32_t digits;
    int endMinute;
  } rows[] = {
      {"count-up", [](R&) {}, 6612, -1},
      {"count-down", [](R& r) { r.TypeInc = 1; }, 4188, -1},
      {"paused", [](R& r) { r.Paused = true, r.PausedSinceUtcMs = Start + 2'467'000; }, 2467, -1},
      {"tiers-temps", [](R& r) { r.TypeInc = 1, r.ExtraThird = true, r.ExtraSeconds = 3600; },
       4188, -1},
      {"past its normal end",
       [](R& r) { r.TypeInc = r.ExtraThird = 1, r.TotalSeconds = 6000, r.ExtraSeconds = 2000; },
       1388, -1},
      {"to 11 h, paused 2 min",
       [](R& r) { r.TypeInc = 1, r.EndMinute = 660, r.PausedMs = 120'000; }, 4308, 662},
      {"to 11 h, paused since 10 h", [](R& r) {
         r.TypeInc = 1, r.EndMinute = 660, r.Paused = true, r.PausedSinceUtcMs = Start + 3'600'000;
       },
       7200, 710},
      {"to 10 h 30 + 30, paused past 10 h 30, 1 of 3 min of pauses after it", [](R& r) {
         r.TypeInc = r.ExtraThird = 1, r.TotalSeconds = 5400, r.ExtraSeconds = 1800;
         r.EndMinute = 630, r.PausedMs = 180'000, r.PausedAfterNormalMs = 60'000;
         r.Paused = true, r.PausedSinceUtcMs = Start + 6'000'000;
       },
       1380, 632},
  };
  for (const auto& row : rows) {
    TRunRecord r{.TotalSeconds = 10'800, .StartUtcMs = Start, .SavedUtcMs = Now - 1'000};
    row.change(r);
    const TTakeUp found = Assess(Bytes(r));
    ASSERT_EQ(found.Kind, TTakeUpKind::Going) << row.name;
    const TWallNow now{Now, tavelin_test::At(10, 50, 12, 999)};
    TRunModel placed;
    placed.Place(found.Record, now);
    EXPECT_EQ(placed.DigitsAt(placed.PlaceAt(now.UtcMs).RunTime, r.TypeInc != 0), row.digits)
        << row.name;
    if (row.endMinute >= 0) {
      EXPECT_EQ(MinuteTextAt(placed.Times(now).NormalEndMs), MinuteText(row.endMinute)) << row.name;
    }
  }
  EXPECT_EQ(TakeUpQuestion("9 h 00", "", false, 6612),
            "Un chronométrage commencé à 9 h 00 a été interrompu ; il en serait à 1:50:12. Le "
            "reprendre ?");
  EXPECT_EQ(TakeUpQuestion("9 h 00", MinuteText(645), true, 2467),
            "Un chronométrage commencé à 9 h 00 (fin à 10 h 45) a été interrompu ; il était en "
            "pause à 0:41:07. Le reprendre ?");
}

}  // namespace
