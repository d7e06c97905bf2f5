#include <windows.h>

#include "timing/uRunKeeper.h"

#include <algorithm>

#include "forms/uSystemLib.h"
#include "settings/uConfig.h"
#include "settings/uRegistry.h"

static_assert(RunRecordScreenSizes == TConfig::DisplaySizeEnd,
              "a record holds the display sizes of the settings");

TRegisterRestartProc RegisterRestartProc =
    SystemFunction<TRegisterRestartProc>(L"kernel32.dll", "RegisterApplicationRestart");
TUnregisterRestartProc UnregisterRestartProc =
    SystemFunction<TUnregisterRestartProc>(L"kernel32.dll", "UnregisterApplicationRestart");

void WriteRunRecord(const TRunRecord &record) {
  const TRunRecordBytes bytes = PackRunRecord(record);
  TRegistryAccess registry(HKEY_CURRENT_USER);
  registry.OpenKey(AppConfig->RegistryKey, true);
  TKeyScope close(registry);
  registry.WriteBinary(RunStateValue, bytes.data(), bytes.size());
}

std::optional<std::vector<uint8_t>> ReadRunRecord() {
  TRegistryAccess registry(HKEY_CURRENT_USER);
  if (!registry.OpenKeyReadOnly(AppConfig->RegistryKey)) return std::nullopt;
  TKeyScope close(registry);
  if (!registry.ValueExists(RunStateValue)) return std::nullopt;
  std::vector<uint8_t> bytes(RunRecordSize);
  try {
    bytes.resize(registry.ReadBinary(RunStateValue, bytes.data(), bytes.size()));
  } catch (const ETavelinError &) {
    bytes.clear();
  }
  return bytes;
}

void RemoveRunRecord() {
  TRegistryAccess registry(HKEY_CURRENT_USER);
  if (!registry.OpenKey(AppConfig->RegistryKey, false)) return;
  TKeyScope close(registry);
  // A record that stays is asked about at the next start, nothing worse.
  try {
    registry.DeleteValue(RunStateValue);
  } catch (const ETavelinError &) {
  }
}

void RemoveRunRecordIfOurs(const TRunRecord &written) {
  const std::optional<std::vector<uint8_t>> stored = ReadRunRecord();
  const TRunRecordBytes ours = PackRunRecord(written);
  if (stored && std::equal(stored->begin(), stored->end(), ours.begin(), ours.end()))
    RemoveRunRecord();
}

namespace {
// Per session of Windows, as the record is per user.
constexpr const char *RunOpenName = "Local\\TavelinRunOpen";
HANDLE runOpen = nullptr;
}  // namespace

void HoldRunOpen(bool open) {
  if (open && !runOpen) {
    runOpen = CreateMutexA(nullptr, FALSE, RunOpenName);
  } else if (!open && runOpen) {
    CloseHandle(runOpen);
    runOpen = nullptr;
  }
}

bool RunOpenInATavelin() {
  HANDLE held = OpenMutexA(SYNCHRONIZE, FALSE, RunOpenName);
  if (!held) return false;
  CloseHandle(held);
  return true;
}

void RegisterRunRestart(bool open) {
  // Not after a crash or a hang: the next start asks the user instead of taking the run up.
  constexpr DWORD RestartNoCrash = 1, RestartNoHang = 2;
  if (open && RegisterRestartProc)
    RegisterRestartProc(L"/reprendre", RestartNoCrash | RestartNoHang);
  else if (!open && UnregisterRestartProc)
    UnregisterRestartProc();
}
