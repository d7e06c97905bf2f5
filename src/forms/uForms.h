#pragma once
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/uScale.h"
#include "forms/uDesign.h"
#include "forms/uGdi.h"

class TControl;
class TWinControl;
class TForm;
class TLabel;

using TNotifyEvent = std::function<void(TControl *Sender)>;

// Colours are either RGB values or the system's named colours (flagged as Delphi-style values).
using TColor = uint32_t;
constexpr TColor clSystemFlag = 0x80000000u;
constexpr TColor SysColor(int index) { return clSystemFlag | uint32_t(index); }
constexpr TColor clBtnFace = SysColor(COLOR_BTNFACE);
constexpr TColor clWindowText = SysColor(COLOR_WINDOWTEXT);
constexpr TColor clWindowFrame = SysColor(COLOR_WINDOWFRAME);
constexpr TColor clMenu = SysColor(COLOR_MENU);
constexpr TColor clWindow = SysColor(COLOR_WINDOW);
constexpr TColor clBlack = RGB(0, 0, 0);
constexpr TColor clWhite = RGB(255, 255, 255);
COLORREF ColorToRGB(TColor color);
// Parses "btnface", "menu", "black", "r,g,b" and the like; throws on anything else.
TColor ParseColor(const std::string &text);

struct TFontDesc {
  std::string Name = "MS Sans Serif";
  int Height = -11;  // negative: character height in pixels
  bool Bold = false;
  bool Italic = false;
  TColor Color = clWindowText;
  bool operator==(const TFontDesc &) const = default;
};
// Fonts are shared by description for the life of the program: a handful exist, each made once.
HFONT FontHandle(const TFontDesc &font);

enum class TBevelCut { None, Lowered, Raised };
enum class TBorderStyle { None, Single, Dialog, ToolWindow, Sizeable };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

// Any control: its place, visibility, hint, tag and click.
class TControl {
public:
  explicit TControl(TWinControl *parent);
  virtual ~TControl();
  TControl(const TControl &) = delete;
  TControl &operator=(const TControl &) = delete;

  std::string Name;
  int Tag = 0;
  TNotifyEvent OnClick;

  TWinControl *Parent() const { return parent_; }
  TForm *OwnerForm() const;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  virtual void SetBounds(int left, int top, int width, int height);
  void SetHeight(int h) { SetBounds(left_, top_, width_, h); }
  void SetLeftTop(int left, int top) { SetBounds(left, top, width_, height_); }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  const std::string &Hint() const { return hint_; }
  void SetHint(const std::string &hint) { hint_ = hint; }
  // The hint shown over this control: its own, or the nearest parent's.
  std::string EffectiveHint() const;

  TFontDesc Font;
  bool ParentFont = true;
  const TFontDesc &EffectiveFont() const;

  HCURSOR Cursor = nullptr;  // none: the default arrow

  virtual void ApplyDesign(const TDesignItem &item);
  virtual void Click();
  // The form went from one DPI to another: place, size and own font follow.
  virtual void ScaleChanged(int fromDpi, int toDpi);

protected:
  TWinControl *parent_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  std::string hint_;

private:
  // Place, size and own font height as the design gave them: each scale starts again from them.
  std::array<TScaledLength, 4> scaledRect_;
  TScaledLength scaledFont_;
};

// A control without a window of its own: it paints on its parent's surface.
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TWinControl *parent);
  // Paints with the DC's origin at the control's top-left corner, clipped to the control.
  virtual void Paint(HDC dc) = 0;
  // Paints at once on the parent's surface, without waiting for the window system.
  void Repaint();
  // The same, limited to the given rectangles of the control: Paint's drawing outside them is
  // clipped away. For a change that touches a small part of a large control, since every pixel
  // painted is a pixel the window system then has to move.
  void Repaint(const std::vector<RECT> &parts);
  void Invalidate();
  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  // Opaque controls paint every pixel, so nothing is erased under them.
  bool Opaque = false;
  // Whether the parent's window exists and shows this control.
  bool CanPaintNow() const;
};

// A control with a window of its own.
class TWinControl : public TControl {
public:
  explicit TWinControl(TWinControl *parent);
  ~TWinControl() override;

  HWND Handle() const { return handle_; }
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Creates the window (and its children's) once; the form calls it after its design is loaded.
  virtual void CreateHandle();
  void DestroyHandle();

  TColor Color = clBtnFace;
  bool ParentColor = false;
  TColor EffectiveColor() const;
  int TabOrder = -1;
  bool TabStop = false;
  // The label that a screen reader names this field after (a design's "label="): its static
  // window stands just before the field's in the window order.
  TLabel *NameLabel = nullptr;
  // What a screen reader says of the control (a design's "name="), where its caption or label
  // does not say it: a button's window text (it still paints its caption); for a box or a list,
  // the text of a hidden static window made just before it.
  std::string SpokenName;

  const std::vector<TControl *> &Children() const { return children_; }
  void AddChild(TControl *child) { children_.push_back(child); }
  void RemoveChild(TControl *child);

  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void Invalidate();
  void SetFocus();
  bool Focused() const;

  std::string Text() const;
  void SetText(const std::string &text);

  // Messages of our own window classes.
  virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // Notifications of a standard control, reflected to its object by its parent.
  virtual void HandleCommand(WORD code) { (void)code; }
  virtual bool HandleNotify(NMHDR *header, LRESULT &result);
  virtual bool DrawItem(const DRAWITEMSTRUCT &item);
  virtual HBRUSH ControlColor(HDC dc);

  // Our own window class, shared by forms and containers.
  static const char *WindowClassName();
  static TWinControl *FromHandle(HWND wnd);

  TGraphicControl *GraphicChildAt(POINT p) const;

protected:
  virtual void CreateWindowHandle() = 0;
  HWND CreateStandard(const char *className, DWORD style, DWORD exStyle, const std::string &text);
  HWND CreateOwnClass(DWORD style, DWORD exStyle, const std::string &text, HWND owner);
  void AttachHandle(HWND wnd);
  void ApplyFont();
  HWND ParentHandle() const;
  virtual void PaintBackground(HDC dc, const RECT &client);
  virtual void PaintContent(HDC dc) { (void)dc; }
  void PaintWindow();
  void PaintGraphicChildren(HDC dc, const RECT &area);
  // What this window shows in `area` of its client, drawn on a child window covering it: the
  // look of a label that has a window is the painted label's, pixel for pixel.
  void PaintArea(HDC dc, const RECT &area);

  HWND handle_ = nullptr;
  HWND nameWindow_ = nullptr;  // the hidden static that names a box or a list
  std::vector<TControl *> children_;
  std::string text_;
  gdi::Brush colorBrush_;  // for a non-system background colour

public:
  HBRUSH BackgroundBrush();

protected:
  friend LRESULT CALLBACK TavelinWndProc(HWND, UINT, WPARAM, LPARAM);
  friend class TForm;
};

// --- Containers --------------------------------------------------------------------------------

class TPanel : public TWinControl {
public:
  explicit TPanel(TWinControl *parent);
  TBevelCut BevelInner = TBevelCut::None;
  TBevelCut BevelOuter = TBevelCut::Raised;
  int BevelWidth = 1;
  bool ShowCaption = true;
  void ApplyDesign(const TDesignItem &item) override;
  void SetCaption(const std::string &text);
  const std::string &Caption() const { return text_; }
  int BorderWidth() const;
  // Whether `text` fits within the bevels in the panel's font.
  bool CaptionFits(const std::string &text) const;

protected:
  void CreateWindowHandle() override;
  void PaintContent(HDC dc) override;
};

class TGroupBox : public TWinControl {
public:
  explicit TGroupBox(TWinControl *parent);
  void ApplyDesign(const TDesignItem &item) override;

protected:
  void CreateWindowHandle() override;
  void PaintContent(HDC dc) override;
};

// --- Graphic controls --------------------------------------------------------------------------

class TLabel : public TGraphicControl {
public:
  explicit TLabel(TWinControl *parent);
  ~TLabel() override;
  std::string Caption;
  bool AutoSize = true;
  bool Transparent = false;
  void ApplyDesign(const TDesignItem &item) override;
  void SetCaption(const std::string &caption);
  void Paint(HDC dc) override;
  void AdjustSize();
  void ScaleChanged(int fromDpi, int toDpi) override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  // On a scaled screen, a caption wider than the label (text does not grow exactly with the
  // scale) widens it into the free room on its right, and takes a smaller font if it must.
  void FitCaption();

  // A screen reader names a field after the static window just before it in the window order:
  // a label that names fields has windows, made here, each right before one field's. The first
  // among the label's siblings is the label as the user sees it (its parent draws it, so that it
  // looks as it did painted); any other is a hidden copy of its text.
  HWND CreateNameWindow(HWND parent);
  // The window that shows the label, or none.
  HWND Window() const { return shown_; }

private:
  // The label as it was before FitCaption, which chose for one scale and one caption only.
  void UndoFit();
  // The windows follow the label's text, place, font and state.
  void SyncWindows();
  HWND shown_ = nullptr;
  std::vector<HWND> windows_;
  bool fitted_ = false;
  int unfitWidth_ = 0;
  TFontDesc unfitFont_;
  bool unfitParentFont_ = true;
};

// A picture: a bitmap drawn at the control's top-left corner. Its bitmap may be drawn into.
class TImage : public TGraphicControl {
public:
  explicit TImage(TWinControl *parent);
  void ApplyDesign(const TDesignItem &item) override;
  void Paint(HDC dc) override;
  void LoadFromResource(const char *name);
  // A blank bitmap of the control's size, to draw into.
  HBITMAP NewBitmap(int width, int height);
  // The same, for a picture of two colours only (cleared to the first).
  HBITMAP NewTwoColorBitmap(int width, int height, COLORREF zero, COLORREF one);
  HBITMAP Bitmap() const { return bitmap_.get(); }
  void ScaleChanged(int fromDpi, int toDpi) override;

private:
  gdi::Bitmap bitmap_;
  std::string picture_;  // the resource it was loaded from, drawn again at another scale
};

// --- Standard controls -------------------------------------------------------------------------

class TEditBase : public TWinControl {
public:
  using TWinControl::TWinControl;
  TNotifyEvent OnChange;
  TNotifyEvent OnEnter;
  void HandleCommand(WORD code) override;
  HBRUSH ControlColor(HDC dc) override;
  void ApplyDesign(const TDesignItem &item) override;

protected:
  virtual void Changed();
  virtual void FocusLost() {}
};

// An edit box with arrows: the value is the integer in the text, or the minimum when the text is
// not an integer; a value typed out of range is corrected when the box loses the focus.
class TSpinEdit : public TEditBase {
public:
  explicit TSpinEdit(TWinControl *parent);
  int MinValue = 0;
  int MaxValue = 100;
  int Value() const;
  void SetValue(int value);
  void ApplyDesign(const TDesignItem &item) override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  HWND UpDownHandle() const { return updown_; }

protected:
  void CreateWindowHandle() override;
  void FocusLost() override;

private:
  HWND updown_ = nullptr;
};

// A single-line edit box; MaxLength (0: the system's limit) stops what the user types.
class TEdit : public TEditBase {
public:
  explicit TEdit(TWinControl *parent);
  int MaxLength = 0;
  void ApplyDesign(const TDesignItem &item) override;

protected:
  void CreateWindowHandle() override;
};

class TMemo : public TEditBase {
public:
  explicit TMemo(TWinControl *parent);
  bool ReadOnly = true;
  bool WordWrap = true;
  bool Border = false;
  void AddLine(const std::string &line);
  std::vector<std::string> Lines() const;

protected:
  void CreateWindowHandle() override;

private:
  std::vector<std::string> lines_;
};

// A drop-down list, without typing unless Editable (its Text is then what was chosen or typed,
// and typing raises a change too); choosing an entry from code raises no change.
class TComboBox : public TWinControl {
public:
  explicit TComboBox(TWinControl *parent);
  TNotifyEvent OnChange;
  TNotifyEvent OnEnter;
  int ItemHeight = 14;
  bool Editable = false;
  void ApplyDesign(const TDesignItem &item) override;
  void AddItem(const std::string &text);
  void ClearItems();
  int ItemIndex() const;
  void SetItemIndex(int index);
  int ItemCount() const { return int(items_.size()); }
  std::string ItemText(int index) const { return items_.at(size_t(index)); }
  void HandleCommand(WORD code) override;
  void ScaleChanged(int fromDpi, int toDpi) override;

protected:
  void CreateWindowHandle() override;

private:
  std::vector<std::string> items_;
  int itemIndex_ = -1;
  int designItemHeight_ = 14;  // at 96 DPI
};

// A system button with a caption and a checked state, on its parent's background.
class TTickButton : public TWinControl {
public:
  void ApplyDesign(const TDesignItem &item) override;
  bool Checked() const { return checked_; }
  HBRUSH ControlColor(HDC dc) override;
  void ScaleChanged(int fromDpi, int toDpi) override;

protected:
  TTickButton(TWinControl *parent, DWORD style) : TWinControl(parent), style_(style) {}
  void CreateWindowHandle() override;
  // The state, shown at once when the button has its window.
  void ShowChecked(bool checked);

private:
  // A button named otherwise than its caption (boxes of a table's rows, one caption for all)
  // shows its caption as a picture, as the system writes it; its window text is the name.
  void DrawCaptionPicture();
  DWORD style_;
  bool checked_ = false;
  gdi::Bitmap captionPicture_;
};

class TRadioButton : public TTickButton {
public:
  explicit TRadioButton(TWinControl *parent);
  // Checking a button that was not checked runs its click, as a user's click would.
  void SetChecked(bool checked);
  void HandleCommand(WORD code) override;
};

// A box ticked or not. The user's click switches it and runs its click; SetChecked does not.
class TCheckBox : public TTickButton {
public:
  explicit TCheckBox(TWinControl *parent);
  void SetChecked(bool checked) { ShowChecked(checked); }
  void HandleCommand(WORD code) override;
};

class TStaticText : public TWinControl {
public:
  explicit TStaticText(TWinControl *parent);
  bool Sunken = false;
  void ApplyDesign(const TDesignItem &item) override;
  void HandleCommand(WORD code) override;
  HBRUSH ControlColor(HDC dc) override;

protected:
  void CreateWindowHandle() override;
};

// Push buttons, with or without a picture (normal and greyed), and flat toggle buttons.
class TButton : public TWinControl {
public:
  explicit TButton(TWinControl *parent);
  TNotifyEvent OnEnter;
  bool Default = false;
  bool Cancel = false;
  int ModalResult = mrNone;
  bool Flat = false;
  int GroupIndex = 0;  // non-zero: a toggle button that stays down
  bool AllowAllUp = false;
  void ApplyDesign(const TDesignItem &item) override;
  void SetGlyphs(const char *normal, const char *disabled);
  bool Down() const { return down_; }
  void SetDown(bool down);  // from code: no click
  void HandleCommand(WORD code) override;
  bool DrawItem(const DRAWITEMSTRUCT &item) override;
  void Click() override;
  bool HasGlyph() const { return bool(glyph_); }
  // What the button paints (its window text is its spoken name, when it has one).
  const std::string &Caption() const { return text_; }
  HBITMAP Glyph() const { return glyph_.get(); }
  void ScaleChanged(int fromDpi, int toDpi) override;

protected:
  void CreateWindowHandle() override;

private:
  void DrawGlyph(HDC dc, int x, int y, bool disabled);
  void LoadGlyphs();
  gdi::Bitmap glyph_;
  gdi::Bitmap glyphDisabled_;
  std::string glyphName_, glyphDisabledName_;
  int glyphW_ = 0, glyphH_ = 0;
  bool down_ = false;
};

// --- Menus -------------------------------------------------------------------------------------

struct TMenuItem {
  std::string Name;
  std::string Caption;  // "-" for a separator
  UINT ShortCutKey = 0;  // virtual key with Ctrl, or 0
  std::string ShortCutText;
  TNotifyEvent OnClick;
  UINT Id = 0;
  bool Checked = false;  // shown with a check mark
};

class TPopupMenu {
public:
  std::string Name;
  std::vector<std::unique_ptr<TMenuItem>> Items;
  // Shows the menu at a screen point; runs the chosen item's handler.
  void Popup(HWND owner, POINT screen, TControl *sender);
  // The menu as Popup shows it; the caller destroys it.
  HMENU CreateMenuHandle() const;
  // Ctrl+key shortcuts of the items; true when one ran.
  bool HandleShortCut(UINT key, TControl *sender);
  TMenuItem *Find(const std::string &name) const;
};

// --- Forms -------------------------------------------------------------------------------------

// A window built from its stored design. Controls and handlers are found by name.
class TForm : public TWinControl {
public:
  using TCloseEvent = std::function<void(TForm *Sender, TCloseAction &Action)>;

  // owner: the form above this one (owner window and modal owner), or none.
  explicit TForm(TForm *owner);
  ~TForm() override;

  TForm *Owner() const { return owner_; }
  TNotifyEvent OnShow;
  TCloseEvent OnClose;
  TNotifyEvent OnPaint;

  // Handlers are registered before the design that names them is loaded.
  void RegisterHandler(const std::string &name, TNotifyEvent handler);
  void RegisterCloseHandler(const std::string &name, TCloseEvent handler);
  // A member function of the form's own class as the handler of that name.
  template <class F>
  void Bind(const char *name, void (F::*handler)(TControl *)) {
    F *self = static_cast<F *>(this);
    RegisterHandler(name, [self, handler](TControl *sender) { (self->*handler)(sender); });
  }
  // The handler that a design item names for an event; an unknown name is an error.
  TNotifyEvent ResolveHandler(const TDesignItem &item, const std::string &event) const;
  void LoadDesign(const char *resourceName);
  void LoadDesignText(const std::string &utf8Text, const std::string &designName);

  template <class T>
  T *Find(const std::string &name) const {
    for (const auto &c : components_)
      if (c->Name == name) return dynamic_cast<T *>(c.get());
    return nullptr;
  }
  template <class T>
  T &Get(const std::string &name) const {
    T *c = Find<T>(name);
    if (!c) throw ETavelinError("Contrôle introuvable: " + Name + "." + name);
    return *c;
  }
  // Adds a control made in code; the form owns it.
  template <class T, class... Args>
  T *Add(Args &&...args) {
    auto c = std::make_unique<T>(std::forward<Args>(args)...);
    T *raw = c.get();
    components_.push_back(std::move(c));
    return raw;
  }
  // Frees a control that the form owns (one made by Add), such as one that a new layout replaces.
  void RemoveComponent(TControl *control);
  TPopupMenu *FindMenu(const std::string &name) const;

  std::string Caption() const { return Text(); }
  void SetCaption(const std::string &caption) { SetText(caption); }

  TBorderStyle BorderStyle = TBorderStyle::Single;
  bool SystemMenu = true;
  bool MinimizeBox = false;
  bool MaximizeBox = false;
  bool StayOnTop = false;
  // An owned window that still has its own taskbar button and Alt+Tab entry.
  bool AppWindow = false;
  bool ShowHint = false;
  bool Centered = false;
  // Over the middle of `owner` (its size is known once its window exists), or centred on the
  // screen without one.
  void PlaceOverMiddleOf(TForm *owner);
  TPopupMenu *PopupMenu = nullptr;
  TButton *DefaultButton = nullptr;
  TButton *CancelButton = nullptr;

  int ClientWidth() const;
  int ClientHeight() const;
  void SetClientSize(int width, int height);
  // Resizable frames keep their size in a saved placement; fixed ones only their place.
  bool Resizable() const;

  // The DPI of the monitor the form is on (the one it is to show on, before its window exists).
  int Dpi() const { return dpi_; }
  // A length of a placement rule, given for a 96-DPI screen, in the form's pixels.
  int Scaled(int length) const;
  // The form goes to a monitor of another DPI: fonts, controls and pictures are scaled again and
  // the window takes the rectangle the system suggests (none: it keeps its place).
  virtual void ChangeDpi(int dpi, const RECT *suggested);

  // Shows the window; a window shown without activation leaves the active window as it is.
  void Show(bool activate = true);
  void Hide();
  int ShowModal();
  bool Modal() const { return modal_; }
  int ModalResult = mrNone;
  // Asks the window to close: the close handler may change the action.
  void Close();
  // Frees the form once control is back in the message loop.
  void Release();
  // A form held by whoever showed it (a unique_ptr around ShowModal) is freed by that holder
  // alone: its close action caFree then only ends the modal loop, so it is never freed twice.
  bool HeldByCaller = false;

  void CreateHandle() override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Keys of the active form, before dialog navigation; true when the key was used.
  virtual bool HandleKey(const MSG &msg);

  // Hints shown as tooltips for the form's controls.
  void SetupHints();

protected:
  void CreateWindowHandle() override;
  virtual void DoShow();
  virtual void Paint(HDC dc) { (void)dc; }
  void PaintContent(HDC dc) override;
  // Forms that paint their whole background themselves skip the plain fill.
  bool PaintsOwnBackground = false;
  void PaintBackground(HDC dc, const RECT &client) override;

private:
  TControl *CreateControl(const TDesignItem &item);
  void BuildMenu(const TDesignItem &item);
  void AddMenuItem(const TDesignItem &item);
  void OrderTabs(TWinControl *container);
  int InitialDpi(int designLeft, int designTop) const;
  void CreateChildHandles(TWinControl *container);
  void DoClose();

  TForm *owner_;
  std::vector<std::unique_ptr<TControl>> components_;
  std::vector<std::unique_ptr<TPopupMenu>> menus_;
  std::vector<std::pair<std::string, TNotifyEvent>> handlers_;
  std::vector<std::pair<std::string, TCloseEvent>> closeHandlers_;
  bool modal_ = false;
  int designClientW_ = 0, designClientH_ = 0;
  // The design's client size and font height, which each scale starts again from.
  std::array<TScaledLength, 3> scaledForm_;
  int dpi_ = 96;
  HWND tooltip_ = nullptr;
  UINT nextMenuId_ = 1000;
};

// Loads a resource of type DESIGN as text.
std::string LoadDesignResource(const char *name);
