// The control bar driven through its buttons, fed the threads' messages, and real short runs
// from the main window's button to the end box and back.
#include <windows.h>

#include <chrono>

#include "app/UMain.h"
#include "display/uNavigChrono.h"
#include "support_win.h"
#include "timing/uSound.h"

using namespace testwin;
using Clock = std::chrono::steady_clock;

namespace {

// The sounds asked for, as "name@res" (the program's own) or "path@file".
std::vector<std::string> Sounds() {
  std::vector<std::string> out;
  for (const PlayCall &c : SoundRecorder::Calls())
    out.push_back(c.sound + (c.flags == SoundResourceFlags ? "@res" : "@file"));
  return out;
}

TNavigChrono *Bar() { return dynamic_cast<TNavigChrono *>(Application.ActiveForm()); }

std::string Shown(TNavigChrono &bar) {
  std::string s;
  for (int p = 0; p < 6; ++p) {
    s += char('0' + bar.WatchChrono().Digit(p).CurrentNumber());
    if (p == 1 || p == 3) s += ':';
  }
  return s;
}

bool Enabled(TNavigChrono &bar, const char *name) {
  return IsWindowEnabled(bar.Get<TButton>(name).Handle()) != FALSE;
}

class ControlBar : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    recorder_ = std::make_unique<SoundRecorder>();
  }
  void TearDown() override {
    recorder_.reset();
    MainWindowTest::TearDown();
  }
  // Opens the control bar as the user does and runs the scenario inside its modal loop.
  void RunBar(Scenario &scenario) {
    scenario.Start();
    Click(main_->Get<TButton>("BtnShowChrono"));
    EXPECT_TRUE(scenario.Finished());
    EXPECT_TRUE(IsWindowVisible(main_->Handle()));
    EXPECT_TRUE(IsWindowEnabled(main_->Handle()));
  }

  std::unique_ptr<SoundRecorder> recorder_;
};

TEST_F(ControlBar, ReadyRunningPausedAndClosed) {
  AppConfig->TotalTime->SetTotalSeconds(3600);
  AppConfig->SetTypeInc(1);
  AppConfig->SetBeepActive(false);
  Clock::time_point quitAt;
  std::string pausedAt;
  Scenario s;
  s.Then(100, [&] {
     TNavigChrono *bar = Bar();
     ASSERT_NE(bar, nullptr);
     EXPECT_FALSE(IsWindowVisible(main_->Handle()));
     EXPECT_EQ(bar->Caption(), Application.Title() + " 1.0 - Dialogue de visualisation");
     EXPECT_EQ(bar->Get<TPanel>("TotalTime").Caption(), "Temps Total: 1 H 00 min 00 sec");
     EXPECT_EQ(bar->Get<TPanel>("BeepTime").Caption(), "Beep non activé");
     EXPECT_TRUE(Enabled(*bar, "BtnRun"));
     EXPECT_FALSE(Enabled(*bar, "BtnPause"));
     EXPECT_EQ(Shown(*bar), "01:00:00");
     RECT w, b;
     GetWindowRect(bar->WatchChrono().Handle(), &w);
     GetWindowRect(bar->Handle(), &b);
     EXPECT_EQ(w.left, 0);
     EXPECT_EQ(w.top, 0);
     EXPECT_EQ(w.right, 1024);
     EXPECT_EQ(b.left, 0);
     EXPECT_EQ(b.top, w.bottom);  // right under the display, left-aligned
     EXPECT_EQ(w.bottom, 389);
     EXPECT_FALSE(IsWindowEnabled(bar->WatchChrono().Handle()));  // the display takes no input
     Click(bar->Get<TButton>("BtnRun"));
     EXPECT_FALSE(Enabled(*bar, "BtnRun"));
     EXPECT_TRUE(Enabled(*bar, "BtnPause"));
   })
      .Then(10, [&] {
        // Each second brings the next value; nothing is skipped or repeated.
        TNavigChrono *bar = Bar();
        std::vector<std::string> seen;
        for (int i = 0; i < 2; ++i) {
          std::string before = Shown(*bar);
          EXPECT_TRUE(PumpUntil([&] { return Shown(*bar) != before; }, 3000));
          Pump(100);  // the rest of the tick's digits, posted with the first
          seen.push_back(Shown(*bar));
        }
        EXPECT_EQ(seen, (std::vector<std::string>{"00:59:59", "00:59:58"}));
        EXPECT_EQ(bar->WatchChrono().Gauge().Progress(), 2u);
        Click(bar->Get<TButton>("BtnPause"));
        EXPECT_TRUE(Enabled(*bar, "BtnRun"));
        EXPECT_FALSE(Enabled(*bar, "BtnPause"));
        pausedAt = Shown(*bar);
      })
      .Then(1500, [&] {
        TNavigChrono *bar = Bar();
        EXPECT_EQ(Shown(*bar), pausedAt);  // nothing moves while paused
        Click(bar->Get<TButton>("BtnRun"));
        EXPECT_TRUE(PumpUntil([&] { return Shown(*bar) != pausedAt; }, 3000));
        Pump(100);
        EXPECT_EQ(Shown(*bar), "00:59:57");  // the count goes on from the same value
        // The beep switch during the run.
        Click(bar->Get<TButton>("BtnBeep"));
        EXPECT_TRUE(AppConfig->BeepActive);
        EXPECT_EQ(bar->Get<TPanel>("BeepTime").Caption(), "inter beep: 0 H 00 min 30 sec");
        Click(bar->Get<TButton>("BtnBeep"));
        EXPECT_FALSE(AppConfig->BeepActive);
        EXPECT_EQ(bar->Get<TPanel>("BeepTime").Caption(), "Beep non activé");
        quitAt = Clock::now();
        Click(bar->Get<TButton>("BtnQuit"));
      });
  RunBar(s);
  auto closing = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - quitAt);
  EXPECT_LT(closing.count(), 1500) << "closing while running";
  std::printf("Closing while running: %lld ms\n", (long long)closing.count());
  EXPECT_EQ(main_->Caption(), Application.Title() + " 1.0");
}

TEST_F(ControlBar, ClosingWhilePausedAndFromReady) {
  for (int paused = 0; paused < 2; ++paused) {
    Clock::time_point quitAt;
    Scenario s;
    s.Then(100, [&] {
       if (paused) Click(Bar()->Get<TButton>("BtnRun"));
     })
        .Then(paused ? 1200 : 10, [&] {
          if (paused) Click(Bar()->Get<TButton>("BtnPause"));
          quitAt = Clock::now();
          SendMessageA(Bar()->Handle(), WM_CLOSE, 0, 0);  // the close box
        });
    RunBar(s);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - quitAt).count();
    std::printf("Closing %s: %lld ms\n", paused ? "while paused" : "from Ready", (long long)ms);
    EXPECT_GE(ms, 450);  // the bounded wait on a container that cannot end
    EXPECT_LT(ms, 1500);
  }
}

TEST_F(ControlBar, ShortRunEndsWithTheFinalSoundAndABox) {
  AppConfig->TotalTime->SetTotalSeconds(3);
  AppConfig->InterBeepTime->SetTotalSeconds(1);
  AppConfig->SetBeepActive(true);
  MessageBoxWatcher boxes;
  Scenario s;
  s.Then(100, [&] { Click(Bar()->Get<TButton>("BtnRun")); })
      .Then(2500, [&] {
        TNavigChrono *bar = Bar();
        ASSERT_NE(bar, nullptr);
        // The end box comes, and is answered; the bar is then ready for a new run.
        EXPECT_TRUE(PumpUntil([&] { return !boxes.Boxes().empty() && Enabled(*bar, "BtnRun"); },
                              10000));
        auto seen = boxes.Boxes();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, "Information");
        EXPECT_EQ(seen[0].text, "Le chronométrage est terminé...");
        EXPECT_EQ(Sounds(), (std::vector<std::string>{"beep@res", "beep@res", "beep@res", "fin@res"}));
        // Ready again: the starting value, an empty gauge, a fresh container.
        EXPECT_EQ(Shown(*bar), "00:00:00");
        EXPECT_EQ(bar->WatchChrono().Gauge().Progress(), 0u);
        EXPECT_TRUE(Enabled(*bar, "BtnRun"));
        EXPECT_FALSE(Enabled(*bar, "BtnPause"));
        EXPECT_TRUE(bar->ThreadContainer()->Suspended());
        Click(bar->Get<TButton>("BtnQuit"));
      });
  RunBar(s);
}

TEST_F(ControlBar, HandlesTheThreadsMessages) {
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    HWND watch = bar->WatchChrono().Handle();
    SendMessageA(watch, WM_SET_DIGIT, 5, 7);
    SendMessageA(watch, WM_SET_DIGIT, 2, 3);
    SendMessageA(watch, WM_SET_DIGIT, 9, 1);  // no such position: ignored
    SendMessageA(watch, WM_SET_PROGRESS, 42, 0);
    EXPECT_EQ(Shown(*bar), "00:30:07");
    EXPECT_EQ(bar->WatchChrono().Gauge().Progress(), 42u);
    SendMessageA(bar->Handle(), WM_PLAY_BEEP, 0, 0);
    SendMessageA(bar->Handle(), WM_PLAY_FINAL, 0, 0);
    EXPECT_EQ(Sounds(), (std::vector<std::string>{"beep@res", "fin@res"}));
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
}

TEST_F(ControlBar, GdiObjectsStaySteadyOverManyRuns) {
  auto once = [&] {
    Scenario s;
    s.Then(20, [&] { Click(Bar()->Get<TButton>("BtnQuit")); });
    RunBar(s);
    Pump(10);
  };
  once();
  long afterOne = gdi::LiveObjects();
  for (int i = 0; i < 49; ++i) once();
  EXPECT_EQ(gdi::LiveObjects(), afterOne);
  std::printf("Live GDI objects after 1 and 50 runs: %ld\n", afterOne);
}

// Under Wine a window tracking the pointer's leaving has the pointer polled for as long as it rests
// there. Resting on the Tavelin button, the pointer is soon tracked no more; a move makes the
// button track it again; and once the bar has hidden the main window, nothing of that hidden
// window tracks it, although the pointer still rests where the button was.
TEST_F(ControlBar, ThePointerAtRestIsNotWatched) {
  HWND button = main_->Get<TButton>("BtnShowChrono").Handle();
  RECT r;
  GetWindowRect(button, &r);
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  auto tracked = [] {
    TRACKMOUSEEVENT query{};
    query.cbSize = sizeof query;
    query.dwFlags = TME_QUERY;
    TrackMouseEvent(&query);
    return (query.dwFlags & (TME_HOVER | TME_LEAVE)) ? query.hwndTrack : nullptr;
  };
  SetCursorPos(x, y);
  ASSERT_TRUE(PumpUntil([&] { return tracked() == button; }, 2000));
  EXPECT_TRUE(PumpUntil([&] { return tracked() == nullptr; }, 3000));
  SetCursorPos(x + 1, y);
  ASSERT_TRUE(PumpUntil([&] { return tracked() == button; }, 2000));

  HWND stillTracked = button;
  Scenario s;
  s.Then(100, [&] {
    EXPECT_FALSE(IsWindowVisible(main_->Handle()));
    stillTracked = tracked();
    Click(Bar()->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
  EXPECT_TRUE(stillTracked == nullptr ||
              (stillTracked != main_->Handle() && !IsChild(main_->Handle(), stillTracked)));
}

}  // namespace
