// uJournalKeeper - the exam's record on Windows: the events of the latest run, always kept in
// memory, appended when KeepJournal is on to Documents\Tavelin\Journal.csv (opened, appended and
// closed at each event, never held open, so that a crash loses nothing written and a spreadsheet
// may read it meanwhile), and the procès-verbal page written from them and opened.
//
// Everything here runs on the user-interface thread. Nothing here throws to its caller: a run
// goes on whatever becomes of its record.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "run/uJournal.h"

// --- What the control bar calls, at each event of a run --------------------------------------------
// The run's session journaled `line`, the line of the last of `run`'s events; `run` is the latest
// run as it now stands. To the file when KeepJournal says so, or `toFile` for a run of its own.
void JournalKept(const TJournal &run, const std::string &line, std::optional<bool> toFile = {});
// From a timer: writes the lines that wait once the minute after a failure has gone. The keeper
// runs a timer of its own while lines wait; a window's may call it too.
void JournalRetry();
// The lines that wait are tried at once: when the run ends, when the bar closes, when Tavelin
// ends.
void JournalWriteNow();
// Called once when the file cannot be written (the first failure after lines were written),
// never on the retries that fail after it. The control bar sets it.
extern std::function<void()> OnJournalWriteFailed;

// --- Lines that outlive Tavelin --------------------------------------------------------------------
// While lines wait they are kept in %LOCALAPPDATA%\Tavelin\Journal en attente.csv, each with its
// identity (the run's stamp, its place in the run), so that neither the end nor the death of
// Tavelin loses them. The user's Tavelins touch the journal's files one at a time (a lock shared
// across the sessions of Windows): each writes what another kept as well as its own, each line
// once, what is in the file already never again. At the start: the lines kept are written, or
// wait on.
void JournalAtStart();
// What the main window says of them, or nothing: "Journal non écrit : 3 lignes en attente",
// "Journal complété de 3 lignes en attente" (kept ones written at this start).
std::string JournalStateText();
// After every try of the file, and when a line joins those that wait. The main window sets it.
extern std::function<void()> OnJournalWaiting;

// The latest run as kept in memory.
const TJournal &LatestJournal();
// The lines not yet in the file.
const TJournalQueue &JournalWaiting();

// --- The procès-verbal's page -----------------------------------------------------------------
// Writes the procès-verbal of the latest run into the journal's folder: again in its own file,
// another run's under the next free name (" (2)"). Nothing when there is no run yet.
struct TPageWritten {
  bool HasRun = false, Written = false;
  std::wstring Path;  // where it is, or was to be
};
TPageWritten WriteProcesVerbal();

// --- The folder, and the seams of tests --------------------------------------------------------
// Documents\Tavelin, wide all the way (a redirected or non-Latin folder keeps its name); empty
// when the shell gives no Documents folder.
std::wstring JournalFolder();
// The user's Documents folder, from the shell; tests put a folder of their own here. Likewise the
// user's local application data.
using TJournalDocumentsProc = std::wstring (*)();
extern TJournalDocumentsProc JournalDocumentsProc;
extern TJournalDocumentsProc JournalLocalDataProc;
// WriteFile, for the journal's appends; tests put one here that stops half-way.
using TJournalWriteProc = BOOL(WINAPI *)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
extern TJournalWriteProc JournalWriteProc;
// The monotonic clock that times the retries (GetTickCount64); tests put their own here.
using TJournalTickProc = ULONGLONG(WINAPI *)();
extern TJournalTickProc JournalTickProc;
// As at the program's start: no run, nothing waiting, no failure told (tests).
void ResetJournal();
