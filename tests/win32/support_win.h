#pragma once
// Shared by the tests that run under Wine: the application object set up once, the settings key
// of this test program, registry reading, message pumping and a watcher that answers message
// boxes (recording what they said) so that a test never blocks on one.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/UMain.h"
#include "display/uNavigChrono.h"
#include "forms/uApplication.h"
#include "forms/uForms.h"
#include "settings/uConfig.h"
#include "timing/uSound.h"
#include "timing/uWallClock.h"

namespace testwin {

// HKCU path of this program's settings (the key AppConfig uses).
std::string SettingsKey();
// Removes everything under HKCU\Software\Fenwright (an empty registry of ours).
void ResetRegistry();

struct RegValue {
  bool exists = false;
  DWORD type = 0;
  std::vector<uint8_t> data;
  uint32_t Dword() const;
  std::string String() const;
};
RegValue ReadValue(const std::string &key, const std::string &name);
void WriteDword(const std::string &key, const std::string &name, uint32_t value);
void WriteString(const std::string &key, const std::string &name, const std::string &value);
void WriteRaw(const std::string &key, const std::string &name, DWORD type, const void *data,
              DWORD size);

// Dispatches messages through the application for about `ms` milliseconds.
void Pump(int ms = 50);
// Dispatches messages until `done` holds (true) or `timeoutMs` has passed (false).
bool PumpUntil(const std::function<bool()> &done, int timeoutMs);

// A fresh AppConfig for the length of a test; the registry is whatever the test prepared.
class ConfigScope {
public:
  ConfigScope();
  ~ConfigScope();
};

// A fresh registry of ours, a fresh AppConfig and the main window shown, for each test.
class MainWindowTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // What the registry holds before AppConfig loads it.
  virtual void PrepareRegistry() {}
  std::unique_ptr<ConfigScope> config_;
  std::unique_ptr<TMain> main_;
};

// Answers every message box of this process with its first button, keeping caption and text;
// `answerAfterMs` after the box showed (at once by default).
class MessageBoxWatcher {
public:
  explicit MessageBoxWatcher(int answerAfterMs = 0);
  ~MessageBoxWatcher();
  struct Box {
    std::string caption, text;
    std::string buttons;  // their texts, in order, each followed by "|"
    std::chrono::steady_clock::time_point shownAt;  // when the watcher first saw it
  };
  std::vector<Box> Boxes();

private:
  void Run();
  const int answerAfterMs_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Box> boxes_;
  std::thread thread_;
};

// The message box of this process on the screen, or null.
HWND OpenMessageBox();
// Runs `step` with the message box as soon as one other than `besides` opens (from the box's own
// loop, like any Later step); after `timeoutMs` without one, runs it with null.
void WhenBoxOpens(std::function<void(HWND box)> step, HWND besides = nullptr,
                  int timeoutMs = 10000);
// The text of a message box.
std::string BoxText(HWND box);
// A box of ours during a run: above the display in the window order, under the display and the
// bar on the screen, centred on the monitor's width, active and holding the keyboard focus.
void ExpectInFrontOfTheRun(HWND box, HWND display, HWND bar);
// Enter, as the keyboard sends it to the window with the focus.
void PressEnter();

// What the application's exception handler would have shown, instead of a message box.
class ExceptionCatcher {
public:
  ExceptionCatcher();
  ~ExceptionCatcher();
  std::vector<std::string> messages;
};

// Runs `step` on this thread after `ms` milliseconds, from whatever message loop runs then (a
// modal dialog's, say); an exception inside it is reported as a test failure.
void Later(int ms, std::function<void()> step);

// Steps run one after another, each `delay` after the one before, inside the modal loops that a
// test opens (the control bar, a dialog): as a user acting on the open window.
class Scenario {
public:
  Scenario &Then(int delayMs, std::function<void()> step);
  void Start() { Next(); }
  bool Finished() const { return next_ >= steps_.size(); }

private:
  void Next();
  std::vector<std::pair<int, std::function<void()>>> steps_;
  size_t next_ = 0;
};

// What the sound routines ask the player, recorded instead of played while a recorder lives.
struct PlayCall {
  std::string sound;
  HMODULE module;
  DWORD flags;
};
class SoundRecorder {
public:
  SoundRecorder();
  ~SoundRecorder();
  static std::vector<PlayCall> &Calls();
  // The player that was in place before (the program's own, outside tests).
  TPlaySoundProc Saved() const { return saved_; }

private:
  TPlaySoundProc saved_;
};

// The program's local wall clock, reading `msOfDay` (milliseconds since midnight) now and going
// on at the real pace, for as long as it lives.
class FakeLocalClock {
public:
  explicit FakeLocalClock(int64_t msOfDay);
  ~FakeLocalClock();
  // The time of day it reads at a moment of the steady clock.
  static int64_t At(std::chrono::steady_clock::time_point when);
  // Moves it on (or back) at once.
  void Shift(int64_t ms);
};
constexpr int64_t TimeOfDay(int h, int m, int s, int ms = 0) {
  return ((int64_t{h} * 60 + m) * 60 + s) * 1000 + ms;
}

// Every tick of a run as the display showed it, seen from the display's own messages (its window
// subclassed while the watch lives), so that no value shown goes unseen however busy the machine
// is. A tick begins with its progress, or beyond the end with its seconds; its state is the
// display's after the last message of it taken so far.
class TickWatch {
public:
  struct Tick {
    uint32_t progress = 0;  // the gauge's
    std::string shown;      // "hh:mm:ss"
    COLORREF colour = 0;    // the digits' lit colour
    std::string caption;    // the gauge's text
    DWORD postedAt = 0;     // GetTickCount when the tick's first message was posted
  };
  explicit TickWatch(TWatchChrono &display);
  ~TickWatch();
  std::vector<Tick> ticks;

private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  TWatchChrono &display_;  // read only from its window's messages
  HWND wnd_;
  WNDPROC inner_;
  bool secondsTaken_ = true;  // the tick under way has had its seconds
};

// The item of a form's pop-up menu that reads `caption`, or nullptr.
TMenuItem *MenuItemByText(TForm &form, const std::string &caption);
// A top-level window of this process by its caption, as the form that it is (or nullptr).
TForm *FormByCaption(const std::string &caption);

// A key press as the user makes it, through the application's key handling.
void PressKey(HWND target, UINT vk, bool ctrl = false);
// A click on a windowed control as the user makes it (BM_CLICK for buttons).
void Click(TWinControl &control);
// Types a text into an edit box (the box raises its change notification).
void TypeText(TWinControl &edit, const std::string &text);

}  // namespace testwin
