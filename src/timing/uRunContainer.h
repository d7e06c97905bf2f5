#pragma once
#include <windows.h>

#include <memory>

#include "timing/uThreadContainer.h"

// A run's thread container as the windows use it: the settings taken from AppConfig now, the
// steady clock, messages posted with PostMessageA and the threads' Windows priorities.
std::unique_ptr<TMainThread> CreateRunContainer(HWND navigWnd, HWND watchWnd);
