// The Windows side of uEngineSync. Elsewhere the header names the standard
// types and this file is not built.
#include <windows.h>

#include "run/uEngineSync.h"

#include <cstdint>

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*),
              "the engine's lock and condition hold one pointer each");

namespace {

PSRWLOCK Srw(void*& state) { return reinterpret_cast<PSRWLOCK>(&state); }
PCONDITION_VARIABLE Cv(void*& state) { return reinterpret_cast<PCONDITION_VARIABLE>(&state); }

}  // namespace

void TEngineMutex::lock() { AcquireSRWLockExclusive(Srw(FState)); }

void TEngineMutex::unlock() { ReleaseSRWLockExclusive(Srw(FState)); }

bool TEngineMutex::try_lock() { return TryAcquireSRWLockExclusive(Srw(FState)) != 0; }

void TEngineCondition::wait(std::unique_lock<TEngineMutex>& lock) {
  SleepConditionVariableSRW(Cv(FState), Srw(lock.mutex()->FState), INFINITE, 0);
}

void TEngineCondition::wait_until(std::unique_lock<TEngineMutex>& lock,
                                  std::chrono::steady_clock::time_point until) {
  const auto left = until - std::chrono::steady_clock::now();
  if (left <= left.zero()) return;
  // Rounded up: waking a little after the deadline costs nothing, waking
  // before it costs one more wait. A deadline beyond what a wait can take is
  // met in several waits.
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  constexpr int64_t longest = 0x7FFFFFFF;
  if (ms > longest) ms = longest;
  SleepConditionVariableSRW(Cv(FState), Srw(lock.mutex()->FState), DWORD(ms), 0);
}

void TEngineCondition::notify_one() noexcept { WakeConditionVariable(Cv(FState)); }

void TEngineCondition::notify_all() noexcept { WakeAllConditionVariable(Cv(FState)); }
