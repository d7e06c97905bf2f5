#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "display/uDisplayTables.h"
#include "run/uExamPlan.h"

namespace {

// --- Layout of the display window --------------------------------------------------------------

struct WorkedRow {
  int width, height;                  // window
  int panelW, panelH;                 // panel at (1, 1)
  int gaugeTop, gaugeW, gaugeH;       // gauge at left 1
  int digitW, digitH;
  std::array<int, 6> digitLefts;
  std::array<int, 2> colonLefts;
  std::array<int, 2> dotTops;
};

// The layout worked out by hand for the five display sizes.
const std::array<WorkedRow, 5> kWorked = {{
    {640, 247, 638, 194, 196, 638, 50, 96, 192, {2, 110, 218, 326, 434, 542}, {206, 422}, {60, 120}},
    {800, 308, 798, 242, 244, 798, 63, 120, 240, {3, 138, 273, 408, 543, 678}, {258, 528}, {75, 150}},
    {1024, 389, 1022, 306, 308, 1022, 80, 152, 304, {9, 180, 351, 522, 693, 864}, {332, 674}, {95, 190}},
    {1152, 431, 1150, 338, 340, 1150, 90, 168, 336, {21, 210, 399, 588, 777, 966}, {378, 756}, {105, 210}},
    {1280, 489, 1278, 386, 388, 1278, 100, 192, 384, {5, 221, 437, 653, 869, 1085}, {413, 845}, {120, 240}},
}};
const std::array<int, 5> kScreenWidths = {640, 800, 1024, 1152, 1280};

TEST(DisplayLayout, EverySizeMatchesTheWorkedOutTable) {
  for (int s = 0; s < 5; ++s) {
    SCOPED_TRACE("UserScreenSize " + std::to_string(s));
    const WorkedRow &w = kWorked[size_t(s)];
    TWatchLayout l = WatchLayout(s, kScreenWidths[size_t(s)]);
    EXPECT_EQ(l.Window, (TDisplayRect{0, 0, w.width, w.height}));
    EXPECT_EQ(l.Panel, (TDisplayRect{1, 1, w.panelW, w.panelH}));
    EXPECT_EQ(l.Gauge, (TDisplayRect{1, w.gaugeTop, w.gaugeW, w.gaugeH}));
    for (int p = 0; p < 6; ++p)
      EXPECT_EQ(l.Digits[p], (TDisplayRect{w.digitLefts[size_t(p)], 1, w.digitW, w.digitH}))
          << "digit " << p;
    EXPECT_EQ(l.ColonLeft, w.colonLefts);
    EXPECT_EQ(l.DotTop, w.dotTops);
    EXPECT_EQ(l.Unit, w.digitW / 8);
  }
}

TEST(DisplayLayout, OutOfRangeSizesReadAsTheDefaultSizeNeverPastTheTables) {
  for (int32_t bad : {-1, 5, 7, 255, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(ScreenSizeIndex(bad), 1) << bad;
    EXPECT_EQ(DigitUnitFor(bad), 15) << bad;
    TWatchLayout l = WatchLayout(bad, 800);
    EXPECT_EQ(l.Window, (TDisplayRect{0, 0, 800, 308})) << bad;
  }
  for (int32_t good = 0; good < 5; ++good) EXPECT_EQ(ScreenSizeIndex(good), good);
}

// --- Full-width displays -----------------------------------------------------------------------

TEST(FullWidthLayout, TheFiveFixedWidthsGiveBackTheFixedUnitAndGauge) {
  for (int s = 0; s < 5; ++s) {
    int W = kScreenWidths[size_t(s)];
    TWatchLayout l = FullWidthLayout({0, 0, W, 2000}, 60);
    EXPECT_EQ(l.Unit, DigitUnitSize[size_t(s)]) << W;
    EXPECT_EQ(l.Gauge.Height, GaugeHeight[size_t(s)]) << W;
    EXPECT_EQ(l.Window, (TDisplayRect{0, 0, W, kWorked[size_t(s)].height})) << W;
  }
}

TEST(FullWidthLayout, AProjectorBesideTheLaptop) {
  // 1920 x 1080 to the right of a 1366-pixel laptop screen.
  TWatchLayout l = FullWidthLayout({1366, 0, 1920, 1080}, 60);
  EXPECT_EQ(l.Unit, 36);
  EXPECT_EQ(l.Window, (TDisplayRect{1366, 0, 1920, 731}));
  EXPECT_EQ(l.Panel, (TDisplayRect{1, 1, 1918, 578}));
  EXPECT_EQ(l.Gauge, (TDisplayRect{1, 580, 1918, 150}));
  const int lefts[6] = {6, 330, 654, 978, 1302, 1626};
  for (int p = 0; p < 6; ++p) EXPECT_EQ(l.Digits[p], (TDisplayRect{lefts[p], 1, 288, 576})) << p;
  EXPECT_EQ(l.ColonLeft, (std::array<int, 2>{618, 1266}));
  EXPECT_EQ(l.DotTop, (std::array<int, 2>{180, 360}));

  l = FullWidthLayout({0, 0, 3840, 2160}, 60);
  EXPECT_EQ(l.Unit, 72);
  EXPECT_EQ(l.Gauge.Height, 300);
  EXPECT_EQ(l.Digits[0].Left, 12);
  EXPECT_EQ(l.Window, (TDisplayRect{0, 0, 3840, 1457}));
}

TEST(FullWidthLayout, TheDigitsShrinkOnlyWhenTheControlBarWouldNotFit) {
  // Portrait: the width decides, there is room to spare below.
  TWatchLayout l = FullWidthLayout({0, 0, 1080, 1920}, 60);
  EXPECT_EQ(l.Unit, 20);
  EXPECT_EQ(l.Window, (TDisplayRect{0, 0, 1080, 16 * 20 + 84 + 5}));
  EXPECT_EQ(l.Digits[0].Left, 10);
  // Two screens' worth of width: u = 72 would leave the bar off the bottom.
  l = FullWidthLayout({0, 0, 3840, 1080}, 60);
  EXPECT_EQ(l.Unit, 44);
  EXPECT_LE(l.Window.Height + 60, 1080);
  EXPECT_GT(16 * 45 + 300 + 5 + 60, 1080) << "the largest unit that fits";
  // Still centred: as much room left of digit 0 as right of digit 5.
  EXPECT_EQ(l.Digits[0].Left - 1, (3840 - 1) - (l.Digits[5].Left + 8 * 44));
  // A tiny screen: one pixel per unit, the row from the left, nothing negative.
  l = FullWidthLayout({0, 0, 40, 30}, 60);
  EXPECT_EQ(l.Unit, 1);
  EXPECT_EQ(l.Digits[0].Left, 1);
  EXPECT_EQ(l.Window, (TDisplayRect{0, 0, 40, 16 + 3 + 5}));
}

TEST(Monitors, PrimaryFirstThenByLeftThenByTop) {
  TMonitor laptop{{0, 0, 1366, 768}, true};
  TMonitor left{{-1920, 0, 1920, 1080}, false};
  TMonitor lowRight{{1366, 500, 1280, 1024}, false};
  TMonitor highRight{{1366, -524, 1280, 1024}, false};
  std::vector<TMonitor> ordered = MonitorOrder({lowRight, left, highRight, laptop});
  EXPECT_EQ(ordered, (std::vector<TMonitor>{laptop, left, highRight, lowRight}));
}

TEST(Monitors, EachSettingFindsItsLayoutAndAVanishedMonitorGivesThePrimary) {
  std::vector<TMonitor> two = {{{0, 0, 1366, 768}, true}, {{1366, 0, 1920, 1080}, false}};
  EXPECT_EQ(FullWidthMonitor(6, 2), 1);
  EXPECT_EQ(MonitorHolding(two, 1366, 0), 1);
  EXPECT_EQ(MonitorHolding(two, 100, 900), 0) << "below the laptop: nowhere, the first";
  EXPECT_EQ(DisplayLayout(6, 800, two, 60).Window, (TDisplayRect{1366, 0, 1920, 731}));
  TWatchLayout primary = DisplayLayout(5, 800, two, 60);
  EXPECT_EQ(primary.Window, (TDisplayRect{0, 0, 1366, 16 * 25 + 107 + 5}));
  // The projector unplugged since the setting was chosen.
  EXPECT_EQ(FullWidthMonitor(6, 1), 0);
  EXPECT_EQ(DisplayLayout(6, 800, {two[0]}, 60), primary);
  EXPECT_EQ(DisplayLayout(5 + MaxMonitors - 1, 800, two, 60), primary);
  // The fixed sizes keep their tables whatever the monitors; a value past every monitor is no
  // full-width size and reads as the default fixed size.
  EXPECT_EQ(DisplayLayout(4, 1280, two, 60), WatchLayout(4, 1280));
  EXPECT_FALSE(IsFullWidthSize(5 + MaxMonitors));
  EXPECT_EQ(DisplayLayout(5 + MaxMonitors, 800, two, 60), WatchLayout(1, 800));
  EXPECT_EQ(DisplayLayout(-1, 800, two, 60), WatchLayout(1, 800));
}

TEST(ScaledScreens, AFixedSizeIsItsWidthTimesTheScaleByTheFullWidthRule) {
  std::vector<TMonitor> one = {{{0, 0, 1920, 1080}, true}};
  // 96 DPI: the fixed tables, digit offsets included (the full-width rule centres the row).
  for (int k = 0; k < ScreenSizeCount; ++k) {
    int W = std::array{640, 800, 1024, 1152, 1280}[size_t(k)];
    EXPECT_EQ(ScaledDisplayLayout(k, W, 96, one, 60), WatchLayout(k, W)) << k;
  }
  // 150 %: 1024 becomes 1536, laid out as a full-width display of that width.
  EXPECT_EQ(ScaledFixedWidth(1024, 144), 1536);
  TWatchLayout l = ScaledDisplayLayout(2, 1024, 144, one, 60);
  EXPECT_EQ(l, FullWidthLayout({0, 0, 1536, 1080}, 60));
  EXPECT_EQ(l.Window, (TDisplayRect{0, 0, 1536, 16 * 28 + 120 + 5}));
  // round(W * s): 800 at 125 % is 1000, 1152 at 175 % is 2016, 640 at 110 % is 706.67.
  EXPECT_EQ(ScaledDisplayLayout(1, 800, 120, one, 60).Window.Width, 1000);
  EXPECT_EQ(ScaledDisplayLayout(3, 1152, 168, {{{0, 0, 3840, 2160}, true}}, 60).Window.Width, 2016);
  EXPECT_EQ(ScaledFixedWidth(640, 106), 707);
  // The bar under it, above the primary's taskbar: 1280 at 200 % is 2560 wide, and u = 48
  // (973 pixels high) would push a 120-pixel bar past 1040.
  std::vector<TMonitor> taskbar = {{{0, 0, 1920, 1080}, true, {0, 0, 1920, 1040}}};
  l = ScaledDisplayLayout(4, 1280, 192, taskbar, 120);
  EXPECT_EQ(l.Window.Width, 2560);
  EXPECT_LT(l.Unit, 48);
  EXPECT_LE(l.Window.Height + 120, 1040);
  // A full-width display keeps its monitor's width whatever the scale.
  EXPECT_EQ(ScaledDisplayLayout(5, 800, 144, one, 60), DisplayLayout(5, 800, one, 60));
  EXPECT_EQ(ScaledDisplayLayout(5, 800, 144, one, 60).Window.Width, 1920);
}

// A taskbar takes the bottom of the monitor: the bar must end above it.
TEST(FullWidthLayout, TheDisplayAndTheBarEndWithinTheWorkArea) {
  struct Case {
    TDisplayRect monitor, work;
    int unit;
  };
  const Case cases[] = {
      {{0, 0, 3840, 1080}, {0, 0, 3840, 1040}, 42},           // u = 44 would reach 1085
      {{1920, 0, 2560, 1080}, {1920, 0, 2560, 1032}, 47},     // beside the primary
      {{0, 0, 3840, 1080}, {0, 40, 3840, 1040}, 42},          // a taskbar at the top: under it
      {{0, 0, 1920, 1080}, {120, 0, 1800, 1080}, 33},         // one at the left: right of it
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.monitor.Width) + " wide, work area to " +
                 std::to_string(c.work.Top + c.work.Height));
    TWatchLayout l = FullWidthLayout(c.monitor, c.work, 60);
    EXPECT_EQ(l.Unit, c.unit);
    EXPECT_EQ(l.Window.Left, c.work.Left);
    EXPECT_EQ(l.Window.Top, c.work.Top);
    EXPECT_EQ(l.Window.Width, c.work.Width);
    EXPECT_LE(l.Window.Top + l.Window.Height + 60, c.work.Top + c.work.Height);
  }
  // The settings' layout takes the monitor's work area.
  TMonitor wide{{0, 0, 3840, 1080}, true, {0, 0, 3840, 1040}};
  EXPECT_EQ(DisplayLayout(5, 800, {wide}, 60).Unit, 42);
}

TEST(BarPlace, UnderTheDisplayAndInsideTheWorkArea) {
  // A taskbar at the left of the monitor: the bar moves right of it, still under the display.
  EXPECT_EQ(BarPlace({0, 0, 1920, 731}, 352, 65, {62, 0, 1858, 1080}), (TDisplayPoint{62, 731}));
  // A display too tall for the work area: the bar rises onto it rather than under the taskbar.
  EXPECT_EQ(BarPlace({0, 0, 1280, 489}, 352, 65, {0, 0, 1024, 520}), (TDisplayPoint{0, 455}));
}

// --- Boxes during a run ------------------------------------------------------------------------

// How many digits of the display the box covers.
int DigitsUnder(TDisplayPoint at, int w, int h, const TWatchLayout &l) {
  int n = 0;
  for (const TDisplayRect &d : l.Digits) {
    int left = l.Window.Left + d.Left, top = l.Window.Top + d.Top;
    if (at.X < left + d.Width && left < at.X + w && at.Y < top + d.Height && top < at.Y + h) ++n;
  }
  return n;
}

TEST(BoxPlace, UnderTheRunWhenThereIsRoomElseOverTheFewestDigits) {
  // The end box, 229 x 105, under a full-width display and its bar on 1920 x 1080.
  TWatchLayout full = FullWidthLayout({0, 0, 1920, 1080}, 65);
  TDisplayRect bar{0, 731, 352, 65};
  TDisplayPoint at = BoxPlace(229, 105, full, bar, {0, 0, 1920, 1080}, {0, 0, 1920, 1080});
  EXPECT_EQ(at, (TDisplayPoint{(1920 - 229) / 2, 796 + (1080 - 105 - 796) / 2}))
      << "centred, in the middle of the room left below";
  // Room under the digits but not under the bar: over the gauge, as low as it goes.
  at = BoxPlace(229, 105, full, bar, {0, 0, 1920, 1080}, {0, 0, 1920, 800});
  EXPECT_EQ(at, (TDisplayPoint{845, 800 - 105}));
  // A work area no taller than the digits: one digit covered, no more, inside the work area.
  at = BoxPlace(229, 105, full, bar, {0, 0, 1920, 1080}, {0, 0, 1920, 300});
  EXPECT_EQ(DigitsUnder(at, 229, 105, full), 1);
  EXPECT_LE(at.Y + 105, 300);
  // A box wider than the gaps, on a fixed display narrower than the monitor: beside it.
  TWatchLayout small = WatchLayout(0, 640);
  at = BoxPlace(300, 250, small, {0, 247, 352, 65}, {0, 0, 1024, 300}, {0, 0, 1024, 300});
  EXPECT_EQ(DigitsUnder(at, 300, 250, small), 0);
  EXPECT_LE(at.X + 300, 1024);
  // A box larger than the work area: its top left corner stays on the screen.
  EXPECT_EQ(BoxPlace(2000, 1200, full, bar, {0, 0, 1920, 1080}, {0, 0, 1920, 1040}),
            (TDisplayPoint{0, 0}));
}

// --- Seven segments ----------------------------------------------------------------------------

std::string LitSegments(int digit) {
  std::string s;
  for (size_t i = 0; i < SegmentPlaces.size(); ++i)
    if (DigitMasks[size_t(digit)] & SegmentPlaces[i].Bit) s += char('a' + i);
  return s;
}

TEST(SevenSegments, EachDigitLightsItsSegments) {
  const char *expected[10] = {"abcdef", "bc",     "abdeg", "abcdg",   "bcfg",
                              "acdfg",  "acdefg", "abc",   "abcdefg", "abcdfg"};
  for (int d = 0; d < 10; ++d) EXPECT_EQ(LitSegments(d), expected[d]) << "digit " << d;
  // Bits are one per segment, a = 0x01 up to g = 0x40.
  for (size_t i = 0; i < SegmentPlaces.size(); ++i) EXPECT_EQ(SegmentPlaces[i].Bit, 1u << i);
}

// The two pointed ends of a segment, in pixels inside the digit.
std::pair<TDisplayPoint, TDisplayPoint> Tips(int segment, int u) {
  TDisplayPoint o = SegmentOrigin(segment, u);
  auto hex = SegmentHexagon(SegmentPlaces[size_t(segment)].Image, u);
  // Vertex 0 and vertex 3 are the ends of either hexagon.
  return {{o.X + hex[0].X, o.Y + hex[0].Y}, {o.X + hex[3].X, o.Y + hex[3].Y}};
}

TEST(SevenSegments, NeighbouringEndsMeetAtTheSixJoints) {
  for (int u : DigitUnitSize) {
    std::multiset<std::pair<int, int>> ends;
    for (int s = 0; s < 7; ++s) {
      auto [p, q] = Tips(s, u);
      ends.insert({p.X, p.Y});
      ends.insert({q.X, q.Y});
    }
    // Top corners: a with b and f; middle: g with b, c, e, f; bottom corners: d with c and e.
    std::multiset<std::pair<int, int>> joints = {
        {u, u},      {u, u},      {7 * u, u},  {7 * u, u},  {u, 8 * u},   {u, 8 * u},  {u, 8 * u},
        {7 * u, 8 * u}, {7 * u, 8 * u}, {7 * u, 8 * u}, {u, 15 * u}, {u, 15 * u}, {7 * u, 15 * u},
        {7 * u, 15 * u}};
    EXPECT_EQ(ends, joints) << "u = " << u;
  }
}

// At every unit a display may take, fixed or across a 4K screen: each segment's image fits the
// digit, and its shape (each corner with the outline's pixel) lies in the box that a digit change
// repaints.
TEST(SevenSegments, ImagesAndPlacesFitTheDigit) {
  for (int u = 2; u <= 80; ++u) {
    EXPECT_EQ(SegmentImageSize(siHorizontal, u), (TDisplayPoint{8 * u, 2 * u}));
    EXPECT_EQ(SegmentImageSize(siVertical, u), (TDisplayPoint{2 * u, 8 * u}));
    for (int s = 0; s < 7; ++s) {
      TDisplayPoint o = SegmentOrigin(s, u);
      TDisplayPoint size = SegmentImageSize(SegmentPlaces[size_t(s)].Image, u);
      EXPECT_GE(o.X, 0);
      EXPECT_GE(o.Y, 0);
      EXPECT_LE(o.X + size.X, 8 * u) << "segment " << s;
      EXPECT_LE(o.Y + size.Y, 16 * u) << "segment " << s;
      const TDisplayRect box = SegmentShapeBox(s, u);
      for (TDisplayPoint v : SegmentHexagon(SegmentPlaces[size_t(s)].Image, u)) {
        EXPECT_LE(v.X, size.X);
        EXPECT_LE(v.Y, size.Y);
        const int x = std::min(o.X + v.X, o.X + size.X - 1), y = std::min(o.Y + v.Y, o.Y + size.Y - 1);
        ASSERT_TRUE(x >= box.Left && x < box.Left + box.Width && y >= box.Top &&
                    y < box.Top + box.Height)
            << "segment " << s << ", unit " << u;
      }
    }
  }
  // The middle segment at sizes 0 and 4.
  EXPECT_EQ(SegmentOrigin(6, DigitUnitSize[0]), (TDisplayPoint{0, 84}));
  EXPECT_EQ(SegmentOrigin(6, DigitUnitSize[4]), (TDisplayPoint{0, 168}));
}

// --- Gauge arithmetic --------------------------------------------------------------------------

TEST(GaugeArithmetic, PercentAndColorByQuarters) {
  // Red, green and blue as the screen shows them; the table holds them the way Windows does, red
  // in the low byte.
  using Rgb = std::array<int, 3>;
  const Rgb darkGreen{0, 128, 0}, green{0, 255, 0}, yellow{255, 255, 0}, red{255, 0, 0};
  struct Case {
    uint32_t progress;
    int percent, colour;
    Rgb rgb;
  };
  for (Case c : {Case{0, 0, 0, darkGreen}, Case{74, 24, 0, darkGreen}, Case{75, 25, 1, green},
                 Case{149, 49, 1, green}, Case{150, 50, 2, yellow}, Case{224, 74, 2, yellow},
                 Case{225, 75, 3, red}, Case{299, 99, 3, red}, Case{300, 100, 4, red}}) {
    uint8_t p = GaugePercentDone(c.progress, 300);
    EXPECT_EQ(p, c.percent) << c.progress;
    EXPECT_EQ(BarColorIndex(p), c.colour) << c.progress;
    const uint32_t bgr = BarColors[size_t(BarColorIndex(p))];
    EXPECT_EQ((Rgb{int(bgr & 0xFF), int(bgr >> 8 & 0xFF), int(bgr >> 16 & 0xFF)}), c.rgb)
        << c.progress;
  }
}

TEST(GaugeArithmetic, QuotientFirstInExtendedPrecision) {
  // 100 / 97, rounded, times 97 falls just short of 100.
  EXPECT_EQ(GaugePercentDone(97, 97), 99);
  EXPECT_EQ(GaugePercentDone(100, 100), 100);
  // Whatever the total, a full run reads 99 or 100, never less.
  for (uint32_t m = 1; m < 2000; ++m) {
    uint8_t p = GaugePercentDone(m, m);
    ASSERT_TRUE(p == 99 || p == 100) << m;
  }
  // Only the low 8 bits are kept: 300% reads 44.
  EXPECT_EQ(GaugePercentDone(3, 1), 44);
  EXPECT_EQ(GaugePercentDone(0xFFFFFFFFu, 1), uint8_t(uint64_t(0xFFFFFFFFu) * 100));
}

#if defined(__i386__) || defined(__x86_64__)
unsigned short ControlWord() {
  unsigned short cw;
  __asm__ __volatile__("fnstcw %0" : "=m"(cw));
  return cw;
}
void SetControlWord(unsigned short cw) { __asm__ __volatile__("fldcw %0" : : "m"(cw)); }

TEST(GaugeArithmetic, ExtendedEvenWhenTheFpuRoundsToDoubles) {
  unsigned short saved = ControlWord();
  SetControlWord(static_cast<unsigned short>((saved & ~0x0300) | 0x0200));  // 53 bits
  uint8_t p = GaugePercentDone(97, 97);
  unsigned short after = ControlWord();
  SetControlWord(saved);
  EXPECT_EQ(p, 99);
  EXPECT_EQ(after & 0x0300, 0x0200) << "the caller's precision is put back";
}
#endif

TEST(GaugeArithmetic, NoMaximumMeansAnEmptyBar) {
  EXPECT_EQ(GaugePercentDone(0, 0), 0);
  EXPECT_EQ(GaugePercentDone(5, 0), 0);
  EXPECT_EQ(GaugeFillWidth(0, 0, 1, 637), 0);
  EXPECT_EQ(GaugeFillWidth(5, 0, 1, 637), 0);
}

TEST(GaugeArithmetic, FillWidthIsTheBarsRightEdge) {
  // A 638-pixel gauge with its frame: R = 1..637, W = 637.
  EXPECT_EQ(GaugeFillWidth(300, 300, 1, 637), 637);
  EXPECT_EQ(GaugeFillWidth(0, 300, 1, 637), 0);
  EXPECT_EQ(GaugeFillWidth(150, 300, 1, 637), 318);  // 318.5 truncated
  EXPECT_EQ(GaugeFillWidth(1, 3, 0, 99), 33);
  EXPECT_EQ(GaugeFillWidth(2, 3, 0, 99), 66);
  // Progress divided first: a full run is exactly W for every total.
  for (uint32_t m = 1; m < 2000; ++m) ASSERT_EQ(GaugeFillWidth(m, m, 1, 1021), 1021) << m;
  // Past the maximum the bar stays full instead of running off the control.
  EXPECT_EQ(GaugeFillWidth(301, 300, 1, 637), 637);
  EXPECT_EQ(GaugeFillWidth(0xFFFFFFFFu, 1, 1, 637), 637);
  EXPECT_EQ(GaugeFillWidth(1, 2, 5, 3), 0);  // an empty rectangle
}

TEST(GaugeArithmetic, ColorIndexNeverLeavesTheTable) {
  EXPECT_EQ(BarColorIndex(24), 0);
  EXPECT_EQ(BarColorIndex(124), 4);
  EXPECT_EQ(BarColorIndex(125), 4);
  EXPECT_EQ(BarColorIndex(255), 4);
}

TEST(GaugeArithmetic, TextAndItsPlace) {
  EXPECT_EQ(GaugePercentText(42), "42%");
  EXPECT_EQ(GaugePercentText(0), "0%");
  EXPECT_EQ(GaugePercentText(100), "100%");
  // R = 1, 1, 637, 49: (637 - 1 + 1 - 100) / 2 = 268, (49 - 1 + 1 - 30) / 2 = 9 (both truncated).
  EXPECT_EQ(GaugeTextOrigin(1, 1, 637, 49, 100, 30), (TDisplayPoint{268, 9}));
  EXPECT_EQ(GaugeTextOrigin(1, 1, 637, 49, 101, 31), (TDisplayPoint{268, 9}));
  // A text wider than R: truncation toward zero, not down.
  EXPECT_EQ(GaugeTextOrigin(0, 0, 10, 10, 16, 16), (TDisplayPoint{-2, -2}));
}

TEST(GaugeArithmetic, FontSizeIsTheLargestWhoseTextIsLower) {
  std::vector<int> measured;
  auto linear = [&](int size) {
    measured.push_back(size);
    return size + size / 8;  // a text height growing with the size
  };
  // 45 + 5 = 50 is not below 50; 44 + 5 = 49 is.
  EXPECT_EQ(FitFontSize(50, linear), 44);
  EXPECT_EQ(measured.front(), 130);
  EXPECT_EQ(measured.back(), 44);
  EXPECT_EQ(measured.size(), size_t(130 - 44 + 1));
  // Lower than anything: down to 6, and 5 is never tried.
  measured.clear();
  EXPECT_EQ(FitFontSize(3, linear), 6);
  EXPECT_EQ(measured.back(), 6);
  // Higher than anything: 130 at once.
  measured.clear();
  EXPECT_EQ(FitFontSize(1000, linear), 130);
  EXPECT_EQ(measured.size(), 1u);
}

TEST(GaugeArithmetic, ATallerGaugeStartsItsFontSearchHigher) {
  for (int h : {50, 63, 80, 90, 100}) EXPECT_EQ(FontSearchStart(h), 130) << h;
  auto linear = [](int size) { return size + size / 8; };
  // A 300-pixel gauge (3840 wide): the text grows past 130 points.
  int start = FontSearchStart(300);
  EXPECT_GE(start, 300);
  int size = FitFontSize(300, linear, start);
  EXPECT_LT(linear(size), 300);
  EXPECT_GE(linear(size + 1), 300);
  EXPECT_GT(size, 130);
}

TEST(GaugeArithmetic, TheLookChangesWithTheEdgeOrThePercentageOnly) {
  // An hour on a 49-pixel bar: the edge moves every 73.5 s, the percentage every 36 s.
  EXPECT_EQ(GaugeLook(74, 3600, 1, 49), GaugeLook(100, 3600, 1, 49));
  EXPECT_NE(GaugeLook(107, 3600, 1, 49), GaugeLook(110, 3600, 1, 49)) << "percentage 2 to 3";
  EXPECT_EQ(GaugeLook(107, 3600, 1, 49).FillRight, GaugeLook(110, 3600, 1, 49).FillRight);
  EXPECT_NE(GaugeLook(899, 3600, 1, 49), GaugeLook(901, 3600, 1, 49)) << "colour at 25%";
  EXPECT_EQ(GaugeLook(899, 3600, 1, 49).FillRight, GaugeLook(901, 3600, 1, 49).FillRight);
  // An hour at 1920 wide changes the picture well under once a second.
  int changes = 0;
  for (uint32_t t = 1; t <= 3600; ++t)
    changes += GaugeLook(t, 3600, 1, 1916) != GaugeLook(t - 1, 3600, 1, 1916);
  EXPECT_LT(changes, 3600 * 6 / 10);
  EXPECT_GE(changes, 1916);
}

// --- Seconds near the end ----------------------------------------------------------------------

TEST(SecondsNearEnd, DarkUntilTheLastMinutesBeforeTheEndCountedTo) {
  const struct {
    uint32_t elapsed, total, extra, minutes;
    bool overtime, lit;
  } cases[] = {
      {0, 7200, 0, 0, false, true},      {6899, 7200, 0, 5, false, false},
      {6900, 7200, 0, 5, false, true},   {90000, 0, 0, 5, false, true},  // open-ended
      {100, 7200, 0, 5, true, true},     {6900, 7200, 2400, 5, false, true},
      {7200, 7200, 2400, 5, false, false}, {9300, 7200, 2400, 5, false, true},  // tiers-temps
      {0, 0xFFFFFFFFu, 0xFFFFFFFFu, 999, false, false},  // no overflow
  };
  for (const auto &c : cases)
    EXPECT_EQ(SecondsLit(c.elapsed, c.total, c.extra, c.minutes, c.overtime), c.lit)
        << c.elapsed << " of " << c.total << "+" << c.extra << ", " << c.minutes << " min";
}

}  // namespace

// The band under the gauge: half the gauge's height, as wide, the window growing by it at a
// fixed size; at full width the display, the band and the bar still end within the work area.
TEST(ClockBandLayout, UnderTheGaugeAndWithinTheWorkArea) {
  for (int k = 0; k < ScreenSizeCount; ++k) {
    const TWatchLayout plain = WatchLayout(k, 1024), l = DisplayLayout(k, 1024, {}, 60, true);
    EXPECT_EQ(l.Band, (TDisplayRect{plain.Gauge.Left, plain.Gauge.Top + plain.Gauge.Height,
                                    plain.Gauge.Width, (plain.Gauge.Height + 1) / 2}))
        << k;
    EXPECT_EQ(l.Window.Height, plain.Window.Height + l.Band.Height) << k;
    EXPECT_EQ(plain.Band, TDisplayRect{}) << k;
  }
  // The bar as tall as at 96, 120, 144 and 192 DPI.
  for (const TMonitor &m : {TMonitor{{0, 0, 1920, 1080}, true, {0, 0, 1920, 1040}},
                            TMonitor{{0, 0, 3840, 1080}, true, {0, 0, 3840, 1040}},
                            TMonitor{{0, 0, 1024, 768}, true}})
    for (int bar : {60, 75, 90, 120}) {
      const TWatchLayout l = DisplayLayout(5, 800, {m}, bar, true);
      SCOPED_TRACE(std::to_string(m.Rect.Width) + " with a bar of " + std::to_string(bar));
      EXPECT_GT(l.Band.Height, 0);
      EXPECT_EQ(l.Band.Top, l.Gauge.Top + l.Gauge.Height);
      EXPECT_LE(l.Window.Top + l.Window.Height + bar, WorkArea(m).Top + WorkArea(m).Height);
      EXPECT_LE(l.Unit, DisplayLayout(5, 800, {m}, bar).Unit);
      // The room's board of four épreuves in the band's place, counted alike.
      const TWatchLayout board = DisplayLayout(5, 800, {m}, bar, true, 4);
      EXPECT_EQ(board.Band, TDisplayRect{});
      EXPECT_EQ(board.Board, (TDisplayRect{board.Gauge.Left, board.Gauge.Top + board.Gauge.Height,
                                           board.Gauge.Width, 4 * BoardLineHeight(board.Gauge.Height, board.Unit)}));
      EXPECT_LE(board.Window.Top + board.Window.Height + bar, WorkArea(m).Top + WorkArea(m).Height);
      EXPECT_LE(board.Unit, l.Unit);
    }
}
