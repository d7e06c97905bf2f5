#pragma once
#include <windows.h>

#include <memory>

#include "timing/uThreadContainer.h"

// A run's thread container as the windows use it: the settings taken from AppConfig now, the
// steady clock, messages posted with PostMessageA and the threads' Windows priorities.
std::unique_ptr<TMainThread> CreateRunContainer(HWND navigWnd, HWND watchWnd);

// What the control bar calls to get a container; tests put one here that fails.
using TRunContainerMaker = std::unique_ptr<TMainThread> (*)(HWND navigWnd, HWND watchWnd);
extern TRunContainerMaker RunContainerMaker;
