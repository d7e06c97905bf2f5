// uPaperTable - the room's board under the gauge of a run of several épreuves: one line an
// épreuve ("Anglais    fin 11 h 00    tiers-temps 11 h 40    reste 25 min"), its columns aligned
// across the lines, white on black, amber near an end, as large as it fits.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/uForms.h"
#include "run/uBoardTexts.h"

class TPaperTable : public TGraphicControl {
public:
  explicit TPaperTable(TWinControl *parent);

  // The épreuves' names, one line each: the table's height is shared among them.
  void SetNames(const std::vector<std::string> &names);
  // The largest font at which the longest line the table may read fits its width; called once
  // the table has its final size.
  void FitFont();
  // The lines as they stand: only the lines that changed are painted again, and of a line whose
  // time left alone changed, only that.
  void SetLines(const std::vector<TBoardLine> &lines);
  const std::vector<TBoardLine> &Lines() const { return lines_; }
  // The name as line i shows it, cut to its column.
  const std::string &ShownName(size_t i) const { return shown_.at(i); }
  // The place of each column, as last arranged.
  const TBoardColumns &Columns() const { return columns_; }
  int LineHeight() const;
  int FontHeight() const { return fontHeight_; }

  void Paint(HDC dc) override;

private:
  void PaintLine(HDC dc, size_t i, int top) const;
  // The columns and the cut names of `lines` in the font of now.
  void Arrange(const std::vector<TBoardLine> &lines, TBoardColumns &columns,
               std::vector<std::string> &shown) const;

  size_t lineCount_ = 0;
  std::vector<TBoardLine> lines_;
  std::vector<std::string> shown_;
  TBoardColumns columns_;
  std::vector<std::string> names_;
  gdi::Font font_;
  int fontHeight_ = 0;
  // One line's picture, kept from one paint to the next.
  std::unique_ptr<gdi::MemoryDC> picture_;
};
