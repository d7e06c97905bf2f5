#include <windows.h>

#include "timing/uRunKeeper.h"

#include <sddl.h>

#include <string>

#include "forms/uSystemLib.h"
#include "run/uRunSession.h"
#include "settings/uConfig.h"
#include "settings/uRegistry.h"

static_assert(RunRecordScreenSizes == TConfig::DisplaySizeEnd,
              "a record holds the display sizes of the settings");

TRegisterRestartProc RegisterRestartProc =
    SystemFunction<TRegisterRestartProc>(L"kernel32.dll", "RegisterApplicationRestart");
TUnregisterRestartProc UnregisterRestartProc =
    SystemFunction<TUnregisterRestartProc>(L"kernel32.dll", "UnregisterApplicationRestart");

namespace {
// The bytes of the record this Tavelin last stored; empty when none of its own stands.
std::vector<uint8_t> ours;
}  // namespace

void WriteRunRecord(const TRunRecord &record) {
  const TRunRecordBytes bytes = PackRunRecord(record);
  TRegistryAccess registry(HKEY_CURRENT_USER);
  registry.OpenKey(AppConfig->RegistryKey, true);
  TKeyScope close(registry);
  registry.WriteBinary(RunStateValue, bytes.data(), bytes.size());
  ours.assign(bytes.begin(), bytes.end());
  // The events are in the record now: a value of the earlier form beside it is no longer its.
  try {
    if (registry.ValueExists(RunEventsValue)) registry.DeleteValue(RunEventsValue);
  } catch (const ETavelinError &) {
  }
}

std::optional<std::vector<uint8_t>> ReadRunRecord() {
  TRegistryAccess registry(HKEY_CURRENT_USER);
  if (!registry.OpenKeyReadOnly(AppConfig->RegistryKey)) return std::nullopt;
  TKeyScope close(registry);
  if (!registry.ValueExists(RunStateValue)) return std::nullopt;
  std::vector<uint8_t> bytes(RunRecordMaxSize);
  try {
    bytes.resize(registry.ReadBinary(RunStateValue, bytes.data(), bytes.size()));
  } catch (const ETavelinError &) {
    bytes.clear();
  }
  return bytes;
}

std::vector<uint8_t> ReadRunEvents() {
  std::vector<uint8_t> bytes;
  TRegistryAccess registry(HKEY_CURRENT_USER);
  if (!registry.OpenKeyReadOnly(AppConfig->RegistryKey)) return bytes;
  TKeyScope close(registry);
  if (!registry.ValueExists(RunEventsValue)) return bytes;
  bytes.resize(RunEventsMaxBytes);
  try {
    bytes.resize(registry.ReadBinary(RunEventsValue, bytes.data(), bytes.size()));
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
  for (const char *value : {RunStateValue, RunEventsValue}) try {
      if (registry.ValueExists(value)) registry.DeleteValue(value);
    } catch (const ETavelinError &) {
    }
}

void ClaimRunRecord(const std::vector<uint8_t> &stored) { ours = stored; }

void RemoveRunRecordIfOurs() {
  std::optional<std::vector<uint8_t>> stored;
  try {
    stored = ReadRunRecord();
  } catch (const ETavelinError &) {
  }
  if (!ours.empty() && stored == ours) RemoveRunRecord();
  ours.clear();
}

std::string UserGlobalName(const char *base) {
  std::string made;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return made;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<uint8_t> user(size);
  char *sid = nullptr;
  if (size >= sizeof(TOKEN_USER) &&
      GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
      ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid, &sid)) {
    made = std::string("Global\\") + base + "-" + sid;
    LocalFree(sid);
  }
  CloseHandle(token);
  return made;
}

namespace {
// Both names a run-open lock has had: the user's across the sessions of Windows, and the one of
// a single session that older Tavelins hold and look for.
constexpr const char *RunOpenLocalName = "Local\\TavelinRunOpen";
HANDLE runOpen = nullptr, runOpenLocal = nullptr;

std::string RunOpenGlobalName() {
  static const std::string name = UserGlobalName("TavelinRunOpen");
  return name;
}

// Held by some process: opened, or there but closed to us (a holder whose rights we lack).
bool Held(const std::string &name) {
  HANDLE held = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
  if (held) {
    CloseHandle(held);
    return true;
  }
  return GetLastError() == ERROR_ACCESS_DENIED;
}
}  // namespace

void HoldRunOpen(bool open) {
  if (open) {
    // Where the global namespace is refused, the session's name alone still guards the record.
    const std::string global = RunOpenGlobalName();
    if (!runOpen && !global.empty()) runOpen = CreateMutexA(nullptr, FALSE, global.c_str());
    if (!runOpenLocal) runOpenLocal = CreateMutexA(nullptr, FALSE, RunOpenLocalName);
  } else {
    for (HANDLE *held : {&runOpen, &runOpenLocal})
      if (*held) {
        CloseHandle(*held);
        *held = nullptr;
      }
  }
}

bool RunOpenInATavelin() {
  const std::string global = RunOpenGlobalName();
  return (!global.empty() && Held(global)) || Held(RunOpenLocalName);
}

void RegisterRunRestart(bool open) {
  // Not after a crash or a hang: the next start asks the user instead of taking the run up.
  constexpr DWORD RestartNoCrash = 1, RestartNoHang = 2;
  if (open && RegisterRestartProc)
    RegisterRestartProc(L"/reprendre", RestartNoCrash | RestartNoHang);
  else if (!open && UnregisterRestartProc)
    UnregisterRestartProc();
}
