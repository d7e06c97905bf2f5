// uDpi - the DPI of a window, a monitor or the screen, asked of the system through functions
// that not every Windows has (they are looked up, never linked), and the window frame at a DPI.
#pragma once
#include <windows.h>

#include "base/uScale.h"

// The screen's pixels per inch as the device caps give them (the system DPI).
int SystemDpi();
// The DPI of the monitor a window is on (GetDpiForWindow, or else its monitor's DPI).
int WindowDpi(HWND window);
// The DPI of a monitor (GetDpiForMonitor), or the system DPI without it.
int MonitorDpi(HMONITOR monitor);
// The DPI of the monitor under a point of the screen (the nearest one when none is under it).
int PointDpi(POINT at);
// AdjustWindowRectEx for a window at that DPI (the frame grows with the scale where the system
// scales it; elsewhere the system's own frame).
void AdjustWindowRectForDpi(RECT &rect, DWORD style, DWORD exStyle, int dpi);
// A system metric (GetSystemMetrics) at a DPI: GetSystemMetricsForDpi where the system has it,
// else the system's own metric taken from its DPI to this one.
int SystemMetricForDpi(int index, int dpi);
