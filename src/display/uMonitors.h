#pragma once
#include <windows.h>

#include <vector>

#include "display/uDisplayTables.h"

// The monitors as the program sees them now (DPI scaling left to Windows), in the order that the
// size list and the full-width settings use: the primary first, then by left edge, then by top
// edge. Never empty: when the system lists none, the primary screen's size stands for it.
std::vector<TMonitor> SystemMonitors();

// Where the display finds the monitors: SystemMonitors, or a list that a test makes up. An empty
// list reads as SystemMonitors' own.
using TMonitorsProc = std::vector<TMonitor> (*)();
extern TMonitorsProc MonitorsProc;
std::vector<TMonitor> CurrentMonitors();
