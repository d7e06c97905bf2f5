#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "run/uRunModel.h"
#include "run/uThreadContainer.h"

// A run's thread container as the windows use it: its ends as the run's model fixed them, the
// other settings taken from AppConfig now, the steady clock, messages posted with PostMessageA and
// the threads' Windows priorities.
std::unique_ptr<TMainThread> CreateRunContainer(HWND navigWnd, HWND watchWnd, const TRunEnds &ends);
// The same on another clock (tests run minutes of a run in seconds).
std::unique_ptr<TMainThread> CreateRunContainer(HWND navigWnd, HWND watchWnd, const TRunEnds &ends,
                                                TChronoClock &clock);

// What the run's host calls to get a container; tests put one here that fails.
using TRunContainerMaker = std::unique_ptr<TMainThread> (*)(HWND navigWnd, HWND watchWnd,
                                                            const TRunEnds &ends);
extern TRunContainerMaker RunContainerMaker;
