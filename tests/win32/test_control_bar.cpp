// The control bar driven through its buttons, fed the threads' messages, and real short runs
// from the main window's button to the end box and back.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "app/UMain.h"
#include "app/uRunOwner.h"
#include "app/uTakeUp.h"
#include "display/uMonitors.h"
#include "display/uNavigChrono.h"
#include "forms/uSystemLib.h"
#include "run/uEndTime.h"
#include "support_win.h"
#include "timing/uJournalKeeper.h"
#include "timing/uRunContainer.h"
#include "timing/uRunKeeper.h"
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

// A key as the keyboard sends it, to whichever window has the focus.
void Key(UINT vk, bool repeat = false) {
  HWND to = GetFocus();
  PostMessageA(to, WM_KEYDOWN, vk, LPARAM(1 | (repeat ? 1 << 30 : 0)));
  PostMessageA(to, WM_KEYUP, vk, LPARAM(0xC0000001));
  Pump(30);
}

// A click of the mouse's left button in the middle of a button.
void MouseClick(TButton &button) {
  PostMessageA(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(19, 19));
  PostMessageA(button.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(19, 19));
  Pump(30);
}

// What the bar asks of the power settings, recorded instead of acted on.
std::vector<EXECUTION_STATE> &ExecutionStates() {
  static std::vector<EXECUTION_STATE> states;
  return states;
}
EXECUTION_STATE WINAPI RecordExecutionState(EXECUTION_STATE state) {
  ExecutionStates().push_back(state);
  return ES_CONTINUOUS;
}
constexpr EXECUTION_STATE KeepAwake = ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED;

std::unique_ptr<TMainThread> NoMoreThreads(HWND, HWND, const TRunEnds &) {
  throw ETavelinError("Plus aucune tâche possible");
}

// Whether `a` is above `b` among the top-level windows.
bool Above(HWND a, HWND b) {
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == a) return true;
    if (w == b) return false;
  }
  return false;
}

class ControlBar : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    recorder_ = std::make_unique<SoundRecorder>();
    ExecutionStates().clear();
    ExecutionStateProc = &RecordExecutionState;
  }
  void TearDown() override {
    ExecutionStateProc = &SetThreadExecutionState;
    UtcTimeProc = &GetSystemTimeAsFileTime;
    RunContainerMaker = static_cast<TRunContainerMaker>(&CreateRunContainer);
    MonitorsProc = &SystemMonitors;
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
  std::unique_ptr<TickWatch> watch;
  Scenario s;
  s.Then(100, [&] {
     TNavigChrono *bar = Bar();
     ASSERT_NE(bar, nullptr);
     watch = std::make_unique<TickWatch>(bar->WatchChrono());
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
        EXPECT_TRUE(PumpUntil([&] { return Shown(*bar) == "00:59:58"; }, 5000));
        std::vector<std::string> seen;
        for (const TickWatch::Tick &t : watch->ticks) seen.push_back(t.shown);
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
        // The count goes on from the same value.
        EXPECT_TRUE(PumpUntil([&] { return Shown(*bar) == "00:59:57"; }, 5000)) << Shown(*bar);
        EXPECT_EQ(watch->ticks.size(), 3u);
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
  EXPECT_LT(closing.count(), 3000) << "closing while running";
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
    // The engine is not waited for: a paused one could never end, and closing would freeze.
    EXPECT_LT(ms, 400);
  }
}

// Closing the bar on an open run asks first, "Non" by default: "Non" leaves the run counting, a
// run that ends meanwhile takes the question away and brings its end box, and once the run has
// ended nothing is asked. "Oui" ends the run as closing did.
TEST_F(ControlBar, ClosingOnAnOpenRunAsksFirst) {
  AskStopRun = &StopRunBox;
  AppConfig->SetTypeInc(1);
  // Long enough for the second question to come before the end, however slow the machine.
  AppConfig->TotalTime->SetTotalSeconds(6);
  for (const bool yes : {false, true}) {
    std::vector<std::string> questions;
    std::string endBox;
    auto ask = [&](std::function<void(HWND)> answer) {
      PostMessageA(Bar()->Handle(), WM_CLOSE, 0, 0);
      WhenBoxOpens([&, answer](HWND box) {
        ASSERT_NE(box, nullptr);
        // The bar's, so that a run ending under it takes it away.
        EXPECT_EQ(GetWindow(box, GW_OWNER), Bar()->Handle());
        questions.push_back(BoxText(box));
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON);
        answer(box);
      });
    };
    Scenario s;
    s.Then(100, [&] { Click(Bar()->Get<TButton>("BtnRun")); }).Then(300, [&] {
      ask([&](HWND box) {
        PostMessageA(box, WM_COMMAND, yes ? IDYES : IDNO, 0);
        if (yes) return;
        Later(100, [&] {
          const std::string before = Shown(*Bar());
          EXPECT_TRUE(PumpUntil([&] { return Shown(*Bar()) != before; }, 3000)) << "counting";
          // Left unanswered until the end of the run.
          ask([&](HWND question) {
            WhenBoxOpens(
                [&, question](HWND end) {
                  endBox = end ? BoxText(end) : "";
                  EXPECT_FALSE(IsWindow(question)) << "the question went";
                  if (end) PostMessageA(end, WM_COMMAND, IDOK, 0);
                  Later(200, [&] { PostMessageA(Bar()->Handle(), WM_CLOSE, 0, 0); });
                },
                question, 15000);
          });
        });
      });
    });
    RunBar(s);
    EXPECT_EQ(questions, std::vector<std::string>(yes ? 1 : 2,
                                                  "Un chronométrage est en cours. L'arrêter ?"));
    EXPECT_EQ(endBox, yes ? "" : "Le chronométrage est terminé...");
    EXPECT_FALSE(ReadValue(SettingsKey(), "RunState").exists);
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
    // The sounds come to the run's own window, which no one sees.
    HWND run = FindWindowExA(HWND_MESSAGE, nullptr, "TavelinRun", nullptr);
    ASSERT_NE(run, nullptr);
    SendMessageA(run, WM_PLAY_BEEP, 0, 0);
    SendMessageA(run, WM_PLAY_FINAL, 0, 0);
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

TEST_F(ControlBar, SpaceAndBDriveTheRunFromTheKeyboard) {
  AppConfig->TotalTime->SetTotalSeconds(3600);
  AppConfig->SetBeepActive(false);
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    ASSERT_NE(bar, nullptr);
    TButton &beep = bar->Get<TButton>("BtnBeep");
    Key(VK_SPACE);  // starts
    EXPECT_FALSE(Enabled(*bar, "BtnRun"));
    EXPECT_FALSE(bar->ThreadContainer()->Suspended());
    Key(VK_SPACE, true);  // held down: the repeats do nothing
    EXPECT_TRUE(Enabled(*bar, "BtnPause"));
    Key(VK_SPACE);  // pauses
    EXPECT_TRUE(Enabled(*bar, "BtnRun"));
    EXPECT_TRUE(bar->ThreadContainer()->Suspended());
    Key(VK_SPACE);  // continues
    EXPECT_FALSE(bar->ThreadContainer()->Suspended());
    Key('B');
    EXPECT_TRUE(AppConfig->BeepActive);
    EXPECT_TRUE(beep.Down());
    EXPECT_EQ(bar->Get<TPanel>("BeepTime").Caption(), "inter beep: 0 H 00 min 30 sec");
    Key('B', true);
    EXPECT_TRUE(AppConfig->BeepActive);
    Key('B');
    EXPECT_FALSE(beep.Down());
    EXPECT_EQ(bar->Get<TPanel>("BeepTime").Caption(), "Beep non activé");
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    EXPECT_FALSE(Enabled(*bar, "BtnRun"));  // no other key changes anything
    // A click, then a quick second one: two switches, and the keys still reach the bar.
    MouseClick(beep);
    EXPECT_TRUE(AppConfig->BeepActive);
    PostMessageA(beep.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(19, 19));
    PostMessageA(beep.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(19, 19));
    Pump(30);
    EXPECT_FALSE(AppConfig->BeepActive);
    EXPECT_NE(GetFocus(), beep.Handle());
    Key(VK_SPACE);
    EXPECT_TRUE(Enabled(*bar, "BtnRun"));
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
}

// The screen is kept awake for as long as the run is open, not the bar: from Run to its end (the
// box closed) or to closing the bar, and again for the next run.
TEST_F(ControlBar, OwnTaskbarEntryAndScreenKeptAwakeWhileTheRunIsOpen) {
  AppConfig->TotalTime->SetTotalSeconds(1);
  AppConfig->SetBeepActive(false);
  MessageBoxWatcher boxes;
  std::vector<std::vector<EXECUTION_STATE>> seen;
  Scenario s;
  s.Then(50, [&] {
     TNavigChrono *bar = Bar();
     EXPECT_TRUE(GetWindowLongA(bar->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
     seen.push_back(ExecutionStates());
     Click(bar->Get<TButton>("BtnRun"));
     seen.push_back(ExecutionStates());
   })
      .Then(100, [&] {
        TNavigChrono *bar = Bar();
        EXPECT_TRUE(PumpUntil([&] { return !boxes.Boxes().empty() && Enabled(*bar, "BtnRun"); }, 10000));
        seen.push_back(ExecutionStates());
        Click(bar->Get<TButton>("BtnRun"));
        Click(bar->Get<TButton>("BtnQuit"));
      });
  RunBar(s);
  seen.push_back(ExecutionStates());
  const std::vector<EXECUTION_STATE> ended{KeepAwake, ES_CONTINUOUS};
  const std::vector<EXECUTION_STATE> closed{KeepAwake, ES_CONTINUOUS, KeepAwake, ES_CONTINUOUS};
  EXPECT_EQ(seen, (std::vector<std::vector<EXECUTION_STATE>>{{}, {KeepAwake}, ended, closed}));

  // A bar that cannot be built never opened a run.
  ExecutionStates().clear();
  RunContainerMaker = &NoMoreThreads;
  ExceptionCatcher errors;
  Click(main_->Get<TButton>("BtnShowChrono"));
  EXPECT_EQ(errors.messages, std::vector<std::string>{"Plus aucune tâche possible"});
  EXPECT_TRUE(ExecutionStates().empty());
  EXPECT_TRUE(IsWindowVisible(main_->Handle()));
}

// The bar's holder frees it when its modal loop returns; a form closing with caFree is then not
// also asked to free itself, as one without a holder is.
TEST_F(ControlBar, AFormClosingWithCaFreeIsFreedOnce) {
  for (bool held : {true, false}) {
    auto form = std::make_unique<TForm>(main_.get());
    form->LoadDesignText("form Dialog client=100,40 pos=0,0 caption=Dialog", "Dialog");
    form->OnClose = [](TForm *, TCloseAction &action) { action = caFree; };
    form->HeldByCaller = held;
    Later(30, [&] { form->Close(); });
    form->ShowModal();
    MSG m;
    bool asked = PeekMessageA(&m, form->Handle(), WM_APP + 0x100, WM_APP + 0x100, PM_NOREMOVE);
    EXPECT_EQ(asked, !held) << (held ? "held" : "not held");
    if (!held) {
      (void)form.release();  // it frees itself
      Pump(30);
    }
  }
}

TEST_F(ControlBar, ANextRunThatCannotBePreparedLeavesOnlyClosing) {
  AppConfig->TotalTime->SetTotalSeconds(1);
  AppConfig->SetBeepActive(false);
  MessageBoxWatcher boxes;
  ExceptionCatcher errors;
  Scenario s;
  s.Then(100, [&] {
     Click(Bar()->Get<TButton>("BtnRun"));
     RunContainerMaker = &NoMoreThreads;
   })
      .Then(500, [&] {
        TNavigChrono *bar = Bar();
        ASSERT_TRUE(PumpUntil([&] { return !errors.messages.empty(); }, 5000));
        EXPECT_EQ(errors.messages, std::vector<std::string>{"Plus aucune tâche possible"});
        EXPECT_EQ(boxes.Boxes().size(), 1u);  // the end box came first
        EXPECT_FALSE(Enabled(*bar, "BtnRun"));
        EXPECT_FALSE(Enabled(*bar, "BtnPause"));
        // Nothing to start or pause: neither the keys nor the handlers reach for a container.
        Key(VK_SPACE);
        MouseClick(bar->Get<TButton>("BtnRun"));
        MouseClick(bar->Get<TButton>("BtnPause"));
        EXPECT_EQ(bar->ThreadContainer(), nullptr);
        Click(bar->Get<TButton>("BtnQuit"));
      });
  RunBar(s);
}

// Another program's always-on-top window, started for the length of a test.
class Cover {
public:
  explicit Cover(const std::string &args) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string helper = path;
    helper = helper.substr(0, helper.find_last_of('\\') + 1) + "helper_cover.exe";
    std::string line = "\"" + helper + "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(helper.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi_))
      return;
    PumpUntil(
        [&] {
          const char *ready = "Cover ready";
          for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "TavelinTestCover", ready));) {
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process == pi_.dwProcessId) wnd_ = w;
          }
          return wnd_ != nullptr;
        },
        10000);
  }
  ~Cover() {
    if (!pi_.hProcess) return;
    if (wnd_) PostMessageA(wnd_, WM_CLOSE, 0, 0);
    WaitForSingleObject(pi_.hProcess, 5000);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
  HWND Handle() const { return wnd_; }

private:
  PROCESS_INFORMATION pi_{};
  HWND wnd_ = nullptr;
};

// Another program's always-on-top window over the display is overtaken at the next ticks,
// without the display ever taking the activation.
TEST_F(ControlBar, DisplayComesBackAboveAnotherTopmostWindow) {
  AppConfig->TotalTime->SetTotalSeconds(3600);
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    HWND display = bar->WatchChrono().Handle();
    Key(VK_SPACE);
    auto helper = std::make_unique<Cover>("");
    HWND cover = helper->Handle();
    ASSERT_NE(cover, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return Above(cover, display); }, 5000)) << "the cover came up";
    auto shown = Clock::now();
    EXPECT_TRUE(PumpUntil([&] { return Above(display, cover); }, 5000));
    std::printf("Display back on top after %lld ms\n",
                (long long)std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() -
                                                                                 shown)
                    .count());
    EXPECT_NE(GetForegroundWindow(), display);
    EXPECT_NE(GetActiveWindow(), display);
    helper.reset();
    SetForegroundWindow(bar->Handle());
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
}

// Beyond the end of a run no progress comes: the next second brings the display back on top.
TEST_F(ControlBar, BeyondTheEndTheDisplayComesBackAboveAnotherTopmostWindowToo) {
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    HWND display = bar->WatchChrono().Handle();
    SendMessageA(display, WM_SET_OVERTIME, 0, 0);
    auto cover = std::make_unique<Cover>("");
    ASSERT_TRUE(PumpUntil([&] { return Above(cover->Handle(), display); }, 5000));
    // Each second, as the cover may still be taking the activation that lifts it again.
    int second = 0;
    EXPECT_TRUE(PumpUntil(
        [&] {
          SendMessageA(display, WM_SET_DIGIT, 5, ++second % 10);
          return Above(display, cover->Handle());
        },
        2000));
    cover.reset();
    SetForegroundWindow(bar->Handle());
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
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
  ASSERT_TRUE(PumpUntil([&] { return tracked() == button; }, 5000));
  EXPECT_TRUE(PumpUntil([&] { return tracked() == nullptr; }, 6000));
  SetCursorPos(x + 1, y);
  ASSERT_TRUE(PumpUntil([&] { return tracked() == button; }, 5000));

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

// The end of a run at size 2: the end box stands above the topmost display and under the run,
// ticks leave it there, and Enter answers it. The error that follows (the next run cannot be
// prepared) is shown the same way; when both are gone, the display is topmost as before.
TEST_F(ControlBar, TheBoxesOfARunStandInFrontOfTheDisplayAndUnderIt) {
  AppConfig->UserScreenSize = 2;
  AppConfig->TotalTime->SetTotalSeconds(1);
  AppConfig->SetBeepActive(false);
  std::vector<std::string> answered;
  std::unique_ptr<MessageBoxWatcher> rescue;
  Scenario s;
  s.Then(100, [&] {
     TNavigChrono *bar = Bar();
     ASSERT_NE(bar, nullptr);
     HWND display = bar->WatchChrono().Handle(), barWnd = bar->Handle();
     Click(bar->Get<TButton>("BtnRun"));
     RunContainerMaker = &NoMoreThreads;
     WhenBoxOpens([&answered, display, barWnd](HWND endBox) {
       ASSERT_NE(endBox, nullptr);
       ExpectInFrontOfTheRun(endBox, display, barWnd);
       for (int tick = 1; tick <= 3; ++tick) SendMessageA(display, WM_SET_PROGRESS, tick, 0);
       EXPECT_TRUE(Above(endBox, display)) << "the ticks leave the box above the display";
       answered.push_back(BoxText(endBox));
       PressEnter();
       WhenBoxOpens(
           [&answered, display, barWnd](HWND error) {
             ASSERT_NE(error, nullptr);
             ExpectInFrontOfTheRun(error, display, barWnd);
             answered.push_back(BoxText(error));
             PressEnter();
           },
           endBox);
     });
   })
      .Then(4000, [&] {
        // A box still open is a failure; the watcher answers it so that the test ends.
        EXPECT_EQ(OpenMessageBox(), nullptr) << "Enter answered every box";
        rescue = std::make_unique<MessageBoxWatcher>();
        EXPECT_EQ(answered, (std::vector<std::string>{"Le chronométrage est terminé...",
                                                      "Plus aucune tâche possible"}));
        TNavigChrono *bar = Bar();
        ASSERT_NE(bar, nullptr);
        HWND display = bar->WatchChrono().Handle();
        EXPECT_TRUE(GetWindowLongA(display, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_TRUE(Above(display, bar->Handle()));
        Later(300, [bar] { Click(bar->Get<TButton>("BtnQuit")); });
      });
  RunBar(s);
  EXPECT_EQ(Application.FrontWindow(), nullptr) << "no front window once the bar is gone";
}

// How often the display was restacked: the z-order changes it was asked for.
int restacks = 0;
HWND restackWatched = nullptr;
LRESULT CALLBACK CountRestacks(int code, WPARAM wParam, LPARAM lParam) {
  const auto *m = reinterpret_cast<const CWPSTRUCT *>(lParam);
  if (code == HC_ACTION && m->hwnd == restackWatched && m->message == WM_WINDOWPOSCHANGING &&
      !(reinterpret_cast<const WINDOWPOS *>(m->lParam)->flags & SWP_NOZORDER))
    ++restacks;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Windows above the display that show nothing over it (a hidden one, one elsewhere on the
// screen) leave the ticks without a restack; one drawn over it is overtaken, but never above a
// box of ours.
TEST_F(ControlBar, OnlyAWindowDrawnOverTheDisplayRestacksIt) {
  AppConfig->TotalTime->SetTotalSeconds(3600);
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CountRestacks, nullptr, GetCurrentThreadId());
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    HWND display = bar->WatchChrono().Handle();
    restackWatched = display;
    Key(VK_SPACE);
    {
      Cover hidden("0 0 400 300 hidden");
      Cover aside("700 600 200 100");
      ASSERT_TRUE(hidden.Handle() && aside.Handle());
      ASSERT_TRUE(Above(hidden.Handle(), display));
      ASSERT_TRUE(Above(aside.Handle(), display));
      restacks = 0;
      Pump(1500);
      EXPECT_EQ(restacks, 0) << "nothing is drawn over the display";
    }
    // A box of ours is up, then another program's window comes over the display and the box.
    Later(100, [display] {
      HWND box = OpenMessageBox();
      Cover over("0 0 400 300");
      // A tick may have restacked the display while the cover was starting: put it back on top,
      // with no message pumped before the ticks below.
      SetWindowPos(over.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      EXPECT_TRUE(Above(over.Handle(), display));
      for (int tick = 1; tick <= 3; ++tick) SendMessageA(display, WM_SET_PROGRESS, tick, 0);
      EXPECT_TRUE(Above(display, over.Handle())) << "the display came back above the other";
      EXPECT_TRUE(Above(box, display)) << "and stayed under the box";
      if (box) SendMessageA(box, WM_COMMAND, IDOK, 0);
    });
    ShowMessageBox("Essai", "Information", MB_OK);
    restackWatched = nullptr;
    SetForegroundWindow(bar->Handle());
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
  UnhookWindowsHookEx(hook);
}

// A taskbar docked at the left of the screen: the bar moves right of it, under the display.
std::vector<TMonitor> LeftTaskbar() { return {{{0, 0, 1024, 768}, true, {60, 0, 964, 768}}}; }

TEST_F(ControlBar, AChangeOfTheWorkAreaMovesTheBarIntoIt) {
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    RECT before, r;
    GetWindowRect(bar->WatchChrono().Handle(), &before);
    MonitorsProc = &LeftTaskbar;
    // Another setting changing moves nothing; the work area's change moves the bar.
    SendMessageA(bar->Handle(), WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, 0);
    GetWindowRect(bar->Handle(), &r);
    EXPECT_EQ(r.left, 0);
    SendMessageA(bar->Handle(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    GetWindowRect(bar->Handle(), &r);
    EXPECT_EQ(r.left, 60);
    EXPECT_EQ(r.top, before.bottom) << "still right under the display";
    GetWindowRect(bar->WatchChrono().Handle(), &r);
    EXPECT_TRUE(EqualRect(&before, &r)) << "a fixed size stays where it is";
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
}

// A modal window of ours opened during a run stands above the display and under the run.
TEST_F(ControlBar, AModalWindowDuringARunStandsInFrontOfTheDisplay) {
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    HWND display = bar->WatchChrono().Handle();
    TForm dialog(bar);
    dialog.LoadDesignText("form Dialog client=200,80 pos=300,100 caption=Dialog", "Dialog");
    dialog.CreateHandle();
    bool checked = false;
    Later(200, [&] {
      ExpectInFrontOfTheRun(dialog.Handle(), display, bar->Handle());
      EXPECT_TRUE(GetWindowLongA(dialog.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
      checked = true;
      dialog.ModalResult = mrOk;
    });
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_TRUE(checked);
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
}

// On Windows the tracking is the system's: the pointer resting on a button leaves it tracked for
// as long as it rests there, and the button is told when the pointer leaves, for the desktop as
// for another program, so that its hot look goes as it came.
TEST_F(ControlBar, OnWindowsThePointerAtRestStaysTrackedUntilItLeaves) {
  ASSERT_TRUE(RunningUnderWine());
  struct AsOnWindows {
    AsOnWindows() { Application.EndTrackingAtRest = false; }
    ~AsOnWindows() { Application.EndTrackingAtRest = true; }
  } asOnWindows;
  HWND button = main_->Get<TButton>("BtnShowChrono").Handle();
  RECT r;
  GetWindowRect(button, &r);
  auto tracked = [] { return CurrentMouseTracking().Window; };
  // Wine goes on tracking a window of an earlier test once it is gone (too late to cancel), and
  // its buttons track only while nothing else is: tracking a window of ours replaces it, then ends.
  TRACKMOUSEEVENT own{sizeof own, TME_LEAVE, main_->Handle(), 0};
  TrackMouseEvent(&own);
  if (TMouseTracking earlier = CurrentMouseTracking(); earlier.Window) EndMouseTracking(earlier);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ASSERT_TRUE(PumpUntil([&] { return tracked() == button; }, 5000));
  Pump(2500);
  EXPECT_EQ(tracked(), button);
  RECT frame;
  GetWindowRect(main_->Handle(), &frame);
  SetCursorPos(frame.right + 50, frame.bottom + 50);
  EXPECT_TRUE(PumpUntil([&] { return tracked() == nullptr; }, 5000));
}

}  // namespace

namespace {

// --- A run that ends at a time of day, and the time beyond the end ----------------------------

// The final sound's request, timed.
std::chrono::steady_clock::time_point finalSoundAt;
BOOL WINAPI TimeFinalSound(LPCSTR sound, HMODULE, DWORD) {
  if (sound && std::string(sound) == "fin") finalSoundAt = Clock::now();
  return TRUE;
}

class ControlBarTimed : public ControlBar {
protected:
  // Chooses the end in the dialog, from its menu entry, as the user does.
  void ChooseEnd(int hour, int minute) {
    Later(50, [&, hour, minute] {
      TForm *dialog = FormByCaption(main_->Caption() + " - Heure de fin");
      ASSERT_NE(dialog, nullptr);
      TypeText(dialog->Get<TSpinEdit>("SpinEndHour"), std::to_string(hour));
      TypeText(dialog->Get<TSpinEdit>("SpinEndMin"), std::to_string(minute));
      SendMessageA(FindWindowExA(dialog->Handle(), nullptr, "Button", "OK"), BM_CLICK, 0, 0);
    });
    MenuItemByText(*main_, "&Heure de fin...")->OnClick(main_.get());
    ASSERT_EQ(main_->EndMinute(), hour * 60 + minute);
  }
};

// The wall clock is set three seconds before the end so that the test is short; it goes on at
// the real pace, and the run is measured against it.
TEST_F(ControlBarTimed, ARunEndsAtTheTimeOfDayChosen) {
  FakeLocalClock wall(TimeOfDay(10, 44, 56, 700));
  ChooseEnd(10, 45);
  PlaySoundProc = &TimeFinalSound;
  finalSoundAt = {};
  MessageBoxWatcher boxes;
  Scenario s;
  s.Then(100, [&] {
     TNavigChrono *bar = Bar();
     EXPECT_EQ(bar->Get<TPanel>("TotalTime").Caption(), "Fin à 10 h 45");
     const int64_t left = TimeOfDay(10, 45, 0) - FakeLocalClock::At(Clock::now());
     Click(bar->Get<TButton>("BtnRun"));
     // The time left when Run was pressed, some 3 s, in whole seconds: the run starts part-way
     // through its first one.
     const uint32_t total = bar->Session().EngineStart();
     EXPECT_GT(int64_t(total) * 1000, left - 1000) << total;
     EXPECT_LT(int64_t(total) * 1000, left + 1000) << total;
     EXPECT_EQ(Shown(*bar), "00:00:0" + std::to_string(total));
     EXPECT_EQ(bar->WatchChrono().Gauge().MaxValue(), total);
   })
      .Then(10, [&] {
        TNavigChrono *bar = Bar();
        // A failure goes on to the quit button, so that the bar never stays up.
        EXPECT_TRUE(PumpUntil([&] { return !boxes.Boxes().empty() && Enabled(*bar, "BtnRun"); },
                              10000));
        const auto box = boxes.Boxes().empty() ? MessageBoxWatcher::Box{} : boxes.Boxes()[0];
        EXPECT_EQ(box.text, "Le chronométrage est terminé...");
        int64_t soundAt = FakeLocalClock::At(finalSoundAt) - TimeOfDay(10, 45, 0);
        int64_t boxAt = FakeLocalClock::At(box.shownAt) - TimeOfDay(10, 45, 0);
        std::printf("Final sound %+lld ms and box %+lld ms from 10:45:00\n", (long long)soundAt,
                    (long long)boxAt);
        EXPECT_LT(std::abs(soundAt), 500);
        EXPECT_LT(std::abs(boxAt), 1000);
        // The end time was for that run: the bar shows the total again, kept for the next one.
        EXPECT_EQ(bar->EndMinute(), -1);
        EXPECT_EQ(bar->Get<TPanel>("TotalTime").Caption(),
                  "Temps Total: " + AppConfig->TotalTime->AsText());
        EXPECT_EQ(Shown(*bar), "00:00:0" + std::to_string(AppConfig->TotalTime->GetTotalSeconds()));
        Click(bar->Get<TButton>("BtnQuit"));
      });
  RunBar(s);
  EXPECT_EQ(main_->EndMinute(), -1);
}

// A plan whose official start is three seconds ahead: the bar comes up at once and waits, the
// digits reading the time of day, the gauge and the bar's panel the start, the band the ends that
// will follow it; on its second the run starts by itself, from its whole length. The run's owner
// waits for it, with no bar as well: started by itself, or left for Run.
TEST_F(ControlBarTimed, APlanStartsItsRunByItselfAtItsOfficialStart) {
  FakeLocalClock wall(TimeOfDay(7, 59, 59, 600));
  for (const bool byItself : {true, false}) {
    wall.Shift(TimeOfDay(7, 59, 59, 600) - FakeLocalClock::At(Clock::now()));
    TRunOwner run;
    run.ChooseRun(-1);
    run.AwaitStart(8 * 60, byItself);
    EXPECT_TRUE(run.Session().Awaiting()) << byItself;
    EXPECT_TRUE(PumpUntil([&] { return !run.Session().Awaiting(); }, 3000)) << byItself;
    const int64_t endedAt = FakeLocalClock::At(Clock::now()) - TimeOfDay(8, 0, 0);
    EXPECT_GE(endedAt, 0) << byItself;
    EXPECT_LT(endedAt, 500) << byItself;
    Pump(300);
    EXPECT_EQ(run.Session().Open(), byItself);
    run.Stop();
  }
  wall.Shift(TimeOfDay(7, 59, 57, 500) - FakeLocalClock::At(Clock::now()));
  const std::string path = (std::filesystem::temp_directory_path() / "Bac blanc.tavelin").string();
  std::ofstream(path, std::ios::binary) << "Nom = Bac blanc\nDebut = 8h00\nDepart automatique = oui\n"
                                           "Epreuve = Philosophie ; 1h00 ; tiers-temps\nHorloge = oui\n";
  int64_t startedAt = -1;
  Scenario s;
  s.Then(300, [&] {
    TNavigChrono *bar = Bar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->Session().Awaiting());
    EXPECT_EQ(bar->Get<TPanel>("TotalTime").Caption(), "Début à 8 h 00");
    EXPECT_EQ(bar->WatchChrono().Gauge().Caption(), "Début à 8 h 00");
    EXPECT_EQ(Shown(*bar).substr(0, 6), "07:59:");
    ASSERT_NE(bar->WatchChrono().Band(), nullptr);
    EXPECT_EQ(bar->WatchChrono().Band()->Text(),
              "Il est 7 h 59   Début à 8 h 00   Fin 9 h 00   Tiers-temps 9 h 20");
    EXPECT_TRUE(PumpUntil([&] { return bar->Session().Open(); }, 5000));
    startedAt = FakeLocalClock::At(Clock::now()) - TimeOfDay(8, 0, 0);
    EXPECT_FALSE(bar->Session().Awaiting());
    EXPECT_EQ(Shown(*bar), "01:00:00");
    EXPECT_EQ(bar->WatchChrono().Gauge().Caption(), "");
    Click(bar->Get<TButton>("BtnQuit"));
  });
  s.Start();
  ASSERT_TRUE(main_->OpenPlan(path));
  EXPECT_TRUE(PumpUntil([&] { return s.Finished() && Application.ActiveForm() == main_.get(); }, 10000));
  std::printf("The run started %lld ms after 8:00:00\n", (long long)startedAt);
  EXPECT_GE(startedAt, 0);
  EXPECT_LT(startedAt, 500);
  std::filesystem::remove(path);
}

// Opened ten minutes after its official start, the plan asks; counted from the start, the run
// starts at once and ends as planned: fifty minutes left of the hour.
TEST_F(ControlBarTimed, APlanOpenedAfterItsStartCountsFromItWhenAsked) {
  FakeLocalClock wall(TimeOfDay(8, 10, 0, 500));
  const std::string path = (std::filesystem::temp_directory_path() / "En retard.tavelin").string();
  std::ofstream(path, std::ios::binary) << "Nom = En retard\nDebut = 8h00\nEpreuve = Maths ; 1h00\n";
  std::string question;
  WhenBoxOpens([&](HWND box) {
    ASSERT_NE(box, nullptr);
    question = BoxText(box);
    PostMessageA(box, WM_COMMAND, IDYES, 0);
  });
  Scenario s;
  s.Then(300, [&] {
    TNavigChrono *bar = Bar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return bar->Session().Open(); }, 3000));
    const std::string shown = Shown(*bar);
    EXPECT_TRUE(shown == "00:50:00" || shown == "00:49:59") << shown;
    Click(bar->Get<TButton>("BtnQuit"));
  });
  s.Start();
  ASSERT_TRUE(main_->OpenPlan(path));
  EXPECT_TRUE(PumpUntil([&] { return s.Finished() && Application.ActiveForm() == main_.get(); }, 10000));
  EXPECT_EQ(question, "Le début prévu, 8 h 00, est passé.\n\nOui : compter depuis 8 h 00, les fins "
                      "restent celles prévues.\nNon : compter depuis maintenant.");
  std::filesystem::remove(path);
}

// The same on the system's own clock, with an end two to three minutes ahead: the run takes the
// time left as its total, and its seconds turn with the wall clock's, whose next whole minute is
// the end. (Waiting for the end itself is left to the test above.)
TEST_F(ControlBarTimed, OnTheSystemClockTheSecondsTurnWithTheWallClock) {
  auto now = [] {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return TimeOfDay(t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  };
  if (now() > TimeOfDay(23, 56, 0)) GTEST_SKIP() << "too close to midnight";
  const int end = int(now() / 60'000 + 3);
  ChooseEnd(end / 60, end % 60);
  int64_t pressed = 0, turned = 0;
  uint32_t total = 0;
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    TickWatch watch(bar->WatchChrono());
    pressed = now();
    const DWORD pressedTick = GetTickCount();
    Click(bar->Get<TButton>("BtnRun"));
    // The run's own total, taken at Run (the settings keep the one worked out by the dialog).
    total = bar->Session().EngineStart();
    EXPECT_TRUE(PumpUntil([&] { return !watch.ticks.empty(); }, 5000));
    // When the first tick was posted, however late this thread took it.
    if (!watch.ticks.empty()) turned = pressed + int32_t(watch.ticks[0].postedAt - pressedTick);
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
  const int64_t left = end * 60'000 - pressed;
  EXPECT_GE(int64_t(total) * 1000, left - 100);
  EXPECT_LE(int64_t(total) * 1000, left + 1000);
  std::printf("Run pressed at %lld ms into a second; the first second turned %lld ms into one\n",
              (long long)(pressed % 1000), (long long)(turned % 1000));
  EXPECT_LT(turned % 1000, 200);
}

TEST_F(ControlBarTimed, AnEndPassedBeforeRunIsRefusedAndTheBarStaysAsItWas) {
  FakeLocalClock wall(TimeOfDay(10, 44, 58));
  ChooseEnd(10, 45);
  MessageBoxWatcher boxes;
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    std::string before = Shown(*bar);
    wall.Shift(3000);
    Click(bar->Get<TButton>("BtnRun"));
    EXPECT_TRUE(PumpUntil([&] { return !boxes.Boxes().empty(); }, 5000));
    const auto box = boxes.Boxes().empty() ? MessageBoxWatcher::Box{} : boxes.Boxes()[0];
    EXPECT_EQ(box.caption, "Avertissement");
    EXPECT_EQ(box.text, "L'heure de fin est déjà passée.");
    EXPECT_TRUE(Enabled(*bar, "BtnRun"));
    EXPECT_FALSE(Enabled(*bar, "BtnPause"));
    EXPECT_TRUE(bar->ThreadContainer()->Suspended());
    Pump(1200);
    EXPECT_EQ(Shown(*bar), before);
    EXPECT_EQ(bar->Get<TPanel>("TotalTime").Caption(), "Fin à 10 h 45");
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
}

// The next run's container is made after the end box and before the finished one goes: what the
// finished one posts in that moment is posted here, late.
int containersMade = 0;
std::unique_ptr<TMainThread> ContainerAfterALateCount(HWND navig, HWND watch,
                                                      const TRunEnds &ends) {
  if (++containersMade == 2) {
    PostMessageA(watch, WM_SET_OVERTIME, 0, 0);
    PostMessageA(watch, WM_SET_AMBER, 1, 0);
    PostMessageA(watch, WM_SET_DIGIT, 5, 7);
  }
  return CreateRunContainer(navig, watch, ends);
}

// The colour of digit `p` where its segment g (the middle one, lit for 2 to 6, 8, 9) is.
COLORREF MiddleSegment(TNavigChrono &bar, int p) {
  TBoxNumber &digit = bar.WatchChrono().Digit(p);
  gdi::WindowDC screen(nullptr);
  gdi::MemoryDC mem(screen.dc(), digit.Width(), digit.Height());
  digit.Paint(mem.dc());
  return GetPixel(mem.dc(), digit.Width() / 2, digit.Height() / 2);
}

TEST_F(ControlBarTimed, BeyondTheEndTheDigitsCountOnInRedWhileTheBoxIsUp) {
  AppConfig->CountOvertime = true;
  AppConfig->SetTypeInc(1);
  AppConfig->TotalTime->SetTotalSeconds(3);
  AppConfig->InterBeepTime->SetTotalSeconds(1);
  AppConfig->SetBeepActive(true);
  containersMade = 0;
  RunContainerMaker = &ContainerAfterALateCount;
  MessageBoxWatcher boxes(3600);
  std::unique_ptr<TickWatch> watch;
  Scenario s;
  s.Then(100, [&] {
     TNavigChrono *bar = Bar();
     EXPECT_EQ(MiddleSegment(*bar, 5), RGB(0, 255, 0));  // 3, green
     watch = std::make_unique<TickWatch>(bar->WatchChrono());
     Click(bar->Get<TButton>("BtnRun"));
   })
      .Then(10, [&] {
        TNavigChrono *bar = Bar();
        EXPECT_TRUE(PumpUntil([&] { return !boxes.Boxes().empty() && Enabled(*bar, "BtnRun"); },
                              15000));
        // While the box was up (3.6 s from the end), the seconds beyond the end, red on a full
        // gauge, every one of them.
        std::vector<std::string> beyond;
        for (const TickWatch::Tick &t : watch->ticks) {
          if (t.colour != TBoxNumber::OvertimeColor) continue;
          beyond.push_back(t.shown);
          EXPECT_EQ(t.progress, 3u) << t.shown;
        }
        ASSERT_GE(beyond.size(), 4u);
        EXPECT_EQ(std::vector<std::string>(beyond.begin(), beyond.begin() + 4),
                  (std::vector<std::string>{"00:00:00", "00:00:01", "00:00:02", "00:00:03"}));
        EXPECT_EQ(Sounds(), (std::vector<std::string>{"beep@res", "beep@res", "beep@res", "fin@res"}));
        // OK resets the display as after any run, and nothing of the count comes after it.
        EXPECT_EQ(containersMade, 2);
        Pump(1500);
        EXPECT_EQ(Shown(*bar), "00:00:03");
        EXPECT_EQ(MiddleSegment(*bar, 5), RGB(0, 255, 0));
        for (int p = 0; p < 6; ++p) EXPECT_FALSE(bar->WatchChrono().Digit(p).Overtime()) << p;
        EXPECT_EQ(bar->WatchChrono().Gauge().Progress(), 0u);
        EXPECT_TRUE(bar->ThreadContainer()->Suspended());
        Click(bar->Get<TButton>("BtnQuit"));
      });
  RunBar(s);
}

// ---------------------------------------------------------------- a run that nothing ends by accident

// The UTC wall clock, `utcShiftMs` ahead of the system's.
int64_t utcShiftMs = 0;
void WINAPI ShiftedUtc(LPFILETIME time) {
  GetSystemTimeAsFileTime(time);
  uint64_t t = (uint64_t{time->dwHighDateTime} << 32 | time->dwLowDateTime) + utcShiftMs * 10'000;
  *time = {DWORD(t), DWORD(t >> 32)};
}

// A 20-minute count-down started 603.4 s ago, whose Tavelin went (its record last written) a
// minute ago, is offered back and taken up on its place; one whose end came meanwhile is told;
// one still open in another Tavelin is neither. The duration that a command line gave the run
// stays for this session only, and at its end the bar leaves another Tavelin's record.
TEST_F(ControlBar, AtStartAnInterruptedRunIsTakenUpWhereTheWallClockPutsIt) {
  const int64_t now = UtcMsNow();
  TRunRecord run{1200, 45, now - 1'500'000, 0, 0, now - 1'200'000, -1, 0, 2, 1, true};
  WriteRunRecord(run);
  MessageBoxWatcher boxes;
  HoldRunOpen(true);
  EXPECT_FALSE(FindInterruptedRun(true));
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_TRUE(ReadValue(SettingsKey(), "RunState").exists);
  HoldRunOpen(false);
  EXPECT_FALSE(FindInterruptedRun(true));
  EXPECT_FALSE(ReadValue(SettingsKey(), "RunState").exists);
  run.StartUtcMs = now - 603'400;
  run.SavedUtcMs = now - 60'000;
  run.SessionOnly = 1;  // TotalTime
  run.AddedSeconds = 120;  // of its 1200 s
  WriteRunRecord(run);
  const uint32_t storedTotal = AppConfig->TotalTime->GetTotalSeconds();
  const TRunRecord other{600, 0, now - 1'000, 0, 0, now, -1};
  const std::optional<TRunRecord> found = FindInterruptedRun(true);
  ASSERT_TRUE(found);
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(boxes.Boxes()[0].text,
            "Le chronométrage interrompu s'est terminé à " + LocalHourText(now - 300'000) + ".");
  // Journaled to its end, at the second it came, so that its procès-verbal can be written.
  ASSERT_FALSE(LatestJournal().Events().empty());
  EXPECT_EQ(LatestJournal().Events().back().Event, std::string(journal::End));
  EXPECT_EQ(LatestJournal().Events().back().At, JournalTimeAt(now - 300'000));
  EXPECT_EQ(LatestJournal().RunStart(), JournalTimeAt(now - 1'500'000));
  // An event of the last minute keeps its own second too, by the local clock read now.
  SYSTEMTIME local{};
  GetLocalTime(&local);
  const TJournalTime ago = JournalTimeAt(UtcMsNow() - 21'000);
  EXPECT_LE((local.wSecond + 120 - 21 - ago.Second) % 60, 1) << ago.Second;
  EXPECT_EQ(boxes.Boxes()[1].caption, AppConfig->GetTitleText(1));
  EXPECT_EQ(boxes.Boxes()[1].text, "Un chronométrage commencé à " + LocalHourText(now - 603'400) +
                                       " a été interrompu ; il en serait à 0:09:57. Le reprendre ?");
  EXPECT_EQ(boxes.Boxes()[1].buttons, "&Oui|&Non|") << "whatever the system's language";
  std::string shown;
  int64_t left = 0;
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    shown = Shown(*bar);
    left = 1200 - (UtcMsNow() - run.StartUtcMs) / 1000;
    EXPECT_EQ(bar->Get<TPanel>("BeepTime").Caption(), "inter beep: 0 H 00 min 45 sec");
    const TRunRecordBytes otherBytes = PackRunRecord(other);
    WriteRaw(SettingsKey(), "RunState", REG_BINARY, otherBytes.data(), DWORD(otherBytes.size()));
    Click(bar->Get<TButton>("BtnQuit"));
  });
  s.Start();
  TakeUpRun(*found);
  // The second that the wall clock gives, or the one before if it has only just turned.
  auto expectShownLeft = [&] {
    ASSERT_EQ(shown.size(), 8u);
    const int shownLeft = std::stoi(shown.substr(3, 2)) * 60 + std::stoi(shown.substr(6, 2));
    EXPECT_TRUE(shownLeft == left || shownLeft == left + 1) << shown << " for " << left << " s";
  };
  expectShownLeft();
  EXPECT_TRUE(ReadValue(SettingsKey(), "RunState").exists) << "another Tavelin's record";
  EXPECT_EQ(AppConfig->TotalTime->GetTotalSeconds(), 1080u) << "the duration chosen, not as moved";
  AppConfig->Save();
  EXPECT_EQ(ReadValue(SettingsKey(), "TotalTime").Dword(), storedTotal);
  EXPECT_EQ(ReadValue(SettingsKey(), "InterBeepTime").Dword(), 45u);

  // Taken up before any window shows it: its record kept, other Tavelins kept off it, the screen
  // awake; a bar made 1.5 s later shows it where it stands, what the engine posted meanwhile
  // having waited for it, and closing the bar ends it.
  ExecutionStates().clear();
  TRunOwner owner;
  owner.Session().TakeUp(*found, {});
  EXPECT_TRUE(RunOpenInATavelin());
  EXPECT_EQ(ExecutionStates(), std::vector<EXECUTION_STATE>{KeepAwake});
  Pump(1500);
  Scenario later;
  later.Then(100, [&] {
    shown = Shown(*Bar());
    left = 1200 - (UtcMsNow() - run.StartUtcMs) / 1000;
    Click(Bar()->Get<TButton>("BtnQuit"));
  });
  later.Start();
  {
    TNavigChrono bar(main_.get(), owner);
    bar.HeldByCaller = true;
    bar.ShowModal();
  }
  expectShownLeft();
  EXPECT_FALSE(RunOpenInATavelin());
  EXPECT_FALSE(ReadValue(SettingsKey(), "RunState").exists);
  EXPECT_EQ(ExecutionStates(), (std::vector<EXECUTION_STATE>{KeepAwake, ES_CONTINUOUS}));
}

// Ten minutes of sleep on a clock that did not count them (Wine's): on waking, the display is ten
// minutes further in one step. The record lives from Run to the quit button.
TEST_F(ControlBar, OnWakingTheRunTakesItsPlaceFromTheWallClock) {
  AppConfig->TotalTime->SetTotalSeconds(3600);
  AppConfig->SetTypeInc(1);
  utcShiftMs = 0;
  UtcTimeProc = &ShiftedUtc;
  std::string woken;
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    Click(bar->Get<TButton>("BtnRun"));
    EXPECT_GT(ReadValue(SettingsKey(), "RunState").data.size(), RunRecordSize);  // its events with it
    EXPECT_TRUE(PumpUntil([&] { return Shown(*bar) == "00:59:59"; }, 5000));
    utcShiftMs = 600'000;
    SendMessageA(bar->Handle(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    // Far sooner than the seconds of the run would take it there.
    EXPECT_TRUE(PumpUntil([&] { return Shown(*bar).substr(0, 5) == "00:49"; }, 5000));
    woken = Shown(*bar);
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
  EXPECT_EQ(woken.substr(0, 5), "00:49") << woken;
  EXPECT_FALSE(ReadValue(SettingsKey(), "RunState").exists);
}

// Before Run, a tiers-temps run to 10:45 chosen at 10:30:20 shows its scale to the extended end on
// a whole minute, 10:50, and its mark at 10:45.
TEST_F(ControlBarTimed, BeforeRunTheGaugeOfATiersTempsRunToATimeOfDayReachesAWholeMinute) {
  FakeLocalClock wall(TimeOfDay(10, 30, 20));
  AppConfig->ExtraThird = true;
  ChooseEnd(10, 45);
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    EXPECT_NEAR(bar->WatchChrono().Gauge().Mark(), 880, 1);
    EXPECT_NEAR(bar->WatchChrono().Gauge().MaxValue(), 1180, 1);
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
}

// The clock set five minutes on during a run to 10:45 chosen at 10:30: the count-down shows ten
// minutes left at the next second, and the gauge's scale follows; a sleep before Run changes
// nothing to it.
TEST_F(ControlBarTimed, SettingTheClockMovesARunToATimeOfDay) {
  FakeLocalClock wall(TimeOfDay(10, 30, 0));
  ChooseEnd(10, 45);
  Scenario s;
  s.Then(100, [&] {
    TNavigChrono *bar = Bar();
    SendMessageA(bar->Handle(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    SendMessageA(bar->Handle(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    Click(bar->Get<TButton>("BtnRun"));
    EXPECT_TRUE(PumpUntil([&] { return Shown(*bar).substr(0, 5) == "00:14"; }, 5000));
    wall.Shift(300'000);
    SendMessageA(bar->Handle(), WM_TIMECHANGE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return Shown(*bar).substr(0, 5) == "00:09"; }, 5000)) << Shown(*bar);
    EXPECT_NEAR(bar->WatchChrono().Gauge().MaxValue(), 600, 2);
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
}

}  // namespace

namespace {

// The steady clock twenty times faster: two minutes of a run in six seconds.
class TFastClock final : public TChronoClock {
public:
  static constexpr int Pace = 20;
  TInstant Now() override { return (Clock::now() - origin_) * Pace; }
  void WaitUntil(std::unique_lock<TEngineMutex> &lock, TEngineCondition &wake,
                 TInstant deadline) override {
    if (deadline == NoDeadline) return wake.wait(lock);
    wake.wait_until(lock, origin_ + std::chrono::duration_cast<Clock::duration>(deadline / Pace));
  }

private:
  Clock::time_point origin_ = Clock::now();
};

std::unique_ptr<TMainThread> FastRun(HWND navig, HWND watch, const TRunEnds &ends) {
  static TFastClock clock;
  return CreateRunContainer(navig, watch, ends, clock);
}

}  // namespace

// A 2-min count-down with a warning at 1 min: from 00:01:00 on the digits are amber and the gauge
// reads "Plus que 1 min"; the warning's sound comes once, in place of the beep due then.
TEST_F(ControlBarTimed, TheDigitsTurnAmberAtTheWarning) {
  AppConfig->SetTypeInc(1);
  AppConfig->TotalTime->SetTotalSeconds(120);
  AppConfig->InterBeepTime->SetTotalSeconds(60);
  AppConfig->SetBeepActive(true);
  AppConfig->WarnMinutes = "1";
  RunContainerMaker = &FastRun;
  MessageBoxWatcher boxes;
  std::unique_ptr<TickWatch> watch;
  Scenario s;
  s.Then(100, [&] {
     watch = std::make_unique<TickWatch>(Bar()->WatchChrono());
     Click(Bar()->Get<TButton>("BtnRun"));
   }).Then(10, [&] {
    TNavigChrono *bar = Bar();
    EXPECT_TRUE(PumpUntil([&] { return !boxes.Boxes().empty() && Enabled(*bar, "BtnRun"); }, 20000));
    // Every tick shown, in the colour of its time left; a stall of the engine may jump over some.
    bool jumped = false, sawText = false;
    std::set<std::string> shown;
    for (size_t i = 0; i < watch->ticks.size(); ++i) {
      const TickWatch::Tick &t = watch->ticks[i];
      shown.insert(t.shown);
      jumped |= t.progress != (i ? watch->ticks[i - 1].progress : 0) + 1;
      sawText |= t.caption == "Plus que 1 min";
      EXPECT_EQ(t.colour, t.shown > "00:01:00" ? TBoxNumber::UsualColor : TBoxNumber::WarningColor)
          << t.shown;
    }
    if (!jumped) {
      EXPECT_EQ(shown.size(), 120u);
      EXPECT_TRUE(shown.count("00:01:01") && shown.count("00:01:00") && shown.count("00:00:00"));
    }
    std::printf("Ticks seen: %u%s\n", unsigned(watch->ticks.size()), jumped ? ", a stall jumped" : "");
    EXPECT_TRUE(sawText);
    EXPECT_EQ(Sounds(), (std::vector<std::string>{"warn@res", "beep@res", "fin@res"}));
    EXPECT_EQ(bar->WatchChrono().Digit(5).LitColor(), TBoxNumber::UsualColor);
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
}

// Tiers-temps on a 6-s count-down: the gauge runs over 8 s with a mark at 6, "Fin du temps normal"
// and the warning's sound at 6 s, the end box at 8 s.
// Time given back: the window menu offers it only once an end is to come; its dialog says what
// the minutes typed would change, and OK moves the end. A 1-min count-down given 1 min more (on a
// clock twenty times faster) ends after 6 s instead of 3, the panel saying so meanwhile; the
// journal keeps the run's events with the reason.
TEST_F(ControlBarTimed, TimeAddedMovesTheEndAndTheDialogSaysHow) {
  constexpr UINT TimeAdded = 0x0110;
  AppConfig->SetTypeInc(1);
  AppConfig->TotalTime->SetTotalSeconds(60);
  AppConfig->WarnMinutes = "1";
  RunContainerMaker = &FastRun;
  MessageBoxWatcher boxes;
  Clock::time_point runAt;
  std::vector<std::string> lines;
  std::string panel;
  UINT before = 0, during = 0;
  auto offered = [&] {
    HMENU menu = GetSystemMenu(Bar()->Handle(), FALSE);
    SendMessageA(Bar()->Handle(), WM_INITMENU, WPARAM(menu), 0);
    char text[64] = {};
    GetMenuStringA(menu, TimeAdded, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "Temps a&jouté...");
    return GetMenuState(menu, TimeAdded, MF_BYCOMMAND) & MF_GRAYED;
  };
  Clock::time_point boxAt;
  Scenario s;
  s.Then(100, [&] {
    before = offered();
    runAt = Clock::now();
    Click(Bar()->Get<TButton>("BtnRun"));
    Click(Bar()->Get<TButton>("BtnPause"));
    Click(Bar()->Get<TButton>("BtnRun"));
    during = offered();
    Later(200, [&] {
      TForm *dialog = FormByCaption(main_->Caption() + " - Temps ajouté");
      ASSERT_NE(dialog, nullptr);
      for (const char *typed : {"-1", "1"}) {
        TypeText(dialog->Get<TSpinEdit>("SpinMinutes"), typed);
        lines.push_back(dialog->Get<TStaticText>("TextChange1").Text());
      }
      TypeText(dialog->Get<TComboBox>("ComboReason"), "Sujets en retard");
      Click(dialog->Get<TButton>("BtnOk"));
      // Once the dialog has gone, in the bar's own loop.
      Later(50, [&] {
        TNavigChrono *bar = Bar();
        panel = bar->Get<TPanel>("TotalTime").Caption();
        EXPECT_TRUE(PumpUntil([&] { return !boxes.Boxes().empty() && Enabled(*bar, "BtnRun"); },
                              15000));
        if (!boxes.Boxes().empty()) boxAt = boxes.Boxes()[0].shownAt;
        Click(bar->Get<TButton>("BtnQuit"));
      });
    });
    PostMessageA(Bar()->Handle(), WM_SYSCOMMAND, TimeAdded, 0);
  });
  RunBar(s);
  const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(boxAt - runAt);
  EXPECT_GT(after.count(), 5500);
  EXPECT_LT(after.count(), 7500);
  EXPECT_EQ(before, UINT(MF_GRAYED));
  EXPECT_EQ(during, 0u);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("Temps total porté de 0:01:00 à 0:00:", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1], "Temps total porté de 0:01:00 à 0:02:00");
  EXPECT_EQ(panel, "Temps Total: 0:02:00 (+1 min)");
  std::vector<std::string> events;
  for (const TJournalEvent &e : LatestJournal().Events()) events.push_back(e.Event + ": " + e.Detail);
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0].rfind("Début: Compte à rebours de 0:01:00, fin ", 0), 0u) << events[0];
  EXPECT_EQ(events[1].rfind("Pause: à 0:0", 0), 0u) << events[1];  // what the digits showed
  EXPECT_EQ(events[2], "Reprise: 0:00:00");  // the pause's length
  EXPECT_EQ(events[3].rfind("Temps ajouté: 1 min de plus, Sujets en retard, fin ", 0), 0u) << events[3];
  EXPECT_EQ(events[4], "Avertissement: 1 min");
  EXPECT_EQ(events[5], "Fin: ");
}

// Three épreuves of 30 s, 1 min and 1 min 30, as a command line gives them, on a clock twenty
// times faster: the digits read the time of day, the table stands under the gauge with the bar
// under it, each épreuve that ends before the last sounds the end, and the end box comes at the
// last end; the journal names each épreuve's lines.
TEST_F(ControlBarTimed, ARunOfThreeEpreuvesEndsAtTheLastOfThem) {
  AppConfig->ApplyCommandLine(
      ParseCommandLine({"/duree:0:00:30", "/epreuve:Oral=0:01:00", "/epreuve:Écrit=0:01:30"}), 0);
  RunContainerMaker = &FastRun;
  MessageBoxWatcher boxes;
  Clock::time_point runAt, boxAt;
  std::string digits, clock, panel;
  Scenario s;
  s.Then(100, [&] {
     TNavigChrono *bar = Bar();
     TWatchChrono &display = bar->WatchChrono();
     ASSERT_TRUE(display.Board() && display.Table());
     RECT shown, under;
     GetWindowRect(display.Handle(), &shown);
     GetWindowRect(bar->Handle(), &under);
     EXPECT_EQ(under.top, shown.bottom);
     EXPECT_EQ(display.Gauge().MaxValue(), 90u);
     runAt = Clock::now();
     Click(bar->Get<TButton>("BtnRun"));
     panel = bar->Get<TPanel>("TotalTime").Caption();
     Later(1500, [&] {
       TWatchChrono &d = Bar()->WatchChrono();
       SYSTEMTIME now;
       GetLocalTime(&now);
       for (int p = 0; p < 4; ++p) digits += char('0' + d.Digit(p).CurrentNumber());
       char text[8];
       std::snprintf(text, sizeof text, "%02u%02u", now.wHour, now.wMinute);
       clock = text;
     });
   }).Then(10, [&] {
    TNavigChrono *bar = Bar();
    EXPECT_TRUE(PumpUntil([&] { return !boxes.Boxes().empty() && Enabled(*bar, "BtnRun"); }, 20000));
    if (!boxes.Boxes().empty()) boxAt = boxes.Boxes()[0].shownAt;
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
  EXPECT_EQ(digits, clock);
  // The first to end, its name cut to fit the panel at a two-digit hour.
  EXPECT_EQ(panel.rfind("Épreuv", 0), 0u) << panel;
  EXPECT_NE(panel.find(" : fin à "), std::string::npos) << panel;
  const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(boxAt - runAt);
  EXPECT_GT(after.count(), 4000);
  EXPECT_LT(after.count(), 6000);
  EXPECT_EQ(Sounds(), (std::vector<std::string>{"fin@res", "fin@res", "fin@res"}));
  std::vector<std::string> events;
  for (const TJournalEvent &e : LatestJournal().Events()) events.push_back(e.Paper + ": " + e.Event);
  EXPECT_EQ(events, (std::vector<std::string>{"Épreuve 1: Début", "Oral: Début", "Écrit: Début",
                                              "Épreuve 1: Fin", "Oral: Fin", ": Fin"}));
}

// A 3-min count-down on a clock twenty times faster, candidates free to leave 1 min after the
// start: the band says from when, then that they may, and the journal has the line. With the time
// of day in the digits, the table says it under the run's own line, which reads the time left.
TEST_F(ControlBarTimed, TheMomentToLeaveIsShownThenSaidAndJournaled) {
  AppConfig->ShowClock = true;
  AppConfig->SecondsNearEnd = 2;  // dark with 3 min left, but on a clock
  RunContainerMaker = &FastRun;
  for (const bool clock : {false, true}) {
    SCOPED_TRACE(clock ? "/heure" : "band");
    std::vector<std::string> words = {"/duree:3", "/negatif", "/sortie:1"};
    if (clock) words.push_back("/heure");
    AppConfig->ApplyCommandLine(ParseCommandLine(words), 0);
    std::string before, after, wanted, end, digits, wall, title;
    bool dark = false;
    Scenario s;
    s.Then(100, [&] {
      TNavigChrono *bar = Bar();
      TWatchChrono &d = bar->WatchChrono();
      auto read = [&d] {
        if (d.Band()) return d.Band()->Text();
        std::string lines;
        for (const TBoardLine &l : d.Table() ? d.Table()->Lines() : std::vector<TBoardLine>{})
          lines += l.Name + "|" + l.End + "|" + l.Left.substr(0, 5) + "\n";
        return lines;
      };
      SYSTEMTIME now;
      GetLocalTime(&now);
      Click(bar->Get<TButton>("BtnRun"));
      wanted = MinuteText(now.wHour * 60 + now.wMinute + 1);
      end = MinuteText(now.wHour * 60 + now.wMinute + 3);
      PumpUntil([&] { return read().find("Sortie") != std::string::npos; }, 1500);
      before = read();
      dark = d.Digit(4).Dark() && d.Digit(5).Dark();
      // The time-added dialog says how far it would move.
      const std::vector<std::string> lines = bar->Session().AddedLines(5);
      EXPECT_EQ(lines.empty() ? "" : lines.back(),
                "Sortie reportée de " + wanted + " à " + MinuteText(now.wHour * 60 + now.wMinute + 6));
      EXPECT_TRUE(PumpUntil([&] { return read().find("autoris") != std::string::npos; }, 6000));
      after = read();
      GetLocalTime(&now);
      for (int p = 0; p < 4; ++p) digits += char('0' + d.Digit(p).CurrentNumber());
      char text[8];
      std::snprintf(text, sizeof text, "%02u%02u", now.wHour, now.wMinute);
      wall = text;
      char caption[64] = {};
      GetWindowTextA(d.Handle(), caption, sizeof caption);
      title = caption;
      SendMessageA(bar->Handle(), WM_CLOSE, 0, 0);
    });
    RunBar(s);
    EXPECT_EQ(dark, !clock);
    if (clock) {
      EXPECT_EQ(before, "Épreuve 1|fin " + end + "|reste\nSortie|à partir de " + wanted + "|\n");
      EXPECT_EQ(after.substr(after.find("Sortie")), "Sortie|autorisée|\n");
      EXPECT_EQ(digits, wall);
      EXPECT_EQ(title.substr(title.find(" - ")), " - heure");
    } else {
      EXPECT_NE(before.find("   Sortie à partir de " + wanted), std::string::npos) << before;
      EXPECT_NE(after.find("   Sortie autorisée"), std::string::npos) << after;
    }
    std::vector<std::string> events;
    for (const TJournalEvent &e : LatestJournal().Events()) events.push_back(e.Event);
    EXPECT_EQ(events, (std::vector<std::string>{"Début", "Sortie autorisée", "Arrêt"}));
  }
}

TEST_F(ControlBarTimed, ATiersTempsRunEndsAThirdLater) {
  AppConfig->SetTypeInc(1);
  AppConfig->TotalTime->SetTotalSeconds(6);
  AppConfig->ExtraThird = true;
  MessageBoxWatcher boxes;
  Clock::time_point runAt;
  std::unique_ptr<TickWatch> watch;
  Scenario s;
  s.Then(100, [&] {
     TNavigChrono *bar = Bar();
     EXPECT_EQ(bar->WatchChrono().Gauge().MaxValue(), 8u);
     EXPECT_EQ(bar->WatchChrono().Gauge().Mark(), 6u);
     EXPECT_EQ(bar->Get<TPanel>("TotalTime").Caption(), "Temps Total: 0:00:06 · 0:00:08");
     watch = std::make_unique<TickWatch>(bar->WatchChrono());
     runAt = Clock::now();
     Click(bar->Get<TButton>("BtnRun"));
   }).Then(10, [&] {
    TNavigChrono *bar = Bar();
    EXPECT_TRUE(PumpUntil([&] { return !boxes.Boxes().empty() && Enabled(*bar, "BtnRun"); }, 15000));
    const auto box = boxes.Boxes().empty() ? MessageBoxWatcher::Box{} : boxes.Boxes()[0];
    const auto boxAfter = std::chrono::duration_cast<std::chrono::milliseconds>(box.shownAt - runAt);
    EXPECT_GT(boxAfter.count(), 7700);
    EXPECT_LT(boxAfter.count(), 9000);
    std::vector<std::string> captions;
    for (const TickWatch::Tick &t : watch->ticks) captions.push_back(t.caption);
    ASSERT_EQ(captions.size(), 8u);
    EXPECT_NE(captions[4], "Fin du temps normal");
    EXPECT_EQ(captions[5], "Fin du temps normal");  // at 6 s, on to the end
    EXPECT_EQ(captions[6], "Fin du temps normal");
    EXPECT_EQ(Sounds(), (std::vector<std::string>{"warn@res", "fin@res"}));
    Click(bar->Get<TButton>("BtnQuit"));
  });
  RunBar(s);
}

// The band under the gauge at a fixed size and at full width: the time of day read, the bar under
// the band and, at full width, all of it within the work area.
TEST_F(ControlBar, TheClockBandStandsUnderTheGaugeAndTheBarUnderIt) {
  AppConfig->ShowClock = true;
  for (int32_t size : {2, FirstFullWidthSize}) {
    AppConfig->UserScreenSize = size;
    Scenario s;
    s.Then(100, [&] {
      TNavigChrono *bar = Bar();
      TWatchChrono &display = bar->WatchChrono();
      ASSERT_NE(display.Band(), nullptr);
      EXPECT_EQ(display.Band()->Text().rfind("Il est ", 0), 0u) << display.Band()->Text();
      EXPECT_EQ(display.Band()->Top(), display.Gauge().Top() + display.Gauge().Height());
      RECT d, b, work;
      GetWindowRect(display.Handle(), &d);
      GetWindowRect(bar->Handle(), &b);
      SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
      EXPECT_GE(d.bottom - d.top, display.Band()->Top() + display.Band()->Height()) << size;
      EXPECT_GE(b.top, d.bottom) << size;
      EXPECT_LE(b.bottom, work.bottom) << size;
      Click(bar->Get<TButton>("BtnQuit"));
    });
    RunBar(s);
  }
}
