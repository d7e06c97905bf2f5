#pragma once
#include <windows.h>

#include <exception>
#include <functional>
#include <map>
#include <string>

class TForm;

// The program's one application object: its title and executable, its main window, the message
// loop (modal loops nest inside it), the default handler of exceptions and the busy cursor.
class TApplication {
public:
  void Initialize(HINSTANCE instance);

  HINSTANCE Instance() const { return instance_; }
  const std::string &ExeName() const { return exeName_; }  // full path of the executable
  const std::string &Title() const { return title_; }
  void SetExeNameForTests(const std::string &path);
  HICON Icon() const { return icon_; }

  TForm *MainForm() const { return mainForm_; }
  void SetMainForm(TForm *form) { mainForm_ = form; }

  // Shows the main window and dispatches messages until the program is asked to end.
  int Run();
  // One message through shortcuts, dialog navigation and dispatch.
  void ProcessMessage(MSG &msg);
  // Dispatches what is waiting, without blocking; false once the program is asked to end.
  bool ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }

  // The default handler: shows the message in a message box and lets the program go on.
  void HandleException(const std::exception &e);
  void HandleException();  // for an exception of unknown type, inside a catch
  // Tests replace the message box to read what would have been shown.
  std::function<void(const std::string &)> OnShowException;

  // The screen cursor: busy while at least one hourglass scope is open.
  void BeginBusy();
  void EndBusy();
  bool Busy() const { return busy_ > 0; }

  // Application cursors by number (such as a cursor loaded from the resources).
  void SetCursor(int id, HCURSOR cursor) { cursors_[id] = cursor; }
  HCURSOR Cursor(int id) const;

  // The form whose window is active, to route keys to its shortcuts and dialog navigation.
  TForm *ActiveForm() const;

  // A window of ours that stands above every other program's (the giant display of a run, which
  // is topmost), and where it wants our boxes to stand (their size in, their top left corner
  // out) so as to leave in view what it shows. None: a null window.
  using TBoxPlacer = std::function<POINT(SIZE box)>;
  void SetFrontWindow(HWND front, TBoxPlacer placer);
  // The front window while it shows, else null.
  HWND FrontWindow() const;
  // A box or modal window of ours goes above the front window, where that asks, while it shows.
  // Windows keeps an owned window above its owner only within the same band: no window outside
  // the topmost band is ever drawn above a topmost one, so the box is made topmost itself. The
  // front window keeps its place, so that another program's window still cannot come over it.
  void BringAboveFront(HWND wnd);

  // Wine polls the pointer for as long as a window tracks it, and a tooltip for as long as the
  // pointer rests on its tool: there, the tracking ends a second after the pointer's last move
  // over our windows, and a hidden tip's watch ends too. On Windows the system's tracking is
  // left alone, since a control that stops tracking is never told that the pointer left it.
  // Set by Initialize: under Wine only.
  bool EndTrackingAtRest = false;

private:
  HINSTANCE instance_ = nullptr;
  std::string exeName_;
  std::string title_;
  HICON icon_ = nullptr;
  TForm *mainForm_ = nullptr;
  bool terminated_ = false;
  int busy_ = 0;
  std::map<int, HCURSOR> cursors_;
  HWND front_ = nullptr;
  TBoxPlacer frontPlacer_;
};

extern TApplication Application;

// The hourglass for the length of a scope.
class THourglass {
public:
  THourglass() { Application.BeginBusy(); }
  ~THourglass() { Application.EndBusy(); }
  THourglass(const THourglass &) = delete;
  THourglass &operator=(const THourglass &) = delete;
};

// A message box owned by the active window; the texts are Windows-1252. While a front window
// shows, the box stands above it, where it asks.
int ShowMessageBox(const std::string &text, const std::string &caption, UINT flags);
// The same owned by `owner` whatever window is active (none: as above).
int ShowMessageBox(HWND owner, const std::string &text, const std::string &caption, UINT flags);
// The yes/no question of ShowMessageBox up now is answered `answer` (IDYES, IDNO) as if the user
// had: what it asked about no longer stands. Nothing when none is up.
void AnswerQuestion(int answer);

// The mouse tracking of this thread: the window and what it tracks (TME_HOVER, TME_LEAVE,
// TME_NONCLIENT), or no window. Ending it does not tell the window; MouseLeft does.
struct TMouseTracking {
  HWND Window = nullptr;
  DWORD Flags = 0;
};
TMouseTracking CurrentMouseTracking();
void EndMouseTracking(const TMouseTracking &tracking);
void MouseLeft(HWND window, bool nonClient);
