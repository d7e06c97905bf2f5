#pragma once
#include <windows.h>

#include <memory>

#include "display/uWatchChrono.h"
#include "forms/uForms.h"
#include "run/uRunModel.h"
#include "run/uRunRecord.h"
#include "run/uRunSession.h"
#include "run/uThreadContainer.h"

// The platform's SetThreadExecutionState; tests put a recorder here (Wine does not act on it).
using TExecutionStateProc = EXECUTION_STATE(WINAPI *)(EXECUTION_STATE state);
extern TExecutionStateProc ExecutionStateProc;

class TNavigChrono;
// Whether the user stops the open run that closing the bar would end: a question whose default
// is "Non". Tests that close the bar on a run answer it here.
using TStopRunQuestion = bool (*)(TNavigChrono &bar);
extern TStopRunQuestion AskStopRun;
bool StopRunBox(TNavigChrono &bar);

// The small window from which a run is driven: it hides the main window, owns the giant display,
// passes what happens to the run's session and shows what it answers, plays the sounds the
// engine asks for, and brings the main window back when it closes.
class TNavigChrono : public TForm {
public:
  explicit TNavigChrono(TForm *owner);
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
  // An official start at this minute of the day: while it is to come, the display shows the time
  // of day and "Début à 8 h 00", and at its second the run starts by itself if `byItself`; Run
  // pressed before starts it at once. Nothing when that minute has passed.
  void WaitForStart(int startMinute, bool byItself);
  bool Waiting() const { return FWaitUtcMs != 0; }
  int EndMinute() const { return FSession.Model().Choice().EndMinute; }

  // Instead of Run: takes up the run of a record left by a Tavelin that ended without closing
  // it, and the events kept beside it, where the wall clock says it stands now. AppConfig holds
  // the record's settings already.
  void TakeUp(const TRunRecord &record, const std::vector<uint8_t> &events = {}) {
    FSession.TakeUp(record, events);
    ShowTakenUp();
  }
  // The session took a run up: the windows show it.
  void ShowTakenUp();

  TWatchChrono &WatchChrono() const { return *FWatchChrono; }
  TMainThread *ThreadContainer() const { return FSession.Engine(); }
  const TRunModel &RunModel() const { return FSession.Model(); }
  const TRunSession &Session() const { return FSession; }
  TRunSession &Session() { return FSession; }

private:
  // The platform under the run's session: the clocks, the engine's threads posting to these
  // windows, the journal's file and the record in the registry.
  struct THost : TRunSessionHost {
    TNavigChrono &Bar;
    explicit THost(TNavigChrono &bar) : Bar(bar) {}
    TWallNow Now() override;
    TJournalTime LocalTime(int64_t utcMs) override;
    std::unique_ptr<TMainThread> MakeEngine(const TRunEnds &ends) override;
    void Journal(const TJournal &run, const std::string &line) override;
    void Keep(TRunRecord &record, const std::vector<uint8_t> &events) override;
    void Forget() override;
  };
  void RunFinished();
  // Under the display, inside the work area of its monitor.
  void PlaceUnderDisplay();
  // The monitors or their work areas changed: the display is laid out again for them.
  void ScreensChanged();
  // Where a box of ours stands during a run, so as to leave the run in view.
  POINT BoxPlaceFor(SIZE box) const;
  void ShowBeepText();
  // What the run answers, on every window that shows it.
  void ShowRun();
  // The run to come: the settings' duration, or to `endMinute` of the day, with the settings'
  // épreuves beside it.
  void ChooseRun(int endMinute);
  TRunChoice ChoiceFor(int endMinute) const;
  // The display's board follows the model's épreuves: none for a run of one.
  void ShowBoardNames();
  // The wall clock's next second, when the board's digits turn.
  void ArmClockTimer();
  void ShowTotalText();
  // The longest of `texts` that fits the panel, or the last.
  void ShowFitting(const char *panel, const std::vector<std::string> &texts);
  // The window menu's "Temps ajouté..." is offered while an end is to come.
  void OfferTimeAdded();
  // The gauge's scale and mark, for the run's ends as they are now.
  void ShowRunLength();
  // The band under the gauge, when there is one: the time of day and the ends as they are now.
  void ShowClockBand();
  // While the control bar is up the system timer ticks every millisecond, so that the run's
  // deadlines are met to the millisecond rather than to the default 15.6 ms.
  struct TTimerResolution {
    TTimerResolution();
    ~TTimerResolution();
  } FTimerResolution;
  // While the control bar is up, neither the screen saver nor sleep interrupts a run.
  struct TKeepAwake {
    TKeepAwake();
    ~TKeepAwake();
  } FKeepAwake;
  std::unique_ptr<TWatchChrono> FWatchChrono;
  THost FHost{*this};
  TRunSession FSession{FHost};
  // Held while the session keeps a record: Windows restarts Tavelin after an update, and other
  // Tavelins leave the record alone.
  bool FHeld = false;
  void SetHeld(bool held);
  // "Journal non écrit", for 10 s, in place of the beeps' text.
  void JournalNotWritten();
  // Closing the bar on an open run asks first; a run that ends meanwhile takes the question away.
  bool MayStopRun();
  bool FAskingToStop = false;
  std::vector<std::string> FBoardPanel;  // the board's panel texts, as last shown
  // The official start awaited (UTC), 0 for none, and whether the run starts by itself then.
  int64_t FWaitUtcMs = 0;
  bool FStartsByItself = false;
  void ShowWaiting();
  void ArmWaitTimer();
  void EndWait();
  bool FEndedWhileAsking = false;
};
