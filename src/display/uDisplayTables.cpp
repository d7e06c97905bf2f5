#include "display/uDisplayTables.h"

#include <algorithm>
#include <cmath>
#include <compare>
#include <cstdio>
#include <cstdlib>

#include "base/uScale.h"

namespace {

// The gauge's arithmetic is done on the x87's 64-bit significand. The x87 rounds to whatever
// precision its control word says, and Windows threads may start at 53 bits; the result would
// then differ (100 / 97 * 97 gives 100 instead of 99). So the precision is set to extended for
// the length of the computation and put back afterwards.
class ExtendedPrecision {
public:
#if defined(__i386__) || defined(__x86_64__)
  ExtendedPrecision() {
    __asm__ __volatile__("fnstcw %0" : "=m"(saved_));
    unsigned short extended = static_cast<unsigned short>(saved_ | 0x0300);
    __asm__ __volatile__("fldcw %0" : : "m"(extended));
  }
  ~ExtendedPrecision() { __asm__ __volatile__("fldcw %0" : : "m"(saved_)); }

private:
  unsigned short saved_ = 0;
#endif
};

// Horizontal segment 8u x 2u, vertical 2u x 8u: pointed at both ends.
constexpr std::array<TDisplayPoint, 6> HorizontalHexagon = {
    {{1, 1}, {2, 0}, {6, 0}, {7, 1}, {6, 2}, {2, 2}}};
constexpr std::array<TDisplayPoint, 6> VerticalHexagon = {
    {{1, 0}, {2, 1}, {2, 6}, {1, 7}, {0, 6}, {0, 1}}};

}  // namespace

int ScreenSizeIndex(int32_t userScreenSize) {
  return userScreenSize >= 0 && userScreenSize < ScreenSizeCount ? int(userScreenSize) : 1;
}

int DigitUnitFor(int32_t userScreenSize) {
  return DigitUnitSize[size_t(ScreenSizeIndex(userScreenSize))];
}

TDisplayPoint SegmentOrigin(int index, int u) {
  const TSegmentPlace &p = SegmentPlaces.at(size_t(index));
  return {p.X * u, p.Y * u};
}

TDisplayPoint SegmentImageSize(TSegmentImage image, int u) {
  return image == siHorizontal ? TDisplayPoint{8 * u, 2 * u} : TDisplayPoint{2 * u, 8 * u};
}

std::array<TDisplayPoint, 6> SegmentHexagon(TSegmentImage image, int u) {
  std::array<TDisplayPoint, 6> v = image == siHorizontal ? HorizontalHexagon : VerticalHexagon;
  for (auto &p : v) p = {p.X * u, p.Y * u};
  return v;
}

TDisplayRect SegmentShapeBox(int index, int u) {
  const TSegmentPlace &place = SegmentPlaces[size_t(index)];
  TDisplayPoint at = SegmentOrigin(index, u), size = SegmentImageSize(place.Image, u);
  auto hexagon = SegmentHexagon(place.Image, u);
  int left = size.X, top = size.Y, right = 0, bottom = 0;
  for (TDisplayPoint p : hexagon) {
    left = std::min(left, p.X);
    top = std::min(top, p.Y);
    // The outline is drawn on the edges, their last pixel included.
    right = std::max(right, std::min(p.X + 1, size.X));
    bottom = std::max(bottom, std::min(p.Y + 1, size.Y));
  }
  return {at.X + left, at.Y + top, right - left, bottom - top};
}

namespace {

// The display at (left, top), `width` wide, from its unit u, gauge height g and first digit x0.
TWatchLayout LayoutFrom(int left, int top, int width, int u, int g, int x0) {
  TWatchLayout l;
  l.Unit = u;
  l.Window = {left, top, width, 16 * u + g + 5};
  l.Panel = {1, 1, width - 2, 16 * u + 2};
  l.Gauge = {1, l.Panel.Top + l.Panel.Height + 1, width - 2, g};
  for (int p = 0; p < 6; ++p) l.Digits[p] = {x0 + 9 * u * p, 1, 8 * u, 16 * u};
  // The colons fill the gaps after the hours and after the minutes.
  l.ColonLeft = {x0 + 17 * u, x0 + 35 * u};
  l.DotTop = {5 * u, 10 * u};
  return l;
}

}  // namespace

TWatchLayout WatchLayout(int32_t userScreenSize, int screenWidth) {
  size_t i = size_t(ScreenSizeIndex(userScreenSize));
  return LayoutFrom(0, 0, screenWidth, DigitUnitSize[i], GaugeHeight[i], DigitOffset[i] + 1);
}

int ClockBandHeight(int gaugeHeight) { return (gaugeHeight + 1) / 2; }

TWatchLayout WithClockBand(TWatchLayout l) {
  const int h = ClockBandHeight(l.Gauge.Height);
  l.Band = {l.Gauge.Left, l.Gauge.Top + l.Gauge.Height, l.Gauge.Width, h};
  l.Window.Height += h;
  return l;
}

int BoardLineHeight(int gaugeHeight, int unit) {
  return std::min(ClockBandHeight(gaugeHeight), 4 * unit);
}

TWatchLayout WithBoard(TWatchLayout l, int lines) {
  const int h = BoardLineHeight(l.Gauge.Height, l.Unit) * std::max(0, lines);
  l.Board = {l.Gauge.Left, l.Gauge.Top + l.Gauge.Height, l.Gauge.Width, h};
  l.Window.Height += h;
  return l;
}

namespace {
// What stands under the gauge: the board when it has lines, else the band when asked for.
TWatchLayout WithUnderGauge(const TWatchLayout &l, bool clockBand, int boardLines) {
  return boardLines > 0 ? WithBoard(l, boardLines) : clockBand ? WithClockBand(l) : l;
}
}  // namespace

uint8_t GaugePercentDone(uint32_t progress, uint32_t maxValue) {
  if (maxValue == 0) return 0;
  ExtendedPrecision extended;
  volatile long double quotient = 100.0L / static_cast<long double>(maxValue);
  volatile long double product = quotient * static_cast<long double>(progress);
  // At most 100 * 2^32: an integer of 64 bits holds it.
  return static_cast<uint8_t>(static_cast<uint64_t>(std::trunc(static_cast<long double>(product))));
}

int GaugeFillWidth(uint32_t progress, uint32_t maxValue, int left, int right) {
  int full = right - left + 1;
  if (maxValue == 0 || full <= 0) return 0;
  if (progress >= maxValue) return full;
  ExtendedPrecision extended;
  volatile long double quotient =
      static_cast<long double>(progress) / static_cast<long double>(maxValue);
  volatile long double product = quotient * static_cast<long double>(full);
  return static_cast<int>(std::trunc(static_cast<long double>(product)));
}

int BarColorIndex(uint8_t percentDone) {
  int i = percentDone / 25;
  return i < int(BarColors.size()) ? i : int(BarColors.size()) - 1;
}

std::string GaugePercentText(uint8_t percentDone) {
  char text[8];
  std::snprintf(text, sizeof text, "%d%%", int(percentDone));
  return text;
}

TDisplayPoint GaugeTextOrigin(int left, int top, int right, int bottom, int textWidth,
                              int textHeight) {
  return {(right - left + 1 - textWidth) / 2, (bottom - top + 1 - textHeight) / 2};
}

int FitFontSize(int height, const std::function<int(int size)> &measure, int start) {
  int size = start;
  while (measure(size) >= height) {
    if (size - 1 <= 5) break;
    --size;
  }
  return size;
}

int FontSearchStart(int height) {
  constexpr int tallestFixedGauge = 100, fixedStart = 130;
  if (height <= tallestFixedGauge) return fixedStart;
  return (fixedStart * height + tallestFixedGauge - 1) / tallestFixedGauge;
}

TGaugeLook GaugeLook(uint32_t progress, uint32_t maxValue, int left, int right) {
  uint8_t percent = GaugePercentDone(progress, maxValue);
  return {GaugeFillWidth(progress, maxValue, left, right), BarColorIndex(percent), percent};
}

// --- Full-width displays -----------------------------------------------------------------------

bool IsFullWidthSize(int32_t userScreenSize) {
  return userScreenSize >= FirstFullWidthSize && userScreenSize < FirstFullWidthSize + MaxMonitors;
}

std::vector<TMonitor> MonitorOrder(std::vector<TMonitor> monitors) {
  std::stable_sort(monitors.begin(), monitors.end(), [](const TMonitor &a, const TMonitor &b) {
    if (a.Primary != b.Primary) return a.Primary;
    if (a.Rect.Left != b.Rect.Left) return a.Rect.Left < b.Rect.Left;
    return a.Rect.Top < b.Rect.Top;
  });
  return monitors;
}

int FullWidthMonitor(int32_t userScreenSize, int monitorCount) {
  int k = int(userScreenSize - FirstFullWidthSize);
  return k >= 0 && k < monitorCount ? k : 0;
}

TDisplayRect WorkArea(const TMonitor &monitor) {
  const TDisplayRect &w = monitor.Work;
  return w.Width > 0 && w.Height > 0 ? w : monitor.Rect;
}

int MonitorHolding(const std::vector<TMonitor> &monitors, int x, int y) {
  for (size_t i = 0; i < monitors.size(); ++i) {
    const TDisplayRect &r = monitors[i].Rect;
    if (x >= r.Left && x < r.Left + r.Width && y >= r.Top && y < r.Top + r.Height) return int(i);
  }
  return 0;
}

namespace {
// The display as wide as `area`, at its top left corner, with the control bar under it above
// `bottom`, and the band or the board under the gauge when asked for.
TWatchLayout LayoutAcross(const TDisplayRect &area, int bottom, int barHeight, bool clockBand,
                          int boardLines) {
  int W = area.Width;
  int g = std::max(0, (5 * W + 32) / 64);
  int u = std::max(1, (W - 2) / 53);
  // A monitor wider than it is tall by far (two screens' worth of width, say), or one whose
  // taskbar takes its bottom: smaller digits, so that the control bar still shows under the
  // display, above the taskbar.
  int room = bottom - area.Top;
  auto under = [&] {
    return boardLines > 0 ? BoardLineHeight(g, u) * boardLines : clockBand ? ClockBandHeight(g) : 0;
  };
  while (u > 1 && 16 * u + g + 5 + under() + barHeight > room) --u;
  // The row is 53u wide, centred; when even u = 1 is too wide it starts at the left.
  int x0 = std::max(1, 1 + ((W - 2) - 53 * u) / 2);
  return WithUnderGauge(LayoutFrom(area.Left, area.Top, W, u, g, x0), clockBand, boardLines);
}
}  // namespace

TWatchLayout FullWidthLayout(const TDisplayRect &monitor, int barHeight) {
  return LayoutAcross(monitor, monitor.Top + monitor.Height, barHeight, false, 0);
}

TWatchLayout FullWidthLayout(const TDisplayRect &, const TDisplayRect &workArea, int barHeight,
                             bool clockBand, int boardLines) {
  // A taskbar is topmost too: one docked at the top or left that the display covered would be
  // fought over at every tick.
  return LayoutAcross(workArea, workArea.Top + workArea.Height, barHeight, clockBand, boardLines);
}

TWatchLayout DisplayLayout(int32_t userScreenSize, int fixedWidth,
                           const std::vector<TMonitor> &orderedMonitors, int barHeight,
                           bool clockBand, int boardLines) {
  if (!IsFullWidthSize(userScreenSize) || orderedMonitors.empty())
    return WithUnderGauge(WatchLayout(userScreenSize, fixedWidth), clockBand, boardLines);
  int k = FullWidthMonitor(userScreenSize, int(orderedMonitors.size()));
  const TMonitor &m = orderedMonitors[size_t(k)];
  return FullWidthLayout(m.Rect, WorkArea(m), barHeight, clockBand, boardLines);
}

namespace {
// v moved as little as it takes to lie within [low, high]; low when even that is too narrow.
int Within(int v, int low, int high) { return std::max(low, std::min(v, high)); }

int Overlap(int a, int aLength, int b, int bLength) {
  return std::max(0, std::min(a + aLength, b + bLength) - std::max(a, b));
}
}  // namespace

TDisplayPoint BarPlace(const TDisplayRect &display, int barWidth, int barHeight,
                       const TDisplayRect &workArea) {
  const TDisplayRect &w = workArea;
  return {Within(display.Left, w.Left, w.Left + w.Width - barWidth),
          Within(display.Top + display.Height, w.Top, w.Top + w.Height - barHeight)};
}

TDisplayPoint BoxPlace(int width, int height, const TWatchLayout &display, const TDisplayRect &bar,
                       const TDisplayRect &monitor, const TDisplayRect &workArea) {
  const TDisplayRect &w = workArea, &d = display.Window;
  const int right = w.Left + w.Width - width, bottom = w.Top + w.Height - height;
  const int centred = Within(monitor.Left + (monitor.Width - width) / 2, w.Left, right);
  const int below = std::max({d.Top + d.Height, bar.Top + bar.Height, w.Top});
  if (bottom >= below) return {centred, below + (bottom - below) / 2};

  // No room under the run: the digits are what must stay in view.
  std::vector<int> lefts = {centred, w.Left, right, d.Left + d.Width, d.Left - width};
  std::vector<int> tops = {bottom, w.Top, d.Top + d.Height};
  for (const TDisplayRect &digit : display.Digits) {
    lefts.push_back(d.Left + digit.Left + digit.Width);
    lefts.push_back(d.Left + digit.Left - width);
    tops.push_back(d.Top + digit.Top + digit.Height);
    tops.push_back(d.Top + digit.Top - height);
  }
  struct Cost {
    int digits = 0;
    long long pixels = 0;
    int raised = 0, aside = 0;
    auto operator<=>(const Cost &) const = default;
  };
  TDisplayPoint best{centred, bottom};
  Cost bestCost{7, 0, 0, 0};
  for (int x : lefts)
    for (int y : tops) {
      x = Within(x, w.Left, right);
      y = Within(y, w.Top, bottom);
      Cost c{0, 0, bottom - y, std::abs(x - centred)};
      for (const TDisplayRect &digit : display.Digits) {
        long long covered =
            1LL * Overlap(x, width, d.Left + digit.Left, digit.Width) *
            Overlap(y, height, d.Top + digit.Top, digit.Height);
        if (covered > 0) ++c.digits;
        c.pixels += covered;
      }
      if (c < bestCost) {
        bestCost = c;
        best = {x, y};
      }
    }
  return best;
}

int ScaledFixedWidth(int fixedWidth, int dpi) { return ScaleLength(fixedWidth, dpi); }

TWatchLayout ScaledDisplayLayout(int32_t userScreenSize, int fixedWidth, int dpi,
                                 const std::vector<TMonitor> &orderedMonitors, int barHeight,
                                 bool clockBand, int boardLines) {
  bool fullWidth = IsFullWidthSize(userScreenSize) && !orderedMonitors.empty();
  if (fullWidth || SaneDpi(dpi) == DesignDpi)
    return DisplayLayout(userScreenSize, fixedWidth, orderedMonitors, barHeight, clockBand,
                         boardLines);
  TDisplayRect display{0, 0, ScaledFixedWidth(fixedWidth, dpi), 1 << 20};
  if (orderedMonitors.empty())
    return LayoutAcross(display, display.Top + display.Height, barHeight, clockBand, boardLines);
  // The bar still shows under it, above the primary's taskbar.
  const TDisplayRect work = WorkArea(orderedMonitors[0]);
  return LayoutAcross(display, work.Top + work.Height, barHeight, clockBand, boardLines);
}

