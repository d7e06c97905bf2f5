#include <windows.h>

#include "display/uPaperTable.h"

#include <algorithm>

#include "base/uErrors.h"
#include "display/uBoxNumber.h"

namespace {
// Widths in the font selected into `dc`.
TTextWidth MeasureIn(HDC dc) {
  return [dc](const std::string &text) {
    SIZE extent{0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &extent);
    return int(extent.cx);
  };
}
}  // namespace

TPaperTable::TPaperTable(TWinControl *parent) : TGraphicControl(parent) {
  Opaque = true;
  SetBounds(0, 0, 100, 40);
}

int TPaperTable::LineHeight() const {
  return lineCount_ > 0 ? Height() / int(lineCount_) : Height();
}

void TPaperTable::SetNames(const std::vector<std::string> &names) {
  if (names == names_) return;
  names_ = names;
  lineCount_ = names.size();
  lines_.clear();
  shown_.clear();
  if (font_) FitFont();
}

void TPaperTable::FitFont() {
  gdi::WindowDC screen(nullptr);
  // From three quarters of a line's height down, until the longest line fits the width, with a
  // margin of a quarter of a line on either side, as the band keeps.
  const int line = LineHeight();
  const int width = Width() - line / 2;
  int height = std::max(6, line * 3 / 4);
  for (; height > 6; height -= std::max(1, height / 20)) {
    gdi::Font trial = gdi::MakeFont("arial", -height, true, false);
    gdi::Select sel(screen.dc(), trial.get());
    if (BoardLongestWidth(names_, MeasureIn(screen.dc())) <= width) break;
  }
  font_ = gdi::MakeFont("arial", -height, true, false);
  fontHeight_ = height;
  Arrange(lines_, columns_, shown_);
  Repaint();
}

void TPaperTable::Arrange(const std::vector<TBoardLine> &lines, TBoardColumns &columns,
                          std::vector<std::string> &shown) const {
  gdi::WindowDC screen(nullptr);
  gdi::Select sel(screen.dc(), font_ ? font_.get() : GetStockObject(DEFAULT_GUI_FONT));
  const TTextWidth measure = MeasureIn(screen.dc());
  columns = BoardColumns(lines, Width() - LineHeight() / 2, measure);
  shown = BoardShownNames(lines, columns, measure);
}

void TPaperTable::SetLines(const std::vector<TBoardLine> &lines) {
  std::vector<TBoardLine> shownLines(lines.begin(),
                                     lines.begin() + std::min(lines.size(), lineCount_));
  if (shownLines == lines_) return;
  TBoardColumns columns;
  std::vector<std::string> shown;
  Arrange(shownLines, columns, shown);
  const bool everything = columns != columns_ || shownLines.size() != lines_.size();
  std::vector<RECT> parts;
  const int h = LineHeight(), margin = h / 4;
  for (size_t i = 0; !everything && i < shownLines.size(); ++i) {
    const TBoardLine &before = lines_[i], &after = shownLines[i];
    if (before == after && shown_[i] == shown[i]) continue;
    RECT part{0, int(i) * h, Width(), int(i + 1) * h};
    // The time left turns every minute on every line, every second near an end: the rest of the
    // line stays as it is. A glyph may reach a little left of its cell.
    TBoardLine leftAlone = before;
    leftAlone.Left = after.Left;
    if (leftAlone == after && shown_[i] == shown[i])
      part.left = std::max(0, margin + columns.Left - h / 8);
    parts.push_back(part);
  }
  lines_ = std::move(shownLines);
  shown_ = std::move(shown);
  columns_ = columns;
  if (everything)
    Repaint();
  else if (!parts.empty())
    Repaint(parts);
}

void TPaperTable::PaintLine(HDC dc, size_t i, int top) const {
  const int w = Width(), h = LineHeight();
  gdi::FillSolid(dc, RECT{0, top, w, top + h}, RGB(0, 0, 0));
  if (i >= lines_.size() || !font_) return;
  const TBoardLine &line = lines_[i];
  gdi::Select sel(dc, font_.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, line.Amber ? TBoxNumber::WarningColor : RGB(255, 255, 255));
  const int margin = h / 4;
  auto put = [&](int x, const std::string &text) {
    RECT r{margin + x, top, w, top + h};
    DrawTextA(dc, text.c_str(), int(text.size()), &r,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  };
  put(columns_.Name, shown_[i]);
  put(columns_.End, line.End);
  if (!line.Extended.empty()) put(columns_.Extended, line.Extended);
  if (!line.Left.empty()) put(columns_.Left, line.Left);
}

void TPaperTable::Paint(HDC dc) {
  const int w = Width(), h = std::max(1, LineHeight());
  RECT clip{0, 0, w, Height()};
  const int kind = GetClipBox(dc, &clip);
  if (kind == NULLREGION) return;
  if (kind == ERROR) clip = RECT{0, 0, w, Height()};
  if (!picture_ || picture_->width() != w || picture_->height() != h) {
    picture_.reset();
    try {
      picture_ = std::make_unique<gdi::MemoryDC>(dc, w, h);
    } catch (const ETavelinError &) {
      // Without a picture of its own, each line is drawn in place.
    }
  }
  const size_t rows = std::max<size_t>(lineCount_, 1);
  for (size_t i = 0; i < rows; ++i) {
    const int top = int(i) * h;
    if (top >= clip.bottom || top + h <= clip.top) continue;
    // Each line is composed whole off the screen and copied at once: no black between a text
    // and the next.
    if (picture_) {
      PaintLine(picture_->dc(), i, 0);
      BitBlt(dc, 0, top, w, h, picture_->dc(), 0, 0, SRCCOPY);
    } else {
      PaintLine(dc, i, top);
    }
  }
  // What a height not shared evenly leaves under the last line.
  if (int(rows) * h < Height()) gdi::FillSolid(dc, RECT{0, int(rows) * h, w, Height()}, RGB(0, 0, 0));
  gdi::SendPainted();
}
