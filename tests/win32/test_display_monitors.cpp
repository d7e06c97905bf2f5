// screen: 1366x768+1920x1080
// A laptop screen with a projector to its right: the size list offers the full width of each,
// and a run on the projector leaves the laptop screen free.
#include <windows.h>

#include <array>

#include "display/uMonitors.h"
#include "display/uNavigChrono.h"
#include "options/uOptionsScreen.h"
#include "support_win.h"

using namespace testwin;

namespace {

std::array<LONG, 4> Edges(HWND wnd) {
  RECT r;
  GetWindowRect(wnd, &r);
  return {r.left, r.top, r.right, r.bottom};
}

TNavigChrono *Bar() { return dynamic_cast<TNavigChrono *>(Application.ActiveForm()); }

class TwoMonitors : public MainWindowTest {
protected:
  // Opens the control bar as the user does, checks `what` on it, and closes it.
  void WithBar(const std::function<void(TNavigChrono &)> &what) {
    bool checked = false;
    Later(300, [&] {
      TNavigChrono *bar = Bar();
      ASSERT_NE(bar, nullptr);
      what(*bar);
      checked = true;
      bar->Close();
    });
    Click(main_->Get<TButton>("BtnShowChrono"));
    EXPECT_TRUE(checked);
  }
};

TEST_F(TwoMonitors, TheLaptopFirstThenTheProjector) {
  std::vector<TMonitor> monitors = SystemMonitors();
  ASSERT_EQ(monitors.size(), 2u);
  EXPECT_EQ(monitors[0], (TMonitor{{0, 0, 1366, 768}, true}));
  EXPECT_EQ(monitors[1], (TMonitor{{1366, 0, 1920, 1080}, false}));

  TOptionsScreen dialog(main_.get());
  dialog.CreateHandle();
  auto &sizes = dialog.Get<TComboBox>("SizeComboBox");
  ASSERT_EQ(sizes.ItemCount(), 7);
  EXPECT_EQ(sizes.ItemText(4), "1280x1024");
  EXPECT_EQ(sizes.ItemText(5), "Plein écran 1");
  EXPECT_EQ(sizes.ItemText(6), "Plein écran 2");
  // The primary monitor's own size.
  EXPECT_EQ(sizes.Hint(), "Taille réelle de l'écran: 1366x768 pixels");
  SendMessageA(sizes.Handle(), CB_SETCURSEL, 6, 0);
  SendMessageA(dialog.Handle(), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(sizes.Handle()), CBN_SELCHANGE), LPARAM(sizes.Handle()));
  EXPECT_EQ(AppConfig->UserScreenSize, 6);
}

TEST_F(TwoMonitors, ARunOnTheProjectorLeavesTheLaptopFree) {
  AppConfig->UserScreenSize = 6;
  WithBar([&](TNavigChrono &bar) {
    HWND display = bar.WatchChrono().Handle();
    EXPECT_EQ(Edges(display), (std::array<LONG, 4>{1366, 0, 1366 + 1920, 731}));
    std::array<LONG, 4> b = Edges(bar.Handle());
    EXPECT_EQ(b[0], 1366) << "left-aligned with the display";
    EXPECT_EQ(b[1], 731) << "right under it";
    EXPECT_LE(b[3], 1080);
    HMONITOR projector = MonitorFromPoint(POINT{1366 + 960, 540}, MONITOR_DEFAULTTONULL);
    EXPECT_EQ(MonitorFromWindow(display, MONITOR_DEFAULTTONULL), projector);
    EXPECT_EQ(MonitorFromWindow(bar.Handle(), MONITOR_DEFAULTTONULL), projector);
    EXPECT_FALSE(IsWindowVisible(main_->Handle()));
    // The digits are drawn at the projector's size.
    EXPECT_EQ(bar.WatchChrono().Digit(5).Width(), 8 * 36);
  });
}

TEST_F(TwoMonitors, AProjectorThatIsGoneGivesTheLaptopsFullWidth) {
  // The setting of a lesson with a third monitor.
  AppConfig->UserScreenSize = 7;
  WithBar([&](TNavigChrono &bar) {
    // u = 1364 / 53 = 25, g = (5 * 1366 + 32) / 64 = 107.
    EXPECT_EQ(Edges(bar.WatchChrono().Handle()),
              (std::array<LONG, 4>{0, 0, 1366, 16 * 25 + 107 + 5}));
    EXPECT_EQ(Edges(bar.Handle())[1], 16 * 25 + 107 + 5);
  });
  EXPECT_EQ(AppConfig->UserScreenSize, 7) << "kept for the day the monitor is back";
}

// The laptop alone, as the system lists it once the projector is unplugged.
std::vector<TMonitor> LaptopAlone() { return {{{0, 0, 1366, 768}, true}}; }

// The projector goes and comes back while a run counts: the display follows, the bar under it,
// and the run shows every second once, in order.
TEST_F(TwoMonitors, TheDisplayFollowsTheScreensDuringARun) {
  AppConfig->UserScreenSize = 6;
  AppConfig->TotalTime->SetTotalSeconds(3600);
  AppConfig->SetTypeInc(0);
  AppConfig->SetBeepActive(false);
  SoundRecorder sounds;
  WithBar([&](TNavigChrono &bar) {
    TWatchChrono &watch = bar.WatchChrono();
    HWND display = watch.Handle();
    TickWatch ticks(watch);
    Click(bar.Get<TButton>("BtnRun"));
    Pump(1700);

    MonitorsProc = &LaptopAlone;
    PostMessageA(bar.Handle(), WM_DISPLAYCHANGE, 24, MAKELPARAM(1366, 768));
    Pump(300);
    const int laptopHeight = 16 * 25 + 107 + 5;
    EXPECT_EQ(watch.Handle(), display) << "the same window, which the run's threads post to";
    EXPECT_EQ(Edges(display), (std::array<LONG, 4>{0, 0, 1366, laptopHeight}));
    std::array<LONG, 4> b = Edges(bar.Handle());
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[1], laptopHeight);
    EXPECT_EQ(watch.Digit(5).BoundsRect().left, watch.Layout().Digits[5].Left);
    EXPECT_EQ(watch.Digit(5).Width(), 8 * 25);
    Pump(1500);

    MonitorsProc = &SystemMonitors;
    PostMessageA(bar.Handle(), WM_DISPLAYCHANGE, 24, MAKELPARAM(1366, 768));
    Pump(300);
    EXPECT_EQ(Edges(display), (std::array<LONG, 4>{1366, 0, 1366 + 1920, 731}));
    EXPECT_EQ(Edges(bar.Handle())[1], 731);
    EXPECT_EQ(watch.Digit(5).Width(), 8 * 36);
    Pump(1200);

    ASSERT_GE(ticks.ticks.size(), 3u) << "the run went on";
    for (size_t i = 0; i < ticks.ticks.size(); ++i) {
      char second[16];
      std::snprintf(second, sizeof second, "00:00:%02u", unsigned(i + 1));
      EXPECT_EQ(ticks.ticks[i].shown, second) << "no second lost or repeated";
      EXPECT_EQ(ticks.ticks[i].progress, i + 1);
    }
  });
  MonitorsProc = &SystemMonitors;
}

}  // namespace
