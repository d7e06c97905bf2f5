#include <windows.h>

#include "forms/uDpi.h"

#include "forms/uSystemLib.h"

namespace {

using GetDpiForWindowProc = UINT(WINAPI *)(HWND);
using GetDpiForMonitorProc = HRESULT(WINAPI *)(HMONITOR, int, UINT *, UINT *);
using AdjustForDpiProc = BOOL(WINAPI *)(LPRECT, DWORD, BOOL, DWORD, UINT);
using MetricForDpiProc = int(WINAPI *)(int, UINT);

}  // namespace

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : DesignDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return SaneDpi(dpi);
}

int WindowDpi(HWND window) {
  static const auto proc = SystemFunction<GetDpiForWindowProc>(L"user32.dll", "GetDpiForWindow");
  if (proc && window)
    if (UINT dpi = proc(window)) return SaneDpi(int(dpi));
  // Windows 8.1 and the first Windows 10 scale each monitor too, without this function.
  if (window) return MonitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
  return SystemDpi();
}

int MonitorDpi(HMONITOR monitor) {
  static const auto proc = SystemFunction<GetDpiForMonitorProc>(L"shcore.dll", "GetDpiForMonitor");
  UINT x = 0, y = 0;
  // MDT_EFFECTIVE_DPI is 0.
  if (proc && monitor && SUCCEEDED(proc(monitor, 0, &x, &y)) && y) return SaneDpi(int(y));
  return SystemDpi();
}

int PointDpi(POINT at) { return MonitorDpi(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST)); }

void AdjustWindowRectForDpi(RECT &rect, DWORD style, DWORD exStyle, int dpi) {
  static const auto proc =
      SystemFunction<AdjustForDpiProc>(L"user32.dll", "AdjustWindowRectExForDpi");
  // At the system's own DPI the two agree: the older call then keeps every pixel as it was.
  if (dpi != SystemDpi() && proc && proc(&rect, style, FALSE, exStyle, UINT(dpi))) return;
  AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

int SystemMetricForDpi(int index, int dpi) {
  static const auto proc =
      SystemFunction<MetricForDpiProc>(L"user32.dll", "GetSystemMetricsForDpi");
  dpi = SaneDpi(dpi);
  if (proc) return proc(index, UINT(dpi));
  return RescaleLength(GetSystemMetrics(index), SystemDpi(), dpi);
}
