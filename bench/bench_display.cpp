// What a run costs the user-interface thread: the handling of one tick's messages (gauge and
// digits, painted at once) at each display size, the five fixed ones and the full width of the
// primary monitor, and the processor time of the whole program per minute of run.
//   bench_display.exe [seconds of run, default 30; 0 for none] [display size of the run]
// Run it on the screen whose full width is to be measured, e.g.
//   scripts/wine-test.sh build/wine-template 3840x2160x24 build/win/bench_display.exe 60 5
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

double MicrosecondsSince(const LARGE_INTEGER &from) {
  LARGE_INTEGER f, now;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&now);
  return double(now.QuadPart - from.QuadPart) * 1e6 / double(f.QuadPart);
}

// One display size: the window made and shown, then the ticks of a 90-minute count-down as the
// message thread sends them (the gauge changes its picture at some of them), then each part of
// a tick alone. A tick's most is a digit and the gauge together.
void TickCost(int32_t size, TForm &owner) {
  AppConfig->UserScreenSize = size;
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  TWatchChrono watch(&owner);
  watch.Show(false);
  Pump();
  double made = MicrosecondsSince(t) / 1000;
  HWND w = watch.Handle();
  const int ticks = 2000;
  QueryPerformanceCounter(&t);
  for (int k = 1; k <= ticks; ++k) {
    // What an ordinary second brings, and the seconds tens every ten seconds.
    SendMessageA(w, 0x5422, WPARAM(k % 5400), 0);
    SendMessageA(w, 0x5421, 5, LPARAM(k % 10));
    if (k % 10 == 0) SendMessageA(w, 0x5421, 4, LPARAM((k / 10) % 6));
  }
  double run = MicrosecondsSince(t) / ticks;
  // Where a tick's time goes: a message that changes nothing, a digit, the gauge's picture.
  QueryPerformanceCounter(&t);
  for (int k = 1; k <= ticks; ++k) SendMessageA(w, 0x5421, 5, LPARAM(watch.Digit(5).CurrentNumber()));
  double message = MicrosecondsSince(t) / ticks;
  QueryPerformanceCounter(&t);
  for (int k = 1; k <= ticks; ++k) SendMessageA(w, 0x5421, 5, LPARAM(k % 2 ? 1 : 8));
  double digit = MicrosecondsSince(t) / ticks;
  QueryPerformanceCounter(&t);
  for (int k = 1; k <= ticks; ++k) SendMessageA(w, 0x5422, WPARAM(k % 2 ? 1000 : 4000), 0);
  double gauge = MicrosecondsSince(t) / ticks;
  RECT r;
  GetWindowRect(w, &r);
  std::printf("Size %d, %4ld x %4ld (u = %2d, text %3d pt), made in %5.1f ms: a tick of a run "
              "%6.1f us; a message alone %4.1f us, a digit %6.1f us, the gauge %6.1f us\n",
              int(size), r.right - r.left, r.bottom - r.top, watch.Digit(0).Unit(),
              watch.Gauge().FontSize(), made, run, message, digit, gauge);
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
    for (int32_t size = 0; size <= 5; ++size) TickCost(size, owner);
    Application.SetMainForm(nullptr);
  }
  if (runSeconds <= 0) {
    ReleaseAppConfig();
    return 0;
  }
  if (argc > 2) AppConfig->UserScreenSize = std::atoi(argv[2]);

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
