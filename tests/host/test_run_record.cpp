// The record of an open run: written and read back, refused when no writer could have written it,
// where its run stands when it is taken up after a gap, and what the take-up question says of it.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "timing/uExamPlan.h"
#include "timing/uRunRecord.h"

namespace {

using namespace std::chrono_literals;
using TBytes = std::vector<uint8_t>;

constexpr int64_t Now = 1'796'000'000'000;  // UTC ms, December 2026

// A run of 20 minutes, 300 s into it at Now (30 s of it paused), every field set apart.
TRunRecord Running() {
  return {1200, 30, Now - 330'000, 30'000, 0, Now - 1'000, 645, 400, 7, 1, true, false, true, true,
          0x41, 10'000, -90, {{"Oral", 600, true}, {"Écrit de 40 caractères, tout juste !!!!!", 0}}};
}

TBytes Bytes(const TRunRecord& r) {
  const TRunRecordBytes b = PackRunRecord(r);
  return {b.begin(), b.end()};
}

// As a Tavelin of the first version wrote it: the same fields four bytes earlier, no length, and
// SessionOnly in one byte.
TBytes AsVersion1(const TBytes& v2) {
  TBytes v1(RunRecordSizeV1);
  v1[0] = 1;
  std::copy(v2.begin() + 8, v2.begin() + 65, v1.begin() + 4);
  v1[61] = v2[68];
  return v1;
}

TTakeUp Assess(const TBytes& b, int64_t at = Now) { return AssessRunRecord(b.data(), b.size(), at); }

TEST(RunRecord, EachFieldIsReadUpToItsLimitAndNotPast) {
  enum TVersions { Both, V2, V1 };
  struct TRow {
    const char* name;
    TVersions versions;
    bool read;
    std::function<void(TRunRecord&)> change = nullptr;
    std::function<void(TBytes&)> poke = nullptr;
  };
  // A byte at version 2's offset; in version 1, where the same field is.
  auto at = [](size_t offset, uint8_t value) {
    return [=](TBytes& b) { b[b.size() == RunRecordSizeV1 && offset >= 8 ? offset - 4 : offset] = value; };
  };
  const TRow rows[] = {
      {"as written", Both, true},
      {"total at most", Both, true, [](TRunRecord& r) { r.TotalSeconds = RunRecordMaxSeconds; }},
      {"total past", Both, false, [](TRunRecord& r) { r.TotalSeconds = RunRecordMaxSeconds + 1; }},
      {"beeps past", Both, false, [](TRunRecord& r) { r.InterBeepSeconds = RunRecordMaxSeconds + 1; }},
      {"extra past", Both, false, [](TRunRecord& r) { r.ExtraSeconds = RunRecordMaxSeconds + 1; }},
      {"no end of day", Both, true, [](TRunRecord& r) { r.EndMinute = -1; }},
      {"end minute below", Both, false, [](TRunRecord& r) { r.EndMinute = -2; }},
      {"last minute", Both, true, [](TRunRecord& r) { r.EndMinute = 24 * 60 - 1; }},
      {"end minute past", Both, false, [](TRunRecord& r) { r.EndMinute = 24 * 60; }},
      {"screen 0", Both, true, [](TRunRecord& r) { r.UserScreenSize = 0; }},
      {"screen below", Both, false, [](TRunRecord& r) { r.UserScreenSize = -1; }},
      {"last screen", Both, true, [](TRunRecord& r) { r.UserScreenSize = RunRecordScreenSizes - 1; }},
      {"screen past", Both, false, [](TRunRecord& r) { r.UserScreenSize = RunRecordScreenSizes; }},
      {"started a day ago", Both, true, [](TRunRecord& r) { r.StartUtcMs = Now - RunRecordMaxAgeMs; }},
      {"started longer ago", Both, false,
       [](TRunRecord& r) { r.StartUtcMs = Now - RunRecordMaxAgeMs - 1; }},
      {"started at its lowest", Both, false, [](TRunRecord& r) { r.StartUtcMs = INT64_MIN; }},
      {"started after its save", Both, false, [](TRunRecord& r) { r.StartUtcMs = r.SavedUtcMs + 1; }},
      {"saved ahead of a clock set back", Both, true,
       [](TRunRecord& r) { r.SavedUtcMs = Now + RunRecordMaxAheadMs; }},
      {"saved further ahead", Both, false,
       [](TRunRecord& r) { r.SavedUtcMs = Now + RunRecordMaxAheadMs + 1; }},
      {"saved at its highest", Both, false, [](TRunRecord& r) { r.SavedUtcMs = INT64_MAX; }},
      {"paused all along", Both, true, [](TRunRecord& r) { r.PausedMs = r.SavedUtcMs - r.StartUtcMs; }},
      {"paused longer than it ran", Both, false,
       [](TRunRecord& r) { r.PausedMs = r.SavedUtcMs - r.StartUtcMs + 1; }},
      {"paused at its highest", Both, false, [](TRunRecord& r) { r.PausedMs = INT64_MAX; }},
      {"paused below 0", Both, false, [](TRunRecord& r) { r.PausedMs = -1; }},
      {"pause from the start", Both, true,
       [](TRunRecord& r) {
         r.Paused = true, r.PausedMs = r.PausedAfterNormalMs = 0, r.PausedSinceUtcMs = r.StartUtcMs;
       }},
      {"pause before the start", Both, false,
       [](TRunRecord& r) {
         r.Paused = true, r.PausedMs = r.PausedAfterNormalMs = 0;
         r.PausedSinceUtcMs = r.StartUtcMs - 1;
       }},
      {"pause from the save", Both, true,
       [](TRunRecord& r) { r.Paused = true, r.PausedSinceUtcMs = r.SavedUtcMs; }},
      {"pause after the save", Both, false,
       [](TRunRecord& r) { r.Paused = true, r.PausedSinceUtcMs = r.SavedUtcMs + 1; }},
      {"earlier pauses after this one", Both, false,
       [](TRunRecord& r) { r.Paused = true, r.PausedSinceUtcMs = r.StartUtcMs + r.PausedMs - 1; }},
      {"running since a pause", Both, false, {}, at(32, 1)},
      {"direction", Both, false, {}, at(60, 2)},
      {"a flag", Both, false, {}, at(64, 2)},
      {"every setting held", Both, true, [](TRunRecord& r) { r.SessionOnly = 0x7F; }},
      {"a setting that no run has", Both, false, [](TRunRecord& r) { r.SessionOnly = 0x80; }},
      {"padding", V1, false, {}, [](TBytes& b) { b[63] = 1; }},
      {"padding", V2, false, {}, at(67, 1)},
      {"a byte short", Both, false, {}, [](TBytes& b) { b.pop_back(); }},
      {"a byte long", Both, false, {}, [](TBytes& b) { b.push_back(0); }},
      {"another version", Both, false, {}, at(0, 0)},
      {"version 2 of 64 bytes", V1, false, {}, at(0, 2)},
      {"version 1 of version 2's size", V2, false, {}, at(0, 1)},
      {"length not its size", V2, false, {}, at(4, 0)},
      {"a setting of a later version", V2, false, [](TRunRecord& r) { r.SessionOnly = 0x100; }},
      {"all paused after the end", V2, true, [](TRunRecord& r) { r.PausedAfterNormalMs = r.PausedMs; }},
      {"more after the end than paused", V2, false,
       [](TRunRecord& r) { r.PausedAfterNormalMs = r.PausedMs + 1; }},
      {"less than none after the end", V2, false, [](TRunRecord& r) { r.PausedAfterNormalMs = -1; }},
      {"a day added", V2, true, [](TRunRecord& r) { r.AddedSeconds = RunRecordMaxAddedSeconds; }},
      {"more added", V2, false, [](TRunRecord& r) { r.AddedSeconds = RunRecordMaxAddedSeconds + 1; }},
      {"a day taken", V2, true, [](TRunRecord& r) { r.AddedSeconds = -RunRecordMaxAddedSeconds; }},
      {"more taken", V2, false, [](TRunRecord& r) { r.AddedSeconds = -RunRecordMaxAddedSeconds - 1; }},
      {"three épreuves", V2, true, [](TRunRecord& r) { r.Exams.push_back({"", RunRecordMaxSeconds}); }},
      {"a fourth", V2, false, {}, at(84, 4)},
      {"an épreuve too long", V2, false,
       [](TRunRecord& r) { r.Exams[0].Seconds = RunRecordMaxSeconds + 1; }},
      {"a control character in a name", V2, false, [](TRunRecord& r) { r.Exams[0].Name = "O\tral"; }},
      {"a name going on after its end", V2, false, {}, at(88 + 30, 'x')},
      {"an épreuve's flag", V2, false, {}, at(88 + 40 + 4, 2)},
      {"an épreuve's padding", V2, false, {}, at(88 + 40 + 7, 1)},
      {"an unused row", V2, false, {}, at(88 + 2 * 48 + 41, 1)},
  };
  for (const TRow& row : rows) {
    TRunRecord r = Running();
    if (row.change) row.change(r);
    for (bool v1 : {false, true}) {
      if (row.versions == (v1 ? V2 : V1)) continue;
      TBytes b = Bytes(r);
      if (v1) b = AsVersion1(b);
      if (row.poke) row.poke(b);
      EXPECT_EQ(Assess(b).Kind != TTakeUpKind::NoRun, row.read)
          << row.name << (v1 ? " (version 1)" : " (version 2)");
    }
  }
}

// A duration run, a run to a time of day and a paused run read back as written, from either
// version (version 1 without what it lacks); a later, longer version as far as it is known here.
TEST(RunRecord, ReadBackAsWritten) {
  TRunRecord duration = Running(), toTimeOfDay = Running(), paused = Running();
  duration.EndMinute = -1;
  duration.TypeInc = 0;
  duration.ExtraThird = false;
  duration.ExtraSeconds = 0;
  duration.Exams.clear();
  toTimeOfDay.SessionOnly = 0;
  paused.EndMinute = -1;
  paused.Paused = true;
  paused.PausedSinceUtcMs = Now - 60'000;
  for (const TRunRecord& r : {duration, toTimeOfDay, paused}) {
    EXPECT_EQ(Assess(Bytes(r)).Record, r);
    TRunRecord v1 = r;
    v1.PausedAfterNormalMs = 0, v1.AddedSeconds = 0, v1.Exams.clear();
    EXPECT_EQ(Assess(AsVersion1(Bytes(r))).Record, v1);
  }
  TBytes later = Bytes(toTimeOfDay);
  later.resize(RunRecordSize + 100, 0xEE);
  later[0] = 3;
  later[4] = uint8_t(later.size()), later[5] = uint8_t(later.size() >> 8);
  later[68 + 3] = 0x80;  // a setting of its own
  EXPECT_EQ(Assess(later).Record, toTimeOfDay);
  later.resize(RunRecordMaxSize + 1);
  later[4] = uint8_t(later.size()), later[5] = uint8_t(later.size() >> 8);
  EXPECT_EQ(Assess(later).Kind, TTakeUpKind::NoRun);
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

// The question, as the start-up asks it of each kind of run, started at 9:00 and read 1:50:12.999
// later: the digits a count-up or a count-down would show, the end of a run to a time of day
// moved by its pauses before that end, the digits where a paused run stopped.
TEST(RunRecord, TheTakeUpQuestionSaysWhereTheRunWouldBe) {
  constexpr int64_t Start = Now - 6'612'999;
  const TRunRecord up{.TotalSeconds = 3 * 3600, .StartUtcMs = Start, .SavedUtcMs = Start};
  const struct {
    const char* name;
    std::function<void(TRunRecord&)> change;
    const char* question;
  } rows[] = {
      {"count-up", [](TRunRecord&) {},
       "Un chronométrage commencé à 9 h 00 a été interrompu ; il en serait à 1:50:12. Le "
       "reprendre ?"},
      {"count-down", [](TRunRecord& r) { r.TypeInc = 1; },
       "Un chronométrage commencé à 9 h 00 a été interrompu ; il en serait à 1:09:48. Le "
       "reprendre ?"},
      {"to a time of day, paused 2 min", [](TRunRecord& r) {
         r.TypeInc = 1, r.TotalSeconds = 7200, r.EndMinute = 11 * 60, r.PausedMs = 120'000;
         r.SavedUtcMs = Now;
       },
       "Un chronométrage commencé à 9 h 00 (fin à 11 h 02) a été interrompu ; il en serait à "
       "0:11:48. Le reprendre ?"},
      {"to a time of day, paused since 10 h 00", [](TRunRecord& r) {
         r.TypeInc = 1, r.TotalSeconds = 7200, r.EndMinute = 11 * 60, r.Paused = true;
         r.PausedSinceUtcMs = r.SavedUtcMs = Start + 3'600'000;
       },
       "Un chronométrage commencé à 9 h 00 (fin à 11 h 50) a été interrompu ; il était en pause à "
       "1:00:00. Le reprendre ?"},
      {"paused", [](TRunRecord& r) {
         r.Paused = true, r.PausedSinceUtcMs = Start + 2467'000, r.SavedUtcMs = r.PausedSinceUtcMs;
       },
       "Un chronométrage commencé à 9 h 00 a été interrompu ; il était en pause à 0:41:07. Le "
       "reprendre ?"},
      {"tiers-temps before its normal end", [](TRunRecord& r) {
         r.TypeInc = 1, r.TotalSeconds = 7200, r.ExtraThird = true, r.ExtraSeconds = 2400;
       },
       "Un chronométrage commencé à 9 h 00 a été interrompu ; il en serait à 0:09:48. Le "
       "reprendre ?"},
      {"tiers-temps past its normal end, to its extended one", [](TRunRecord& r) {
         r.TypeInc = 1, r.TotalSeconds = 6000, r.ExtraThird = true, r.ExtraSeconds = 2000;
       },
       "Un chronométrage commencé à 9 h 00 a été interrompu ; il en serait à 0:23:08. Le "
       "reprendre ?"},
      {"to a time of day paused past its normal end, paused before it too", [](TRunRecord& r) {
         r.TypeInc = 1, r.TotalSeconds = 5400, r.EndMinute = 10 * 60 + 30;
         r.ExtraThird = true, r.ExtraSeconds = 1800, r.PausedMs = 180'000;
         r.PausedAfterNormalMs = 60'000, r.Paused = true;
         r.PausedSinceUtcMs = r.SavedUtcMs = Start + 6'000'000;
       },
       "Un chronométrage commencé à 9 h 00 (fin à 10 h 32) a été interrompu ; il était en pause à "
       "0:23:00. Le reprendre ?"},
  };
  for (const auto& row : rows) {
    TRunRecord r = up;
    row.change(r);
    const TTakeUp found = Assess(Bytes(r));
    ASSERT_EQ(found.Kind, TTakeUpKind::Going) << row.name;
    const std::string end =
        r.EndMinute >= 0 ? MinuteText(RunEndMinuteAt(found.Record, found.Place)) : "";
    EXPECT_EQ(TakeUpQuestion("9 h 00", end, r.Paused, RunDigitsAt(found.Record, found.Place)),
              row.question)
        << row.name;
  }
}

}  // namespace
