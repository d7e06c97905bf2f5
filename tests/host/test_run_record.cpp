// The record of an open run: its stored layout, the records refused, and where a run stands
// when it is taken up after a gap.
#include <gtest/gtest.h>

#include <functional>

#include "timing/uRunRecord.h"

namespace {

using namespace std::chrono_literals;

constexpr int64_t Now = 1'796'000'000'000;  // a December 2026 afternoon, UTC ms

// A run of 20 minutes, started 5 minutes ago, paused 30 s before, with every field set apart.
TRunRecord Running() {
  TRunRecord r;
  r.TotalSeconds = 1200;
  r.InterBeepSeconds = 30;
  r.StartUtcMs = Now - 330'000;
  r.PausedMs = 30'000;
  r.SavedUtcMs = Now - 1'000;
  r.EndMinute = 645;
  r.ExtraSeconds = 400;
  r.UserScreenSize = 7;
  r.TypeInc = 1;
  r.BeepActive = true;
  r.ExtraThird = true;
  r.CountOvertime = true;
  return r;
}

TTakeUp Assess(const TRunRecord& r, int64_t at) {
  const TRunRecordBytes bytes = PackRunRecord(r);
  return AssessRunRecord(bytes.data(), bytes.size(), at);
}

TEST(RunRecord, EveryFieldIsReadBackFromItsPlace) {
  for (bool paused : {false, true}) {
    TRunRecord r = Running();
    r.Paused = paused;
    r.PausedSinceUtcMs = paused ? Now - 2'000 : 0;
    const TRunRecordBytes bytes = PackRunRecord(r);
    const TTakeUp read = AssessRunRecord(bytes.data(), bytes.size(), Now);
    ASSERT_EQ(read.Kind, TTakeUpKind::Going);
    EXPECT_EQ(read.Record, r);
    // The stored layout is what the next version reads: a few fields pinned at their offsets.
    EXPECT_EQ(bytes[0], RunRecordVersion);
    EXPECT_EQ(bytes[4] | bytes[5] << 8, 1200);
    EXPECT_EQ(bytes[44] | bytes[45] << 8, 645);
    EXPECT_EQ(bytes[52], 7);
    EXPECT_EQ(bytes[58], paused ? 1 : 0);
  }
}

TEST(RunRecord, WhatNoWriterWritesIsNoRun) {
  using TBreak = std::function<void(TRunRecordBytes&, size_t& size)>;
  auto at = [](size_t offset, uint8_t value) -> TBreak {
    return [=](TRunRecordBytes& b, size_t&) { b[offset] = value; };
  };
  auto field = [](std::function<void(TRunRecord&)> change) -> TBreak {
    return [=](TRunRecordBytes& b, size_t&) {
      TRunRecord r = Running();
      change(r);
      b = PackRunRecord(r);
    };
  };
  const std::pair<const char*, TBreak> cases[] = {
      {"short", [](TRunRecordBytes&, size_t& size) { size = RunRecordSize - 1; }},
      {"version 2", at(0, 2)},
      {"direction 2", at(56, 2)},
      {"flag 2", at(57, 2)},
      {"padding", at(63, 1)},
      {"total", field([](TRunRecord& r) { r.TotalSeconds = RunRecordMaxSeconds + 1; })},
      {"interval", field([](TRunRecord& r) { r.InterBeepSeconds = RunRecordMaxSeconds + 1; })},
      {"end minute", field([](TRunRecord& r) { r.EndMinute = 24 * 60; })},
      {"screen", field([](TRunRecord& r) { r.UserScreenSize = RunRecordScreenSizes; })},
      {"negative pause", field([](TRunRecord& r) { r.PausedMs = -1; })},
      {"start in the future", field([](TRunRecord& r) { r.StartUtcMs = r.SavedUtcMs = Now + 5'000; })},
      {"start over a day ago",
       field([](TRunRecord& r) { r.StartUtcMs = Now - RunRecordMaxAgeMs - 1; })},
      {"paused before its start", field([](TRunRecord& r) {
         r.Paused = true;
         r.PausedSinceUtcMs = r.StartUtcMs - 1;
       })},
      {"paused longer than it ran", field([](TRunRecord& r) { r.PausedMs = 400'000; })},
  };
  for (const auto& [name, breakIt] : cases) {
    SCOPED_TRACE(name);
    TRunRecordBytes bytes = PackRunRecord(Running());
    size_t size = bytes.size();
    breakIt(bytes, size);
    EXPECT_EQ(AssessRunRecord(bytes.data(), size, Now).Kind, TTakeUpKind::NoRun);
  }
}

// Ten minutes after Tavelin went: a running run has run on, a paused one stands where it was,
// and a run whose end (its tiers-temps end, here) came meanwhile is over at that instant.
TEST(RunRecord, TakenUpAfterAGap) {
  const int64_t later = Now + 600'000;
  TRunRecord r = Running();
  TTakeUp up = Assess(r, later);
  ASSERT_EQ(up.Kind, TTakeUpKind::Going);
  EXPECT_EQ(up.Place.RunTime, 900s);  // 5 min 30 s since the start, 30 s paused, then 10 min
  EXPECT_FALSE(up.Place.Paused);

  r.Paused = true;
  r.PausedSinceUtcMs = Now - 60'000;
  up = Assess(r, later);
  ASSERT_EQ(up.Kind, TTakeUpKind::Going);
  EXPECT_EQ(up.Place.RunTime, 240s);
  EXPECT_EQ(up.Place.PausedFor, 660s);
  // Written back from that place at that instant, the record is the same run.
  TRunRecord again = r;
  PlaceRunRecord(again, up.Place, later);
  EXPECT_EQ(again.StartUtcMs, r.StartUtcMs);
  EXPECT_EQ(again.PausedSinceUtcMs, r.PausedSinceUtcMs);
  EXPECT_EQ(again.PausedMs, r.PausedMs);

  r = Running();
  up = Assess(r, Now + 1'300'000);  // run time 1600 s: the end and the extra 400 s have come
  ASSERT_EQ(up.Kind, TTakeUpKind::Ended);
  EXPECT_EQ(up.EndUtcMs, r.StartUtcMs + 30'000 + 1'600'000);
  r.ExtraThird = false;
  EXPECT_EQ(Assess(r, Now + 899'999).Kind, TTakeUpKind::Going);  // 1199.999 s
  EXPECT_EQ(Assess(r, Now + 900'000).Kind, TTakeUpKind::Ended);
}

}  // namespace
