// uScaledPicture - the pictures of the resources at a window's scale.
#pragma once
#include <windows.h>

#include "forms/uGdi.h"

// The resource picture `name` for a window at `dpi`: the one drawn for the nearest scale at or
// above it ("NAME", "NAME_150", "NAME_200"). Beyond 200 % the 200 % picture is enlarged smoothly;
// with `key` (a picture's see-through colour) it is first laid on `under`, the colour it shows
// on, so that the smoothing never blends the key into the edges. With `exact`, the picture is
// also brought smoothly to the size its 100 % picture has times the scale (a picture that fills
// its control). None when the resource is missing.
gdi::Bitmap LoadScaledBitmap(HINSTANCE module, const char *name, int dpi, bool exact = false,
                             COLORREF key = CLR_INVALID, COLORREF under = 0);
