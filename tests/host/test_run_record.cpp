// The record of an open run: written and read back, refused when no writer could have written it,
// and where its run stands when it is taken up after a gap.
#include <gtest/gtest.h>

#include <functional>

#include "timing/uRunRecord.h"

namespace {

using namespace std::chrono_literals;

constexpr int64_t Now = 1'796'000'000'000;  // UTC ms, December 2026

// A run of 20 minutes, 300 s into it at Now (30 s of it paused), every field set apart.
TRunRecord Running() {
  return {1200, 30, Now - 330'000, 30'000, 0, Now - 1'000, 645, 400, 7, 1, true, false, true, true,
          0x41};
}

TTakeUp Assess(const TRunRecord& r, int64_t at) {
  const TRunRecordBytes bytes = PackRunRecord(r);
  return AssessRunRecord(bytes.data(), bytes.size(), at);
}

TEST(RunRecord, WhatNoWriterWritesIsNoRun) {
  const std::pair<const char*, std::function<void(TRunRecord&)>> fields[] = {
      {"total", [](TRunRecord& r) { r.TotalSeconds = RunRecordMaxSeconds + 1; }},
      {"end minute", [](TRunRecord& r) { r.EndMinute = 24 * 60; }},
      {"screen", [](TRunRecord& r) { r.UserScreenSize = RunRecordScreenSizes; }},
      {"start in the future", [](TRunRecord& r) { r.StartUtcMs = r.SavedUtcMs = Now + 5'000; }},
      {"start over a day ago", [](TRunRecord& r) { r.StartUtcMs = Now - RunRecordMaxAgeMs - 1; }},
      {"paused before it started", [](TRunRecord& r) { r.Paused = true, r.PausedSinceUtcMs = 1; }},
      {"paused longer than it ran", [](TRunRecord& r) { r.PausedMs = 400'000; }},
  };
  for (const auto& [name, change] : fields) {
    TRunRecord r = Running();
    change(r);
    EXPECT_EQ(Assess(r, Now).Kind, TTakeUpKind::NoRun) << name;
  }
  // A byte short; then the version, the direction, a flag, a setting that no run has, the padding.
  const TRunRecordBytes good = PackRunRecord(Running());
  EXPECT_EQ(AssessRunRecord(good.data(), good.size() - 1, Now).Kind, TTakeUpKind::NoRun);
  for (const auto& [at, value] : {std::pair{0, 2}, {56, 2}, {57, 2}, {61, 0x80}, {63, 1}}) {
    TRunRecordBytes b = good;
    b[size_t(at)] = uint8_t(value);
    EXPECT_EQ(AssessRunRecord(b.data(), b.size(), Now).Kind, TTakeUpKind::NoRun) << at;
  }
}

// Read back ten minutes after Tavelin went: every field as written; a running run has run on, a
// paused one stands where it was; a run whose end (its tiers-temps end, here) came meanwhile is
// over at that instant.
TEST(RunRecord, TakenUpAfterAGap) {
  TRunRecord r = Running();
  EXPECT_EQ(Assess(r, Now + 600'000).Record, r);
  EXPECT_EQ(Assess(r, Now + 600'000).Place.RunTime, 900s);
  r.Paused = true;
  r.PausedSinceUtcMs = Now - 60'000;
  const TTakeUp up = Assess(r, Now + 600'000);
  ASSERT_EQ(up.Kind, TTakeUpKind::Going);
  EXPECT_EQ(up.Record, r);
  EXPECT_EQ(up.Place.RunTime, 240s);
  EXPECT_EQ(up.Place.PausedFor, 660s);
  // Written back from that place at that instant, it is the same run.
  TRunRecord again = Running();
  PlaceRunRecord(again, up.Place, Now + 600'000);
  EXPECT_EQ(Assess(again, Now + 600'000).Place.RunTime, 240s);

  r = Running();
  EXPECT_EQ(Assess(r, Now + 1'299'999).Kind, TTakeUpKind::Going);  // 1599.999 s of 1200 + 400
  EXPECT_EQ(Assess(r, Now + 1'300'000).EndUtcMs, r.StartUtcMs + 30'000 + 1'600'000);
  r.ExtraThird = false;
  EXPECT_EQ(Assess(r, Now + 900'000).Kind, TTakeUpKind::Ended);
}

}  // namespace
