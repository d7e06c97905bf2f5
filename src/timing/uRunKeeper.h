// uRunKeeper - the Windows side of a run's record: the RunState value in the settings' key, and the system's restart of the program after an update.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "run/uRunRecord.h"
#include "timing/uWallClock.h"


// The registry value that holds the record.
constexpr const char *RunStateValue = "RunState";

// Writes the record into AppConfig's key, replacing the last one.
void WriteRunRecord(const TRunRecord &record);
// The stored bytes, as stored; nothing when there is no record. A value of another type, or too
// large for any record, is read as no bytes at all, so that it is refused and removed.
std::optional<std::vector<uint8_t>> ReadRunRecord();
// The events of the open run are in its record (TRunRecord::Events). An earlier Tavelin kept them
// in a value of their own beside it (RunEvents, REG_BINARY), read for a record of that form and
// removed with the record, or when the record is next written. No bytes when there are none.
constexpr const char *RunEventsValue = "RunEvents";
std::vector<uint8_t> ReadRunEvents();
// Best effort: never throws. The events go with it.
void RemoveRunRecord();
// The stored record of a run this Tavelin takes up: its own, as if it had written it.
void ClaimRunRecord(const std::vector<uint8_t> &stored);
// Removes the record only while it is still the last one this Tavelin stored (written, or
// claimed): another Tavelin's run may have written its own since, and it stays; and after a
// write that failed, what stands is no longer ours to judge. Never throws.
void RemoveRunRecordIfOurs();

// While a run is open, other Tavelins can tell that its record is no interrupted run: a second
// one started meanwhile neither offers it back nor removes it, in any session of the same user
// (the record is the user's). Held by the process, so that a killed or crashed Tavelin holds it
// no more.
void HoldRunOpen(bool open);
// "Global\<base>-S-1-5-21-…": one name per user, whatever the session of Windows; empty when the
// user's SID cannot be had.
std::string UserGlobalName(const char *base);
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
