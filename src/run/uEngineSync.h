// uEngineSync - the lock and the wake-up signal of the timing engine.
//
// A run hands work between the engine's three threads several times a second.
// With this toolchain std::mutex and std::condition_variable come from
// winpthreads, which waits and wakes on kernel semaphores: under Wine every
// one of those is a round trip to the wineserver, and a second of a run cost
// about a dozen of them on the container alone. On Windows the engine
// therefore uses the system's slim reader/writer lock and condition variable,
// which wait in user space when there is nothing to wait for and on an address
// (a futex under Wine) when there is. Elsewhere, where the engine is tested
// under the sanitizers, it uses the standard ones, which they understand.
//
// Both types meet what the engine asks of them: std::unique_lock and
// std::lock_guard over the mutex, and on the condition wait(lock),
// wait_until(lock, steady time point), notify_one() and notify_all().
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#if defined(_WIN32)

class TEngineCondition;

class TEngineMutex {
 public:
  TEngineMutex() = default;
  TEngineMutex(const TEngineMutex&) = delete;
  TEngineMutex& operator=(const TEngineMutex&) = delete;

  void lock();
  void unlock();
  bool try_lock();

 private:
  friend class TEngineCondition;
  // An SRWLOCK: a single pointer, all zero when the lock is free.
  void* FState = nullptr;
};

class TEngineCondition {
 public:
  TEngineCondition() = default;
  TEngineCondition(const TEngineCondition&) = delete;
  TEngineCondition& operator=(const TEngineCondition&) = delete;

  // Both may return spuriously; the caller re-checks its state.
  void wait(std::unique_lock<TEngineMutex>& lock);
  void wait_until(std::unique_lock<TEngineMutex>& lock,
                  std::chrono::steady_clock::time_point until);
  void notify_one() noexcept;
  void notify_all() noexcept;

 private:
  // A CONDITION_VARIABLE: a single pointer, all zero when nobody waits.
  void* FState = nullptr;
};

#else

using TEngineMutex = std::mutex;
using TEngineCondition = std::condition_variable;

#endif
