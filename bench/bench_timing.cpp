// Real-time accuracy and cost of the timing engine, beside the old fixed-sleep
// schedule (500 ms + 499 ms, no clock) running in the same process.
//
//   bench_timing [ticks]      (default 60; at least 60 is meaningful)
//
// For each schedule it prints the lateness of tick k's progress message
// against the ideal start + k s (mean, largest, smallest, last), the drift per
// hour extrapolated from a least-squares fit, and the CPU time its threads
// used per minute of run.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>
#endif

#include "run/uThreadContainer.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// ---------------------------------------------------------------- CPU time

// A handle on the CPU time of the calling thread, readable from any thread
// for as long as that thread is alive.
struct TThreadCpu {
#ifdef _WIN32
  HANDLE Handle = nullptr;
  static TThreadCpu OfCurrent() {
    TThreadCpu t;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                    &t.Handle, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return t;
  }
  double Seconds() const {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(Handle, &created, &exited, &kernel, &user)) return -1;
    auto ticks = [](FILETIME f) {
      return (static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;
  }
#else
  clockid_t Id{};
  static TThreadCpu OfCurrent() {
    TThreadCpu t;
    pthread_getcpuclockid(pthread_self(), &t.Id);
    return t;
  }
  double Seconds() const {
    timespec ts{};
    if (clock_gettime(Id, &ts) != 0) return -1;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
  }
#endif
};

double ProcessCpuSeconds() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ticks = [](FILETIME f) {
    return (static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;
#else
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
#endif
}

// ---------------------------------------------------------------- recording

// When each tick's progress was posted, preallocated so that recording costs
// the engine nothing but a clock read.
struct TTickLog {
  explicit TTickLog(uint32_t ticks) : At(ticks + 1) {}
  std::vector<SteadyClock::time_point> At;  // index k: tick k
  std::atomic<uint32_t> Count{0};
  void Record(uint32_t tick) {
    if (tick < At.size()) At[tick] = SteadyClock::now();
    Count.store(tick, std::memory_order_release);
  }
};

class TBenchPoster final : public TMessagePoster {
 public:
  TBenchPoster(TTickLog& log, std::function<void()> onFinal)
      : FLog(log), FOnFinal(std::move(onFinal)) {}
  void Post(uintptr_t, unsigned msg, uintptr_t wParam, intptr_t) override {
    if (msg == WM_SET_PROGRESS) FLog.Record(static_cast<uint32_t>(wParam));
    // The container is waiting for this thread and the time thread is
    // parked: all three are still alive, so their CPU clocks can be read.
    if (msg == WM_PLAY_FINAL) FOnFinal();
    if (msg == WM_RUN_FINISHED) {
      std::lock_guard<std::mutex> guard(Lock);
      Finished = true;
      Done.notify_all();
    }
  }
  std::mutex Lock;
  std::condition_variable Done;
  bool Finished = false;

 private:
  TTickLog& FLog;
  std::function<void()> FOnFinal;
};

// ---------------------------------------------------------------- old schedule

// The fixed-sleep schedule the engine replaced: release the arithmetic, sleep
// 500 ms, copy, sleep 499 ms, post; never look at a clock. The tick's
// arithmetic is done inline: it takes nanoseconds either way.
void RunFixedSleeps(uint32_t ticks, TTickLog& log, double& cpuSeconds,
                    SteadyClock::time_point& start) {
#ifdef _WIN32
  SetThreadPriority(GetCurrentThread(), TimeCriticalPriority);
#endif
  const TThreadCpu cpu = TThreadCpu::OfCurrent();
  start = SteadyClock::now();
  volatile uint32_t shown = 0;
  for (uint32_t k = 1; k <= ticks; ++k) {
    shown = shown + 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    volatile uint32_t snapshot = shown;
    (void)snapshot;
    std::this_thread::sleep_for(std::chrono::milliseconds(499));
    log.Record(k);
  }
  cpuSeconds = cpu.Seconds();
}

// ---------------------------------------------------------------- figures

struct TFigures {
  double MeanMs = 0, MaxMs = 0, MinMs = 0, LastMs = 0, DriftMsPerHour = 0;
};

TFigures Measure(const TTickLog& log, SteadyClock::time_point start, uint32_t ticks) {
  TFigures f;
  std::vector<double> late;
  for (uint32_t k = 1; k <= ticks; ++k) {
    const auto ideal = start + std::chrono::seconds(k);
    late.push_back(std::chrono::duration<double, std::milli>(log.At[k] - ideal).count());
  }
  double sum = 0, sk = 0, skk = 0, skl = 0;
  f.MaxMs = late[0];
  f.MinMs = late[0];
  for (uint32_t i = 0; i < ticks; ++i) {
    const double k = i + 1;
    sum += late[i];
    sk += k;
    skk += k * k;
    skl += k * late[i];
    f.MaxMs = std::max(f.MaxMs, late[i]);
    f.MinMs = std::min(f.MinMs, late[i]);
  }
  const double n = ticks;
  f.MeanMs = sum / n;
  f.LastMs = late.back();
  const double slopeMsPerTick = (n * skl - sk * sum) / (n * skk - sk * sk);
  f.DriftMsPerHour = slopeMsPerTick * 3600.0;
  return f;
}

void Print(const char* name, const TFigures& f, double cpuSeconds, double minutes) {
  std::printf("%-22s %9.3f %9.3f %9.3f %9.3f %12.1f %14.4f\n", name, f.MeanMs, f.MaxMs,
              f.MinMs, f.LastMs, f.DriftMsPerHour, cpuSeconds / minutes);
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t ticks = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 60;
  if (ticks < 2) {
    std::fprintf(stderr, "bench_timing: at least 2 ticks\n");
    return 2;
  }

  TTickLog engineLog(ticks), fixedLog(ticks);
  std::mutex cpuLock;
  std::vector<TThreadCpu> engineCpu;
  double engineCpuSeconds = 0;
  TBenchPoster poster(engineLog, [&] {
    std::lock_guard<std::mutex> guard(cpuLock);
    for (const TThreadCpu& t : engineCpu) engineCpuSeconds += t.Seconds();
  });
  TSteadyClock clock;
  auto hook = [&](int priority) {
#ifdef _WIN32
    SetThreadPriority(GetCurrentThread(), priority);
#else
    (void)priority;
#endif
    std::lock_guard<std::mutex> guard(cpuLock);
    engineCpu.push_back(TThreadCpu::OfCurrent());
  };

  const double processCpuBefore = ProcessCpuSeconds();
  TMainThread engine(1, 2, TRunSettings{ticks, 30, 0, [] { return true; }}, clock, poster,
                     hook);
  double fixedCpuSeconds = 0;
  SteadyClock::time_point fixedStart;
  std::thread fixed(RunFixedSleeps, ticks, std::ref(fixedLog), std::ref(fixedCpuSeconds),
                    std::ref(fixedStart));
  const auto engineStart = SteadyClock::now();
  engine.Resume();

  {
    std::unique_lock<std::mutex> lock(poster.Lock);
    poster.Done.wait_for(lock, std::chrono::seconds(ticks + 30),
                         [&] { return poster.Finished; });
  }
  fixed.join();
  const bool ended = engine.WaitFor(500);
  const double processCpu = ProcessCpuSeconds() - processCpuBefore;

  if (!ended || engineLog.Count.load(std::memory_order_acquire) != ticks) {
    std::fprintf(stderr, "bench_timing: the engine did not finish its %" PRIu32 " ticks\n",
                 ticks);
    return 1;
  }
  const double minutes = ticks / 60.0;
  std::printf("%" PRIu32 " ticks in real time; lateness of tick k's progress against start + k s\n\n",
              ticks);
  std::printf("%-22s %9s %9s %9s %9s %12s %14s\n", "schedule", "mean ms", "max ms",
              "min ms", "last ms", "drift ms/h", "CPU s per min");
  double engineCpuRead = 0;
  {
    std::lock_guard<std::mutex> guard(cpuLock);
    engineCpuRead = engineCpuSeconds;
  }
  Print("deadlines (engine)", Measure(engineLog, engineStart, ticks), engineCpuRead,
        minutes);
  Print("fixed sleeps 500+499", Measure(fixedLog, fixedStart, ticks), fixedCpuSeconds,
        minutes);
  std::printf("\nengine threads seen by the hook: %zu; process CPU for the whole run: %.4f s"
              " (%.4f s per minute, both schedules and the main thread)\n",
              engineCpu.size(), processCpu, processCpu / minutes);
  return 0;
}
