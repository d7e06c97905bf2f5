// uEndTime - a run that ends at a time of day. See the header.
#include "run/uEndTime.h"

#include <algorithm>
#include <cstdio>

int EndMinuteAfter(int64_t nowMs, uint32_t durationSeconds) {
  const int64_t end = nowMs + int64_t{durationSeconds} * 1000;
  int64_t minute = (end + 59'999) / 60'000;
  // The minute under way has begun (it would be refused), and a long run would end beyond the
  // horizon, where the same time of day has just passed.
  minute = std::clamp(minute, nowMs / 60'000 + 1, (nowMs + EndHorizonMs) / 60'000);
  return static_cast<int>(minute % MinutesPerDay);
}

TRunToEnd RunUntilEnd(int endMinute, int64_t nowMs) {
  int64_t left = (int64_t{endMinute} * 60'000 - nowMs) % MsPerDay;
  if (left < 0) left += MsPerDay;
  if (left == 0 || left > EndHorizonMs) return {};
  const int64_t seconds = (left + 999) / 1000;
  return {static_cast<uint32_t>(seconds), std::chrono::milliseconds(seconds * 1000 - left)};
}

std::string MinuteText(int minuteOfDay) {
  const int m = ((minuteOfDay % MinutesPerDay) + MinutesPerDay) % MinutesPerDay;
  char text[16];
  std::snprintf(text, sizeof text, "%d h %02d", m / 60, m % 60);
  return text;
}

std::string MinuteTextAt(int64_t localMs) {
  return MinuteText(static_cast<int>((localMs % MsPerDay + MsPerDay) % MsPerDay / 60'000));
}

int64_t MsToMinute(int minute, int64_t nowMs) {
  const int64_t ahead = ((int64_t{minute} * 60'000 - nowMs) % MsPerDay + MsPerDay) % MsPerDay;
  return ahead <= EndHorizonMs ? ahead : ahead - MsPerDay;
}
