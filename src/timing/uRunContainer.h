#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "timing/uThreadContainer.h"

// A run's thread container as the windows use it: the settings taken from AppConfig now, the
// steady clock, messages posted with PostMessageA and the threads' Windows priorities.
std::unique_ptr<TMainThread> CreateRunContainer(HWND navigWnd, HWND watchWnd);
// The same on another clock (tests run minutes of a run in seconds).
std::unique_ptr<TMainThread> CreateRunContainer(HWND navigWnd, HWND watchWnd, TChronoClock &clock);

// Whether the containers made from now on run to a time of day: their extra time (tiers-temps)
// is then rounded up to whole minutes, so that the extended end falls on a minute as the normal
// end does. The control bar sets it while such a run is prepared.
extern bool RunsToTimeOfDay;
// The extra time that AppConfig gives a run of `totalSeconds` (0 without tiers-temps).
uint32_t ExtraSecondsFor(uint32_t totalSeconds, bool toTimeOfDay);

// What the control bar calls to get a container; tests put one here that fails.
using TRunContainerMaker = std::unique_ptr<TMainThread> (*)(HWND navigWnd, HWND watchWnd);
extern TRunContainerMaker RunContainerMaker;
