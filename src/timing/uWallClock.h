// uWallClock - the wall clock, read in this one place: a run to a time of day takes its length
// from it, the end-time dialog its first proposal, the band under the gauge its time of day; a
// run's record places the run on it in UTC.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "run/uEndTime.h"
#include "run/uJournal.h"
#include "run/uRunModel.h"

// GetLocalTime; tests put another clock here.
using TLocalTimeProc = void(WINAPI *)(LPSYSTEMTIME time);
extern TLocalTimeProc LocalTimeProc;
// Milliseconds since local midnight, by LocalTimeProc.
int64_t LocalMsOfDay();

// The wall clock in UTC (GetSystemTimeAsFileTime); tests put another clock here.
using TUtcTimeProc = void(WINAPI *)(LPFILETIME time);
extern TUtcTimeProc UtcTimeProc;
// Milliseconds since 1970-01-01 UTC, by UtcTimeProc.
int64_t UtcMsNow();
// "10 h 12": the local time of day of a UTC instant.
std::string LocalHourText(int64_t utcMs);
// The local calendar time of a UTC instant, for the journal: by LocalTimeProc near now, by the
// time zone's rule of that day otherwise (a run started before a change of hour keeps its start).
TJournalTime JournalTimeAt(int64_t utcMs);
// Both wall clocks, now.
TWallNow WallNow();
