// What a run costs the user-interface thread: the handling of one tick's messages (gauge and
// digits, painted at once), and the processor time of the whole program per minute of run.
//   bench_display.exe [seconds of run, default 30]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/UMain.h"
#include "display/uNavigChrono.h"
#include "forms/uApplication.h"
#include "settings/uConfig.h"

namespace {

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME &f) {
    return double((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) Application.ProcessMessage(msg);
}

int runSeconds = 30;
double cpuAtStart = 0;
std::chrono::steady_clock::time_point runStart;

void CALLBACK StartRun(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  auto *bar = dynamic_cast<TNavigChrono *>(Application.ActiveForm());
  if (!bar) return;
  cpuAtStart = ProcessCpuSeconds();
  runStart = std::chrono::steady_clock::now();
  bar->LaunchChrono(nullptr);
}

void CALLBACK EndRun(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  double cpu = ProcessCpuSeconds() - cpuAtStart;
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - runStart).count();
  std::printf("Run of %.1f s: %.3f s of processor time, %.1f ms per minute of run\n", wall, cpu,
              cpu / wall * 60 * 1000);
  if (auto *bar = dynamic_cast<TNavigChrono *>(Application.ActiveForm())) bar->Close();
}

}  // namespace

int main(int argc, char **argv) {
  if (argc > 1) runSeconds = std::atoi(argv[1]);
  Application.Initialize(GetModuleHandleA(nullptr));
  CreateAppConfig();
  AppConfig->TotalTime->SetTotalSeconds(5400);
  AppConfig->SetTypeInc(1);

  {
    TMain owner;
    Application.SetMainForm(&owner);
    owner.Show();
    TWatchChrono watch(&owner);
    watch.Show(false);
    Pump();
    HWND w = watch.Handle();
    const int ticks = 2000;
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    for (int k = 1; k <= ticks; ++k) {
      // What an ordinary second brings, and the seconds tens every ten seconds.
      SendMessageA(w, 0x5422, WPARAM(k % 5400), 0);
      SendMessageA(w, 0x5421, 5, LPARAM(k % 10));
      if (k % 10 == 0) SendMessageA(w, 0x5421, 4, LPARAM((k / 10) % 6));
    }
    QueryPerformanceCounter(&b);
    double us = double(b.QuadPart - a.QuadPart) * 1e6 / double(f.QuadPart) / ticks;
    std::printf("One tick on the user-interface thread (gauge and digits, painted): %.1f us\n", us);
    Application.SetMainForm(nullptr);
  }

  TMain mainWindow;
  Main = &mainWindow;
  Application.SetMainForm(&mainWindow);
  mainWindow.Show();
  Pump();
  SetTimer(nullptr, 0, 200, StartRun);
  SetTimer(nullptr, 0, UINT(200 + runSeconds * 1000), EndRun);
  mainWindow.LaunchChrono(nullptr);
  Application.SetMainForm(nullptr);
  Main = nullptr;
  ReleaseAppConfig();
  return 0;
}
