#include <windows.h>

#include "forms/uApplication.h"

#include <cstring>

#include "base/uText.h"
#include "forms/uForms.h"
#include "forms/uSystemLib.h"

TApplication Application;

void TApplication::Initialize(HINSTANCE instance) {
  instance_ = instance;
  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(instance, path, MAX_PATH);
  exeName_ = path;
  title_ = ApplicationTitleFromExe(exeName_);
  icon_ = LoadIconA(instance, "MAINICON");
  if (!icon_) icon_ = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES |
                                           ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  terminated_ = false;
  EndTrackingAtRest = RunningUnderWine();
}

void TApplication::SetExeNameForTests(const std::string &path) {
  exeName_ = path;
  title_ = ApplicationTitleFromExe(path);
}

TForm *TApplication::ActiveForm() const {
  HWND active = GetActiveWindow();
  while (active) {
    if (auto *c = TWinControl::FromHandle(active))
      if (auto *f = dynamic_cast<TForm *>(c)) return f;
    active = GetWindow(active, GW_OWNER);
  }
  return nullptr;
}

TMouseTracking CurrentMouseTracking() {
  TRACKMOUSEEVENT query{};
  query.cbSize = sizeof query;
  query.dwFlags = TME_QUERY;
  if (!TrackMouseEvent(&query) || !query.hwndTrack) return {};
  return {query.hwndTrack, query.dwFlags & (TME_HOVER | TME_LEAVE | TME_NONCLIENT)};
}

void EndMouseTracking(const TMouseTracking &tracking) {
  TRACKMOUSEEVENT cancel{};
  cancel.cbSize = sizeof cancel;
  cancel.dwFlags = TME_CANCEL | tracking.Flags;
  cancel.hwndTrack = tracking.Window;
  TrackMouseEvent(&cancel);
}

void MouseLeft(HWND window, bool nonClient) {
  SendMessageA(window, nonClient ? WM_NCMOUSELEAVE : WM_MOUSELEAVE, 0, 0);
}

namespace {
// Under Wine, a window that tracks the pointer's leaving has the pointer polled on a timer for as
// long as the pointer rests on it: every millisecond for a button (which asks for a hover time of
// 1 ms), every 400 ms for a spin box's arrows. A second after the pointer's last move over our
// windows the tracking ends instead. The window is told of the leaving when the pointer next
// moves over another of our windows; its own next move makes it track again.
UINT_PTR restTimer = 0;
HWND untracked = nullptr;
bool untrackedNonClient = false;

void CALLBACK PointerAtRest(HWND, UINT, UINT_PTR, DWORD) {
  KillTimer(nullptr, restTimer);
  restTimer = 0;
  if (!Application.EndTrackingAtRest) return;
  TMouseTracking current = CurrentMouseTracking();
  if (!current.Window) return;
  if (current.Flags & TME_HOVER) {
    // A hover still to come (a long hover time): looked at again later.
    restTimer = SetTimer(nullptr, 0, 1000, PointerAtRest);
    return;
  }
  if (!(current.Flags & TME_LEAVE)) return;
  EndMouseTracking(current);
  untracked = current.Window;
  untrackedNonClient = (current.Flags & TME_NONCLIENT) != 0;
}

void PointerMoved(HWND over) {
  if (untracked && over != untracked && IsWindow(untracked))
    MouseLeft(untracked, untrackedNonClient);
  untracked = nullptr;
  restTimer = SetTimer(nullptr, restTimer, 1000, PointerAtRest);
}
}  // namespace

void TApplication::ProcessMessage(MSG &msg) {
  if ((msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE) && EndTrackingAtRest)
    PointerMoved(msg.hwnd);
  // The program's own messages (a run's ticks, several a second) are neither keys nor dialog
  // navigation: finding the active form for them would cost two calls to Wine's server each.
  if (msg.message >= WM_USER && msg.message < 0xC000) {
    DispatchMessageA(&msg);
    return;
  }
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
    if (TForm *f = ActiveForm()) {
      try {
        if (f->HandleKey(msg)) return;
      } catch (...) {
        HandleException();
        return;
      }
    }
  }
  if (TForm *f = ActiveForm())
    if (f->HandleAllocated() && IsDialogMessageA(f->Handle(), &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

bool TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      return false;
    }
    ProcessMessage(msg);
  }
  return !terminated_;
}

int TApplication::Run() {
  if (mainForm_) mainForm_->Show();
  MSG msg;
  while (!terminated_) {
    BOOL r = GetMessageA(&msg, nullptr, 0, 0);
    if (r == 0 || r == -1) break;
    ProcessMessage(msg);
  }
  terminated_ = true;
  return 0;
}

void TApplication::Terminate() {
  if (!terminated_) PostQuitMessage(0);
  terminated_ = true;
}

void TApplication::HandleException(const std::exception &e) {
  if (OnShowException) {
    OnShowException(e.what());
    return;
  }
  ShowMessageBox(e.what(), title_, MB_OK | MB_ICONERROR);
}

void TApplication::HandleException() {
  try {
    throw;
  } catch (const std::exception &e) {
    HandleException(e);
  } catch (...) {
    HandleException(std::runtime_error("Erreur inconnue"));
  }
}

void TApplication::BeginBusy() {
  if (busy_++ == 0) ::SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
}

void TApplication::EndBusy() {
  if (busy_ > 0 && --busy_ == 0) {
    // Let the window under the mouse choose its cursor again.
    POINT p;
    GetCursorPos(&p);
    SetCursorPos(p.x, p.y);
    ::SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
  }
}

HCURSOR TApplication::Cursor(int id) const {
  auto it = cursors_.find(id);
  return it == cursors_.end() ? nullptr : it->second;
}

void TApplication::SetFrontWindow(HWND front, TBoxPlacer placer) {
  front_ = front;
  frontPlacer_ = front ? std::move(placer) : nullptr;
}

HWND TApplication::FrontWindow() const {
  return front_ && IsWindow(front_) && IsWindowVisible(front_) ? front_ : nullptr;
}

void TApplication::BringAboveFront(HWND wnd) {
  if (!wnd || !FrontWindow()) return;
  RECT r;
  GetWindowRect(wnd, &r);
  POINT at{r.left, r.top};
  if (frontPlacer_) at = frontPlacer_(SIZE{r.right - r.left, r.bottom - r.top});
  SetWindowPos(wnd, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

namespace {
// The message box is prepared before it is shown and activated, once: placed (centred on its
// owner), and its question's buttons named.
bool boxToPrepare = false, boxToPlace = false, boxAsks = false;
// The question up now, which AnswerQuestion answers.
HWND questionUp = nullptr;

LRESULT CALLBACK PrepareBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && boxToPrepare) {
    HWND wnd = reinterpret_cast<HWND>(wParam);
    char cls[16] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0) {
      boxToPrepare = false;
      if (boxAsks) questionUp = wnd;
      // The system names them in its own language; a question in French answers in French.
      SetDlgItemTextA(wnd, IDYES, "&Oui");
      SetDlgItemTextA(wnd, IDNO, "&Non");
      // No exception may cross back into Windows: a box that cannot be placed stays where the
      // system put it, and still says what it has to say.
      try {
        if (boxToPlace) Application.BringAboveFront(wnd);
      } catch (...) {
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

int ShowMessageBox(const std::string &text, const std::string &caption, UINT flags) {
  return ShowMessageBox(GetActiveWindow(), text, caption, flags);
}

int ShowMessageBox(HWND owner, const std::string &text, const std::string &caption, UINT flags) {
  if (!owner) flags |= MB_TASKMODAL;
  const bool place = Application.FrontWindow() != nullptr;
  if (!place && (flags & MB_TYPEMASK) != MB_YESNO)
    return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
  HHOOK hook = SetWindowsHookExA(WH_CBT, PrepareBox, nullptr, GetCurrentThreadId());
  const HWND outer = questionUp;
  boxToPrepare = true;
  boxToPlace = place;
  boxAsks = (flags & MB_TYPEMASK) == MB_YESNO;
  int answer =
      MessageBoxA(owner, text.c_str(), caption.c_str(), flags | (place ? MB_TOPMOST : 0));
  boxToPrepare = boxToPlace = boxAsks = false;
  questionUp = outer;
  if (hook) UnhookWindowsHookEx(hook);
  return answer;
}

void AnswerQuestion(int answer) {
  if (questionUp) PostMessageA(questionUp, WM_COMMAND, WPARAM(answer), 0);
}
