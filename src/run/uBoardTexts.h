// uBoardTexts - what the room's board reads for a run of several épreuves: one line an épreuve,
// in the order of their ends, its columns placed across the lines, and a name too long for its
// place cut with "…". Free of any platform header: the widths come from a measuring callback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "run/uExamPlan.h"
#include "run/uRunModel.h"

// One épreuve's line; its parts are the table's columns.
struct TBoardLine {
  size_t Row = 0;  // the épreuve's row in the run (the moment to leave: after the last)
  std::string Name;
  // "fin 11 h 00"; once its last end has come, "terminée à 11 h 40", across the columns after
  // the name.
  std::string End;
  std::string Extended;  // "tiers-temps 11 h 40"; empty without tiers-temps
  std::string Left;      // "reste 25 min", "reste 45 s"; empty before Run and once over
  bool Amber = false;    // from the smallest warning of its stretch, as counted, to its end
  bool Over = false;
  bool operator==(const TBoardLine &) const = default;
};

// Where the run stands as its engine counts (pauses excluded), which the lines' amber follows:
// each épreuve's ends in run time (row order), the seconds counted, the run's own warnings.
struct TBoardCount {
  std::vector<TPaperEnds> Ends = {};
  uint32_t RunSeconds = 0;
  std::vector<uint32_t> WarnMinutes = {};
};

// The board's lines at `nowLocalMs`, ordered by their normal ends (ties by row), then the moment
// candidates may leave when the run has one ("Sortie", "à partir de 10 h 00" or "autorisée"). `names` in row
// order (a row without one reads as PaperName gives it). A line is amber where its épreuve's own
// warnings make the engine's digits amber: a pause moves no stretch of the count.
std::vector<TBoardLine> BoardLines(int64_t nowLocalMs, const std::vector<std::string> &names,
                                   const std::vector<TRunTimes> &papers, const TBoardCount &count);

// The width of a text in pixels, in the font it is to be drawn in.
using TTextWidth = std::function<int(const std::string &)>;

// The longest form of `name` that `fits`: the name itself, or its beginning followed by "…";
// empty when not even "…" alone fits.
std::string CutName(const std::string &name, const std::function<bool(const std::string &)> &fits);

// Where the columns stand, from the table's left edge, for lines `width` pixels wide: the block
// of columns centred, the names' column as wide as the widest name or as the room left.
struct TBoardColumns {
  int Name = 0, End = 0, Extended = 0, Left = 0;
  int NameWidth = 0;
  bool operator==(const TBoardColumns &) const = default;
};
TBoardColumns BoardColumns(const std::vector<TBoardLine> &lines, int width,
                           const TTextWidth &measure);
// The names as their column shows them.
std::vector<std::string> BoardShownNames(const std::vector<TBoardLine> &lines,
                                         const TBoardColumns &columns, const TTextWidth &measure);

// The width of the longest line the board may read with these names, to fit its font to: a long
// name counts only as far as a usual subject's name, beyond which it is cut rather than making
// every line smaller.
int BoardLongestWidth(const std::vector<std::string> &names, const TTextWidth &measure);

// The control bar's panel on a board, longest first for it to take the first that fits: the next
// end to come and the number of épreuves, "Anglais : fin à 11 h 00 · 3 épreuves" ("tiers-temps à"
// for an extended end), then the name cut with "…", then without the number; once every end has
// come, "3 épreuves".
std::vector<std::string> BoardPanelTexts(const std::vector<std::string> &names,
                                         const std::vector<TRunTimes> &papers, int64_t nowLocalMs);
// What time added would change on a board, for the dialog that proposes it: the next end to come
// and the last of all, "Anglais : fin reportée de 11 h 00 à 11 h 12" ("tiers-temps", "avancée"
// for time taken back) and "Dernière fin reportée de 11 h 40 à 11 h 52"; an end that stays is not
// named.
std::vector<std::string> BoardAddedLines(const std::vector<std::string> &names,
                                         const std::vector<TRunTimes> &before,
                                         const std::vector<TRunTimes> &after, int64_t nowLocalMs);
