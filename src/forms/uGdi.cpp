#include <windows.h>

#include "forms/uGdi.h"

#include <atomic>

#include "base/uErrors.h"

namespace gdi {

namespace {
std::atomic<long> live{0};
std::atomic<long> created{0};
}  // namespace

long LiveObjects() { return live.load(); }
long CreatedTotal() { return created.load(); }
void NoteCreated() {
  ++live;
  ++created;
}
void NoteFreed() { --live; }

Pen MakePen(int style, int width, COLORREF color) { return Pen(CreatePen(style, width, color)); }

Brush MakeBrush(COLORREF color) { return Brush(CreateSolidBrush(color)); }

Bitmap MakeCompatibleBitmap(HDC dc, int width, int height) {
  HBITMAP b = CreateCompatibleBitmap(dc, width > 0 ? width : 1, height > 0 ? height : 1);
  if (!b) throw ETavelinError("Ressources graphiques épuisées (bitmap)");
  return Bitmap(b);
}

Bitmap LoadBitmapResource(HINSTANCE module, const char *name) {
  return Bitmap(static_cast<HBITMAP>(
      LoadImageA(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

Font MakeFont(const std::string &face, int height, bool bold, bool italic) {
  return Font(CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE,
                          ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

int PointsToHeight(int points) { return -MulDiv(points, 96, 72); }

MemoryDC::MemoryDC(HDC reference, int width, int height) : width_(width), height_(height) {
  dc_ = CreateCompatibleDC(reference);
  if (!dc_) throw ETavelinError("Ressources graphiques épuisées (DC)");
  NoteCreated();
  try {
    bitmap_ = MakeCompatibleBitmap(reference, width, height);
  } catch (...) {
    // No destructor runs for an object whose constructor throws: the DC goes here.
    DeleteDC(dc_);
    NoteFreed();
    throw;
  }
  previous_ = SelectObject(dc_, bitmap_.get());
}

MemoryDC::~MemoryDC() {
  SelectObject(dc_, previous_);
  bitmap_.Reset();
  DeleteDC(dc_);
  NoteFreed();
}

BitmapDC::BitmapDC(HBITMAP bitmap) {
  dc_ = CreateCompatibleDC(nullptr);
  if (!dc_) throw ETavelinError("Ressources graphiques épuisées (DC)");
  NoteCreated();
  previous_ = SelectObject(dc_, bitmap);
}

BitmapDC::~BitmapDC() {
  SelectObject(dc_, previous_);
  DeleteDC(dc_);
  NoteFreed();
}

void FillSolid(HDC dc, const RECT &r, COLORREF color) {
  COLORREF old = SetBkColor(dc, color);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

}  // namespace gdi
