#include <windows.h>

#include "timing/uWallClock.h"

#include <cstdlib>


TLocalTimeProc LocalTimeProc = &GetLocalTime;
TUtcTimeProc UtcTimeProc = &GetSystemTimeAsFileTime;

namespace {
// From 1601-01-01 to 1970-01-01, in the 100 ns units of a FILETIME.
constexpr int64_t UnixEpochAsFileTime = 116'444'736'000'000'000;
}  // namespace

int64_t LocalMsOfDay() {
  SYSTEMTIME t{};
  LocalTimeProc(&t);
  return ((int64_t{t.wHour} * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

int64_t UtcMsNow() {
  FILETIME ft{};
  UtcTimeProc(&ft);
  ULARGE_INTEGER ticks;
  ticks.LowPart = ft.dwLowDateTime;
  ticks.HighPart = ft.dwHighDateTime;
  return (int64_t(ticks.QuadPart) - UnixEpochAsFileTime) / 10'000;
}

namespace {
// The local calendar time of a UTC instant by the time zone's rule for that day, not today's: a
// summer instant read in winter keeps its hour. False, with the UTC time, when there is none.
bool LocalAt(int64_t utcMs, SYSTEMTIME &local) {
  ULARGE_INTEGER ticks;
  ticks.QuadPart = uint64_t(utcMs * 10'000 + UnixEpochAsFileTime);
  FILETIME utc{ticks.LowPart, ticks.HighPart};
  SYSTEMTIME universal{};
  if (!FileTimeToSystemTime(&utc, &universal)) return false;
  if (SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) return true;
  local = universal;
  return false;
}
}  // namespace

std::string LocalHourText(int64_t utcMs) {
  SYSTEMTIME local{};
  LocalAt(utcMs, local);
  return MinuteText(local.wHour * 60 + local.wMinute);
}

TWallNow WallNow() { return {UtcMsNow(), LocalMsOfDay()}; }

TJournalTime JournalTimeAt(int64_t utcMs) {
  SYSTEMTIME local{};
  LocalTimeProc(&local);
  const int64_t ago = UtcMsNow() - utcMs;
  SYSTEMTIME then{};
  if (std::llabs(ago) >= 60'000 && LocalAt(utcMs, then)) {
    local = then;
  } else if (ago != 0) {
    // Near now, the local clock read now, moved back to the instant: an event that came 20 s
    // ago keeps its own second.
    FILETIME ft{};
    if (SystemTimeToFileTime(&local, &ft)) {
      ULARGE_INTEGER ticks{};
      ticks.LowPart = ft.dwLowDateTime, ticks.HighPart = ft.dwHighDateTime;
      ticks.QuadPart -= uint64_t(ago * 10'000);
      ft = {ticks.LowPart, ticks.HighPart};
      if (FileTimeToSystemTime(&ft, &then)) local = then;
    }
  }
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}
