// uEndTime - a run that ends at a time of day. See the header.
#include "timing/uEndTime.h"

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

std::string EndTimeText(int endMinute, std::chrono::nanoseconds paused) {
  const int64_t pausedMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(paused).count();
  const int64_t end = (int64_t{endMinute} * 60'000 + pausedMs) % MsPerDay;
  const int minute = static_cast<int>(end / 60'000);
  char text[32];
  std::snprintf(text, sizeof text, "Fin à %d h %02d", minute / 60, minute % 60);
  return text;
}
