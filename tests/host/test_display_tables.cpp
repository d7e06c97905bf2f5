#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "display/uDisplayTables.h"

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

TEST(SevenSegments, ImagesAndPlacesFitTheDigit) {
  for (int u : DigitUnitSize) {
    EXPECT_EQ(SegmentImageSize(siHorizontal, u), (TDisplayPoint{8 * u, 2 * u}));
    EXPECT_EQ(SegmentImageSize(siVertical, u), (TDisplayPoint{2 * u, 8 * u}));
    for (int s = 0; s < 7; ++s) {
      TDisplayPoint o = SegmentOrigin(s, u);
      TDisplayPoint size = SegmentImageSize(SegmentPlaces[size_t(s)].Image, u);
      EXPECT_GE(o.X, 0);
      EXPECT_GE(o.Y, 0);
      EXPECT_LE(o.X + size.X, 8 * u) << "segment " << s;
      EXPECT_LE(o.Y + size.Y, 16 * u) << "segment " << s;
      for (TDisplayPoint v : SegmentHexagon(SegmentPlaces[size_t(s)].Image, u)) {
        EXPECT_LE(v.X, size.X);
        EXPECT_LE(v.Y, size.Y);
      }
    }
  }
  // The middle segment at sizes 0 and 4.
  EXPECT_EQ(SegmentOrigin(6, DigitUnitSize[0]), (TDisplayPoint{0, 84}));
  EXPECT_EQ(SegmentOrigin(6, DigitUnitSize[4]), (TDisplayPoint{0, 168}));
}

// --- Gauge arithmetic --------------------------------------------------------------------------

TEST(GaugeArithmetic, PercentAndColourByQuarters) {
  struct Case {
    uint32_t progress;
    int percent, colour;
  };
  for (Case c : {Case{0, 0, 0}, Case{74, 24, 0}, Case{75, 25, 1}, Case{149, 49, 1}, Case{150, 50, 2},
                 Case{224, 74, 2}, Case{225, 75, 3}, Case{299, 99, 3}, Case{300, 100, 4}}) {
    uint8_t p = GaugePercentDone(c.progress, 300);
    EXPECT_EQ(p, c.percent) << c.progress;
    EXPECT_EQ(BarColorIndex(p), c.colour) << c.progress;
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

TEST(GaugeArithmetic, ColourIndexNeverLeavesTheTable) {
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

}  // namespace
