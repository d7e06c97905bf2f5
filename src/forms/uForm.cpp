#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <climits>

#include "base/uText.h"
#include "forms/uApplication.h"
#include "forms/uDpi.h"
#include "forms/uForms.h"

namespace {

// Posted to a form that frees itself once control is back in the message loop.
constexpr UINT CM_RELEASE = WM_APP + 0x100;

TBorderStyle ParseBorder(const std::string &v) {
  if (v == "none") return TBorderStyle::None;
  if (v == "single") return TBorderStyle::Single;
  if (v == "dialog") return TBorderStyle::Dialog;
  if (v == "toolwindow") return TBorderStyle::ToolWindow;
  if (v == "sizeable") return TBorderStyle::Sizeable;
  throw ETavelinError("Bordure inconnue: " + v);
}

UINT ParseShortCut(const std::string &text) {
  if (text.size() == 6 && text.rfind("Ctrl+", 0) == 0) return UINT(text[5]);
  throw ETavelinError("Raccourci inconnu: " + text);
}

}  // namespace

std::string LoadDesignResource(const char *name) {
  HRSRC res = FindResourceA(Application.Instance(), name, "DESIGN");
  if (!res) throw ETavelinError(std::string("Dessin de fenêtre introuvable: ") + name);
  HGLOBAL data = LoadResource(Application.Instance(), res);
  const char *bytes = static_cast<const char *>(LockResource(data));
  if (!bytes) throw ETavelinError(std::string("Dessin de fenêtre illisible: ") + name);
  return std::string(bytes, SizeofResource(Application.Instance(), res));
}

TForm::TForm(TForm *owner) : TWinControl(nullptr), owner_(owner) {
  visible_ = false;
  Font.Name = "MS Sans Serif";
  Font.Height = -11;
}

TForm::~TForm() {
  if (Application.MainForm() == this) Application.SetMainForm(nullptr);
  while (!components_.empty()) components_.pop_back();
  menus_.clear();
  DestroyHandle();
}

void TForm::RegisterHandler(const std::string &name, TNotifyEvent handler) {
  handlers_.emplace_back(name, std::move(handler));
}

void TForm::RegisterCloseHandler(const std::string &name, TCloseEvent handler) {
  closeHandlers_.emplace_back(name, std::move(handler));
}

TNotifyEvent TForm::ResolveHandler(const TDesignItem &item, const std::string &event) const {
  std::string name = item.Get(event);
  for (const auto &h : handlers_)
    if (h.first == name) return h.second;
  throw ETavelinError("Gestionnaire inconnu '" + name + "' pour " + item.Name + "." + event);
}

TPopupMenu *TForm::FindMenu(const std::string &name) const {
  for (const auto &m : menus_)
    if (m->Name == name) return m.get();
  return nullptr;
}

void TForm::LoadDesign(const char *resourceName) {
  LoadDesignText(LoadDesignResource(resourceName), resourceName);
}

void TForm::LoadDesignText(const std::string &utf8Text, const std::string &designName) {
  TFormDesign design = ParseDesign(Utf8ToCp1252(utf8Text), designName);
  const TDesignItem &f = design.Form();
  Name = f.Name;
  text_ = f.Get("caption", "");
  std::vector<int> pos = f.Has("pos") ? f.GetInts("pos", 2) : std::vector<int>{0, 0};
  // The design is for a 96-DPI screen: everything in it grows with the monitor's scale.
  dpi_ = InitialDpi(pos[0], pos[1]);
  if (f.Has("client")) {
    std::vector<int> c = f.GetInts("client", 2);
    designClientW_ = Scaled(c[0]);
    designClientH_ = Scaled(c[1]);
  }
  if (f.Has("pos")) {
    left_ = Scaled(pos[0]);
    top_ = Scaled(pos[1]);
  }
  BorderStyle = ParseBorder(f.Get("border", "single"));
  std::string icons = f.Get("icons", "system");
  SystemMenu = icons.find("system") != std::string::npos;
  MinimizeBox = icons.find("minimize") != std::string::npos;
  MaximizeBox = icons.find("maximize") != std::string::npos;
  Font.Name = f.Get("font", Font.Name);
  Font.Height = f.GetInt("fontheight", Font.Height);
  if (f.Has("fontsize")) Font.Height = gdi::PointsToHeight(f.GetInt("fontsize", 8));
  scaledForm_[2] = {Font.Height, DesignDpi, Scaled(Font.Height)};
  Font.Height = Scaled(Font.Height);
  if (f.Has("client")) {
    std::vector<int> c = f.GetInts("client", 2);
    scaledForm_[0] = {c[0], DesignDpi, designClientW_};
    scaledForm_[1] = {c[1], DesignDpi, designClientH_};
  }
  if (f.Has("color")) Color = ParseColor(f.Get("color"));
  hint_ = f.Get("hint", "");
  ShowHint = f.GetBool("showhint", false);
  StayOnTop = f.GetBool("topmost", false);
  Centered = f.Get("position", "design") == "center";
  std::string popup = f.Get("popup", "");
  if (f.Has("OnShow")) OnShow = ResolveHandler(f, "OnShow");
  if (f.Has("OnClose")) {
    std::string name = f.Get("OnClose");
    bool found = false;
    for (const auto &h : closeHandlers_)
      if (h.first == name) {
        OnClose = h.second;
        found = true;
      }
    if (!found) throw ETavelinError("Gestionnaire inconnu '" + name + "' pour " + Name + ".OnClose");
  }
  if (std::string k = f.FirstUnusedKey(); !k.empty())
    throw ETavelinError("Propriété inconnue '" + k + "' de " + Name);

  std::vector<std::pair<TWinControl *, std::string>> named;  // fields and their labels
  for (size_t i = 1; i < design.Items.size(); ++i) {
    const TDesignItem &item = design.Items[i];
    if (item.Kind == "menu") {
      BuildMenu(item);
    } else if (item.Kind == "item") {
      AddMenuItem(item);
    } else {
      TControl *c = CreateControl(item);
      if (auto *b = dynamic_cast<TButton *>(c)) {
        if (b->Default) DefaultButton = b;
        if (b->Cancel) CancelButton = b;
      }
      // Only the boxes and lists that a user fills in are named after a label.
      if (dynamic_cast<TEditBase *>(c) || dynamic_cast<TComboBox *>(c))
        if (item.Has("label")) named.emplace_back(static_cast<TWinControl *>(c), item.Get("label"));
    }
    if (std::string k = item.FirstUnusedKey(); !k.empty())
      throw ETavelinError("Propriété inconnue '" + k + "' de " + item.Name);
  }
  // A label may come after the field it names in the design.
  for (auto &[field, label] : named) field->NameLabel = &Get<TLabel>(label);
  if (!popup.empty()) {
    PopupMenu = FindMenu(popup);
    if (!PopupMenu) throw ETavelinError("Menu introuvable: " + popup);
  }
  for (const auto &c : components_)
    if (auto *label = dynamic_cast<TLabel *>(c.get())) label->FitCaption();
}

TControl *TForm::CreateControl(const TDesignItem &item) {
  std::string parentName = item.Get("parent", Name);
  TWinControl *parent = parentName == Name ? this : Find<TWinControl>(parentName);
  if (!parent) throw ETavelinError("Parent introuvable '" + parentName + "' pour " + item.Name);
  TControl *c = nullptr;
  const std::string &k = item.Kind;
  if (k == "panel") c = Add<TPanel>(parent);
  else if (k == "groupbox") c = Add<TGroupBox>(parent);
  else if (k == "label") c = Add<TLabel>(parent);
  else if (k == "image") c = Add<TImage>(parent);
  else if (k == "spinedit") c = Add<TSpinEdit>(parent);
  else if (k == "edit") c = Add<TEdit>(parent);
  else if (k == "combobox") c = Add<TComboBox>(parent);
  else if (k == "radiobutton") c = Add<TRadioButton>(parent);
  else if (k == "checkbox") c = Add<TCheckBox>(parent);
  else if (k == "statictext") c = Add<TStaticText>(parent);
  else if (k == "memo") c = Add<TMemo>(parent);
  else if (k == "button") c = Add<TButton>(parent);
  else throw ETavelinError("Genre de contrôle inconnu '" + k + "' pour " + item.Name);
  c->Name = item.Name;
  c->ApplyDesign(item);
  if (auto *w = dynamic_cast<TWinControl *>(c)) w->SpokenName = item.Get("name", "");
  return c;
}

void TForm::BuildMenu(const TDesignItem &item) {
  auto menu = std::make_unique<TPopupMenu>();
  menu->Name = item.Name;
  menus_.push_back(std::move(menu));
}

void TForm::AddMenuItem(const TDesignItem &item) {
  std::string parentName = item.Get("parent");
  TPopupMenu *menu = FindMenu(parentName);
  if (!menu) throw ETavelinError("Menu introuvable '" + parentName + "' pour " + item.Name);
  auto mi = std::make_unique<TMenuItem>();
  mi->Name = item.Name;
  mi->Caption = item.Get("caption");
  if (item.Has("shortcut")) {
    mi->ShortCutText = item.Get("shortcut");
    mi->ShortCutKey = ParseShortCut(mi->ShortCutText);
  }
  if (item.Has("OnClick")) mi->OnClick = ResolveHandler(item, "OnClick");
  mi->Id = nextMenuId_++;
  menu->Items.push_back(std::move(mi));
}

void TForm::RemoveComponent(TControl *control) {
  std::erase_if(components_, [control](const auto &c) { return c.get() == control; });
}

// --- Window ------------------------------------------------------------------------------------

bool TForm::Resizable() const { return BorderStyle == TBorderStyle::Sizeable; }

int TForm::Scaled(int length) const { return ScaleLength(length, dpi_); }

// An owned form opens over its owner, on the owner's monitor; any other where its design puts it.
int TForm::InitialDpi(int designLeft, int designTop) const {
  if (owner_ && owner_->HandleAllocated()) return WindowDpi(owner_->Handle());
  if (owner_) return owner_->Dpi();
  return PointDpi(POINT{designLeft, designTop});
}

void TForm::ChangeDpi(int dpi, const RECT *suggested) {
  dpi = SaneDpi(dpi);
  int from = dpi_;
  if (dpi != from) {
    dpi_ = dpi;
    designClientW_ = scaledForm_[0].Rescale(designClientW_, from, dpi);
    designClientH_ = scaledForm_[1].Rescale(designClientH_, from, dpi);
    Font.Height = scaledForm_[2].Rescale(Font.Height, from, dpi);
    for (const auto &c : components_) c->ScaleChanged(from, dpi);
    for (const auto &c : components_)
      if (auto *label = dynamic_cast<TLabel *>(c.get())) label->FitCaption();
    ApplyFont();
    for (const auto &c : components_)
      if (auto *w = dynamic_cast<TWinControl *>(c.get())) {
        w->ApplyFont();
        w->Invalidate();
      }
    // The tips of windowless controls cover rectangles that have just moved.
    if (tooltip_) {
      DestroyWindow(tooltip_);
      tooltip_ = nullptr;
      SetupHints();
    }
  }
  if (!handle_) return;
  if (suggested)
    SetWindowPos(handle_, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  // The client area is the design's at the new scale, whatever frame the window has there (the
  // suggestion already gives it where the system scales frames per monitor).
  RECT window, client;
  GetWindowRect(handle_, &window);
  GetClientRect(handle_, &client);
  if (designClientW_ > 0 && designClientH_ > 0 && !IsZoomed(handle_) &&
      (client.right != designClientW_ || client.bottom != designClientH_))
    SetWindowPos(handle_, nullptr, 0, 0,
                 window.right - window.left + designClientW_ - client.right,
                 window.bottom - window.top + designClientH_ - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(handle_, nullptr, FALSE);
}

void TForm::CreateHandle() {
  if (handle_) return;
  CreateWindowHandle();
  CreateChildHandles(this);
  SetupHints();
}

void TForm::CreateWindowHandle() {
  DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  DWORD ex = WS_EX_CONTROLPARENT;
  switch (BorderStyle) {
    case TBorderStyle::None: style |= WS_POPUP; break;
    case TBorderStyle::Single: style |= WS_CAPTION; break;
    case TBorderStyle::Dialog:
      style |= WS_CAPTION;
      ex |= WS_EX_DLGMODALFRAME;
      break;
    case TBorderStyle::ToolWindow:
      style |= WS_CAPTION;
      ex |= WS_EX_TOOLWINDOW;
      break;
    case TBorderStyle::Sizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
  }
  if (BorderStyle != TBorderStyle::None) {
    if (SystemMenu) style |= WS_SYSMENU;
    if (MinimizeBox) style |= WS_MINIMIZEBOX;
    if (MaximizeBox) style |= WS_MAXIMIZEBOX;
  }
  if (StayOnTop) ex |= WS_EX_TOPMOST;
  if (AppWindow) ex |= WS_EX_APPWINDOW;
  RECT r{0, 0, designClientW_, designClientH_};
  AdjustWindowRectForDpi(r, style, ex, dpi_);
  width_ = r.right - r.left;
  height_ = r.bottom - r.top;
  if (Centered) {
    left_ = (GetSystemMetrics(SM_CXSCREEN) - width_) / 2;
    top_ = (GetSystemMetrics(SM_CYSCREEN) - height_) / 2;
  }
  CreateOwnClass(style, ex, text_, owner_ ? owner_->Handle() : nullptr);
}

void TForm::CreateChildHandles(TWinControl *container) {
  std::vector<TWinControl *> wins;
  for (TControl *c : container->Children())
    if (auto *w = dynamic_cast<TWinControl *>(c)) wins.push_back(w);
  // Windows are created in tab order: the order of creation is the order of the Tab key.
  std::stable_sort(wins.begin(), wins.end(), [](TWinControl *a, TWinControl *b) {
    int ta = a->TabOrder < 0 ? 1 << 20 : a->TabOrder, tb = b->TabOrder < 0 ? 1 << 20 : b->TabOrder;
    return ta < tb;
  });
  for (TWinControl *w : wins) {
    // The window order is the order of creation: the label's window comes right before.
    if (w->NameLabel) w->NameLabel->CreateNameWindow(container->Handle());
    if (!w->SpokenName.empty() && (dynamic_cast<TEditBase *>(w) || dynamic_cast<TComboBox *>(w)))
      w->nameWindow_ = CreateWindowExA(0, "STATIC", w->SpokenName.c_str(), WS_CHILD | SS_NOPREFIX,
                                       0, 0, 0, 0, container->Handle(), nullptr,
                                       Application.Instance(), nullptr);
    w->CreateWindowHandle();
    CreateChildHandles(w);
  }
}

int TForm::ClientWidth() const {
  if (!handle_) return designClientW_;
  RECT r;
  GetClientRect(handle_, &r);
  return r.right;
}

int TForm::ClientHeight() const {
  if (!handle_) return designClientH_;
  RECT r;
  GetClientRect(handle_, &r);
  return r.bottom;
}

void TForm::SetClientSize(int width, int height) {
  designClientW_ = width;
  designClientH_ = height;
  if (!handle_) return;
  RECT r{0, 0, width, height};
  AdjustWindowRectForDpi(r, DWORD(GetWindowLongA(handle_, GWL_STYLE)),
                         DWORD(GetWindowLongA(handle_, GWL_EXSTYLE)), dpi_);
  SetWindowPos(handle_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {
// A hidden tip (its time is up, or its control was clicked) goes on watching the pointer on a
// timer until the pointer leaves the control: under Wine, ten times a second for as long as the
// pointer rests there. A second timer tick with the tip hidden and the pointer where it was at
// the first is that watch: the tooltip is then told that the pointer has left every tool (a move
// relayed from a window that is none of them), which ends it. The next move over the control
// starts the tip's delay again.
// Only the tooltip's leave timer is that watch (its number in the system's tooltips and in
// Wine's); its other timers, the delay before a tip shows above all, pass untouched.
constexpr UINT_PTR TipLeaveTimer = 3;

LRESULT CALLBACK HintWatchEnds(HWND tip, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR data) {
  auto *lastTick = reinterpret_cast<POINT *>(data);
  constexpr POINT nowhere{INT_MIN, INT_MIN};
  switch (msg) {
    case WM_TIMER:
      if (wParam == TipLeaveTimer && !IsWindowVisible(tip)) {
        POINT at{};
        // No pointer to be had (the secure desktop, a locked session): nothing is known of
        // where it rests, and the watch goes on as the tooltip runs it.
        if (!GetCursorPos(&at)) {
          *lastTick = nowhere;
          break;
        }
        if (at.x == lastTick->x && at.y == lastTick->y) {
          *lastTick = nowhere;
          MSG away{};
          away.hwnd = tip;
          away.message = WM_MOUSEMOVE;
          away.time = GetMessageTime();
          away.pt = at;
          DefSubclassProc(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&away));
          return 0;  // the tick of a watch that has just ended
        } else {
          *lastTick = at;
        }
      }
      break;
    case WM_SHOWWINDOW:
    case WM_WINDOWPOSCHANGED:
      if (IsWindowVisible(tip)) *lastTick = nowhere;
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(tip, HintWatchEnds, 1);
      delete lastTick;
      break;
    default:
      break;
  }
  return DefSubclassProc(tip, msg, wParam, lParam);
}
}  // namespace

void TForm::SetupHints() {
  // A form that shows no hints needs no tooltip: its tools would subclass every window of the
  // form, and each message to them would pay for it (under Wine, server calls: three per
  // message to the giant display, three messages a second).
  if (!ShowHint) return;
  tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, handle_, nullptr,
                             Application.Instance(), nullptr);
  if (!tooltip_) return;
  // The watch saves Wine's polling; on Windows the tip is left to behave as the system makes it.
  if (Application.EndTrackingAtRest) {
    auto *lastTick = new POINT{INT_MIN, INT_MIN};
    if (!SetWindowSubclass(tooltip_, HintWatchEnds, 1, reinterpret_cast<DWORD_PTR>(lastTick)))
      delete lastTick;
  }
  SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
  auto addWindow = [this](HWND wnd) {
    TOOLINFOA ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = handle_;
    ti.uId = UINT_PTR(wnd);
    ti.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, LPARAM(&ti));
  };
  std::function<void(TWinControl *)> walk = [&](TWinControl *w) {
    // Graphic controls with a hint of their own get a tool of their own on their parent.
    for (size_t i = 0; i < w->Children().size(); ++i) {
      TControl *c = w->Children()[i];
      if (auto *g = dynamic_cast<TGraphicControl *>(c); g && !g->Hint().empty()) {
        TOOLINFOA ti{};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_SUBCLASS;
        ti.hwnd = w->Handle();
        ti.uId = i + 1;
        ti.rect = g->BoundsRect();
        ti.lpszText = LPSTR_TEXTCALLBACKA;
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, LPARAM(&ti));
      }
    }
    addWindow(w->Handle());
    for (TControl *c : w->Children())
      if (auto *child = dynamic_cast<TWinControl *>(c)) {
        if (auto *spin = dynamic_cast<TSpinEdit *>(child); spin && spin->UpDownHandle())
          addWindow(spin->UpDownHandle());
        walk(child);
      }
  };
  walk(this);
}

// --- Showing and closing -----------------------------------------------------------------------

void TForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TForm::Show(bool activate) {
  CreateHandle();
  DoShow();
  visible_ = true;
  ShowWindow(handle_, activate ? SW_SHOW : SW_SHOWNA);
  if (Application.MainForm() == this) SetForegroundWindow(handle_);
}

void TForm::Hide() {
  visible_ = false;
  if (handle_) ShowWindow(handle_, SW_HIDE);
}

int TForm::ShowModal() {
  CreateHandle();
  HWND ownerWnd = owner_ ? owner_->Handle() : nullptr;
  if (ownerWnd) EnableWindow(ownerWnd, FALSE);
  modal_ = true;
  ModalResult = mrNone;
  struct Restore {
    TForm *form;
    HWND owner;
    ~Restore() {
      form->modal_ = false;
      // The owner comes back before this form hides, so that it is activated again.
      if (owner) EnableWindow(owner, TRUE);
      form->Hide();
    }
  } restore{this, ownerWnd};
  // Over a run's display, the user must see this window, and answer it. Without one it is an
  // ordinary window again (the system may have made it topmost with its owner's other windows).
  if (Application.FrontWindow())
    Application.BringAboveFront(handle_);
  else if (!StayOnTop && (GetWindowLongA(handle_, GWL_EXSTYLE) & WS_EX_TOPMOST))
    SetWindowPos(handle_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Show();
  MSG msg;
  while (true) {
    if (ModalResult != mrNone) {
      TCloseAction action = caHide;
      if (OnClose) OnClose(this, action);
      if (action == caNone) {
        ModalResult = mrNone;
      } else {
        if (action == caFree && !HeldByCaller) Release();
        break;
      }
    }
    if (!handle_) break;
    BOOL r = GetMessageA(&msg, nullptr, 0, 0);
    if (r == 0 || r == -1) {
      PostQuitMessage(int(msg.wParam));
      break;
    }
    Application.ProcessMessage(msg);
  }
  return ModalResult;
}

void TForm::Close() {
  if (modal_) {
    if (ModalResult == mrNone) ModalResult = mrCancel;
    return;
  }
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (Application.MainForm() == this) {
    Hide();
    Application.Terminate();
    return;
  }
  if (action == caFree && !HeldByCaller)
    Release();
  else
    Hide();
}

void TForm::Release() {
  if (handle_) PostMessageA(handle_, CM_RELEASE, 0, 0);
}

bool TForm::HandleKey(const MSG &msg) {
  if (msg.message != WM_KEYDOWN) return false;
  UINT key = UINT(msg.wParam);
  bool ctrl = GetKeyState(VK_CONTROL) < 0;
  if (ctrl && PopupMenu) return PopupMenu->HandleShortCut(key, this);
  TWinControl *focused = FromHandle(GetFocus());
  if (key == VK_ESCAPE) {
    if (auto *combo = dynamic_cast<TComboBox *>(focused))
      if (SendMessageA(combo->Handle(), CB_GETDROPPEDSTATE, 0, 0)) return false;
    if (CancelButton && CancelButton->Enabled()) {
      CancelButton->Click();
      return true;
    }
  } else if (key == VK_RETURN) {
    if (auto *combo = dynamic_cast<TComboBox *>(focused))
      if (SendMessageA(combo->Handle(), CB_GETDROPPEDSTATE, 0, 0)) return false;
    if (auto *button = dynamic_cast<TButton *>(focused); button && button->OwnerForm() == this) {
      button->Click();
      return true;
    }
    if (DefaultButton && DefaultButton->Enabled()) {
      DefaultButton->Click();
      return true;
    }
  }
  return false;
}

void TForm::PaintBackground(HDC dc, const RECT &client) {
  if (!PaintsOwnBackground) TWinControl::PaintBackground(dc, client);
}

void TForm::PaintContent(HDC dc) {
  Paint(dc);
  if (OnPaint) OnPaint(this);
}

namespace {
// A window that is being hidden has lost the pointer: whatever of it tracks the mouse (a themed
// button tracks hover and leave for its hot look) is told so now. Left alone, the tracking would
// outlive the window: Wine watches a tracked window on a system timer until the pointer leaves
// its rectangle, and a child of a hidden window keeps its own visible style, so a pointer resting
// where a button of a hidden form was kept that timer (a 1 ms hover time) running for ever.
void EndTrackingIn(HWND form) {
  TMouseTracking current = CurrentMouseTracking();
  if (!current.Window || !(current.Flags & (TME_HOVER | TME_LEAVE))) return;
  if (current.Window != form && !IsChild(form, current.Window)) return;
  EndMouseTracking(current);
  if (current.Flags & TME_LEAVE) MouseLeft(current.Window, (current.Flags & TME_NONCLIENT) != 0);
}
}  // namespace

LRESULT TForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SHOWWINDOW:
      if (!wParam) EndTrackingIn(handle_);
      break;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DPICHANGED:
      ChangeDpi(HIWORD(wParam), reinterpret_cast<const RECT *>(lParam));
      return 0;
    case CM_RELEASE:
      delete this;
      return 0;
    case WM_CONTEXTMENU:
      if (PopupMenu) {
        POINT p{short(LOWORD(lParam)), short(HIWORD(lParam))};
        if (lParam == -1) GetCursorPos(&p);
        PopupMenu->Popup(handle_, p, this);
        return 0;
      }
      break;
    case WM_WINDOWPOSCHANGED: {
      RECT r;
      GetWindowRect(handle_, &r);
      left_ = r.left;
      top_ = r.top;
      width_ = r.right - r.left;
      height_ = r.bottom - r.top;
      break;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) {
        HWND focus = GetFocus();
        if (!focus || (focus != handle_ && !IsChild(handle_, focus))) {
          HWND first = GetNextDlgTabItem(handle_, nullptr, FALSE);
          ::SetFocus(first ? first : handle_);
        }
        return 0;
      }
      break;
    case WM_COMMAND:
      if (lParam == 0 && HIWORD(wParam) == 0) {
        if (LOWORD(wParam) == IDCANCEL && CancelButton) CancelButton->Click();
        if (LOWORD(wParam) == IDOK && DefaultButton) DefaultButton->Click();
        return 0;
      }
      break;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}

void TForm::PlaceOverMiddleOf(TForm *owner) {
  if (!owner) {
    Centered = true;
    return;
  }
  CreateHandle();
  SetLeftTop(owner->Left() + (owner->Width() - Width()) / 2,
             owner->Top() + (owner->Height() - Height()) / 2);
}
