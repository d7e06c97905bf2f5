#include <windows.h>

#include "display/uWatchChrono.h"

#include <algorithm>
#include <vector>

#include "display/uMonitors.h"
#include "forms/uApplication.h"
#include "forms/uDpi.h"
#include "forms/uSystemLib.h"
#include "run/uBoardTexts.h"
#include "run/uEndTime.h"
#include "run/uExamPaper.h"
#include "run/uRunTexts.h"
#include "run/uThreadContainer.h"
#include "settings/uConfig.h"

static_assert(FirstFullWidthSize + MaxMonitors == TConfig::DisplaySizeEnd,
              "the settings keep every display size the layout knows");

TWatchChrono::TWatchChrono(TForm *owner) : TForm(owner) {
  LoadDesign("WATCHCHRONO");

  // In the physical pixels of the screen: a fixed size grows with the primary monitor's scale.
  layoutDpi_ = PointDpi(POINT{0, 0});
  clockBand_ = AppConfig->ShowClock;
  // A full-width display leaves room under it for its owner, the control bar.
  layout_ = LayoutNow(owner ? owner->Height() : 0);
  const TWatchLayout &l = layout_;

  // A borderless window at the top left corner of the screen (or of the chosen monitor), above
  // ordinary windows.
  BorderStyle = TBorderStyle::None;
  SetClientSize(l.Window.Width, l.Window.Height);
  SetBounds(l.Window.Left, l.Window.Top, l.Window.Width, l.Window.Height);
  StayOnTop = true;
  // The mouse pointer is hidden over the window: see WM_SETCURSOR.

  panel_ = Add<TImage>(this);
  panel_->Name = "DigitPanel";
  panel_->SetBounds(l.Panel.Left, l.Panel.Top, l.Panel.Width, l.Panel.Height);
  // Black with red dots and nothing else: two colours, a bit a pixel (17 MB less at full width
  // on a 4K screen than in true colour).
  panel_->NewTwoColorBitmap(l.Panel.Width, l.Panel.Height, RGB(0, 0, 0), RGB(255, 0, 0));

  gauge_ = Add<TCustomGaugeEx>(this);
  gauge_->Name = "Gauge";
  gauge_->SetBounds(l.Gauge.Left, l.Gauge.Top, l.Gauge.Width, l.Gauge.Height);
  gauge_->SetProgress(0);
  gauge_->SetBackColor(clBtnFace);
  gauge_->SetShowText(true);

  // The gauge starts from this font and fits its size to its height.
  Font.Name = "arial";
  Font.Color = clWhite;
  Font.Height = gdi::PointsToHeight(50);
  gauge_->FitFontToHeight();
  gauge_->SetMinValue(0);
  gauge_->SetProgress(0);

  PlaceUnderGauge(l);

  for (size_t p = 0; p < digits_.size(); ++p) {
    digits_[p] = Add<TBoxNumber>(this, l.Unit);
    digits_[p]->Name = "Digit" + std::to_string(p);
  }
  auto place = [&](int p) {
    digits_[size_t(p)]->SetLeftTop(l.Digits[p].Left, l.Digits[p].Top);
  };
  place(0);
  place(1);
  DrawColon(0);
  place(2);
  place(3);
  DrawColon(1);
  place(4);
  place(5);

  ResetDigits(0);
}

// Two red dots, each inscribed in a u x u square, outlined with the default one-pixel black pen.
void TWatchChrono::DrawColon(int colon) {
  const TWatchLayout &l = layout_;
  gdi::BitmapDC canvas(panel_->Bitmap());
  gdi::Brush red = gdi::MakeBrush(RGB(255, 0, 0));
  gdi::Select brush(canvas.dc(), red.get());
  gdi::Select pen(canvas.dc(), GetStockObject(BLACK_PEN));
  int left = l.ColonLeft[size_t(colon)];
  for (int top : l.DotTop) Ellipse(canvas.dc(), left, top, left + l.Unit, top + l.Unit);
  panel_->Invalidate();
}

namespace {
// Windows keeps some windows visible but cloaked (never drawn); they cover nothing.
bool Cloaked(HWND wnd) {
  using TGetAttribute = HRESULT(WINAPI *)(HWND, DWORD, void *, DWORD);
  static const auto getAttribute =
      SystemFunction<TGetAttribute>(L"dwmapi.dll", "DwmGetWindowAttribute");
  constexpr DWORD cloakedAttribute = 14;  // DWMWA_CLOAKED
  DWORD cloaked = 0;
  return getAttribute && SUCCEEDED(getAttribute(wnd, cloakedAttribute, &cloaked, sizeof cloaked)) &&
         cloaked != 0;
}
}  // namespace

void TWatchChrono::StayInFront() {
  // Above the display stand windows that show nothing over it: hidden ones (every tooltip made
  // after it), and others elsewhere on the screen. Only another program's window drawn over it
  // counts. The windows of ours above it (a box) stay above it, in their order.
  RECT mine, theirs, both;
  GetWindowRect(handle_, &mine);
  const DWORD self = GetCurrentProcessId();
  bool covered = false;
  std::vector<HWND> ours;  // the nearest first
  for (HWND w = GetWindow(handle_, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV)) {
    if (!IsWindowVisible(w)) continue;
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process == self)
      ours.push_back(w);
    else if (!covered && GetWindowRect(w, &theirs) && IntersectRect(&both, &mine, &theirs) &&
             !Cloaked(w))
      covered = true;
  }
  if (!covered) return;
  const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
  SetWindowPos(handle_, HWND_TOPMOST, 0, 0, 0, 0, flags);
  for (HWND w : ours) SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, flags);
}

TWatchLayout TWatchChrono::LayoutNow(int barHeight) const {
  return ScaledDisplayLayout(AppConfig->UserScreenSize, AppConfig->GetScreenWidth(), layoutDpi_,
                             CurrentMonitors(), barHeight, clockBand_,
                             Board() ? int(names_.size()) + exitLine_ : 0);
}

void TWatchChrono::PlaceUnderGauge(const TWatchLayout &l) {
  if (l.Band.Height > 0) {
    if (!band_) {
      band_ = Add<TClockBand>(this);
      band_->Name = "ClockBand";
    }
    band_->SetBounds(l.Band.Left, l.Band.Top, l.Band.Width, l.Band.Height);
    band_->FitFont();
  } else if (band_) {
    RemoveComponent(band_);
    band_ = nullptr;
  }
  if (l.Board.Height > 0) {
    if (!table_) {
      table_ = Add<TPaperTable>(this);
      table_->Name = "PaperTable";
    }
    table_->SetNames(TableNames());
    table_->SetBounds(l.Board.Left, l.Board.Top, l.Board.Width, l.Board.Height);
    table_->FitFont();
  } else if (table_) {
    RemoveComponent(table_);
    table_ = nullptr;
  }
}

void TWatchChrono::LayOutAgain(int barHeight) {
  TWatchLayout l = LayoutNow(barHeight);
  // The system may have moved the window itself when the screens changed: it goes back to its
  // place even when nothing else moves.
  RECT now{};
  if (!HandleAllocated() || !GetWindowRect(handle_, &now) || now.left != l.Window.Left ||
      now.top != l.Window.Top || now.right - now.left != l.Window.Width ||
      now.bottom - now.top != l.Window.Height)
    SetBounds(l.Window.Left, l.Window.Top, l.Window.Width, l.Window.Height);
  if (l == layout_) return;
  layout_ = l;
  SetClientSize(l.Window.Width, l.Window.Height);

  panel_->SetBounds(l.Panel.Left, l.Panel.Top, l.Panel.Width, l.Panel.Height);
  panel_->NewTwoColorBitmap(l.Panel.Width, l.Panel.Height, RGB(0, 0, 0), RGB(255, 0, 0));
  DrawColon(0);
  DrawColon(1);
  gauge_->SetBounds(l.Gauge.Left, l.Gauge.Top, l.Gauge.Width, l.Gauge.Height);
  gauge_->FitFontToHeight();
  PlaceUnderGauge(l);

  for (size_t p = 0; p < digits_.size(); ++p) {
    if (digits_[p]->Unit() != l.Unit) {
      uint8_t shown = digits_[p]->CurrentNumber();
      bool dark = digits_[p]->Dark();
      std::string name = digits_[p]->Name;
      RemoveComponent(digits_[p]);
      digits_[p] = Add<TBoxNumber>(this, l.Unit);
      digits_[p]->Name = name;
      digits_[p]->SetLitColor(DigitColor());
      digits_[p]->SetDark(dark);
      digits_[p]->SetCurrentNumber(shown);
    }
    digits_[p]->SetLeftTop(l.Digits[p].Left, l.Digits[p].Top);
  }
  Invalidate();
}

void TWatchChrono::ResetDigits(uint32_t shownSeconds) {
  TTimeTavelin shown;
  shown.SetTotalSeconds(restSeconds_ = shownSeconds);
  overtime_ = amber_ = false;
  ShowDigitColor();
  if (Board()) {
    // The board's run over, the room reads the time of day again at once, not at the next second.
    if (timeOfDayKnown_) ShowTimeOfDay(timeOfDay_);
  } else {
    for (uint8_t p = 0; p < 6; ++p) digits_[p]->SetCurrentNumber(shown.GetDigit(p));
  }
  ShowWarning({});
  ShowSecondsNearEnd();
  ShowTitle();
}

void TWatchChrono::ShowTitle() {
  const char *what = Board()                  ? " - heure"
                     : AppConfig->TypeInc == 0 ? " - chronomètre"
                                               : " - compte à rebours";
  SetCaption(Application.Title() + what);
}

void TWatchChrono::ShowSecondsNearEnd() {
  // A board's digits read the time of day, whose seconds always show.
  const bool lit = Board() || !SecondsLitAt || SecondsLitAt(gauge_->Progress(), overtime_);
  // The tens and the units of the seconds only: the rest of the display is not painted again.
  digits_[4]->SetDark(!lit);
  digits_[5]->SetDark(!lit);
}

COLORREF TWatchChrono::DigitColor() const {
  return overtime_ ? TBoxNumber::OvertimeColor
         : amber_  ? TBoxNumber::WarningColor
                   : TBoxNumber::UsualColor;
}

void TWatchChrono::ShowDigitColor() {
  for (TBoxNumber *digit : digits_) digit->SetLitColor(DigitColor());
}

void TWatchChrono::ShowOvertime(bool overtime) {
  overtime_ = overtime;
  // No progress comes beyond the end to take a warning's text away: the run's end does.
  if (overtime && warningUntil_ != 0) ShowWarning({});
  ShowDigitColor();
  ShowSecondsNearEnd();
}

void TWatchChrono::ShowAmber(bool amber) {
  amber_ = amber;
  ShowDigitColor();
}

void TWatchChrono::ShowWarning(const std::string &text) {
  constexpr uint32_t warningSeconds = 10;
  warningUntil_ = text.empty() ? 0 : gauge_->Progress() + warningSeconds;
  gauge_->SetCaption(text);
}

void TWatchChrono::ShowWaiting(int64_t nowLocalMs, const std::string &text) {
  ShowTimeOfDay(nowLocalMs);
  warningUntil_ = 0;
  gauge_->SetCaption(text);
}

std::vector<std::string> TWatchChrono::TableNames() const {
  std::vector<std::string> names = names_;
  if (exitLine_) names.push_back("Sortie");
  return names;
}

void TWatchChrono::SetBoard(const std::vector<std::string> &names, bool clock, bool exitLine) {
  std::vector<std::string> board(names.begin(), names.begin() + std::min(names.size(), MaxPapers));
  if (board.size() < (clock ? 1u : 2u)) board.clear();
  exitLine = exitLine && !board.empty();
  if (board == names_ && exitLine == exitLine_) return;
  const bool wasBoard = Board();
  names_ = std::move(board);
  exitLine_ = exitLine;
  if (Board()) {
    // The digits' amber counts to the run's end, which the board's digits do not show.
    amber_ = false;
    ShowDigitColor();
  }
  LayOutAgain(Owner() ? Owner()->Height() : 0);
  // Other names on as many lines lay nothing out again.
  if (table_) table_->SetNames(TableNames());
  if (wasBoard && !Board()) ResetDigits(restSeconds_);
  ShowSecondsNearEnd();
  ShowTitle();
}

void TWatchChrono::ShowTimeOfDay(int64_t localMs) {
  const int64_t ms = (localMs % MsPerDay + MsPerDay) % MsPerDay;
  const int seconds = int(ms / 1000);
  const int parts[3] = {seconds / 3600, seconds / 60 % 60, seconds % 60};
  for (size_t p = 0; p < digits_.size(); ++p)
    digits_[p]->SetCurrentNumber(uint8_t(p % 2 == 0 ? parts[p / 2] / 10 : parts[p / 2] % 10));
}

void TWatchChrono::ShowBoard(int64_t nowLocalMs, const std::vector<TBoardLine> &lines) {
  if (!Board()) return;
  timeOfDayKnown_ = true;
  timeOfDay_ = nowLocalMs;
  if (!overtime_) ShowTimeOfDay(nowLocalMs);
  if (table_) table_->SetLines(lines);
}

void TWatchChrono::SetRunEnds(uint32_t lengthSeconds, const std::vector<uint32_t> &marks,
                              uint32_t overtimeFrom) {
  gauge_->SetMaxValue(lengthSeconds);
  gauge_->SetMarks(marks);
  overtimeFrom_ = overtimeFrom;
  ShowSecondsNearEnd();
}

void TWatchChrono::ShowExamEvent(const TExamEvent &event) {
  std::string text;
  if (Board() && event.Paper < names_.size()) {
    const std::string name = CutName(names_[event.Paper], [&](const std::string &cut) {
      return gauge_->TextFits(ExamEventText(event, cut));
    });
    text = ExamEventText(event, name);
  } else {
    text = ExamEventText(event);
  }
  // An épreuve's end without a name to give has nothing to say in place of what shows.
  if (!text.empty()) ShowWarning(text);
}

LRESULT TWatchChrono::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SET_DIGIT:
      // A board reads the time of day until its run counts beyond its end.
      if (Board() && !overtime_) return 0;
      // The timing threads send positions 0 to 5 only; anything else is not ours to show.
      if (wParam < digits_.size()) digits_[wParam]->SetCurrentNumber(uint8_t(lParam & 0xFF));
      // Beyond the end no progress comes: the seconds, which turn at every tick, restack instead.
      if (overtime_ && wParam == digits_.size() - 1) StayInFront();
      return 0;
    case WM_SET_OVERTIME:
      // Beyond its end the engine posts only the digits that change from where its count
      // stands, which a board's digits, reading the time of day, did not show.
      if (Board() && !overtime_) {
        TTimeTavelin from;
        from.SetTotalSeconds(overtimeFrom_);
        for (uint8_t p = 0; p < digits_.size(); ++p) digits_[p]->SetCurrentNumber(from.GetDigit(p));
      }
      ShowOvertime(true);
      return 0;
    case WM_SET_AMBER:
      if (!Board()) ShowAmber(wParam != 0);
      return 0;
    case WM_SET_WARNING: {
      // A tick that brings several events posts each, the weightiest last: its text is the one
      // left showing, and every one reaches the journal.
      const size_t paper = size_t(wParam) >> 16;
      if ((lParam == LPARAM(TExamEventKind::Warning) || lParam == LPARAM(TExamEventKind::NormalEnd) ||
           lParam == LPARAM(TExamEventKind::PaperEnd)) &&
          paper < MaxPapers) {
        const TExamEvent event{TExamEventKind(lParam), uint32_t(wParam & 0xFFFF), uint8_t(paper)};
        ShowExamEvent(event);
        if (OnExamEvent) OnExamEvent(event);
      }
      return 0;
    }
    case WM_SET_PROGRESS:
      gauge_->SetProgress(uint32_t(wParam));
      if (warningUntil_ != 0 && uint32_t(wParam) >= warningUntil_) ShowWarning({});
      // The seconds kept their value while dark: they light on the last tick's, and the digits
      // of this tick, which follow the progress, paint only the segments that change.
      ShowSecondsNearEnd();
      // Once a tick, back above another program's always-on-top window (a slideshow's, say),
      // without taking the activation, and leaving the control bar where it is. Looking at what
      // is above costs far less than restacking, which is rarely needed.
      StayInFront();
      if (OnTick) OnTick();
      return 0;
    case WM_ACTIVATE:
      // The window never takes input: it gives way to the control bar that owns it.
      if (Owner() && Owner()->HandleAllocated() && IsWindowVisible(Owner()->Handle()))
        EnableWindow(handle_, FALSE);
      return 0;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == handle_) {
        ::SetCursor(nullptr);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return TForm::WndProc(msg, wParam, lParam);
}

// A fixed size grows with the scale of the screen it shows on: the display is laid out again for
// the new one (a full-width display keeps its monitor's width). Its children are in physical
// pixels, never scaled as a design's are.
void TWatchChrono::ChangeDpi(int dpi, const RECT *) {
  dpi = SaneDpi(dpi);
  if (dpi == layoutDpi_) return;
  layoutDpi_ = dpi;
  if (!HandleAllocated()) return;
  LayOutAgain(Owner() ? Owner()->Height() : 0);
  if (OnLaidOutAgain) OnLaidOutAgain();
}
