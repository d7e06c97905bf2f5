// screen: 1920x1080x24
// The giant display across the whole width of a 1920 x 1080 screen, read back from the screen,
// with the control bar under it, and the options that offer it.
#include <windows.h>

#include <array>
#include <memory>

#include "display/uMonitors.h"
#include "display/uNavigChrono.h"
#include "options/uOptionsScreen.h"
#include "support_win.h"

using namespace testwin;

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

std::array<LONG, 4> Edges(const RECT &r) { return {r.left, r.top, r.right, r.bottom}; }

TNavigChrono *Bar() { return dynamic_cast<TNavigChrono *>(Application.ActiveForm()); }

class FullWidth : public MainWindowTest {};

TEST_F(FullWidth, TheDisplaySpansTheScreenWithTheBarUnderIt) {
  ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
  std::vector<TMonitor> monitors = SystemMonitors();
  ASSERT_EQ(monitors.size(), 1u);
  EXPECT_EQ(monitors[0], (TMonitor{{0, 0, 1920, 1080}, true}));
  AppConfig->UserScreenSize = 5;
  AppConfig->TotalTime->SetTotalSeconds(300);
  bool checked = false;
  Later(150, [&] {
    TNavigChrono *bar = Bar();
    ASSERT_NE(bar, nullptr);
    TWatchChrono &watch = bar->WatchChrono();
    HWND wnd = watch.Handle();
    const int u = 36, W = 1920, H = 731, gaugeTop = 580;
    const std::array<int, 6> lefts = {6, 330, 654, 978, 1302, 1626};
    RECT r, b;
    GetWindowRect(wnd, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, W);
    EXPECT_EQ(r.bottom, H);
    GetWindowRect(bar->Handle(), &b);
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(b.top, H) << "the control bar right under the display";
    EXPECT_LE(b.bottom, 1080);
    EXPECT_TRUE(GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(Edges(watch.Gauge().BoundsRect()),
              (std::array<LONG, 4>{1, gaugeTop, W - 1, gaugeTop + 150}));
    EXPECT_GT(watch.Gauge().FontSize(), 60) << "the percentage grows with the gauge";

    for (int p = 0; p < 6; ++p) watch.Digit(p).SetCurrentNumber(8);
    gdi::WindowDC wdc(wnd);
    int y = 1 + 5 * u;  // middle of segments b and f
    for (int p = 0; p < 6; ++p) {
      int left = lefts[size_t(p)];
      EXPECT_EQ(Edges(watch.Digit(p).BoundsRect()),
                (std::array<LONG, 4>{left, 1, left + 8 * u, 1 + 16 * u}))
          << p;
      EXPECT_EQ(GetPixel(wdc.dc(), left, y), kBlack) << "digit " << p;
      EXPECT_EQ(GetPixel(wdc.dc(), left + 1, y), kGreen) << "digit " << p;
      EXPECT_EQ(GetPixel(wdc.dc(), left + 8 * u - 1, y), kGreen) << "digit " << p;
      EXPECT_EQ(GetPixel(wdc.dc(), left + 8 * u, y), kBlack) << "digit " << p;
    }
    // Segment g of the last digit, and the ground above it.
    EXPECT_EQ(GetPixel(wdc.dc(), lefts[5] + 4 * u, 1 + 8 * u), kGreen);
    EXPECT_EQ(GetPixel(wdc.dc(), lefts[5] + 4 * u, 1 + 4 * u), kBlack);
    // The colons: red in their u x u squares (panel bitmap one pixel in), black between.
    for (int colon : {618, 1266})
      for (int top : {180, 360}) {
        EXPECT_EQ(GetPixel(wdc.dc(), 1 + colon + u / 2, 1 + top + u / 2), kRed) << colon;
        EXPECT_EQ(GetPixel(wdc.dc(), 1 + colon + u / 2, 1 + top - 3), kBlack) << colon;
      }
    EXPECT_EQ(GetPixel(wdc.dc(), 1 + 618 + u / 2, 1 + 270), kBlack) << "between the dots";
    // Fixed frame, gauge frame, empty gauge.
    EXPECT_EQ(GetPixel(wdc.dc(), W - 1, 100), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetPixel(wdc.dc(), W - 2, gaugeTop), kBlack);
    EXPECT_EQ(GetPixel(wdc.dc(), 3, gaugeTop + 3), GetSysColor(COLOR_BTNFACE));
    checked = true;
    bar->Close();
  });
  Click(main_->Get<TButton>("BtnShowChrono"));
  EXPECT_TRUE(checked);
}

// The end box of a run across the screen: measured at first entirely inside the display, it
// stands above the display in the window order and under the display and the bar on the screen.
TEST_F(FullWidth, TheEndBoxStandsInFrontOfTheDisplayAndUnderIt) {
  AppConfig->UserScreenSize = 5;
  AppConfig->TotalTime->SetTotalSeconds(1);
  AppConfig->SetBeepActive(false);
  SoundRecorder sounds;
  bool answered = false, checked = false;
  std::unique_ptr<MessageBoxWatcher> rescue;
  Later(150, [&] {
    TNavigChrono *bar = Bar();
    ASSERT_NE(bar, nullptr);
    HWND display = bar->WatchChrono().Handle(), barWnd = bar->Handle();
    Click(bar->Get<TButton>("BtnRun"));
    WhenBoxOpens([&answered, display, barWnd](HWND box) {
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(BoxText(box), "Le chronométrage est terminé...");
      ExpectInFrontOfTheRun(box, display, barWnd);
      answered = true;
      PressEnter();
    });
    Later(4000, [&, bar] {
      // A box still open is a failure; the watcher answers it so that the test ends.
      EXPECT_EQ(OpenMessageBox(), nullptr) << "Enter answered the box";
      rescue = std::make_unique<MessageBoxWatcher>();
      EXPECT_TRUE(answered);
      checked = true;
      Later(300, [bar] {
        EXPECT_TRUE(IsWindowEnabled(bar->Get<TButton>("BtnRun").Handle()));
        bar->Close();
      });
    });
  });
  Click(main_->Get<TButton>("BtnShowChrono"));
  EXPECT_TRUE(checked);
}

TEST_F(FullWidth, TheOptionsOfferItAndNameTheScreen) {
  MessageBoxWatcher boxes;
  TOptionsScreen dialog(main_.get());
  dialog.CreateHandle();
  auto &sizes = dialog.Get<TComboBox>("SizeComboBox");
  EXPECT_EQ(sizes.Hint(), "Taille réelle de l'écran: 1920x1080 pixels");
  ASSERT_EQ(sizes.ItemCount(), 6);
  EXPECT_EQ(sizes.ItemText(5), "Plein écran");
  // The first start on this screen keeps the default size.
  EXPECT_EQ(AppConfig->UserScreenSize, 1);
  // Every entry reads whole in the dropped list.
  HWND box = sizes.Handle();
  int dropped = int(SendMessageA(box, CB_GETDROPPEDWIDTH, 0, 0));
  gdi::WindowDC dc(box);
  gdi::Select font(dc.dc(), reinterpret_cast<HGDIOBJ>(SendMessageA(box, WM_GETFONT, 0, 0)));
  for (int i = 0; i < sizes.ItemCount(); ++i) {
    SIZE e{0, 0};
    std::string text = sizes.ItemText(i);
    GetTextExtentPoint32A(dc.dc(), text.c_str(), int(text.size()), &e);
    EXPECT_LT(e.cx + GetSystemMetrics(SM_CXVSCROLL), dropped) << text;
  }
  EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
