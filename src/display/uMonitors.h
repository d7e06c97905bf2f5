#pragma once
#include <windows.h>

#include <vector>

#include "display/uDisplayTables.h"

// The monitors as the program sees them now (DPI scaling left to Windows), in the order that the
// size list and the full-width settings use: the primary first, then by left edge, then by top
// edge. Never empty: when the system lists none, the primary screen's size stands for it.
std::vector<TMonitor> SystemMonitors();
