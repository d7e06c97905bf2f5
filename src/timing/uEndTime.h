// uEndTime - a run that ends at a time of day on the local wall clock.
//
// The end is chosen as a minute of the day; the run itself keeps time on the
// engine's monotonic clock, so the wall clock is read once, when the run
// starts, to turn the end into a number of seconds. Times of day are in
// milliseconds since local midnight.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

constexpr int64_t MsPerDay = 86'400'000;
constexpr int MinutesPerDay = 24 * 60;

// The minute of the day that a run of `durationSeconds` started at `nowMs`
// would reach, rounded up to the next whole minute (past midnight it wraps).
int EndMinuteAfter(int64_t nowMs, uint32_t durationSeconds);

// A run from `nowMs` to the start of `endMinute` today: its whole seconds
// (the time left, rounded up), and how far into its first second it starts so
// that its last second ends on the minute. No seconds when that minute has
// come or gone.
struct TRunToEnd {
  uint32_t Seconds = 0;
  std::chrono::milliseconds Lead{};  // 0 to 999 ms
};
TRunToEnd RunUntilEnd(int endMinute, int64_t nowMs);

// "Fin à 10 h 45": the minute the wall clock will show when a run ending at
// `endMinute` ends, once `paused` has pushed it later.
std::string EndTimeText(int endMinute, std::chrono::nanoseconds paused);
