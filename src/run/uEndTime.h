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

// A time of day is an end to come when it is at most this far ahead, past
// midnight or not (at 23:58, 0:08 is ten minutes away); within the same time
// behind, it has passed.
constexpr int64_t EndHorizonMs = 12 * 3'600'000;

// The minute of the day that a run of `durationSeconds` started at `nowMs`
// would reach, rounded up to the next whole minute (past midnight it wraps);
// kept between the next minute and the horizon, so that it is always an end
// that RunUntilEnd accepts.
int EndMinuteAfter(int64_t nowMs, uint32_t durationSeconds);

// A run from `nowMs` to the start of `endMinute` next time the wall clock
// shows it: its whole seconds (the time left, rounded up), and how far into
// its first second it starts so that its last second ends on the minute. No
// seconds when that minute is under way or has passed less than 12 h ago.
struct TRunToEnd {
  uint32_t Seconds = 0;
  std::chrono::milliseconds Lead{};  // 0 to 999 ms
};
TRunToEnd RunUntilEnd(int endMinute, int64_t nowMs);

// How long until `minute` of the day next begins, from `nowMs`, when that is within the horizon;
// otherwise how long ago it last began, as a negative number (0: it begins right now).
int64_t MsToMinute(int minute, int64_t nowMs);

// What the user is told of an end that RunUntilEnd refuses.
inline constexpr char EndPassedText[] = "L'heure de fin est déjà passée.";

// "10 h 05": a minute of the day, as the program writes a time of day everywhere.
std::string MinuteText(int minuteOfDay);
// The same for an instant in milliseconds since local midnight (of any day, before or after).
std::string MinuteTextAt(int64_t localMs);
