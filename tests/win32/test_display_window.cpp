// The giant display window: its layout at the five display sizes, read back from the screen, its
// messages, and its GDI objects over many windows.
// screen: 1280x1024x24
#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "display/uWatchChrono.h"
#include "forms/uSystemLib.h"
#include "run/uThreadContainer.h"
#include "support_win.h"

using namespace testwin;

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

std::array<LONG, 4> Edges(const RECT &r) { return {r.left, r.top, r.right, r.bottom}; }

// The control bar's stand-in: the display window's owner, under it.
class OwnerBar : public TForm {
public:
  OwnerBar() : TForm(nullptr) {
    LoadDesignText("form Bar client=346,38 pos=0,600 caption=Bar", "Bar");
  }
};

// What the window shows, copied from its surface.
class Screen {
public:
  explicit Screen(HWND wnd) {
    RECT r;
    GetClientRect(wnd, &r);
    gdi::WindowDC wdc(wnd);
    mem_ = std::make_unique<gdi::MemoryDC>(wdc.dc(), r.right, r.bottom);
    BitBlt(mem_->dc(), 0, 0, r.right, r.bottom, wdc.dc(), 0, 0, SRCCOPY);
  }
  COLORREF At(int x, int y) const { return GetPixel(mem_->dc(), x, y); }

private:
  std::unique_ptr<gdi::MemoryDC> mem_;
};

struct WorkedRow {
  int width, height, u, gaugeTop, gaugeH;
  std::array<int, 6> digitLefts;
  std::array<int, 2> colonLefts;
  std::array<int, 2> dotTops;
};

// The layout worked out by hand for the five display sizes.
const std::array<WorkedRow, 5> kWorked = {{
    {640, 247, 12, 196, 50, {2, 110, 218, 326, 434, 542}, {206, 422}, {60, 120}},
    {800, 308, 15, 244, 63, {3, 138, 273, 408, 543, 678}, {258, 528}, {75, 150}},
    {1024, 389, 19, 308, 80, {9, 180, 351, 522, 693, 864}, {332, 674}, {95, 190}},
    {1152, 431, 21, 340, 90, {21, 210, 399, 588, 777, 966}, {378, 756}, {105, 210}},
    {1280, 489, 24, 388, 100, {5, 221, 437, 653, 869, 1085}, {413, 845}, {120, 240}},
}};

class DisplayWindow : public ::testing::Test {
protected:
  void SetUp() override {
    ResetRegistry();
    config_ = std::make_unique<ConfigScope>();
  }
  void TearDown() override {
    watch_.reset();
    bar_.reset();
    config_.reset();
    Pump(20);
    ResetRegistry();
  }
  // As the control bar does: the display is made with the bar as owner, and the bar shows it
  // from its OnShow, just before the bar's own window appears.
  void Open(int screenSize, uint32_t total = 300, int32_t typeInc = 0,
            const std::vector<std::string> &board = {}) {
    AppConfig->UserScreenSize = screenSize;
    AppConfig->TotalTime->SetTotalSeconds(total);
    AppConfig->TypeInc = typeInc;
    bar_ = std::make_unique<OwnerBar>();
    watch_ = std::make_unique<TWatchChrono>(bar_.get());
    watch_->SetBoard(board);
    // What the bar hands it of the run its session chose.
    watch_->SetRunEnds(total, {});
    watch_->ResetDigits(typeInc != 0 ? total : 0);
    bar_->OnShow = [this](TControl *) { watch_->Show(); };
    bar_->Show();
    Pump(80);
  }
  HWND Wnd() const { return watch_->Handle(); }
  std::array<int, 6> Digits() const {
    std::array<int, 6> d{};
    for (int p = 0; p < 6; ++p) d[size_t(p)] = watch_->Digit(p).CurrentNumber();
    return d;
  }

  std::unique_ptr<ConfigScope> config_;
  std::unique_ptr<OwnerBar> bar_;
  std::unique_ptr<TWatchChrono> watch_;
};

TEST_F(DisplayWindow, EachSizeLaysOutAsWorkedOut) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (int s = 0; s < 5; ++s) {
    SCOPED_TRACE("UserScreenSize " + std::to_string(s));
    const WorkedRow &w = kWorked[size_t(s)];
    int u = w.u;
    Open(s);
    // 88:88:88 lights every segment, to find each digit's edges.
    for (int p = 0; p < 6; ++p) watch_->Digit(p).SetCurrentNumber(8);

    RECT r;
    GetWindowRect(Wnd(), &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, w.width);
    EXPECT_EQ(r.bottom, w.height);
    GetClientRect(Wnd(), &r);
    EXPECT_EQ(r.right, w.width) << "no border";
    EXPECT_EQ(r.bottom, w.height);
    LONG style = GetWindowLongA(Wnd(), GWL_STYLE), ex = GetWindowLongA(Wnd(), GWL_EXSTYLE);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER));
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindow(Wnd(), GW_OWNER), bar_->Handle());

    RECT panel = watch_->DigitPanel().BoundsRect();
    EXPECT_EQ(panel.left, 1);
    EXPECT_EQ(panel.top, 1);
    EXPECT_EQ(panel.right, w.width - 1);
    EXPECT_EQ(panel.bottom, 16 * u + 3);
    RECT gauge = watch_->Gauge().BoundsRect();
    EXPECT_EQ(gauge.left, 1);
    EXPECT_EQ(gauge.top, w.gaugeTop);
    EXPECT_EQ(gauge.right, w.width - 1);
    EXPECT_EQ(gauge.bottom, w.gaugeTop + w.gaugeH);
    for (int p = 0; p < 6; ++p) {
      RECT d = watch_->Digit(p).BoundsRect();
      EXPECT_EQ(d.left, w.digitLefts[size_t(p)]) << "digit " << p;
      EXPECT_EQ(d.top, 1);
      EXPECT_EQ(d.right - d.left, 8 * u);
      EXPECT_EQ(d.bottom - d.top, 16 * u);
    }

    // And on the screen.
    Screen scr(Wnd());
    int W = w.width, H = w.height;
    // The button-face frame round the panel and the gauge, and between them.
    for (int x : {0, W / 2, W - 1}) {
      EXPECT_EQ(scr.At(x, 0), face) << x;
      EXPECT_EQ(scr.At(x, 16 * u + 3), face) << x;
      EXPECT_EQ(scr.At(x, H - 1), face) << x;
    }
    EXPECT_EQ(scr.At(0, 5 * u), face);
    EXPECT_EQ(scr.At(W - 1, 5 * u), face);
    // The black panel, left and right of the digits.
    EXPECT_EQ(scr.At(1, 1), kBlack);
    EXPECT_EQ(scr.At(W - 2, 16 * u + 2), kBlack);
    // The gauge's black frame, empty inside.
    EXPECT_EQ(scr.At(1, w.gaugeTop), kBlack);
    EXPECT_EQ(scr.At(W - 2, w.gaugeTop + w.gaugeH - 1), kBlack);
    EXPECT_EQ(scr.At(3, w.gaugeTop + 1), face);
    EXPECT_EQ(scr.At(3, w.gaugeTop + w.gaugeH - 2), face);
    // Each digit: the outline of its left segments on its left column, green just inside, and
    // its right segments green up to its last column.
    int y = 1 + 5 * u;  // middle of segments b and f
    for (int p = 0; p < 6; ++p) {
      int left = w.digitLefts[size_t(p)];
      EXPECT_NE(scr.At(left - 1, y), kGreen) << "digit " << p;
      EXPECT_EQ(scr.At(left, y), kBlack) << "digit " << p;
      EXPECT_EQ(scr.At(left + 1, y), kGreen) << "digit " << p;
      EXPECT_EQ(scr.At(left + 8 * u - 1, y), kGreen) << "digit " << p;
      EXPECT_EQ(scr.At(left + 8 * u, y), kBlack) << "digit " << p;
    }
    // The four dots: red in the middle of their u x u squares, black around them. The bitmap's
    // coordinates are one pixel right of and below the window's.
    for (int colon : w.colonLefts)
      for (int top : w.dotTops) {
        int cx = colon + u / 2, cy = top + u / 2;
        EXPECT_EQ(scr.At(cx + 1, cy + 1), kRed) << colon << "," << top;
        EXPECT_EQ(scr.At(cx + 1, top - 1), kBlack) << colon << "," << top;
        EXPECT_EQ(scr.At(cx + 1, top + u + 2), kBlack) << colon << "," << top;
        EXPECT_EQ(scr.At(colon, cy + 1), kBlack) << colon << "," << top;
        gdi::BitmapDC bitmap(watch_->DigitPanel().Bitmap());
        EXPECT_EQ(GetPixel(bitmap.dc(), cx, cy), kRed);
        EXPECT_EQ(GetPixel(bitmap.dc(), colon, top), kBlack) << "corner of the square";
        EXPECT_EQ(GetPixel(bitmap.dc(), colon + u - 1, top + u - 1), kBlack);
      }
    watch_.reset();
    bar_.reset();
  }
}

TEST_F(DisplayWindow, CountUpOpensOnZerosCountDownOnTheTotal) {
  Open(1, 5400, 0);
  EXPECT_EQ(Digits(), (std::array<int, 6>{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(watch_->Gauge().Progress(), 0u);
  EXPECT_EQ(watch_->Gauge().MaxValue(), 5400u);
  EXPECT_EQ(watch_->Gauge().MinValue(), 0);
  EXPECT_TRUE(watch_->Gauge().ShowText());
  EXPECT_EQ(watch_->Gauge().BackColor(), clBtnFace);
  EXPECT_GT(watch_->Gauge().FontSize(), 6);
  EXPECT_EQ(watch_->Gauge().Font.Name, "arial");
  EXPECT_EQ(watch_->Font.Name, "arial");
  EXPECT_EQ(watch_->Font.Color, clWhite);
  watch_.reset();
  bar_.reset();

  Open(1, 5400, 1);
  EXPECT_EQ(Digits(), (std::array<int, 6>{0, 1, 3, 0, 0, 0}));
  EXPECT_EQ(watch_->Gauge().Progress(), 0u);
  // After a run: the control bar empties the gauge and resets the digits.
  SendMessageA(Wnd(), WM_SET_PROGRESS, 5400, 0);
  for (WPARAM p = 0; p < 6; ++p) SendMessageA(Wnd(), WM_SET_DIGIT, p, 0);
  EXPECT_EQ(Digits(), (std::array<int, 6>{0, 0, 0, 0, 0, 0}));
  watch_->Gauge().SetProgress(0);
  watch_->ResetDigits(5400);
  EXPECT_EQ(Digits(), (std::array<int, 6>{0, 1, 3, 0, 0, 0}));
  // The screen shows it: segment a of the "1" in position 1 is dark, that of the "3" lit.
  Screen scr(Wnd());
  const WorkedRow &w = kWorked[1];
  EXPECT_EQ(scr.At(w.digitLefts[1] + 4 * w.u, 1 + w.u / 2 + 1), kBlack);
  EXPECT_EQ(scr.At(w.digitLefts[2] + 4 * w.u, 1 + w.u), kGreen);
}

TEST_F(DisplayWindow, DigitAndProgressMessages) {
  Open(0);
  ExceptionCatcher caught;
  PostMessageA(Wnd(), WM_SET_DIGIT, 3, 7);
  PostMessageA(Wnd(), WM_SET_DIGIT, 5, 0x109);  // only the low 8 bits count: 9
  PostMessageA(Wnd(), WM_SET_PROGRESS, 150, 0);
  Pump(50);
  EXPECT_EQ(Digits(), (std::array<int, 6>{0, 0, 0, 7, 0, 9}));
  EXPECT_EQ(watch_->Gauge().Progress(), 150u);
  EXPECT_EQ(watch_->Gauge().PercentDone(), 50);
  // Positions outside 0..5 are ignored.
  for (WPARAM bad : {WPARAM(6), WPARAM(100), WPARAM(-1)})
    EXPECT_EQ(SendMessageA(Wnd(), WM_SET_DIGIT, bad, 4), 0);
  EXPECT_EQ(Digits(), (std::array<int, 6>{0, 0, 0, 7, 0, 9}));
  EXPECT_TRUE(caught.messages.empty());
  // A digit above 9 is refused by the digit, reported, and the window goes on.
  SendMessageA(Wnd(), WM_SET_DIGIT, 0, 10);
  ASSERT_EQ(caught.messages.size(), 1u);
  EXPECT_EQ(caught.messages[0],
            "Attention TBoxNumber.CurrentNumber est un nombre [0..9] et non un chiffre.");
  EXPECT_EQ(watch_->Digit(0).CurrentNumber(), 0);
  SendMessageA(Wnd(), WM_SET_DIGIT, 0, 2);
  EXPECT_EQ(watch_->Digit(0).CurrentNumber(), 2);
  // A warning's text stays its ten seconds of progress, or until the end when it comes sooner
  // (no progress comes beyond it).
  SendMessageA(Wnd(), WM_SET_WARNING, 0, LPARAM(TExamEventKind::NormalEnd));
  SendMessageA(Wnd(), WM_SET_PROGRESS, 159, 0);
  EXPECT_EQ(watch_->Gauge().Caption(), "Fin du temps normal");
  SendMessageA(Wnd(), WM_SET_OVERTIME, 0, 0);
  EXPECT_EQ(watch_->Gauge().Caption(), "");
}

TEST_F(DisplayWindow, SameDigitOrProgressPaintsNothing) {
  Open(0);
  const WorkedRow &w = kWorked[0];
  int gx = 1 + 3, gy = w.gaugeTop + 3;      // inside the gauge, left of its text
  int dx = w.digitLefts[2] + 4 * w.u, dy = 1 + 8 * w.u;  // middle of digit 2's segment g
  SendMessageA(Wnd(), WM_SET_PROGRESS, 250, 0);
  SendMessageA(Wnd(), WM_SET_DIGIT, 2, 8);
  {
    gdi::WindowDC wdc(Wnd());
    EXPECT_EQ(GetPixel(wdc.dc(), gx, gy), kRed);
    EXPECT_EQ(GetPixel(wdc.dc(), dx, dy), kGreen);
    gdi::FillSolid(wdc.dc(), RECT{0, 0, w.width, w.height}, RGB(0, 0, 255));
  }
  SendMessageA(Wnd(), WM_SET_PROGRESS, 250, 0);
  SendMessageA(Wnd(), WM_SET_DIGIT, 2, 8);
  SendMessageA(Wnd(), WM_SET_DIGIT, 2, 0x108);
  {
    gdi::WindowDC wdc(Wnd());
    EXPECT_EQ(GetPixel(wdc.dc(), gx, gy), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(wdc.dc(), dx, dy), RGB(0, 0, 255));
  }
  SendMessageA(Wnd(), WM_SET_PROGRESS, 251, 0);
  SendMessageA(Wnd(), WM_SET_DIGIT, 2, 0);
  {
    gdi::WindowDC wdc(Wnd());
    // The gauge is 2 pixels narrower than the window and starts at x 1; its bar starts at 1.
    int edge = 1 + GaugeFillWidth(251, 300, 1, w.width - 3);
    EXPECT_EQ(GetPixel(wdc.dc(), edge - 1, gy), kRed) << "the fill's new edge is painted";
    EXPECT_EQ(GetPixel(wdc.dc(), dx, dy), kBlack) << "0 has no middle segment";
    EXPECT_EQ(GetPixel(wdc.dc(), w.digitLefts[3] + 4 * w.u, dy), RGB(0, 0, 255))
        << "the other digits are left alone";
  }
}

// Seconds only in the last minute: dark while the ticks' digits come, lit on the value last given
// without painting the other digits, dark again before the extended end, lit beyond the end.
TEST_F(DisplayWindow, TheSecondsStayDarkUntilTheLastMinute) {
  Open(0, 300, 1);  // 00:05:00 counting down
  uint32_t extra = 0;  // as the run's session answers
  watch_->SecondsLitAt = [&](uint32_t progress, bool overtime) {
    return SecondsLit(progress, 300, extra, 1, overtime);
  };
  watch_->SetRunEnds(300, {});
  const WorkedRow &w = kWorked[0];
  auto f = [&](int p) {  // segment f of digit p, lit by 0, 4, 5, 6, 8, 9
    gdi::WindowDC wdc(Wnd());
    return GetPixel(wdc.dc(), w.digitLefts[size_t(p)] + 1, 1 + 5 * w.u);
  };
  auto dark = [&] { return watch_->Digit(4).Dark() && watch_->Digit(5).Dark(); };
  EXPECT_TRUE(dark());
  EXPECT_EQ(f(5), kBlack);
  {
    gdi::WindowDC wdc(Wnd());
    gdi::FillSolid(wdc.dc(), RECT{0, 0, w.width, w.height}, RGB(0, 0, 255));
  }
  SendMessageA(Wnd(), WM_SET_PROGRESS, 239, 0);  // 1:01 left
  SendMessageA(Wnd(), WM_SET_DIGIT, 4, 4);
  EXPECT_TRUE(dark());
  EXPECT_EQ(f(4), RGB(0, 0, 255)) << "nothing painted while dark";
  SendMessageA(Wnd(), WM_SET_PROGRESS, 240, 0);
  EXPECT_FALSE(dark());
  EXPECT_EQ(f(4), kGreen);
  EXPECT_EQ(f(5), kGreen);
  EXPECT_EQ(f(2), RGB(0, 0, 255)) << "the minutes are not painted again";
  extra = 100;
  watch_->SetRunEnds(400, {300});
  SendMessageA(Wnd(), WM_SET_PROGRESS, 300, 0);  // 1:40 left to the extended end
  EXPECT_TRUE(dark());
  EXPECT_EQ(f(4), kBlack);
  SendMessageA(Wnd(), WM_SET_OVERTIME, 0, 0);
  EXPECT_FALSE(dark());
  EXPECT_EQ(f(4), kRed);
}

// The room's board of three épreuves, in place of the band: the digits read the time of day until
// the run counts beyond its end, the window grows by the table at a fixed size and fits the work
// area with the bar at full width, a name too long is cut on the gauge. With one name, no board.
TEST_F(DisplayWindow, ABoardOfThreeEpreuvesReadsTheTimeOfDayOverItsTable) {
  AppConfig->ShowClock = true;
  AppConfig->SecondsNearEnd = 1;
  const std::string longName = "Histoire-géographie et éducation civique";
  const std::vector<std::string> names = {"Français", "Anglais", longName};
  auto paper = [](int normalMin, int extendedMin) {  // started at 9:00
    const int64_t h10 = 10 * 3'600'000LL;
    return TRunTimes{true, 9 * 3'600'000LL, true, h10 + normalMin * 60'000LL, extendedMin != 0,
                     h10 + extendedMin * 60'000LL, 0};
  };
  const std::vector<TRunTimes> papers = {paper(60, 0), paper(30, 60), paper(45, 0)};
  const int64_t now = (10 * 3600 + 27 * 60 + 35) * 1000LL;  // Anglais amber, Français not
  const std::vector<TBoardLine> lines =
      BoardLines(now, names, papers, {{{7200, 0}, {5400, 1800}, {6300, 0}}, 5255, {5}});
  for (int size : {2, FirstFullWidthSize}) {
    SCOPED_TRACE("UserScreenSize " + std::to_string(size));
    Open(size, 300, 1, names);
    ASSERT_TRUE(watch_->Board());
    ASSERT_NE(watch_->Table(), nullptr);
    EXPECT_EQ(watch_->Band(), nullptr) << "the table in its place";
    const RECT gauge = watch_->Gauge().BoundsRect(), table = watch_->Table()->BoundsRect();
    const int line = BoardLineHeight(gauge.bottom - gauge.top, watch_->Layout().Unit);
    EXPECT_EQ(Edges(table), (std::array<LONG, 4>{gauge.left, gauge.bottom, gauge.right,
                                                 gauge.bottom + 3 * line}));
    RECT r, b, work;
    GetWindowRect(Wnd(), &r);
    GetWindowRect(bar_->Handle(), &b);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    if (size == 2)
      EXPECT_EQ(r.bottom - r.top, kWorked[2].height + 3 * line);
    else
      EXPECT_LE(r.bottom + (b.bottom - b.top), work.bottom);
    EXPECT_EQ(table.bottom + 1, r.bottom - r.top) << "the frame's last row under it";

    watch_->ShowBoard(now, lines);
    SendMessageA(Wnd(), WM_SET_DIGIT, 0, 9);
    SendMessageA(Wnd(), WM_SET_AMBER, 1, 0);
    EXPECT_EQ(Digits(), (std::array<int, 6>{1, 0, 2, 7, 3, 5}));
    EXPECT_EQ(watch_->DigitColor(), kGreen);
    EXPECT_FALSE(watch_->Digit(5).Dark()) << "the seconds of the time of day";
    const TPaperTable &t = *watch_->Table();
    ASSERT_EQ(t.Lines().size(), 3u);
    EXPECT_EQ(t.Lines()[0].Left, "reste 3 min");
    EXPECT_EQ(t.ShownName(2), "Français");
    // Anglais in amber, Français in white, each on its own line.
    auto count = [&](size_t i, COLORREF color) {
      Screen scr(Wnd());
      int n = 0;
      for (int y = table.top + int(i) * line; y < table.top + int(i + 1) * line; ++y)
        for (int x = table.left; x < table.right; x += 2) n += scr.At(x, y) == color;
      return n;
    };
    EXPECT_GT(count(0, RGB(255, 160, 0)), 0);
    EXPECT_EQ(count(0, RGB(255, 255, 255)), 0);
    EXPECT_GT(count(2, RGB(255, 255, 255)), 0);
    EXPECT_EQ(count(2, RGB(255, 160, 0)), 0);

    std::vector<TExamEvent> events;
    watch_->OnExamEvent = [&](const TExamEvent &e) { events.push_back(e); };
    SendMessageA(Wnd(), WM_SET_WARNING, 2 << 16 | 10, LPARAM(TExamEventKind::Warning));
    const std::string caption = watch_->Gauge().Caption();
    EXPECT_EQ(caption.rfind("Histoire", 0), 0u) << caption;
    EXPECT_NE(caption.find("… : plus que 10 min"), std::string::npos) << caption;
    EXPECT_TRUE(watch_->Gauge().TextFits(caption));
    EXPECT_FALSE(watch_->Gauge().TextFits(longName + " : plus que 10 min"));
    SendMessageA(Wnd(), WM_SET_WARNING, 1 << 16, LPARAM(TExamEventKind::PaperEnd));
    EXPECT_EQ(watch_->Gauge().Caption(), "Fin : Anglais");
    EXPECT_EQ(events, (std::vector<TExamEvent>{{TExamEventKind::Warning, 10, 2},
                                               {TExamEventKind::PaperEnd, 0, 1}}));

    // Beyond the last end, the engine's count from 0 in red; after the run, the time of day.
    SendMessageA(Wnd(), WM_SET_OVERTIME, 0, 0);
    SendMessageA(Wnd(), WM_SET_DIGIT, 5, 1);
    EXPECT_EQ(Digits(), (std::array<int, 6>{0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(watch_->DigitColor(), kRed);
    watch_->ResetDigits(0);
    EXPECT_EQ(Digits(), (std::array<int, 6>{1, 0, 2, 7, 3, 5}));
    EXPECT_EQ(watch_->DigitColor(), kGreen);
    watch_.reset();
    bar_.reset();
  }
  // One épreuve: the display as ever, the band and the count-down's digits back.
  Open(2, 300, 1, {"Anglais"});
  EXPECT_FALSE(watch_->Board());
  EXPECT_EQ(watch_->Table(), nullptr);
  ASSERT_NE(watch_->Band(), nullptr);
  RECT r;
  GetWindowRect(Wnd(), &r);
  EXPECT_EQ(r.bottom, kWorked[2].height + ClockBandHeight(80));
  watch_->ShowBoard(now, lines);
  EXPECT_EQ(Digits(), (std::array<int, 6>{0, 0, 0, 5, 0, 0}));
}

TEST_F(DisplayWindow, ActivationDisablesItWhileTheOwnerIsVisibleAndIsConsumed) {
  Open(0);
  EXPECT_TRUE(IsWindowVisible(Wnd()));
  EXPECT_FALSE(IsWindowEnabled(Wnd())) << "an activation message with its owner visible";
  EXPECT_EQ(GetActiveWindow(), bar_->Handle());
  EXPECT_NE(GetActiveWindow(), Wnd());
  EXPECT_NE(GetFocus(), Wnd());

  // The owner hidden: activation leaves the window enabled, but still does not take the focus
  // (the form's own activation handling would have).
  bar_->Hide();
  EnableWindow(Wnd(), TRUE);
  SetFocus(nullptr);
  EXPECT_EQ(SendMessageA(Wnd(), WM_ACTIVATE, WA_ACTIVE, 0), 0);
  EXPECT_TRUE(IsWindowEnabled(Wnd()));
  EXPECT_NE(GetFocus(), Wnd());
  SendMessageA(Wnd(), WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_TRUE(IsWindowEnabled(Wnd()));

  // Owner visible again: any activation message, even a deactivation, disables it.
  bar_->Show();
  Pump(30);
  EnableWindow(Wnd(), TRUE);
  SendMessageA(Wnd(), WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_FALSE(IsWindowEnabled(Wnd()));
}

TEST_F(DisplayWindow, AClickNeitherActivatesItNorTakesTheFocus) {
  Open(0);
  SetForegroundWindow(bar_->Handle());
  Pump(30);
  SetCursorPos(300, 100);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
  Pump(100);
  EXPECT_NE(GetActiveWindow(), Wnd());
  EXPECT_NE(GetForegroundWindow(), Wnd());
  EXPECT_NE(GetFocus(), Wnd());
}

TEST_F(DisplayWindow, NoPointerOverTheWindow) {
  Open(0);
  HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  SetCursor(arrow);
  EXPECT_TRUE(SendMessageA(Wnd(), WM_SETCURSOR, WPARAM(Wnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
  EXPECT_EQ(GetCursor(), nullptr);
  // Also where a disabled window is hit.
  SetCursor(arrow);
  SendMessageA(Wnd(), WM_SETCURSOR, WPARAM(Wnd()), MAKELPARAM(HTERROR, WM_LBUTTONDOWN));
  EXPECT_EQ(GetCursor(), nullptr);
  // The owner keeps its pointer.
  SetCursor(arrow);
  SendMessageA(bar_->Handle(), WM_SETCURSOR, WPARAM(bar_->Handle()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(DisplayWindow, AStoredSizeOutsideTheRangeLaysOutAsTheDefault) {
  // 5 to 20 are the full-width sizes: past them, the values no setting gives.
  for (int32_t bad : {-1, 21, 1000}) {
    Open(bad);
    RECT r;
    GetWindowRect(Wnd(), &r);
    EXPECT_EQ(r.right, 800) << bad;
    EXPECT_EQ(r.bottom, 308) << bad;
    EXPECT_EQ(watch_->Digit(5).Left(), 678) << bad;
    watch_.reset();
    bar_.reset();
  }
}

TEST_F(DisplayWindow, TheTicksReachItWithoutAHintToolInBetween) {
  // The window shows no hints: a tooltip's subclass would stand between every tick's messages
  // and the window (three server calls each under Wine, most of a run's processor time).
  Open(2);
  EXPECT_FALSE(watch_->ShowHint);
  EXPECT_EQ(GetWindowLongPtrA(Wnd(), GWLP_WNDPROC), GetClassLongPtrA(Wnd(), GCLP_WNDPROC));
  // A form that shows hints, as the control bar does, has its tool.
  TForm hinted(nullptr);
  hinted.LoadDesignText("form Hinted client=100,40 caption=Hinted showhint=true", "Hinted");
  hinted.CreateHandle();
  EXPECT_NE(GetWindowLongPtrA(hinted.Handle(), GWLP_WNDPROC),
            GetClassLongPtrA(hinted.Handle(), GCLP_WNDPROC));
}

TEST_F(DisplayWindow, GdiObjectsAreTheSameAfterOneAndAfterTwentyWindows) {
  auto cycle = [&] {
    // With a board of two épreuves too, its table's font and pictures.
    for (const std::vector<std::string> &board : {std::vector<std::string>{}, {"Anglais", "Français"}}) {
      Open(2, 5400, 1, board);
      SendMessageA(Wnd(), WM_SET_PROGRESS, 2000, 0);
      SendMessageA(Wnd(), WM_SET_DIGIT, 5, 9);
      watch_->ShowBoard(10 * 3'600'000LL, BoardLines(10 * 3'600'000LL, board, {TRunTimes{true, 0, true, 1},
                                                                             TRunTimes{true, 0, true, 2}}, {}));
      InvalidateRect(Wnd(), nullptr, FALSE);
      Pump(20);
      watch_.reset();
      bar_.reset();
      Pump(10);
    }
  };
  cycle();  // fonts are made once for the program's life
  long before = gdi::LiveObjects();
  cycle();
  long afterOne = gdi::LiveObjects();
  for (int i = 0; i < 20; ++i) cycle();
  long afterTwenty = gdi::LiveObjects();
  EXPECT_EQ(afterOne, before);
  EXPECT_EQ(afterTwenty, afterOne);
  std::printf("[ gdi      ] live objects: %ld before, %ld after 1 window, %ld after 20 more\n",
              before, afterOne, afterTwenty);
}

// A library of the system's comes from the system folder only: one of that name beside a
// lesson's documents, in the current folder, is never loaded (shcore.dll is absent on Windows 7).
TEST(SystemLibraries, AFileOfThatNameInTheCurrentFolderIsNeverLoaded) {
  wchar_t system[MAX_PATH], dir[MAX_PATH], before[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  ASSERT_GT(GetTempPathW(MAX_PATH, dir), 0u);
  const std::wstring planted = std::wstring(dir) + L"tavelinplant.dll";
  const std::wstring dwm = std::wstring(system) + L"\\dwmapi.dll";
  ASSERT_TRUE(CopyFileW(dwm.c_str(), planted.c_str(), FALSE));
  GetCurrentDirectoryW(MAX_PATH, before);
  SetCurrentDirectoryW(dir);
  EXPECT_EQ(SystemProc(L"tavelinplant.dll", "DwmGetWindowAttribute"), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"tavelinplant.dll"), nullptr) << "loaded from the current folder";
  HMODULE found = LoadLibraryW(L"tavelinplant.dll");  // what a search there would have found
  EXPECT_NE(found, nullptr);
  if (found) FreeLibrary(found);
  EXPECT_NE(SystemProc(L"dwmapi.dll", "DwmGetWindowAttribute"), nullptr);
  SetCurrentDirectoryW(before);
  DeleteFileW(planted.c_str());
}

}  // namespace
