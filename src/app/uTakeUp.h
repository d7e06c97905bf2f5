// uTakeUp - at start-up, a run that a Tavelin left open when it ended without closing it (killed,
// crashed, logged off, the computer restarted or lost power) is offered back.
#pragma once
#include <windows.h>

#include <optional>

#include "run/uRunRecord.h"

// Before the main window is made: looks at the stored record of a run. A record that is no run
// is removed quietly; a run whose end came meanwhile is told, and removed; a run still going is
// offered back (with `ask`; without it, as after a restart that Windows made, it is taken up at
// once) and, when the user takes it, its settings go into AppConfig, so that the main window is
// made with them, and it is returned. "Non" removes it.
std::optional<TRunRecord> FindInterruptedRun(bool ask);
// After the main window is made, before it shows: opens the control bar and the display on the
// run as the wall clock places it now, until the bar is closed.
void TakeUpRun(const TRunRecord &record);
