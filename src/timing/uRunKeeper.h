// uRunKeeper - the Windows side of a run's record: the RunState value in the settings' key, and the system's restart of the program after an update.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "timing/uRunRecord.h"
#include "timing/uWallClock.h"


// The registry value that holds the record.
constexpr const char *RunStateValue = "RunState";

// Writes the record into AppConfig's key, replacing the last one.
void WriteRunRecord(const TRunRecord &record);
// The stored bytes, as stored; nothing when there is no record. A value of another type, or too
// large for a record, is read as no bytes at all, so that it is refused and removed.
std::optional<std::vector<uint8_t>> ReadRunRecord();
// Best effort: never throws.
void RemoveRunRecord();
// The same, only while the stored record is still `written`, the last one written here: another
// Tavelin's run may have written its own since, and it stays.
void RemoveRunRecordIfOurs(const TRunRecord &written);

// While a run is open, other Tavelins can tell that its record is no interrupted run: a second
// one started meanwhile neither offers it back nor removes it. Held by the process, so that a
// killed or crashed Tavelin holds it no more.
void HoldRunOpen(bool open);
bool RunOpenInATavelin();

// While a run is open, Windows restarts the program with /reprendre after an update that needs
// the computer restarted. Absent before Vista, where this does nothing.
void RegisterRunRestart(bool open);
// The system's RegisterApplicationRestart and UnregisterApplicationRestart, looked up in
// kernel32 (null where it has none); tests put recorders here.
using TRegisterRestartProc = HRESULT(WINAPI *)(PCWSTR commandLine, DWORD flags);
using TUnregisterRestartProc = HRESULT(WINAPI *)();
extern TRegisterRestartProc RegisterRestartProc;
extern TUnregisterRestartProc UnregisterRestartProc;
