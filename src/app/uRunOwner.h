// uRunOwner - the program's owner of the open run, outside any window: it holds the run's
// session and its host, decides what becomes of the run, and hands it to the control bar, which
// shows what it answers and passes on what happens.
#pragma once
#include <windows.h>

#include <functional>

#include "display/uNavigChrono.h"
#include "run/uRunSession.h"
#include "timing/uRunHost.h"

// The platform's SetThreadExecutionState; tests put a recorder here (Wine does not act on it).
using TExecutionStateProc = EXECUTION_STATE(WINAPI *)(EXECUTION_STATE state);
extern TExecutionStateProc ExecutionStateProc;

class TRunOwner final : public TRunLink {
public:
  TRunOwner();
  ~TRunOwner();

  TRunSession &Session() override { return session_; }
  void Show(TNavigChrono *bar) override;
  void ChooseRun(int endMinute) override;
  bool MayStop(const std::function<bool()> &ask) override;
  void Stop() override;
  void EndSeen() override;
  // A run never holds up a logoff, a shutdown or an installer: its record stays for the next
  // start.
  bool MayEndSession() override { return true; }
  void SessionEnding(bool ending) override { session_.SessionEnding(ending); }
  TRunStart Start() override;
  // An exam plan's official start at this minute of the day: until then the bar shows it, and at
  // its second the run starts by itself if `byItself`; Run pressed before starts it at once.
  // Nothing when that minute has passed.
  void AwaitStart(int startMinute, bool byItself);

private:
  void RunFinished();
  // While the run is open: its record held, Windows restarting Tavelin after an update, other
  // Tavelins leaving the record alone, neither the screen saver nor sleep interrupting it, and
  // the system timer ticking every millisecond so that its deadlines are met to the millisecond.
  void Held(bool held);
  void Awake(bool awake);
  // Each second of the time of day while the start is awaited, and its own second.
  void WaitTick();
  void ArmWait() { host_.ArmTimer(uint32_t(session_.NextWaitMs() + 2)); }
  void EndWait();

  TRunHost host_;
  TRunSession session_{host_};
  TNavigChrono *bar_ = nullptr;
  bool awake_ = false;
  // Closing on an open run asks first; a run that ends meanwhile takes the question away.
  bool asking_ = false;
  bool endedWhileAsking_ = false;
};
