// The seven-segment digit and the progress gauge, painted into memory bitmaps and on a window.
#include <windows.h>

#include <algorithm>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest-spi.h>

#include "base/uErrors.h"
#include "display/uBoxNumber.h"
#include "display/uGaugeEx.h"
#include "support_win.h"

using namespace testwin;

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kDarkGreen = RGB(0, 128, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

// A picture of a control: its Paint given a memory DC, read back pixel by pixel.
class Picture {
public:
  Picture(int w, int h) : screen_(nullptr), mem_(screen_.dc(), w, h) {
    gdi::FillSolid(mem_.dc(), RECT{0, 0, w, h}, RGB(1, 2, 3));
  }
  HDC dc() const { return mem_.dc(); }
  COLORREF At(int x, int y) const { return GetPixel(mem_.dc(), x, y); }
  int Width() const { return mem_.width(); }
  int Height() const { return mem_.height(); }

private:
  gdi::WindowDC screen_;
  gdi::MemoryDC mem_;
};

std::unique_ptr<Picture> Render(TGraphicControl &c) {
  auto p = std::make_unique<Picture>(c.Width(), c.Height());
  c.Paint(p->dc());
  return p;
}

// A plain window to put controls on, as the display window does.
class HostForm : public TForm {
public:
  HostForm() : TForm(nullptr) {
    LoadDesignText("form Host client=700,420 pos=0,0 border=none caption=Host color=btnface",
                   "Host");
  }
};

template <class Base>
class Counting : public Base {
public:
  using Base::Base;
  int paints = 0;
  void Paint(HDC dc) override {
    ++paints;
    Base::Paint(dc);
  }
};

class DisplayControls : public ::testing::Test {
protected:
  void SetUp() override {
    ResetRegistry();
    config_ = std::make_unique<ConfigScope>();
  }
  void TearDown() override {
    config_.reset();
    ResetRegistry();
  }
  std::unique_ptr<ConfigScope> config_;
};

// --- Seven-segment digit -----------------------------------------------------------------------

// Centre of segment s (0 = a ... 6 = g) inside a digit of unit u.
POINT SegmentCentre(int s, int u) {
  TDisplayPoint o = SegmentOrigin(s, u);
  TDisplayPoint size = SegmentImageSize(SegmentPlaces[size_t(s)].Image, u);
  return POINT{o.X + size.X / 2, o.Y + size.Y / 2};
}

TEST_F(DisplayControls, EachDigitLightsExactlyItsSegmentsAtTheSmallestAndLargestSize) {
  const char *lit[10] = {"abcdef", "bc",     "abdeg", "abcdg",   "bcfg",
                         "acdfg",  "acdefg", "abc",   "abcdefg", "abcdfg"};
  // Both sizes alive at once, each digit shown on one then the other: digits of different units
  // never share their drawn figures.
  AppConfig->UserScreenSize = 0;
  TBoxNumber smallest(nullptr);
  AppConfig->UserScreenSize = 4;
  TBoxNumber largest(nullptr);
  for (uint8_t d = 0; d < 10; ++d) {
    for (int size : {0, 4}) {
      int u = DigitUnitSize[size_t(size)];
      TBoxNumber &box = size == 0 ? smallest : largest;
      ASSERT_EQ(box.Width(), 8 * u);
      ASSERT_EQ(box.Height(), 16 * u);
      EXPECT_EQ(box.Left(), 10);
      EXPECT_EQ(box.Top(), 10);
      box.SetCurrentNumber(d);
      auto pic = Render(box);
      std::string seen;
      for (int s = 0; s < 7; ++s) {
        POINT c = SegmentCentre(s, u);
        COLORREF px = pic->At(c.x, c.y);
        if (px == kGreen) seen += char('a' + s);
        else EXPECT_EQ(px, kBlack) << "digit " << int(d) << " segment " << char('a' + s);
      }
      EXPECT_EQ(seen, lit[d]) << "size " << size << " digit " << int(d);
      // Between the segments and at the corners the ground is black.
      EXPECT_EQ(pic->At(0, 0), kBlack);
      EXPECT_EQ(pic->At(4 * u, 4 * u), kBlack);
      EXPECT_EQ(pic->At(4 * u, 12 * u), kBlack);
      EXPECT_EQ(pic->At(8 * u - 1, 16 * u - 1), kBlack);
    }
  }
}

TEST_F(DisplayControls, MiddleSegmentLiesWhereTheUnitSays) {
  for (int size : {0, 4}) {
    AppConfig->UserScreenSize = size;
    int u = DigitUnitSize[size_t(size)];
    int top = size == 0 ? 84 : 168;
    TBoxNumber box(nullptr);
    box.SetCurrentNumber(8);
    auto pic = Render(box);
    // The image of g spans rows top .. top + 2u - 1; its point is at (u, top + u), drawn in
    // black, with the green fill starting just right of it.
    EXPECT_EQ(pic->At(4 * u, top - 2), kBlack);
    EXPECT_EQ(pic->At(4 * u, top + 1), kGreen);
    EXPECT_EQ(pic->At(4 * u, top + 2 * u - 1), kGreen);
    EXPECT_EQ(pic->At(4 * u, top + 2 * u + 2), kBlack);
    EXPECT_EQ(pic->At(u, top + u), kBlack);
    EXPECT_EQ(pic->At(u + 2, top + u), kGreen);
  }
}

TEST_F(DisplayControls, SegmentImagesAreGreenHexagonsOnMagentaAndDrawTransparently) {
  AppConfig->UserScreenSize = 2;
  int u = 19;
  TSegment seg;
  EXPECT_EQ(seg.LitColor(), kGreen);
  EXPECT_EQ(seg.GetSegmentBitmap(2), nullptr);
  for (int i = 0; i < 2; ++i) {
    BITMAP bm;
    ASSERT_TRUE(GetObjectA(seg.GetSegmentBitmap(i), sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, i == 0 ? 8 * u : 2 * u);
    EXPECT_EQ(bm.bmHeight, i == 0 ? 2 * u : 8 * u);
    gdi::BitmapDC image(seg.GetSegmentBitmap(i));
    EXPECT_EQ(GetPixel(image.dc(), 0, 0), TSegment::TransparentColor);
    EXPECT_EQ(GetPixel(image.dc(), bm.bmWidth / 2, bm.bmHeight / 2), kGreen);
  }
  // On a blue ground the magenta corners leave the blue as it was.
  Picture pic(8 * u, 2 * u);
  gdi::FillSolid(pic.dc(), RECT{0, 0, 8 * u, 2 * u}, RGB(0, 0, 255));
  seg.DrawSegment(pic.dc(), 0, 0, 0);
  EXPECT_EQ(pic.At(0, 0), RGB(0, 0, 255));
  EXPECT_EQ(pic.At(8 * u - 1, 0), RGB(0, 0, 255));
  EXPECT_EQ(pic.At(4 * u, u), kGreen);
  EXPECT_EQ(pic.At(4 * u, 0), kBlack);  // the outline
  // All that a segment draws lies in the box of its shape, which is all that a digit change
  // repaints of it: at this unit and at full width on a 4K screen.
  for (int unit : {u, 72}) {
    TSegment sized(unit);
    for (int s = 0; s < 7; ++s) {
      TSegmentImage im = SegmentPlaces[size_t(s)].Image;
      TDisplayPoint at = SegmentOrigin(s, unit), size = SegmentImageSize(im, unit);
      TDisplayRect box = SegmentShapeBox(s, unit);
      gdi::BitmapDC image(sized.GetSegmentBitmap(im));
      int outside = 0;
      for (int y = 0; y < size.Y; ++y) {
        for (int x = 0; x < size.X; ++x) {
          int bx = at.X + x - box.Left, by = at.Y + y - box.Top;
          if (bx >= 0 && bx < box.Width && by >= 0 && by < box.Height) continue;
          outside += GetPixel(image.dc(), x, y) != TSegment::TransparentColor;
        }
      }
      EXPECT_EQ(outside, 0) << "segment " << s << ", unit " << unit;
    }
  }
}

TEST_F(DisplayControls, DigitRefusesTenAndAboveKeepingDigitAndPicture) {
  AppConfig->UserScreenSize = 0;
  HostForm host;
  host.Show();
  Counting<TBoxNumber> box(&host);
  Pump(50);
  box.SetCurrentNumber(5);
  int n = box.paints;
  EXPECT_GE(n, 1);
  for (int bad : {10, 11, 99, 255}) {
    try {
      box.SetCurrentNumber(uint8_t(bad));
      ADD_FAILURE() << bad << " was accepted";
    } catch (const ETavelinError &e) {
      EXPECT_STREQ(e.what(),
                   "Attention TBoxNumber.CurrentNumber est un nombre [0..9] et non un chiffre.");
    }
    EXPECT_EQ(box.CurrentNumber(), 5);
  }
  EXPECT_EQ(box.paints, n) << "a refused value paints nothing";
}

TEST_F(DisplayControls, SameDigitPaintsNothingAnotherPaintsAtOnce) {
  AppConfig->UserScreenSize = 0;
  HostForm host;
  Counting<TBoxNumber> box(&host);
  box.SetCurrentNumber(3);
  EXPECT_EQ(box.paints, 0) << "nothing to paint on before the window exists";
  host.Show();
  Pump(50);
  int shown = box.paints;
  EXPECT_GE(shown, 1) << "the window's own paint shows the digit";
  box.SetCurrentNumber(3);
  EXPECT_EQ(box.paints, shown);
  box.SetCurrentNumber(4);
  EXPECT_EQ(box.paints, shown + 1) << "painted within the setter, not queued";

  // And on the screen: garbage painted over the control stays when the same digit comes again,
  // and where a new digit lights the same segments as the old one.
  gdi::WindowDC wdc(host.Handle());
  gdi::FillSolid(wdc.dc(), box.BoundsRect(), RGB(0, 0, 255));
  POINT a = SegmentCentre(0, 12), g = SegmentCentre(6, 12), d = SegmentCentre(3, 12);
  box.SetCurrentNumber(4);
  EXPECT_EQ(GetPixel(wdc.dc(), box.Left() + g.x, box.Top() + g.y), RGB(0, 0, 255));
  box.SetCurrentNumber(8);
  EXPECT_EQ(GetPixel(wdc.dc(), box.Left() + a.x, box.Top() + a.y), kGreen);
  EXPECT_EQ(GetPixel(wdc.dc(), box.Left() + d.x, box.Top() + d.y), kGreen);
  EXPECT_EQ(GetPixel(wdc.dc(), box.Left() + g.x, box.Top() + g.y), RGB(0, 0, 255))
      << "4 and 8 both light g: it is not painted again";
  // Nor the parts of a segment's image that its shape leaves black: segment a, new in the 8, is
  // painted from its left point on, and e, gone in the 9, down to its lower point.
  EXPECT_EQ(GetPixel(wdc.dc(), box.Left() + 2, box.Top() + 1), RGB(0, 0, 255));
  box.SetCurrentNumber(9);
  EXPECT_EQ(GetPixel(wdc.dc(), box.Left() + 1, box.Top() + 15 * 12 + 6), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(wdc.dc(), box.Left() + 12, box.Top() + 12 * 12), kBlack) << "e is out";
}

// Every pixel of a w x h area of a DC, row by row.
std::vector<COLORREF> Grab(HDC dc, int x, int y, int w, int h) {
  Picture copy(w, h);
  BitBlt(copy.dc(), 0, 0, w, h, dc, x, y, SRCCOPY);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<COLORREF> px(size_t(w) * size_t(h));
  HBITMAP bmp = HBITMAP(GetCurrentObject(copy.dc(), OBJ_BITMAP));
  EXPECT_EQ(GetDIBits(copy.dc(), bmp, 0, UINT(h), px.data(), &bi, DIB_RGB_COLORS), h);
  return px;
}

size_t Differences(const std::vector<COLORREF> &a, const std::vector<COLORREF> &b) {
  size_t n = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
  return n + (a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

// A change paints only what it changes; what is then on the screen must be what painting the
// control whole would give, whatever came before.
TEST_F(DisplayControls, APartialRepaintLeavesWhatAWholePaintWould) {
  AppConfig->UserScreenSize = 0;
  HostForm host;
  TBoxNumber box(&host);
  TCustomGaugeEx gauge(&host);
  gauge.SetBounds(10, 250, 638, 50);
  gauge.FitFontToHeight();
  gauge.SetMaxValue(1000);
  gauge.SetShowText(true);
  host.Show();
  Pump(50);
  gdi::WindowDC wdc(host.Handle());
  for (uint8_t from = 0; from < 10; ++from) {
    for (uint8_t to = 0; to < 10; ++to) {
      box.SetCurrentNumber(from);
      box.SetCurrentNumber(to);
      auto whole = Render(box);
      ASSERT_EQ(Differences(Grab(wdc.dc(), box.Left(), box.Top(), box.Width(), box.Height()),
                            Grab(whole->dc(), 0, 0, box.Width(), box.Height())),
                0u)
          << "digit " << int(from) << " then " << int(to);
    }
  }
  // Up by ones, where the edge moves a pixel or none and the text changes every ten, then under
  // the text; then down.
  for (uint32_t p : {0u, 1u, 2u, 3u, 9u, 10u, 11u, 249u, 250u, 251u, 252u, 500u, 501u, 502u, 503u,
                     999u, 1000u, 998u, 3u}) {
    gauge.SetProgress(p);
    auto whole = Render(gauge);
    ASSERT_EQ(Differences(Grab(wdc.dc(), gauge.Left(), gauge.Top(), gauge.Width(), gauge.Height()),
                          Grab(whole->dc(), 0, 0, gauge.Width(), gauge.Height())),
              0u)
        << "progress " << p;
  }
}

// On a very large monitor a picture of ten digits side by side, or of a whole gauge, can be more
// than the system gives (here about 2 GB, past what a 32-bit process holds). The control then
// draws where it is shown, at every paint, asking for that picture once and leaking nothing.
TEST_F(DisplayControls, APictureThatCannotBeMadeIsDrawnInPlaceAndAskedForOnce) {
  const int u = 640;  // ten digits: 51200 x 10240 pixels
  TCustomGaugeEx gauge(nullptr);
  gauge.SetBounds(0, 0, 8000000, 60);
  gauge.SetMaxValue(100);
  gauge.SetProgress(50);
  const long live = gdi::LiveObjects();
  auto digit = std::make_unique<TBoxNumber>(nullptr, u);
  digit->SetCurrentNumber(7);
  std::vector<long> made;  // the objects that each paint made
  // The pixel at p of the control, seen through a small picture moved under it.
  auto pixel = [&](TGraphicControl &c, POINT p) {
    Picture pic(8, 8);
    SetViewportOrgEx(pic.dc(), 4 - p.x, 4 - p.y, nullptr);
    long before = gdi::CreatedTotal();
    c.Paint(pic.dc());
    made.push_back(gdi::CreatedTotal() - before);
    SetViewportOrgEx(pic.dc(), 0, 0, nullptr);
    return pic.At(4, 4);
  };
  // 7 lights a, b and c.
  EXPECT_EQ(pixel(*digit, SegmentCentre(0, u)), kGreen);
  EXPECT_EQ(pixel(*digit, SegmentCentre(5, u)), kBlack);
  EXPECT_EQ(pixel(*digit, POINT{4 * u, 12 * u}), kBlack);
  EXPECT_EQ(pixel(gauge, POINT{10, 30}), kYellow);
  EXPECT_EQ(pixel(gauge, POINT{7999990, 30}), RGB(255, 255, 255));
  EXPECT_EQ(pixel(gauge, POINT{4000000, 0}), kBlack);
  ASSERT_EQ(made.size(), 6u);
  for (size_t i : {1u, 2u, 4u, 5u}) EXPECT_EQ(made[i], 0) << "paint " << i << " asked again";
  digit.reset();  // and what it keeps of its digits with it
  EXPECT_EQ(gdi::LiveObjects(), live);
}

// --- Progress gauge ----------------------------------------------------------------------------

struct GaugeSetup {
  int width = 638, height = 50;
  uint32_t max = 300, progress = 0;
  bool text = false;
  TColor back = clBtnFace;
};

std::unique_ptr<Picture> RenderGauge(const GaugeSetup &s, TCustomGaugeEx *keep = nullptr) {
  TCustomGaugeEx own(nullptr);
  TCustomGaugeEx &g = keep ? *keep : own;
  g.SetBounds(0, 0, s.width, s.height);
  g.FitFontToHeight();
  g.SetMaxValue(s.max);
  g.SetProgress(s.progress);
  g.SetShowText(s.text);
  g.SetBackColor(s.back);
  return Render(g);
}

TEST_F(DisplayControls, GaugeBarColorWidthAndFrameAtEachQuarter) {
  const COLORREF back = GetSysColor(COLOR_BTNFACE);
  struct Case {
    uint32_t progress;
    COLORREF colour;
    int right;  // bar's right edge (exclusive): trunc(progress / 300 * 637)
  };
  for (Case c : {Case{0, kDarkGreen, 0}, Case{74, kDarkGreen, 157}, Case{75, kGreen, 159},
                 Case{150, kYellow, 318}, Case{225, kRed, 477}, Case{300, kRed, 637}}) {
    SCOPED_TRACE("progress " + std::to_string(c.progress));
    GaugeSetup s;
    s.progress = c.progress;
    auto pic = RenderGauge(s);
    int mid = 25;
    // The black frame all round.
    for (int x : {0, 1, 300, 636, 637}) {
      EXPECT_EQ(pic->At(x, 0), kBlack);
      EXPECT_EQ(pic->At(x, 49), kBlack);
    }
    for (int y : {0, 1, 25, 48, 49}) {
      EXPECT_EQ(pic->At(0, y), kBlack);
      EXPECT_EQ(pic->At(637, y), kBlack);
    }
    if (c.right > 1) {
      EXPECT_EQ(pic->At(1, mid), c.colour);
      EXPECT_EQ(pic->At(1, 1), c.colour);
      EXPECT_EQ(pic->At(c.right - 1, 48), c.colour);
    } else {
      EXPECT_EQ(pic->At(1, mid), back);
    }
    if (c.right < 637) {
      if (c.right > 1) {
        EXPECT_EQ(pic->At(c.right, mid), back);
      }
      EXPECT_EQ(pic->At(636, mid), back);
    } else {
      EXPECT_EQ(pic->At(636, mid), c.colour) << "a full bar covers x from 1 to Width - 2";
    }
  }
}

bool SameColumns(const Picture &a, const Picture &b, int fromX, int toX) {
  for (int y = 0; y < a.Height(); ++y)
    for (int x = fromX; x < toX; ++x)
      if (a.At(x, y) != b.At(x, y)) return false;
  return true;
}

TEST_F(DisplayControls, GaugeOf97ReadsNinetyNineOverAFullBar) {
  TCustomGaugeEx g(nullptr);
  GaugeSetup s;
  s.text = true;
  s.max = 97;
  s.progress = 97;
  auto full97 = RenderGauge(s, &g);
  EXPECT_EQ(g.PercentDone(), 99);
  EXPECT_EQ(full97->At(636, 25), kRed);
  // Its text is the text of 99 of 100 (whose bar stops at 630), not that of 100 of 100.
  s.max = 100;
  s.progress = 99;
  auto ninetyNine = RenderGauge(s);
  s.progress = 100;
  auto hundred = RenderGauge(s);
  EXPECT_TRUE(SameColumns(*full97, *ninetyNine, 0, 630));
  EXPECT_FALSE(SameColumns(*full97, *hundred, 0, 630));
}

TEST_F(DisplayControls, GaugeTextInvertsTheColorsUnderIt) {
  GaugeSetup s;
  s.progress = 150;  // "50%" straddles the end of the yellow bar, at 318
  auto plain = RenderGauge(s);
  s.text = true;
  auto text = RenderGauge(s);
  const COLORREF back = GetSysColor(COLOR_BTNFACE);
  int invertedOnBar = 0, invertedOnBack = 0, other = 0;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 638; ++x) {
      COLORREF a = plain->At(x, y), b = text->At(x, y);
      if (a == b) continue;
      COLORREF diff = a ^ b;
      // The text is white (or grey at smoothed edges) on black: the same amount on each channel.
      if (GetRValue(diff) != GetGValue(diff) || GetGValue(diff) != GetBValue(diff)) ++other;
      if (x == 0 || y == 0 || x == 637 || y == 49) ++other;  // never on the frame
      if (diff == 0xFFFFFF && a == kYellow) {
        EXPECT_EQ(b, RGB(0, 0, 255)) << "blue on yellow";
        ++invertedOnBar;
      }
      if (diff == 0xFFFFFF && a == back) ++invertedOnBack;
    }
  EXPECT_EQ(other, 0);
  EXPECT_GT(invertedOnBar, 20);
  EXPECT_GT(invertedOnBack, 20);
  // A mark where the text stands (the first hour of a two-hour exam) stops short of its glyphs'
  // rows, and shows above or below them.
  int inkTop = 50, inkBottom = -1;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 638; ++x)
      if (plain->At(x, y) != text->At(x, y)) inkTop = std::min(inkTop, y), inkBottom = std::max(inkBottom, y);
  TCustomGaugeEx marked(nullptr);
  marked.SetMark(140);
  auto withMark = RenderGauge(s, &marked);
  int acrossInk = 0, outside = 0;
  for (int y = 1; y < 49; ++y)
    for (int x = 280; x < 320; ++x)
      if (withMark->At(x, y) == RGB(0, 0, 0) && text->At(x, y) != RGB(0, 0, 0))
        ++(y >= inkTop && y <= inkBottom ? acrossInk : outside);
  EXPECT_EQ(acrossInk, 0);
  EXPECT_GT(outside, 0);
  // Red bar: the text reads cyan.
  s.progress = 300;
  auto red = RenderGauge(s);
  int cyan = 0;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 638; ++x) cyan += red->At(x, y) == RGB(0, 255, 255);
  EXPECT_GT(cyan, 20);
}

TEST_F(DisplayControls, GaugeWithoutMaximumShowsAnEmptyBarAndZero) {
  TCustomGaugeEx g(nullptr);
  GaugeSetup s;
  s.text = true;
  s.max = 0;
  s.progress = 0;
  std::unique_ptr<Picture> none;
  ASSERT_NO_THROW(none = RenderGauge(s, &g));
  EXPECT_EQ(g.PercentDone(), 0);
  ASSERT_NO_THROW(g.SetProgress(12));
  auto later = Render(g);
  s.max = 300;
  s.progress = 0;
  auto zero = RenderGauge(s);
  EXPECT_TRUE(SameColumns(*none, *zero, 0, 638)) << "the picture of 0 of 300: empty, 0%";
  EXPECT_TRUE(SameColumns(*later, *zero, 0, 638));
}

TEST_F(DisplayControls, FontIsTheLargestSizeWhoseTextIsLower) {
  auto textHeight = [](int points) {
    gdi::WindowDC screen(nullptr);
    gdi::Font f = gdi::MakeFont("arial", gdi::PointsToHeight(points), true, false);
    gdi::Select sel(screen.dc(), f.get());
    SIZE e;
    GetTextExtentPoint32A(screen.dc(), "XX", 2, &e);
    return int(e.cy);
  };
  // The fixed sizes' gauges, then those of 1920 and 3840 wide screens, past the largest.
  for (int h : {50, 63, 80, 100, 150, 300}) {
    TCustomGaugeEx g(nullptr);
    g.SetBounds(0, 0, 300, h);
    g.FitFontToHeight();
    int size = g.FontSize();
    EXPECT_LT(textHeight(size), h) << h;
    EXPECT_GE(textHeight(size + 1), h) << h;
    EXPECT_EQ(g.Font.Name, "arial");
    EXPECT_TRUE(g.Font.Bold);
    EXPECT_EQ(g.Font.Height, gdi::PointsToHeight(size));
  }
  TCustomGaugeEx low(nullptr);
  low.SetBounds(0, 0, 300, textHeight(7) - 1);
  low.FitFontToHeight();
  EXPECT_EQ(low.FontSize(), 6);
}

TEST_F(DisplayControls, GaugeSettersRepaintOnlyOnChange) {
  HostForm host;
  Counting<TCustomGaugeEx> g(&host);
  g.SetBounds(10, 250, 638, 50);
  g.SetProgress(5);
  EXPECT_EQ(g.paints, 0) << "no window yet";
  host.Show();
  Pump(50);
  int n = g.paints;
  EXPECT_GE(n, 1);
  struct Step {
    const char *what;
    std::function<void()> same, changed;
  };
  Step steps[] = {
      {"MinValue", [&] { g.SetMinValue(0); }, [&] { g.SetMinValue(3); }},
      {"MaxValue", [&] { g.SetMaxValue(100); }, [&] { g.SetMaxValue(300); }},
      {"Progress", [&] { g.SetProgress(5); }, [&] { g.SetProgress(6); }},
      {"BackColor", [&] { g.SetBackColor(clWhite); }, [&] { g.SetBackColor(clBtnFace); }},
      {"ShowText", [&] { g.SetShowText(false); }, [&] { g.SetShowText(true); }},
  };
  for (auto &s : steps) {
    s.same();
    EXPECT_EQ(g.paints, n) << s.what << " set to the value it holds";
    s.changed();
    EXPECT_EQ(g.paints, n + 1) << s.what << " changed";
    n = g.paints;
  }
  // On the screen: garbage over the gauge stays for the same progress, goes for a new one.
  gdi::WindowDC wdc(host.Handle());
  gdi::FillSolid(wdc.dc(), g.BoundsRect(), RGB(0, 0, 255));
  g.SetProgress(6);
  EXPECT_EQ(GetPixel(wdc.dc(), 12, 260), RGB(0, 0, 255));
  g.SetProgress(290);
  EXPECT_EQ(GetPixel(wdc.dc(), 12, 260), kRed);
  EXPECT_EQ(GetPixel(wdc.dc(), 10, 260), kBlack);
}

// A new percentage in the same colour: the fill's edge and the place of the text are painted
// again, nothing else (at full width the rest is megabytes).
TEST_F(DisplayControls, GaugeRepaintsOnlyTheEdgeAndTheTextForANewPercentage) {
  HostForm host;
  TCustomGaugeEx g(&host);
  g.SetBounds(10, 250, 638, 80);
  g.SetMaxValue(1000);
  g.SetShowText(true);
  g.FitFontToHeight();
  g.SetProgress(100);
  host.Show();
  Pump(50);
  gdi::WindowDC wdc(host.Handle());
  gdi::FillSolid(wdc.dc(), g.BoundsRect(), RGB(0, 0, 255));
  g.SetProgress(110);  // 10% to 11%, still dark green
  int edge = 10 + GaugeFillWidth(110, 1000, 1, 637);
  EXPECT_EQ(GetPixel(wdc.dc(), edge - 2, 290), kDarkGreen) << "the new part of the fill";
  EXPECT_EQ(GetPixel(wdc.dc(), 10 + 5, 290), RGB(0, 0, 255)) << "the fill as it was";
  EXPECT_EQ(GetPixel(wdc.dc(), 10 + 600, 290), RGB(0, 0, 255)) << "the ground as it was";
  // Round the middle, where "11%" stands, the gauge is itself again: no blue left there.
  int blue = 0;
  for (int x = 10 + 300; x < 10 + 340; ++x) blue += GetPixel(wdc.dc(), x, 290) == RGB(0, 0, 255);
  EXPECT_EQ(blue, 0);
  g.SetProgress(250);  // a new colour: the whole bar
  EXPECT_EQ(GetPixel(wdc.dc(), 10 + 5, 290), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(wdc.dc(), 10 + 600, 290), RGB(255, 255, 255)) << "the ground, white";
}

// Digits of one unit share their segment pictures and the sheet of the ten digits, which holds
// one bit a pixel: a full-width display on a 4K screen would otherwise take tens of megabytes.
TEST_F(DisplayControls, DigitsOfOneUnitShareTheirPicturesOfOneBitAPixel) {
  HostForm host;
  TBoxNumber a(&host, 20), b(&host, 20), c(&host, 21);
  EXPECT_EQ(&a.Segments(), &b.Segments());
  EXPECT_NE(&a.Segments(), &c.Segments());
  EXPECT_EQ(&a.Sheet(), &b.Sheet());
  a.SetLeftTop(0, 0);
  b.SetLeftTop(200, 0);
  c.SetLeftTop(400, 0);
  host.Show();
  a.SetCurrentNumber(8);
  b.SetCurrentNumber(3);
  Pump(50);
  ASSERT_NE(a.Sheet().Picture(), nullptr);
  BITMAP bm{};
  GetObjectA(a.Sheet().Picture(), sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(bm.bmWidth, 10 * 8 * 20);
  // Still green on black, exactly: segment g of the 8, and the ground beside it.
  gdi::WindowDC wdc(host.Handle());
  EXPECT_EQ(GetPixel(wdc.dc(), 4 * 20, 8 * 20), kGreen);
  EXPECT_EQ(GetPixel(wdc.dc(), 4 * 20, 4 * 20), kBlack);
  EXPECT_EQ(GetPixel(wdc.dc(), 200 + 4 * 20, 8 * 20), kGreen);
  EXPECT_EQ(GetPixel(wdc.dc(), 200 + 1, 5 * 20), kBlack) << "no segment f in a 3";
  // Shown from what the sheet keeps, each digit is what its hexagons draw, pixel for pixel, in
  // every colour; here at the unit of a full-width 4K display too.
  for (int u : {20, 72}) {
    TBoxNumber box(nullptr, u);
    if (u == 20) box.SetLitColor(TBoxNumber::WarningColor);
    for (uint8_t d = 0; d < 10; ++d) {
      box.SetCurrentNumber(d);
      auto shown = Render(box);
      Picture drawn(8 * u, 16 * u);
      gdi::FillSolid(drawn.dc(), RECT{0, 0, 8 * u, 16 * u}, kBlack);
      for (size_t seg = 0; seg < SegmentPlaces.size(); ++seg) {
        if (!(DigitMasks[d] & SegmentPlaces[seg].Bit)) continue;
        TDisplayPoint at = SegmentOrigin(int(seg), u);
        box.Segments().DrawSegment(drawn.dc(), SegmentPlaces[seg].Image, at.X, at.Y);
      }
      EXPECT_EQ(Differences(Grab(shown->dc(), 0, 0, 8 * u, 16 * u),
                            Grab(drawn.dc(), 0, 0, 8 * u, 16 * u)),
                0u)
          << "unit " << u << " digit " << int(d);
    }
  }
}

// Windows refuses to delete a picture that a DC still holds, and it leaks; Wine deletes it. The
// test build makes the owner fail the test there, so that a wrong order of members shows.
TEST_F(DisplayControls, APictureDeletedWhileADcOfOursHoldsItFailsTheTest) {
  gdi::WindowDC screen(nullptr);
  gdi::Bitmap held = gdi::MakeCompatibleBitmap(screen.dc(), 8, 8);
  gdi::BitmapDC holder(held.get());
  EXPECT_NONFATAL_FAILURE(held.Reset(), "still selected");
}

// --- Cost ----------------------------------------------------------------------------------------

double Microseconds(LONGLONG ticks) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return double(ticks) * 1e6 / double(f.QuadPart);
}

TEST_F(DisplayControls, CostOfOneDigitAndOneGaugeChange) {
  AppConfig->UserScreenSize = 2;
  HostForm host;
  host.SetClientSize(1024, 420);
  TBoxNumber box(&host);
  TCustomGaugeEx g(&host);
  g.SetBounds(1, 308, 1022, 80);
  g.SetMaxValue(1000);
  g.SetShowText(true);
  g.SetBackColor(clBtnFace);
  g.FitFontToHeight();
  host.Show();
  Pump(50);
  long live = gdi::LiveObjects();
  LARGE_INTEGER t0, t1, t2;
  QueryPerformanceCounter(&t0);
  for (int i = 0; i < 1000; ++i) box.SetCurrentNumber(i % 2 ? 8 : 1);
  QueryPerformanceCounter(&t1);
  for (uint32_t i = 1; i <= 1000; ++i) g.SetProgress(i);
  QueryPerformanceCounter(&t2);
  std::printf("[ cost     ] digit change (1 <-> 8, size 2): %.1f us each over 1000\n",
              Microseconds(t1.QuadPart - t0.QuadPart) / 1000);
  std::printf("[ cost     ] gauge change (1022 x 80, text): %.1f us each over 1000\n",
              Microseconds(t2.QuadPart - t1.QuadPart) / 1000);
  EXPECT_EQ(gdi::LiveObjects(), live) << "painting keeps no GDI object";
  EXPECT_EQ(box.CurrentNumber(), 8);
  EXPECT_EQ(g.Progress(), 1000u);
}

}  // namespace
