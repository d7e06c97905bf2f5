// uDisplayTables - the arithmetic of the chronometer display, free of any platform header: the
// layout tables of the five display sizes, the seven-segment masks and shapes, the geometry of
// the giant display window and the gauge's percentage, bar length, colour and text position.
// The Windows units (uBoxNumber, uGaugeEx, uWatchChrono) only draw what these functions say.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// --- Display sizes -----------------------------------------------------------------------------

constexpr int ScreenSizeCount = 5;

// The tables below are indexed by UserScreenSize. The settings keep it within 0..4; any other
// value reads as the default size 1, the size whose width TConfig::GetScreenWidth also gives
// for such a value, so that the tables and the window width always agree.
int ScreenSizeIndex(int32_t userScreenSize);

// The digit unit u, in pixels: a digit is 8u x 16u.
inline constexpr std::array<int, ScreenSizeCount> DigitUnitSize = {12, 15, 19, 21, 24};
// Left margin of the row of digits inside the window, less one.
inline constexpr std::array<int, ScreenSizeCount> DigitOffset = {1, 2, 8, 20, 4};
inline constexpr std::array<int, ScreenSizeCount> GaugeHeight = {50, 63, 80, 90, 100};

// u for a setting value, whatever that value.
int DigitUnitFor(int32_t userScreenSize);

// --- Seven segments ----------------------------------------------------------------------------

struct TDisplayPoint {
  int X = 0, Y = 0;
  bool operator==(const TDisplayPoint &) const = default;
};

// Lit segments of each digit: bit 0x01 is segment a (top), then b, c, d, e, f, and 0x40 is g.
inline constexpr std::array<uint8_t, 10> DigitMasks = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                                       0x6D, 0x7D, 0x07, 0x7F, 0x6F};

enum TSegmentImage { siHorizontal = 0, siVertical = 1 };

// Where a segment's image goes inside the digit: its top-left corner, in units.
struct TSegmentPlace {
  uint8_t Bit;
  TSegmentImage Image;
  int X, Y;
};
// Segments a to g, in the order of their bits.
inline constexpr std::array<TSegmentPlace, 7> SegmentPlaces = {{
    {0x01, siHorizontal, 0, 0},
    {0x02, siVertical, 6, 1},
    {0x04, siVertical, 6, 8},
    {0x08, siHorizontal, 0, 14},
    {0x10, siVertical, 0, 8},
    {0x20, siVertical, 0, 1},
    {0x40, siHorizontal, 0, 7},
}};

// Top-left corner of segment `index` (0 = a ... 6 = g) in pixels, for the digit unit u.
TDisplayPoint SegmentOrigin(int index, int u);
// Size of a segment image in pixels: 8u x 2u or 2u x 8u.
TDisplayPoint SegmentImageSize(TSegmentImage image, int u);
// The hexagon of a segment image, in pixels from the image's top-left corner, in drawing order.
std::array<TDisplayPoint, 6> SegmentHexagon(TSegmentImage image, int u);

// --- Giant display window ----------------------------------------------------------------------

struct TDisplayRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const TDisplayRect &) const = default;
};

// The box inside a digit that segment `index` can paint, for the digit unit u: its hexagon with
// the outline's pixels, within its image, whose corners hold nothing of it.
TDisplayRect SegmentShapeBox(int index, int u);

// Everything the display window places, in pixels, for one display size.
struct TWatchLayout {
  int Unit = 0;            // u
  TDisplayRect Window;     // on the screen
  TDisplayRect Panel;      // digit panel, in the window
  TDisplayRect Gauge;      // in the window
  TDisplayRect Digits[6];  // positions 0 to 5, in the window
  TDisplayRect Band;       // the time of day and the ends, under the gauge; empty when not shown
  TDisplayRect Board;      // the room's board, under the gauge in place of the band; or empty
  // The colon dots, in the digit panel's bitmap: left edges of the two colons and top edges of
  // the upper and lower dots; each dot fills a u x u square.
  std::array<int, 2> ColonLeft{};
  std::array<int, 2> DotTop{};
  bool operator==(const TWatchLayout &) const = default;
};

// screenWidth: the window width W (TConfig::GetScreenWidth).
TWatchLayout WatchLayout(int32_t userScreenSize, int screenWidth);

// The band that reads the time of day and the ends: under the gauge, as wide, half as high
// (rounded up); the window grows by its height.
int ClockBandHeight(int gaugeHeight);
TWatchLayout WithClockBand(TWatchLayout layout);
// The room's board of a run of several épreuves: one line an épreuve under the gauge, each as
// high as the band (read from as far) but no higher than a quarter of a digit (on a monitor far
// wider than it is tall, four lines as high as the band would leave the digits no room), the
// window growing by them. It takes the band's place.
int BoardLineHeight(int gaugeHeight, int unit);
TWatchLayout WithBoard(TWatchLayout layout, int lines);


// --- Full-width displays -----------------------------------------------------------------------

// After the five fixed sizes, UserScreenSize 5 + k asks for a display across the whole width of
// monitor k, the monitors taken in MonitorOrder. Past MaxMonitors a value is no display size.
constexpr int32_t FirstFullWidthSize = ScreenSizeCount;
constexpr int MaxMonitors = 16;
bool IsFullWidthSize(int32_t userScreenSize);

struct TMonitor {
  TDisplayRect Rect;  // in virtual-screen pixels, as the program sees them
  bool Primary = false;
  // What the taskbar and other docked bars leave free; left empty, the whole monitor.
  TDisplayRect Work = {};
  bool operator==(const TMonitor &) const = default;
};
TDisplayRect WorkArea(const TMonitor &monitor);
// The monitor (index in the list) holding the point; the first one when none does.
int MonitorHolding(const std::vector<TMonitor> &monitors, int x, int y);

// The primary first, then the others by left edge, then by top edge.
std::vector<TMonitor> MonitorOrder(std::vector<TMonitor> monitors);
// The monitor (index in that order) that a full-width size shows on. One that is gone since the
// setting was chosen (a projector unplugged) gives the primary, index 0.
int FullWidthMonitor(int32_t userScreenSize, int monitorCount);

// The display across the whole width of a monitor, at its top left corner, with barHeight pixels
// of control bar under it: u = (W - 2) / 53, g = (5W + 32) / 64 (the fixed widths give back the
// fixed tables' unit and gauge), the row of digits centred; u shrinks until the display and the
// bar fit in the monitor's height.
TWatchLayout FullWidthLayout(const TDisplayRect &monitor, int barHeight);
// The same on a monitor with a taskbar: the display spans the work area from its top left
// corner, and u shrinks until the display and the bar end within it.
TWatchLayout FullWidthLayout(const TDisplayRect &monitor, const TDisplayRect &workArea,
                             int barHeight, bool clockBand = false, int boardLines = 0);

// Whatever the setting asks for: a fixed size (fixedWidth = TConfig::GetScreenWidth) or a
// full-width display on one of the ordered monitors (with none listed, the default fixed size).
// With clockBand, the band under the gauge: a fixed size grows by it, a full-width display makes
// room for it above the bar. With boardLines, the room's board instead, likewise.
TWatchLayout DisplayLayout(int32_t userScreenSize, int fixedWidth,
                           const std::vector<TMonitor> &orderedMonitors, int barHeight,
                           bool clockBand = false, int boardLines = 0);

// The control bar's top left corner: right under the display and left-aligned with it, moved
// only as far as it takes to lie inside the work area.
TDisplayPoint BarPlace(const TDisplayRect &display, int barWidth, int barHeight,
                       const TDisplayRect &workArea);

// Where a box of ours (width x height) stands while a run shows, in screen pixels: under the
// display and the bar, centred on the monitor's width and in the room left below them, when the
// work area has that room. Otherwise inside the work area where it covers the fewest digits, then
// the fewest of their pixels, then lowest, nearest the middle. `display` is placed on the screen.
TDisplayPoint BoxPlace(int width, int height, const TWatchLayout &display, const TDisplayRect &bar,
                       const TDisplayRect &monitor, const TDisplayRect &workArea);

// --- Scaled screens ----------------------------------------------------------------------------

// A fixed display size stands for its width on a 96-DPI screen: on a screen of `dpi` it is
// round(width * dpi / 96) physical pixels wide.
int ScaledFixedWidth(int fixedWidth, int dpi);
// DisplayLayout in the physical pixels of a screen of `dpi`: a fixed size is ScaledFixedWidth
// wide at the top left corner of the screen, laid out by the full-width rule for that width
// within the primary monitor's height (at 96 DPI, the fixed tables themselves); a full-width
// display is the monitor's own width, whatever its scale.
TWatchLayout ScaledDisplayLayout(int32_t userScreenSize, int fixedWidth, int dpi,
                                 const std::vector<TMonitor> &orderedMonitors, int barHeight,
                                 bool clockBand = false, int boardLines = 0);

// --- Gauge -------------------------------------------------------------------------------------

// trunc((100 / maxValue) * progress) in extended precision, the quotient formed first, low 8
// bits kept. A maxValue of 0 (a run of no duration) reads 0.
uint8_t GaugePercentDone(uint32_t progress, uint32_t maxValue);
// The right edge (exclusive) of the bar for the paint rectangle left..right:
// trunc((progress / maxValue) * (right - left + 1)), progress divided first. It never goes past
// the length that progress == maxValue gives (a progress beyond the maximum shows a full bar),
// and a maxValue of 0 gives no bar.
int GaugeFillWidth(uint32_t progress, uint32_t maxValue, int left, int right);

// Bar colours by quarter, as 0x00BBGGRR values (the layout of a Windows COLORREF).
inline constexpr std::array<uint32_t, 5> BarColors = {
    0x008000u,  // 0 to 24: dark green
    0x00FF00u,  // 25 to 49: bright green
    0x00FFFFu,  // 50 to 74: yellow
    0x0000FFu,  // 75 to 99: red
    0x0000FFu,  // 100 to 124: red
};
// PercentDone div 25; a percentage past 124 (a progress beyond the maximum) keeps the last one.
int BarColorIndex(uint8_t percentDone);

// "42%"
std::string GaugePercentText(uint8_t percentDone);
// Top-left corner of the text inside the paint rectangle: its width and height plus one, less
// the text's, halved (toward zero), taken from the control's own corner.
TDisplayPoint GaugeTextOrigin(int left, int top, int right, int bottom, int textWidth,
                              int textHeight);

// The font size that FitFontToHeight settles on: from `start` points down, the first size whose
// measured text height is below `height`; 6 when none down to 6 is. `measure` gives the height
// of the text at a size.
int FitFontSize(int height, const std::function<int(int size)> &measure, int start = 130);
// Where that search starts for a gauge `height` pixels high: 130 points up to the tallest fixed
// gauge (100 pixels), and as much more as the gauge is taller, so that a full-width gauge's text
// can grow with it.
int FontSearchStart(int height);

// What the gauge shows: when a new progress leaves all three alone, its picture is the same.
struct TGaugeLook {
  int FillRight = 0;
  int ColorIndex = 0;
  uint8_t Percent = 0;
  bool operator==(const TGaugeLook &) const = default;
};
TGaugeLook GaugeLook(uint32_t progress, uint32_t maxValue, int left, int right);
