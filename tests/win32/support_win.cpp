#include <windows.h>

#include "support_win.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>

#include "display/uNavigChrono.h"
#include "settings/uConfigTypes.h"

namespace testwin {

namespace {
class WinEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    Application.Initialize(GetModuleHandleA(nullptr));
    // What Windows would refuse fails the test, although Wine lets it pass.
    gdi::SetMisuseHandler([](const char *what) { ADD_FAILURE() << what; });
  }
};
const auto *const environment = ::testing::AddGlobalTestEnvironment(new WinEnvironment);
}  // namespace

std::string SettingsKey() {
  return "Software\\Fenwright\\" + ExeBaseName(Application.ExeName()) + "\\1";
}

void ResetRegistry() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Fenwright"); }

uint32_t RegValue::Dword() const {
  uint32_t v = 0;
  if (data.size() >= 4) memcpy(&v, data.data(), 4);
  return v;
}

std::string RegValue::String() const {
  std::string s(data.begin(), data.end());
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

RegValue ReadValue(const std::string &key, const std::string &name) {
  RegValue v;
  HKEY k;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return v;
  DWORD size = 0;
  if (RegQueryValueExA(k, name.c_str(), nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
    v.data.resize(size);
    RegQueryValueExA(k, name.c_str(), nullptr, &v.type, v.data.data(), &size);
    v.exists = true;
  }
  RegCloseKey(k);
  return v;
}

void WriteRaw(const std::string &key, const std::string &name, DWORD type, const void *data,
              DWORD size) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(k, name.c_str(), 0, type, static_cast<const BYTE *>(data), size),
            ERROR_SUCCESS);
  RegCloseKey(k);
}

void WriteDword(const std::string &key, const std::string &name, uint32_t value) {
  WriteRaw(key, name, REG_DWORD, &value, sizeof value);
}

void WriteString(const std::string &key, const std::string &name, const std::string &value) {
  WriteRaw(key, name, REG_SZ, value.c_str(), DWORD(value.size() + 1));
}

void Pump(int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  MSG msg;
  do {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;  // a closed main window in a test ends nothing
      Application.ProcessMessage(msg);
    }
    Sleep(5);
  } while (std::chrono::steady_clock::now() < end);
}

bool PumpUntil(const std::function<bool()> &done, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    Pump(5);
  }
  return true;
}

ConfigScope::ConfigScope() { CreateAppConfig(); }
ConfigScope::~ConfigScope() { ReleaseAppConfig(); }

void MainWindowTest::SetUp() {
  ResetRegistry();
  PrepareRegistry();
  // The bar closed on a run stops it without a question, but where a test asks it itself.
  AskStopRun = [](TNavigChrono &) { return true; };
  config_ = std::make_unique<ConfigScope>();
  main_ = std::make_unique<TMain>();
  Main = main_.get();
  Application.SetMainForm(main_.get());
  main_->Show();
  Pump(50);
}

void MainWindowTest::TearDown() {
  Application.SetMainForm(nullptr);
  Main = nullptr;
  main_.reset();
  config_.reset();
  AskStopRun = &StopRunBox;
  Pump(20);
  ResetRegistry();
}

MessageBoxWatcher::MessageBoxWatcher(int answerAfterMs)
    : answerAfterMs_(answerAfterMs), thread_([this] { Run(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.join();
}

std::vector<MessageBoxWatcher::Box> MessageBoxWatcher::Boxes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

namespace {
struct Found {
  DWORD pid;
  HWND box = nullptr;
};
BOOL CALLBACK FindBox(HWND wnd, LPARAM data) {
  auto *f = reinterpret_cast<Found *>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  char cls[32] = {};
  GetClassNameA(wnd, cls, sizeof cls);
  if (pid == f->pid && strcmp(cls, "#32770") == 0 && IsWindowVisible(wnd) &&
      GetDlgItem(wnd, 0xFFFF)) {
    f->box = wnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

void MessageBoxWatcher::Run() {
  while (!stop_) {
    Found f{GetCurrentProcessId()};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&f));
    if (f.box) {
      auto shownAt = std::chrono::steady_clock::now();
      char caption[256] = {}, text[1024] = {};
      GetWindowTextA(f.box, caption, sizeof caption);
      GetDlgItemTextA(f.box, 0xFFFF, text, sizeof text);
      std::string buttons;
      for (HWND b = nullptr; (b = FindWindowExA(f.box, b, "Button", nullptr));) {
        char label[64] = {};
        GetWindowTextA(b, label, sizeof label);
        buttons += std::string(label) + "|";
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back({caption, text, buttons, shownAt});
      }
      if (answerAfterMs_ > 0) std::this_thread::sleep_until(shownAt + std::chrono::milliseconds(answerAfterMs_));
      // The first button of a message box is OK (IDOK) or the only one.
      HWND button = FindWindowExA(f.box, nullptr, "Button", nullptr);
      if (button) PostMessageA(button, BM_CLICK, 0, 0);
      else PostMessageA(f.box, WM_COMMAND, IDOK, 0);
      for (int i = 0; i < 100 && IsWindow(f.box) && IsWindowVisible(f.box); ++i) Sleep(10);
    }
    Sleep(20);
  }
}

namespace {
BOOL CALLBACK AddWindow(HWND w, LPARAM list) {
  reinterpret_cast<std::vector<HWND> *>(list)->push_back(w);
  return TRUE;
}
}  // namespace

HWND OpenMessageBox() {
  Found f{GetCurrentProcessId()};
  EnumWindows(FindBox, reinterpret_cast<LPARAM>(&f));
  return f.box;
}

void WhenBoxOpens(std::function<void(HWND box)> step, HWND besides, int timeoutMs) {
  HWND box = OpenMessageBox();
  if (box == besides) box = nullptr;
  if (box || timeoutMs <= 0) {
    step(box);
    return;
  }
  Later(50, [step = std::move(step), besides, timeoutMs]() mutable {
    WhenBoxOpens(std::move(step), besides, timeoutMs - 50);
  });
}

std::string BoxText(HWND box) {
  char text[1024] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  return text;
}

void ExpectInFrontOfTheRun(HWND box, HWND display, HWND bar) {
  ASSERT_NE(box, nullptr);
  // The window order, from the top, as Windows draws it.
  std::vector<HWND> order;
  EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&order));
  auto at = [&](HWND w) { return std::find(order.begin(), order.end(), w) - order.begin(); };
  EXPECT_LT(at(box), at(display)) << "the box before the display";
  EXPECT_TRUE(GetWindowLongA(display, GWL_EXSTYLE) & WS_EX_TOPMOST) << "the display stays topmost";
  RECT b, d, c;
  GetWindowRect(box, &b);
  GetWindowRect(display, &d);
  GetWindowRect(bar, &c);
  EXPECT_GE(b.top, d.bottom) << "the digits in view";
  EXPECT_GE(b.top, c.bottom) << "the bar in view";
  HMONITOR monitor = MonitorFromWindow(display, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoA(monitor, &info);
  EXPECT_LE(b.bottom, info.rcWork.bottom);
  EXPECT_LE(std::abs((b.left + b.right) - (info.rcMonitor.left + info.rcMonitor.right)), 1)
      << "centred on the monitor's width";
  EXPECT_EQ(GetActiveWindow(), box);
  HWND focus = GetFocus();
  EXPECT_TRUE(focus == box || IsChild(box, focus));
}

void PressEnter() {
  HWND to = GetFocus();
  PostMessageA(to, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageA(to, WM_KEYUP, VK_RETURN, LPARAM(0xC0000001));
}

ExceptionCatcher::ExceptionCatcher() {
  Application.OnShowException = [this](const std::string &m) { messages.push_back(m); };
}
ExceptionCatcher::~ExceptionCatcher() { Application.OnShowException = nullptr; }

namespace {
std::map<UINT_PTR, std::function<void()>> &laterSteps() {
  static std::map<UINT_PTR, std::function<void()>> steps;
  return steps;
}
void CALLBACK RunLater(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  auto it = laterSteps().find(id);
  if (it == laterSteps().end()) return;
  auto step = std::move(it->second);
  laterSteps().erase(it);
  try {
    step();
  } catch (const std::exception &e) {
    ADD_FAILURE() << "step failed: " << e.what();
  }
}
}  // namespace

void Later(int ms, std::function<void()> step) {
  UINT_PTR id = SetTimer(nullptr, 0, UINT(ms), RunLater);
  laterSteps()[id] = std::move(step);
}

Scenario &Scenario::Then(int delayMs, std::function<void()> step) {
  steps_.push_back({delayMs, std::move(step)});
  return *this;
}

void Scenario::Next() {
  if (Finished()) return;
  Later(steps_[next_].first, [this] {
    auto step = std::move(steps_[next_++].second);
    step();
    Next();
  });
}

std::vector<PlayCall> &SoundRecorder::Calls() {
  static std::vector<PlayCall> calls;
  return calls;
}

namespace {
BOOL WINAPI RecordPlay(LPCSTR sound, HMODULE module, DWORD flags) {
  SoundRecorder::Calls().push_back({sound ? sound : "<null>", module, flags});
  return TRUE;
}
}  // namespace

SoundRecorder::SoundRecorder() : saved_(PlaySoundProc) {
  Calls().clear();
  PlaySoundProc = &RecordPlay;
}

SoundRecorder::~SoundRecorder() { PlaySoundProc = saved_; }

namespace {
int64_t fakeBaseMs = 0;
std::chrono::steady_clock::time_point fakeBaseAt;
void WINAPI FakeLocalTime(LPSYSTEMTIME time) {
  int64_t ms = FakeLocalClock::At(std::chrono::steady_clock::now());
  *time = SYSTEMTIME{};
  time->wYear = 2026;
  time->wMonth = 12;
  time->wDay = 7;
  time->wHour = WORD(ms / 3'600'000);
  time->wMinute = WORD(ms / 60'000 % 60);
  time->wSecond = WORD(ms / 1000 % 60);
  time->wMilliseconds = WORD(ms % 1000);
}
}  // namespace

FakeLocalClock::FakeLocalClock(int64_t msOfDay) {
  fakeBaseMs = msOfDay;
  fakeBaseAt = std::chrono::steady_clock::now();
  LocalTimeProc = &FakeLocalTime;
}
FakeLocalClock::~FakeLocalClock() { LocalTimeProc = &GetLocalTime; }
int64_t FakeLocalClock::At(std::chrono::steady_clock::time_point when) {
  auto since = std::chrono::duration_cast<std::chrono::milliseconds>(when - fakeBaseAt).count();
  return ((fakeBaseMs + since) % 86'400'000 + 86'400'000) % 86'400'000;
}
void FakeLocalClock::Shift(int64_t ms) { fakeBaseMs += ms; }

namespace {
TickWatch *tickWatch = nullptr;
}

TickWatch::TickWatch(TWatchChrono &display)
    : display_(display),
      wnd_(display.Handle()),
      inner_(reinterpret_cast<WNDPROC>(
          SetWindowLongPtrA(wnd_, GWLP_WNDPROC, LONG_PTR(&TickWatch::Proc)))) {
  tickWatch = this;
}

TickWatch::~TickWatch() {
  tickWatch = nullptr;
  if (IsWindow(wnd_)) SetWindowLongPtrA(wnd_, GWLP_WNDPROC, LONG_PTR(inner_));
}

LRESULT CALLBACK TickWatch::Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TickWatch &w = *tickWatch;
  const LRESULT result = CallWindowProcA(w.inner_, wnd, msg, wParam, lParam);
  if (msg < WM_SET_DIGIT || msg > WM_SET_AMBER) return result;
  const bool seconds = msg == WM_SET_DIGIT && wParam == 5;
  if (msg == WM_SET_PROGRESS || (seconds && w.secondsTaken_) || w.ticks.empty()) {
    w.ticks.push_back({});
    w.ticks.back().postedAt = DWORD(GetMessageTime());
    w.secondsTaken_ = false;
  }
  w.secondsTaken_ |= seconds;
  Tick &t = w.ticks.back();
  t.progress = w.display_.Gauge().Progress();
  t.shown.clear();
  for (int p = 0; p < 6; ++p) {
    t.shown += char('0' + w.display_.Digit(p).CurrentNumber());
    if (p == 1 || p == 3) t.shown += ':';
  }
  t.colour = w.display_.Digit(5).LitColor();
  t.caption = w.display_.Gauge().Caption();
  return result;
}

TMenuItem *MenuItemByText(TForm &form, const std::string &caption) {
  if (!form.PopupMenu) return nullptr;
  for (const auto &item : form.PopupMenu->Items)
    if (item->Caption == caption) return item.get();
  return nullptr;
}

TForm *FormByCaption(const std::string &caption) {
  HWND wnd = FindWindowA(nullptr, caption.c_str());
  DWORD pid = 0;
  if (wnd) GetWindowThreadProcessId(wnd, &pid);
  if (pid != GetCurrentProcessId()) return nullptr;
  return dynamic_cast<TForm *>(TWinControl::FromHandle(wnd));
}

void PressKey(HWND target, UINT vk, bool ctrl) {
  BYTE state[256];
  GetKeyboardState(state);
  BYTE saved = state[VK_CONTROL];
  state[VK_CONTROL] = ctrl ? 0x80 : 0;
  SetKeyboardState(state);
  MSG msg{target, WM_KEYDOWN, vk, 1, DWORD(GetMessageTime()), {0, 0}};
  Application.ProcessMessage(msg);
  MSG up{target, WM_KEYUP, vk, LPARAM(0xC0000001), DWORD(GetMessageTime()), {0, 0}};
  Application.ProcessMessage(up);
  state[VK_CONTROL] = saved;
  SetKeyboardState(state);
  Pump(20);
}

void Click(TWinControl &control) {
  SendMessageA(control.Handle(), BM_CLICK, 0, 0);
  Pump(20);
}

void TypeText(TWinControl &edit, const std::string &text) {
  SetWindowTextA(edit.Handle(), text.c_str());
  Pump(10);
}

}  // namespace testwin
