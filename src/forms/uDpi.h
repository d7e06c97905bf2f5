// uDpi - the DPI of a window, a monitor or the screen, asked of the system through functions
// that not every Windows has (they are looked up, never linked), and the window frame at a DPI.
#pragma once
#include <windows.h>

#include "base/uScale.h"

// The screen's pixels per inch as the device caps give them (the system DPI).
int SystemDpi();
// The DPI of the monitor a window is on (GetDpiForWindow), or the system DPI without it.
int WindowDpi(HWND window);
// The DPI of a monitor (GetDpiForMonitor), or the system DPI without it.
int MonitorDpi(HMONITOR monitor);
// The DPI of the monitor under a point of the screen (the nearest one when none is under it).
int PointDpi(POINT at);
// AdjustWindowRectEx for a window at that DPI (the frame grows with the scale where the system
// scales it; elsewhere the system's own frame).
void AdjustWindowRectForDpi(RECT &rect, DWORD style, DWORD exStyle, int dpi);

#include "forms/uGdi.h"

// The resource picture `name` for a window at `dpi`: the one drawn for the nearest scale at or
// above it ("NAME", "NAME_150", "NAME_200"). Beyond 200 % the 200 % picture is enlarged smoothly;
// with `key` (a picture's see-through colour) it is first laid on `under`, the colour it shows
// on, so that the smoothing never blends the key into the edges. With `exact`, the picture is
// also brought smoothly to the size its 100 % picture has times the scale (a picture that fills
// its control). None when the resource is missing.
gdi::Bitmap LoadScaledBitmap(HINSTANCE module, const char *name, int dpi, bool exact = false,
                             COLORREF key = CLR_INVALID, COLORREF under = 0);
