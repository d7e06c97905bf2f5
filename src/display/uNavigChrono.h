#pragma once
#include <windows.h>

#include <functional>
#include <memory>

#include "display/uWatchChrono.h"
#include "forms/uForms.h"
#include "run/uRunSession.h"

class TNavigChrono;
// What the bar asks of the program's owner of the run it shows: the bar passes on what happens,
// the owner decides what becomes of the run.
class TRunLink {
public:
  virtual TRunSession &Session() = 0;
  // The bar that shows the run from now on (nullptr: none).
  virtual void Show(TNavigChrono *bar) = 0;
  // The run to come: to `endMinute` of the day, or of the settings' duration (-1).
  virtual void ChooseRun(int endMinute) = 0;
  // Whether closing the bar may stop the run; `ask` puts the question, when one is needed.
  virtual bool MayStop(const std::function<bool()> &ask) = 0;
  // The bar closes: the run stops.
  virtual void Stop() = 0;
  // The box of the run's end was closed: the next run is chosen.
  virtual void EndSeen() = 0;
  virtual bool MayEndSession() = 0;
  // Logoff, shutdown or an installer (false: called off).
  virtual void SessionEnding(bool ending) = 0;
  // Run: an official start awaited is awaited no more, and the run starts or goes on.
  virtual TRunStart Start() = 0;

protected:
  ~TRunLink() = default;
};

// Whether the user stops the open run that closing the bar would end: a question whose default
// is "Non". Tests that close the bar on a run answer it here.
using TStopRunQuestion = bool (*)(TNavigChrono &bar);
extern TStopRunQuestion AskStopRun;
bool StopRunBox(TNavigChrono &bar);

// The small window from which a run is driven: it hides the main window, owns the giant display,
// passes what happens to the run's owner and session and shows what they answer, and brings the
// main window back when it closes. A run already open is shown where it stands.
class TNavigChrono : public TForm {
public:
  TNavigChrono(TForm *owner, TRunLink &run);
  ~TNavigChrono() override;

  void ShowNavigChrono(TControl *Sender);
  void LaunchChrono(TControl *Sender);
  void PauseChrono(TControl *Sender);
  void ChangeBeepConfig(TControl *Sender);
  void WantCloseNavig(TControl *Sender);
  // "Temps ajouté...", in the bar's window menu: time given back after an incident.
  void ShowTimeAdded();
  void CloseNavigChrono(TForm *Sender, TCloseAction &Action);

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Scaled again, the bar is a new height: the display is laid out for it, the bar under it.
  void ChangeDpi(int dpi, const RECT *suggested) override;
  // Space starts, pauses and continues the run; B switches the beeps.
  bool HandleKey(const MSG &msg) override;

  // The next run ends at this minute of the day (local time): its total is worked out when Run
  // is first pressed, and the bar shows the end instead of the total. -1: an ordinary run.
  void SetEndTime(int endMinute);
  // While an official start is awaited: the time of day on the digits, "Début à 8 h 00", and the
  // board or band of the run as it will be then.
  void ShowWaiting();
  // What Run did, from the button or at the official start (`waited`: the digits leave the time
  // of day).
  void ShowStarted(TRunStart how, bool waited);
  int EndMinute() const { return FSession.Model().Choice().EndMinute; }
  // The engine's end of the run came: its box, then the next run.
  void RunFinished();
  // The run ended while the bar asked whether to stop it: the question goes.
  void TakeQuestionAway();

  TWatchChrono &WatchChrono() const { return *FWatchChrono; }
  TMainThread *ThreadContainer() const { return FSession.Engine(); }
  const TRunSession &Session() const { return FSession; }
  TRunSession &Session() { return FSession; }

private:
  // The session took a run up: the windows show it.
  void ShowTakenUp();
  // Under the display, inside the work area of its monitor.
  void PlaceUnderDisplay();
  // The monitors or their work areas changed: the display is laid out again for them.
  void ScreensChanged();
  // Where a box of ours stands during a run, so as to leave the run in view.
  POINT BoxPlaceFor(SIZE box) const;
  void ShowBeepText();
  // What the run answers, on every window that shows it.
  void ShowRun();
  // The run to come, as `choose` makes it; without one, the bar offers only to close.
  void ChooseRun(const std::function<void()> &choose);
  // The display's board follows the model's épreuves: none for a run of one.
  void ShowBoardNames();
  // The wall clock's next second, when the board's digits turn.
  void ArmClockTimer();
  void ShowEndsPanel();
  // The longest of `texts` that fits the panel, or the last.
  void ShowFitting(const char *panel, const std::vector<std::string> &texts);
  // The window menu's "Temps ajouté..." is offered while an end is to come.
  void OfferTimeAdded();
  // The gauge's scale and mark, for the run's ends as they are now.
  void ShowRunLength();
  // The band under the gauge, when there is one: the time of day and the ends as they are now.
  void ShowClockBand();
  TRunLink &FRun;
  TRunSession &FSession;
  std::unique_ptr<TWatchChrono> FWatchChrono;
  // "Journal non écrit", for 10 s, in place of the beeps' text.
  void JournalNotWritten();
  std::vector<std::string> FBoardPanel;  // the board's panel texts, as last shown
};
