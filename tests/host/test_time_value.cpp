#include <gtest/gtest.h>

#include <array>

#include "run/uChronoType.h"

namespace {

std::array<int, 6> DigitsOf(const TTimeTavelin &t) {
  std::array<int, 6> d{};
  for (uint8_t p = 0; p < 6; ++p) d[p] = t.GetDigit(p);
  return d;
}

TEST(TimeValue, NewValueIsZeroInEveryForm) {
  TTimeTavelin t;
  EXPECT_EQ(t.GetTotalSeconds(), 0u);
  for (uint8_t i = 0; i < 3; ++i) EXPECT_EQ(t.GetTimePart(i), 0);
  EXPECT_EQ(DigitsOf(t), (std::array<int, 6>{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(t.AsText(), "0 H 00 min 00 sec");
}

TEST(TimeValue, TotalSecondsSplitsIntoPartsAndDigits) {
  TTimeTavelin t;
  t.SetTotalSeconds(89999);
  EXPECT_EQ(t.GetTimePart(0), 24);
  EXPECT_EQ(t.GetTimePart(1), 59);
  EXPECT_EQ(t.GetTimePart(2), 59);
  EXPECT_EQ(DigitsOf(t), (std::array<int, 6>{2, 4, 5, 9, 5, 9}));
  t.SetTotalSeconds(300);
  EXPECT_EQ(t.AsText(), "0 H 05 min 00 sec");
  t.SetTotalSeconds(3725);
  EXPECT_EQ(t.AsText(), "1 H 02 min 05 sec");
  t.SetTotalSeconds(90000);
  EXPECT_EQ(t.AsText(), "25 H 00 min 00 sec");
}

TEST(TimeValue, PartsAreNotCarried) {
  TTimeTavelin t;
  t.SetTimePart(1, 75);
  EXPECT_EQ(t.GetTotalSeconds(), 4500u);
  EXPECT_EQ(DigitsOf(t), (std::array<int, 6>{0, 0, 7, 5, 0, 0}));
  EXPECT_EQ(t.GetTimePart(0), 0);

  t.SetTotalSeconds(3661);
  t.SetTimePart(0, 0);  // the other two parts stay as they were
  EXPECT_EQ(t.GetTotalSeconds(), 61u);
  EXPECT_EQ(t.GetTimePart(1), 1);
  EXPECT_EQ(t.GetTimePart(2), 1);
}

TEST(TimeValue, HoursBeyondTheDisplayKeepTheirCount) {
  TTimeTavelin t;
  t.SetTotalSeconds(100 * 3600);
  EXPECT_EQ(t.GetDigit(0), 10);  // two display digits cannot show it
  EXPECT_EQ(t.AsText(), "100 H 00 min 00 sec");

  t.SetTotalSeconds(921600 + 3600 + 61);  // 257 h 1 min 1 s
  EXPECT_EQ(t.GetTotalSeconds(), 921600u + 3661u);
  EXPECT_EQ(t.GetTimePart(0), 1);  // hours mod 256
  EXPECT_EQ(t.GetDigit(1), 1);
  EXPECT_EQ(t.GetDigit(3), 1);
}

TEST(TimeValue, LoadedSecondsNeedTheSetterToReachParts) {
  TTimeTavelin t;
  *t.SecondsRef() = 3661;  // as the settings store loads it
  EXPECT_EQ(t.GetTimePart(0), 0);
  t.SetTotalSeconds(t.GetTotalSeconds());
  EXPECT_EQ(t.GetTimePart(0), 1);
  EXPECT_EQ(t.GetTimePart(1), 1);
  EXPECT_EQ(t.GetTimePart(2), 1);
}

TEST(TimeValue, IndexesOutsideTheirRangeAreRefused) {
  TTimeTavelin t;
  EXPECT_THROW(t.GetTimePart(3), std::out_of_range);
  EXPECT_THROW(t.SetTimePart(3, 1), std::out_of_range);
  EXPECT_THROW(t.GetDigit(6), std::out_of_range);
}

}  // namespace
