#include <windows.h>

#include "forms/uTransparent.h"

#include "forms/uGdi.h"

// A monochrome mask (1 where the key colour is) cuts a hole in the destination, and the picture
// with its key pixels turned black fills it; no library beyond GDI is needed.
void DrawTransparent(HDC dc, int x, int y, HBITMAP bitmap, COLORREF key) {
  if (!bitmap) return;
  BITMAP bm;
  GetObjectA(bitmap, sizeof bm, &bm);
  int w = bm.bmWidth, h = bm.bmHeight;
  gdi::BitmapDC src(bitmap);
  gdi::Bitmap maskBits(CreateBitmap(w, h, 1, 1, nullptr));
  gdi::BitmapDC mask(maskBits.get());
  COLORREF oldBk = SetBkColor(src.dc(), key);
  BitBlt(mask.dc(), 0, 0, w, h, src.dc(), 0, 0, SRCCOPY);
  SetBkColor(src.dc(), oldBk);

  gdi::MemoryDC image(dc, w, h);
  BitBlt(image.dc(), 0, 0, w, h, src.dc(), 0, 0, SRCCOPY);
  SetBkColor(image.dc(), RGB(255, 255, 255));
  SetTextColor(image.dc(), RGB(0, 0, 0));
  BitBlt(image.dc(), 0, 0, w, h, mask.dc(), 0, 0, 0x00220326);  // DSna: key pixels to black

  COLORREF bk = SetBkColor(dc, RGB(255, 255, 255));
  COLORREF fg = SetTextColor(dc, RGB(0, 0, 0));
  BitBlt(dc, x, y, w, h, mask.dc(), 0, 0, SRCAND);
  BitBlt(dc, x, y, w, h, image.dc(), 0, 0, SRCPAINT);
  SetBkColor(dc, bk);
  SetTextColor(dc, fg);
}
