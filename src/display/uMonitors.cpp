#include <windows.h>

#include "display/uMonitors.h"

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) {
    const RECT &r = info.rcMonitor, &w = info.rcWork;
    TMonitor m{{r.left, r.top, r.right - r.left, r.bottom - r.top},
               (info.dwFlags & MONITORINFOF_PRIMARY) != 0};
    if (!EqualRect(&r, &w)) m.Work = {w.left, w.top, w.right - w.left, w.bottom - w.top};
    reinterpret_cast<std::vector<TMonitor> *>(list)->push_back(m);
  }
  return TRUE;
}

}  // namespace

std::vector<TMonitor> SystemMonitors() {
  std::vector<TMonitor> monitors;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  if (monitors.empty())
    monitors.push_back(
        {{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, true});
  return MonitorOrder(std::move(monitors));
}

TMonitorsProc MonitorsProc = &SystemMonitors;

std::vector<TMonitor> CurrentMonitors() {
  std::vector<TMonitor> monitors = MonitorsProc();
  return monitors.empty() ? SystemMonitors() : monitors;
}
