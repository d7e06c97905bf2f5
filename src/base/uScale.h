// uScale - the arithmetic of display scaling, free of any platform header. Designs, placement
// rules and fixed display widths are in units of a 96-DPI screen; a window on a monitor of d
// dots per inch shows them d / 96 times larger.
#pragma once

constexpr int DesignDpi = 96;

// length * dpi / 96, rounded to the nearest pixel, halves away from zero (as MulDiv rounds).
int ScaleLength(int length, int dpi);
// The other way: a length in pixels at dpi, in 96-DPI units, rounded the same way.
int UnscaleLength(int length, int dpi);
// A length of one scale taken to another (a window moving to a monitor of another scaling).
int RescaleLength(int length, int fromDpi, int toDpi);
// A length that follows the scale without drifting: each change starts again from its base (the
// design's value at the design's DPI), so that 96 -> 120 -> 144 -> 96 gives the design back, where
// rescaling from one scale to the next would round a 2 into a 3. A length that the program set
// since the last change becomes the base, at the scale it was set at.
struct TScaledLength {
  int Base = 0, BaseDpi = DesignDpi;
  int Last = -2147483647 - 1;  // what the last change gave; none yet
  // The length standing at `now` on a screen of fromDpi, taken to toDpi.
  int Rescale(int now, int fromDpi, int toDpi);
};
// The pictures come in 100, 150 and 200 %: the smallest of them at or above the scale, and
// 200 beyond it (that picture is then enlarged smoothly).
int PictureScale(int dpi);
// A DPI that no monitor reports (0, negative or absurd) reads as 96.
int SaneDpi(int dpi);
