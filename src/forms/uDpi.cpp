#include <windows.h>

#include "forms/uDpi.h"

namespace {

template <class F>
F SystemFunction(const char *module, const char *name) {
  HMODULE m = GetModuleHandleA(module);
  if (!m) m = LoadLibraryA(module);
  return m ? reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(m, name))) : nullptr;
}

using GetDpiForWindowProc = UINT(WINAPI *)(HWND);
using GetDpiForMonitorProc = HRESULT(WINAPI *)(HMONITOR, int, UINT *, UINT *);
using AdjustForDpiProc = BOOL(WINAPI *)(LPRECT, DWORD, BOOL, DWORD, UINT);

}  // namespace

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : DesignDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return SaneDpi(dpi);
}

int WindowDpi(HWND window) {
  static const auto proc = SystemFunction<GetDpiForWindowProc>("user32.dll", "GetDpiForWindow");
  if (proc && window)
    if (UINT dpi = proc(window)) return SaneDpi(int(dpi));
  return SystemDpi();
}

int MonitorDpi(HMONITOR monitor) {
  static const auto proc = SystemFunction<GetDpiForMonitorProc>("shcore.dll", "GetDpiForMonitor");
  UINT x = 0, y = 0;
  // MDT_EFFECTIVE_DPI is 0.
  if (proc && monitor && SUCCEEDED(proc(monitor, 0, &x, &y)) && y) return SaneDpi(int(y));
  return SystemDpi();
}

int PointDpi(POINT at) { return MonitorDpi(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST)); }

void AdjustWindowRectForDpi(RECT &rect, DWORD style, DWORD exStyle, int dpi) {
  static const auto proc =
      SystemFunction<AdjustForDpiProc>("user32.dll", "AdjustWindowRectExForDpi");
  // At the system's own DPI the two agree: the older call then keeps every pixel as it was.
  if (dpi != SystemDpi() && proc && proc(&rect, style, FALSE, exStyle, UINT(dpi))) return;
  AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

#include <cstdio>
#include <string>

#include "forms/uTransparent.h"

gdi::Bitmap LoadScaledBitmap(HINSTANCE module, const char *name, int dpi, bool exact,
                             COLORREF key, COLORREF under) {
  dpi = SaneDpi(dpi);
  int scale = PictureScale(dpi);
  char suffix[8] = "";
  if (scale != 100) std::snprintf(suffix, sizeof suffix, "_%d", scale);
  std::string resource = std::string(name) + suffix;
  gdi::Bitmap picture = gdi::LoadBitmapResource(module, resource.c_str());
  if (!picture) {
    // A picture drawn at one size only.
    scale = 100;
    picture = gdi::LoadBitmapResource(module, name);
  }
  if (!picture) return picture;
  BITMAP bm{};
  GetObjectA(picture.get(), sizeof bm, &bm);
  int pictureDpi = DesignDpi * scale / 100;
  int w = bm.bmWidth, h = bm.bmHeight;
  int W = w, H = h;
  if (exact) {
    // The 100 % size times the scale, as the control that it fills was scaled.
    W = ScaleLength(RescaleLength(w, pictureDpi, DesignDpi), dpi);
    H = ScaleLength(RescaleLength(h, pictureDpi, DesignDpi), dpi);
  } else if (scale == 200 && dpi > pictureDpi) {
    W = RescaleLength(w, pictureDpi, dpi);
    H = RescaleLength(h, pictureDpi, dpi);
  }
  if (W == w && H == h) return picture;
  gdi::WindowDC screen(nullptr);
  gdi::MemoryDC source(screen.dc(), w, h);
  if (key != CLR_INVALID) {
    gdi::FillSolid(source.dc(), RECT{0, 0, w, h}, under);
    DrawTransparent(source.dc(), 0, 0, picture.get(), key);
  } else {
    gdi::BitmapDC original(picture.get());
    BitBlt(source.dc(), 0, 0, w, h, original.dc(), 0, 0, SRCCOPY);
  }
  gdi::Bitmap sized = gdi::MakeCompatibleBitmap(screen.dc(), W, H);
  gdi::BitmapDC target(sized.get());
  SetStretchBltMode(target.dc(), HALFTONE);
  SetBrushOrgEx(target.dc(), 0, 0, nullptr);
  StretchBlt(target.dc(), 0, 0, W, H, source.dc(), 0, 0, w, h, SRCCOPY);
  return sized;
}
