// screen: 1920x1080x24
// dpi: 144
// The windows on a screen scaled to 150 %, the giant display in its physical pixels and the
// first start on such a screen.
#include <windows.h>

constexpr int kDpi = 144;
#include "scaled_forms.h"

// The giant display in the screen's physical pixels, and what the settings make of the screen.
namespace {

using namespace testwin;
using scaled::S;

class PhysicalPixels : public MainWindowTest {
protected:
  // Opens the control bar, runs `check` on it, and closes it.
  void WithBar(const std::function<void(TNavigChrono &)> &check) {
    bool checked = false;
    Later(150, [&] {
      auto *bar = dynamic_cast<TNavigChrono *>(Application.ActiveForm());
      ASSERT_NE(bar, nullptr);
      check(*bar);
      checked = true;
      bar->Close();
    });
    Click(main_->Get<TButton>("BtnShowChrono"));
    EXPECT_TRUE(checked);
  }
};

TEST_F(PhysicalPixels, AFirstStartTakesTheScreenAt100Percent) {
  // 1920 pixels at 150 % are a 1280-pixel screen: "1280x1024".
  EXPECT_EQ(TConfig::PrimaryWidthAt100(), 1280);
  EXPECT_EQ(AppConfig->UserScreenSize, 4);
  RegValue stored = ReadValue(SettingsKey(), "UserScreenSize");
  ASSERT_TRUE(stored.exists);
  EXPECT_EQ(stored.Dword(), 4u);
  // The size list's hint names the physical screen.
  MessageBoxWatcher boxes;
  TOptionsScreen options(main_.get());
  EXPECT_EQ(options.Get<TComboBox>("SizeComboBox").Hint(),
            "Taille réelle de l'écran: 1920x1080 pixels");
}

TEST_F(PhysicalPixels, AFixedSizeIsItsWidthTimesTheScale) {
  AppConfig->UserScreenSize = 2;  // 1024 at 100 %
  WithBar([](TNavigChrono &bar) {
    TWatchChrono &watch = bar.WatchChrono();
    RECT r;
    GetWindowRect(watch.Handle(), &r);
    EXPECT_EQ(r.right - r.left, 1536);
    // The full-width rule for 1536: u = 1534 / 53 = 28, a gauge of (5 * 1536 + 32) / 64 = 120.
    TWatchLayout l = FullWidthLayout(TDisplayRect{0, 0, 1536, 1080}, bar.Height());
    EXPECT_EQ(l.Unit, 28);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom - r.top, 16 * 28 + 120 + 5);
    EXPECT_EQ(watch.Digit(0).Unit(), 28);
    for (int p = 0; p < 6; ++p)
      EXPECT_EQ(watch.Digit(p).Left(), l.Digits[p].Left) << p;
    EXPECT_EQ(watch.Gauge().Height(), 120);
    RECT b;
    GetWindowRect(bar.Handle(), &b);
    EXPECT_EQ(b.top, r.bottom) << "the bar right under the display";
  });
}

// Moved to a monitor of 125 %, the display of size 2 is 1280 pixels wide there, with digits of
// the full-width rule for that width; what it shows stays.
TEST_F(PhysicalPixels, AFixedSizeIsLaidOutAgainAtANewScale) {
  AppConfig->UserScreenSize = 2;
  AppConfig->TotalTime->SetTotalSeconds(3723);
  AppConfig->SetTypeInc(1);
  WithBar([](TNavigChrono &bar) {
    TWatchChrono &watch = bar.WatchChrono();
    SendMessageA(watch.Handle(), WM_SET_OVERTIME, 0, 0);
    RECT r{0, 0, 1280, 400};
    SendMessageA(watch.Handle(), WM_DPICHANGED, MAKEWPARAM(120, 120), LPARAM(&r));
    GetWindowRect(watch.Handle(), &r);
    EXPECT_EQ(r.right - r.left, 1280);
    RECT b;
    GetWindowRect(bar.Handle(), &b);
    EXPECT_EQ(b.top, r.bottom) << "the bar under the display laid out again";
    for (int p = 0; p < 6; ++p) EXPECT_TRUE(watch.Digit(p).Overtime()) << "still red: " << p;
    EXPECT_EQ(watch.Layout(), FullWidthLayout(TDisplayRect{0, 0, 1280, 1080}, bar.Height()));
    EXPECT_EQ(watch.Digit(0).Unit(), 24);
    std::string shown;
    for (int p = 0; p < 6; ++p) shown += char('0' + watch.Digit(p).CurrentNumber());
    EXPECT_EQ(shown, "010203");
  });
}

TEST_F(PhysicalPixels, FullWidthKeepsThePhysicalWidthAndTheBarIsScaled) {
  AppConfig->UserScreenSize = 5;
  WithBar([](TNavigChrono &bar) {
    RECT r;
    GetWindowRect(bar.WatchChrono().Handle(), &r);
    EXPECT_EQ(r.right - r.left, 1920);
    EXPECT_EQ(r.bottom - r.top, 731);
    // Today's 346 x 38, one and a half times.
    RECT c;
    GetClientRect(bar.Handle(), &c);
    EXPECT_EQ(c.right, 519);
    EXPECT_EQ(c.bottom, 57);
  });
}

}  // namespace
