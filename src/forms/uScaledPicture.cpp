#include <windows.h>

#include "forms/uScaledPicture.h"

#include <cstdio>
#include <string>

#include "base/uScale.h"
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
