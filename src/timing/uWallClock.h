// uWallClock - the local wall clock, read in this one place: a run to a time of day takes its
// length from it, the end-time dialog its first proposal.
#pragma once
#include <windows.h>

#include <cstdint>

#include "timing/uEndTime.h"

// GetLocalTime; tests put another clock here.
using TLocalTimeProc = void(WINAPI *)(LPSYSTEMTIME time);
extern TLocalTimeProc LocalTimeProc;
// Milliseconds since local midnight, by LocalTimeProc.
int64_t LocalMsOfDay();

// The run from now until `endMinute`. An end that has passed is refused with a warning box and
// gives no seconds.
TRunToEnd RunUntilEndNow(int endMinute);
