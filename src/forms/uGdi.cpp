#include <windows.h>

#include "forms/uGdi.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "base/uErrors.h"
#include "forms/uSystemLib.h"

namespace gdi {

namespace {
std::atomic<long> live{0};
std::atomic<long> created{0};

std::atomic<TMisuseHandler> misuseHandler{nullptr};
// The memory DCs alive now: few at a time, so a list does.
std::mutex dcsLock;
std::vector<HDC> ownDCs;

void OwnDC(HDC dc) {
  std::lock_guard<std::mutex> hold(dcsLock);
  ownDCs.push_back(dc);
}

void DisownDC(HDC dc) {
  std::lock_guard<std::mutex> hold(dcsLock);
  auto it = std::find(ownDCs.begin(), ownDCs.end(), dc);
  if (it != ownDCs.end()) ownDCs.erase(it);
}
}  // namespace

void SetMisuseHandler(TMisuseHandler handler) { misuseHandler = handler; }

void NoteDeleting(HGDIOBJ object) {
  TMisuseHandler handler = misuseHandler;
  if (!handler) return;
  const DWORD type = GetObjectType(object);
  if (type != OBJ_BITMAP && type != OBJ_PEN && type != OBJ_BRUSH && type != OBJ_FONT) return;
  bool selected = false;
  {
    std::lock_guard<std::mutex> hold(dcsLock);
    for (HDC dc : ownDCs)
      if (GetCurrentObject(dc, UINT(type)) == object) selected = true;
  }
  if (selected)
    handler("a GDI object is deleted while still selected into a DC of ours: Windows refuses "
            "and the object leaks");
}

void SendPainted() {
  GdiFlush();
  // Wine sends a window's painting when the thread asks for the keyboard's state and no input
  // waits. Only there: on Windows the call would only take the "pressed since" bit of the key
  // from another program that polls it.
  static const bool wine = RunningUnderWine();
  if (wine) GetAsyncKeyState(VK_SHIFT);
}

std::vector<RECT> ClipRects(HDC dc, const RECT &box, size_t most) {
  Region clip(CreateRectRgn(0, 0, 0, 0));
  if (GetClipRgn(dc, clip.get()) != 1) return {box};
  POINT origin{0, 0};
  GetViewportOrgEx(dc, &origin);
  OffsetRgn(clip.get(), -origin.x, -origin.y);
  DWORD size = GetRegionData(clip.get(), 0, nullptr);
  std::vector<char> bytes(size);
  if (size == 0 || !GetRegionData(clip.get(), size, reinterpret_cast<RGNDATA *>(bytes.data())))
    return {box};
  const auto *data = reinterpret_cast<const RGNDATA *>(bytes.data());
  const auto *rects = reinterpret_cast<const RECT *>(data->Buffer);
  if (data->rdh.nCount > most) return {box};
  std::vector<RECT> out;
  for (DWORD i = 0; i < data->rdh.nCount; ++i) {
    RECT part;
    if (IntersectRect(&part, &rects[i], &box)) out.push_back(part);
  }
  return out;
}

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

Bitmap MakeTwoColorBitmap(int width, int height, COLORREF zero, COLORREF one) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } info{};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = width > 0 ? width : 1;
  info.header.biHeight = height > 0 ? height : 1;
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.header.biClrUsed = 2;
  info.colours[0] = RGBQUAD{GetBValue(zero), GetGValue(zero), GetRValue(zero), 0};
  info.colours[1] = RGBQUAD{GetBValue(one), GetGValue(one), GetRValue(one), 0};
  void *bits = nullptr;
  HBITMAP b = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS,
                               &bits, nullptr, 0);
  if (!b) throw ETavelinError("Ressources graphiques épuisées (bitmap)");
  // A new section is all zero bits: the first colour.
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
  OwnDC(dc_);
}

MemoryDC::~MemoryDC() {
  SelectObject(dc_, previous_);
  bitmap_.Reset();
  DisownDC(dc_);
  DeleteDC(dc_);
  NoteFreed();
}

BitmapDC::BitmapDC(HBITMAP bitmap) {
  dc_ = CreateCompatibleDC(nullptr);
  if (!dc_) throw ETavelinError("Ressources graphiques épuisées (DC)");
  NoteCreated();
  previous_ = SelectObject(dc_, bitmap);
  OwnDC(dc_);
}

BitmapDC::~BitmapDC() {
  SelectObject(dc_, previous_);
  DisownDC(dc_);
  DeleteDC(dc_);
  NoteFreed();
}

void FillSolid(HDC dc, const RECT &r, COLORREF color) {
  COLORREF old = SetBkColor(dc, color);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

HICON LoadSharedIcon(HINSTANCE module, const char *name, int size) {
  return static_cast<HICON>(LoadImageA(module, name, IMAGE_ICON, size, size, LR_SHARED));
}

}  // namespace gdi
