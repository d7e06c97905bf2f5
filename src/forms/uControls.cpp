#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "forms/uApplication.h"
#include "forms/uDpi.h"
#include "forms/uForms.h"
#include "forms/uScaledPicture.h"
#include "forms/uTransparent.h"

namespace {

const char *const kObjectProp = "TavelinCtl";
int nextControlId = 100;

// The DPI of the form a control belongs to: its design's lengths are scaled to it.
int FormDpi(const TControl *control) {
  const TForm *form = control->OwnerForm();
  return form ? form->Dpi() : DesignDpi;
}

HCURSOR StockCursor(LPCSTR id) { return LoadCursorA(nullptr, id); }

HCURSOR ParseCursor(const std::string &name) {
  if (name.empty() || name == "default") return nullptr;
  if (name == "arrow") return StockCursor(reinterpret_cast<LPCSTR>(IDC_ARROW));
  if (name == "hand") return StockCursor(reinterpret_cast<LPCSTR>(IDC_HAND));
  if (name == "none") return nullptr;
  throw ETavelinError("Curseur inconnu: " + name);
}

void Frame3D(HDC dc, RECT &r, COLORREF top, COLORREF bottom, int width) {
  for (int i = 0; i < width; ++i) {
    gdi::FillSolid(dc, RECT{r.left, r.top, r.right - 1, r.top + 1}, top);
    gdi::FillSolid(dc, RECT{r.left, r.top, r.left + 1, r.bottom - 1}, top);
    gdi::FillSolid(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, bottom);
    gdi::FillSolid(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottom);
    InflateRect(&r, -1, -1);
  }
}

void BevelFrame(HDC dc, RECT &r, TBevelCut cut, int width) {
  if (cut == TBevelCut::None) return;
  COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
  if (cut == TBevelCut::Raised)
    Frame3D(dc, r, light, dark, width);
  else
    Frame3D(dc, r, dark, light, width);
}

TBevelCut ParseBevel(const std::string &v) {
  if (v == "none") return TBevelCut::None;
  if (v == "lowered") return TBevelCut::Lowered;
  if (v == "raised") return TBevelCut::Raised;
  throw ETavelinError("Biseau inconnu: " + v);
}

}  // namespace

// --- Colours and fonts -------------------------------------------------------------------------

COLORREF ColorToRGB(TColor color) {
  if (color & clSystemFlag) return GetSysColor(int(color & 0xFF));
  return color;
}

TColor ParseColor(const std::string &text) {
  static const std::map<std::string, TColor> named = {
      {"btnface", clBtnFace}, {"menu", clMenu},   {"window", clWindow},
      {"windowtext", clWindowText}, {"black", clBlack}, {"white", clWhite},
      {"blue", RGB(0, 0, 255)}, {"red", RGB(255, 0, 0)}};
  auto it = named.find(text);
  if (it != named.end()) return it->second;
  int r, g, b;
  char tail;
  if (std::sscanf(text.c_str(), "%d,%d,%d%c", &r, &g, &b, &tail) == 3) return RGB(r, g, b);
  throw ETavelinError("Couleur inconnue: " + text);
}

HFONT FontHandle(const TFontDesc &font) {
  static std::vector<std::pair<TFontDesc, gdi::Font>> cache;
  for (auto &entry : cache) {
    const TFontDesc &s = entry.first;
    if (s.Name == font.Name && s.Height == font.Height && s.Bold == font.Bold &&
        s.Italic == font.Italic)
      return entry.second.get();
  }
  cache.emplace_back(font, gdi::MakeFont(font.Name, font.Height, font.Bold, font.Italic));
  return cache.back().second.get();
}

// --- TControl ----------------------------------------------------------------------------------

TControl::TControl(TWinControl *parent) : parent_(parent) {
  if (parent_) parent_->AddChild(this);
}

TControl::~TControl() {
  if (parent_) parent_->RemoveChild(this);
}

TForm *TControl::OwnerForm() const {
  const TControl *c = this;
  while (c) {
    if (auto *f = dynamic_cast<const TForm *>(c)) return const_cast<TForm *>(f);
    c = c->parent_;
  }
  return nullptr;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
}

void TControl::SetVisible(bool visible) { visible_ = visible; }
void TControl::SetEnabled(bool enabled) { enabled_ = enabled; }

std::string TControl::EffectiveHint() const {
  for (const TControl *c = this; c; c = c->parent_)
    if (!c->hint_.empty()) return c->hint_;
  return {};
}

const TFontDesc &TControl::EffectiveFont() const {
  const TControl *c = this;
  while (c->ParentFont && c->parent_) c = c->parent_;
  return c->Font;
}

void TControl::ApplyDesign(const TDesignItem &item) {
  const int dpi = FormDpi(this);
  if (item.Has("rect")) {
    std::vector<int> r = item.GetInts("rect", 4);
    SetBounds(ScaleLength(r[0], dpi), ScaleLength(r[1], dpi), ScaleLength(r[2], dpi),
              ScaleLength(r[3], dpi));
    const int now[4] = {left_, top_, width_, height_};
    for (size_t i = 0; i < scaledRect_.size(); ++i) scaledRect_[i] = {r[i], DesignDpi, now[i]};
  }
  Tag = item.GetInt("tag", Tag);
  hint_ = item.Get("hint", hint_);
  visible_ = item.GetBool("visible", visible_);
  enabled_ = item.GetBool("enabled", enabled_);
  if (item.Has("font") || item.Has("fontheight") || item.Has("fontsize") || item.Has("bold") ||
      item.Has("italic")) {
    Font = EffectiveFont();
    Font.Name = item.Get("font", Font.Name);
    Font.Height = item.GetInt("fontheight", Font.Height);
    if (item.Has("fontsize")) Font.Height = gdi::PointsToHeight(item.GetInt("fontsize", 8));
    if (item.Has("fontheight") || item.Has("fontsize")) Font.Height = ScaleLength(Font.Height, dpi);
    Font.Bold = item.GetBool("bold", Font.Bold);
    Font.Italic = item.GetBool("italic", Font.Italic);
    ParentFont = false;
    scaledFont_ = {Font.Height, dpi, Font.Height};
  }
  if (item.Has("fontcolor")) {
    if (ParentFont) Font = EffectiveFont();
    Font.Color = ParseColor(item.Get("fontcolor"));
    ParentFont = false;
  }
  if (item.Has("cursor")) Cursor = ParseCursor(item.Get("cursor"));
  if (item.Has("OnClick")) OnClick = OwnerForm()->ResolveHandler(item, "OnClick");
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::ScaleChanged(int fromDpi, int toDpi) {
  if (!ParentFont) Font.Height = scaledFont_.Rescale(Font.Height, fromDpi, toDpi);
  SetBounds(scaledRect_[0].Rescale(left_, fromDpi, toDpi),
            scaledRect_[1].Rescale(top_, fromDpi, toDpi),
            scaledRect_[2].Rescale(width_, fromDpi, toDpi),
            scaledRect_[3].Rescale(height_, fromDpi, toDpi));
}

// --- TGraphicControl ---------------------------------------------------------------------------

TGraphicControl::TGraphicControl(TWinControl *parent) : TControl(parent) {}

bool TGraphicControl::CanPaintNow() const {
  return visible_ && parent_ && parent_->HandleAllocated() && IsWindowVisible(parent_->Handle());
}

void TGraphicControl::Repaint() { Repaint({RECT{0, 0, width_, height_}}); }

void TGraphicControl::Repaint(const std::vector<RECT> &parts) {
  if (!CanPaintNow() || parts.empty()) return;
  if (!Opaque) {
    // What shows through such a control is the parent's to paint first: the whole of it goes
    // through the window system.
    Invalidate();
    UpdateWindow(parent_->Handle());
    return;
  }
  gdi::WindowDC wdc(parent_->Handle());
  gdi::SavedDC saved(wdc.dc());
  IntersectClipRect(wdc.dc(), left_, top_, left_ + width_, top_ + height_);
  if (parts.size() > 1 || parts[0].left > 0 || parts[0].top > 0 || parts[0].right < width_ ||
      parts[0].bottom < height_) {
    // Regions are in device units: the parent's client area, with no origin set yet.
    gdi::Region clip(CreateRectRgn(0, 0, 0, 0));
    for (const RECT &r : parts) {
      gdi::Region part(CreateRectRgn(left_ + r.left, top_ + r.top, left_ + r.right, top_ + r.bottom));
      CombineRgn(clip.get(), clip.get(), part.get(), RGN_OR);
    }
    ExtSelectClipRgn(wdc.dc(), clip.get(), RGN_AND);
  }
  SetViewportOrgEx(wdc.dc(), left_, top_, nullptr);
  Paint(wdc.dc());
}

void TGraphicControl::Invalidate() {
  if (parent_ && parent_->HandleAllocated()) {
    RECT r = BoundsRect();
    InvalidateRect(parent_->Handle(), &r, FALSE);
  }
}

void TGraphicControl::SetBounds(int left, int top, int width, int height) {
  Invalidate();
  TControl::SetBounds(left, top, width, height);
  Invalidate();
}

void TGraphicControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  TControl::SetVisible(visible);
  Invalidate();
}

// --- TWinControl -------------------------------------------------------------------------------

LRESULT CALLBACK TavelinWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl *self;
  if (msg == WM_NCCREATE) {
    self = static_cast<TWinControl *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams);
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    SetPropA(wnd, kObjectProp, self);
    self->handle_ = wnd;
  } else {
    self = reinterpret_cast<TWinControl *>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcA(wnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
    RemovePropA(wnd, kObjectProp);
    self->handle_ = nullptr;
    return DefWindowProcA(wnd, msg, wParam, lParam);
  }
  // No C++ exception may cross back into Windows: it is shown and the program goes on.
  try {
    return self->WndProc(msg, wParam, lParam);
  } catch (...) {
    Application.HandleException();
    return 0;
  }
}

const char *TWinControl::WindowClassName() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = TavelinWndProc;
    wc.hInstance = Application.Instance();
    wc.hIcon = Application.Icon();
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = "TavelinWindow";
    RegisterClassExA(&wc);
    registered = true;
  }
  return "TavelinWindow";
}

TWinControl *TWinControl::FromHandle(HWND wnd) {
  return wnd ? static_cast<TWinControl *>(GetPropA(wnd, kObjectProp)) : nullptr;
}

TWinControl::TWinControl(TWinControl *parent) : TControl(parent) {}

TWinControl::~TWinControl() { DestroyHandle(); }

void TWinControl::DestroyHandle() {
  // After the parent went, the stored handle may already name another window: only a window
  // that still carries this object is ours to destroy. Its naming static is its sibling and
  // stands as long as it does.
  if (handle_ && IsWindow(handle_) && GetPropA(handle_, kObjectProp) == this) {
    if (nameWindow_) DestroyWindow(nameWindow_);
    HWND h = handle_;
    RemovePropA(h, kObjectProp);
    handle_ = nullptr;
    DestroyWindow(h);
  }
  handle_ = nullptr;
  nameWindow_ = nullptr;
}

void TWinControl::RemoveChild(TControl *child) {
  children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
}

TColor TWinControl::EffectiveColor() const {
  const TWinControl *c = this;
  while (c->ParentColor && c->parent_) c = c->parent_;
  return c->Color;
}

HBRUSH TWinControl::BackgroundBrush() {
  TColor color = EffectiveColor();
  if (color & clSystemFlag) return GetSysColorBrush(int(color & 0xFF));
  colorBrush_ = gdi::MakeBrush(color);
  return colorBrush_.get();
}

HWND TWinControl::ParentHandle() const { return parent_ ? parent_->Handle() : nullptr; }

void TWinControl::CreateHandle() {
  if (!handle_) CreateWindowHandle();
}

HWND TWinControl::CreateStandard(const char *className, DWORD style, DWORD exStyle,
                                 const std::string &text) {
  DWORD s = WS_CHILD | style | (visible_ ? WS_VISIBLE : 0) | (enabled_ ? 0 : WS_DISABLED);
  HWND wnd = CreateWindowExA(exStyle, className, text.c_str(), s, left_, top_, width_, height_,
                             ParentHandle(), reinterpret_cast<HMENU>(INT_PTR(nextControlId++)),
                             Application.Instance(), nullptr);
  if (!wnd) throw ETavelinError("Impossible de créer le contrôle " + Name);
  AttachHandle(wnd);
  ApplyFont();
  return wnd;
}

HWND TWinControl::CreateOwnClass(DWORD style, DWORD exStyle, const std::string &text, HWND owner) {
  HWND parentWnd = (style & WS_CHILD) ? ParentHandle() : owner;
  HMENU id = (style & WS_CHILD) ? reinterpret_cast<HMENU>(INT_PTR(nextControlId++)) : nullptr;
  HWND wnd = CreateWindowExA(exStyle, WindowClassName(), text.c_str(), style, left_, top_, width_,
                             height_, parentWnd, id, Application.Instance(), this);
  if (!wnd) throw ETavelinError("Impossible de créer la fenêtre " + Name);
  ApplyFont();
  return wnd;
}

void TWinControl::AttachHandle(HWND wnd) {
  handle_ = wnd;
  SetPropA(wnd, kObjectProp, this);
}

void TWinControl::ApplyFont() {
  if (handle_) SendMessageA(handle_, WM_SETFONT, WPARAM(FontHandle(EffectiveFont())), FALSE);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
  if (handle_) MoveWindow(handle_, left, top, width, height, TRUE);
}

void TWinControl::SetVisible(bool visible) {
  TControl::SetVisible(visible);
  if (handle_) ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetEnabled(bool enabled) {
  TControl::SetEnabled(enabled);
  if (handle_) EnableWindow(handle_, enabled);
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, FALSE);
}

void TWinControl::SetFocus() {
  if (handle_) ::SetFocus(handle_);
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

std::string TWinControl::Text() const {
  if (!handle_) return text_;
  int n = GetWindowTextLengthA(handle_);
  std::string s(size_t(n) + 1, '\0');
  n = GetWindowTextA(handle_, s.data(), n + 1);
  s.resize(size_t(n > 0 ? n : 0));
  return s;
}

void TWinControl::SetText(const std::string &text) {
  text_ = text;
  if (handle_ && Text() != text) SetWindowTextA(handle_, text.c_str());
}

TGraphicControl *TWinControl::GraphicChildAt(POINT p) const {
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    auto *g = dynamic_cast<TGraphicControl *>(*it);
    RECT r = (*it)->BoundsRect();
    if (g && g->Visible() && PtInRect(&r, p)) return g;
  }
  return nullptr;
}

bool TWinControl::HandleNotify(NMHDR *, LRESULT &) { return false; }
bool TWinControl::DrawItem(const DRAWITEMSTRUCT &) { return false; }
HBRUSH TWinControl::ControlColor(HDC) { return nullptr; }

void TWinControl::PaintBackground(HDC dc, const RECT &client) {
  gdi::FillSolid(dc, client, ColorToRGB(EffectiveColor()));
}

void TWinControl::PaintGraphicChildren(HDC dc, const RECT &area) {
  for (TControl *c : children_) {
    auto *g = dynamic_cast<TGraphicControl *>(c);
    if (!g || !g->Visible()) continue;
    RECT r = g->BoundsRect(), hit;
    if (!IntersectRect(&hit, &r, &area)) continue;
    gdi::SavedDC saved(dc);
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    OffsetViewportOrgEx(dc, r.left, r.top, nullptr);
    g->Paint(dc);
  }
}

// Everything a window of ours shows is composed off screen and copied once: no flicker.
void TWinControl::PaintWindow() {
  gdi::PaintScope ps(handle_);
  RECT client;
  GetClientRect(handle_, &client);
  if (client.right <= 0 || client.bottom <= 0) return;
  gdi::MemoryDC mem(ps.dc(), client.right, client.bottom);
  PaintBackground(mem.dc(), client);
  PaintContent(mem.dc());
  PaintGraphicChildren(mem.dc(), ps.area());
  const RECT &a = ps.area();
  BitBlt(ps.dc(), a.left, a.top, a.right - a.left, a.bottom - a.top, mem.dc(), a.left, a.top,
         SRCCOPY);
}

void TWinControl::PaintArea(HDC dc, const RECT &area) {
  const int w = area.right - area.left, h = area.bottom - area.top;
  if (w <= 0 || h <= 0) return;
  RECT client;
  GetClientRect(handle_, &client);
  gdi::MemoryDC mem(dc, w, h);
  {
    gdi::SavedDC saved(mem.dc());
    SetViewportOrgEx(mem.dc(), -area.left, -area.top, nullptr);
    PaintBackground(mem.dc(), client);
    PaintContent(mem.dc());
    PaintGraphicChildren(mem.dc(), area);
  }
  BitBlt(dc, 0, 0, w, h, mem.dc(), 0, 0, SRCCOPY);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (lParam) {
        if (TWinControl *c = FromHandle(reinterpret_cast<HWND>(lParam))) c->HandleCommand(HIWORD(wParam));
        return 0;
      }
      break;
    case WM_NOTIFY: {
      auto *header = reinterpret_cast<NMHDR *>(lParam);
      if (header->code == TTN_GETDISPINFOA) {
        auto *info = reinterpret_cast<NMTTDISPINFOA *>(lParam);
        TControl *c = nullptr;
        if (info->uFlags & TTF_IDISHWND)
          c = FromHandle(reinterpret_cast<HWND>(header->idFrom));
        else if (header->idFrom >= 1 && header->idFrom <= children_.size())
          c = children_[header->idFrom - 1];
        static std::string text;
        TForm *form = OwnerForm();
        text = (c && form && form->ShowHint) ? c->EffectiveHint() : std::string();
        info->lpszText = text.data();
        info->hinst = nullptr;
        return 0;
      }
      LRESULT result = 0;
      if (TWinControl *c = FromHandle(header->hwndFrom))
        if (c != this && c->HandleNotify(header, result)) return result;
      break;
    }
    case WM_DRAWITEM: {
      auto *item = reinterpret_cast<DRAWITEMSTRUCT *>(lParam);
      if (TWinControl *c = FromHandle(item->hwndItem))
        if (c->DrawItem(*item)) return TRUE;
      for (TControl *c : children_)
        if (auto *label = dynamic_cast<TLabel *>(c); label && label->Window() == item->hwndItem) {
          PaintArea(item->hDC, label->BoundsRect());
          return TRUE;
        }
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      if (TWinControl *c = FromHandle(reinterpret_cast<HWND>(lParam)))
        if (HBRUSH b = c->ControlColor(reinterpret_cast<HDC>(wParam)))
          return reinterpret_cast<LRESULT>(b);
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintWindow();
      return 0;
    case WM_SETCURSOR:
      if (Application.Busy()) {
        ::SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
        return TRUE;
      }
      if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == handle_) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(handle_, &p);
        TControl *under = GraphicChildAt(p);
        if (!under) under = this;
        if (under->Cursor) {
          ::SetCursor(under->Cursor);
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONUP: {
      POINT p{short(LOWORD(lParam)), short(HIWORD(lParam))};
      if (TGraphicControl *g = GraphicChildAt(p))
        if (g->Enabled()) g->Click();
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcA(handle_, msg, wParam, lParam);
}

// --- Panel and group box -----------------------------------------------------------------------

TPanel::TPanel(TWinControl *parent) : TWinControl(parent) {}

void TPanel::ApplyDesign(const TDesignItem &item) {
  TWinControl::ApplyDesign(item);
  BevelInner = ParseBevel(item.Get("bevelinner", "none"));
  BevelOuter = ParseBevel(item.Get("bevelouter", "raised"));
  BevelWidth = item.GetInt("bevelwidth", 1);
  if (item.Has("color")) Color = ParseColor(item.Get("color"));
  TabOrder = item.GetInt("taborder", -1);
  text_ = item.Get("caption", "");
}

int TPanel::BorderWidth() const {
  return (BevelOuter != TBevelCut::None ? BevelWidth : 0) +
         (BevelInner != TBevelCut::None ? BevelWidth : 0);
}

void TPanel::CreateWindowHandle() {
  CreateOwnClass(WS_CHILD | WS_CLIPCHILDREN | (visible_ ? WS_VISIBLE : 0), WS_EX_CONTROLPARENT,
                 text_, nullptr);
}

void TPanel::SetCaption(const std::string &text) {
  text_ = text;
  if (handle_) {
    SetWindowTextA(handle_, text.c_str());
    Invalidate();
  }
}

bool TPanel::CaptionFits(const std::string &text) const {
  gdi::WindowDC screen(nullptr);
  gdi::Select font(screen.dc(), FontHandle(EffectiveFont()));
  SIZE extent{0, 0};
  GetTextExtentPoint32A(screen.dc(), text.c_str(), int(text.size()), &extent);
  return extent.cx <= width_ - 2 * (BorderWidth() + 2);
}

void TPanel::PaintContent(HDC dc) {
  RECT r{0, 0, width_, height_};
  BevelFrame(dc, r, BevelOuter, BevelWidth);
  BevelFrame(dc, r, BevelInner, BevelWidth);
  if (ShowCaption && !text_.empty()) {
    gdi::Select font(dc, FontHandle(EffectiveFont()));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(EffectiveFont().Color));
    DrawTextA(dc, text_.c_str(), int(text_.size()), &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
}

TGroupBox::TGroupBox(TWinControl *parent) : TWinControl(parent) {}

void TGroupBox::ApplyDesign(const TDesignItem &item) {
  TWinControl::ApplyDesign(item);
  text_ = item.Get("caption", "");
  TabOrder = item.GetInt("taborder", -1);
}

void TGroupBox::CreateWindowHandle() {
  CreateOwnClass(WS_CHILD | WS_CLIPCHILDREN | (visible_ ? WS_VISIBLE : 0), WS_EX_CONTROLPARENT,
                 text_, nullptr);
}

void TGroupBox::PaintContent(HDC dc) {
  gdi::Select font(dc, FontHandle(EffectiveFont()));
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  int h = tm.tmHeight;
  RECT r{0, h / 2 - 1, width_, height_};
  // The etched frame: a light line under a dark one.
  RECT light = r;
  OffsetRect(&light, 1, 1);
  light.right -= 1;
  light.bottom -= 1;
  HBRUSH hl = GetSysColorBrush(COLOR_BTNHIGHLIGHT), sh = GetSysColorBrush(COLOR_BTNSHADOW);
  FrameRect(dc, &light, hl);
  RECT dark = light;
  OffsetRect(&dark, -1, -1);
  FrameRect(dc, &dark, sh);
  if (!text_.empty()) {
    RECT t{ScaleLength(8, FormDpi(this)), 0, 0, h};
    DrawTextA(dc, text_.c_str(), int(text_.size()), &t, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, ColorToRGB(EffectiveColor()));
    SetTextColor(dc, ColorToRGB(EffectiveFont().Color));
    DrawTextA(dc, text_.c_str(), int(text_.size()), &t, DT_SINGLELINE | DT_NOPREFIX);
  }
}

// --- Label and image ---------------------------------------------------------------------------

TLabel::TLabel(TWinControl *parent) : TGraphicControl(parent) {}

namespace {
// Marks a label's window as that label's: once its parent went, a stored handle may name another.
const char *const kLabelProp = "TavelinLabel";
}  // namespace

TLabel::~TLabel() {
  for (HWND w : windows_)
    if (IsWindow(w) && GetPropA(w, kLabelProp) == this) {
      RemovePropA(w, kLabelProp);
      DestroyWindow(w);
    }
}

HWND TLabel::CreateNameWindow(HWND parent) {
  // Drawn by its parent (WM_DRAWITEM) and transparent to the mouse, which the parent handles
  // for its painted controls as before.
  const bool shown = !shown_ && parent_ && parent == parent_->Handle();
  DWORD style = WS_CHILD | SS_OWNERDRAW | SS_NOPREFIX | (shown && visible_ ? WS_VISIBLE : 0) |
                (enabled_ ? 0 : WS_DISABLED);
  HWND wnd = CreateWindowExA(0, "STATIC", Caption.c_str(), style, left_, top_, width_, height_,
                             parent, reinterpret_cast<HMENU>(INT_PTR(nextControlId++)),
                             Application.Instance(), nullptr);
  if (!wnd) throw ETavelinError("Impossible de créer le contrôle " + Name);
  SetPropA(wnd, kLabelProp, this);
  windows_.push_back(wnd);
  if (shown) shown_ = wnd;
  SendMessageA(wnd, WM_SETFONT, WPARAM(FontHandle(EffectiveFont())), FALSE);
  return wnd;
}

void TLabel::SyncWindows() {
  for (HWND w : windows_) {
    if (!IsWindow(w)) continue;
    char text[512];
    GetWindowTextA(w, text, sizeof text);
    if (Caption != text) SetWindowTextA(w, Caption.c_str());
    EnableWindow(w, enabled_);
  }
  if (!shown_ || !IsWindow(shown_)) return;
  SendMessageA(shown_, WM_SETFONT, WPARAM(FontHandle(EffectiveFont())), FALSE);
  SetWindowPos(shown_, nullptr, left_, top_, width_, height_,
               SWP_NOZORDER | SWP_NOACTIVATE | (visible_ ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  InvalidateRect(shown_, nullptr, FALSE);
}

void TLabel::SetBounds(int left, int top, int width, int height) {
  TGraphicControl::SetBounds(left, top, width, height);
  SyncWindows();
}

void TLabel::SetVisible(bool visible) {
  TGraphicControl::SetVisible(visible);
  SyncWindows();
}

void TLabel::SetEnabled(bool enabled) {
  TGraphicControl::SetEnabled(enabled);
  Invalidate();
  SyncWindows();
}

void TLabel::ApplyDesign(const TDesignItem &item) {
  TGraphicControl::ApplyDesign(item);
  Caption = item.Get("caption", Caption);
  AutoSize = item.GetBool("autosize", false);
  Transparent = item.GetBool("transparent", false);
  if (AutoSize) AdjustSize();
}

void TLabel::SetCaption(const std::string &caption) {
  Caption = caption;
  if (AutoSize) AdjustSize();
  FitCaption();
  Invalidate();
  SyncWindows();
}

void TLabel::AdjustSize() {
  gdi::WindowDC screen(nullptr);
  gdi::Select font(screen.dc(), FontHandle(EffectiveFont()));
  RECT r{0, 0, 0, 0};
  DrawTextA(screen.dc(), Caption.c_str(), int(Caption.size()), &r,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SetBounds(left_, top_, r.right, r.bottom);
}

void TLabel::ScaleChanged(int fromDpi, int toDpi) {
  // A fit holds for the scale it was chosen at: the next one starts from the design.
  UndoFit();
  TGraphicControl::ScaleChanged(fromDpi, toDpi);
  if (AutoSize) AdjustSize();
}

void TLabel::UndoFit() {
  if (!fitted_) return;
  fitted_ = false;
  Font = unfitFont_;
  ParentFont = unfitParentFont_;
  SetBounds(left_, top_, unfitWidth_, height_);
}

void TLabel::FitCaption() {
  UndoFit();
  const int dpi = FormDpi(this);
  // A 96-DPI screen shows every design as it always was.
  if (AutoSize || dpi == DesignDpi || !parent_) return;
  auto textWidth = [this] {
    gdi::WindowDC screen(nullptr);
    gdi::Select font(screen.dc(), FontHandle(EffectiveFont()));
    SIZE e{0, 0};
    GetTextExtentPoint32A(screen.dc(), Caption.c_str(), int(Caption.size()), &e);
    return int(e.cx);
  };
  int need = textWidth();
  if (need <= width_) return;
  fitted_ = true;
  unfitWidth_ = width_;
  unfitFont_ = Font;
  unfitParentFont_ = ParentFont;
  // The room: up to the nearest control on the right at the same height, or the parent's edge.
  int limit = parent_->Width() - ScaleLength(2, dpi);
  if (auto *panel = dynamic_cast<TPanel *>(parent_)) limit -= panel->BorderWidth();
  for (TControl *c : parent_->Children())
    if (c != this && c->Visible() && c->Left() >= left_ + width_ - 1 && c->Top() < top_ + height_ &&
        c->Top() + c->Height() > top_)
      limit = std::min(limit, c->Left() - ScaleLength(2, dpi));
  SetBounds(left_, top_, std::max(width_, std::min(need, limit - left_)), height_);
  if (need <= width_) return;
  TFontDesc font = EffectiveFont();
  while (textWidth() > width_ && font.Height < -6) {
    font.Height += 1;
    Font = font;
    ParentFont = false;
  }
  SyncWindows();
}

void TLabel::Paint(HDC dc) {
  RECT r{0, 0, width_, height_};
  if (!Transparent) gdi::FillSolid(dc, r, ColorToRGB(parent_->EffectiveColor()));
  gdi::Select font(dc, FontHandle(EffectiveFont()));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(enabled_ ? EffectiveFont().Color : SysColor(COLOR_GRAYTEXT)));
  DrawTextA(dc, Caption.c_str(), int(Caption.size()), &r, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
}

TImage::TImage(TWinControl *parent) : TGraphicControl(parent) {}

void TImage::ApplyDesign(const TDesignItem &item) {
  TGraphicControl::ApplyDesign(item);
  if (item.Has("picture")) LoadFromResource(item.Get("picture").c_str());
}

void TImage::LoadFromResource(const char *name) {
  bitmap_ = LoadScaledBitmap(Application.Instance(), name, FormDpi(this), true);
  if (!bitmap_) throw ETavelinError(std::string("Image introuvable: ") + name);
  picture_ = name;
  Invalidate();
}

void TImage::ScaleChanged(int fromDpi, int toDpi) {
  TGraphicControl::ScaleChanged(fromDpi, toDpi);
  if (!picture_.empty()) LoadFromResource(picture_.c_str());
}

HBITMAP TImage::NewBitmap(int width, int height) {
  picture_.clear();
  gdi::WindowDC screen(nullptr);
  bitmap_ = gdi::MakeCompatibleBitmap(screen.dc(), width, height);
  Invalidate();
  return bitmap_.get();
}

HBITMAP TImage::NewTwoColorBitmap(int width, int height, COLORREF zero, COLORREF one) {
  picture_.clear();
  bitmap_ = gdi::MakeTwoColorBitmap(width, height, zero, one);
  Invalidate();
  return bitmap_.get();
}

void TImage::Paint(HDC dc) {
  if (!bitmap_) return;
  BITMAP bm;
  GetObjectA(bitmap_.get(), sizeof bm, &bm);
  gdi::BitmapDC src(bitmap_.get());
  BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, src.dc(), 0, 0, SRCCOPY);
}

// --- Edits -------------------------------------------------------------------------------------

void TEditBase::ApplyDesign(const TDesignItem &item) {
  TWinControl::ApplyDesign(item);
  TabOrder = item.GetInt("taborder", -1);
  if (item.Has("OnChange")) OnChange = OwnerForm()->ResolveHandler(item, "OnChange");
  if (item.Has("OnEnter")) OnEnter = OwnerForm()->ResolveHandler(item, "OnEnter");
}

void TEditBase::HandleCommand(WORD code) {
  switch (code) {
    case EN_CHANGE: Changed(); break;
    case EN_SETFOCUS:
      if (OnEnter) OnEnter(this);
      break;
    case EN_KILLFOCUS: FocusLost(); break;
    default: break;
  }
}

void TEditBase::Changed() {
  if (OnChange) OnChange(this);
}

HBRUSH TEditBase::ControlColor(HDC dc) {
  if (EffectiveColor() == clWindow) return nullptr;
  SetBkColor(dc, ColorToRGB(EffectiveColor()));
  return BackgroundBrush();
}

TSpinEdit::TSpinEdit(TWinControl *parent) : TEditBase(parent) {
  Color = clWindow;
  text_ = "0";
}

void TSpinEdit::ApplyDesign(const TDesignItem &item) {
  TEditBase::ApplyDesign(item);
  if (item.Has("range")) {
    std::vector<int> r = item.GetInts("range", 2);
    MinValue = r[0];
    MaxValue = r[1];
  }
  text_ = std::to_string(item.GetInt("value", 0));
}

void TSpinEdit::CreateWindowHandle() {
  CreateStandard("EDIT", WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE, text_);
  updown_ = CreateWindowExA(0, UPDOWN_CLASSA, "",
                            WS_CHILD | (visible_ ? WS_VISIBLE : 0) | UDS_ALIGNRIGHT |
                                UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                            0, 0, 0, 0, ParentHandle(), nullptr, Application.Instance(), nullptr);
  SetPropA(updown_, kObjectProp, this);
  SendMessageA(updown_, UDM_SETBUDDY, WPARAM(handle_), 0);
  SendMessageA(updown_, UDM_SETRANGE32, WPARAM(MinValue), LPARAM(MaxValue));
  SendMessageA(updown_, UDM_SETPOS32, 0, LPARAM(Value()));
}

int TSpinEdit::Value() const {
  std::string t = Text();
  char *end = nullptr;
  long v = std::strtol(t.c_str(), &end, 10);
  if (t.empty() || end == t.c_str() || *end != '\0') return MinValue;
  return int(v);
}

void TSpinEdit::SetValue(int value) {
  if (MaxValue != MinValue) value = std::clamp(value, MinValue, MaxValue);
  SetText(std::to_string(value));
  if (updown_) SendMessageA(updown_, UDM_SETPOS32, 0, LPARAM(value));
}

void TSpinEdit::FocusLost() {
  int v = Value();
  if (MaxValue != MinValue && (v < MinValue || v > MaxValue)) SetValue(v);
}

void TSpinEdit::SetBounds(int left, int top, int width, int height) {
  TEditBase::SetBounds(left, top, width, height);
  if (updown_) SendMessageA(updown_, UDM_SETBUDDY, WPARAM(handle_), 0);
}

void TSpinEdit::SetVisible(bool visible) {
  TEditBase::SetVisible(visible);
  if (updown_) ShowWindow(updown_, visible ? SW_SHOWNA : SW_HIDE);
}

void TSpinEdit::SetEnabled(bool enabled) {
  TEditBase::SetEnabled(enabled);
  if (updown_) EnableWindow(updown_, enabled);
}

TEdit::TEdit(TWinControl *parent) : TEditBase(parent) { Color = clWindow; }

void TEdit::ApplyDesign(const TDesignItem &item) {
  TEditBase::ApplyDesign(item);
  MaxLength = item.GetInt("maxlength", 0);
  text_ = item.Get("text", "");
}

void TEdit::CreateWindowHandle() {
  CreateStandard("EDIT", WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE, text_);
  SendMessageA(handle_, EM_LIMITTEXT, WPARAM(MaxLength), 0);
}

TMemo::TMemo(TWinControl *parent) : TEditBase(parent) {}

void TMemo::CreateWindowHandle() {
  DWORD style = ES_MULTILINE | WS_VSCROLL | ES_AUTOVSCROLL | (ReadOnly ? ES_READONLY : 0) |
                (WordWrap ? 0 : ES_AUTOHSCROLL) | (Border ? WS_BORDER : 0);
  std::string all;
  for (size_t i = 0; i < lines_.size(); ++i) all += (i ? "\r\n" : "") + lines_[i];
  CreateStandard("EDIT", style, 0, all);
}

void TMemo::AddLine(const std::string &line) {
  lines_.push_back(line);
  if (handle_) {
    std::string all;
    for (size_t i = 0; i < lines_.size(); ++i) all += (i ? "\r\n" : "") + lines_[i];
    SetWindowTextA(handle_, all.c_str());
  }
}

std::vector<std::string> TMemo::Lines() const { return lines_; }

// --- Combo box ---------------------------------------------------------------------------------

TComboBox::TComboBox(TWinControl *parent) : TWinControl(parent) { Color = clWindow; }

void TComboBox::ApplyDesign(const TDesignItem &item) {
  TWinControl::ApplyDesign(item);
  TabOrder = item.GetInt("taborder", -1);
  designItemHeight_ = item.GetInt("itemheight", designItemHeight_);
  Editable = item.GetBool("editable", false);
  ItemHeight = ScaleLength(designItemHeight_, FormDpi(this));
  std::string items = item.Get("items", "");
  for (size_t start = 0; !items.empty() && start <= items.size();) {
    size_t bar = items.find('|', start);
    AddItem(items.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  if (item.Has("OnChange")) OnChange = OwnerForm()->ResolveHandler(item, "OnChange");
  if (item.Has("OnEnter")) OnEnter = OwnerForm()->ResolveHandler(item, "OnEnter");
}

void TComboBox::CreateWindowHandle() {
  int h = height_;
  // The height of a combo box window includes its dropped list.
  height_ = h + ScaleLength(200, FormDpi(this));
  CreateStandard("COMBOBOX",
                 WS_TABSTOP | WS_VSCROLL | (Editable ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST),
                 0, "");
  height_ = h;
  SendMessageA(handle_, CB_SETITEMHEIGHT, 0, ItemHeight);
  for (const auto &s : items_) SendMessageA(handle_, CB_ADDSTRING, 0, LPARAM(s.c_str()));
  SendMessageA(handle_, CB_SETCURSEL, WPARAM(itemIndex_), 0);
}

void TComboBox::ScaleChanged(int fromDpi, int toDpi) {
  ItemHeight = ScaleLength(designItemHeight_, toDpi);
  // The window of a combo box is taller than the box: it holds the dropped list.
  TControl::ScaleChanged(fromDpi, toDpi);
  if (!handle_) return;
  MoveWindow(handle_, left_, top_, width_, height_ + RescaleLength(200, DesignDpi, toDpi), TRUE);
  SendMessageA(handle_, CB_SETITEMHEIGHT, 0, ItemHeight);
}

void TComboBox::AddItem(const std::string &text) {
  items_.push_back(text);
  if (handle_) SendMessageA(handle_, CB_ADDSTRING, 0, LPARAM(text.c_str()));
}

void TComboBox::ClearItems() {
  items_.clear();
  itemIndex_ = -1;
  if (handle_) SendMessageA(handle_, CB_RESETCONTENT, 0, 0);
}

int TComboBox::ItemIndex() const { return itemIndex_; }

void TComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= int(items_.size())) index = -1;
  itemIndex_ = index;
  if (handle_) SendMessageA(handle_, CB_SETCURSEL, WPARAM(index), 0);
}

void TComboBox::HandleCommand(WORD code) {
  if (code == CBN_SELCHANGE) {
    itemIndex_ = int(SendMessageA(handle_, CB_GETCURSEL, 0, 0));
    // The edit part takes the entry's text only after this notification.
    if (Editable && itemIndex_ >= 0) SetWindowTextA(handle_, items_.at(size_t(itemIndex_)).c_str());
    if (OnChange) OnChange(this);
  } else if (code == CBN_EDITCHANGE) {
    itemIndex_ = -1;
    if (OnChange) OnChange(this);
  } else if (code == CBN_SETFOCUS) {
    if (OnEnter) OnEnter(this);
  }
}

// --- Radio button, check box and static text ----------------------------------------------------

void TTickButton::ApplyDesign(const TDesignItem &item) {
  TWinControl::ApplyDesign(item);
  TabOrder = item.GetInt("taborder", -1);
  text_ = item.Get("caption", "");
  checked_ = item.GetBool("checked", false);
}

void TTickButton::CreateWindowHandle() {
  const bool picture = !SpokenName.empty();
  CreateStandard("BUTTON", WS_TABSTOP | style_ | (picture ? BS_BITMAP : 0), 0,
                 picture ? SpokenName : text_);
  if (picture) DrawCaptionPicture();
  SendMessageA(handle_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TTickButton::DrawCaptionPicture() {
  gdi::WindowDC screen(nullptr);
  HFONT font = FontHandle(EffectiveFont());
  SIZE size{0, 0};
  {
    gdi::Select measure(screen.dc(), font);
    GetTextExtentPoint32A(screen.dc(), text_.c_str(), int(text_.size()), &size);
  }
  // The system writes a caption one pixel in from where it puts a picture.
  gdi::Bitmap picture = gdi::MakeCompatibleBitmap(screen.dc(), size.cx + 1, size.cy);
  {
    gdi::BitmapDC dc(picture.get());
    gdi::FillSolid(dc.dc(), RECT{0, 0, size.cx + 1, size.cy},
                   ColorToRGB(parent_->EffectiveColor()));
    gdi::Select select(dc.dc(), font);
    SetBkMode(dc.dc(), TRANSPARENT);
    SetTextColor(dc.dc(), GetSysColor(COLOR_BTNTEXT));
    TextOutA(dc.dc(), 1, 0, text_.c_str(), int(text_.size()));
  }
  SendMessageA(handle_, BM_SETIMAGE, IMAGE_BITMAP, LPARAM(picture.get()));
  captionPicture_ = std::move(picture);  // the button no longer shows the one before
}

void TTickButton::ScaleChanged(int fromDpi, int toDpi) {
  TWinControl::ScaleChanged(fromDpi, toDpi);
  if (handle_ && captionPicture_) DrawCaptionPicture();
}

void TTickButton::ShowChecked(bool checked) {
  checked_ = checked;
  if (handle_) SendMessageA(handle_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

HBRUSH TTickButton::ControlColor(HDC dc) {
  SetBkColor(dc, ColorToRGB(parent_->EffectiveColor()));
  return parent_->BackgroundBrush();
}

TRadioButton::TRadioButton(TWinControl *parent) : TTickButton(parent, BS_RADIOBUTTON) {}

void TRadioButton::SetChecked(bool checked) {
  if (checked == Checked()) return;
  ShowChecked(checked);
  if (!checked) return;
  for (TControl *c : parent_->Children())
    if (auto *r = dynamic_cast<TRadioButton *>(c); r && r != this) r->SetChecked(false);
  Click();
}

void TRadioButton::HandleCommand(WORD code) {
  if (code == BN_CLICKED) SetChecked(true);
}

TCheckBox::TCheckBox(TWinControl *parent) : TTickButton(parent, BS_AUTOCHECKBOX) {}

void TCheckBox::HandleCommand(WORD code) {
  if (code != BN_CLICKED) return;
  // The system has ticked or cleared the box already (a click, or the space bar).
  ShowChecked(SendMessageA(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED);
  Click();
}

TStaticText::TStaticText(TWinControl *parent) : TWinControl(parent) {}

void TStaticText::ApplyDesign(const TDesignItem &item) {
  TWinControl::ApplyDesign(item);
  TabOrder = item.GetInt("taborder", -1);
  text_ = item.Get("caption", "");
  Sunken = item.GetBool("sunken", false);
}

void TStaticText::CreateWindowHandle() {
  CreateStandard("STATIC", SS_LEFT | SS_NOTIFY | SS_PATHELLIPSIS | SS_NOPREFIX | (Sunken ? SS_SUNKEN : 0),
                 0, text_);
}

void TStaticText::HandleCommand(WORD code) {
  if (code == STN_CLICKED) Click();
}

HBRUSH TStaticText::ControlColor(HDC dc) {
  SetBkColor(dc, ColorToRGB(parent_->EffectiveColor()));
  return parent_->BackgroundBrush();
}

// --- Buttons -----------------------------------------------------------------------------------

TButton::TButton(TWinControl *parent) : TWinControl(parent) {}

void TButton::ApplyDesign(const TDesignItem &item) {
  TWinControl::ApplyDesign(item);
  TabOrder = item.GetInt("taborder", -1);
  text_ = item.Get("caption", "");
  Default = item.GetBool("default", false);
  Cancel = item.GetBool("cancel", false);
  Flat = item.GetBool("flat", false);
  GroupIndex = item.GetInt("groupindex", 0);
  AllowAllUp = item.GetBool("allowallup", false);
  down_ = item.GetBool("down", false);
  std::string result = item.Get("modalresult", "none");
  ModalResult = result == "ok" ? mrOk : result == "cancel" ? mrCancel : mrNone;
  if (item.Has("glyph")) {
    std::string disabled = item.Get("glyphdisabled", "");
    SetGlyphs(item.Get("glyph").c_str(), disabled.empty() ? nullptr : disabled.c_str());
  }
  if (item.Has("OnEnter")) OnEnter = OwnerForm()->ResolveHandler(item, "OnEnter");
}

void TButton::SetGlyphs(const char *normal, const char *disabled) {
  glyphName_ = normal;
  glyphDisabledName_ = disabled ? disabled : "";
  LoadGlyphs();
}

void TButton::LoadGlyphs() {
  const int dpi = FormDpi(this);
  // Enlarged beyond the largest picture, a glyph is laid on the face it shows on first.
  COLORREF face = ColorToRGB(Flat && parent_ ? parent_->EffectiveColor() : clBtnFace);
  auto load = [&](const std::string &name) {
    gdi::Bitmap b = LoadScaledBitmap(Application.Instance(), name.c_str(), dpi, false,
                                     RGB(255, 0, 255), face);
    if (!b) throw ETavelinError("Image introuvable: " + name);
    return b;
  };
  glyph_ = load(glyphName_);
  BITMAP bm;
  GetObjectA(glyph_.get(), sizeof bm, &bm);
  glyphW_ = bm.bmWidth;
  glyphH_ = bm.bmHeight;
  glyphDisabled_.Reset();
  if (!glyphDisabledName_.empty()) glyphDisabled_ = load(glyphDisabledName_);
}

void TButton::ScaleChanged(int fromDpi, int toDpi) {
  TWinControl::ScaleChanged(fromDpi, toDpi);
  if (!glyphName_.empty()) LoadGlyphs();
  Invalidate();
}

namespace {

// A flat button is pressed with the mouse alone and never takes the keyboard focus, so that keys
// keep reaching its form: the press is followed here, since the button's own starts by taking
// the focus. The second press of a double click is a click of its own.
LRESULT CALLBACK FlatButtonProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR) {
  auto inside = [wnd](LPARAM at) {
    RECT r;
    GetClientRect(wnd, &r);
    POINT p{short(LOWORD(at)), short(HIWORD(at))};
    return PtInRect(&r, p) != FALSE;
  };
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(wnd);
      SendMessageA(wnd, BM_SETSTATE, TRUE, 0);
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() == wnd) SendMessageA(wnd, BM_SETSTATE, inside(lParam), 0);
      break;
    case WM_LBUTTONUP:
      if (GetCapture() == wnd) {
        bool pressed = (SendMessageA(wnd, BM_GETSTATE, 0, 0) & BST_PUSHED) && inside(lParam);
        ReleaseCapture();
        if (pressed)
          SendMessageA(GetParent(wnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(wnd), BN_CLICKED),
                       LPARAM(wnd));
      }
      return 0;
    case WM_CAPTURECHANGED:
      SendMessageA(wnd, BM_SETSTATE, FALSE, 0);
      return 0;
    case WM_SETFOCUS: {
      // Given the focus all the same (by code): it goes back where it came from, or to the
      // window when it came from another one.
      HWND from = reinterpret_cast<HWND>(wParam), root = GetAncestor(wnd, GA_ROOT);
      bool back = from && from != wnd && IsWindow(from) && GetAncestor(from, GA_ROOT) == root;
      ::SetFocus(back ? from : root);
      return 0;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(wnd, FlatButtonProc, 0);
      break;
    default:
      break;
  }
  return DefSubclassProc(wnd, msg, wParam, lParam);
}

}  // namespace

void TButton::CreateWindowHandle() {
  CreateStandard("BUTTON", BS_OWNERDRAW | BS_NOTIFY | (Flat ? 0 : WS_TABSTOP), 0,
                 SpokenName.empty() ? text_ : SpokenName);
  if (Flat) SetWindowSubclass(handle_, FlatButtonProc, 0, 0);
}

void TButton::SetDown(bool down) {
  if (down == down_) return;
  down_ = down;
  Invalidate();
}

void TButton::Click() {
  if (GroupIndex != 0) {
    if (!down_)
      SetDown(true);
    else if (AllowAllUp)
      SetDown(false);
  }
  if (ModalResult != mrNone)
    if (TForm *f = OwnerForm()) f->ModalResult = ModalResult;
  TControl::Click();
}

void TButton::HandleCommand(WORD code) {
  // A quick second click arrives as a double click: it is a click all the same.
  if (code == BN_CLICKED || code == BN_DOUBLECLICKED) {
    Click();
  } else if (code == BN_SETFOCUS) {
    if (OnEnter) OnEnter(this);
  }
}

void TButton::DrawGlyph(HDC dc, int x, int y, bool disabled) {
  HBITMAP bmp = disabled && glyphDisabled_ ? glyphDisabled_.get() : glyph_.get();
  DrawTransparent(dc, x, y, bmp, RGB(255, 0, 255));
}

bool TButton::DrawItem(const DRAWITEMSTRUCT &item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  bool pressed = (item.itemState & ODS_SELECTED) != 0;
  bool disabled = (item.itemState & ODS_DISABLED) != 0;
  bool sunken = pressed || down_;
  gdi::FillSolid(dc, r, ColorToRGB(Flat ? parent_->EffectiveColor() : clBtnFace));
  if (Flat) {
    if (sunken) DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
  } else {
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    if (Default || (item.itemState & ODS_FOCUS)) {
      RECT outer = r;
      FrameRect(dc, &outer, GetSysColorBrush(COLOR_WINDOWFRAME));
    }
  }
  gdi::Select font(dc, FontHandle(EffectiveFont()));
  SIZE textSize{0, 0};
  RECT calc{0, 0, 0, 0};
  if (!text_.empty()) {
    DrawTextA(dc, text_.c_str(), int(text_.size()), &calc, DT_CALCRECT | DT_SINGLELINE);
    textSize = SIZE{calc.right, calc.bottom};
  }
  const int dpi = FormDpi(this);
  int spacing = (glyph_ && !text_.empty()) ? ScaleLength(4, dpi) : 0;
  int total = (glyph_ ? glyphW_ : 0) + spacing + textSize.cx;
  int x = (r.right - r.left - total) / 2 + (sunken ? 1 : 0);
  int offset = sunken ? 1 : 0;
  if (glyph_) {
    DrawGlyph(dc, x, (r.bottom - r.top - glyphH_) / 2 + offset, disabled);
    x += glyphW_ + spacing;
  }
  if (!text_.empty()) {
    RECT tr{x, offset, x + textSize.cx, r.bottom + offset};
    SetBkMode(dc, TRANSPARENT);
    if (disabled) {
      OffsetRect(&tr, 1, 1);
      SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
      DrawTextA(dc, text_.c_str(), int(text_.size()), &tr, DT_SINGLELINE | DT_VCENTER);
      OffsetRect(&tr, -1, -1);
      SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    } else {
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    }
    DrawTextA(dc, text_.c_str(), int(text_.size()), &tr, DT_SINGLELINE | DT_VCENTER);
  }
  if ((item.itemState & ODS_FOCUS) && !Flat) {
    RECT fr = r;
    InflateRect(&fr, -ScaleLength(4, dpi), -ScaleLength(4, dpi));
    DrawFocusRect(dc, &fr);
  }
  return true;
}

// --- Popup menu --------------------------------------------------------------------------------

HMENU TPopupMenu::CreateMenuHandle() const {
  HMENU menu = CreatePopupMenu();
  for (const auto &item : Items) {
    if (item->Caption == "-") {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    std::string caption = item->Caption;
    if (!item->ShortCutText.empty()) caption += "\t" + item->ShortCutText;
    AppendMenuA(menu, MF_STRING | (item->Checked ? MF_CHECKED : 0), item->Id, caption.c_str());
  }
  return menu;
}

void TPopupMenu::Popup(HWND owner, POINT screen, TControl *sender) {
  HMENU menu = CreateMenuHandle();
  SetForegroundWindow(owner);
  UINT chosen = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN,
                                    screen.x, screen.y, 0, owner, nullptr));
  DestroyMenu(menu);
  for (const auto &item : Items)
    if (chosen && item->Id == chosen && item->OnClick) item->OnClick(sender);
}

bool TPopupMenu::HandleShortCut(UINT key, TControl *sender) {
  for (const auto &item : Items)
    if (item->ShortCutKey && item->ShortCutKey == key) {
      if (item->OnClick) item->OnClick(sender);
      return true;
    }
  return false;
}

TMenuItem *TPopupMenu::Find(const std::string &name) const {
  for (const auto &item : Items)
    if (item->Name == name) return item.get();
  return nullptr;
}
