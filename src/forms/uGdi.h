#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// Every GDI object the program creates goes through these owners, which count what they create
// and free: Wine answers 0 to GetGuiResources, so this count is how a leak shows.
namespace gdi {

long LiveObjects();   // created and not yet freed
long CreatedTotal();  // ever created
void NoteCreated();
void NoteFreed();

// Windows refuses to delete an object that is still selected into a DC, and the object then
// leaks; Wine deletes it anyway, so the tests would never see the leak. Given a handler (the test
// build installs one), the owners below report every deletion of an object that one of our DCs
// still holds.
using TMisuseHandler = void (*)(const char *what);
void SetMisuseHandler(TMisuseHandler handler);
// Checks `object` against the DCs we own, just before it is deleted.
void NoteDeleting(HGDIOBJ object);

// An owned GDI object (pen, brush, font, bitmap, region).
template <class H>
class Owned {
public:
  Owned() = default;
  explicit Owned(H h) : h_(h) {
    if (h_) NoteCreated();
  }
  Owned(Owned &&o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  Owned &operator=(Owned &&o) noexcept {
    if (this != &o) {
      Reset();
      h_ = std::exchange(o.h_, nullptr);
    }
    return *this;
  }
  Owned(const Owned &) = delete;
  Owned &operator=(const Owned &) = delete;
  ~Owned() { Reset(); }
  void Reset() {
    if (h_) {
      NoteDeleting(h_);
      DeleteObject(h_);
      NoteFreed();
      h_ = nullptr;
    }
  }
  H get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

private:
  H h_ = nullptr;
};

using Pen = Owned<HPEN>;
using Brush = Owned<HBRUSH>;
using Font = Owned<HFONT>;
using Bitmap = Owned<HBITMAP>;
using Region = Owned<HRGN>;

Pen MakePen(int style, int width, COLORREF color);
Brush MakeBrush(COLORREF color);
Bitmap MakeCompatibleBitmap(HDC dc, int width, int height);
Bitmap LoadBitmapResource(HINSTANCE module, const char *name);
// A picture of one bit a pixel that shows in two colours of its own (0: `zero`, 1: `one`),
// cleared to `zero`: drawing in either colour stays exact, at a 32nd of a true-colour picture.
Bitmap MakeTwoColorBitmap(int width, int height, COLORREF zero, COLORREF one);
// height < 0: character height in pixels; > 0: cell height.
Font MakeFont(const std::string &face, int height, bool bold, bool italic);
// Points on the screen's 96 pixels per inch, as the windows' fonts are given.
int PointsToHeight(int points);

// Selects an object into a DC for a scope and puts the previous one back.
class Select {
public:
  Select(HDC dc, HGDIOBJ obj) : dc_(dc), previous_(SelectObject(dc, obj)) {}
  ~Select() { SelectObject(dc_, previous_); }
  Select(const Select &) = delete;
  Select &operator=(const Select &) = delete;

private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A memory DC with its own bitmap; counted like the other objects.
class MemoryDC {
public:
  MemoryDC(HDC reference, int width, int height);
  ~MemoryDC();
  MemoryDC(const MemoryDC &) = delete;
  MemoryDC &operator=(const MemoryDC &) = delete;
  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }

private:
  HDC dc_ = nullptr;
  Bitmap bitmap_;
  HGDIOBJ previous_ = nullptr;
  int width_, height_;
};

// A DC on a bitmap that already exists (to draw into a picture).
class BitmapDC {
public:
  BitmapDC(HBITMAP bitmap);
  ~BitmapDC();
  BitmapDC(const BitmapDC &) = delete;
  BitmapDC &operator=(const BitmapDC &) = delete;
  HDC dc() const { return dc_; }

private:
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

class PaintScope {
public:
  explicit PaintScope(HWND wnd) : wnd_(wnd) { dc_ = BeginPaint(wnd, &ps_); }
  ~PaintScope() { EndPaint(wnd_, &ps_); }
  PaintScope(const PaintScope &) = delete;
  PaintScope &operator=(const PaintScope &) = delete;
  HDC dc() const { return dc_; }
  const RECT &area() const { return ps_.rcPaint; }

private:
  HWND wnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

class WindowDC {
public:
  explicit WindowDC(HWND wnd) : wnd_(wnd), dc_(GetDC(wnd)) {}
  ~WindowDC() { ReleaseDC(wnd_, dc_); }
  WindowDC(const WindowDC &) = delete;
  WindowDC &operator=(const WindowDC &) = delete;
  HDC dc() const { return dc_; }

private:
  HWND wnd_;
  HDC dc_;
};

// Keeps a DC's state (origin, clipping, selections) for a scope.
class SavedDC {
public:
  explicit SavedDC(HDC dc) : dc_(dc), id_(SaveDC(dc)) {}
  ~SavedDC() { RestoreDC(dc_, id_); }
  SavedDC(const SavedDC &) = delete;
  SavedDC &operator=(const SavedDC &) = delete;

private:
  HDC dc_;
  int id_;
};

void FillSolid(HDC dc, const RECT &r, COLORREF color);

// What was just painted on a window goes to the screen now, on its own. Windows composes only
// what changed. Wine gathers what a thread paints on a window into one rectangle, sent when the
// thread next looks for input: a digit and the gauge's edge painted in the same second would
// send all the display between them, megabytes at full width, where a few segments changed.
void SendPainted();

// The rectangles of a DC's clipping inside `box`, in the DC's logical units, so that a paint of
// a few separate parts draws and sends each, never the box that spans them. `box` alone when the
// DC clips to nothing else, or to more than `most` rectangles (a region with curves).
std::vector<RECT> ClipRects(HDC dc, const RECT &box, size_t most = 8);

// An icon of the resources at a size, drawn from its nearest picture. Shared: the system keeps it
// for the life of the program, so it is never destroyed and never counted.
HICON LoadSharedIcon(HINSTANCE module, const char *name, int size);

}  // namespace gdi
